// The node of a virtual tray: no files of its own, it lists every message of
// the tree with one flag set: 0x10001 the partially received ones, 0x10002
// the unread ones. Ids come from the deepest folders first, the root's last.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "engine/store/QvStoreNode.h"

class QvVirtualTray : public virtual QvStoreNode {
 public:
  QvVirtualTray(uint32_t id, QvFolderSet* folderSet, QvMessageSet* messageSet, const std::wstring& directory);
  ~QvVirtualTray() override;

  bool GetMessageIds(std::vector<uint32_t>* ids) override;
  QvMessage* OpenMessage(uint32_t id) override;
  bool RemoveMessages(const std::vector<uint32_t>& ids) override;
  bool RemoveOneMessage(uint32_t id) override;
  bool CompactHeader() override;

  // Appends the flagged ids of `folder` and every folder below it.
  bool Collect(QvStoreNode* folder, std::vector<uint32_t>* ids);

 private:
  // `seen` keeps a damaged list that names an ancestor from looping.
  bool CollectOnce(QvStoreNode* folder, std::vector<uint32_t>* ids, std::set<uint32_t>* seen);
};
