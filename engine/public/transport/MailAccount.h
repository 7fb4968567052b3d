// The connection settings of one account as the protocol clients take them:
// filled by the retriever for receiving and by the sender for sending. The
// caller owns the record; each client copies what it needs.
#pragma once

#include <cstdint>
#include <list>
#include <string>

struct MailAccount {
  std::wstring senderAddress;
  std::wstring popUserName;
  std::wstring popPassword;
  std::wstring popServerName;
  std::wstring smtpServerName;
  uint32_t popPort = 110;
  uint32_t smtpPort = 25;
  uint32_t partialLines = 0;           // "TOP" line count (POP side only)
  uint8_t deleteOnServer = 0;          // set: received mail is deleted from the server
  uint8_t popBeforeSmtp = 0;
  uint8_t apop = 0;                    // "APOP" instead of "USER"/"PASS"
  uint32_t smtpAuthMode = 0;           // 0 none, 1 POP-before-SMTP, 2 by "EHLO", 3 CRAM-MD5, 4 LOGIN
  std::wstring smtpUserName;
  std::wstring smtpPassword;
  std::wstring lastUid;                // POP side only
  uint32_t popBeforeSmtpWaitSeconds = 0;
  std::list<std::wstring> uidList;     // the account's known UIDs (POP side only)
  uint8_t popFlag = 0;
};
