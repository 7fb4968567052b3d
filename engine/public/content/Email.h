// The decoded form of one message. A plain record of standard strings and
// lists; the program fills it on its side of the library boundary.
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "engine/public/content/Enclosure.h"
#include "platform/base/WinTypes.h"

struct Email {
  std::wstring fromAddress;             // bare sender address
  std::list<std::wstring> to;
  std::list<std::wstring> cc;
  std::list<std::wstring> bcc;
  std::wstring replyTo;
  std::wstring reserved1;               // kept for the program's side
  std::wstring reserved2;               // kept for the program's side
  SYSTEMTIME date{};
  std::wstring timeZone;                // sign and four digits
  std::wstring messageId;               // without angle brackets
  std::wstring inReplyTo;
  std::wstring references;
  std::wstring subject;
  std::wstring body;                    // CR LF line ends
  std::wstring htmlBody;                // CR LF line ends; empty when none
  std::list<Enclosure> attachments;
  std::wstring fromName;
  std::wstring dateText;                // Date value as received
  std::wstring mailingList;             // "x-ml-name:"
  std::wstring reserved3;               // not used by the composer
  std::list<Enclosure> inlineParts;     // parts the HTML body refers to
  uint8_t isPictureMail = 0;
  uint8_t isFeed = 0;
  uint8_t hasFeedDownload = 0;
  std::wstring feedDownload;
  uint32_t isSimple = 0;
  std::string generatedDateLine;        // made-up "Date:" line, CR LF ended
  std::wstring parentKind;              // "html" or "text" on an embedded message
  uint32_t textPartsAsEnclosures = 0;
};
