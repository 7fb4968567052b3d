// The observer registered on every folder the mail operations keep open: a
// changed message's cached row is dropped.
#pragma once

#include <cstdint>

#include "engine/public/store/QvFolderInterface.h"

class QvFolderNotifySink : public QvFolderInterface::Notify {
 public:
  QvFolderNotifySink() = default;
  void FolderChanged(uint32_t folderId) override;
  void MessageChanged(uint32_t messageId) override;
};
