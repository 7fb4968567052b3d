// A periodic receive every few seconds on the UI clock against dovecot while
// the UI thread switches accounts, opens folders and reads, marks and
// removes messages: run under the sanitizers, nothing may crash or leak, and
// after every pass the rows of the open receive box are the store's.
#include <gtest/gtest.h>

#include "app/mailops/FolderOperations.h"
#include "app/mailops/HeaderRowCache.h"
#include "app/mailops/MessageOperations.h"
#include "engine/public/content/Email.h"
#include "platform/kernel/Sync.h"
#include "tests/app/transfer/TransferFixture.h"

namespace qv::test {
namespace {

// Starts the periodic thread whenever its timer fires and none runs.
class PeriodicTimerWindow : public CFrameWnd {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_TIMER && wParam == kTimer && !IsPeriodicReceiveRunning()) {
      thread = StartPeriodicReceiveThread();
      if (thread != nullptr) ++starts;
    }
    return CFrameWnd::WindowProc(message, wParam, lParam);
  }
  static constexpr UINT_PTR kTimer = 4;
  static constexpr UINT kEveryMs = 3000;
  int starts = 0;
  HANDLE thread = nullptr;  // the task state's
};

class PeriodicStressTest : public TransferTest {
 protected:
  // Every row of the box as the store has it now: its subject and whether
  // it is unread.
  void ExpectRowsAreTheStores(DWORD box, int pass) {
    QvStorageInterface* storage = CurrentStorage();
    ASSERT_NE(storage, nullptr);
    std::unique_ptr<QvFolderInterface> folder(storage->OpenFolder(box));
    ASSERT_TRUE(folder);
    Ids ids;
    ASSERT_TRUE(folder->GetMessageIds(&ids));
    std::vector<QvMailListItem> rows;
    ASSERT_TRUE(LoadMessageHeaders(box, ids, &rows)) << pass;
    ASSERT_EQ(rows.size(), ids.size()) << pass;
    for (size_t i = 0; i < ids.size(); ++i) {
      std::unique_ptr<QvMessageInterface> m(storage->OpenMessage(ids[i]));
      ASSERT_TRUE(m) << pass;
      QvMessageInterface::Attributes a;
      a.mask = QvMessageInterface::kUnread | QvMessageInterface::kListShort2;
      ASSERT_TRUE(m->GetAttributes(&a)) << pass;
      EXPECT_EQ(rows[i].messageId, ids[i]) << pass;
      EXPECT_EQ((rows[i].status & QvMailListItem::kUnread) != 0, a.unread != 0) << "pass " << pass << " id " << ids[i];
      EXPECT_EQ(rows[i].subject.str(), a.listShort2) << "pass " << pass << " id " << ids[i];
    }
  }
};

TEST_F(PeriodicStressTest, PeriodicPassesWhileTheUserSwitchesReadsMarksAndRemoves) {
  constexpr int kPasses = 5;
  // Two accounts with periodic receive, each its own mailbox.
  TestAccount other = MakeAccount(L"Other");
  std::string otherUser;
  PointAt(L"Other", pop_.NewMailbox(), &otherUser);
  for (const wchar_t* name : {L"Acc", L"Other"}) {
    Settings s;
    s.Select(Settings::kPeriodicRetrievingEnabled);
    s.bPeriodicRetrievingEnabled = true;
    SetSettings(name, s);
  }
  ASSERT_TRUE(OpenCurrentAccount(L"Acc"));
  seams::FixUiClock();
  auto* timer = new PeriodicTimerWindow;  // deletes itself with its window
  ASSERT_TRUE(timer->Create(nullptr, L"timer", WS_POPUP));
  ASSERT_NE(::SetTimer(timer->GetSafeHwnd(), PeriodicTimerWindow::kTimer, PeriodicTimerWindow::kEveryMs, nullptr), 0u);

  const TestAccount* accounts[2] = {&account_, &other};
  int delivered[2] = {0, 0};
  int removed[2] = {0, 0};
  for (int pass = 0; pass < kPasses; ++pass) {
    Deliver(3, "acc pass " + std::to_string(pass), user_);
    Deliver(3, "other pass " + std::to_string(pass), otherUser);
    delivered[0] += 3;
    delivered[1] += 3;
    const int startsBefore = timer->starts;
    seams::AdvanceUiClock(PeriodicTimerWindow::kEveryMs);
    seams::PumpMessages();
    ASSERT_EQ(timer->starts, startsBefore + 1) << pass;
    // The pass' pause after it is cut short: the test does not wait 6 s.
    EndPeriodicPauseForTest();

    // Meanwhile, on the UI thread: switch, open the folders, read, mark and
    // remove. Each step may meet the pass writing the same store.
    const int current = pass % 2;
    const std::wstring name = current == 0 ? L"Acc" : L"Other";
    ASSERT_TRUE(OpenCurrentAccount(name)) << pass;
    LoadFolderTree();
    const DWORD box = accounts[current]->trays[0];
    Ids ids;
    if (GetMessageIds(box, &ids) && !ids.empty()) {
      std::vector<QvMailListItem> rows;
      EXPECT_TRUE(LoadMessageHeaders(box, ids, &rows));
      Email mail;
      std::string raw;
      EXPECT_TRUE(ReadStoredMessage(ids.front(), &mail, &raw));
      EXPECT_TRUE(SetMessageRead(ids.front(), false, box));
      std::vector<unsigned long> gone{ids.back()};
      RemoveMessages(box, gone);
      ++removed[current];
    }
    for (const unsigned long child : accounts[current]->receiveChildren) {
      Ids more;
      GetMessageIds(child, &more);
    }
    seams::PumpMessages();

    // The pass ends (it only posts: the UI thread may wait for it); its
    // refreshes reach the windows, and the rows then are the store's.
    ASSERT_EQ(WaitForSingleObject(timer->thread, INFINITE), WAIT_OBJECT_0) << pass;
    EXPECT_FALSE(IsPeriodicReceiveRunning()) << pass;
    seams::PumpMessages();
    ExpectRowsAreTheStores(box, pass);
  }
  ::KillTimer(timer->GetSafeHwnd(), PeriodicTimerWindow::kTimer);
  timer->DestroyWindow();
  // Every mail delivered is stored once, but for the ones removed.
  EXPECT_EQ(static_cast<int>(StoredSubjects(L"Acc").size()), delivered[0] - removed[0]);
  EXPECT_EQ(static_cast<int>(StoredSubjects(L"Other").size()), delivered[1] - removed[1]);
  EXPECT_EQ(pop_.MessageCount(user_), 0);
  EXPECT_EQ(pop_.MessageCount(otherUser), 0);
}

}  // namespace
}  // namespace qv::test
