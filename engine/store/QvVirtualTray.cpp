#include "engine/store/QvVirtualTray.h"

#include "engine/store/QvFolderSet.h"
#include "engine/store/QvMessage.h"
#include "engine/store/QvMessageSet.h"
#include "engine/public/foundation/QvMiddleError.h"

QvVirtualTray::QvVirtualTray(uint32_t id, QvFolderSet* folderSet, QvMessageSet* messageSet,
                             const std::wstring& directory)
    : QvStoreNode(id, folderSet, messageSet, directory) {}

QvVirtualTray::~QvVirtualTray() = default;

bool QvVirtualTray::GetMessageIds(std::vector<uint32_t>* ids) {
  if (ids == nullptr) {
    SetQvMiddleError(QVMDL_ERR_STG_NULL_ARGUMENT);
    return false;
  }
  QvStoreNode* root = folderSet_->GetFolder(0);
  if (root == nullptr) return false;
  ids->clear();
  bool ok = Collect(root, ids);
  folderSet_->CloseFolder(root);
  return ok;
}

bool QvVirtualTray::Collect(QvStoreNode* folder, std::vector<uint32_t>* ids) {
  std::set<uint32_t> seen;
  return CollectOnce(folder, ids, &seen);
}

bool QvVirtualTray::CollectOnce(QvStoreNode* folder, std::vector<uint32_t>* ids, std::set<uint32_t>* seen) {
  seen->insert(folder->GetId());
  std::vector<uint32_t> children;
  if (!folder->GetFolderIds(&children)) return false;
  for (uint32_t id : children) {
    if (seen->count(id) != 0) continue;  // listed twice or naming an ancestor
    QvStoreNode* child = folderSet_->GetFolder(id);
    if (child == nullptr) return false;
    bool ok = CollectOnce(child, ids, seen);
    folderSet_->CloseFolder(child);
    if (!ok) return false;
  }
  return id_ == QvFolderSet::kPartialTray ? folder->GetPartialIds(ids) : folder->GetUnreadIds(ids);
}

QvMessage* QvVirtualTray::OpenMessage(uint32_t id) {
  uint32_t folder = 0;
  if (!messageSet_->IsValidId(id)) {
    SetQvMiddleError(QVMDL_ERR_STG_MESSAGE_ID_RANGE);
    return nullptr;
  }
  // Only a message some folder holds: a free id has no file to open.
  if (!messageSet_->GetMessageFolder(id, &folder)) return nullptr;
  return messageSet_->OpenMessage(id);
}

bool QvVirtualTray::RemoveMessages(const std::vector<uint32_t>& ids) {
  for (uint32_t id : ids) {
    if (!RemoveOneMessage(id)) return false;
  }
  return true;
}

bool QvVirtualTray::RemoveOneMessage(uint32_t id) {
  if (!QvMessage::HasRoomFor(path_, 0)) {
    SetQvMiddleError(QVMDL_ERR_STG_DISK_FULL);
    return false;
  }
  uint32_t folderId = 0;
  if (!messageSet_->GetMessageFolder(id, &folderId)) return false;
  QvStoreNode* folder = folderSet_->GetFolder(folderId);
  if (folder == nullptr) return false;
  bool ok = folder->RemoveOneMessage(id) && folder->CompactHeader();
  folderSet_->CloseFolder(folder);
  return ok;
}

bool QvVirtualTray::CompactHeader() { return true; }
