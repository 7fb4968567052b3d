// The list of a folder's messages, "<base>.msg": one line per message,
// "%04X\t%d\t%d\r\n" of (id, unread, partial). Each operation works on the
// file as it stands, so that other processes' changes are kept. New messages
// are appended and a changed flag is overwritten in its line; removals
// rewrite the list through its "_tmp" copy. Inside a store batch
// (QvStoreBatch) the list read or written under it is the file itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/public/foundation/QvNamedMutex.h"

struct MessageEntryRecord {
  uint32_t mask = 0;  // bit 0: unread given, bit 1: partial given
  uint32_t id = 0;
  uint8_t unread = 0;
  uint8_t partial = 0;
};

class QvMessageEntry {
 public:
  QvMessageEntry();
  QvMessageEntry(const QvMessageEntry&) = delete;
  QvMessageEntry& operator=(const QvMessageEntry&) = delete;

  uint32_t ReadFile(const std::wstring& path);
  bool Get(uint32_t id, MessageEntryRecord* out);
  bool Contains(uint32_t id);
  // `before` (may be null) receives the line as it stood.
  uint32_t Update(uint32_t id, const MessageEntryRecord& record, MessageEntryRecord* before = nullptr);
  uint32_t Remove(uint32_t id);
  uint32_t RemoveMany(const std::vector<uint32_t>& ids);
  uint32_t Add(const MessageEntryRecord& record);
  uint32_t AddMany(const std::vector<MessageEntryRecord>& records);
  bool Collect(const std::vector<uint32_t>& ids, std::vector<MessageEntryRecord>* out);
  bool GetIds(std::vector<uint32_t>* ids);
  bool GetPartialIds(std::vector<uint32_t>* ids);
  bool GetUnreadIds(std::vector<uint32_t>* ids);
  uint32_t GetUnreadCount();
  uint32_t GetCount();
  // Replaces the list (a repair); sets the error word on failure.
  bool ReplaceAll(const std::vector<MessageEntryRecord>& records);
  uint32_t WriteFile();

  static bool Format(const std::vector<MessageEntryRecord>& entries, std::string* bytes);
  static uint32_t Parse(const std::string& bytes, std::vector<MessageEntryRecord>* entries);

  const std::vector<MessageEntryRecord>& Entries() const { return entries_; }

 private:
  uint32_t Load();
  uint32_t Store();
  uint32_t Append(const std::vector<MessageEntryRecord>& records);
  uint32_t StoreLine(size_t index);
  template <typename Pick>
  bool PickIds(std::vector<uint32_t>* ids, Pick pick);

  std::wstring path_;
  std::vector<MessageEntryRecord> entries_;
  std::string bytes_;  // the file as a writer last read it
  uint64_t trusted_ = 0;  // the store batch under which entries_ and bytes_ are the file
  QvNamedMutex mutex_;
};
