// Another program of the device creates or updates a mail account of this
// system in one call, and the account is registered with the platform's
// messaging registry as two external accounts (plain mail and handwritten
// mail) whose handler is this system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/public/QvMiddleExport.h"
#include "platform/base/WinTypes.h"

// Filled by the calling program. A truth field is a 32-bit value of which
// any non-zero value means true.
struct ACCOUNT_INFO {
  std::wstring accountName;
  std::wstring senderName;
  std::wstring senderAddress;  // also the external accounts' "Address"
  std::wstring popServer;
  uint32_t popPort = 110;
  std::wstring popUser;
  std::wstring popPassword;
  uint32_t apop = 0;
  uint32_t keepPopPassword = 0;
  uint32_t smtpHasOwnUser = 0;  // stored as the opposite "same user and password"
  std::wstring smtpServer;
  uint32_t smtpPort = 25;
  std::wstring smtpUser;
  std::wstring smtpPassword;
  uint32_t keepSmtpPassword = 0;
  uint32_t autoReceive = 0;       // these three only when autoReceiveValid
  uint32_t autoReceiveRetry = 0;
  uint32_t autoReceiveRetries = 0;
  uint32_t partialRetrieval = 0;
  uint32_t partialLines = 0;
  uint32_t autoReceiveValid = 0;
  uint32_t deleteOnServer = 0;    // the POP3 delete flag
  uint32_t popBeforeSmtp = 0;
  uint32_t popBeforeSmtpWait = 0;
  uint32_t smtpAuth = 0;
  uint32_t sendAtOnce = 0;
  uint32_t removeOldMessages = 0;
  uint32_t messageLimit = 0;
  uint32_t useSignature = 0;
  int32_t signatureIndex = 0;     // counted from 0
  std::vector<std::wstring> signatures;  // the first two are kept
  GUID network = {};
  uint32_t smtpServerAuth = 0;
  uint32_t quoteReplies = 0;
  uint32_t periodicReceive = 0;
  uint32_t ssl = 0;
};

// 0 on success, -1 for an empty name or no record, otherwise the error word
// after the last failing step. An account this call made is removed again
// when its settings cannot be stored.
QVMIDDLE_API int SetAccountInfo(std::wstring name, const ACCOUNT_INFO* info);

namespace qv_account {

// Writes the two external-account keys of an account, the plain one first.
// True when every value was written; with `stopAtFailure` the first value
// that cannot be written ends the registration.
bool RegisterExternalAccounts(const std::wstring& name, const std::wstring& address, bool stopAtFailure);
// Deletes both keys; a key that is not there counts as deleted. The answer
// is that of the second key.
bool DeleteExternalAccounts(const std::wstring& name);

}  // namespace qv_account
