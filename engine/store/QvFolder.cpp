#include "engine/store/QvFolder.h"

#include <algorithm>
#include <set>

#include "engine/store/QvMailHeaderDecoder.h"
#include "engine/store/QvFolderSet.h"
#include "engine/store/QvMessage.h"
#include "engine/store/QvMessageSet.h"
#include "engine/store/QvStoreChange.h"
#include "engine/public/foundation/QvMiddleError.h"

namespace {

// What the mail decoder reports when a stored mail's attachments cannot be
// cut out of it; removal then goes on with the next message.
constexpr uint32_t kAttachmentRemovalFailed = 0x2002401;

// Folder trees are shallow; a chain deeper than this is a damaged list.
constexpr int kMaxDepth = 64;

std::vector<uint32_t> Distinct(const std::vector<uint32_t>& ids) {
  std::vector<uint32_t> out;
  std::set<uint32_t> seen;
  for (uint32_t id : ids) {
    if (seen.insert(id).second) out.push_back(id);
  }
  return out;
}

}  // namespace

const wchar_t QvFolder::kPartialTrayName[] = L"部分受信トレイ";
const wchar_t QvFolder::kUnreadTrayName[] = L"未読メールトレイ";

QvFolder::QvFolder(uint32_t id, QvFolderSet* folderSet, QvMessageSet* messageSet, const std::wstring& directory)
    : QvStoreNode(id, folderSet, messageSet, directory) {}

QvFolder::~QvFolder() = default;

bool QvFolder::Fail(uint32_t code) {
  SetQvMiddleError(code);
  return false;
}

bool QvFolder::HasFreeSpace() {
  return QvMessage::HasRoomFor(path_, 0) || Fail(QVMDL_ERR_STG_DISK_FULL);
}

bool QvFolder::IsTray(uint32_t id) const { return id == QvFolderSet::kPartialTray || id == QvFolderSet::kUnreadTray; }

uint32_t QvFolder::Open(const std::wstring& fldPath, const std::wstring& msgPath, const std::wstring& fdbPath) {
  uint32_t code = folders_.ReadFile(fldPath);
  if (code == QVMDL_SUCCESS) code = messages_.ReadFile(msgPath);
  if (code == QVMDL_SUCCESS) code = header_.Open(fdbPath);
  return code;
}

// ---------------------------------------------------------------------------
// Child folders

bool QvFolder::GetFolderIds(std::vector<uint32_t>* ids) {
  if (ids == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  return folders_.GetIds(ids);
}

QvStoreNode* QvFolder::OpenFolder(uint32_t id) {
  if (!IsTray(id)) {
    if (!folderSet_->IsValidId(id)) {
      Fail(QVMDL_ERR_STG_FOLDER_ID_RANGE);
      return nullptr;
    }
    if (!folders_.Contains(id)) {
      Fail(QVMDL_ERR_STG_FOLDER_NOT_LISTED);
      return nullptr;
    }
  }
  return folderSet_->GetFolder(id);
}

bool QvFolder::CreateFolder(const std::wstring& name, uint32_t* id) {
  if (id == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  if (folderSet_->GetUserFolderCount() >= kMaxUserFolders) return Fail(QVMDL_ERR_STG_USER_FOLDER_LIMIT);
  if (!HasFreeSpace()) return false;
  uint32_t child = 0;
  if (!folderSet_->AllocateFolder(&child)) return false;
  uint32_t code = folders_.Add(FolderEntryRecord{0, child, name});
  if (code != QVMDL_SUCCESS) {
    folders_.Remove(child);
    folderSet_->DeleteFolderFiles(child);
    return Fail(code);
  }
  *id = child;
  FireNotify0(child);
  return true;
}

bool QvFolder::CheckChild(uint32_t id) {
  if (!folderSet_->IsValidId(id)) return Fail(QVMDL_ERR_STG_FOLDER_ID_RANGE);
  if (!folders_.Contains(id)) return Fail(QVMDL_ERR_STG_FOLDER_NOT_LISTED);
  if (folderSet_->IsFolderOpen(id)) return Fail(QVMDL_ERR_STG_FOLDER_OPEN);
  return true;
}

bool QvFolder::RemoveFolder(uint32_t id) {
  if (!HasFreeSpace() || !CheckChild(id)) return false;
  // The branch is removed from the bottom up; a chain of lists deeper than
  // any real tree is refused before it can exhaust the stack.
  static thread_local int depth = 0;
  if (depth >= kMaxDepth) return Fail(QVMDL_ERR_STG_FOLDER_ID_RANGE);
  struct Deeper {
    Deeper() { ++depth; }
    ~Deeper() { --depth; }
  } deeper;
  QvStoreNode* child = folderSet_->GetFolder(id);
  if (child == nullptr) return false;
  // The folders below go first: left behind they would hold their messages
  // and their place among the user's folders with no way to reach them.
  std::vector<uint32_t> grandChildren;
  bool ok = child->GetFolderIds(&grandChildren);
  for (size_t i = 0; ok && i < grandChildren.size(); ++i) ok = child->RemoveFolder(grandChildren[i]);
  std::vector<uint32_t> messageIds;
  ok = ok && child->GetMessageIds(&messageIds) && child->RemoveMessages(messageIds);
  folderSet_->CloseFolder(child);
  if (!ok) return false;
  uint32_t code = folders_.Remove(id);
  if (code != QVMDL_SUCCESS) return Fail(code);
  folderSet_->DeleteFolderFiles(id);
  FireNotify0(id);
  return true;
}

bool QvFolder::IsInSubtree(uint32_t id, uint32_t target, int depth) {
  if (id == target) return true;
  if (depth > kMaxDepth) return true;  // a loop in the lists: refuse rather than walk on
  QvStoreNode* node = folderSet_->GetFolder(id);
  if (node == nullptr) return true;
  std::vector<uint32_t> children;
  bool listed = node->GetFolderIds(&children);
  folderSet_->CloseFolder(node);
  if (!listed) return true;
  for (uint32_t child : children) {
    if (child == id || IsInSubtree(child, target, depth + 1)) return true;
  }
  return false;
}

bool QvFolder::MoveFolder(uint32_t id, QvStoreNode* destination) {
  if (destination == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  if (!CheckChild(id)) return false;
  const uint32_t target = destination->GetId();
  // A tray keeps no list, and a folder moved into itself or below itself
  // would leave the tree: either way the folder would be lost.
  if (!folderSet_->IsValidId(target)) return Fail(QVMDL_ERR_STG_FOLDER_ID_RANGE);
  if (IsInSubtree(id, target, 0)) return Fail(QVMDL_ERR_STG_FOLDER_OPEN);
  FolderEntryRecord entry;
  if (!folders_.Get(id, &entry)) return Fail(QVMDL_ERR_STG_FOLDER_NOT_LISTED);
  // Into the destination's list first, then out of this one: a death in
  // between leaves the folder in both, and the storage's next open takes it
  // out of the destination again.
  const QvStoreChange::FolderMove move{id, id_, target};
  QvStoreChange change(messageSet_->DataDirectory(), {}, &move);
  if (!change.Recorded()) return Fail(QVMDL_ERR_STG_FILEIO_FILE_WRITE_FLD);
  entry.mask = 0;
  uint32_t code = destination->AddFolderEntry(entry);
  if (code != QVMDL_SUCCESS) return Fail(code);
  code = folders_.Remove(id);
  if (code != QVMDL_SUCCESS) {
    destination->RemoveFolderEntry(id);
    return Fail(code);
  }
  FireNotify0(id);
  destination->FireNotify0(id);
  return true;
}

bool QvFolder::ReadFolderAttributes(uint32_t id, FolderAttributes* out) {
  if (out == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  FolderEntryRecord entry;
  if (folders_.Get(id, &entry)) {
    out->name = entry.name;
    return true;
  }
  if (id == QvFolderSet::kPartialTray) {
    out->name = kPartialTrayName;
    return true;
  }
  if (id == QvFolderSet::kUnreadTray) {
    out->name = kUnreadTrayName;
    return true;
  }
  return Fail(QVMDL_ERR_STG_FOLDER_NOT_LISTED);
}

bool QvFolder::WriteFolderAttributes(uint32_t id, const FolderAttributes& attributes) {
  if ((attributes.mask & 1) == 0) return true;
  if (!HasFreeSpace()) return false;
  if (!folders_.Contains(id)) return Fail(QVMDL_ERR_STG_FOLDER_NOT_LISTED);
  uint32_t code = folders_.Update(id, FolderEntryRecord{1, id, attributes.name});
  return code == QVMDL_SUCCESS || Fail(code);
}

uint32_t QvFolder::AddFolderEntry(const FolderEntryRecord& entry) { return folders_.Add(entry); }
uint32_t QvFolder::RemoveFolderEntry(uint32_t id) { return folders_.Remove(id); }

// ---------------------------------------------------------------------------
// The message list

uint32_t QvFolder::GetUnreadCount() { return messages_.GetUnreadCount(); }
uint32_t QvFolder::GetMessageCount() { return messages_.GetCount(); }

uint32_t QvFolder::GetRemainMessageCount() {
  uint32_t count = messages_.GetCount();
  return count >= kMaxMessages ? 0 : kMaxMessages - count;
}

bool QvFolder::GetPartialIds(std::vector<uint32_t>* ids) {
  if (ids == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  std::vector<uint32_t> found;
  messages_.GetPartialIds(&found);
  ids->insert(ids->end(), found.begin(), found.end());
  return true;
}

bool QvFolder::GetUnreadIds(std::vector<uint32_t>* ids) {
  if (ids == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  std::vector<uint32_t> found;
  messages_.GetUnreadIds(&found);
  ids->insert(ids->end(), found.begin(), found.end());
  return true;
}

bool QvFolder::GetMessageIds(std::vector<uint32_t>* ids) {
  if (ids == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  messages_.GetIds(ids);
  return header_.CheckCount(*ids);
}

QvMessage* QvFolder::OpenMessage(uint32_t id) {
  if (!messageSet_->IsValidId(id)) {
    Fail(QVMDL_ERR_STG_MESSAGE_ID_RANGE);
    return nullptr;
  }
  if (!messages_.Contains(id)) {
    Fail(QVMDL_ERR_STG_MESSAGE_NOT_LISTED);
    return nullptr;
  }
  return messageSet_->OpenMessage(id);
}

bool QvFolder::CreateMessageOfSize(uint32_t* id, uint32_t size) {
  if (id == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  return header_.EnsureSpace(size) && CreateMessageImpl(id);
}

bool QvFolder::CreateMessage(uint32_t* id) {
  if (id == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  return CreateMessageImpl(id);
}

// The checks are those of a created message followed by its attributes and
// its first text; the room a text needs is in the header cache's check.
bool QvFolder::CreateMessageWithText(uint32_t* id, const QvMessageInterface::Attributes& attributes,
                                     const std::string& raw) {
  if (id == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  QvMessage::NewText content;
  const uint32_t code = QvMessage::ComposeNewText(attributes, raw, &content);
  if (code != QVMDL_SUCCESS) return Fail(code);
  const uint32_t size = raw.size() > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(raw.size());
  if (!header_.EnsureSpace(size) || !CreateMessageImpl(id, &content)) return false;
  // As a flag change after the creation would tell them.
  NotifyTrays(*id, content.state != 0, content.unread != 0);
  return true;
}

bool QvFolder::CreateMessageImpl(uint32_t* id, const QvMessage::NewText* content) {
  if (messages_.GetCount() >= kMaxMessages) return Fail(QVMDL_ERR_STG_FOLDER_FULL);
  uint32_t created = 0;
  if (!messageSet_->CreateMessageFile(&created, id_, content)) return false;
  // A message no list holds could never be reached again: each failure
  // below takes the new message away again.
  uint32_t code = messages_.Add(MessageEntryRecord{0, created, content != nullptr ? content->unread : uint8_t{0},
                                                   content != nullptr ? content->state : uint8_t{0}});
  if (code != QVMDL_SUCCESS) {
    messageSet_->RemoveMessageFile(created);
    return Fail(code);
  }
  FolderMsgHeader record{};
  record.id = created;
  if (content != nullptr) QvMessage::ApplyListFields(*content->attributes, &record);
  if (!header_.Append(record)) {
    code = GetQvMiddleError();
    messages_.Remove(created);
    messageSet_->RemoveMessageFile(created);
    return Fail(code);
  }
  // Told once the list and the header cache agree, so that an observer
  // reading the list at once finds the message whole.
  *id = created;
  FireNotify1(created);
  return true;
}

bool QvFolder::CheckMovable(const std::vector<uint32_t>& ids, bool needKnown) {
  for (uint32_t id : ids) {
    if (needKnown && !messageSet_->IsValidId(id)) return Fail(QVMDL_ERR_STG_MESSAGE_ID_RANGE);
    if (!messages_.Contains(id)) return Fail(QVMDL_ERR_STG_MESSAGE_NOT_LISTED);
    if (messageSet_->IsMessageOpen(id)) return Fail(QVMDL_ERR_STG_MESSAGE_OPEN);
  }
  return true;
}

bool QvFolder::RemoveMessages(const std::vector<uint32_t>& given) {
  if (!HasFreeSpace()) return false;
  if (given.empty()) return true;
  const std::vector<uint32_t> ids = Distinct(given);
  if (!CheckMovable(ids, false)) return false;
  QvStoreChange change(messageSet_->DataDirectory(), {id_});
  if (!change.Recorded()) return Fail(QVMDL_ERR_STG_FILEIO_FILE_WRITE_MSG);
  uint32_t code = messages_.RemoveMany(ids);
  if (code != QVMDL_SUCCESS) return Fail(code);
  bool removed = messageSet_->RemoveMessageFiles(ids, &header_);
  uint32_t cause = GetQvMiddleError();
  header_.Compact();
  if (!removed) return Fail(cause);
  return true;
}

void QvFolder::NotifyTrays(uint32_t messageId, bool partialChanged, bool unreadChanged) {
  if (partialChanged) NotifyPartialTray(folderSet_, messageId);
  if (unreadChanged) NotifyUnreadTray(folderSet_, messageId);
}

bool QvFolder::RemoveOneMessage(uint32_t id) {
  if (!HasFreeSpace() || !CheckMovable({id}, false)) return false;
  MessageEntryRecord entry;
  if (!messages_.Get(id, &entry)) return Fail(QVMDL_ERR_STG_MESSAGE_NOT_LISTED);
  QvStoreChange change(messageSet_->DataDirectory(), {id_});
  if (!change.Recorded()) return Fail(QVMDL_ERR_STG_FILEIO_FILE_WRITE_MSG);
  uint32_t code = messages_.Remove(id);
  if (code != QVMDL_SUCCESS) return Fail(code);
  header_.MarkDeleted(id);  // a record already missing does not keep the message
  bool removed = messageSet_->RemoveMessageFile(id);
  uint32_t cause = GetQvMiddleError();
  FireNotify1(id);
  NotifyTrays(id, entry.partial != 0, entry.unread != 0);
  return removed || Fail(cause);
}

bool QvFolder::MoveOneMessage(uint32_t id, QvStoreNode* destination) {
  if (destination == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  const uint32_t target = destination->GetId();
  if (!folderSet_->IsValidId(target)) return Fail(QVMDL_ERR_STG_FOLDER_ID_RANGE);
  if (!HasFreeSpace() || !CheckMovable({id}, true)) return false;
  if (target == id_) return true;
  if (destination->GetMessageCount() >= kMaxMessages) return Fail(QVMDL_ERR_STG_FOLDER_FULL);
  MessageEntryRecord entry;
  if (!messages_.Get(id, &entry)) return Fail(QVMDL_ERR_STG_MESSAGE_NOT_LISTED);
  FolderMsgHeader record{};
  record.id = id;
  if (!header_.ReadRecord(&record)) return false;
  QvStoreChange change(messageSet_->DataDirectory(), {id_, target});
  if (!change.Recorded()) return Fail(QVMDL_ERR_STG_FILEIO_FILE_WRITE_MSG);
  uint32_t code = messages_.Remove(id);
  if (code != QVMDL_SUCCESS) return Fail(code);
  if (!header_.MarkDeleted(id)) {
    code = GetQvMiddleError();
    messages_.Add(entry);
    return Fail(code);
  }
  FireNotify1(id);
  entry.mask = 0;
  code = destination->AddMessageEntry(entry);
  if (code != QVMDL_SUCCESS) {
    // Back into this folder, so that the message stays in some list.
    messages_.Add(entry);
    header_.Append(record);
    return Fail(code);
  }
  if (!messageSet_->UpdateEntry(QvMessageSet::kChange, id, target)) return false;
  destination->FireNotify1(id);
  return destination->AppendHeaderRecord(record);
}

bool QvFolder::MoveMessages(const std::vector<uint32_t>& given, QvStoreNode* destination) {
  if (destination == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  if (given.empty()) return true;
  const uint32_t target = destination->GetId();
  // A tray keeps no list: a message moved there would be in none.
  if (!folderSet_->IsValidId(target)) return Fail(QVMDL_ERR_STG_FOLDER_ID_RANGE);
  std::vector<uint32_t> ids = Distinct(given);
  const uint32_t held = destination->GetMessageCount();
  bool tooMany = false;
  if (target != id_ && held + ids.size() > kMaxMessages) {
    ids.resize(held >= kMaxMessages ? 0 : kMaxMessages - held);
    tooMany = true;
  }
  if (!HasFreeSpace() || !CheckMovable(ids, true)) return false;
  if (target == id_) return true;  // already there
  if (ids.empty()) return Fail(QVMDL_ERR_STG_FOLDER_FULL);

  QvStoreChange change(messageSet_->DataDirectory(), {id_, target});
  if (!change.Recorded()) return Fail(QVMDL_ERR_STG_FILEIO_FILE_WRITE_MSG);
  std::vector<MessageEntryRecord> entries;
  messages_.Collect(ids, &entries);
  for (MessageEntryRecord& e : entries) e.mask = 0;
  uint32_t code = messages_.RemoveMany(ids);
  if (code != QVMDL_SUCCESS) return Fail(code);
  code = destination->AddMessageEntries(entries);
  if (code != QVMDL_SUCCESS) {
    messages_.AddMany(entries);  // back where they were
    return Fail(code);
  }
  bool ok = true;
  for (uint32_t id : ids) {
    FolderMsgHeader record{};
    record.id = id;
    ok = messageSet_->UpdateEntry(QvMessageSet::kChange, id, target) && header_.ReadRecord(&record) &&
         destination->AppendHeaderRecord(record);
    if (!ok) break;
  }
  uint32_t cause = GetQvMiddleError();
  for (uint32_t id : ids) header_.MarkDeleted(id);
  header_.Compact();
  if (!ok) return Fail(cause);
  return !tooMany || Fail(QVMDL_ERR_STG_FOLDER_FULL);
}

bool QvFolder::SetMessageFlags(uint32_t id, bool unread, bool partial) {
  const MessageEntryRecord flags{3, id, static_cast<uint8_t>(unread), static_cast<uint8_t>(partial)};
  MessageEntryRecord before;
  uint32_t code = messages_.Update(id, flags, &before);
  if (code != QVMDL_SUCCESS) return Fail(code);
  const bool unreadChanged = (before.unread != 0) != unread;
  const bool partialChanged = (before.partial != 0) != partial;
  if (unreadChanged || partialChanged) FireNotify1(id);
  NotifyTrays(id, partialChanged, unreadChanged);
  return true;
}

bool QvFolder::RemoveAttachments(const std::vector<uint32_t>& ids, std::vector<uint32_t>* failed) {
  if (ids.empty()) return true;
  if (failed == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  if (!HasFreeSpace()) return false;
  failed->clear();
  uint32_t stripped = 0;
  for (uint32_t id : ids) {
    if (!CheckMovable({id}, true)) return false;
    QvMessage* message = messageSet_->OpenMessage(id);
    if (message == nullptr) return false;
    bool ok = message->DeleteAttachments();
    uint32_t code = GetErrorInfo();
    messageSet_->CloseMessage(message);
    if (ok) {
      ++stripped;
    } else if (code == QVMDL_ERR_STG_EML_OLD_VERSION) {
      failed->push_back(id);
    } else if (code != QVMDL_ERR_STG_NO_ATTACHMENT && code != kAttachmentRemovalFailed &&
               code != QVMDL_ERR_EML_PICTURE_PARTS) {
      return false;
    }
  }
  return stripped != 0 || Fail(QVMDL_ERR_STG_NO_ATTACHMENT);
}

uint32_t QvFolder::AddMessageEntries(const std::vector<MessageEntryRecord>& entries) {
  return messages_.AddMany(entries);
}

uint32_t QvFolder::AddMessageEntry(const MessageEntryRecord& entry) { return messages_.Add(entry); }

bool QvFolder::ReplaceMessageEntries(const std::vector<MessageEntryRecord>& entries) {
  return messages_.ReplaceAll(entries);
}

// ---------------------------------------------------------------------------
// The header cache

bool QvFolder::WriteHeaderRecord(const FolderMsgHeader& record) { return header_.WriteRecord(record); }
bool QvFolder::ReadHeaderRecord(FolderMsgHeader* record) { return header_.ReadRecord(record); }
bool QvFolder::UpdateHeaderRecord(uint32_t id, const std::function<void(FolderMsgHeader*)>& change) {
  return header_.UpdateRecord(id, change);
}
bool QvFolder::AppendHeaderRecord(const FolderMsgHeader& record) { return header_.Append(record); }

bool QvFolder::LoadMessageHeader(FolderMsgHeader* records, uint32_t count) {
  return header_.LoadAll(records, count);
}

bool QvFolder::CompactHeader() { return header_.Compact(); }

bool QvFolder::RebuildHeader(QvStoreNode* folder) {
  if (folder == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  std::vector<uint32_t> ids;
  messages_.GetIds(&ids);
  QvMailHeaderDecoder source([this, folder](uint32_t id, std::string* raw) {
    QvMessage* message = folder->OpenMessage(id);
    if (message == nullptr) return false;
    bool read = message->SeekToHead() && message->Read(raw);
    messageSet_->CloseMessage(message);
    return read;
  });
  return header_.Rebuild(ids, source);
}
