// The virtual trays over a whole tree, and the folder facade: what it adds on
// the root, its one observer, and its answers without a node.
#include <gtest/gtest.h>

#include "FolderFixture.h"
#include "engine/public/store/QvMessageInterface.h"

namespace {

using TrayTest = FolderFixture;
using FacadeTest = FolderFixture;

TEST_F(TrayTest, UnreadTrayListsTheDeepestFoldersFirst) {
  const uint32_t a = NewFolder(0, L"A");
  const uint32_t inRoot = NewMessage(0);
  const uint32_t a1 = NewMessage(a), a2 = NewMessage(a), readOne = NewMessage(a);
  const uint32_t partial = NewMessage(inbox_);
  SetFlags(0, inRoot, true, false);
  SetFlags(a, a1, true, false);
  SetFlags(a, a2, true, false);
  SetFlags(inbox_, partial, false, true);
  auto unread = Open(QvFolderSet::kUnreadTray);
  std::vector<unsigned long> ids{42};
  ASSERT_TRUE(unread->GetMessageIds(&ids)) << std::hex << GetQvMiddleError();
  EXPECT_EQ(ids, (std::vector<unsigned long>{a1, a2, inRoot}));
  auto partialTray = Open(QvFolderSet::kPartialTray);
  ASSERT_TRUE(partialTray->GetMessageIds(&ids));
  EXPECT_EQ(ids, (std::vector<unsigned long>{partial}));
  (void)readOne;
}

TEST_F(TrayTest, AStoredMessagesUnreadFlagReachesTheListAndTheUnreadTray) {
  const uint32_t a = NewMessage(inbox_);
  auto inbox = Open(inbox_);
  std::unique_ptr<QvFolderInterface> tray(Open(0)->OpenFolder(QvFolderSet::kUnreadTray));
  ASSERT_NE(tray, nullptr);
  RecordingObserver observer;
  ASSERT_TRUE(tray->RegisterNotify(&observer));
  std::unique_ptr<QvMessageInterface> message(inbox->OpenMessage(a));
  ASSERT_NE(message, nullptr);
  QvMessageInterface::Attributes flag;
  flag.mask = QvMessageInterface::kUnread;
  flag.unread = 1;
  ASSERT_TRUE(message->SetAttributes(flag)) << std::hex << GetQvMiddleError();
  EXPECT_EQ(Msg(inbox_), MsgLine(a, 1, 0));
  std::vector<unsigned long> ids;
  ASSERT_TRUE(tray->GetMessageIds(&ids));
  EXPECT_EQ(ids, (std::vector<unsigned long>{a}));
  flag.unread = 0;
  ASSERT_TRUE(message->SetAttributes(flag)) << std::hex << GetQvMiddleError();
  EXPECT_EQ(Msg(inbox_), MsgLine(a, 0, 0));
  EXPECT_EQ(observer.heard, (std::vector<std::pair<char, uint32_t>>{{'M', a}, {'M', a}}));
  EXPECT_EQ(inbox->GetUnreadCount(), 0u);
  ASSERT_TRUE(tray->GetMessageIds(&ids));
  EXPECT_TRUE(ids.empty());
}

TEST_F(TrayTest, ATreeWhoseListNamesAnAncestorIsWalkedOnce) {
  const uint32_t a = NewFolder(0, L"A");
  const uint32_t m = NewMessage(a);
  SetFlags(a, m, true, false);
  {
    Held node = Node(a);
    ASSERT_EQ(node->AddFolderEntry({0, 0, L"loop"}), QVMDL_SUCCESS);
    ASSERT_EQ(node->AddFolderEntry({0, a, L"self"}), QVMDL_SUCCESS);
  }
  auto unread = Open(QvFolderSet::kUnreadTray);
  std::vector<unsigned long> ids;
  ASSERT_TRUE(unread->GetMessageIds(&ids));
  EXPECT_EQ(ids, (std::vector<unsigned long>{m}));
}

TEST_F(TrayTest, RemovingFromATrayRemovesFromTheOwningFolder) {
  const uint32_t a = NewFolder(0, L"A");
  const uint32_t m = NewMessage(a), other = NewMessage(a);
  SetFlags(a, m, true, false);
  auto unread = Open(QvFolderSet::kUnreadTray);
  ASSERT_TRUE(unread->RemoveMessage(m)) << std::hex << GetQvMiddleError();
  EXPECT_EQ(Msg(a), MsgLine(other, 0, 0));
  EXPECT_FALSE(Exists(EmlPath(m)));
  EXPECT_EQ(Fdb(a).size(), 4000u + 1180u);  // compacted
  std::vector<unsigned long> ids{m};
  EXPECT_FALSE(unread->RemoveMessage(ids));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_MESSAGE_NOT_LISTED);
  // A tray opens any message of the tree, and only those.
  std::unique_ptr<QvMessageInterface> message(unread->OpenMessage(other));
  EXPECT_NE(message, nullptr);
  EXPECT_EQ(std::unique_ptr<QvMessageInterface>(unread->OpenMessage(m)), nullptr);
  // A tray has no folders and keeps no header cache of its own.
  std::vector<unsigned long> folders;
  EXPECT_FALSE(unread->GetFolderIds(&folders));
  EXPECT_EQ(unread->GetUnreadCount(), 0u);
}

TEST_F(FacadeTest, RootListsTheTraysAfterItsChildren) {
  auto root = Open(0);
  std::vector<unsigned long> ids;
  ASSERT_TRUE(root->GetFolderIds(&ids));
  std::vector<unsigned long> expected(builtIn_.begin(), builtIn_.end());
  expected.push_back(0x10001);
  expected.push_back(0x10002);
  EXPECT_EQ(ids, expected);
  auto inbox = Open(inbox_);
  const uint32_t child = NewFolder(inbox_, L"child");
  ASSERT_TRUE(inbox->GetFolderIds(&ids));
  EXPECT_EQ(ids, (std::vector<unsigned long>{child}));
}

TEST_F(FacadeTest, OneObserverPerFacadeAndEachFacadeHearsTheNode) {
  auto first = Open(inbox_);
  auto second = Open(inbox_);
  RecordingObserver a, b, c;
  EXPECT_FALSE(first->RegisterNotify(nullptr));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_NULL_ARGUMENT);
  ASSERT_TRUE(first->RegisterNotify(&a));
  EXPECT_FALSE(first->RegisterNotify(&b));
  EXPECT_EQ(first->GetErrorInfo(), QVMDL_ERR_STG_OBSERVER_REGISTERED);
  ASSERT_TRUE(second->RegisterNotify(&b));
  EXPECT_FALSE(first->UnregisterNotify(&b));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_OBSERVER_UNKNOWN);

  unsigned long id = 0;
  ASSERT_TRUE(first->CreateMessage(&id));
  EXPECT_EQ(a.heard.size(), 1u);
  EXPECT_EQ(b.heard.size(), 1u);

  // Deleting a facade takes its observer off the shared node.
  second.reset();
  ASSERT_TRUE(first->CreateMessage(&id));
  EXPECT_EQ(a.heard.size(), 2u);
  EXPECT_EQ(b.heard.size(), 1u);

  ASSERT_TRUE(first->UnregisterNotify(&a));
  ASSERT_TRUE(first->RegisterNotify(&c));
  ASSERT_TRUE(first->CreateMessage(&id));
  EXPECT_EQ(a.heard.size(), 2u);
  EXPECT_EQ(c.heard.size(), 1u);
}

TEST_F(FacadeTest, DeletingTheLastFacadeReleasesTheNode) {
  auto first = Open(inbox_);
  auto second = Open(inbox_);
  first.reset();
  EXPECT_TRUE(folders_->IsFolderOpen(inbox_));
  second.reset();
  EXPECT_FALSE(folders_->IsFolderOpen(inbox_));
}

TEST_F(FacadeTest, WithoutANodeEveryCallAnswersEmptyAndLeavesTheErrorWord) {
  QvFolderInterface empty(nullptr);
  SetQvMiddleError(QVMDL_ERR_STG_DISK_FULL);
  unsigned long id = 0;
  std::vector<unsigned long> ids;
  RecordingObserver observer;
  EXPECT_EQ(empty.OpenFolder(1), nullptr);
  EXPECT_FALSE(empty.CreateFolder(L"x", &id));
  EXPECT_FALSE(empty.GetFolderIds(&ids));
  EXPECT_FALSE(empty.GetMessageIds(&ids));
  EXPECT_FALSE(empty.CreateMessage(&id));
  EXPECT_FALSE(empty.RemoveMessage(1));
  EXPECT_FALSE(empty.RegisterNotify(&observer));
  EXPECT_EQ(empty.OpenMessage(1), nullptr);
  EXPECT_EQ(empty.GetUnreadCount(), 0u);
  EXPECT_EQ(empty.GetRemainMessageCount(), 0u);
  EXPECT_TRUE(empty.FlushMessageHeader());
  EXPECT_EQ(empty.GetErrorInfo(), QVMDL_SUCCESS);
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_DISK_FULL);
}

TEST_F(FacadeTest, OpenMessageHoldsTheMessageUntilTheFacadeGoes) {
  auto inbox = Open(inbox_);
  unsigned long id = 0;
  ASSERT_TRUE(inbox->CreateMessage(&id));
  std::unique_ptr<QvMessageInterface> message(inbox->OpenMessage(id));
  ASSERT_NE(message, nullptr);
  EXPECT_TRUE(messages_->IsMessageOpen(id));
  EXPECT_FALSE(inbox->RemoveMessage(id));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_MESSAGE_OPEN);
  message.reset();
  EXPECT_FALSE(messages_->IsMessageOpen(id));
  EXPECT_EQ(inbox->OpenMessage(0x9999), nullptr);
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_MESSAGE_NOT_LISTED);
  EXPECT_EQ(inbox->OpenMessage(0x10000), nullptr);
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_MESSAGE_ID_RANGE);
}

TEST_F(FacadeTest, ATreeIsCreatedAndRemovedThroughTheFacades) {
  auto root = Open(0);
  unsigned long work = 0, year = 0;
  ASSERT_TRUE(root->CreateFolder(L"仕事", &work));
  std::unique_ptr<QvFolderInterface> workFolder(root->OpenFolder(work));
  ASSERT_NE(workFolder, nullptr);
  ASSERT_TRUE(workFolder->CreateFolder(L"2026", &year));
  std::unique_ptr<QvFolderInterface> yearFolder(workFolder->OpenFolder(year));
  unsigned long message = 0;
  ASSERT_TRUE(yearFolder->CreateMessage(&message));
  yearFolder.reset();
  workFolder.reset();
  EXPECT_EQ(folders_->GetUserFolderCount(), 2u);
  ASSERT_TRUE(root->RemoveFolder(work)) << std::hex << GetQvMiddleError();
  EXPECT_EQ(folders_->GetUserFolderCount(), 0u);
  EXPECT_FALSE(Exists(EmlPath(message)));
  EXPECT_EQ(Status(), "0007\t5");
  std::vector<uint32_t> all;
  ASSERT_TRUE(folders_->GetAllFolderIds(&all));
  EXPECT_EQ(all.size(), 5u);
}

}  // namespace
