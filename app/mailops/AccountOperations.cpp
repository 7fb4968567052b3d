#include "app/mailops/AccountOperations.h"

#include <algorithm>
#include <memory>
#include <new>

#include "app/foundation/UiRegistry.h"
#include "app/mailops/CurrentAccount.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvCommonSettingInterface.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/foundation/QvPlatformHooks.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvClassificationParamInterface.h"
#include "engine/public/store/QvSignatureInterface.h"
#include "engine/public/store/QvSystemInfoInterface.h"
#include "platform/kernel/Library.h"

namespace {

using Attributes = QvAccountInfoInterface::Attributes;
using Account = std::unique_ptr<QvAccountInfoInterface>;

// A rule that needs its direction put back; the write of the repair may
// answer it too, and both count as done.
constexpr uint32_t kRuleNeedsRepair = 0x2000025;
constexpr uint32_t kSignatureMask = 3;
constexpr uint32_t kPeriodicMask = QvCommonSettingInterface::kPeriodicRetrievingEnabledModule |
                                   QvCommonSettingInterface::kPeriodicRetrievingMin;

// The current account's rules; read when it is opened.
std::vector<QvClassificationRuleRow> ClassificationRuleRows;

QvClassificationRuleRow RowOf(const QvClassificationParamInterface::Attributes& rule) {
  return {rule.name, rule.field, rule.keyword, rule.folderId, rule.direction};
}

QvClassificationParamInterface::Attributes RuleOf(const QvClassificationRuleRow& row) {
  QvClassificationParamInterface::Attributes rule;
  rule.name = row.name;
  rule.field = row.field;
  rule.keyword = row.keyword;
  rule.folderId = row.folderId;
  rule.direction = row.target;
  return rule;
}

// Every account's name in the engine's order. No account at all is an empty
// list, not a failure: the engine's "list empty" code sits in the range the
// error box answers by closing the program.
bool ReadAccountNameList(std::vector<std::wstring>* all) {
  if (QvAccountInfoInterface::GetAccountNameList(all, L"")) return true;
  const uint32_t code = GetQvMiddleError();
  if (code == QVMDL_ERR_ACC_LIST_EMPTY) return true;
  ShowMailOpsError(code);
  return false;
}

// One flag of every account, in the engine's order.
bool AccountsWhere(std::vector<std::wstring>* names, uint32_t bit, bool Attributes::*flag, bool wanted) {
  names->clear();
  std::vector<std::wstring> all;
  if (!ReadAccountNameList(&all)) {
    return false;
  }
  for (const std::wstring& name : all) {
    Account account(OpenAccountInfoByName(name));
    Attributes record;
    record.Select(bit);
    if (!account || !GetAccountAttributes(account.get(), &record)) {
      names->clear();
      return false;
    }
    if ((record.*flag) == wanted) names->push_back(name);
  }
  return true;
}

// The platform's messaging list holds every account with its address.
void RegisterMissingInboxAccounts(const std::vector<std::wstring>& names) {
  for (const std::wstring& name : names) {
    if (IsInboxAccountRegistered(name.c_str())) continue;
    std::wstring address;
    if (GetAccountSenderAddress(name, &address)) RegisterInboxAccount(name.c_str(), address.c_str());
  }
}

// The account-extension library registers itself; a device without it is fine.
bool RegisterAccountExtension() {
  HMODULE library = LoadLibraryW(L"QvMailExtAccount.dll");
  if (library == nullptr) return true;
  using RegisterServer = long (*)();
  auto registerServer =
      reinterpret_cast<RegisterServer>(reinterpret_cast<void (*)()>(GetProcAddressW(library, L"DllRegisterServer")));
  const bool done = registerServer != nullptr && registerServer() == 0;
  FreeLibrary(library);
  return done;
}

}  // namespace

QvAccountInfoInterface* OpenAccountInfoByName(const std::wstring& name) {
  QvAccountInfoInterface* account = QvAccountInfoInterface::OpenAccountInfo(name, L"");
  if (account == nullptr) ShowMailOpsError(GetQvMiddleError());
  return account;
}

bool GetAccountAttributes(QvAccountInfoInterface* account, Attributes* record) {
  if (account == nullptr || record == nullptr) return false;
  if (account->GetAccountInfoAttributes(record)) return true;
  ShowMailOpsError(GetQvMiddleError());
  return false;
}

bool SetAccountAttributes(QvAccountInfoInterface* account, Attributes& record) {
  if (account == nullptr) return false;
  if (account->SetAccountInfoAttributes(record)) return true;
  ShowMailOpsError(GetQvMiddleError());
  return false;
}

bool LoadAccountSettings(const std::wstring& name, QvAccountSettings* settings) {
  if (name.empty() || settings == nullptr) return false;
  Account account(OpenAccountInfoByName(name));
  if (!account) return false;
  QvAccountSettings read;
  read.SelectAll();
  if (!GetAccountAttributes(account.get(), &read)) return false;
  std::unique_ptr<QvSignatureInterface> signature(account->OpenSignature());
  if (!signature) {
    ShowMailOpsError(GetQvMiddleError());
    return false;
  }
  QvSignatureInterface::Attributes texts;
  texts.mask = kSignatureMask;
  if (!signature->ReadAttributes(&texts)) {
    ShowMailOpsError(signature->GetErrorInfo());
    return false;
  }
  read.ClearMask();
  read.name = name;
  read.signatures = {texts.first, texts.second};
  *settings = std::move(read);
  return true;
}

bool SaveAccountSettings(const std::wstring& name, const QvAccountSettings& settings) {
  if (name.empty()) return false;
  Account account;
  bool created = false;
  try {
    if (!QvAccountInfoInterface::IsExistAccount(name, L"")) {
      if (!QvAccountCreator().CreateFolders(name)) {
        ShowMailOpsError(GetQvMiddleError());
        return false;
      }
      created = true;
    }
    account.reset(OpenAccountInfoByName(name));
  } catch (const std::bad_alloc&) {
    ShowMailOpsError(kErrorException);
    return false;
  }
  if (!account) {
    if (created) DeleteAccount(name);
    return false;
  }

  Attributes record = settings;
  record.ClearMask();
  record.SelectAll();
  record.strAccountName = name;
  // The last UID belongs to the receive, which may have moved it on since
  // the settings were read.
  record.mask[Attributes::kLastUid / 32] &= ~(1u << (Attributes::kLastUid % 32));
  // The box ids belong to the store, which gave them when the account was
  // made: a new account's copy holds none, and writing its zeros would lose
  // the boxes.
  for (uint32_t bit : {Attributes::kJusinTrayID, Attributes::kSousinTrayID, Attributes::kSousinZumiTrayID,
                       Attributes::kSitagakiTrayID}) {
    record.mask[bit / 32] &= ~(1u << (bit % 32));
  }
  if (!settings.bTaccount) {
    // Only the carrier's account receives automatically.
    for (uint32_t bit : {Attributes::kAutoMailRetrievingEnabled, Attributes::kAutoMailRetrievingRetryEnabled,
                         Attributes::kAutoMailRetrievingRetryCnt}) {
      record.mask[bit / 32] &= ~(1u << (bit % 32));
    }
  }
  bool written = SetAccountAttributes(account.get(), record);
  if (written) {
    // A signature the copy lacks is stored empty.
    std::unique_ptr<QvSignatureInterface> signature(account->OpenSignature());
    QvSignatureInterface::Attributes texts;
    texts.mask = kSignatureMask;
    if (settings.signatures.size() > 0) texts.first = settings.signatures[0];
    if (settings.signatures.size() > 1) texts.second = settings.signatures[1];
    if (!signature || !signature->WriteAttributes(texts)) {
      ShowMailOpsError(signature ? signature->GetErrorInfo() : GetQvMiddleError());
      written = false;
    }
  }
  if (!written) {
    account.reset();
    if (created) DeleteAccount(name);
    return false;
  }
  RegisterInboxAccount(name.c_str(), settings.strSenderAddress.c_str());
  return true;
}

bool DeleteAccount(const std::wstring& name) {
  DeleteAccountRegKey(name.c_str());
  UnregisterInboxAccount(name.c_str());
  if (QvAccountInfoInterface::Delete(name, L"")) return true;
  ShowMailOpsError(GetQvMiddleError());
  return false;
}

bool RenameAccount(const std::wstring& oldName, const std::wstring& newName) {
  // Open before the rename: the engine keeps a rename whose name is not yet
  // stored only while the account is open, so a listing on another thread
  // between the two steps cannot read the old name back.
  Account account(OpenAccountInfoByName(oldName));
  if (!account) return false;
  DeleteAccountRegKey(oldName.c_str());
  UnregisterInboxAccount(oldName.c_str());
  if (!QvAccountInfoInterface::Rename(oldName, newName, L"")) {
    ShowMailOpsError(GetQvMiddleError());
    return false;
  }
  // The engine keeps the folder and lists the new name; the account's own
  // settings must say it too, or the next listing reads the old one back.
  Attributes record;
  record.strAccountName = newName;
  record.Select(Attributes::kAccountName);
  if (!account || !SetAccountAttributes(account.get(), record)) return false;
  if (GetCurrentAccountName().str() == oldName) SetCurrentAccountName(newName);
  return true;
}

bool GetAccountNames(std::vector<std::wstring>* names) {
  std::vector<std::wstring> all;
  if (!ReadAccountNameList(&all)) {
    return false;
  }
  names->insert(names->end(), all.begin(), all.end());
  RegisterMissingInboxAccounts(all);
  return RegisterAccountExtension();
}

bool GetAccountNames(CStringArray& names) {
  std::vector<std::wstring> all;
  const bool result = GetAccountNames(&all);
  for (const std::wstring& name : all) names.Add(CString(name));
  return result;
}

int GetAccountCount() {
  std::vector<std::wstring> all;
  if (!ReadAccountNameList(&all)) {
    return -1;
  }
  return static_cast<int>(all.size());
}

bool GetPeriodicRecvAccounts(std::vector<std::wstring>* names, int batch) {
  return batch == 1 ? AccountsWhere(names, Attributes::kJunkaiJushinEnabled, &Attributes::bJunkaiJushinEnabled, true)
                    : AccountsWhere(names, Attributes::kPeriodicRetrievingEnabled,
                                    &Attributes::bPeriodicRetrievingEnabled, true);
}

bool SetPeriodicRecvAccounts(const std::vector<std::wstring>& names, int batch) {
  std::vector<std::wstring> all;
  if (!ReadAccountNameList(&all)) {
    return false;
  }
  bool done = true;
  for (const std::wstring& name : all) {
    Account account(OpenAccountInfoByName(name));
    if (!account) {
      done = false;
      continue;
    }
    const bool listed = std::find(names.begin(), names.end(), name) != names.end();
    Attributes record;
    if (batch == 1) {
      record.bJunkaiJushinEnabled = listed;
      record.Select(Attributes::kJunkaiJushinEnabled);
    } else {
      record.bPeriodicRetrievingEnabled = listed;
      record.Select(Attributes::kPeriodicRetrievingEnabled);
    }
    if (!SetAccountAttributes(account.get(), record)) done = false;
  }
  return done;
}

bool GetAccountsWithoutSavedPassword(std::vector<std::wstring>* names) {
  return AccountsWhere(names, Attributes::kPopPasswdSavingEnabled, &Attributes::bPopPasswdSavingEnabled, false);
}

int GetAccountReceiveKind(const std::wstring& name) {
  Account account(OpenAccountInfoByName(name));
  Attributes record;
  record.Select(Attributes::kPartialRetrievingEnabled);
  if (!account || !GetAccountAttributes(account.get(), &record)) return 0;
  return record.bPartialRetrievingEnabled ? 1 : 0;
}

bool GetAccountSenderAddress(const std::wstring& name, std::wstring* address) {
  Account account(OpenAccountInfoByName(name));
  Attributes record;
  record.Select(Attributes::kSenderAddress);
  if (!account || !GetAccountAttributes(account.get(), &record)) return false;
  *address = record.strSenderAddress;
  return true;
}

bool GetPeriodicRecvSetting(bool* enabled, unsigned* minutes) {
  QvCommonSettingInterface common(L"");
  QvCommonSettingInterface::Attributes record;
  record.mask[0] = kPeriodicMask;
  if (!common.GetCommonSettingAttributes(&record)) {
    ShowMailOpsError(GetQvMiddleError());
    return false;
  }
  *enabled = record.bPeriodicRetrievingEnabledModule;
  *minutes = record.uiPeriodicRetrievingMin;
  return true;
}

bool SetPeriodicRecvSetting(bool enabled, unsigned minutes) {
  QvCommonSettingInterface common(L"");
  QvCommonSettingInterface::Attributes record;
  record.mask[0] = kPeriodicMask;
  record.bPeriodicRetrievingEnabledModule = enabled;
  record.uiPeriodicRetrievingMin = minutes;
  if (common.SetCommonSettingAttributes(record)) return true;
  ShowMailOpsError(GetQvMiddleError());
  return false;
}

void ApplyRecvTimer(bool enabled, int minutes) {
  const uint32_t code = SetRecvTimer(enabled, minutes);
  if (code != 0) ShowMailOpsError(code);
}

bool SetDefaultMailer(int flag) {
  std::unique_ptr<QvSystemInfoInterface> system(QvSystemInfoInterface::GetSystemInfo());
  if (system && system->ChangeDefMail(flag)) return true;
  ShowMailOpsError(GetQvMiddleError());
  return false;
}

bool GetAccountNameByPhoneNumber(const std::wstring& number, wchar_t* name, size_t size) {
  return QvAccountInfoInterface::GetAccountNameFromPhoneNumber(number, name, size);
}

void GetOwnPhoneNumber(wchar_t* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return;
  buffer[0] = 0;
  std::unique_ptr<QvSystemInfoInterface> system(QvSystemInfoInterface::GetSystemInfo());
  if (system) system->GetPhonenum(buffer, size);
}

bool ChangeSystemIni(const std::wstring& name) {
  std::unique_ptr<QvSystemInfoInterface> system(QvSystemInfoInterface::GetSystemInfo());
  if (system && system->ChangeSystemIni(name)) return true;
  ShowMailOpsError(GetQvMiddleError());
  return false;
}

namespace {

// The current account's rules, or null (an engine failure shown).
std::unique_ptr<QvClassificationParamInterface> OpenCurrentRules() {
  QvAccountInfoInterface* account = CurrentAccountInfo();
  if (account == nullptr) return nullptr;
  std::unique_ptr<QvClassificationParamInterface> param(account->OpenClassificationParamInterface());
  if (!param) ShowMailOpsError(GetQvMiddleError());
  return param;
}

}  // namespace

bool LoadClassificationRules() {
  // Rules of an account that is no longer open must not linger.
  ClassificationRuleRows.clear();
  std::unique_ptr<QvClassificationParamInterface> param = OpenCurrentRules();
  if (!param) return false;
  std::vector<QvClassificationParamInterface::Attributes> rules;
  if (!param->GetAttributes(&rules)) {
    const uint32_t code = param->GetErrorInfo();
    if (code != kRuleNeedsRepair) {
      ShowMailOpsError(code);
      return false;
    }
    // Rules written before they had a direction were meant for received mail.
    for (auto& rule : rules) {
      if ((rule.readStatus & QvClassificationParamInterface::kStatusNoDirection) != 0) rule.direction = 1;
    }
    if (!param->SetAttributes(rules) && param->GetErrorInfo() != kRuleNeedsRepair) {
      ShowMailOpsError(param->GetErrorInfo());
      return false;
    }
  }
  ClassificationRuleRows.clear();
  for (const auto& rule : rules) {
    if (ClassificationRuleRows.size() == kMaxClassificationRules) break;
    ClassificationRuleRows.push_back(RowOf(rule));
  }
  return true;
}

void GetClassificationRules(std::vector<QvClassificationRuleRow>* rows) { *rows = ClassificationRuleRows; }

void GetClassificationRuleNames(std::vector<std::wstring>* names) {
  names->clear();
  for (const auto& row : ClassificationRuleRows) names->push_back(row.name);
}

bool SaveClassificationRules(const std::vector<QvClassificationRuleRow>& rows) {
  std::unique_ptr<QvClassificationParamInterface> param = OpenCurrentRules();
  if (!param) return false;
  std::vector<QvClassificationParamInterface::Attributes> rules;
  for (const auto& row : rows) rules.push_back(RuleOf(row));
  if (!param->SetAttributes(rules)) {
    ShowMailOpsError(param->GetErrorInfo());
    return false;
  }
  if (&rows != &ClassificationRuleRows) ClassificationRuleRows = rows;
  return true;
}

bool AddClassificationRule(const QvClassificationRuleRow& rule) {
  if (ClassificationRuleRows.size() >= kMaxClassificationRules) return false;
  ClassificationRuleRows.push_back(rule);
  if (SaveClassificationRules(ClassificationRuleRows)) return true;
  ClassificationRuleRows.pop_back();
  return false;
}
