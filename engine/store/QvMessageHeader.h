// A folder's header cache, "<base>.fdb": an index of 1000 little-endian
// 32-bit slots (4000 bytes), then one 1180-byte record per slot. A slot holds
// a message id, 0x8000FFFF (record deleted, dropped by the next compaction)
// or 0xFFFFFFFF (never used; so is every later slot).
//
// Record layout: id (u32) at 0; to address at 4 and from address at 518
// (257 UTF-16LE units each); from name at 1032 and subject at 1096 (32 units
// each); date at 1160 (SYSTEMTIME, eight u16, UTC); reserved u32 at 1176.
//
// The file is shared by every process that opens the folder: each operation
// re-reads the index under the mutex before it acts, and every change of the
// index reaches the file before the mutex is released.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/public/store/QvFolderInterface.h"
#include "engine/store/QvMailHeaderSource.h"
#include "engine/public/foundation/QvNamedMutex.h"
#include "platform/base/ScopedHandle.h"

class QvMessageHeader {
 public:
  using Record = QvFolderInterface::FolderMsgHeader;

  static constexpr uint32_t kSlots = 1000;
  static constexpr uint32_t kIndexBytes = 4000;
  static constexpr uint32_t kRecordBytes = 1180;
  static constexpr uint32_t kDeletedSlot = 0x8000FFFF;
  static constexpr uint32_t kUnusedSlot = 0xFFFFFFFF;

  QvMessageHeader();
  QvMessageHeader(const QvMessageHeader&) = delete;
  QvMessageHeader& operator=(const QvMessageHeader&) = delete;

  // Loads the index; returns a code (the error word is left alone).
  uint32_t Open(const std::wstring& path);
  bool Append(const Record& record);
  bool ReadRecord(Record* record);
  bool WriteRecord(const Record& record);
  // Reads the record of `id`, lets `change` alter it and writes it back if it
  // did, all under one hold of the file's mutex.
  bool UpdateRecord(uint32_t id, const std::function<void(Record*)>& change);
  bool MarkDeleted(uint32_t id);
  // Holds the file's mutex and keeps the file open for the MarkDeleted calls
  // made meanwhile (a removal of many messages opened it once per message);
  // each mark still reaches the file at once.
  class MarkRun {
   public:
    explicit MarkRun(QvMessageHeader* header);
    ~MarkRun();
    MarkRun(const MarkRun&) = delete;
    MarkRun& operator=(const MarkRun&) = delete;

   private:
    QvMessageHeader* header_;
    QvNamedMutex::Hold hold_;
  };
  // Reads `count` live records in slot order; dates come back in local time.
  // On a failure the records may have been partly written.
  bool LoadAll(Record* records, uint32_t count);
  bool CheckCount(const std::vector<uint32_t>& ids);
  bool Compact();
  // Free-space check for a new message of `size` bytes, then Compact.
  bool EnsureSpace(uint32_t size);
  // Rewrites the file from the stored messages `ids`, read through `source`.
  bool Rebuild(const std::vector<uint32_t>& ids, QvMailHeaderSource& source);

  uint32_t Used() const { return used_; }
  uint32_t Deleted() const { return deleted_; }
  uint32_t Live() const { return used_ - deleted_; }

  // The index of a new folder: 4000 bytes of 0xFF.
  static std::string EmptyIndex() { return std::string(kIndexBytes, '\xFF'); }
  static void EncodeRecord(const Record& record, uint8_t* out);
  static void DecodeRecord(const uint8_t* in, Record* record);
  // Long texts keep their first 256 UTF-16 units; short texts over 30 units
  // keep 30 and end with U+2026.
  static void FillLongText(wchar_t (&field)[257], std::wstring_view text);
  static void FillShortText(wchar_t (&field)[32], std::wstring_view text);
  // The date checks of a loaded record: out of range leaves only milliseconds.
  static void ClearInvalidDate(SYSTEMTIME* date);

 private:
  uint32_t Reload();
  // The index reloaded, the slot of `id` and the file opened in `mode`.
  uint32_t OpenRecord(uint32_t id, const wchar_t* mode, uint32_t* slot, qv::ScopedFile* stream);
  uint32_t ReadIndex();
  uint32_t WriteIndexAt(uint32_t firstSlot, uint32_t slots);
  uint32_t AppendLocked(const Record& record);
  uint32_t LoadLocked(Record* records, uint32_t count);
  uint32_t CompactLocked();
  uint32_t FindSlot(uint32_t id) const;
  bool Fail(uint32_t code);

  std::wstring path_;
  std::wstring directory_;
  QvNamedMutex mutex_;
  uint32_t index_[kSlots];
  uint32_t used_ = 0;
  uint32_t deleted_ = 0;
  uint64_t trusted_ = 0;  // the store batch under which index_ is the file's
  qv::ScopedHandle marking_;  // the file, open for a MarkRun
  int markRuns_ = 0;
  // Free room measured under a store batch, less what was asked for since.
  uint64_t roomBatch_ = 0;
  uint64_t roomLeft_ = 0;
};
