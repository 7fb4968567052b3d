#include "engine/public/store/QvAccountRegistration.h"

#include <exception>
#include <memory>

#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/store/QvAccountData.h"
#include "engine/public/store/QvSignatureInterface.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/Debug.h"

namespace {

using Attributes = QvAccountInfoInterface::Attributes;

constexpr wchar_t kExternalAccounts[] = L"System\\Inbox\\ExternalAccounts\\";
constexpr wchar_t kHandwrittenPrefix[] = L"________-1";
constexpr wchar_t kHandler[] = L"{B93E6627-7CD4-415E-8DFE-5CA41C43573C}";

std::wstring PlainKey(const std::wstring& name) { return kExternalAccounts + name; }
std::wstring HandwrittenKey(const std::wstring& name) { return kExternalAccounts + (kHandwrittenPrefix + name); }

bool DeleteKeyIfPresent(HKEY root, const std::wstring& key) {
  const LONG rc = RegDeleteKeyW(root, key.c_str());
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND;
}

// The settings record the caller's fields make, with the mask of the fields
// this call sets.
Attributes SettingsFrom(const ACCOUNT_INFO& info) {
  Attributes a;
  a.strAccountName = info.accountName;
  a.strSenderName = info.senderName;
  a.strSenderAddress = info.senderAddress;
  a.strPopServerName = info.popServer;
  a.uiPopServerPort = info.popPort;
  a.strPopUserName = info.popUser;
  a.strPopPasswd = info.popPassword;
  a.bAPOPEnabled = info.apop != 0;
  a.bPopPasswdSavingEnabled = info.keepPopPassword != 0;
  a.bUseSameUserPass = info.smtpHasOwnUser == 0;
  a.strSmtpServerName = info.smtpServer;
  a.uiSmtpServerPort = info.smtpPort;
  a.strSmtpUserName = info.smtpUser;
  a.strSmtpPasswd = info.smtpPassword;
  a.bSmtpPasswdSavingEnabled = info.keepSmtpPassword != 0;
  a.bAutoMailRetrievingEnabled = info.autoReceive != 0;
  a.bAutoMailRetrievingRetryEnabled = info.autoReceiveRetry != 0;
  a.uiAutoMailRetrievingRetryCnt = info.autoReceiveRetries;
  a.bPartialRetrievingEnabled = info.partialRetrieval != 0;
  a.uiPartialRetrievingLines = info.partialLines;
  a.bMessageLeavingEnabled = info.deleteOnServer != 0;
  a.bPopBeforeSmtpEnabled = info.popBeforeSmtp != 0;
  a.ulPopBeforeSmtpLatencySec = info.popBeforeSmtpWait;
  a.bSmtpAuthEnabled = info.smtpAuth != 0;
  a.bSendMessageInAMinuteEnabled = info.sendAtOnce != 0;
  a.bRemoveOldMessageEnabled = info.removeOldMessages != 0;
  a.ulRemoveOldMessageCnt = info.messageLimit;
  a.bUseSignature = info.useSignature != 0;
  a.iUseSignature = info.signatureIndex + 1;
  a.guidNetworkSetting = info.network;
  a.bSmtpSvrAuthEnabled = info.smtpServerAuth != 0;
  a.bUseQuotationEnabled = info.quoteReplies != 0;
  a.bPeriodicRetrievingEnabled = info.periodicReceive != 0;
  a.bSSLEnabled = info.ssl != 0;
  for (uint32_t bit = Attributes::kSenderName; bit <= Attributes::kRemoveOldMessageCnt; ++bit) a.Select(bit);
  for (uint32_t bit : {Attributes::kUseSignatureIndex, Attributes::kUseSignature, Attributes::kSmtpSvrAuthEnabled,
                       Attributes::kUseQuotationEnabled, Attributes::kPeriodicRetrievingEnabled,
                       Attributes::kSSLEnabled, Attributes::kAccountName}) {
    a.Select(bit);
  }
  if (info.autoReceiveValid != 0) {
    a.Select(Attributes::kAutoMailRetrievingRetryEnabled);
    a.Select(Attributes::kAutoMailRetrievingRetryCnt);
  } else {
    a.mask[0] &= ~(1u << Attributes::kAutoMailRetrievingEnabled);
  }
  return a;
}

// The account of that name, made when there is none; `created` tells which.
std::unique_ptr<QvAccountInfoInterface> OpenOrMake(const std::wstring& name, bool* created) {
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(name, L""));
  if (account) return account;
  try {
    if (!QvAccountCreator().CreateFolders(name)) return nullptr;
  } catch (const std::exception&) {
    return nullptr;
  }
  *created = true;
  account.reset(QvAccountInfoInterface::OpenAccountInfo(name, L""));
  return account;
}

}  // namespace

namespace qv_account {

bool RegisterExternalAccounts(const std::wstring& name, const std::wstring& address, bool stopAtFailure) {
  struct Entry {
    std::wstring key;
    std::wstring displayName;
    bool sendMode;
  };
  const Entry entries[] = {
      {PlainKey(name), L"T-VELA4メールで送信 (" + name + L")", false},
      {HandwrittenKey(name), L"手書きメールを送信 (" + name + L")", true},
  };
  bool all = true;
  for (const Entry& entry : entries) {
    const std::pair<const wchar_t*, const std::wstring*> texts[] = {
        {L"DisplayName", &entry.displayName}, {L"Address", &address}, {L"Handler", nullptr}, {L"AccountName", &name}};
    for (const auto& [value, text] : texts) {
      all = SetRegistryValue(HKEY_LOCAL_MACHINE, entry.key, value, text != nullptr ? *text : kHandler) && all;
      if (!all && stopAtFailure) return false;
    }
    if (entry.sendMode) all = SetRegistryDword(HKEY_LOCAL_MACHINE, entry.key, L"SendMode", 1) && all;
    if (!all && stopAtFailure) return false;
  }
  return all;
}

bool DeleteExternalAccounts(const std::wstring& name) {
  DeleteKeyIfPresent(HKEY_LOCAL_MACHINE, PlainKey(name));
  return DeleteKeyIfPresent(HKEY_LOCAL_MACHINE, HandwrittenKey(name));
}

}  // namespace qv_account

int SetAccountInfo(std::wstring name, const ACCOUNT_INFO* info) {
  if (name.empty() || info == nullptr) return -1;
  bool created = false;
  std::unique_ptr<QvAccountInfoInterface> account = OpenOrMake(name, &created);
  if (!account) return static_cast<int>(GetQvMiddleError());

  bool stored = true;
  uint32_t failure = 0;
  auto remember = [&](bool ok) {
    if (ok) return;
    stored = false;
    failure = GetQvMiddleError();
  };
  Attributes settings = SettingsFrom(*info);
  remember(account->SetAccountInfoAttributes(settings));
  std::unique_ptr<QvSignatureInterface> signature(account->OpenSignature());
  QvSignatureInterface::Attributes texts;
  texts.mask = 3;
  if (!info->signatures.empty()) texts.first = info->signatures[0];
  if (info->signatures.size() > 1) texts.second = info->signatures[1];
  remember(signature && signature->WriteAttributes(texts));
  signature.reset();
  account.reset();

  if (stored) {
    qv_account::RegisterExternalAccounts(name, info->senderAddress, false);
    return 0;
  }
  if (created) {
    DeleteKeyIfPresent(HKEY_CURRENT_USER, qv::FormatW(L"%s\\accounts\\%s", qv_account::kMailKey, name.c_str()));
    qv_account::DeleteExternalAccounts(name);
    if (!QvAccountInfoInterface::Delete(name, L"")) NKDbgPrintfW(L"fail delete account\r\n");
  }
  return static_cast<int>(failure);
}
