#include "app/mailops/TaskAccount.h"

#include "app/mailops/CurrentAccount.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/store/QvStorageInterface.h"

bool CaptureMailTaskAccount(MailTaskAccount* account) {
  if (!IsMailOpsOwnerThread() || CurrentAccountInfo() == nullptr) return false;
  account->name = GetCurrentAccountName().str();
  for (int kind = kReceiveBox; kind <= kOutbox; ++kind) GetSystemFolderId(kind, &account->systemFolderIds[kind]);
  account->carrier = IsCurrentTAccount();
  return true;
}

TaskAccountObjects::TaskAccountObjects() = default;

TaskAccountObjects::~TaskAccountObjects() {
  storage_.reset();
  account_.reset();
}

bool TaskAccountObjects::Open(const std::wstring& name) {
  storage_.reset();
  account_.reset(QvAccountInfoInterface::OpenAccountInfo(name, L""));
  if (!account_) return false;
  storage_.reset(account_->OpenStorage());
  if (storage_) return true;
  account_.reset();
  return false;
}
