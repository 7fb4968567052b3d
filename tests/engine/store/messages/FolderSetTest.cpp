// The folder set: the tree's files, folder ids, the shared node cache, the
// count of user folders, the walk over the tree and the repair openings.
#include <gtest/gtest.h>

#include "MessageStoreFixture.h"
#include "platform/base/WinFormat.h"

namespace {

const std::wstring kTree = L"\\Acc\\TREE";

class FolderSetTest : public MessageStoreFixture {
 protected:
  uint32_t NewFolder(uint32_t parent, const std::wstring& name) {
    uint32_t id = 0;
    EXPECT_TRUE(folders_->AllocateFolder(&id)) << std::hex << GetQvMiddleError();
    QvStoreNode* node = folders_->GetFolder(parent);
    EXPECT_NE(node, nullptr);
    if (node != nullptr) {
      EXPECT_EQ(node->AddFolderEntry({1, id, name}), QVMDL_SUCCESS);
      folders_->CloseFolder(node);
    }
    return id;
  }
};

TEST_F(FolderSetTest, NewFolderHasItsThreeFiles) {
  EXPECT_EQ(rootFolder_, 0u);
  EXPECT_EQ(inbox_, 1u);
  EXPECT_EQ(ReadBytes(kTree + L"\\01\\00.fld"), "");
  EXPECT_EQ(ReadBytes(kTree + L"\\01\\00.msg"), "");
  EXPECT_EQ(ReadBytes(kTree + L"\\01\\00.fdb"), std::string(4000, '\xFF'));
  EXPECT_EQ(ReadBytes(kTree + L"\\Status.txt"), "0002\t2");
  // A second tree in the same place is refused.
  QvFolderSet other;
  EXPECT_EQ(other.CreateTree(kRoot), QVMDL_ERR_STG_DIR_EXISTS_TREE);

  ASSERT_TRUE(folders_->DeleteFolderFiles(inbox_));
  EXPECT_FALSE(Exists(kTree + L"\\01"));
  EXPECT_EQ(ReadBytes(kTree + L"\\Status.txt"), "0002\t1");
}

TEST_F(FolderSetTest, AllocationSkipsIdsWhoseFilesExist) {
  // As after a lost status file: the next id's files are there already.
  MakeDir(kTree + L"\\02");
  WriteBytes(kTree + L"\\02\\00.msg", "");
  uint32_t id = 0;
  ASSERT_TRUE(folders_->AllocateFolder(&id));
  EXPECT_EQ(id, 3u);
  EXPECT_EQ(ReadBytes(kTree + L"\\02\\00.msg"), "");
  EXPECT_FALSE(Exists(kTree + L"\\02\\00.fld"));
}

TEST_F(FolderSetTest, FullDiskLeavesNoHalfFolder) {
  qv::seams::InjectFileFault(kTree + L"\\02\\00.fdb", ERROR_DISK_FULL);
  uint32_t id = 77;
  EXPECT_FALSE(folders_->AllocateFolder(&id));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  EXPECT_EQ(id, 77u);
  EXPECT_FALSE(Exists(kTree + L"\\02"));
  EXPECT_EQ(ReadBytes(kTree + L"\\Status.txt"), "0002\t2");
}

TEST_F(FolderSetTest, OneNodePerFolderUntilTheLastClose) {
  const int before = gLiveNodes;
  QvStoreNode* first = folders_->GetFolder(inbox_);
  QvStoreNode* second = folders_->GetFolder(inbox_);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(gLiveNodes, before + 1);
  EXPECT_TRUE(folders_->CloseFolder(first));
  EXPECT_TRUE(folders_->IsFolderOpen(inbox_));
  EXPECT_EQ(gLiveNodes, before + 1);
  EXPECT_TRUE(folders_->CloseFolder(second));
  EXPECT_FALSE(folders_->IsFolderOpen(inbox_));
  EXPECT_EQ(gLiveNodes, before);
  EXPECT_FALSE(folders_->CloseFolder(second));
}

TEST_F(FolderSetTest, FolderWithoutItsListIsNotCached) {
  DeleteFileW((kTree + L"\\01\\00.fld").c_str());
  EXPECT_EQ(folders_->GetFolder(inbox_), nullptr);
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FILEIO_FILE_OPEN_FLD);
  EXPECT_FALSE(folders_->IsFolderOpen(inbox_));
  WriteBytes(kTree + L"\\01\\00.fld", "");
  QvStoreNode* node = folders_->GetFolder(inbox_);
  ASSERT_NE(node, nullptr);
  folders_->CloseFolder(node);
}

TEST_F(FolderSetTest, UserFoldersAreThoseBeyondTheFiveBuiltIn) {
  for (auto [count, users] : {std::pair{5, 0}, std::pair{0, 0}, std::pair{6, 1}, std::pair{7, 2}}) {
    WriteBytes(kTree + L"\\Status.txt", qv::FormatA("%04X\t%X", 2, count));
    QvFolderSet reopened;
    ASSERT_EQ(reopened.OpenTree(kRoot, messages_.get()), QVMDL_SUCCESS);
    EXPECT_EQ(reopened.GetUserFolderCount(), static_cast<uint32_t>(users)) << count;
  }
  WriteBytes(kTree + L"\\Status.txt", "garbage");
  QvFolderSet damaged;
  EXPECT_EQ(damaged.OpenTree(kRoot, messages_.get()), QVMDL_ERR_STG_FILEIO_FILE_READ_TREESTATUS);
}

TEST_F(FolderSetTest, WalkIsDepthFirstAndEndsOnALoop) {
  // root -> inbox -> a1, root -> b
  ASSERT_EQ(folders_->GetFolder(rootFolder_)->AddFolderEntry({1, inbox_, L"受信箱"}), QVMDL_SUCCESS);
  folders_->CloseFolder(folders_->GetFolder(rootFolder_));
  folders_->CloseFolder(folders_->GetFolder(rootFolder_));
  uint32_t a1 = NewFolder(inbox_, L"A1");
  uint32_t b = NewFolder(rootFolder_, L"B");
  QvStoreNode* held = folders_->GetFolder(b);  // one cached, the others opened for the walk
  std::vector<uint32_t> ids{42};
  ASSERT_TRUE(folders_->GetAllFolderIds(&ids));
  EXPECT_EQ(ids, (std::vector<uint32_t>{0, inbox_, a1, b}));
  EXPECT_TRUE(folders_->IsFolderOpen(b));
  folders_->CloseFolder(held);
  EXPECT_FALSE(folders_->IsFolderOpen(b));
  EXPECT_FALSE(folders_->IsFolderOpen(inbox_));

  // A damaged list naming an ancestor does not send the walk round forever.
  QvStoreNode* node = folders_->GetFolder(a1);
  ASSERT_EQ(node->AddFolderEntry({1, inbox_, L"loop"}), QVMDL_SUCCESS);
  folders_->CloseFolder(node);
  ASSERT_TRUE(folders_->GetAllFolderIds(&ids));
  EXPECT_EQ(ids, (std::vector<uint32_t>{0, inbox_, a1, b}));
  EXPECT_FALSE(folders_->GetAllFolderIds(nullptr));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_NULL_ARGUMENT);
}

TEST_F(FolderSetTest, RepairOpensAFolderWhoseFileIsDamaged) {
  uint32_t id = NewMessage(inbox_);
  WriteBytes(kTree + L"\\01\\00.msg", "not a list");
  EXPECT_EQ(folders_->GetFolder(inbox_), nullptr);
  ASSERT_TRUE(folders_->ReplaceFolderEntries(inbox_, {{3, id, 1, 0}})) << std::hex << GetQvMiddleError();
  EXPECT_EQ(ReadBytes(kTree + L"\\01\\00.msg"), qv::FormatA("%04X\t1\t0\r\n", id));
  EXPECT_FALSE(folders_->ReplaceFolderEntries(0x10000, {}));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FOLDER_ID_RANGE);
  // The ".fld" is not among the files a header repair may find damaged.
  DeleteFileW((kTree + L"\\01\\00.fld").c_str());
  EXPECT_FALSE(folders_->RebuildFolderHeader(inbox_));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FILEIO_FILE_OPEN_FLD);
}

TEST_F(FolderSetTest, MessageSetReachesTheFolderOfAMessage) {
  uint32_t id = NewMessage(inbox_);
  ASSERT_TRUE(messages_->UpdateEntryLine(id, 1, 0));
  EXPECT_EQ(MsgList(inbox_), qv::FormatA("%04X\t1\t0\r\n", id));
  QvFolderInterface::FolderMsgHeader record{};
  record.id = id;
  QvMessageHeader::FillShortText(record.subject, L"件名");
  ASSERT_TRUE(messages_->WriteHeaderRecord(record));
  QvFolderInterface::FolderMsgHeader back{};
  back.id = id;
  ASSERT_TRUE(folders_->ReadHeaderRecord(inbox_, &back));
  EXPECT_EQ(std::wstring(back.subject), L"件名");
  // Moved to another folder, the message's flags follow it there.
  uint32_t other = 0;
  ASSERT_TRUE(folders_->AllocateFolder(&other));
  QvStoreNode* target = folders_->GetFolder(other);
  ASSERT_NE(target, nullptr);
  ASSERT_EQ(target->AddMessageEntry({0, id, 1, 0}), QVMDL_SUCCESS);
  ASSERT_TRUE(target->AppendHeaderRecord(record));
  folders_->CloseFolder(target);
  ASSERT_TRUE(messages_->UpdateEntry(QvMessageSet::kChange, id, other));
  QvMessage* message = messages_->OpenMessage(id);
  QvMessageInterface::Attributes a;
  a.mask = QvMessageInterface::kUnread | QvMessageInterface::kState | QvMessageInterface::kListShort2;
  a.unread = 0;
  a.state = 1;
  a.listShort2 = L"移動後";
  ASSERT_TRUE(message->SetAttributes(a)) << std::hex << GetQvMiddleError();
  messages_->CloseMessage(message);
  EXPECT_EQ(MsgList(other), qv::FormatA("%04X\t0\t1\r\n", id));
  EXPECT_EQ(MsgList(inbox_), qv::FormatA("%04X\t1\t0\r\n", id));
  back.id = id;
  ASSERT_TRUE(folders_->ReadHeaderRecord(other, &back));
  EXPECT_EQ(std::wstring(back.subject), L"移動後");

  // A message whose slot is free has no folder to ask.
  ASSERT_TRUE(messages_->UpdateEntry(QvMessageSet::kFree, id, 0));
  EXPECT_FALSE(messages_->UpdateEntryLine(id, 0, 0));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_MESSAGE_NOT_LISTED);
}

}  // namespace
