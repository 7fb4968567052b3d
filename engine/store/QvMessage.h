// One stored message: a ".eml" file in the message set's directory, a
// 256-byte header block followed by the raw mail exactly as received or
// composed. Header layout (little-endian):
//   0  12  "QVMAILEMLFMT"            20  16  date (SYSTEMTIME, UTC)
//  12   4  version (4096..4098)      36 100  POP UID, NUL-padded
//  16   1  unread                   136   4  kind (4097 on)
//  17   1  has attachments          140   1  attachments deleted (4098)
//  18   1  state (the partial flag) 141   1  HTML body
//  19   1  protected                142   1  recorded (bit 0 text, bit 1 folder)
//                                     144   4  folder made in  148 4  text length
//                                     152   8  text digest     160 96 zero
// The list texts of a message live in its folder's header record, reached
// through the message set. Every operation holds "QvMessage Mutex" while it
// works on the file. Stored text is replaced through the "_tmp" copy and the
// safe-replace commit; a message's first text is written in place with the
// magic cleared until it is whole, and the header block (one sector) is
// changed in place, so the stored file is never left half written.
#pragma once

#include <cstdint>
#include <string>

#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageFields.h"
#include "engine/public/foundation/QvNamedMutex.h"
#include "platform/base/ScopedHandle.h"

struct Email;
class QvMessageOwner;

class QvMessage {
 public:
  using Attributes = QvMessageFields::Attributes;

  static constexpr uint32_t kHeaderBytes = 256;
  static constexpr uint32_t kUidlBytes = 100;
  static constexpr uint32_t kCurrentVersion = 4098;
  static constexpr uint32_t kBadFormat = 4095;
  // Room every change of the store leaves on the volume.
  static constexpr uint64_t kReserveBytes = 512000;

  QvMessage(uint32_t messageId, QvMessageOwner* owner, const std::wstring& path);
  ~QvMessage() = default;
  QvMessage(const QvMessage&) = delete;
  QvMessage& operator=(const QvMessage&) = delete;

  bool SeekToHead();
  // The raw mail from the read position to the end; the position moves there.
  bool Read(std::string* out);
  // Replaces the raw mail and keeps the header.
  bool WriteRaw(const std::string& raw);
  bool GetAttributes(Attributes* attributes);
  bool SetAttributes(const Attributes& attributes);
  // Writes the state byte and the UID field where they stand, whatever room
  // the volume has left: the header block is rewritten in place and the
  // folder's entry line too, so nothing grows, and the reserve that keeps
  // the store from filling its volume is not asked of it. For a mark that
  // must stand on a full store (the sender's "the server took this one").
  bool MarkInPlace(uint8_t state, const std::string& uidl);
  // Encodes the mail and stores it with its attributes and header record.
  bool WriteEmail(Email* mail);
  // Strips the attachments from the stored mail.
  bool DeleteAttachments();

  // The header's version, or kBadFormat for a wrong magic or version.
  static uint32_t CheckFormat(const uint8_t* header);
  static bool HasMagic(const uint8_t* header);
  // Whether a header is one a cut-off first write left: its magic cleared.
  static bool IsUnfinished(const uint8_t* header);
  // A new file's header: magic, the current version, the current UTC time.
  static void FreshHeader(uint8_t* header);
  // Whether the volume of `path` has `needed` bytes plus the reserve free.
  static bool HasRoomFor(const std::wstring& path, uint64_t needed);

  // What a message made with its text in one step gets in its file: the
  // header block holding the header fields of its attributes, then the text.
  struct NewText {
    uint8_t header[kHeaderBytes];
    const char* text = nullptr;
    size_t length = 0;
    uint8_t unread = 0, state = 0;
    const Attributes* attributes = nullptr;  // for the list fields
  };
  static uint32_t ComposeNewText(const Attributes& attributes, const std::string& raw, NewText* out);
  // Writes a header and its text into a file at its start, the magic cleared
  // until the text is whole, and syncs them (see WriteFirstText). A sync
  // left to the thread's deferred syncs takes the handle with it: `file` is
  // then empty.
  static bool WriteWholeInPlace(qv::ScopedHandle* file, const uint8_t* header, const char* text, size_t length);
  // What the header records of the message itself, so that the store's
  // repair knows where a message belongs without any list and tells a whole
  // text from one a power cut tore: its folder, and its text's length and
  // digest. Files written before carry zeros there and are taken as they are.
  static void RecordFolder(uint8_t* header, uint32_t folderId);
  static void RecordText(uint8_t* header, const char* text, size_t length);
  static uint64_t TextDigest(const char* text, size_t length);
  enum class Stored { kWhole, kTorn, kUnrecorded, kUnreadable };
  // Reads a stored file whole and compares it with its header's record;
  // `folderId` gets the recorded folder (kWhole only).
  static Stored CheckStored(const std::wstring& path, uint32_t* folderId);

  // The header fields the mask of `attributes` asks for, of the file at
  // `path`, with "QvMessage Mutex" held by the caller: what GetAttributes
  // reads, for callers that read many messages under one hold. `older` says
  // the file's version lacks some fields (given their defaults).
  static uint32_t ReadHeaderFieldsAt(const std::wstring& path, Attributes* attributes, bool* older);

  // The list fields of `attributes` put into a header-cache record.
  static void ApplyListFields(const Attributes& attributes, QvFolderInterface::FolderMsgHeader* record);

  uint32_t Id() const { return messageId_; }
  const std::wstring& Path() const { return path_; }
  QvMessageOwner* Owner() const { return owner_; }

 private:
  // Settles and opens the file for reading; it must hold a whole header.
  uint32_t OpenStored(HANDLE* file, DWORD* size);
  uint32_t ReadHeader(uint8_t* header, uint32_t* fileSize);
  // `settleFirst`: an interrupted replace is settled before the open, not
  // only when the file is missing.
  static uint32_t OpenStoredAt(const std::wstring& path, HANDLE* file, DWORD* size, bool settleFirst);
  static uint32_t ReadHeaderAt(const std::wstring& path, uint8_t* header, uint32_t* fileSize, bool settleFirst);
  static uint32_t DecodeHeaderFields(const uint8_t* header, uint32_t fileSize, Attributes* attributes, bool* older);
  uint32_t ReadRawLocked(std::string* out);
  uint32_t WriteRawLocked(const std::string& raw);
  uint32_t ReplaceText(const uint8_t* header, const char* text, size_t length);
  uint32_t WriteFirstText(const uint8_t* header, const char* text, size_t length);
  // The file opened for a change where it stands, waiting out a brief holder.
  qv::ScopedHandle OpenInPlace();
  // Syncs a first text, or queues its sync on the thread's deferred syncs,
  // which then own the handle.
  static bool SyncFirstText(qv::ScopedHandle* file);
  uint32_t GetHeaderFields(Attributes* attributes, bool* older);
  bool SetAttributesWith(const Attributes& attributes, bool reserve);
  uint32_t SetHeaderFields(const Attributes& attributes, bool reserve, bool* flagsChanged, uint8_t* unread,
                           uint8_t* state);
  uint32_t GetListFields(Attributes* attributes);
  uint32_t SetListFields(const Attributes& attributes);
  uint32_t Prepare();
  uint32_t Commit();
  std::wstring TempPath() const { return path_ + L"_tmp"; }

  QvMessageOwner* owner_;
  uint32_t readPosition_ = kHeaderBytes;
  uint32_t messageId_;
  std::wstring path_;
  QvNamedMutex mutex_;
};
