// What a folder tells the two virtual trays: a message's partial or unread
// flag changed, so a tray that is open somewhere passes the message id on to
// its own observers. A tray that is not open has no one to tell.
#pragma once

#include <cstdint>

class QvFolderSet;

class QvVirtualTrayForwarder {
 public:
  virtual ~QvVirtualTrayForwarder() = default;

 protected:
  static bool NotifyPartialTray(QvFolderSet* folderSet, uint32_t messageId);
  static bool NotifyUnreadTray(QvFolderSet* folderSet, uint32_t messageId);

 private:
  static bool NotifyTray(QvFolderSet* folderSet, uint32_t trayId, uint32_t messageId);
};
