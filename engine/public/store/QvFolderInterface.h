// The exported face of one open folder or virtual tray of a storage. It
// holds one reference on the store node, given back when the facade is
// deleted, and forwards each call to the node; the error word then holds the
// cause of a failure. Each facade can keep one observer on its node.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/public/QvMiddleExport.h"
#include "engine/public/store/QvMessageInterface.h"
#include "platform/base/WinTypes.h"

class QvMessageInterface;
class QvStoreNode;

class QVMIDDLE_API QvFolderInterface {
 public:
  // Mask bit 0: the name is given (write) or wanted (read).
  struct FolderAttributes {
    uint32_t mask = 0;
    std::wstring name;
  };

  // One record of a folder's header cache, as the mail lists read it. Texts
  // are NUL-terminated; on disk each is UTF-16LE in a field of the same
  // number of units (see QvMessageHeader for the byte layout).
  struct FolderMsgHeader {
    uint32_t id;
    wchar_t toAddress[257];
    wchar_t fromAddress[257];
    wchar_t fromName[32];
    wchar_t subject[32];
    SYSTEMTIME date;  // UTC in the file, local time when loaded for a list
    uint32_t reserved;
  };

  // Observer of a node: operation 0 hears of a change in the list of child
  // folders, operation 1 of a message added or its flags changed.
  class Notify {
   public:
    virtual ~Notify() = default;
    virtual void FolderChanged(uint32_t folderId) = 0;
    virtual void MessageChanged(uint32_t messageId) = 0;
  };

  // Takes over the reference on `node` that its opener holds.
  explicit QvFolderInterface(QvStoreNode* node);
  ~QvFolderInterface();
  QvFolderInterface(const QvFolderInterface&) = delete;
  QvFolderInterface& operator=(const QvFolderInterface&) = delete;

  QvFolderInterface* OpenFolder(unsigned long id);
  bool CreateFolder(const std::wstring& name, unsigned long* id);
  bool RemoveFolder(unsigned long id);
  bool MoveFolder(unsigned long id, QvFolderInterface* destination);
  unsigned long GetUnreadCount();
  bool ReadFolderAttributes(unsigned long id, FolderAttributes* attributes) const;
  bool WriteFolderAttributes(unsigned long id, const FolderAttributes& attributes);
  // On the root the two virtual trays follow the child folders.
  bool GetFolderIds(std::vector<unsigned long>* ids) const;
  bool GetMessageIds(std::vector<unsigned long>* ids);
  QvMessageInterface* OpenMessage(unsigned long id);
  bool CreateMessage(unsigned long* id);
  // `size`: the expected size of the message in bytes.
  bool CreateMessage(unsigned long* id, unsigned long size);
  // A message with its text and attributes, made in one step: no reader ever
  // sees it without them, and a failure leaves nothing behind.
  bool CreateMessage(unsigned long* id, const QvMessageInterface::Attributes& attributes, const std::string& raw);
  bool RemoveMessage(unsigned long id);
  bool RemoveMessage(std::vector<unsigned long>& ids);
  bool MoveMessage(unsigned long id, QvFolderInterface* destination);
  bool MoveMessage(std::vector<unsigned long>& ids, QvFolderInterface* destination);
  bool RemoveAttachments(std::vector<unsigned long>& ids, std::vector<unsigned long>* failed);
  unsigned long GetRemainMessageCount();
  // `records` holds `count` records; dates come back in local time. A
  // failure may leave them partly written.
  bool LoadMessageHeader(FolderMsgHeader* records, unsigned long count);
  bool FlushMessageHeader();
  bool RegisterNotify(Notify* observer);
  bool UnregisterNotify(Notify* observer);
  unsigned long GetErrorInfo();

 private:
  QvStoreNode* node_;
  Notify* observer_ = nullptr;
};
