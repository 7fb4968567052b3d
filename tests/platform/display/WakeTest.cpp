// A UI thread blocked in GetMessage on the display wakes for whatever comes:
// the desktop's events, a post from another thread, the UI clock bringing a
// timer due. Another thread acts only once the UI thread is inside the
// display's wait; a lost wake-up is rescued after a while and reported.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "tests/platform/display/DisplayTest.h"

namespace {

using qv::test::DisplayTest;
using Wake = DisplayTest;

// The display, with a signal each time the UI thread starts waiting on it.
class WatchedSource final : public qv::ui::EventSource {
 public:
  explicit WatchedSource(std::shared_ptr<qv::display::SdlDisplay> inner) : inner_(std::move(inner)) {}
  void Pump() override { inner_->Pump(); }
  void Present() override { inner_->Present(); }
  void Wake() override { inner_->Wake(); }
  bool Wait(DWORD milliseconds) override {
    {
      std::lock_guard<std::mutex> g(lock_);
      ++waits_;
    }
    changed_.notify_all();
    return inner_->Wait(milliseconds);
  }
  // Blocks until the UI thread has begun one more wait than `seen`.
  void AwaitWait(int seen) {
    std::unique_lock<std::mutex> g(lock_);
    changed_.wait(g, [&] { return waits_ > seen; });
  }
  int Waits() {
    std::lock_guard<std::mutex> g(lock_);
    return waits_;
  }

 private:
  std::shared_ptr<qv::display::SdlDisplay> inner_;
  std::mutex lock_;
  std::condition_variable changed_;
  int waits_ = 0;
};

struct WakeCase {
  const char* name;
  // Done on another thread while the UI thread waits.
  std::function<void(const DisplayTest& t, HWND top)> act;
  UINT message;  // what GetMessage then returns
  WPARAM wParam;
};

TEST_F(Wake, GetMessageWakesForEventsPostsAndTheClock) {
  auto watched = std::make_shared<WatchedSource>(display_);
  qv::ui::SetEventSource(watched);
  HWND top = Make(WS_POPUP | WS_VISIBLE);
  SetFocus(top);
  SetTimer(top, 5, 100, nullptr);
  Pump();
  const WakeCase cases[] = {
      {"desktop key", [this](const DisplayTest&, HWND) { Key(SDL_KEYDOWN, SDLK_UP); }, WM_KEYDOWN, VK_UP},
      {"post", [](const DisplayTest&, HWND h) { PostMessageW(h, WM_APP, 7, 0); }, WM_APP, 7},
      {"clock", [](const DisplayTest&, HWND) { qv::seams::AdvanceUiClock(100); }, WM_TIMER, 5},
      {"desktop key up", [this](const DisplayTest&, HWND) { Key(SDL_KEYUP, SDLK_UP); }, WM_KEYUP, VK_UP},
  };
  for (const WakeCase& c : cases) {
    const int seen = watched->Waits();
    std::mutex lock;
    std::condition_variable done;
    bool returned = false;
    bool rescued = false;
    std::thread other([&] {
      watched->AwaitWait(seen);
      c.act(*this, top);
      // A lost wake-up fails here rather than hanging: SDL's own event
      // ends the wait, and the message is found where it was left.
      std::unique_lock<std::mutex> g(lock);
      if (done.wait_for(g, std::chrono::seconds(20), [&] { return returned; })) return;
      rescued = true;
      SDL_Event e{};
      e.type = SDL_USEREVENT;
      SDL_PushEvent(&e);
    });
    MSG msg{};
    EXPECT_TRUE(GetMessageW(&msg, nullptr, 0, 0)) << c.name;
    {
      std::lock_guard<std::mutex> g(lock);
      returned = true;
    }
    done.notify_all();
    other.join();
    EXPECT_FALSE(rescued) << c.name << ": the waiting thread was not woken";
    EXPECT_EQ(msg.message, c.message) << c.name;
    EXPECT_EQ(msg.wParam, c.wParam) << c.name;
    DispatchMessageW(&msg);
  }
  KillTimer(top, 5);
  qv::ui::SetEventSource(nullptr);
}

// The desktop's close button: the loop is asked to quit, unless the program
// said what closing means to it.
TEST_F(Wake, TheCloseButtonQuitsUnlessTheProgramTakesIt) {
  for (const bool taken : {false, true}) {
    int calls = 0;
    if (taken) display_->SetCloseHandler([&calls] { ++calls; });
    SDL_Event e{};
    e.type = SDL_QUIT;
    Push(e);
    display_->Pump();
    MSG msg{};
    const bool quit = PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    EXPECT_EQ(quit, !taken) << taken;
    EXPECT_EQ(calls, taken ? 1 : 0) << taken;
  }
  display_->SetCloseHandler(nullptr);
}

}  // namespace
