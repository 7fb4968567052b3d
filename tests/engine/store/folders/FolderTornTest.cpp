// Torn and damaged folder files read as a clean failure or as the last
// committed state, and a write that fails part way leaves no message or
// folder that no list holds.
#include <gtest/gtest.h>

#include "FolderFixture.h"

namespace {

using FolderTornTest = FolderFixture;

TEST_F(FolderTornTest, ACutMessageListFailsTheOpenAndCachesNothing) {
  const uint32_t a = NewMessage(inbox_);
  const std::string whole = Msg(inbox_);
  WriteBytes(Base(inbox_) + L".msg", whole.substr(0, whole.size() - 3));
  auto root = Open(0);
  EXPECT_EQ(std::unique_ptr<QvFolderInterface>(root->OpenFolder(inbox_)), nullptr);
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FILE_FMTILLGL_MSG);
  EXPECT_FALSE(folders_->IsFolderOpen(inbox_));
  // Put right, it opens again: nothing of the failed open was kept.
  WriteBytes(Base(inbox_) + L".msg", whole);
  std::unique_ptr<QvFolderInterface> inbox(root->OpenFolder(inbox_));
  ASSERT_NE(inbox, nullptr);
  std::vector<unsigned long> ids;
  ASSERT_TRUE(inbox->GetMessageIds(&ids));
  EXPECT_EQ(ids, (std::vector<unsigned long>{a}));
}

TEST_F(FolderTornTest, AHeaderFileShorterThanItsIndexFailsTheOpen) {
  NewMessage(inbox_);
  const std::string fdb = Fdb(inbox_);
  WriteBytes(Base(inbox_) + L".fdb", fdb.substr(0, 4000 + 600));
  EXPECT_EQ(folders_->GetFolder(inbox_), nullptr);
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FILE_FMTILLGL_FDB);
}

TEST_F(FolderTornTest, AnInterruptedListSaveReadsAsTheCommittedCopy) {
  // The rewrite got as far as moving the old list away: only the new copy is there.
  const uint32_t a = NewFolder(0, L"A");
  const std::string fld = Fld(0);
  const std::string base = HostOf(Base(0));
  ASSERT_EQ(std::rename((base + ".fld").c_str(), (base + ".fld_tmp").c_str()), 0);
  auto root = Open(0);
  QvFolderInterface::FolderAttributes attributes;
  ASSERT_TRUE(root->ReadFolderAttributes(a, &attributes)) << std::hex << GetQvMiddleError();
  EXPECT_EQ(attributes.name, L"A");
  EXPECT_EQ(Fld(0), fld);
  EXPECT_FALSE(Exists(Base(0) + L".fld_tmp"));
}

TEST_F(FolderTornTest, AFailedListWriteTakesTheNewFolderAway) {
  auto root = Open(0);
  const std::string fld = Fld(0), status = Status();
  qv::seams::InjectFileFault(Base(0) + L".fld_tmp", ERROR_DISK_FULL);
  unsigned long id = 0;
  EXPECT_FALSE(root->CreateFolder(L"A", &id));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  qv::seams::ClearFileFaults();
  EXPECT_EQ(Fld(0), fld);
  EXPECT_FALSE(Exists(Base(5) + L".fld"));
  EXPECT_FALSE(Exists(Base(5) + L".fdb"));
  EXPECT_EQ(Status().substr(5), status.substr(5));  // the count is back; the next id moved on
  EXPECT_EQ(folders_->GetUserFolderCount(), 0u);
}

TEST_F(FolderTornTest, AFailedListWriteTakesTheNewMessageAway) {
  auto inbox = Open(inbox_);
  qv::seams::InjectFileFault(Base(inbox_) + L".msg", ERROR_DISK_FULL);
  unsigned long id = 0;
  EXPECT_FALSE(inbox->CreateMessage(&id));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  qv::seams::ClearFileFaults();
  EXPECT_EQ(Msg(inbox_), "");
  EXPECT_EQ(FolderOf(0), 0xFFFFFFFFu);
  EXPECT_FALSE(Exists(EmlPath(0)));
  EXPECT_EQ(ReadBytes(kRoot + L"\\DATA\\Status.txt").substr(5), "0");
}

TEST_F(FolderTornTest, AFailedHeaderAppendTakesTheNewMessageAway) {
  auto inbox = Open(inbox_);
  RecordingObserver observer;
  ASSERT_TRUE(inbox->RegisterNotify(&observer));
  qv::seams::InjectFileFault(Base(inbox_) + L".fdb", ERROR_DISK_FULL);
  unsigned long id = 0;
  EXPECT_FALSE(inbox->CreateMessage(&id));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  qv::seams::ClearFileFaults();
  EXPECT_EQ(Msg(inbox_), "");
  EXPECT_EQ(Fdb(inbox_), std::string(4000, '\xFF'));
  EXPECT_EQ(FolderOf(0), 0xFFFFFFFFu);
  EXPECT_TRUE(observer.heard.empty());
}

TEST_F(FolderTornTest, AFailedMoveLeavesTheMessagesInTheSource) {
  const uint32_t a = NewMessage(inbox_), b = NewMessage(inbox_);
  const std::string msg = Msg(inbox_), fdb = Fdb(inbox_);
  auto inbox = Open(inbox_);
  auto dest = Open(builtIn_[1]);
  qv::seams::InjectFileFault(Base(builtIn_[1]) + L".msg", ERROR_DISK_FULL);
  std::vector<unsigned long> ids{a, b};
  EXPECT_FALSE(inbox->MoveMessage(ids, dest.get()));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  qv::seams::ClearFileFaults();
  EXPECT_EQ(Msg(inbox_), msg);
  EXPECT_EQ(Fdb(inbox_), fdb);
  EXPECT_EQ(Msg(builtIn_[1]), "");
  EXPECT_EQ(FolderOf(a), inbox_);
}

TEST_F(FolderTornTest, AChainOfListsDeeperThanAnyTreeIsRefusedWhole) {
  // Lists that name one folder below another, far deeper than folders made
  // by hand could go.
  const uint32_t first = 5, last = first + 70;
  for (uint32_t id = first; id <= last; ++id) {
    CreateDirectoryW(qv::FormatW(L"\\Acc\\TREE\\%02X", id & 0xFF).c_str(), nullptr);
    WriteBytes(Base(id) + L".fld", id == last ? "" : qv::FormatA("%04X\tf\r\n", id + 1));
    WriteBytes(Base(id) + L".msg", "");
    WriteBytes(Base(id) + L".fdb", std::string(4000, '\xFF'));
  }
  Held root = Node(0);
  ASSERT_EQ(root->AddFolderEntry({0, first, L"deep"}), QVMDL_SUCCESS);
  const std::string fld = Fld(0);
  EXPECT_FALSE(root->RemoveFolder(first));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FOLDER_ID_RANGE);
  EXPECT_EQ(Fld(0), fld);
  EXPECT_TRUE(Exists(Base(first) + L".fld"));
  EXPECT_TRUE(Exists(Base(last) + L".fld"));
}

}  // namespace
