// Inside the window system: the windows, classes and queues of the process,
// all under one lock. No window procedure is ever called with it held: code
// copies what it needs, lets go, calls, and looks the window up again.
#pragma once

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ui/window/Window.h"

namespace qv::ui {

struct ThreadQueue;

struct WindowClass {
  ATOM atom = 0;
  std::wstring name;
  std::wstring menuName;
  WNDCLASSW wc{};  // lpszClassName and lpszMenuName point at the strings above
  std::vector<BYTE> extra;
  int windows = 0;
};

// One scroll bar's values (SetScrollInfo); track is the thumb's place while dragged.
struct ScrollBarState {
  int min = 0;
  int max = 100;  // a window's bars start at 0..100
  UINT page = 0;
  int pos = 0;
  int track = 0;
  bool disabled = false;
};

struct Window {
  HWND hwnd = nullptr;
  std::shared_ptr<ThreadQueue> queue;
  std::shared_ptr<WindowClass> cls;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::wstring text;
  HINSTANCE instance = nullptr;
  LONG_PTR id = 0;
  LONG_PTR userData = 0;
  std::vector<BYTE> extra;
  Window* parent = nullptr;  // the desktop for a top-level window
  Window* owner = nullptr;
  std::vector<Window*> children;  // front of the z-order first
  RECT rect{};  // in the parent's client coordinates

  RECT update{};  // empty when nothing is to paint
  bool erase = false;
  bool internalPaint = false;
  bool redraw = true;  // WM_SETREDRAW
  bool destroying = false;
  std::string published;  // its file in the device's window table
  ScrollBarState scroll[2];  // SB_HORZ, SB_VERT; a scroll bar control keeps its own in the first
};

struct UiState {
  std::recursive_mutex lock;
  std::unordered_map<HWND, std::unique_ptr<Window>> windows;
  std::vector<std::shared_ptr<WindowClass>> classes;
  std::unordered_map<DWORD, std::shared_ptr<ThreadQueue>> queues;
  Window desktop;
  uint32_t serial = 0;
  std::shared_ptr<ThreadQueue> foreground;
};

UiState& Ui();
using UiLock = std::unique_lock<std::recursive_mutex>;
inline UiLock LockUi() { return UiLock(Ui().lock); }

// With the lock held. Null (and ERROR_INVALID_WINDOW_HANDLE when `report`)
// for a handle that is no window of this process.
Window* Find(HWND hwnd, bool report = true);
Window* Desktop();
bool IsDesktop(const Window* w);
HWND NewHandle();
// Whether a handle names a window of another process (by its form alone).
bool IsForeignHandle(HWND hwnd);

// Geometry, with the lock held. Client rectangles start at (0, 0).
RECT Insets(DWORD style, DWORD exStyle);
RECT ClientRect(const Window& w);
// The window's top-left and its client's top-left on the screen.
POINT WindowOrigin(const Window& w);
POINT ClientOrigin(const Window& w);
RECT ScreenRect(const Window& w);
RECT ScreenClient(const Window& w);
// Visible with every ancestor; enabled with every ancestor.
bool ShownOnScreen(const Window& w);
bool EnabledChain(const Window& w);
bool IsInside(const Window* w, const Window* ancestor);  // w == ancestor or below it
// The top-level window holding w.
Window* TopLevelOf(Window* w);
// Every window of a subtree, the root first.
void Subtree(Window* root, std::vector<Window*>* out);
// The deepest visible, enabled window under a screen point (skipping disabled
// children), starting at the top-level windows.
Window* HitTest(POINT screen);

// Z-order of a window among its siblings.
void Unlink(Window* w);
void LinkAt(Window* w, Window* parent, HWND insertAfter);

// Inline rectangle helpers (gdi has the public ones).
inline bool RectEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
inline RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  return RectEmpty(r) ? RECT{} : r;
}
inline RECT Union(const RECT& a, const RECT& b) {
  if (RectEmpty(a)) return b;
  if (RectEmpty(b)) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}
inline RECT Offset(RECT r, LONG dx, LONG dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }
inline bool Contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

bool EqualNoCase(const std::wstring& a, const std::wstring& b);
// Copies text into a caller's buffer of `size` units, cut to fit with its
// zero; returns the units copied.
int CopyText(const std::wstring& text, LPWSTR out, int size);

}  // namespace qv::ui
