// A storage on disk for the message-store tests: its folder tree and message
// set, made and opened as the storage does, with a small folder node over the
// real lists and header cache (the folder layer proper is built on top of
// these classes and is not needed to test them).
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/store/QvFolderEntry.h"
#include "engine/store/QvFolderSet.h"
#include "engine/store/QvMessage.h"
#include "engine/store/QvMessageEntry.h"
#include "engine/store/QvMessageHeader.h"
#include "engine/store/QvMessageSet.h"
#include "engine/store/QvStoreNode.h"
#include "tests/engine/store/files/StoreFixture.h"

// Counts nodes alive, so that tests can see when the folder set deletes one.
inline int gLiveNodes = 0;

class ListFolder : public QvStoreNode {
 public:
  ListFolder(uint32_t id, QvFolderSet* folderSet, QvMessageSet* messageSet, const std::wstring& directory)
      : QvStoreNode(id, folderSet, messageSet, directory) {
    ++gLiveNodes;
  }
  ~ListFolder() override { --gLiveNodes; }

  uint32_t Open(const std::wstring& fld, const std::wstring& msg, const std::wstring& fdb) override {
    uint32_t code = folderList_.ReadFile(fld);
    if (code == QVMDL_SUCCESS) code = messageList_.ReadFile(msg);
    if (code == QVMDL_SUCCESS) code = header_.Open(fdb);
    return code;
  }
  bool GetFolderIds(std::vector<uint32_t>* ids) override { return folderList_.GetIds(ids); }
  bool GetMessageIds(std::vector<uint32_t>* ids) override { return messageList_.GetIds(ids); }
  bool SetMessageFlags(uint32_t id, bool unread, bool partial) override {
    MessageEntryRecord r{3, id, static_cast<uint8_t>(unread), static_cast<uint8_t>(partial)};
    uint32_t code = messageList_.Update(id, r);
    if (code != QVMDL_SUCCESS) SetQvMiddleError(code);
    return code == QVMDL_SUCCESS;
  }
  bool WriteHeaderRecord(const FolderMsgHeader& record) override { return header_.WriteRecord(record); }
  bool ReadHeaderRecord(FolderMsgHeader* record) override { return header_.ReadRecord(record); }
  bool AppendHeaderRecord(const FolderMsgHeader& record) override { return header_.Append(record); }
  bool ReplaceMessageEntries(const std::vector<MessageEntryRecord>& entries) override {
    return messageList_.ReplaceAll(entries);
  }
  uint32_t AddMessageEntry(const MessageEntryRecord& entry) override { return messageList_.Add(entry); }
  uint32_t AddFolderEntry(const FolderEntryRecord& entry) override { return folderList_.Add(entry); }

  QvMessageHeader& Header() { return header_; }

 private:
  QvFolderEntry folderList_;
  QvMessageEntry messageList_;
  QvMessageHeader header_;
};

inline QvStoreNode* MakeListFolder(uint32_t id, QvFolderSet* folderSet, QvMessageSet* messageSet,
                                   const std::wstring& directory) {
  return new ListFolder(id, folderSet, messageSet, directory);
}

class MessageStoreFixture : public StoreFixture {
 protected:
  void SetUp() override {
    StoreFixture::SetUp();
    QvFolderSet::SetNodeMaker(&MakeListFolder);
    // Made once the test's device root is set: named mutexes are bound to
    // the root they were created under.
    folders_ = std::make_unique<QvFolderSet>();
    messages_ = std::make_unique<QvMessageSet>();
    MakeDir(kRoot);
    ASSERT_EQ(folders_->CreateTree(kRoot), QVMDL_SUCCESS);
    ASSERT_EQ(messages_->CreateEntryFile(kRoot), QVMDL_SUCCESS);
    ASSERT_EQ(folders_->OpenTree(kRoot, messages_.get()), QVMDL_SUCCESS);
    ASSERT_EQ(messages_->OpenEntryFile(kRoot, folders_.get()), QVMDL_SUCCESS);
    ASSERT_TRUE(folders_->AllocateFolder(&rootFolder_));
    ASSERT_TRUE(folders_->AllocateFolder(&inbox_));
  }
  void TearDown() override {
    messages_.reset();
    folders_.reset();
    QvFolderSet::SetNodeMaker(nullptr);
    StoreFixture::TearDown();
  }

  // A new message in `folder` as the folder layer makes one: the message
  // file and slot, its list line and its header record.
  uint32_t NewMessage(uint32_t folder) {
    uint32_t id = 0;
    EXPECT_TRUE(messages_->CreateMessageFile(&id, folder)) << std::hex << GetQvMiddleError();
    QvStoreNode* node = folders_->GetFolder(folder);
    EXPECT_NE(node, nullptr);
    if (node == nullptr) return id;
    EXPECT_EQ(node->AddMessageEntry({0, id, 0, 0}), QVMDL_SUCCESS);
    QvFolderInterface::FolderMsgHeader record{};
    record.id = id;
    EXPECT_TRUE(node->AppendHeaderRecord(record));
    folders_->CloseFolder(node);
    return id;
  }

  std::string MsgList(uint32_t folder) { return ReadBytes(folders_->BasePath(folder) + L".msg"); }
  std::wstring EmlPath(uint32_t id) { return messages_->MessagePath(id); }
  std::string TableBytes() { return ReadBytes(L"\\Acc\\DATA\\Entry.dat"); }
  static uint32_t SlotOf(const std::string& table, uint32_t id) {
    const auto* p = reinterpret_cast<const uint8_t*>(table.data()) + 4 * id;
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
  }

  const std::wstring kRoot = L"\\Acc";
  std::unique_ptr<QvFolderSet> folders_;
  std::unique_ptr<QvMessageSet> messages_;
  uint32_t rootFolder_ = 0;
  uint32_t inbox_ = 0;
};
