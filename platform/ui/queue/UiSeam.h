// The window system's test seam: the UI clock, a message observer, injected
// taps and a read-out of any window's state. Unset, the clock follows the
// tick count and observing costs one load per delivered message. Tests reach
// it through platform/testing/Seams.h.
#pragma once

#include <functional>
#include <string>

#include "platform/ui/window/Window.h"

namespace qv::ui_seam {

// The UI clock: timers, caret blinking and message times read it. Fixed, it
// moves only when advanced; AdvanceClock wakes every queue.
QV_PLATFORM_API void FixClock(DWORD now);
QV_PLATFORM_API void AdvanceClock(DWORD milliseconds);
QV_PLATFORM_API DWORD ClockNow();
QV_PLATFORM_API bool ClockFixed();

// How a message reached a window procedure.
constexpr unsigned kObservedSent = 1u;
constexpr unsigned kObservedPosted = 2u;      // taken from the queue and dispatched
constexpr unsigned kObservedDefWinProc = 4u;  // sent from inside DefWindowProcW

struct Observed {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  unsigned how;
};
using Observer = std::function<void(const Observed&)>;
// Called on the receiving thread before each window procedure call.
QV_PLATFORM_API int AddObserver(Observer observer);
QV_PLATFORM_API void RemoveObserver(int id);

// A tap (down and up) or one pointer event at a screen point, as the stylus.
QV_PLATFORM_API void InjectPointer(UINT message, POINT screen);
QV_PLATFORM_API void InjectTap(POINT screen);
// A turn of the wheel over a screen point (WHEEL_DELTA a step, positive away
// from the user).
QV_PLATFORM_API void InjectWheel(POINT screen, int delta);

struct WindowState {
  bool exists = false;
  std::wstring className;
  std::wstring text;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT window{};  // screen
  RECT client{};  // screen
  HWND parent = nullptr;
  HWND owner = nullptr;
  bool visible = false;  // with every ancestor
  bool enabled = false;
  bool redraw = true;
  RECT update{};  // client coordinates; empty when nothing is to paint
  bool erase = false;
  DWORD thread = 0;
  int timers = 0;
  bool focused = false;
  bool active = false;
  bool captured = false;
  bool caretShown = false;
  POINT caret{};
};
QV_PLATFORM_API WindowState ReadWindow(HWND hwnd);

// Puts the clock, orientation, key state and clipboard back and
// destroys the calling thread's remaining windows.
QV_PLATFORM_API void Reset();

}  // namespace qv::ui_seam
