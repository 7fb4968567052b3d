// Every stored message of one storage, whatever folder shows it. It owns
// "<root>\DATA": one ".eml" file per message ("DATA\XX\YY.eml", XX the id's
// low byte, YY its second byte), the id counter "DATA\Status.txt", and the
// entry table "DATA\Entry.dat": 65536 little-endian 32-bit slots, one per
// message id, holding the id of the folder that holds the message or
// 0xFFFFFFFF for a free id. The table is memory-mapped and shared by every
// process; each change reaches the file before the entry mutex is released.
// Older storages kept per-directory "XX\Entry.txt" lists instead; the table
// is rebuilt from them when it is missing.
//
// Lock order: "QvMessageSet MessageSet Mutex", then "QvMessage Mutex", then
// "QvMessageSet MessageEntry Mutex". Folder-side calls are made holding
// neither of the last two.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/public/foundation/QvNamedMutex.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/store/QvIdTraits.h"
#include "engine/store/QvMessage.h"
#include "engine/store/QvMessageOwner.h"
#include "platform/base/ScopedHandle.h"
#include "platform/base/WinTypes.h"

class QvFolderSet;
class QvMessageHeader;

class QvMessageSet : public QvMessageOwner {
 public:

  static constexpr uint32_t kSlots = 65536;
  static constexpr uint32_t kTableBytes = kSlots * 4;
  static constexpr uint32_t kFreeSlot = 0xFFFFFFFF;
  static constexpr uint32_t kMaxId = 0xFFFF;

  enum EntryOperation : uint32_t { kAssign = 1, kChange = 2, kFree = 3 };

  struct RecoveredEntry {
    uint32_t messageId;
    uint32_t folderId;
    uint8_t unread;
    uint8_t state;
  };

  QvMessageSet();
  ~QvMessageSet();
  QvMessageSet(const QvMessageSet&) = delete;
  QvMessageSet& operator=(const QvMessageSet&) = delete;

  // Makes the message directory, its counter and an empty table. Code.
  uint32_t CreateEntryFile(const std::wstring& root);
  // Opens the message set of an existing storage; rebuilds a missing table. Code.
  uint32_t OpenEntryFile(const std::wstring& root, QvFolderSet* folderSet);

  bool UpdateEntry(uint32_t operation, uint32_t messageId, uint32_t folderId);
  bool GetMessageFolder(uint32_t messageId, uint32_t* folderId);
  bool IsValidId(uint32_t messageId) const { return messageId <= ids_.MaxId(); }
  // With `content`, the new file gets that header and text at once.
  bool CreateMessageFile(uint32_t* messageId, uint32_t folderId, const QvMessage::NewText* content = nullptr);

  QvMessage* OpenMessage(uint32_t messageId);
  void CloseMessage(QvMessage* message) override;
  bool IsMessageOpen(uint32_t messageId);
  bool HasOpenMessages();

  bool RemoveMessageFile(uint32_t messageId);
  // `headers` (may be null) is the header cache of the folder that listed them.
  bool RemoveMessageFiles(const std::vector<uint32_t>& messageIds, QvMessageHeader* headers);
  bool RecoverEntries(std::map<uint32_t, RecoveredEntry>* out);
  // Every slot of the entry table, read under one hold of the entry mutex.
  bool CopyEntryTable(std::vector<uint32_t>* slots);
  // Whether the message's file is one a cut-off first write left behind.
  bool LeftUnfinished(uint32_t messageId);
  // The header fields `mask` names of each message of `ids`, all read under
  // one hold of "QvMessage Mutex": a list of a folder's flags costs one lock,
  // not one a message. `codes[i]` is QVMDL_SUCCESS, the older-file code (fields filled
  // with defaults, as GetAttributes gives them) or why message i was not read.
  void ReadHeaderFields(const std::vector<uint32_t>& ids, uint32_t mask, std::vector<QvMessage::Attributes>* out,
                        std::vector<uint32_t>* codes);
  // The first bytes of the message's file, its header block.
  bool ReadHeaderOf(uint32_t messageId, uint8_t* header);
  // Frees a slot and deletes whatever file of the id is left, for a message
  // that was never finished. The count is left to the recovery.
  bool DiscardMessage(uint32_t messageId);

  // A file of an id without a slot: a whole text whose recorded folder is in
  // `tree` gets its slot back (`adopted` set), anything else is discarded.
  bool AdoptOrDiscard(uint32_t messageId, const std::set<uint32_t>& tree, bool* adopted);

  // For stored messages: the message's folder does the work.
  bool UpdateEntryLine(uint32_t messageId, uint8_t unread, uint8_t state) override;
  bool ReadHeaderRecord(FolderMsgHeader* record) override;
  bool WriteHeaderRecord(const FolderMsgHeader& record) override;
  bool UpdateHeaderRecord(uint32_t id, const std::function<void(FolderMsgHeader*)>& change) override;

  std::wstring MessagePath(uint32_t messageId) const { return ids_.PathOf(messageId) + L".eml"; }
  const std::wstring& DataDirectory() const { return dataDir_; }
  QvIdTraits& Ids() { return ids_; }

  static std::wstring DataDirOf(const std::wstring& root) { return root + L"\\DATA"; }
  static std::wstring TablePathOf(const std::wstring& dataDir) { return dataDir + L"\\Entry.dat"; }
  // One line of an older "Entry.txt" list: "%02X\t%04X\r\n".
  static bool ParseEntryLine(const char* line, uint32_t* secondByte, uint32_t* folderId);

 private:
  uint32_t OpenTable();
  void CloseTable();
  uint32_t RebuildEntryFile();
  uint32_t RebuildFromLists(uint8_t* table, std::vector<std::wstring>* lists);
  uint32_t UpdateEntryLocked(uint32_t operation, uint32_t messageId, uint32_t folderId);
  uint32_t CreateLocked(uint32_t* messageId, uint32_t folderId, const QvMessage::NewText* content);
  uint32_t RemoveOneLocked(uint32_t messageId, QvMessageHeader* headers);
  uint32_t RemoveDirectoryIfEmpty(uint32_t messageId);
  uint32_t Slot(uint32_t messageId) const;
  bool Fail(uint32_t code);

  qv::ScopedHandle entryFile_;
  qv::ScopedHandle entryMapping_;
  uint8_t* entryTable_ = nullptr;
  QvFolderSet* folderSet_ = nullptr;
  QvIdTraits ids_;
  struct OpenNode {
    uint32_t count;
    std::unique_ptr<QvMessage> message;
  };
  std::map<uint32_t, OpenNode> openMessages_;
  QvNamedMutex setMutex_;
  QvNamedMutex entryMutex_;
  // Never waited on here: it keeps the stored messages' mutex open while the
  // set lives, so that each message opened does not open it afresh.
  QvNamedMutex messageMutex_;
  std::wstring dataDir_;
};
