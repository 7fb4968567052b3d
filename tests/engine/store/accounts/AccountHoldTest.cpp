// The hold a run keeps on its account: one holder per account across threads
// and processes, never a wait, and deleting or renaming the account refused
// while it is held. The other process is this test program run again with
// QV_HOLD_CHILD set.
#include <cstdlib>
#include <functional>
#include <optional>
#include <thread>

#include "AccountFixture.h"
#include "engine/store/QvAccountHold.h"
#include "platform/kernel/Sync.h"
#include "tests/support/SelfProcess.h"

namespace {

constexpr DWORD kPatience = 120000;  // a bound for a child's start, never reached when all goes well

std::wstring FolderOf(const std::wstring& name) { return L"\\Application Data\\QuvoMail\\" + name; }

// Whether a hold of `folder` can be had now on a thread of its own.
bool HeldOnAnotherThread(const std::wstring& folder) {
  bool held = false;
  std::thread([&] { held = QvAccountHold(folder).Held(); }).join();
  return held;
}

// The child's branches. "try": exit 1 when the hold was had, 0 when refused.
// "hold": holds until the parent sets "go", having set "held". "die": holds
// and ends without letting go.
int ChildBranch(const std::string& mode, const std::wstring& folder) {
  if (mode == "try") return QvAccountHold(folder).Held() ? 1 : 0;
  HANDLE held = CreateEventW(nullptr, TRUE, FALSE, L"hold test held");
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, L"hold test go");
  QvAccountHold hold(folder);
  if (!hold.Held()) return 2;
  if (mode == "die") std::_Exit(0);
  SetEvent(held);
  return WaitForSingleObject(go, kPatience) == WAIT_OBJECT_0 ? 0 : 3;
}

const int kChild = [] {
  const char* mode = std::getenv("QV_HOLD_CHILD");
  if (mode == nullptr) return 0;
  qv::SetDeviceRoot(std::getenv("QV_HOLD_ROOT"));
  std::_Exit(ChildBranch(mode, qv::Utf8ToWide(std::getenv("QV_HOLD_FOLDER"))));
}();

class AccountHoldTest : public AccountTest {
 protected:
  void SetUp() override {
    AccountTest::SetUp();
    ASSERT_TRUE(Create(L"a") && Create(L"b"));
  }
  pid_t Spawn(const std::string& mode, const std::wstring& folder) {
    (void)kChild;
    return qv::test::SpawnSelf({"QV_HOLD_CHILD=" + mode, "QV_HOLD_ROOT=" + root_,
                                "QV_HOLD_FOLDER=" + qv::WideToUtf8(folder)});
  }
  // A child that holds `folder` until the returned function is called; the
  // function gives the child's exit status.
  std::function<int()> HeldByChild(const std::wstring& folder) {
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, L"hold test held");
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, L"hold test go");
    ResetEvent(held);
    ResetEvent(go);
    const pid_t child = Spawn("hold", folder);
    EXPECT_EQ(WaitForSingleObject(held, kPatience), WAIT_OBJECT_0);
    return [=] {
      SetEvent(go);
      const int status = qv::test::WaitExit(child);
      CloseHandle(held);
      CloseHandle(go);
      return status;
    };
  }
  std::set<std::wstring> Names() {
    std::vector<std::wstring> names;
    EXPECT_TRUE(QvAccountInfoInterface::GetAccountNameList(&names, L""));
    return {names.begin(), names.end()};
  }
};

TEST_F(AccountHoldTest, OneHolderPerAccountInThisProcess) {
  struct Case {
    const char* what;
    std::wstring contender;
    bool otherThread;
    bool held;
  };
  const Case cases[] = {
      {"the same folder, again on this thread", FolderOf(L"a"), false, false},
      {"the same folder, on another thread", FolderOf(L"a"), true, false},
      {"another spelling of it", FolderOf(L"A"), false, false},
      {"another spelling, on another thread", FolderOf(L"A"), true, false},
      {"another account", FolderOf(L"b"), false, true},
      {"another account, on another thread", FolderOf(L"b"), true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QvAccountHold first(FolderOf(L"a"));
    ASSERT_TRUE(first.Held());
    const bool held = c.otherThread ? HeldOnAnotherThread(c.contender) : QvAccountHold(c.contender).Held();
    EXPECT_EQ(held, c.held);
    // A refused contender lets go of nothing: the first still holds.
    EXPECT_FALSE(QvAccountHold(FolderOf(L"a")).Held());
    EXPECT_FALSE(HeldOnAnotherThread(FolderOf(L"a")));
  }
  // Each hold ended with its case: every account is free again, on every thread.
  EXPECT_TRUE(QvAccountHold(FolderOf(L"a")).Held());
  EXPECT_TRUE(HeldOnAnotherThread(FolderOf(L"A")));
}

TEST_F(AccountHoldTest, AnotherProcessIsRefusedWhileOneHolds) {
  {
    QvAccountHold mine(FolderOf(L"a"));
    ASSERT_TRUE(mine.Held());
    EXPECT_EQ(qv::test::WaitExit(Spawn("try", FolderOf(L"a"))), 0) << "the child had the hold";
    EXPECT_EQ(qv::test::WaitExit(Spawn("try", FolderOf(L"b"))), 1);
  }
  EXPECT_EQ(qv::test::WaitExit(Spawn("try", FolderOf(L"a"))), 1);

  auto release = HeldByChild(FolderOf(L"a"));
  EXPECT_FALSE(QvAccountHold(FolderOf(L"a")).Held());
  EXPECT_FALSE(HeldOnAnotherThread(FolderOf(L"A")));
  EXPECT_TRUE(QvAccountHold(FolderOf(L"b")).Held());
  EXPECT_EQ(release(), 0);
  EXPECT_TRUE(QvAccountHold(FolderOf(L"a")).Held());

  // A holder that dies leaves the account free.
  EXPECT_EQ(qv::test::WaitExit(Spawn("die", FolderOf(L"a"))), 0);
  EXPECT_TRUE(QvAccountHold(FolderOf(L"a")).Held());
}

TEST_F(AccountHoldTest, DeleteAndRenameAreRefusedWhileTheAccountIsHeld) {
  // Held by this thread, by another thread of this process, by another process.
  for (int holder = 0; holder < 3; ++holder) {
    SCOPED_TRACE(holder);
    std::optional<QvAccountHold> here;
    std::thread other;
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::function<int()> release;
    if (holder == 0) {
      here.emplace(FolderOf(L"a"));
      ASSERT_TRUE(here->Held());
    } else if (holder == 1) {
      HANDLE taken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
      other = std::thread([&] {
        QvAccountHold hold(FolderOf(L"a"));
        EXPECT_TRUE(hold.Held());
        SetEvent(taken);
        WaitForSingleObject(stop, kPatience);
      });
      ASSERT_EQ(WaitForSingleObject(taken, kPatience), WAIT_OBJECT_0);
      CloseHandle(taken);
    } else {
      release = HeldByChild(FolderOf(L"a"));
    }
    const auto before = Listing();
    SetQvMiddleError(0);
    EXPECT_FALSE(QvAccountInfoInterface::Delete(L"a", L""));
    EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_ACC_BUSY);
    SetQvMiddleError(0);
    EXPECT_FALSE(QvAccountInfoInterface::Rename(L"a", L"c"));
    EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_ACC_BUSY);
    EXPECT_EQ(Listing(), before);
    EXPECT_EQ(Names(), (std::set<std::wstring>{L"a", L"b"}));
    EXPECT_TRUE(Open(L"a"));
    // The other account is not held. (Its stored name stays: the next
    // look-up knows it as "b" again.)
    EXPECT_TRUE(QvAccountInfoInterface::Rename(L"b", L"b2"));

    here.reset();
    SetEvent(stop);
    if (other.joinable()) other.join();
    if (release) {
      EXPECT_EQ(release(), 0);
    }
    CloseHandle(stop);
  }
  // Free again: both go through, and a deleted account's hold is free too.
  // The caller of a rename stores the new name, as the program does.
  Account renamed = Open(L"a");
  ASSERT_TRUE(renamed);
  EXPECT_TRUE(QvAccountInfoInterface::Rename(L"a", L"c")) << std::hex << GetQvMiddleError();
  QvAccountInfoInterface::Attributes name;
  name.strAccountName = L"c";
  name.Select(QvAccountInfoInterface::Attributes::kAccountName);
  ASSERT_TRUE(renamed->SetAccountInfoAttributes(name));
  renamed.reset();
  EXPECT_EQ(Names(), (std::set<std::wstring>{L"c", L"b"}));
  EXPECT_TRUE(QvAccountInfoInterface::Delete(L"c", L"")) << std::hex << GetQvMiddleError();
  EXPECT_EQ(Names(), std::set<std::wstring>{L"b"});
  EXPECT_FALSE(HostExists(std::string(kDataHost) + "a"));
  EXPECT_TRUE(QvAccountHold(FolderOf(L"a")).Held());
}

}  // namespace
