#include "engine/store/QvStoreNode.h"

#include <algorithm>
#include <cstring>

#include "engine/public/foundation/QvMiddleError.h"

QvStoreNode::QvStoreNode() = default;

QvStoreNode::QvStoreNode(uint32_t id, QvFolderSet* folderSet, QvMessageSet* messageSet, const std::wstring& directory)
    : id_(id), folderSet_(folderSet), messageSet_(messageSet), path_(directory) {
  size_t cut = path_.rfind(L'\\');
  if (cut != std::wstring::npos) path_.resize(cut + 1);
}

QvStoreNode::~QvStoreNode() = default;

uint32_t QvStoreNode::Open(const std::wstring&, const std::wstring&, const std::wstring&) { return QVMDL_SUCCESS; }
bool QvStoreNode::GetFolderIds(std::vector<uint32_t>*) { return false; }
QvStoreNode* QvStoreNode::OpenFolder(uint32_t) { return nullptr; }
bool QvStoreNode::CreateFolder(const std::wstring&, uint32_t*) { return false; }
bool QvStoreNode::RemoveFolder(uint32_t) { return false; }
bool QvStoreNode::MoveFolder(uint32_t, QvStoreNode*) { return false; }
uint32_t QvStoreNode::GetUnreadCount() { return 0; }
bool QvStoreNode::GetPartialIds(std::vector<uint32_t>*) { return false; }
bool QvStoreNode::GetUnreadIds(std::vector<uint32_t>*) { return false; }
bool QvStoreNode::ReadFolderAttributes(uint32_t, FolderAttributes*) { return false; }
bool QvStoreNode::WriteFolderAttributes(uint32_t, const FolderAttributes&) { return false; }
bool QvStoreNode::GetMessageIds(std::vector<uint32_t>*) { return false; }
QvMessage* QvStoreNode::OpenMessage(uint32_t) { return nullptr; }
bool QvStoreNode::CreateMessageOfSize(uint32_t*, uint32_t) { return false; }
bool QvStoreNode::CreateMessage(uint32_t*) { return false; }
bool QvStoreNode::CreateMessageWithText(uint32_t*, const QvMessageInterface::Attributes&, const std::string&) {
  return false;
}
bool QvStoreNode::RemoveMessages(const std::vector<uint32_t>&) { return false; }
bool QvStoreNode::RemoveOneMessage(uint32_t) { return false; }
bool QvStoreNode::MoveMessages(const std::vector<uint32_t>&, QvStoreNode*) { return false; }
bool QvStoreNode::MoveOneMessage(uint32_t, QvStoreNode*) { return false; }
bool QvStoreNode::SetMessageFlags(uint32_t, bool, bool) { return false; }
bool QvStoreNode::RemoveAttachments(const std::vector<uint32_t>&, std::vector<uint32_t>*) { return false; }
uint32_t QvStoreNode::GetRemainMessageCount() { return 0; }
bool QvStoreNode::WriteHeaderRecord(const FolderMsgHeader&) { return false; }
bool QvStoreNode::ReadHeaderRecord(FolderMsgHeader*) { return false; }
// A node whose records have no single read-and-write of their own.
bool QvStoreNode::UpdateHeaderRecord(uint32_t id, const std::function<void(FolderMsgHeader*)>& change) {
  FolderMsgHeader record{};
  record.id = id;
  if (!ReadHeaderRecord(&record)) return false;
  FolderMsgHeader updated = record;
  change(&updated);
  updated.id = id;
  return memcmp(&updated, &record, sizeof record) == 0 || WriteHeaderRecord(updated);
}
bool QvStoreNode::AppendHeaderRecord(const FolderMsgHeader&) { return false; }
bool QvStoreNode::LoadMessageHeader(FolderMsgHeader*, uint32_t) { return false; }
bool QvStoreNode::CompactHeader() { return false; }
bool QvStoreNode::RebuildHeader(QvStoreNode*) { return false; }
bool QvStoreNode::ReplaceMessageEntries(const std::vector<MessageEntryRecord>&) { return false; }

bool QvStoreNode::AttachNotify(Notify* observer) {
  observers_.push_back(observer);
  return true;
}

bool QvStoreNode::DetachNotify(Notify* observer) {
  auto it = std::find(observers_.begin(), observers_.end(), observer);
  if (it == observers_.end()) return false;
  observers_.erase(it);
  return true;
}

// Observers may unregister while they are told: walk a copy of the list.
// Observers may detach themselves or others while being told: walk a copy,
// and skip any that is no longer attached when its turn comes.
template <typename Call>
void QvStoreNode::ForEachObserver(Call call) {
  const std::vector<Notify*> observers = observers_;
  for (Notify* observer : observers) {
    if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end()) call(observer);
  }
}

void QvStoreNode::FireNotify0(uint32_t id) {
  ForEachObserver([id](Notify* observer) { observer->FolderChanged(id); });
}

void QvStoreNode::FireNotify1(uint32_t id) {
  ForEachObserver([id](Notify* observer) { observer->MessageChanged(id); });
}

uint32_t QvStoreNode::GetId() { return id_; }
QvFolderSet* QvStoreNode::GetFolderSet() { return folderSet_; }
QvMessageSet* QvStoreNode::GetMessageSet() { return messageSet_; }
uint32_t QvStoreNode::AddFolderEntry(const FolderEntryRecord&) { return QVMDL_SUCCESS; }
uint32_t QvStoreNode::RemoveFolderEntry(uint32_t) { return QVMDL_SUCCESS; }
uint32_t QvStoreNode::AddMessageEntries(const std::vector<MessageEntryRecord>&) { return QVMDL_SUCCESS; }
uint32_t QvStoreNode::AddMessageEntry(const MessageEntryRecord&) { return QVMDL_SUCCESS; }
uint32_t QvStoreNode::GetMessageCount() { return 0; }
uint32_t QvStoreNode::GetErrorInfo() { return GetQvMiddleError(); }
