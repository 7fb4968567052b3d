#include "engine/public/store/QvStorageInterface.h"

#include <new>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/store/QvStorage.h"
#include "engine/store/QvStorageSet.h"
#include "engine/store/QvStoreNode.h"

namespace {

bool Fail(uint32_t code) {
  SetQvMiddleError(code);
  return false;
}

}  // namespace

QvStorageInterface::QvStorageInterface(QvStorage* storage) : storage_(storage) {}

QvStorageInterface::~QvStorageInterface() {
  if (storage_ != nullptr) QvStorageSet::Instance().Close(storage_);
}

bool QvStorageInterface::CreateStorage(const std::wstring&) { return false; }
bool QvStorageInterface::DestroyStorage(const std::wstring&) { return false; }

QvFolderInterface* QvStorageInterface::OpenRootFolder() { return OpenFolder(0); }

QvFolderInterface* QvStorageInterface::OpenFolder(unsigned long id) {
  if (storage_ == nullptr) return nullptr;
  QvFolderSet& folders = storage_->Folders();
  const auto folderId = static_cast<uint32_t>(id);
  if (folderId != QvFolderSet::kPartialTray && folderId != QvFolderSet::kUnreadTray && !folders.IsValidId(folderId)) {
    Fail(QVMDL_ERR_STG_FOLDER_ID_RANGE);
    return nullptr;
  }
  QvStoreNode* node = folders.GetFolder(folderId);
  if (node == nullptr) return nullptr;
  auto* facade = new (std::nothrow) QvFolderInterface(node);
  if (facade == nullptr) {
    folders.CloseFolder(node);
    Fail(QVMDL_ERR_STG_NOT_ENOUGH_MEMORY);
  }
  return facade;
}

QvMessageInterface* QvStorageInterface::OpenMessage(unsigned long id) {
  if (storage_ == nullptr) return nullptr;
  QvMessageSet& messages = storage_->Messages();
  if (!messages.IsValidId(static_cast<uint32_t>(id))) {
    Fail(QVMDL_ERR_STG_MESSAGE_ID_RANGE);
    return nullptr;
  }
  QvMessage* message = messages.OpenMessage(static_cast<uint32_t>(id));
  if (message == nullptr) return nullptr;
  auto* facade = new (std::nothrow) QvMessageInterface(message);
  if (facade == nullptr) {
    messages.CloseMessage(message);
    Fail(QVMDL_ERR_STG_NOT_ENOUGH_MEMORY);
  }
  return facade;
}

bool QvStorageInterface::GetMessageHeaderFields(const std::vector<unsigned long>& ids, uint32_t mask,
                                                std::vector<QvMessageFields::Attributes>* attributes,
                                                std::vector<unsigned long>* codes) {
  if (storage_ == nullptr) return false;
  if (attributes == nullptr || codes == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  std::vector<uint32_t> wanted;
  wanted.reserve(ids.size());
  for (unsigned long id : ids) wanted.push_back(id > 0xFFFFFFFFul ? 0xFFFFFFFFu : static_cast<uint32_t>(id));
  std::vector<uint32_t> read;
  storage_->Messages().ReadHeaderFields(wanted, mask, attributes, &read);
  codes->assign(read.begin(), read.end());
  return true;
}

bool QvStorageInterface::RemoveMessage(unsigned long id) {
  if (storage_ == nullptr) return false;
  const auto messageId = static_cast<uint32_t>(id);
  if (storage_->Messages().IsMessageOpen(messageId)) return Fail(QVMDL_ERR_STG_MESSAGE_OPEN);
  uint32_t folderId = 0;
  if (!storage_->Messages().GetMessageFolder(messageId, &folderId)) return Fail(QVMDL_ERR_STG_MESSAGE_NOT_LISTED);
  QvStoreNode* node = storage_->Folders().GetFolder(folderId);
  if (node == nullptr) return false;
  const bool removed = node->RemoveOneMessage(messageId);
  storage_->Folders().CloseFolder(node);
  return removed;
}

bool QvStorageInterface::MoveMessage(unsigned long id, unsigned long target) {
  if (storage_ == nullptr) return false;
  const auto messageId = static_cast<uint32_t>(id);
  uint32_t source = 0;
  if (!storage_->Messages().GetMessageFolder(messageId, &source)) return Fail(QVMDL_ERR_STG_MESSAGE_NOT_LISTED);
  if (source == target) return true;
  if (storage_->Messages().IsMessageOpen(messageId)) return Fail(QVMDL_ERR_STG_MESSAGE_OPEN);
  QvFolderSet& folders = storage_->Folders();
  QvStoreNode* from = folders.GetFolder(source);
  QvStoreNode* to = from != nullptr ? folders.GetFolder(static_cast<uint32_t>(target)) : nullptr;
  bool moved = false;
  if (from == nullptr || to == nullptr) {
    Fail(QVMDL_ERR_STG_FOLDER_ID_RANGE);
  } else {
    moved = from->MoveOneMessage(messageId, to);
  }
  if (to != nullptr) folders.CloseFolder(to);
  if (from != nullptr) folders.CloseFolder(from);
  return moved;
}

unsigned long QvStorageInterface::GetUserFolderCnt() {
  return storage_ == nullptr ? 0 : storage_->Folders().GetUserFolderCount();
}

bool QvStorageInterface::RestoreFolderMessageHeader(unsigned long folderId) {
  return storage_ != nullptr && storage_->Folders().RebuildFolderHeader(static_cast<uint32_t>(folderId));
}

bool QvStorageInterface::RecoverMessageEntry(unsigned long folderId) {
  return storage_ != nullptr && storage_->RecoverEntries(static_cast<uint32_t>(folderId));
}

bool QvStorageInterface::RecoverMessageEntryAll() {
  return storage_ != nullptr && storage_->RecoverEntries(QvStorage::kAllFolders);
}

bool QvStorageInterface::CheckWantRecoverEntry(unsigned long code) {
  return code == 0x2000046 || code == 0x2000047 || code == QVMDL_ERR_STG_HEADER_TOO_MANY ||
         code == QVMDL_ERR_STG_HEADER_OUT_OF_STEP;
}

unsigned long QvStorageInterface::GetErrorInfo() { return storage_ == nullptr ? QVMDL_SUCCESS : GetQvMiddleError(); }
