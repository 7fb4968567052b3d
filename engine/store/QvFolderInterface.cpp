#include "engine/public/store/QvFolderInterface.h"

#include <new>

#include "engine/store/QvFolderSet.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/store/QvMessageSet.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/store/QvStoreNode.h"

namespace {

bool Fail(uint32_t code) {
  SetQvMiddleError(code);
  return false;
}

std::vector<uint32_t> ToIds(const std::vector<unsigned long>& ids) {
  std::vector<uint32_t> out;
  out.reserve(ids.size());
  for (unsigned long id : ids) out.push_back(static_cast<uint32_t>(id));
  return out;
}

void FromIds(const std::vector<uint32_t>& ids, std::vector<unsigned long>* out) {
  out->assign(ids.begin(), ids.end());
}

}  // namespace

QvFolderInterface::QvFolderInterface(QvStoreNode* node) : node_(node) {}

QvFolderInterface::~QvFolderInterface() {
  if (node_ == nullptr) return;
  if (observer_ != nullptr) node_->DetachNotify(observer_);
  QvFolderSet* folderSet = node_->GetFolderSet();
  if (folderSet != nullptr) folderSet->CloseFolder(node_);
}

QvFolderInterface* QvFolderInterface::OpenFolder(unsigned long id) {
  if (node_ == nullptr) return nullptr;
  QvStoreNode* child = node_->OpenFolder(static_cast<uint32_t>(id));
  if (child == nullptr) return nullptr;
  auto* facade = new (std::nothrow) QvFolderInterface(child);
  if (facade == nullptr) {
    child->GetFolderSet()->CloseFolder(child);
    Fail(QVMDL_ERR_STG_NOT_ENOUGH_MEMORY);
  }
  return facade;
}

bool QvFolderInterface::CreateFolder(const std::wstring& name, unsigned long* id) {
  if (node_ == nullptr) return false;
  if (id == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  uint32_t made = 0;
  if (!node_->CreateFolder(name, &made)) return false;
  *id = made;
  return true;
}

bool QvFolderInterface::RemoveFolder(unsigned long id) {
  return node_ != nullptr && node_->RemoveFolder(static_cast<uint32_t>(id));
}

bool QvFolderInterface::MoveFolder(unsigned long id, QvFolderInterface* destination) {
  if (node_ == nullptr) return false;
  if (destination == nullptr || destination->node_ == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  return node_->MoveFolder(static_cast<uint32_t>(id), destination->node_);
}

unsigned long QvFolderInterface::GetUnreadCount() { return node_ == nullptr ? 0 : node_->GetUnreadCount(); }

bool QvFolderInterface::ReadFolderAttributes(unsigned long id, FolderAttributes* attributes) const {
  return node_ != nullptr && node_->ReadFolderAttributes(static_cast<uint32_t>(id), attributes);
}

bool QvFolderInterface::WriteFolderAttributes(unsigned long id, const FolderAttributes& attributes) {
  return node_ != nullptr && node_->WriteFolderAttributes(static_cast<uint32_t>(id), attributes);
}

bool QvFolderInterface::GetFolderIds(std::vector<unsigned long>* ids) const {
  if (node_ == nullptr) return false;
  if (ids == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  std::vector<uint32_t> found;
  if (!node_->GetFolderIds(&found)) return false;
  if (node_->GetId() == 0) {
    found.push_back(QvFolderSet::kPartialTray);
    found.push_back(QvFolderSet::kUnreadTray);
  }
  FromIds(found, ids);
  return true;
}

bool QvFolderInterface::GetMessageIds(std::vector<unsigned long>* ids) {
  if (node_ == nullptr) return false;
  if (ids == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  std::vector<uint32_t> found;
  if (!node_->GetMessageIds(&found)) return false;
  FromIds(found, ids);
  return true;
}

QvMessageInterface* QvFolderInterface::OpenMessage(unsigned long id) {
  if (node_ == nullptr) return nullptr;
  QvMessage* message = node_->OpenMessage(static_cast<uint32_t>(id));
  if (message == nullptr) return nullptr;
  auto* facade = new (std::nothrow) QvMessageInterface(message);
  if (facade == nullptr) {
    node_->GetMessageSet()->CloseMessage(message);
    Fail(QVMDL_ERR_STG_NOT_ENOUGH_MEMORY);
  }
  return facade;
}

bool QvFolderInterface::CreateMessage(unsigned long* id) {
  if (node_ == nullptr) return false;
  if (id == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  uint32_t made = 0;
  if (!node_->CreateMessage(&made)) return false;
  *id = made;
  return true;
}

bool QvFolderInterface::CreateMessage(unsigned long* id, unsigned long size) {
  if (node_ == nullptr) return false;
  if (id == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  uint32_t made = 0;
  // A size past 32 bits asks for more room than any volume offers.
  const uint32_t expected = size > 0xFFFFFFFFul ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
  if (!node_->CreateMessageOfSize(&made, expected)) return false;
  *id = made;
  return true;
}

bool QvFolderInterface::CreateMessage(unsigned long* id, const QvMessageInterface::Attributes& attributes,
                                      const std::string& raw) {
  if (node_ == nullptr) return false;
  if (id == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  uint32_t made = 0;
  if (!node_->CreateMessageWithText(&made, attributes, raw)) return false;
  *id = made;
  return true;
}

bool QvFolderInterface::RemoveMessage(unsigned long id) {
  return node_ != nullptr && node_->RemoveMessages({static_cast<uint32_t>(id)});
}

bool QvFolderInterface::RemoveMessage(std::vector<unsigned long>& ids) {
  return node_ != nullptr && node_->RemoveMessages(ToIds(ids));
}

bool QvFolderInterface::MoveMessage(unsigned long id, QvFolderInterface* destination) {
  if (node_ == nullptr) return false;
  if (destination == nullptr || destination->node_ == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  return node_->MoveMessages({static_cast<uint32_t>(id)}, destination->node_);
}

bool QvFolderInterface::MoveMessage(std::vector<unsigned long>& ids, QvFolderInterface* destination) {
  if (node_ == nullptr) return false;
  if (destination == nullptr || destination->node_ == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  return node_->MoveMessages(ToIds(ids), destination->node_);
}

bool QvFolderInterface::RemoveAttachments(std::vector<unsigned long>& ids, std::vector<unsigned long>* failed) {
  if (node_ == nullptr) return false;
  std::vector<uint32_t> notStripped;
  bool ok = node_->RemoveAttachments(ToIds(ids), failed == nullptr ? nullptr : &notStripped);
  if (failed != nullptr) FromIds(notStripped, failed);
  return ok;
}

unsigned long QvFolderInterface::GetRemainMessageCount() {
  return node_ == nullptr ? 0 : node_->GetRemainMessageCount();
}

bool QvFolderInterface::LoadMessageHeader(FolderMsgHeader* records, unsigned long count) {
  if (node_ == nullptr) return false;
  // No folder holds more than 1000 records; a larger count cannot match.
  const uint32_t wanted = count > 0xFFFFFFFFul ? 0xFFFFFFFFu : static_cast<uint32_t>(count);
  return node_->LoadMessageHeader(records, wanted);
}

bool QvFolderInterface::FlushMessageHeader() { return true; }

bool QvFolderInterface::RegisterNotify(Notify* observer) {
  if (node_ == nullptr) return false;
  if (observer == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  if (observer_ != nullptr) return Fail(QVMDL_ERR_STG_OBSERVER_REGISTERED);
  if (!node_->AttachNotify(observer)) return Fail(QVMDL_ERR_STG_OBSERVER_REFUSED);
  observer_ = observer;
  return true;
}

bool QvFolderInterface::UnregisterNotify(Notify* observer) {
  if (node_ == nullptr) return false;
  if (observer == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  if (observer != observer_) return Fail(QVMDL_ERR_STG_OBSERVER_UNKNOWN);
  observer_ = nullptr;
  return node_->DetachNotify(observer);
}

unsigned long QvFolderInterface::GetErrorInfo() { return node_ == nullptr ? QVMDL_SUCCESS : node_->GetErrorInfo(); }
