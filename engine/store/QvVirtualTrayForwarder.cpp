#include "engine/store/QvVirtualTrayForwarder.h"

#include "engine/store/QvFolderSet.h"
#include "engine/store/QvStoreNode.h"

bool QvVirtualTrayForwarder::NotifyTray(QvFolderSet* folderSet, uint32_t trayId, uint32_t messageId) {
  if (folderSet == nullptr || !folderSet->IsFolderOpen(trayId)) return true;
  QvStoreNode* tray = folderSet->GetFolder(trayId);
  if (tray == nullptr) return true;
  tray->FireNotify1(messageId);
  folderSet->CloseFolder(tray);
  return true;
}

bool QvVirtualTrayForwarder::NotifyPartialTray(QvFolderSet* folderSet, uint32_t messageId) {
  return NotifyTray(folderSet, QvFolderSet::kPartialTray, messageId);
}

bool QvVirtualTrayForwarder::NotifyUnreadTray(QvFolderSet* folderSet, uint32_t messageId) {
  return NotifyTray(folderSet, QvFolderSet::kUnreadTray, messageId);
}
