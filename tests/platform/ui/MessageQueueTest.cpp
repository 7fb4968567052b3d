// Sending, posting and taking messages: same-thread sends are calls,
// cross-thread sends wait for a receiver blocked anywhere in the platform,
// retrieval keeps its order and honours its filters, timers keep one
// WM_TIMER waiting at most.
#include <atomic>
#include <thread>

#include "platform/kernel/Sync.h"
#include "tests/platform/ui/UiTest.h"

namespace {

using qv::test::MsgEntry;
using qv::test::UiTest;
namespace seq = qv::test::seq;

using MessageQueue = UiTest;

constexpr UINT kAsk = WM_USER + 1;

TEST_F(MessageQueue, ASendToTheSameThreadIsADirectCall) {
  HWND w = Make();
  int depth = 0;
  qv::test::CurrentHandler() = [&](HWND h, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
    if (m != kAsk) return std::nullopt;
    ++depth;
    const LRESULT r = wp == 0 ? 100 : SendMessageW(h, kAsk, wp - 1, 0) + 1;  // nested sends unwind in order
    --depth;
    return r;
  };
  log_.Clear();
  EXPECT_EQ(SendMessageW(w, kAsk, 2, 0), 102);
  EXPECT_EQ(depth, 0);
  EXPECT_EQ(log_.Compare(w, {{kAsk, seq::sent | seq::wparam, 2}, {kAsk, seq::sent | seq::wparam, 1},
                             {kAsk, seq::sent | seq::wparam, 0}}),
            "");
  MSG m;
  EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE));
}

// How the receiving thread is blocked while another thread sends to it.
enum class Blocked { KernelWait, GetMessage, OwnSend };

class CrossThreadSend : public UiTest, public ::testing::WithParamInterface<Blocked> {};

TEST_P(CrossThreadSend, TheSenderWaitsUntilTheBlockedReceiverServesIt) {
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HWND mine = Make();  // the main thread's window, for the receiver's own send
  std::atomic<HWND> theirs{nullptr};
  std::atomic<DWORD> servedOn{0};
  qv::test::CurrentHandler() = [&](HWND h, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
    if (m != kAsk) return std::nullopt;
    if (h == mine) return 7;  // the receiver's send to us, served while we wait on it
    servedOn = GetCurrentThreadId();
    return static_cast<LRESULT>(wp * 2);
  };
  const Blocked how = GetParam();
  DWORD receiverId = 0;
  std::thread receiver([&] {
    receiverId = GetCurrentThreadId();
    theirs = Make();
    SetEvent(ready);
    switch (how) {
      case Blocked::KernelWait:
        WaitForSingleObject(done, INFINITE);
        break;
      case Blocked::GetMessage: {
        MSG m;
        while (GetMessageW(&m, nullptr, 0, 0)) DispatchMessageW(&m);
        break;
      }
      case Blocked::OwnSend:
        // Blocked in its own send to the main thread, which is blocked in a
        // send to it: both are served, neither deadlocks.
        EXPECT_EQ(SendMessageW(mine, kAsk, 0, 0), 7);
        WaitForSingleObject(done, INFINITE);
        break;
    }
    DestroyWindow(theirs);
    SetEvent(finished);
  });
  ASSERT_EQ(WaitForSingleObject(ready, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(SendMessageW(theirs, kAsk, 21, 0), 42);
  EXPECT_NE(servedOn.load(), GetCurrentThreadId());
  EXPECT_NE(servedOn.load(), 0u);
  if (how == Blocked::GetMessage) PostThreadMessageW(receiverId, WM_QUIT, 0, 0);
  SetEvent(done);
  // A platform wait, so that this thread serves what the receiver sends it.
  EXPECT_EQ(WaitForSingleObject(finished, 20000), WAIT_OBJECT_0);
  receiver.join();
  for (HANDLE h : {ready, done, finished}) CloseHandle(h);
}

INSTANTIATE_TEST_SUITE_P(Receivers, CrossThreadSend,
                         ::testing::Values(Blocked::KernelWait, Blocked::GetMessage, Blocked::OwnSend));

TEST_F(MessageQueue, SendNotifyDoesNotWaitAndEndingThreadsReleaseTheirSenders) {
  HWND theirs = nullptr;
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread t([&] {
    theirs = Make();
    SetEvent(ready);
    MSG m;
    while (!PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) WaitForSingleObject(go, 0);
    PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);  // what was sent before the quit came
  });
  WaitForSingleObject(ready, 10000);
  std::atomic<int> notified{0};
  qv::test::CurrentHandler() = [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m == kAsk) ++notified;
    return std::nullopt;
  };
  EXPECT_TRUE(SendNotifyMessageW(theirs, kAsk, 0, 0));
  EXPECT_TRUE(PostMessageW(theirs, WM_QUIT, 0, 0));
  t.join();  // the thread ends; its window goes with it
  EXPECT_EQ(notified.load(), 1);
  EXPECT_FALSE(IsWindow(theirs));
  EXPECT_EQ(SendMessageW(theirs, kAsk, 0, 0), 0);
  CloseHandle(ready);
  CloseHandle(go);
}

TEST_F(MessageQueue, RetrievalOrderIsPostedInputQuitPaintTimer) {
  HWND w = Make(WS_POPUP | WS_VISIBLE);
  Pump();
  SetTimer(w, 5, 10, nullptr);
  qv::seams::AdvanceUiClock(10);
  InvalidateRect(w, nullptr, FALSE);
  qv::seams::InjectKey('A', true);
  PostQuitMessage(3);
  PostMessageW(w, WM_USER + 1, 0, 0);
  PostMessageW(w, WM_USER + 2, 0, 0);
  std::vector<UINT> order;
  MSG m;
  while (order.size() < 6 && PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    order.push_back(m.message);
    if (m.message == WM_PAINT) ValidateRect(w, nullptr);
  }
  EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_KEYDOWN, WM_QUIT, WM_PAINT, WM_TIMER}));
}

TEST_F(MessageQueue, PeekFiltersByWindowAndRangeAndNoRemoveLeavesTheMessage) {
  HWND a = Make();
  HWND b = Make();
  const HWND threadOnly = reinterpret_cast<HWND>(-1);
  struct Case {
    HWND filter;
    UINT first, last;
    UINT flags;
    std::vector<std::pair<HWND, UINT>> taken;  // in order, until none matches
    size_t left;                               // messages still queued afterwards
  };
  const Case cases[] = {
      {nullptr, 0, 0, PM_REMOVE, {{a, WM_USER + 1}, {nullptr, WM_USER + 2}, {b, WM_USER + 3}}, 0},
      {a, 0, 0, PM_REMOVE, {{a, WM_USER + 1}}, 2},
      {threadOnly, 0, 0, PM_REMOVE, {{nullptr, WM_USER + 2}}, 2},
      {nullptr, WM_USER + 2, WM_USER + 3, PM_REMOVE, {{nullptr, WM_USER + 2}, {b, WM_USER + 3}}, 1},
      {b, WM_USER + 1, WM_USER + 2, PM_REMOVE, {}, 3},
      {nullptr, 0, 0, PM_NOREMOVE, {{a, WM_USER + 1}}, 3},
  };
  for (const Case& c : cases) {
    PostMessageW(a, WM_USER + 1, 0, 0);
    PostThreadMessageW(GetCurrentThreadId(), WM_USER + 2, 0, 0);
    PostMessageW(b, WM_USER + 3, 0, 0);
    std::vector<std::pair<HWND, UINT>> taken;
    MSG m;
    while (PeekMessageW(&m, c.filter, c.first, c.last, c.flags)) {
      taken.emplace_back(m.hwnd, m.message);
      if (!(c.flags & PM_REMOVE)) break;
    }
    EXPECT_EQ(taken, c.taken);
    size_t left = 0;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) ++left;
    EXPECT_EQ(left, c.left);
  }
  MSG m;
  EXPECT_FALSE(PeekMessageW(&m, reinterpret_cast<HWND>(0x1234), 0, 0, PM_REMOVE));
}

TEST_F(MessageQueue, PostedMessagesOfADestroyedWindowAreDropped) {
  HWND w = Make();
  PostMessageW(w, WM_USER, 0, 0);
  DestroyWindow(w);
  MSG m;
  EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_FALSE(PostMessageW(w, WM_USER, 0, 0));
  EXPECT_FALSE(PostThreadMessageW(0x7fffffff, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
}

TEST_F(MessageQueue, ATimerKeepsOneMessageWaitingAndKillTimerRemovesIt) {
  HWND w = Make();
  EXPECT_EQ(SetTimer(w, 9, 100, nullptr), 9u);
  struct Step {
    DWORD advance;
    bool kill;
    int timers;  // WM_TIMER dispatched after the step
  };
  const Step steps[] = {{99, false, 0}, {1, false, 1}, {1000, false, 1}, {99, false, 0},
                        {1, false, 1},  {250, true, 0}, {1000, false, 0}};
  for (const Step& s : steps) {
    log_.Clear();
    qv::seams::AdvanceUiClock(s.advance);
    if (s.kill) {
      EXPECT_TRUE(KillTimer(w, 9));
    }
    Pump();
    const auto seen = log_.MessagesOf(w);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), WM_TIMER), s.timers) << "after " << s.advance;
  }
  EXPECT_FALSE(KillTimer(w, 9));
}

std::vector<UINT_PTR> g_procTicks;
void TimerProc(HWND, UINT, UINT_PTR id, DWORD) { g_procTicks.push_back(id); }

TEST_F(MessageQueue, ThreadTimersCallTheirProcedureAndDieWithNothing) {
  g_procTicks.clear();
  const UINT_PTR a = SetTimer(nullptr, 0, 50, TimerProc);
  const UINT_PTR b = SetTimer(nullptr, 0, 50, TimerProc);
  EXPECT_NE(a, b);
  HWND w = Make();
  SetTimer(w, 1, 50, nullptr);
  EXPECT_EQ(qv::seams::ReadWindow(w).timers, 1);
  DestroyWindow(w);  // its timer goes with it
  qv::seams::AdvanceUiClock(50);
  Pump();
  EXPECT_EQ(g_procTicks, (std::vector<UINT_PTR>{a, b}));
  KillTimer(nullptr, a);
  KillTimer(nullptr, b);
}

TEST_F(MessageQueue, GetMessageWakesForATimerWhenTheClockMoves) {
  HWND w = Make();
  SetTimer(w, 1, 500, nullptr);
  std::thread mover([] {
    // Another thread moves the clock; the blocked GetMessage wakes for it.
    qv::seams::AdvanceUiClock(500);
  });
  MSG m;
  ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
  mover.join();
  EXPECT_EQ(m.message, WM_TIMER);
  EXPECT_EQ(m.hwnd, w);
}

TEST_F(MessageQueue, QuitEndsGetMessageWithItsCode) {
  PostQuitMessage(5);
  MSG m;
  EXPECT_FALSE(GetMessageW(&m, nullptr, 0, 0));
  EXPECT_EQ(m.wParam, 5u);
  EXPECT_EQ(RegisterWindowMessageW(L"QvMail.Handover"), RegisterWindowMessageW(L"qvmail.handover"));
  EXPECT_GE(RegisterWindowMessageW(L"QvMail.Handover"), 0xC000u);
}

}  // namespace
