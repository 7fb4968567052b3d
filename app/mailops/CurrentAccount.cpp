#include "app/mailops/CurrentAccount.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "app/foundation/QvMiddleError.h"
#include "app/foundation/UiRegistry.h"
#include "app/mailops/AccountOperations.h"
#include "app/mailops/FolderOperations.h"
#include "app/mailops/HeaderRowCache.h"
#include "app/mailops/MailTaskState.h"
#include "app/mailops/TaskAccount.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "platform/framework/CWaitCursor.h"
#include "platform/kernel/Sync.h"
#include "platform/registry/Registry.h"
#include "platform/ui/input/Focus.h"

namespace {

CWnd* MainWindow = nullptr;
HWND MainWindowHandle = nullptr;
CWnd* SecondWindow = nullptr;
std::atomic<DWORD> OwnerThread{0};

// The open account. Its name is set only together with its engine objects.
CString CurrentAccountName;
QvAccountSettings CurrentSettings;
std::unique_ptr<QvAccountInfoInterface> CurrentAccount;
std::unique_ptr<QvStorageInterface> CurrentStore;
std::unique_ptr<QvMessageInterface> CurrentMessage;
DWORD SystemFolderIds[4] = {0, 0, 0, 0};

// A copy of the open account's name and folders for the task threads,
// rewritten by the owner thread whenever the account changes.
std::mutex PublishedLock;
MailTaskAccount PublishedAccount;
bool PublishedOpen = false;

void PublishCurrentAccount() {
  std::lock_guard<std::mutex> hold(PublishedLock);
  PublishedOpen = !CurrentAccountName.IsEmpty() && CurrentAccount != nullptr;
  PublishedAccount = MailTaskAccount();
  if (!PublishedOpen) return;
  PublishedAccount.name = CurrentAccountName.str();
  for (int kind = kReceiveBox; kind <= kOutbox; ++kind) PublishedAccount.systemFolderIds[kind] = SystemFolderIds[kind];
  PublishedAccount.carrier = CurrentSettings.bTaccount;
}

const QvAccountSettings& NoSettings() {
  static const QvAccountSettings none;
  return none;
}

void TakeOwnership() {
  DWORD none = 0;
  OwnerThread.compare_exchange_strong(none, GetCurrentThreadId());
}

// "NoRead" is rewritten only when it changed: a registry write goes to the
// disk, and switching back and forth changes nothing.
void StoreNoRead(const std::wstring& name, DWORD unread) {
  const std::wstring path = std::wstring(kProgramKey) + L"\\accounts\\" + name;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
    DWORD stored = 0;
    DWORD size = sizeof stored;
    DWORD type = 0;
    const bool same = RegQueryValueExW(key, L"NoRead", nullptr, &type, reinterpret_cast<BYTE*>(&stored), &size) ==
                          ERROR_SUCCESS &&
                      type == REG_DWORD && stored == unread;
    RegCloseKey(key);
    if (same) return;
  }
  SetAccountNoRead(name.c_str(), unread);
}

bool LookupSystemFolder(int kind, QvSystemFolderItem* out) {
  QvFolderItem item;
  if (!GetSystemFolderItem(kind, &item)) return false;
  out->displayName = item.name;
  out->unread = item.unread;
  out->kind = item.kind;
  out->folderId = item.folderId;
  out->childUnread = item.childUnread;
  return true;
}

}  // namespace

void SetMainWindow(CWnd* window) {
  MainWindow = window;
  MainWindowHandle = window != nullptr ? window->GetSafeHwnd() : nullptr;
  if (window != nullptr) {
    OwnerThread.store(GetCurrentThreadId());
    SetSystemFolderItemLookup(LookupSystemFolder);
  } else {
    OwnerThread.store(0);
  }
}

CWnd* GetMainWindow() { return MainWindow; }
HWND GetMainWindowHandle() { return MainWindowHandle; }

bool IsMainFrameActive() { return MainWindowHandle != nullptr && GetActiveWindow() == MainWindowHandle; }

void RegisterSecondWindow(CWnd* window) { SecondWindow = window; }
CWnd* GetSecondWindow() { return SecondWindow; }

bool IsMailOpsOwnerThread() {
  const DWORD owner = OwnerThread.load();
  return owner == 0 || owner == GetCurrentThreadId();
}

bool OpenCurrentAccount(const std::wstring& name) {
  if (!IsMailOpsOwnerThread() || IsAccountTaskRunning()) return false;
  TakeOwnership();
  SetSystemFolderItemLookup(LookupSystemFolder);
  CWaitCursor wait;
  // Everything of the new account is had before the open one is let go, so
  // a failure leaves the program on the account it was on.
  QvAccountSettings settings;
  if (!LoadAccountSettings(name, &settings)) return false;
  std::unique_ptr<QvAccountInfoInterface> account(OpenAccountInfoByName(name));
  if (!account) return false;
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  if (!storage) {
    ShowMailOpsError(GetQvMiddleError());
    return false;
  }

  CloseFolderInterfaces();
  CloseCurrentMessage();
  CurrentStore = std::move(storage);
  CurrentAccount = std::move(account);
  CurrentAccountName = name.c_str();
  CurrentSettings = std::move(settings);
  SystemFolderIds[kReceiveBox] = CurrentSettings.ulJusinTrayID;
  SystemFolderIds[kSendBox] = CurrentSettings.ulSousinZumiTrayID;
  SystemFolderIds[kDrafts] = CurrentSettings.ulSitagakiTrayID;
  SystemFolderIds[kOutbox] = CurrentSettings.ulSousinTrayID;
  PublishCurrentAccount();

  const bool rules = LoadClassificationRules();
  LoadFolderTree();
  ClearHeaderCache();
  const int unread = CountCurrentAccountUnread();
  if (unread >= 0) StoreNoRead(name, static_cast<DWORD>(unread));
  return rules;
}

void CloseCurrentAccount() {
  if (!IsMailOpsOwnerThread() || IsAccountTaskRunning()) return;
  CloseFolderInterfaces();
  CurrentStore.reset();
  CurrentAccount.reset();
  CloseCurrentMessage();
  CurrentAccountName.Empty();
  CurrentSettings = QvAccountSettings();
  for (DWORD& id : SystemFolderIds) id = 0;
  PublishCurrentAccount();
  ClearHeaderCache();
}

void SetCurrentAccountName(const std::wstring& name) {
  if (!IsMailOpsOwnerThread() || !CurrentAccount) return;
  CurrentAccountName = name.c_str();
  CurrentSettings.name = name;
  PublishCurrentAccount();
}

bool CurrentTaskAccount(MailTaskAccount* account) {
  std::lock_guard<std::mutex> hold(PublishedLock);
  if (!PublishedOpen || account == nullptr) return PublishedOpen;
  *account = PublishedAccount;
  return true;
}

CString GetCurrentAccountName() { return IsMailOpsOwnerThread() ? CurrentAccountName : CString(); }

QvAccountInfoInterface* CurrentAccountInfo() { return IsMailOpsOwnerThread() ? CurrentAccount.get() : nullptr; }

QvStorageInterface* CurrentStorage() { return IsMailOpsOwnerThread() ? CurrentStore.get() : nullptr; }

const QvAccountSettings& CurrentAccountSettings() {
  return IsMailOpsOwnerThread() ? CurrentSettings : NoSettings();
}

CString GetSenderAddress() { return CString(CurrentAccountSettings().strSenderAddress); }
CString GetSenderName() { return CString(CurrentAccountSettings().strSenderName); }
bool IsSignatureEnabled() { return CurrentAccountSettings().bUseSignature; }

CString GetSignatureText() {
  const QvAccountSettings& settings = CurrentAccountSettings();
  const int32_t index = settings.iUseSignature - 1;
  // A choice outside the two signatures (a damaged settings file) is no signature.
  if (index < 0 || static_cast<size_t>(index) >= settings.signatures.size()) return CString();
  return CString(settings.signatures[static_cast<size_t>(index)]);
}

bool IsCurrentTAccount() { return CurrentAccountSettings().bTaccount; }
bool IsSendInAMinuteEnabled() { return CurrentAccountSettings().bSendMessageInAMinuteEnabled; }

bool GetSystemFolderId(int kind, DWORD* id) {
  if (kind < 0 || kind > 3 || id == nullptr || !IsMailOpsOwnerThread()) return false;
  *id = SystemFolderIds[kind];
  return true;
}

QvFolderInterface* OpenFolderById(DWORD folderId) {
  QvStorageInterface* storage = CurrentStorage();
  if (storage == nullptr) return nullptr;
  QvFolderInterface* folder = storage->OpenFolder(folderId);
  if (folder == nullptr) ShowMailOpsError(storage->GetErrorInfo());
  return folder;
}

QvMessageInterface* OpenMessageById(DWORD messageId) {
  QvStorageInterface* storage = CurrentStorage();
  if (storage == nullptr) return nullptr;
  QvMessageInterface* message = storage->OpenMessage(messageId);
  if (message == nullptr) ShowMailOpsError(storage->GetErrorInfo());
  return message;
}

QvMessageInterface* OpenCurrentMessage(DWORD messageId) {
  CloseCurrentMessage();
  QvStorageInterface* storage = CurrentStorage();
  if (storage == nullptr) return nullptr;
  CurrentMessage.reset(storage->OpenMessage(messageId));
  return CurrentMessage.get();
}

void CloseCurrentMessage() {
  if (IsMailOpsOwnerThread()) CurrentMessage.reset();
}

void SetCurrentOperationId(UINT id) { DetailStringId = id; }

void ShowMailOpsError(uint32_t code) { ShowQvMiddleError(code, MainWindowHandle, reinterpret_cast<LPCWSTR>(-1)); }

void ShutdownMailOperations() {
  StopAutoReceiveThread();
  StopPeriodicReceiveThread();
  if (!CurrentAccountName.IsEmpty()) CloseCurrentAccount();
}
