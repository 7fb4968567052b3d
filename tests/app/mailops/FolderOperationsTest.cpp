// Folder operations on the current account: kinds, items and unread counts,
// the saved display order (also from damaged order files), changes to
// folders with their refreshes, and the repair of an entry list.
#include <sys/stat.h>

#include <memory>

#include "app/mailops/AccountOperations.h"
#include "platform/testing/Seams.h"
#include "tests/app/mailops/MailOpsFixture.h"

namespace qv::test {
namespace {

using Attributes = QvAccountInfoInterface::Attributes;

class FolderOperationsTest : public MailOpsTest {
 protected:
  void SetUp() override {
    MailOpsTest::SetUp();
    a_ = MakeAccount(L"alpha");
    ASSERT_EQ(a_.receiveChildren.size(), 3u);
    ASSERT_EQ(a_.sendChildren.size(), 3u);
    ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
    screen_ = MakeRefreshWindow(L"screen");
    RegisterWindow(screen_);
    Pump();
  }
  void TearDown() override {
    if (screen_ != nullptr) screen_->DestroyWindow();
    MailOpsTest::TearDown();
  }

  std::string OrderHost(const char* file) { return AccountHost(L"alpha") + "/" + file; }
  static std::string ReadAll(const std::string& host) { return ReadHostFile(host); }
  static void WriteAll(const std::string& host, const std::string& bytes) {
    std::ofstream(host, std::ios::binary | std::ios::trunc) << bytes;
  }
  // The ordered folders of a box as indexes into the engine's order.
  std::vector<int> Ordered(int kind) {
    std::vector<QvFolderItem> items;
    EXPECT_TRUE(GetOrderedFolderItems(kind, &items));
    const Ids& engine = kind == kReceiveBox ? a_.receiveChildren : a_.sendChildren;
    std::vector<int> out;
    for (const QvFolderItem& item : items) {
      const auto at = std::find(engine.begin(), engine.end(), item.folderId);
      out.push_back(at == engine.end() ? -1 : static_cast<int>(at - engine.begin()));
    }
    return out;
  }
  std::vector<Refresh> TakeRefreshes() {
    Pump();
    std::vector<Refresh> out;
    out.swap(screen_->refreshes);
    return out;
  }

  TestAccount a_;
  RefreshWindow* screen_ = nullptr;
};

TEST_F(FolderOperationsTest, KindsOfFolders) {
  const struct {
    unsigned long folder;
    bool found;
    int kind;
  } cases[] = {
      {a_.trays[kReceiveBox], true, kReceiveBox},   {a_.trays[kSendBox], true, kSendBox},
      {a_.trays[kDrafts], true, kDrafts},           {a_.trays[kOutbox], true, kOutbox},
      {a_.receiveChildren[0], true, kReceiveUserFolder}, {a_.receiveChildren[2], true, kReceiveUserFolder},
      {a_.sendChildren[1], true, kSendUserFolder},  {0, false, -1},
      {0x7777, false, -1},
  };
  for (const auto& c : cases) {
    int kind = -1;
    EXPECT_EQ(GetFolderRootKind(static_cast<DWORD>(c.folder), &kind), c.found) << c.folder;
    if (c.found) {
      EXPECT_EQ(kind, c.kind) << c.folder;
    }
  }
  EXPECT_EQ(CountUserFolders(), 6);
  EXPECT_EQ(CountChildFolders(a_.trays[kReceiveBox]), 3);
  EXPECT_EQ(CountChildFolders(a_.trays[kDrafts]), 0);
  Ids children;
  EXPECT_TRUE(GetChildFolderIds(a_.trays[kOutbox], &children));
  EXPECT_TRUE(children.empty());
}

// The open account keeps its root folder open: the boxes' names come from
// it without its files being read again for every item, so the launcher's
// build after a switch reads each folder's list once. Here the root's message
// list and header cache cannot be opened at all, and every box still answers.
TEST_F(FolderOperationsTest, TheBoxesAreReadFromTheRootFolderKeptOpen) {
  std::wstring folder;
  ASSERT_TRUE(QvAccountInfoInterface::GetAccountFolderPath(L"alpha", &folder));
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  const std::wstring root = folder + L"\\Storage\\TREE\\00\\00";
  for (const wchar_t* ext : {L".msg", L".fdb"}) qv::seams::InjectFileFault(root + ext, ERROR_SHARING_VIOLATION);
  for (int kind : {kReceiveBox, kSendBox, kDrafts, kOutbox}) {
    QvFolderItem item;
    EXPECT_TRUE(GetSystemFolderItem(kind, &item)) << kind;
    EXPECT_EQ(item.folderId, a_.trays[kind]) << kind;
    EXPECT_FALSE(item.name.IsEmpty()) << kind;
  }
  EXPECT_EQ(qv::seams::FileFaultHits(root + L".msg"), 0);
  EXPECT_EQ(qv::seams::FileFaultHits(root + L".fdb"), 0);
  qv::seams::ClearFileFaults();
  // Closed with the account, as the boxes are.
  CloseCurrentAccount();
  EXPECT_EQ(OpenFolderCount(), 0u);
  ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
}

TEST_F(FolderOperationsTest, ItemsNamesAndUnreadCounts) {
  Store(L"alpha", a_.trays[kReceiveBox], 3, 1);
  Store(L"alpha", a_.receiveChildren[1], 4, 4);
  Store(L"alpha", a_.trays[kDrafts], 2, 0);
  QvFolderItem box;
  ASSERT_TRUE(GetSystemFolderItem(kReceiveBox, &box));
  EXPECT_EQ(box.unread, 1);
  EXPECT_TRUE(box.childUnread);
  EXPECT_EQ(box.folderId, a_.trays[kReceiveBox]);
  QvFolderItem send;
  ASSERT_TRUE(GetSystemFolderItem(kSendBox, &send));
  EXPECT_FALSE(send.childUnread);
  QvFolderItem none;
  EXPECT_FALSE(GetSystemFolderItem(4, &none));
  QvFolderItem child;
  ASSERT_TRUE(GetFolderItem(static_cast<DWORD>(a_.receiveChildren[1]), &child));
  EXPECT_EQ(child.unread, 4);
  EXPECT_EQ(child.kind, kReceiveUserFolder);
  EXPECT_FALSE(child.childUnread);

  const struct {
    unsigned long folder;
    std::wstring text;
  } paths[] = {
      {a_.trays[kReceiveBox], L"受信ﾎﾞｯｸｽ/" + std::wstring(box.name)},
      {a_.receiveChildren[1], L"受信ﾎﾞｯｸｽ/" + std::wstring(child.name)},
      {a_.trays[kSendBox], L"送信ﾎﾞｯｸｽ/" + std::wstring(send.name)},
  };
  for (const auto& p : paths) {
    CString text;
    ASSERT_TRUE(GetFolderDisplayPath(static_cast<DWORD>(p.folder), &text));
    EXPECT_EQ(std::wstring(text), p.text);
  }
  QvFolderItem drafts;
  ASSERT_TRUE(GetSystemFolderItem(kDrafts, &drafts));
  CString text;
  ASSERT_TRUE(GetFolderDisplayPath(a_.trays[kDrafts], &text));
  EXPECT_EQ(std::wstring(text), std::wstring(drafts.name));
  EXPECT_EQ(CountCurrentAccountUnread(), 5);
}

TEST_F(FolderOperationsTest, UnreadCountOfAnotherAccountOpensItsOwnStorage) {
  const TestAccount b = MakeAccount(L"beta");
  Store(L"beta", b.trays[kReceiveBox], 2, 2);
  Store(L"beta", b.sendChildren[0], 3, 1);
  Store(L"alpha", a_.trays[kReceiveBox], 1, 1);
  EXPECT_EQ(CountAccountUnreadMessages(L"beta"), 3);
  EXPECT_EQ(CountAccountUnreadMessages(L"alpha"), 1);
  EXPECT_EQ(std::wstring(GetCurrentAccountName()), L"alpha");
  EXPECT_EQ(CountAccountUnreadMessages(L"nobody"), -1);
}

TEST_F(FolderOperationsTest, OrderFileTable) {
  const std::string c0 = std::to_string(a_.receiveChildren[0]);
  const std::string c1 = std::to_string(a_.receiveChildren[1]);
  const std::string c2 = std::to_string(a_.receiveChildren[2]);
  struct Case {
    const char* what;
    bool present;
    std::string bytes;
    std::vector<int> order;
  };
  const Case cases[] = {
      {"missing: the engine's order", false, "", {0, 1, 2}},
      {"empty", true, "", {0, 1, 2}},
      {"all listed", true, c2 + "\n" + c0 + "\n" + c1 + "\n", {2, 0, 1}},
      {"two of three", true, c2 + "\n" + c0 + "\n", {2, 0, 1}},
      {"one: the rest keep the engine's order", true, c2 + "\n", {2, 0, 1}},
      {"the middle one", true, c1 + "\n", {1, 0, 2}},
      {"ids of no folder", true, "999\n" + c1 + "\n12345\n", {1, 0, 2}},
      {"twice", true, c2 + "\n" + c2 + "\n" + c1 + "\n", {2, 1, 0}},
      {"CR LF lines and no last line end", true, c1 + "\r\n" + c2, {1, 2, 0}},
      {"damaged", true,
       std::string("\xff\xfe\x00garbage\n\n0\n-\n+\n99999999999999\n", 31) + c1 + "junk\n" + c2 + "\n",
       {2, 0, 1}},
      {"blank lines and zeros", true, "\n\n0\n" + c1 + "\n0\n", {1, 0, 2}},
      {"binary", true, std::string(100000, '\x07'), {0, 1, 2}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(OrderHost("RTray.lst"));
    if (c.present) WriteAll(OrderHost("RTray.lst"), c.bytes);
    EXPECT_EQ(Ordered(kReceiveBox), c.order) << c.what;
    EXPECT_EQ(Ordered(kSendBox), (std::vector<int>{0, 1, 2})) << c.what << ": the other box keeps its order";
  }
  WriteAll(OrderHost("STray.lst"), std::to_string(a_.sendChildren[2]) + "\n");
  EXPECT_EQ(Ordered(kSendBox), (std::vector<int>{2, 0, 1}));
}

TEST_F(FolderOperationsTest, OrderIsWrittenWholeOrNotAtAll) {
  const Ids order{a_.receiveChildren[1], a_.receiveChildren[2], a_.receiveChildren[0]};
  ASSERT_TRUE(WriteFolderOrderFile(kReceiveBox, order));
  const std::string written = ReadAll(OrderHost("RTray.lst"));
  EXPECT_EQ(written, std::to_string(order[0]) + "\n" + std::to_string(order[1]) + "\n" + std::to_string(order[2]) +
                         "\n");
  EXPECT_FALSE(std::filesystem::exists(OrderHost("RTray.lst_tmp")));
  Ids read;
  ReadFolderOrderFile(kReceiveBox, &read);
  EXPECT_EQ(read, order);
  EXPECT_EQ(Ordered(kReceiveBox), (std::vector<int>{1, 2, 0}));

  // A full disk: the old order stays whole, and the user is told.
  std::wstring folder;
  ASSERT_TRUE(QvAccountInfoInterface::GetAccountFolderPath(L"alpha", &folder));
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  for (const std::wstring& faulty : {folder + L"\\RTray.lst_tmp", folder + L"\\RTray.lst"}) {
    qv::seams::InjectFileFault(faulty, ERROR_DISK_FULL);
  }
  const int boxes = main_->boxes;
  EXPECT_FALSE(WriteFolderOrderFile(kReceiveBox, Ids{a_.receiveChildren[0]}));
  Pump();
  qv::seams::ClearFileFaults();
  EXPECT_EQ(main_->boxes, boxes + 1);
  EXPECT_EQ(ReadAll(OrderHost("RTray.lst")), written);
  EXPECT_FALSE(WriteFolderOrderFile(kDrafts, order)) << "only the two boxes have an order";
}

TEST_F(FolderOperationsTest, CreateRenameRemoveOnlyWhereTheyMayAndRefresh) {
  DWORD id = 0;
  const struct {
    unsigned long box;
    bool created;
  } creates[] = {{a_.receiveChildren[0], false}, {a_.trays[kDrafts], false}, {a_.trays[kOutbox], false},
                 {0x7777, false},                {a_.trays[kSendBox], true}};
  for (const auto& c : creates) {
    TakeRefreshes();
    EXPECT_EQ(CreateSubFolder(static_cast<DWORD>(c.box), L"新規", &id), c.created) << c.box;
    if (c.created) {
      EXPECT_EQ(TakeRefreshes(), (std::vector<Refresh>{{id, 0}}));
    }
  }
  EXPECT_EQ(CountChildFolders(a_.trays[kSendBox]), 4);
  EXPECT_EQ(OpenFolderCount(), 11u) << "the new folder is watched too";

  const struct {
    unsigned long folder;
    bool renamed;
  } renames[] = {{a_.trays[kDrafts], false}, {a_.trays[kReceiveBox], false}, {0x7777, false},
                 {a_.receiveChildren[1], true}};
  for (const auto& r : renames) {
    EXPECT_EQ(RenameFolder(static_cast<DWORD>(r.folder), L"改名"), r.renamed) << r.folder;
  }
  QvFolderItem item;
  ASSERT_TRUE(GetFolderItem(static_cast<DWORD>(a_.receiveChildren[1]), &item));
  EXPECT_EQ(std::wstring(item.name), L"改名");

  EXPECT_FALSE(RemoveFolder(a_.trays[kOutbox]));
  EXPECT_FALSE(RemoveFolder(a_.trays[kReceiveBox]));
  TakeRefreshes();
  Store(L"alpha", a_.receiveChildren[2], 2, 2);
  ASSERT_TRUE(RemoveFolder(static_cast<DWORD>(a_.receiveChildren[2])));
  EXPECT_EQ(TakeRefreshes(),
            (std::vector<Refresh>{{a_.receiveChildren[2], 0}, {a_.trays[kReceiveBox], 0}}));
  EXPECT_EQ(CountChildFolders(a_.trays[kReceiveBox]), 2);
  EXPECT_EQ(OpenFolderCount(), 10u);
}

TEST_F(FolderOperationsTest, RepairHoldsTheAutomaticReceiveWithoutTouchingTheSetting) {
  Attributes record;
  record.bAutoMailRetrievingEnabled = true;
  record.Select(Attributes::kAutoMailRetrievingEnabled);
  SetSettings(L"alpha", record);
  Store(L"alpha", a_.trays[kReceiveBox], 3, 1);
  ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
  const std::string settings = AccountHost(L"alpha") + "/AccountInfo.ini";
  struct stat before {};
  ASSERT_EQ(::stat(settings.c_str(), &before), 0);
  const std::string bytes = ReadAll(settings);

  EXPECT_FALSE(RecoverEntry(a_.trays[kReceiveBox], 0x2000001)) << "a code that asks for no repair";
  EXPECT_TRUE(RecoverEntry(a_.trays[kReceiveBox], 0x2000047));
  EXPECT_FALSE(IsAutoReceiveHeld());

  struct stat after {};
  ASSERT_EQ(::stat(settings.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino) << "the settings file was not rewritten";
  EXPECT_EQ(ReadAll(settings), bytes);
  std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(L"alpha", L""));
  Attributes read;
  read.Select(Attributes::kAutoMailRetrievingEnabled);
  ASSERT_TRUE(info->GetAccountInfoAttributes(&read));
  EXPECT_TRUE(read.bAutoMailRetrievingEnabled);
  Ids ids;
  EXPECT_TRUE(GetMessageIds(a_.trays[kReceiveBox], &ids));
  EXPECT_EQ(ids.size(), 3u);
}

TEST_F(FolderOperationsTest, MoveAndCountMessages) {
  Ids ids = Store(L"alpha", a_.trays[kReceiveBox], 4, 4);
  Store(L"alpha", a_.trays[kOutbox], 2, 0);
  EXPECT_EQ(CountOutboxMessages(), 2);
  Ids none;
  EXPECT_FALSE(MoveMessagesToFolder(none, a_.trays[kReceiveBox], static_cast<DWORD>(a_.receiveChildren[0])));
  TakeRefreshes();
  Ids two{ids[0], ids[1]};
  ASSERT_TRUE(MoveMessagesToFolder(two, a_.trays[kReceiveBox], static_cast<DWORD>(a_.receiveChildren[0])));
  const std::vector<Refresh> refreshes = TakeRefreshes();
  EXPECT_NE(std::find(refreshes.begin(), refreshes.end(), Refresh{a_.receiveChildren[0], 0}), refreshes.end());
  EXPECT_NE(std::find(refreshes.begin(), refreshes.end(), Refresh{a_.trays[kReceiveBox], 0}), refreshes.end());
  Ids moved;
  ASSERT_TRUE(GetMessageIds(static_cast<DWORD>(a_.receiveChildren[0]), &moved));
  EXPECT_EQ(moved.size(), 2u);
  EXPECT_EQ(CountCurrentAccountUnread(), 4);
  EXPECT_FALSE(ReclassifyFolderMessages(a_.trays[kDrafts]));
  EXPECT_TRUE(ReclassifyFolderMessages(a_.trays[kReceiveBox]));
}

}  // namespace
}  // namespace qv::test
