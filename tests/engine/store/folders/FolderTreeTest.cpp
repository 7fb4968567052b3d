// Child folders of a real folder: creation within the user's limit and the
// free-space rule, removal of a whole branch with its messages, moves, names,
// and the names of the virtual trays.
#include <gtest/gtest.h>

#include "FolderFixture.h"
#include "platform/codepage/CodePage.h"

namespace {

using FolderTreeTest = FolderFixture;

TEST_F(FolderTreeTest, CreateFolderWritesTheListLineAndNewFilesAndTellsObservers) {
  auto root = Open(0);
  RecordingObserver observer;
  ASSERT_TRUE(root->RegisterNotify(&observer));
  const std::string before = Fld(0);
  unsigned long id = 0;
  ASSERT_TRUE(root->CreateFolder(L"仕事", &id)) << std::hex << GetQvMiddleError();
  EXPECT_EQ(id, 5u);
  EXPECT_EQ(Fld(0), before + "0005\t" + qv::WideToCp932(L"仕事") + "\r\n");
  EXPECT_EQ(Fld(5), "");
  EXPECT_EQ(Msg(5), "");
  EXPECT_EQ(Fdb(5), std::string(4000, '\xFF'));
  EXPECT_EQ(Status(), "0006\t6");
  EXPECT_EQ(observer.heard, (std::vector<std::pair<char, uint32_t>>{{'F', 5}}));
  EXPECT_EQ(folders_->GetUserFolderCount(), 1u);
}

TEST_F(FolderTreeTest, TwentyUserFoldersAreTheLimitAndTheTwentyFirstMakesNoFile) {
  auto root = Open(0);
  for (int i = 0; i < 20; ++i) {
    unsigned long id = 0;
    ASSERT_TRUE(root->CreateFolder(qv::FormatW(L"f%d", i), &id)) << i;
  }
  const std::string fld = Fld(0), status = Status();
  unsigned long id = 1234;
  EXPECT_FALSE(root->CreateFolder(L"one more", &id));
  EXPECT_EQ(root->GetErrorInfo(), QVMDL_ERR_STG_USER_FOLDER_LIMIT);
  EXPECT_EQ(id, 1234u);
  EXPECT_EQ(Fld(0), fld);
  EXPECT_EQ(Status(), status);
  EXPECT_FALSE(Exists(Base(25) + L".fld"));
}

TEST_F(FolderTreeTest, ChangesNeedFreeSpaceOf512000Bytes) {
  auto root = Open(0);
  unsigned long id = 0;
  qv::seams::SetFreeSpace(511999);
  const std::string fld = Fld(0);
  EXPECT_FALSE(root->CreateFolder(L"x", &id));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  EXPECT_EQ(Fld(0), fld);
  EXPECT_FALSE(root->WriteFolderAttributes(inbox_, {1, L"renamed"}));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  EXPECT_FALSE(root->RemoveFolder(builtIn_[3]));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  qv::seams::SetFreeSpace(512000);
  EXPECT_TRUE(root->CreateFolder(L"x", &id)) << std::hex << GetQvMiddleError();
}

TEST_F(FolderTreeTest, RemoveFolderTakesItsMessagesAndTheFoldersBelowIt) {
  const uint32_t a = NewFolder(0, L"A");
  const uint32_t a1 = NewFolder(a, L"A1");
  const uint32_t inA = NewMessage(a);
  const uint32_t inA1 = NewMessage(a1);
  const uint32_t kept = NewMessage(inbox_);
  ASSERT_TRUE(Exists(EmlPath(inA1)));
  const std::string rootList = Fld(0);
  auto root = Open(0);
  RecordingObserver observer;
  ASSERT_TRUE(root->RegisterNotify(&observer));
  ASSERT_TRUE(root->RemoveFolder(a)) << std::hex << GetQvMiddleError();
  EXPECT_FALSE(Exists(EmlPath(inA)));
  EXPECT_FALSE(Exists(EmlPath(inA1)));
  EXPECT_EQ(FolderOf(inA), 0xFFFFFFFFu);
  EXPECT_EQ(FolderOf(inA1), 0xFFFFFFFFu);
  EXPECT_TRUE(Exists(EmlPath(kept)));
  EXPECT_FALSE(Exists(Base(a) + L".fld"));
  EXPECT_FALSE(Exists(Base(a1) + L".msg"));
  EXPECT_EQ(folders_->GetUserFolderCount(), 0u);
  EXPECT_EQ(Fld(0).find("\tA\r\n"), std::string::npos);
  EXPECT_EQ(observer.heard, (std::vector<std::pair<char, uint32_t>>{{'F', a}}));
}

TEST_F(FolderTreeTest, RemoveFolderRefusesOpenFoldersAndStrangers) {
  auto root = Open(0);
  auto inbox = Open(inbox_);
  EXPECT_FALSE(root->RemoveFolder(inbox_));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FOLDER_OPEN);
  EXPECT_TRUE(Exists(Base(inbox_) + L".fld"));
  EXPECT_FALSE(root->RemoveFolder(0x12345));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FOLDER_ID_RANGE);
  const uint32_t a = NewFolder(inbox_, L"A");
  EXPECT_FALSE(root->RemoveFolder(a));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FOLDER_NOT_LISTED);
  // A folder below that is open keeps its parent too.
  const uint32_t b = NewFolder(0, L"B");
  const uint32_t b1 = NewFolder(b, L"B1");
  auto held = Open(b1);
  EXPECT_FALSE(root->RemoveFolder(b));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FOLDER_OPEN);
  EXPECT_TRUE(Exists(Base(b) + L".fld"));
  EXPECT_NE(Fld(0).find("\tB\r\n"), std::string::npos);
}

TEST_F(FolderTreeTest, MoveFolderCarriesTheEntryAndTellsBothSides) {
  const uint32_t a = NewFolder(0, L"A");
  auto root = Open(0);
  auto inbox = Open(inbox_);
  RecordingObserver fromRoot, fromInbox;
  ASSERT_TRUE(root->RegisterNotify(&fromRoot));
  ASSERT_TRUE(inbox->RegisterNotify(&fromInbox));
  ASSERT_TRUE(root->MoveFolder(a, inbox.get())) << std::hex << GetQvMiddleError();
  EXPECT_EQ(Fld(inbox_), qv::FormatA("%04X\tA\r\n", a));
  EXPECT_EQ(Fld(0).find("\tA\r\n"), std::string::npos);
  EXPECT_EQ(fromRoot.heard, (std::vector<std::pair<char, uint32_t>>{{'F', a}}));
  EXPECT_EQ(fromInbox.heard, (std::vector<std::pair<char, uint32_t>>{{'F', a}}));
  std::vector<uint32_t> all;
  ASSERT_TRUE(folders_->GetAllFolderIds(&all));
  EXPECT_EQ(all, (std::vector<uint32_t>{0, inbox_, a, builtIn_[1], builtIn_[2], builtIn_[3]}));
}

TEST_F(FolderTreeTest, MoveFolderBelowItselfOrIntoATrayIsRefusedAndLosesNothing) {
  const uint32_t a = NewFolder(0, L"A");
  const uint32_t a1 = NewFolder(a, L"A1");
  auto root = Open(0);
  auto below = Open(a1);
  const std::string fld = Fld(0);
  EXPECT_FALSE(root->MoveFolder(a, below.get()));
  EXPECT_EQ(Fld(0), fld);
  auto tray = Open(QvFolderSet::kUnreadTray);
  EXPECT_FALSE(root->MoveFolder(a, tray.get()));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FOLDER_ID_RANGE);
  EXPECT_EQ(Fld(0), fld);
  EXPECT_FALSE(root->MoveFolder(a, nullptr));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_NULL_ARGUMENT);
}

TEST_F(FolderTreeTest, MoveFolderPutsTheEntryBackWhenTheDestinationCannotTakeIt) {
  const uint32_t a = NewFolder(0, L"A");
  auto root = Open(0);
  auto inbox = Open(inbox_);
  qv::seams::InjectFileFault(Base(inbox_) + L".fld_tmp", ERROR_DISK_FULL);
  EXPECT_FALSE(root->MoveFolder(a, inbox.get()));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
  qv::seams::ClearFileFaults();
  EXPECT_EQ(Fld(inbox_), "");
  EXPECT_NE(Fld(0).find(qv::FormatA("%04X\tA\r\n", a)), std::string::npos);
}

TEST_F(FolderTreeTest, NamesOfChildrenAndTrays) {
  auto root = Open(0);
  QvFolderInterface::FolderAttributes attributes{1, L""};
  ASSERT_TRUE(root->ReadFolderAttributes(inbox_, &attributes));
  EXPECT_EQ(attributes.name, L"受信トレイ");
  ASSERT_TRUE(root->ReadFolderAttributes(QvFolderSet::kUnreadTray, &attributes));
  EXPECT_EQ(attributes.name, L"未読メールトレイ");
  ASSERT_TRUE(root->ReadFolderAttributes(QvFolderSet::kPartialTray, &attributes));
  EXPECT_EQ(attributes.name, L"部分受信トレイ");
  EXPECT_FALSE(root->ReadFolderAttributes(0x77, &attributes));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FOLDER_NOT_LISTED);
  EXPECT_FALSE(root->ReadFolderAttributes(inbox_, nullptr));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_NULL_ARGUMENT);

  // Without the name bit nothing is written; with it the line changes.
  const std::string fld = Fld(0);
  EXPECT_TRUE(root->WriteFolderAttributes(inbox_, {0, L"ignored"}));
  EXPECT_EQ(Fld(0), fld);
  ASSERT_TRUE(root->WriteFolderAttributes(inbox_, {1, L"Inbox"}));
  EXPECT_EQ(Fld(0).substr(0, 12), qv::FormatA("%04X\tInbox\r\n", inbox_));
  EXPECT_FALSE(root->WriteFolderAttributes(0x77, {1, L"x"}));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FOLDER_NOT_LISTED);
}

TEST_F(FolderTreeTest, OpenFolderChecksTheChildList) {
  auto root = Open(0);
  std::unique_ptr<QvFolderInterface> inbox(root->OpenFolder(inbox_));
  ASSERT_NE(inbox, nullptr);
  EXPECT_EQ(std::unique_ptr<QvFolderInterface>(inbox->OpenFolder(builtIn_[1])), nullptr);
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FOLDER_NOT_LISTED);
  EXPECT_EQ(std::unique_ptr<QvFolderInterface>(root->OpenFolder(0x10000)), nullptr);
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FOLDER_ID_RANGE);
  std::unique_ptr<QvFolderInterface> tray(inbox->OpenFolder(QvFolderSet::kPartialTray));
  EXPECT_NE(tray, nullptr);
  EXPECT_TRUE(folders_->IsFolderOpen(QvFolderSet::kPartialTray));
  tray.reset();
  EXPECT_FALSE(folders_->IsFolderOpen(QvFolderSet::kPartialTray));
}

// Every open of a storage walks its tree: the walk reads the child lists and
// leaves each folder's message list and header cache alone, whatever the
// shape of the tree, and still finds every folder depth first.
TEST_F(FolderTreeTest, TheWalkReadsOnlyTheChildListsOfEveryShapeOfTree) {
  struct Shape {
    const char* name;
    std::vector<std::pair<int, const wchar_t*>> folders;  // parent (index into made, -1 the inbox), name
    std::vector<int> order;                               // the walk's order of the made folders after the inbox
  };
  const std::vector<Shape> shapes = {
      {"none below the inbox", {}, {}},
      {"three side by side", {{-1, L"a"}, {-1, L"b"}, {-1, L"c"}}, {0, 1, 2}},
      {"a chain", {{-1, L"a"}, {0, L"a1"}, {1, L"a11"}}, {0, 1, 2}},
      {"a branch and a leaf", {{-1, L"a"}, {-1, L"b"}, {0, L"a1"}}, {0, 2, 1}},
  };
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    std::vector<uint32_t> made;
    for (const auto& [parent, name] : shape.folders) {
      made.push_back(NewFolder(parent < 0 ? inbox_ : made[static_cast<size_t>(parent)], name));
    }
    std::vector<uint32_t> every = {0};
    every.insert(every.end(), builtIn_.begin(), builtIn_.end());
    every.insert(every.end(), made.begin(), made.end());
    for (uint32_t id : every) {
      if (id != 0) NewMessage(id);
      qv::seams::InjectFileFault(Base(id) + L".msg", ERROR_SHARING_VIOLATION);
      qv::seams::InjectFileFault(Base(id) + L".fdb", ERROR_SHARING_VIOLATION);
    }
    std::vector<uint32_t> walked;
    ASSERT_TRUE(folders_->GetAllFolderIds(&walked));
    std::vector<uint32_t> expected = {0, inbox_};
    for (int i : shape.order) expected.push_back(made[static_cast<size_t>(i)]);
    expected.insert(expected.end(), builtIn_.begin() + 1, builtIn_.end());
    EXPECT_EQ(walked, expected);
    for (uint32_t id : every) {
      EXPECT_EQ(qv::seams::FileFaultHits(Base(id) + L".msg"), 0) << id;
      EXPECT_EQ(qv::seams::FileFaultHits(Base(id) + L".fdb"), 0) << id;
    }
    qv::seams::ClearFileFaults();
    // The next shape starts from the inbox alone: a removal takes a branch.
    auto inbox = Open(inbox_);
    for (size_t i = 0; i < made.size(); ++i) {
      if (shape.folders[i].first < 0) {
        ASSERT_TRUE(inbox->RemoveFolder(made[i])) << std::hex << GetQvMiddleError();
      }
    }
  }
}

}  // namespace
