// The folder tree of one storage, "<root>\TREE": folder ids from its
// "Status.txt", each folder's three files ("XX\YY.fld", ".msg", ".fdb"), and
// the cache of open store nodes, one shared node per folder id with a count
// of its holders. "QvFolderSet Mutex" guards the cache and is taken before
// the list and header-file mutexes.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/public/store/QvFolderInterface.h"
#include "engine/store/QvIdTraits.h"
#include "engine/store/QvMessageEntry.h"
#include "engine/public/foundation/QvNamedMutex.h"

class QvMessageSet;
class QvStoreNode;

class QvFolderSet {
 public:
  using FolderMsgHeader = QvFolderInterface::FolderMsgHeader;
  // Makes the node of a folder id (a real folder or a virtual tray), not yet opened.
  using NodeMaker = QvStoreNode* (*)(uint32_t id, QvFolderSet* folderSet, QvMessageSet* messageSet,
                                     const std::wstring& directory);

  static constexpr uint32_t kPartialTray = 0x10001;
  static constexpr uint32_t kUnreadTray = 0x10002;
  static constexpr uint32_t kMaxId = 0xFFFF;
  // The root and the four trays every account starts with.
  static constexpr uint32_t kBuiltInFolders = 5;

  QvFolderSet();
  ~QvFolderSet();
  QvFolderSet(const QvFolderSet&) = delete;
  QvFolderSet& operator=(const QvFolderSet&) = delete;

  uint32_t CreateTree(const std::wstring& root);
  uint32_t OpenTree(const std::wstring& root, QvMessageSet* messageSet);

  bool AllocateFolder(uint32_t* id);
  bool DeleteFolderFiles(uint32_t id);

  QvStoreNode* GetFolder(uint32_t id);
  bool CloseFolder(QvStoreNode* node);
  bool IsFolderOpen(uint32_t id);
  bool HasOpenFolders();
  bool IsValidId(uint32_t id) const { return id <= ids_.MaxId(); }
  uint32_t GetUserFolderCount();
  bool GetAllFolderIds(std::vector<uint32_t>* ids);

  bool SetMessageFlags(uint32_t folderId, uint32_t messageId, bool unread, bool partial);
  bool WriteHeaderRecord(uint32_t folderId, const FolderMsgHeader& record);
  bool ReadHeaderRecord(uint32_t folderId, FolderMsgHeader* record);
  bool UpdateHeaderRecord(uint32_t folderId, uint32_t id, const std::function<void(FolderMsgHeader*)>& change);
  bool RebuildFolderHeader(uint32_t folderId);
  bool ReplaceFolderEntries(uint32_t folderId, const std::vector<MessageEntryRecord>& entries);

  // "<root>\TREE\XX\YY" of a folder id; its files add ".fld", ".msg", ".fdb".
  std::wstring BasePath(uint32_t id) const { return ids_.PathOf(id); }
  QvMessageSet* MessageSet() const { return messageSet_; }
  static std::wstring TreeDirOf(const std::wstring& root) { return root + L"\\TREE"; }

  // Replaces the maker of nodes (tests); null restores the default, which
  // makes the virtual trays and a real folder for every other id.
  static void SetNodeMaker(NodeMaker maker);

 private:
  enum class Repair { kHeader, kEntries };
  QvStoreNode* MakeNode(uint32_t id);
  uint32_t OpenNode(QvStoreNode* node, uint32_t id);
  // A cached node, or a node opened for this one task and not cached.
  QvStoreNode* TakeForRepair(uint32_t id, Repair repair, bool* cached);
  void ReleaseRepair(QvStoreNode* node, bool cached);
  template <typename Work>
  bool WithFolder(uint32_t folderId, Work work);
  template <typename Work>
  bool WithRepair(uint32_t folderId, Repair repair, Work work);
  bool Fail(uint32_t code);

  struct CacheEntry {
    int32_t count = 0;
    std::unique_ptr<QvStoreNode> node;
  };

  QvMessageSet* messageSet_ = nullptr;
  QvIdTraits ids_;
  std::map<uint32_t, std::unique_ptr<CacheEntry>> openNodes_;
  QvNamedMutex mutex_;
};
