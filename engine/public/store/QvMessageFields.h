// What a stored message holds besides its text, as the exported facade and
// the stored file both speak of it: the mask bits, the message kinds, the
// attribute record, and the two date conversions that every writer of
// message dates uses. QvMessageInterface takes these names as its own.
#pragma once

#include <cstdint>
#include <string>

#include "engine/public/QvMiddleExport.h"
#include "platform/base/WinTypes.h"

class QVMIDDLE_API QvMessageFields {
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

  // Both apply the offset in force now to any date.
  static SYSTEMTIME LocalTimeToSystemTime(SYSTEMTIME local);
  static SYSTEMTIME SystemTimeToLocalTime(SYSTEMTIME utc);
};
