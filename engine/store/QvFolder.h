// A real folder of the tree: a store node over its three files, the list of
// child folders ("<base>.fld"), the list of messages with their unread and
// partial flags ("<base>.msg") and the header cache ("<base>.fdb"). The
// messages themselves belong to the storage's message set; a folder only
// lists their ids. Every change first needs 512000 bytes free on the tree's
// volume; a folder holds at most 1000 messages, and a user makes at most 20
// folders.
//
// A folder has no lock of its own: each list and the header cache lock
// themselves per operation, so a move is seen by others in two steps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/store/QvFolderEntry.h"
#include "engine/store/QvMessageEntry.h"
#include "engine/store/QvMessage.h"
#include "engine/store/QvMessageHeader.h"
#include "engine/store/QvStoreNode.h"
#include "engine/store/QvVirtualTrayForwarder.h"

class QvFolder : public QvVirtualTrayForwarder, public virtual QvStoreNode {
 public:
  static constexpr uint32_t kMaxMessages = 1000;
  static constexpr uint32_t kMaxUserFolders = 20;
  static constexpr uint64_t kReserveBytes = 512000;

  QvFolder(uint32_t id, QvFolderSet* folderSet, QvMessageSet* messageSet, const std::wstring& directory);
  ~QvFolder() override;

  uint32_t Open(const std::wstring& fldPath, const std::wstring& msgPath, const std::wstring& fdbPath) override;
  bool GetFolderIds(std::vector<uint32_t>* ids) override;
  QvStoreNode* OpenFolder(uint32_t id) override;
  bool CreateFolder(const std::wstring& name, uint32_t* id) override;
  bool RemoveFolder(uint32_t id) override;
  bool MoveFolder(uint32_t id, QvStoreNode* destination) override;
  uint32_t GetUnreadCount() override;
  bool GetPartialIds(std::vector<uint32_t>* ids) override;
  bool GetUnreadIds(std::vector<uint32_t>* ids) override;
  bool ReadFolderAttributes(uint32_t id, FolderAttributes* out) override;
  bool WriteFolderAttributes(uint32_t id, const FolderAttributes& attributes) override;
  bool GetMessageIds(std::vector<uint32_t>* ids) override;
  QvMessage* OpenMessage(uint32_t id) override;
  bool CreateMessageOfSize(uint32_t* id, uint32_t size) override;
  bool CreateMessage(uint32_t* id) override;
  bool CreateMessageWithText(uint32_t* id, const QvMessageInterface::Attributes& attributes,
                             const std::string& raw) override;
  bool RemoveMessages(const std::vector<uint32_t>& ids) override;
  bool RemoveOneMessage(uint32_t id) override;
  bool MoveMessages(const std::vector<uint32_t>& ids, QvStoreNode* destination) override;
  bool MoveOneMessage(uint32_t id, QvStoreNode* destination) override;
  bool SetMessageFlags(uint32_t id, bool unread, bool partial) override;
  bool RemoveAttachments(const std::vector<uint32_t>& ids, std::vector<uint32_t>* failed) override;
  uint32_t GetRemainMessageCount() override;
  bool WriteHeaderRecord(const FolderMsgHeader& record) override;
  bool ReadHeaderRecord(FolderMsgHeader* record) override;
  bool UpdateHeaderRecord(uint32_t id, const std::function<void(FolderMsgHeader*)>& change) override;
  bool AppendHeaderRecord(const FolderMsgHeader& record) override;
  bool LoadMessageHeader(FolderMsgHeader* records, uint32_t count) override;
  bool CompactHeader() override;
  bool RebuildHeader(QvStoreNode* folder) override;
  bool ReplaceMessageEntries(const std::vector<MessageEntryRecord>& entries) override;
  uint32_t AddFolderEntry(const FolderEntryRecord& entry) override;
  uint32_t RemoveFolderEntry(uint32_t id) override;
  uint32_t AddMessageEntries(const std::vector<MessageEntryRecord>& entries) override;
  uint32_t AddMessageEntry(const MessageEntryRecord& entry) override;
  uint32_t GetMessageCount() override;

  // The names the virtual trays answer with.
  static const wchar_t kPartialTrayName[];
  static const wchar_t kUnreadTrayName[];

 private:
  bool Fail(uint32_t code);
  bool HasFreeSpace();
  bool IsTray(uint32_t id) const;
  // The checks before a child folder is removed or moved.
  bool CheckChild(uint32_t id);
  // Whether `target` is `id` or lies below it (a move there would cut the
  // folder off from the tree).
  bool IsInSubtree(uint32_t id, uint32_t target, int depth);
  // The checks before messages leave this folder.
  bool CheckMovable(const std::vector<uint32_t>& ids, bool needKnown);
  bool CreateMessageImpl(uint32_t* id, const QvMessage::NewText* content = nullptr);
  // The tray notices after a message's flags changed or it went away.
  void NotifyTrays(uint32_t messageId, bool partialChanged, bool unreadChanged);

  QvFolderEntry folders_;
  QvMessageEntry messages_;
  QvMessageHeader header_;
};
