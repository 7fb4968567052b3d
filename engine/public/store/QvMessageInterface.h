// The exported face of one stored message. The storage and folder facades
// hand one out per open; it holds one reference on the message set's shared
// QvMessage, forwards every call to it and gives the reference back when the
// caller deletes it. The attribute record and the two date conversions that
// every writer of message dates uses live here as well. The facade takes no
// lock of its own: the stored message's mutex serialises the calls, and two
// facades of one message share its read position.
#pragma once

#include <cstdint>
#include <string>

#include "engine/public/QvMiddleExport.h"
#include "platform/base/WinTypes.h"

struct Email;
class QvMessage;

class QVMIDDLE_API QvMessageInterface {
 public:
  // Mask bits. The header fields live in the ".eml" file's first 256 bytes,
  // the list fields in the header record of the folder holding the message.
  enum : uint32_t {
    kUnread = 0x1,
    kHasAttachments = 0x2,
    kState = 0x4,
    kIsProtected = 0x8,
    kDate = 0x10,
    kUidl = 0x20,
    kListText1 = 0x40,
    kListText2 = 0x80,
    kListShort1 = 0x100,
    kListShort2 = 0x200,
    kListTime = 0x400,
    kKind = 0x800,
    kAttachmentsDeleted = 0x1000,
    kIsHtml = 0x2000,
    kHeaderFields = 0x383f,
    kListFields = 0x7c0,
  };

  // Message kinds.
  enum : uint32_t { kFeedItem = 0, kReceived = 1, kOlderFile = 2, kComposed = 3, kImported = 4 };

  struct Attributes {
    uint32_t mask = 0;           // fields the caller wants read or written
    uint32_t defaultedMask = 0;  // set by a read: fields the file's version lacks, given defaults
    uint32_t size = 0;           // set by a header read: the raw mail's size
    uint8_t unread = 0;
    uint8_t hasAttachments = 0;
    uint8_t state = 0;
    uint8_t isProtected = 0;
    uint32_t kind = 0;
    uint8_t attachmentsDeleted = 0;
    uint8_t isHtml = 0;
    SYSTEMTIME date{};  // UTC
    std::string uidl;
    std::wstring listText1;   // 256 characters at most
    std::wstring listText2;   // 256 characters at most
    std::wstring listShort1;  // 31 characters at most
    std::wstring listShort2;  // 31 characters at most
    SYSTEMTIME listTime{};
  };

  // Takes over the reference on `message` that its opener holds. A facade
  // without a message answers every call with false and leaves the error
  // word alone.
  explicit QvMessageInterface(QvMessage* message);
  ~QvMessageInterface();
  // One reference, given back once.
  QvMessageInterface(const QvMessageInterface&) = delete;
  QvMessageInterface& operator=(const QvMessageInterface&) = delete;

  // Replaces the raw mail (up to its first zero byte); the header is kept.
  bool Write(const std::string& raw);
  // Encodes the mail and stores it with its attributes and list record.
  bool Write(Email* mail);
  // The raw mail from the read position to the end; the position moves there.
  bool Read(std::string* out);
  bool SeekToHead();
  bool SetAttributes(const Attributes& attributes);
  // The state byte and the UID field written in place, even on a volume
  // below the store's reserve: they grow nothing. SetAttributes asks for the
  // reserve as any change does.
  bool MarkInPlace(uint8_t state, const std::string& uidl);
  // A file older than the current version has every asked field filled and
  // still answers false with QVMDL_ERR_STG_EML_OLD_VERSION.
  bool GetAttributes(Attributes* attributes) const;
  // Strips the attachments from the stored mail.
  bool DeleteAttachments();
  // The library-wide error word; success when no message is held.
  uint32_t GetErrorInfo() const;

  // Both apply the offset in force now to any date.
  static SYSTEMTIME LocalTimeToSystemTime(SYSTEMTIME local);
  static SYSTEMTIME SystemTimeToLocalTime(SYSTEMTIME utc);

 private:
  QvMessage* message_;
};
