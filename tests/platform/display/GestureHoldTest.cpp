// One tap-and-hold gives one context menu: over a field that recognises the
// gesture itself (SHRecognizeGesture on WM_LBUTTONDOWN, as the program's
// edit fields do) the display's own hold is not given as well; over any
// other window the display's hold is the only one. Another thread moves the
// UI clock on once the press has reached the window, while the UI thread
// may be inside the gesture's wait.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/shell/ShellUi.h"
#include "tests/platform/display/DisplayTest.h"

namespace {

using qv::test::CurrentHandler;
using qv::test::DisplayTest;

struct HoldCase {
  const char* name;
  bool recognizes;  // the field calls SHRecognizeGesture on its press
  Uint8 button;     // SDL_BUTTON_RIGHT holds at once
};

class GestureHold : public DisplayTest {
 protected:
  // Counts the context menus the field would open, either way.
  int HoldOver(const HoldCase& c) {
    HWND top = Make(WS_POPUP | WS_VISIBLE);
    HWND field = Make(WS_CHILD | WS_VISIBLE, top, {20, 100, 460, 160}, 1);
    int menus = 0;
    std::mutex lock;
    std::condition_variable changed;
    bool pressed = false;
    CurrentHandler() = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> std::optional<LRESULT> {
      if (h != field) return std::nullopt;
      if (m == WM_CONTEXTMENU) {
        ++menus;
        return 0;
      }
      if (m != WM_LBUTTONDOWN) return std::nullopt;
      {
        std::lock_guard<std::mutex> g(lock);
        pressed = true;
      }
      changed.notify_all();
      if (!c.recognizes) return 0;
      SHRGINFO info{sizeof info, h, {GET_X_LPARAM(l), GET_Y_LPARAM(l)}, 0};
      (void)w;
      if (SHRecognizeGesture(&info) == GN_CONTEXTMENU) ++menus;
      return 0;
    };
    Pump();
    // The UI clock creeps on until the press has been dealt with: the UI
    // thread may sit in the gesture's wait meanwhile, which only the clock
    // ends.
    std::atomic<bool> done{false};
    std::thread clock([&] {
      {
        std::unique_lock<std::mutex> g(lock);
        // Bounded so that a press that never arrives fails below, not here.
        changed.wait_for(g, std::chrono::seconds(30), [&] { return pressed; });
      }
      for (int i = 0; i < 6000 && !done; ++i) {
        qv::seams::AdvanceUiClock(50);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    });
    Button(SDL_MOUSEBUTTONDOWN, c.button, 200, 130);
    Pump();
    done = true;
    clock.join();
    qv::seams::AdvanceUiClock(qv::display::kHoldMilliseconds + 100);  // the display's hold is due in any case
    Pump();
    Button(SDL_MOUSEBUTTONUP, c.button, 200, 130);
    Pump();
    EXPECT_TRUE(pressed) << c.name;
    CurrentHandler() = nullptr;
    DestroyWindow(top);
    return menus;
  }
};

TEST_F(GestureHold, OneHoldGivesOneContextMenu) {
  const HoldCase cases[] = {
      {"held still over a gesture field", true, SDL_BUTTON_LEFT},
      {"right button over a gesture field", true, SDL_BUTTON_RIGHT},
      {"held still over a plain window", false, SDL_BUTTON_LEFT},
      {"right button over a plain window", false, SDL_BUTTON_RIGHT},
      {"a gesture field again: every press is its own", true, SDL_BUTTON_LEFT},
      {"a plain window after a gesture field", false, SDL_BUTTON_LEFT},
  };
  for (const HoldCase& c : cases) EXPECT_EQ(HoldOver(c), 1) << c.name;
}

}  // namespace
