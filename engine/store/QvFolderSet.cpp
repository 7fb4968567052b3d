#include "engine/store/QvFolderSet.h"

#include <atomic>
#include <new>
#include <set>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/store/QvFolder.h"
#include "engine/store/QvMessageHeader.h"
#include "engine/store/QvStoreFile.h"
#include "engine/store/QvStoreNode.h"
#include "engine/store/QvVirtualTray.h"
#include "platform/base/ScopedHandle.h"
#include "platform/kernel/Files.h"

namespace {

// The two virtual trays, and a real folder for every other id.
QvStoreNode* MakeStoreNode(uint32_t id, QvFolderSet* folderSet, QvMessageSet* messageSet,
                           const std::wstring& directory) {
  if (id == QvFolderSet::kPartialTray || id == QvFolderSet::kUnreadTray) {
    return new QvVirtualTray(id, folderSet, messageSet, directory);
  }
  return new QvFolder(id, folderSet, messageSet, directory);
}

std::atomic<QvFolderSet::NodeMaker> gNodeMaker{&MakeStoreNode};

constexpr uint32_t kMaxTries = 65535;

// Results of the tree's id allocator.
uint32_t MapTreeIds(uint32_t code) {
  switch (code) {
    case QVMDL_ERR_STG_TREE_EXISTS: return QVMDL_ERR_STG_DIR_EXISTS_TREE;
    case QVMDL_ERR_STG_TREE_CREATE: return QVMDL_ERR_STG_DIR_CREATE_TREE;
    case QVMDL_ERR_STG_STATUS_OPEN: return QVMDL_ERR_STG_FILEIO_FILE_OPEN_TREESTATUS;
    case QVMDL_ERR_STG_STATUS_WRITE: return QVMDL_ERR_STG_FILEIO_FILE_WRITE_TREESTATUS;
    case QVMDL_ERR_STG_STATUS_READ: return QVMDL_ERR_STG_FILEIO_FILE_READ_TREESTATUS;
    case QVMDL_ERR_SAFESAVE_DELTMP: return QVMDL_ERR_STG_SAFESAVE_DELTMP_TREESTATUS;
    case QVMDL_ERR_SAFESAVE_MOVETMP: return QVMDL_ERR_STG_SAFESAVE_MOVETMP_TREESTATUS;
    case QVMDL_ERR_SAFESAVE_NOFILE: return QVMDL_ERR_STG_SAFESAVE_NOFILE_TREESTATUS;
    default: return code;
  }
}

bool Missing(const std::wstring& path) { return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; }

// Creates one of a new folder's files; CREATE_NEW for the first, so that two
// processes never take the same id.
uint32_t MakeFile(const std::wstring& path, const std::string& bytes, DWORD creation, uint32_t ownCode) {
  qv::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.is_valid()) return QvStoreFile::FailureCode(ownCode);
  DWORD written = 0;
  bool ok =
      bytes.empty() || (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                        written == bytes.size() && FlushFileBuffers(file.get()));
  uint32_t code = ok ? QVMDL_SUCCESS : QvStoreFile::FailureCode(ownCode);
  file.reset();
  return code;
}

bool Accepted(uint32_t code, bool entries) {
  switch (code) {
    case QVMDL_SUCCESS:
    case QVMDL_ERR_STG_FILE_FMTILLGL_FDB:
    case QVMDL_ERR_STG_FILEIO_FILE_OPEN_FDB:
    case QVMDL_ERR_STG_FILEIO_FILE_READ_FDB:
    case QVMDL_ERR_STG_SAFESAVE_DELTMP_FDB:
    case QVMDL_ERR_STG_SAFESAVE_MOVETMP_FDB:
    case QVMDL_ERR_STG_SAFESAVE_NOFILE_FDB:
      return true;
    case QVMDL_ERR_STG_FILE_FMTILLGL_MSG:
    case QVMDL_ERR_STG_FILEIO_FILE_OPEN_MSG:
    case QVMDL_ERR_STG_FILEIO_FILE_READ_MSG:
    case QVMDL_ERR_STG_SAFESAVE_DELTMP_MSG:
    case QVMDL_ERR_STG_SAFESAVE_MOVETMP_MSG:
    case QVMDL_ERR_STG_SAFESAVE_NOFILE_MSG:
      return entries;
    default:
      return false;
  }
}

}  // namespace

void QvFolderSet::SetNodeMaker(NodeMaker maker) { gNodeMaker = maker != nullptr ? maker : &MakeStoreNode; }

QvFolderSet::QvFolderSet() : mutex_(L"QvFolderSet Mutex") {}

QvFolderSet::~QvFolderSet() {
  QvNamedMutex::Hold hold(mutex_);
  openNodes_.clear();
}

bool QvFolderSet::Fail(uint32_t code) {
  SetQvMiddleError(code);
  return false;
}

uint32_t QvFolderSet::CreateTree(const std::wstring& root) { return MapTreeIds(ids_.InitStatus(TreeDirOf(root))); }

uint32_t QvFolderSet::OpenTree(const std::wstring& root, QvMessageSet* messageSet) {
  if (messageSet_ == nullptr) messageSet_ = messageSet;
  return MapTreeIds(ids_.ReadStatus(TreeDirOf(root), kMaxId));
}

bool QvFolderSet::AllocateFolder(uint32_t* id) {
  if (id == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  for (uint32_t tries = 0;; ++tries) {
    if (tries >= kMaxTries) return Fail(QVMDL_ERR_STG_NO_FREE_ID);
    const uint32_t candidate = ids_.NextId();
    const std::wstring base = BasePath(candidate);
    if (!Missing(base + L".fld") || !Missing(base + L".msg") || !Missing(base + L".fdb")) continue;

    const std::wstring dir = ids_.DirOf(candidate);
    bool madeDir = false;
    if (Missing(dir)) {
      if (!CreateDirectoryW(dir.c_str(), nullptr)) return Fail(QvStoreFile::FailureCode(QVMDL_ERR_STG_DIR_CREATE_TREE));
      madeDir = true;
    }
    auto undo = [&](int made, uint32_t code) {
      const wchar_t* exts[] = {L".fld", L".msg", L".fdb"};
      for (int i = 0; i < made; ++i) DeleteFileW((base + exts[i]).c_str());
      if (madeDir) RemoveDirectoryW(dir.c_str());
      return Fail(code);
    };
    uint32_t code = MakeFile(base + L".fld", "", CREATE_NEW, QVMDL_ERR_STG_FILEIO_FILE_OPEN_FLD);
    if (code != QVMDL_SUCCESS) {
      // Another process took this id between the probe and the creation.
      if (!Missing(base + L".fld")) continue;
      return undo(0, code);
    }
    code = MakeFile(base + L".msg", "", CREATE_ALWAYS, QVMDL_ERR_STG_FILEIO_FILE_OPEN_MSG);
    if (code != QVMDL_SUCCESS) return undo(1, code);
    code = MakeFile(base + L".fdb", QvMessageHeader::EmptyIndex(), CREATE_ALWAYS, QVMDL_ERR_STG_FILEIO_FILE_OPEN_FDB);
    if (code != QVMDL_SUCCESS) return undo(3, code);
    code = ids_.IncrementCount();
    if (code != QVMDL_SUCCESS) return undo(3, MapTreeIds(code));
    *id = candidate;
    return true;
  }
}

bool QvFolderSet::DeleteFolderFiles(uint32_t id) {
  const std::wstring base = BasePath(id);
  DeleteFileW((base + L".fld").c_str());
  DeleteFileW((base + L".msg").c_str());
  DeleteFileW((base + L".fdb").c_str());
  RemoveDirectoryW(ids_.DirOf(id).c_str());
  uint32_t code = ids_.DecrementCount();
  return code == QVMDL_SUCCESS || Fail(MapTreeIds(code));
}

QvStoreNode* QvFolderSet::MakeNode(uint32_t id) {
  try {
    return gNodeMaker.load()(id, this, messageSet_, ids_.DirOf(id));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

uint32_t QvFolderSet::OpenNode(QvStoreNode* node, uint32_t id) {
  const std::wstring base = BasePath(id);
  return node->Open(base + L".fld", base + L".msg", base + L".fdb");
}

QvStoreNode* QvFolderSet::GetFolder(uint32_t id) {
  QvNamedMutex::Hold hold(mutex_);
  auto found = openNodes_.find(id);
  if (found != openNodes_.end()) {
    ++found->second->count;
    return found->second->node.get();
  }
  std::unique_ptr<CacheEntry> entry(new (std::nothrow) CacheEntry);
  std::unique_ptr<QvStoreNode> node(MakeNode(id));
  if (entry == nullptr || node == nullptr) {
    Fail(QVMDL_ERR_STG_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // Nothing is cached for a node that failed to open: the next call reads again.
  uint32_t code = OpenNode(node.get(), id);
  if (code != QVMDL_SUCCESS) {
    Fail(code);
    return nullptr;
  }
  QvStoreNode* raw = node.get();
  entry->node = std::move(node);
  entry->count = 1;
  openNodes_.emplace(id, std::move(entry));
  return raw;
}

bool QvFolderSet::CloseFolder(QvStoreNode* node) {
  QvNamedMutex::Hold hold(mutex_);
  for (auto it = openNodes_.begin(); it != openNodes_.end(); ++it) {
    if (it->second->node.get() != node) continue;
    if (--it->second->count < 1) openNodes_.erase(it);
    return true;
  }
  return false;
}

bool QvFolderSet::IsFolderOpen(uint32_t id) {
  QvNamedMutex::Hold hold(mutex_);
  return openNodes_.count(id) != 0;
}

bool QvFolderSet::HasOpenFolders() {
  QvNamedMutex::Hold hold(mutex_);
  return !openNodes_.empty();
}

uint32_t QvFolderSet::GetUserFolderCount() {
  uint32_t count = ids_.GetCount();
  return count <= kBuiltInFolders ? 0 : count - kBuiltInFolders;
}

QvStoreNode* QvFolderSet::TakeForRepair(uint32_t id, Repair repair, bool* cached) {
  auto found = openNodes_.find(id);
  if (found != openNodes_.end()) {
    *cached = true;
    ++found->second->count;
    return found->second->node.get();
  }
  *cached = false;
  if (id > ids_.MaxId()) {
    Fail(QVMDL_ERR_STG_FOLDER_ID_RANGE);
    return nullptr;
  }
  QvStoreNode* node = MakeNode(id);
  if (node == nullptr) {
    Fail(QVMDL_ERR_STG_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // The files being repaired may be the ones that fail to open.
  uint32_t code = OpenNode(node, id);
  if (!Accepted(code, repair != Repair::kHeader)) {
    delete node;
    Fail(code);
    return nullptr;
  }
  return node;
}

void QvFolderSet::ReleaseRepair(QvStoreNode* node, bool cached) {
  if (!cached) {
    delete node;
    return;
  }
  for (auto& [id, entry] : openNodes_) {
    if (entry->node.get() == node) --entry->count;
  }
}

bool QvFolderSet::GetAllFolderIds(std::vector<uint32_t>* ids) {
  if (ids == nullptr) return Fail(QVMDL_ERR_STG_NULL_ARGUMENT);
  QvNamedMutex::Hold hold(mutex_);
  ids->clear();
  ids->push_back(0);
  // Depth first; an id met a second time (a damaged list naming an ancestor
  // or itself) is not walked again.
  std::set<uint32_t> seen{0};
  std::vector<std::pair<std::vector<uint32_t>, size_t>> stack;
  auto childrenOf = [&](uint32_t id, std::vector<uint32_t>* children) {
    auto found = openNodes_.find(id);
    if (found != openNodes_.end()) return found->second->node->GetFolderIds(children);
    if (id > ids_.MaxId()) return Fail(QVMDL_ERR_STG_FOLDER_ID_RANGE);
    // A walk needs the child lists alone: every open of a storage walks the
    // tree, and reading each folder's message list and header cache as well
    // would triple its cost.
    QvFolderEntry list;
    const uint32_t code = list.ReadFile(BasePath(id) + L".fld");
    if (code != QVMDL_SUCCESS) return Fail(code);
    children->clear();
    for (const FolderEntryRecord& entry : list.Entries()) children->push_back(entry.id);
    return true;
  };
  std::vector<uint32_t> rootChildren;
  if (!childrenOf(0, &rootChildren)) return true;
  stack.emplace_back(std::move(rootChildren), 0);
  while (!stack.empty()) {
    auto& [children, next] = stack.back();
    if (next >= children.size()) {
      stack.pop_back();
      continue;
    }
    const uint32_t child = children[next++];
    if (!seen.insert(child).second) continue;
    ids->push_back(child);
    std::vector<uint32_t> grand;
    if (!childrenOf(child, &grand)) return true;
    stack.emplace_back(std::move(grand), 0);
  }
  return true;
}

template <typename Work>
bool QvFolderSet::WithFolder(uint32_t folderId, Work work) {
  QvStoreNode* node = GetFolder(folderId);
  if (node == nullptr) return false;
  bool ok = work(node);
  CloseFolder(node);
  return ok;
}

bool QvFolderSet::SetMessageFlags(uint32_t folderId, uint32_t messageId, bool unread, bool partial) {
  return WithFolder(folderId, [&](QvStoreNode* node) { return node->SetMessageFlags(messageId, unread, partial); });
}

bool QvFolderSet::WriteHeaderRecord(uint32_t folderId, const FolderMsgHeader& record) {
  return WithFolder(folderId, [&](QvStoreNode* node) { return node->WriteHeaderRecord(record); });
}

bool QvFolderSet::UpdateHeaderRecord(uint32_t folderId, uint32_t id,
                                     const std::function<void(FolderMsgHeader*)>& change) {
  return WithFolder(folderId, [&](QvStoreNode* node) { return node->UpdateHeaderRecord(id, change); });
}

bool QvFolderSet::ReadHeaderRecord(uint32_t folderId, FolderMsgHeader* record) {
  return WithFolder(folderId, [&](QvStoreNode* node) { return node->ReadHeaderRecord(record); });
}

template <typename Work>
bool QvFolderSet::WithRepair(uint32_t folderId, Repair repair, Work work) {
  QvNamedMutex::Hold hold(mutex_);
  bool cached = false;
  QvStoreNode* node = TakeForRepair(folderId, repair, &cached);
  if (node == nullptr) return false;
  bool ok = work(node);
  ReleaseRepair(node, cached);
  return ok;
}

bool QvFolderSet::RebuildFolderHeader(uint32_t folderId) {
  return WithRepair(folderId, Repair::kHeader, [](QvStoreNode* node) { return node->RebuildHeader(node); });
}

bool QvFolderSet::ReplaceFolderEntries(uint32_t folderId, const std::vector<MessageEntryRecord>& entries) {
  return WithRepair(folderId, Repair::kEntries,
                    [&](QvStoreNode* node) { return node->ReplaceMessageEntries(entries); });
}
