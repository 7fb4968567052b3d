// What a stored message needs of the message set that holds it: its flags
// in its folder's entry line, its folder's header record (where its list
// texts live), and the giving back of the message when its last facade
// closes. The set is this to every message it opens, so the message file
// knows nothing else of the set.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/public/store/QvFolderInterface.h"

class QvMessage;

class QvMessageOwner {
 public:
  using FolderMsgHeader = QvFolderInterface::FolderMsgHeader;

  virtual bool UpdateEntryLine(uint32_t messageId, uint8_t unread, uint8_t state) = 0;
  virtual bool ReadHeaderRecord(FolderMsgHeader* record) = 0;
  virtual bool WriteHeaderRecord(const FolderMsgHeader& record) = 0;
  virtual bool UpdateHeaderRecord(uint32_t id, const std::function<void(FolderMsgHeader*)>& change) = 0;
  virtual void CloseMessage(QvMessage* message) = 0;

 protected:
  ~QvMessageOwner() = default;
};
