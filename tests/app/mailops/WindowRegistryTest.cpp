// The window registry and its refresh broadcast: who receives which
// refresh, and a task thread broadcasting while windows come and go.
#include <atomic>
#include <thread>

#include "tests/app/mailops/MailOpsFixture.h"

namespace qv::test {
namespace {

class WindowRegistryTest : public MailOpsTest {
 protected:
  void SetUp() override {
    MailOpsTest::SetUp();
    Pump();
    main_->refreshes.clear();
  }
};

constexpr Refresh kEverything{kRefreshEverything, 1};

TEST_F(WindowRegistryTest, EachWindowReceivesTheRefreshesOfItsFolders) {
  RefreshWindow* screen = MakeRefreshWindow(L"screen");  // a folder screen: every folder
  RefreshWindow* list5 = MakeRefreshWindow(L"list5");    // a mail list of folder 5
  RefreshWindow* list56 = MakeRefreshWindow(L"list56");  // of 5, then also of 6
  RefreshWindow* gone = MakeRefreshWindow(L"gone");
  RefreshWindow* idle = MakeRefreshWindow(L"idle");  // never registered
  RegisterWindow(screen);
  AddWindowFolder(list5, 5);
  AddWindowFolder(list56, 5);
  AddWindowFolder(list56, 6);
  RegisterWindow(gone);
  UnregisterWindow(gone);

  struct Step {
    void (*broadcast)();
    std::vector<Refresh> screen, list5, list56;
  };
  const Step steps[] = {
      {[] { BroadcastFolderRefresh(5); }, {{5, 0}}, {{5, 0}}, {{5, 0}}},
      {[] { BroadcastFolderRefresh(6); }, {{6, 0}}, {}, {{6, 0}}},
      {[] { BroadcastFolderRefresh(7); }, {{7, 0}}, {}, {}},
      {[] { BroadcastRefresh(); }, {kEverything}, {kEverything}, {kEverything}},
  };
  for (const Step& step : steps) {
    for (RefreshWindow* w : {screen, list5, list56, gone, idle, main_}) w->refreshes.clear();
    step.broadcast();
    Pump();
    EXPECT_EQ(screen->refreshes, step.screen);
    EXPECT_EQ(list5->refreshes, step.list5);
    EXPECT_EQ(list56->refreshes, step.list56);
    EXPECT_TRUE(gone->refreshes.empty());
    EXPECT_TRUE(idle->refreshes.empty());
    EXPECT_TRUE(main_->refreshes.empty()) << "the main frame registers itself";
  }
  // Registering again empties the set: the list now hears of every folder.
  RegisterWindow(list5);
  RegisterWindow(list5);
  list5->refreshes.clear();
  BroadcastFolderRefresh(6);
  Pump();
  EXPECT_EQ(list5->refreshes, (std::vector<Refresh>{{6, 0}}));
  for (RefreshWindow* w : {screen, list5, list56, gone, idle}) w->DestroyWindow();
  EXPECT_FALSE(IsWindowRegistered(screen));
}

TEST_F(WindowRegistryTest, UserFolderRefreshAlsoReachesItsBox) {
  const TestAccount a = MakeAccount(L"alpha");
  ASSERT_TRUE(OpenCurrentAccount(L"alpha"));
  RefreshWindow* receiveList = MakeRefreshWindow();
  AddWindowFolder(receiveList, a.trays[kReceiveBox]);
  RefreshWindow* sendList = MakeRefreshWindow();
  AddWindowFolder(sendList, a.trays[kSendBox]);
  RefreshWindow* childList = MakeRefreshWindow();
  AddWindowFolder(childList, a.receiveChildren[2]);

  struct Case {
    unsigned long folder;
    size_t receive, send, child;  // refreshes each list gets
  };
  const Case cases[] = {
      {a.receiveChildren[2], 1, 0, 1}, {a.receiveChildren[0], 1, 0, 0}, {a.sendChildren[1], 0, 1, 0},
      {a.trays[kReceiveBox], 1, 0, 0}, {a.trays[kDrafts], 0, 0, 0},
  };
  for (const Case& c : cases) {
    for (RefreshWindow* w : {receiveList, sendList, childList}) w->refreshes.clear();
    BroadcastFolderAndRootRefresh(static_cast<uint32_t>(c.folder));
    Pump();
    EXPECT_EQ(receiveList->refreshes.size(), c.receive) << c.folder;
    EXPECT_EQ(sendList->refreshes.size(), c.send) << c.folder;
    EXPECT_EQ(childList->refreshes.size(), c.child) << c.folder;
  }
  // The tree: the box and each of its folders.
  RefreshWindow* screen = MakeRefreshWindow();
  RegisterWindow(screen);
  BroadcastFolderTreeRefresh(a.trays[kReceiveBox]);
  Pump();
  std::vector<Refresh> expected{{a.trays[kReceiveBox], 0}};
  for (unsigned long child : a.receiveChildren) expected.emplace_back(child, 0);
  EXPECT_EQ(screen->refreshes, expected);
  for (RefreshWindow* w : {receiveList, sendList, childList, screen}) w->DestroyWindow();
}

// A task thread broadcasts without a pause while the UI thread registers
// and unregisters windows and makes and destroys them; the windows that stay
// registered throughout receive every broadcast, and a window that left
// receives nothing posted after it left.
TEST_F(WindowRegistryTest, BroadcastFromATaskThreadWhileWindowsComeAndGo) {
  constexpr int kStaying = 3;
  constexpr int kPool = 16;
  constexpr int kCycles = 20000;
  constexpr int kBroadcasts = 20000;
  std::vector<RefreshWindow*> staying;
  for (int i = 0; i < kStaying; ++i) {
    staying.push_back(MakeRefreshWindow());
    AddWindowFolder(staying.back(), 10 + i);
  }
  std::vector<RefreshWindow*> pool;
  for (int i = 0; i < kPool; ++i) pool.push_back(MakeRefreshWindow(L"passing"));
  std::atomic<bool> started{false};
  std::atomic<bool> done{false};
  const int broadcasts = kBroadcasts;
  std::thread task([&] {
    started = true;
    for (int b = 0; b < kBroadcasts; ++b) {
      if (b % 3 == 0) {
        BroadcastRefresh();
      } else {
        BroadcastFolderRefresh(10 + (b / 3) % kStaying);
      }
    }
    done = true;
  });
  while (!started) std::this_thread::yield();
  int lateRefreshes = 0;
  for (int cycle = 0; cycle < kCycles || !done; ++cycle) {
    RefreshWindow*& w = pool[cycle % kPool];
    if (cycle % 2 == 0) {
      RegisterWindow(w);
    } else {
      AddWindowFolder(w, 10 + cycle % kStaying);
    }
    UnregisterWindow(pool[(cycle + 5) % kPool]);
    if (cycle % 64 == 0) Pump();
    if (cycle % 500 == 250) {
      // This one leaves for good: what was posted before is taken, then nothing more comes.
      UnregisterWindow(w);
      PostMessageW(w->GetSafeHwnd(), RefreshWindow::kLeftMarker, 0, 0);
      while (!w->left) Pump();
      Pump();
      lateRefreshes += w->late;
      w->DestroyWindow();
      w = MakeRefreshWindow(L"passing");
    }
  }
  task.join();
  while (Pump() > 0) {
  }
  EXPECT_EQ(lateRefreshes, 0);
  for (int i = 0; i < kStaying; ++i) {
    size_t expected = 0;
    for (int b = 0; b < broadcasts; ++b) {
      if (b % 3 == 0 || (b / 3) % kStaying == i) ++expected;
    }
    EXPECT_EQ(staying[i]->refreshes.size(), expected) << i;
    staying[i]->DestroyWindow();
  }
  for (RefreshWindow* w : pool) w->DestroyWindow();
}

}  // namespace
}  // namespace qv::test
