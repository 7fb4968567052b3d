// The current account and the program-wide engine objects: opening and
// switching, what a failed open leaves, the settings getters, the busy state
// and the rule that only the owning thread sees the objects.
#include <memory>
#include <thread>

#include "app/mailops/AccountOperations.h"
#include "app/mailops/TaskAccount.h"
#include "engine/public/store/QvSignatureInterface.h"
#include "engine/public/transport/QvAutoRetriever.h"
#include "engine/public/transport/QvRetriever.h"
#include "engine/public/transport/Sender.h"
#include "tests/app/mailops/MailOpsFixture.h"

namespace qv::test {
namespace {

using Attributes = QvAccountInfoInterface::Attributes;

class CurrentAccountTest : public MailOpsTest {
 protected:
  static DWORD NoRead(const std::wstring& name) {
    DWORD value = 0xFFFFFFFF;
    DWORD size = sizeof value;
    HKEY key = nullptr;
    const std::wstring path = std::wstring(kProgramKey) + L"\\accounts\\" + name;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
    DWORD type = 0;
    RegQueryValueExW(key, L"NoRead", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return value;
  }
  // What the program holds as the open account, in one line.
  static std::wstring Held() {
    DWORD receive = 0;
    GetSystemFolderId(kReceiveBox, &receive);
    return std::wstring(GetCurrentAccountName()) + L"|" + (CurrentAccountInfo() ? L"info" : L"-") + L"|" +
           (CurrentStorage() ? L"storage" : L"-") + L"|" + std::to_wstring(receive);
  }
};

TEST_F(CurrentAccountTest, OpensTheAccountWithItsFoldersAndStoresItsUnreadCount) {
  const TestAccount a = MakeAccount(L"alpha");
  Store(L"alpha", a.trays[kReceiveBox], 5, 3);
  Store(L"alpha", a.receiveChildren[1], 4, 2);
  Store(L"alpha", a.trays[kSendBox], 2, 1);
  Store(L"alpha", a.trays[kDrafts], 2, 2);  // drafts do not count

  ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
  EXPECT_EQ(Held(), L"alpha|info|storage|" + std::to_wstring(a.trays[kReceiveBox]));
  for (int kind = 0; kind < 4; ++kind) {
    DWORD id = 0;
    EXPECT_TRUE(GetSystemFolderId(kind, &id));
    EXPECT_EQ(id, a.trays[kind]) << kind;
  }
  DWORD id = 0;
  EXPECT_FALSE(GetSystemFolderId(4, &id));
  EXPECT_FALSE(GetSystemFolderId(-1, &id));
  EXPECT_EQ(NoRead(L"alpha"), 6u);
  EXPECT_EQ(CountCurrentAccountUnread(), 6);
  // The receive box, its three folders, the send box, its three, outbox, drafts.
  EXPECT_EQ(OpenFolderCount(), 10u);
}

TEST_F(CurrentAccountTest, AFailedOpenLeavesTheAccountThatWasOpen) {
  MakeAccount(L"alpha");
  const TestAccount b = MakeAccount(L"beta");
  // beta's settings file goes: the account is listed but cannot be read.
  std::filesystem::remove(AccountHost(L"beta") + "/AccountInfo.ini");

  struct Case {
    const wchar_t* before;  // opened first (empty: none)
    const wchar_t* name;
    bool opened;
    const wchar_t* held;  // name|info|storage, receive box id left off
  };
  const Case cases[] = {
      {L"", L"nobody", false, L"|-|-"},
      {L"", L"", false, L"|-|-"},
      {L"alpha", L"nobody", false, L"alpha|info|storage"},
      {L"alpha", L"beta", false, L"alpha|info|storage"},
      {L"alpha", L"", false, L"alpha|info|storage"},
      {L"", L"alpha", true, L"alpha|info|storage"},
  };
  for (const Case& c : cases) {
    CloseCurrentAccount();
    if (*c.before) {
      ASSERT_TRUE(OpenCurrentAccount(c.before));
    }
    EXPECT_EQ(OpenCurrentAccount(c.name), c.opened) << c.before << " then " << c.name;
    const std::wstring held = Held();
    EXPECT_EQ(held.substr(0, held.rfind(L'|')), c.held) << c.before << " then " << c.name;
    if (CurrentStorage() != nullptr) {
      // The objects are the named account's: its folders still open.
      QvFolderItem item;
      EXPECT_TRUE(GetSystemFolderItem(kReceiveBox, &item));
    }
  }
  (void)b;
}

TEST_F(CurrentAccountTest, SignatureChoiceOutsideTheTwoGivesNoSignature) {
  MakeAccount(L"alpha");
  {
    std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(L"alpha", L""));
    std::unique_ptr<QvSignatureInterface> signature(info->OpenSignature());
    QvSignatureInterface::Attributes texts;
    texts.mask = 3;
    texts.first = L"一つ目";
    texts.second = L"二つ目";
    ASSERT_TRUE(signature->WriteAttributes(texts));
  }
  const struct {
    int32_t choice;
    const wchar_t* text;
  } cases[] = {{1, L"一つ目"}, {2, L"二つ目"}, {0, L""}, {3, L""}, {-1, L""}, {0x7FFFFFFF, L""}, {-0x7FFFFFFF, L""}};
  for (const auto& c : cases) {
    Attributes record;
    record.iUseSignature = c.choice;
    record.bUseSignature = true;
    record.Select(Attributes::kUseSignatureIndex);
    record.Select(Attributes::kUseSignature);
    SetSettings(L"alpha", record);
    ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
    EXPECT_TRUE(IsSignatureEnabled());
    EXPECT_EQ(std::wstring(GetSignatureText()), c.text) << c.choice;
  }
}

TEST_F(CurrentAccountTest, SettingsGettersReadTheCopyTakenAtOpen) {
  MakeAccount(L"alpha");
  Attributes record;
  record.strSenderAddress = L"me@example.com";
  record.strSenderName = L"山田";
  record.bTaccount = true;
  record.bSendMessageInAMinuteEnabled = true;
  for (auto bit : {Attributes::kSenderAddress, Attributes::kSenderName, Attributes::kTaccount,
                   Attributes::kSendMessageInAMinuteEnabled}) {
    record.Select(bit);
  }
  SetSettings(L"alpha", record);
  ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
  EXPECT_EQ(std::wstring(GetSenderAddress()), L"me@example.com");
  EXPECT_EQ(std::wstring(GetSenderName()), L"山田");
  EXPECT_TRUE(IsCurrentTAccount());
  EXPECT_TRUE(IsSendInAMinuteEnabled());
  CloseCurrentAccount();
  EXPECT_EQ(std::wstring(GetSenderAddress()), L"");
  EXPECT_FALSE(IsCurrentTAccount());
}

TEST_F(CurrentAccountTest, OtherThreadsSeeNoneOfTheProgramWideObjects) {
  const TestAccount a = MakeAccount(L"alpha");
  MakeAccount(L"beta");
  ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
  MailTaskAccount snapshot;
  ASSERT_TRUE(CaptureMailTaskAccount(&snapshot));
  EXPECT_EQ(snapshot.name, L"alpha");
  EXPECT_EQ(snapshot.systemFolderIds[kReceiveBox], a.trays[kReceiveBox]);

  struct Seen {
    bool info = true, storage = true, name = true, opened = true, folder = true, captured = true;
    bool ownOpen = false;
    size_t ownStore = 0;
  } seen;
  std::thread worker([&] {
    seen.info = CurrentAccountInfo() != nullptr;
    seen.storage = CurrentStorage() != nullptr;
    seen.name = !GetCurrentAccountName().IsEmpty();
    seen.opened = OpenCurrentAccount(L"beta");
    std::unique_ptr<QvFolderInterface> folder(OpenFolderById(a.trays[kReceiveBox]));
    seen.folder = folder != nullptr;
    MailTaskAccount other;
    seen.captured = CaptureMailTaskAccount(&other);
    // The task's own objects, opened on its thread.
    TaskAccountObjects own;
    seen.ownOpen = own.Open(snapshot.name);
    if (seen.ownOpen) seen.ownStore = Store(snapshot.name, snapshot.systemFolderIds[kReceiveBox], 2, 2).size();
  });
  worker.join();
  EXPECT_FALSE(seen.info);
  EXPECT_FALSE(seen.storage);
  EXPECT_FALSE(seen.name);
  EXPECT_FALSE(seen.opened);
  EXPECT_FALSE(seen.folder);
  EXPECT_FALSE(seen.captured);
  EXPECT_TRUE(seen.ownOpen);
  EXPECT_EQ(seen.ownStore, 2u);
  EXPECT_EQ(Held(), L"alpha|info|storage|" + std::to_wstring(a.trays[kReceiveBox]));
  // What the task stored is seen through the program's own objects.
  EXPECT_EQ(CountCurrentAccountUnread(), 2);
}

TEST_F(CurrentAccountTest, NoSwitchWhileATaskWorksOnTheAccount) {
  MakeAccount(L"alpha");
  MakeAccount(L"beta");
  ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
  {
    MailTaskLease lease;
    EXPECT_TRUE(IsAccountTaskRunning());
    EXPECT_FALSE(OpenCurrentAccount(L"beta"));
    CloseCurrentAccount();
    EXPECT_EQ(std::wstring(GetCurrentAccountName()), L"alpha");
    EXPECT_NE(CurrentStorage(), nullptr);
  }
  Sender sender;
  SetRunningSender(&sender);
  EXPECT_FALSE(OpenCurrentAccount(L"beta"));
  SetRunningSender(nullptr);
  QvRetriever retriever;
  SetRunningRetriever(&retriever);
  EXPECT_FALSE(OpenCurrentAccount(L"beta"));
  SetRunningRetriever(nullptr);
  EXPECT_FALSE(IsAccountTaskRunning());
  EXPECT_TRUE(OpenCurrentAccount(L"beta"));
  EXPECT_EQ(std::wstring(GetCurrentAccountName()), L"beta");
}

TEST_F(CurrentAccountTest, TaskStateTable) {
  QvAutoRetriever automatic;
  QvRetriever retriever;
  Sender sender;
  struct Case {
    bool automatic, retriever, sender;
    int state;
  };
  const Case cases[] = {
      {false, false, false, kMailTaskIdle},        {true, false, false, kMailTaskAutoReceive},
      {true, true, true, kMailTaskAutoReceive},    {false, true, false, kMailTaskReceive},
      {false, true, true, kMailTaskReceive},       {false, false, true, kMailTaskSend},
  };
  for (const Case& c : cases) {
    SetRunningAutoRetriever(c.automatic ? &automatic : nullptr);
    SetRunningRetriever(c.retriever ? &retriever : nullptr);
    SetRunningSender(c.sender ? &sender : nullptr);
    EXPECT_EQ(GetMailTaskState(), c.state) << c.automatic << c.retriever << c.sender;
    const int before = main_->boxes;
    EXPECT_EQ(CheckMailTaskBusy(main_), c.state != kMailTaskIdle);
    Pump();
    // Only the automatic and the periodic receive say why.
    EXPECT_EQ(main_->boxes - before, c.state == kMailTaskAutoReceive ? 1 : 0) << c.state;
    EXPECT_EQ(CheckMailTaskBusy(nullptr), c.state != kMailTaskIdle);
  }
  SetRunningAutoRetriever(nullptr);
  SetRunningRetriever(nullptr);
  SetRunningSender(nullptr);
}

TEST_F(CurrentAccountTest, CancelsReachOnlyObjectsThatAreSet) {
  EXPECT_FALSE(StopAutoRetriever());
  EXPECT_FALSE(CancelRetriever());
  EXPECT_FALSE(CancelSender());
  EXPECT_FALSE(CancelImporter());
  EXPECT_FALSE(CancelExporter());
  QvRetriever retriever;
  SetRunningRetriever(&retriever);
  EXPECT_TRUE(CancelRetriever());
  SetRunningRetriever(nullptr);
  Sender sender;
  SetRunningSender(&sender);
  SetSendFinished(true);
  EXPECT_FALSE(CancelSender()) << "past the point where a cancel is possible";
  SetRunningSender(nullptr);
}

TEST_F(CurrentAccountTest, ShutdownWithNoAccountOpenDeletesNothing) {
  ShutdownMailOperations();
  EXPECT_EQ(Held(), L"|-|-|0");
  MakeAccount(L"alpha");
  ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
  ShutdownMailOperations();
  EXPECT_EQ(Held(), L"|-|-|0");
  EXPECT_EQ(OpenFolderCount(), 0u);
}

TEST_F(CurrentAccountTest, CurrentMessageIsKeptUntilClosedOrTheAccountGoes) {
  const TestAccount a = MakeAccount(L"alpha");
  const Ids ids = Store(L"alpha", a.trays[kReceiveBox], 2, 1);
  EXPECT_EQ(OpenCurrentMessage(ids[0]), nullptr) << "no storage yet";
  ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
  QvMessageInterface* first = OpenCurrentMessage(ids[0]);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(OpenCurrentMessage(ids[1]), nullptr);
  std::unique_ptr<QvMessageInterface> own(OpenMessageById(ids[1]));
  EXPECT_NE(own, nullptr);
  ClearDetailCode();
  std::unique_ptr<QvFolderInterface> missing(OpenFolderById(0x7777));
  EXPECT_EQ(missing, nullptr);
  EXPECT_NE(DetailCode(), 0u) << "the engine's error is shown";
  CloseCurrentAccount();
  EXPECT_EQ(OpenCurrentMessage(ids[0]), nullptr);
}

}  // namespace
}  // namespace qv::test
