// The base of every store object a caller can open as a folder: the real
// folders and the virtual trays. It holds the node's identity and observers
// and answers every operation a subclass does not support as unsupported
// (false, 0 or null) without touching the error word.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/store/QvFolderEntry.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/store/QvMessageEntry.h"
#include "engine/public/store/QvMessageInterface.h"

class QvFolderSet;
class QvMessageSet;
class QvMessage;

class QvStoreNode {
 public:
  using FolderAttributes = QvFolderInterface::FolderAttributes;
  using FolderMsgHeader = QvFolderInterface::FolderMsgHeader;
  using Notify = QvFolderInterface::Notify;

  QvStoreNode();
  // `directory` is the node's id directory "<root>\TREE\XX"; the node keeps
  // the part up to its last "\" as the volume where free space is measured.
  QvStoreNode(uint32_t id, QvFolderSet* folderSet, QvMessageSet* messageSet, const std::wstring& directory);
  virtual ~QvStoreNode();
  QvStoreNode(const QvStoreNode&) = delete;
  QvStoreNode& operator=(const QvStoreNode&) = delete;

  virtual uint32_t Open(const std::wstring& fldPath, const std::wstring& msgPath, const std::wstring& fdbPath);
  virtual bool GetFolderIds(std::vector<uint32_t>* ids);
  virtual QvStoreNode* OpenFolder(uint32_t id);
  virtual bool CreateFolder(const std::wstring& name, uint32_t* id);
  virtual bool RemoveFolder(uint32_t id);
  virtual bool MoveFolder(uint32_t id, QvStoreNode* destination);
  virtual uint32_t GetUnreadCount();
  virtual bool GetPartialIds(std::vector<uint32_t>* ids);
  virtual bool GetUnreadIds(std::vector<uint32_t>* ids);
  virtual bool ReadFolderAttributes(uint32_t id, FolderAttributes* out);
  virtual bool WriteFolderAttributes(uint32_t id, const FolderAttributes& attributes);
  virtual bool GetMessageIds(std::vector<uint32_t>* ids);
  virtual QvMessage* OpenMessage(uint32_t id);
  virtual bool CreateMessageOfSize(uint32_t* id, uint32_t size);
  virtual bool CreateMessage(uint32_t* id);
  // A message made whole in one step: its text with its header fields, its
  // list line with its flags and its header record with its list fields.
  virtual bool CreateMessageWithText(uint32_t* id, const QvMessageInterface::Attributes& attributes,
                                     const std::string& raw);
  virtual bool RemoveMessages(const std::vector<uint32_t>& ids);
  virtual bool RemoveOneMessage(uint32_t id);
  virtual bool MoveMessages(const std::vector<uint32_t>& ids, QvStoreNode* destination);
  virtual bool MoveOneMessage(uint32_t id, QvStoreNode* destination);
  virtual bool SetMessageFlags(uint32_t id, bool unread, bool partial);
  virtual bool RemoveAttachments(const std::vector<uint32_t>& ids, std::vector<uint32_t>* failed);
  virtual uint32_t GetRemainMessageCount();
  virtual bool WriteHeaderRecord(const FolderMsgHeader& record);
  virtual bool ReadHeaderRecord(FolderMsgHeader* record);
  virtual bool UpdateHeaderRecord(uint32_t id, const std::function<void(FolderMsgHeader*)>& change);
  virtual bool AppendHeaderRecord(const FolderMsgHeader& record);
  virtual bool LoadMessageHeader(FolderMsgHeader* records, uint32_t count);
  virtual bool CompactHeader();
  virtual bool RebuildHeader(QvStoreNode* folder);
  virtual bool ReplaceMessageEntries(const std::vector<MessageEntryRecord>& entries);
  virtual bool AttachNotify(Notify* observer);
  virtual bool DetachNotify(Notify* observer);
  virtual void FireNotify0(uint32_t id);
  virtual void FireNotify1(uint32_t id);
  virtual uint32_t GetId();
  virtual QvFolderSet* GetFolderSet();
  virtual QvMessageSet* GetMessageSet();
  virtual uint32_t AddFolderEntry(const FolderEntryRecord& entry);
  // Takes a child out of the list and leaves its files (a move's undo).
  virtual uint32_t RemoveFolderEntry(uint32_t id);
  virtual uint32_t AddMessageEntries(const std::vector<MessageEntryRecord>& entries);
  virtual uint32_t AddMessageEntry(const MessageEntryRecord& entry);
  virtual uint32_t GetMessageCount();
  virtual uint32_t GetErrorInfo();

  const std::wstring& Path() const { return path_; }

 protected:
  uint32_t id_ = 0;
  QvFolderSet* folderSet_ = nullptr;
  QvMessageSet* messageSet_ = nullptr;
  template <typename Call>
  void ForEachObserver(Call call);

  std::vector<Notify*> observers_;
  std::wstring path_;
};
