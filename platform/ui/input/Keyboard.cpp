// Injected keys and pointer events, the key state and key translation.
// GetAsyncKeyState follows injection; GetKeyState follows what the thread
// has taken from its queue, so a handler sees the Shift that was down when
// its key was pressed, however far injection has run ahead.
#include "platform/ui/input/Keyboard.h"

#include "platform/ui/queue/UiSeam.h"
#include "platform/ui/queue/SeamHooks.h"
#include "platform/ui/input/InputRouting.h"
#include "platform/ui/metrics/Metrics.h"

using namespace qv::ui;

namespace {

struct AsyncKeys {
  BYTE down[256]{};
  BYTE pressedSince[256]{};
  POINT pointer{};
  bool holdClaimed = false;  // this press's tap-and-hold is a gesture recognizer's
};

AsyncKeys& Async() {
  static AsyncKeys* k = new AsyncKeys;  // under the UI lock
  return *k;
}

// The generic key that a left or right one also presses.
int GenericOf(int vk) {
  switch (vk) {
    case VK_LSHIFT: case VK_RSHIFT: return VK_SHIFT;
    case VK_LCONTROL: case VK_RCONTROL: return VK_CONTROL;
    case VK_LMENU: case VK_RMENU: return VK_MENU;
    default: return 0;
  }
}

void SetDown(BYTE* keys, int vk, bool down) {
  for (int k : {vk, GenericOf(vk)}) {
    if (k == 0) continue;
    if (down && !(keys[k] & 0x80)) keys[k] ^= 0x01;  // the toggle flips on each press
    keys[k] = static_cast<BYTE>(down ? keys[k] | 0x80 : keys[k] & ~0x80);
  }
}

int ButtonOf(UINT message) {
  switch (message) {
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: return VK_LBUTTON;
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: return VK_RBUTTON;
    default: return 0;
  }
}

bool IsDown(UINT message) { return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN; }

// A key going down or up (not a character): only these change the key state.
bool IsKeyStroke(UINT m) { return m == WM_KEYDOWN || m == WM_KEYUP || m == WM_SYSKEYDOWN || m == WM_SYSKEYUP; }

// With the lock held: the queue the pointer goes to, the capture's first.
ThreadQueue* PointerQueue(POINT screen) {
  for (auto& [id, q] : Ui().queues) {
    if (q->capture) return q.get();
  }
  Window* w = HitTest(screen);
  return w ? w->queue.get() : nullptr;
}

void Queue(ThreadQueue* q, const InputEvent& e) {
  if (!q) return;
  q->input.push_back(e);
  Touch(*q);
}

// A printable key's character as the US-style keypad gives it.
WCHAR CharOf(UINT vk, bool shift, bool caps) {
  if (vk >= 'A' && vk <= 'Z') return static_cast<WCHAR>(shift != caps ? vk : vk + 32);
  if (vk >= '0' && vk <= '9') return shift ? L")!@#$%^&*("[vk - '0'] : static_cast<WCHAR>(vk);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return static_cast<WCHAR>(L'0' + (vk - VK_NUMPAD0));
  switch (vk) {
    case VK_SPACE: return L' ';
    case VK_RETURN: return L'\r';
    case VK_BACK: return 0x08;
    case VK_TAB: return L'\t';
    case VK_ESCAPE: return 0x1B;
    case VK_OEM_COMMA: return shift ? L'<' : L',';
    case VK_OEM_PERIOD: return shift ? L'>' : L'.';
    case VK_OEM_MINUS: return shift ? L'_' : L'-';
    case VK_OEM_PLUS: return shift ? L'+' : L'=';
    case VK_OEM_2: return shift ? L'?' : L'/';
    case VK_OEM_1: return shift ? L':' : L';';
    default: return 0;
  }
}

// The last left press a thread took, the start of a possible double tap.
struct LastPress {
  HWND hwnd = nullptr;
  DWORD time = 0;
  POINT screen{};
};

LastPress& Press() {
  static LastPress* p = new LastPress;  // under the UI lock
  return *p;
}

constexpr UINT kDoubleTapTime = 500;

bool IsDoubleTap(const Window& w, const InputEvent& e) {
  const LastPress& p = Press();
  if (!w.cls || !(w.cls->wc.style & CS_DBLCLKS) || p.hwnd != w.hwnd) return false;
  const LONG dx = e.screen.x - p.screen.x;
  const LONG dy = e.screen.y - p.screen.y;
  const LONG half = GetSystemMetrics(SM_CXDOUBLECLK) / 2;
  return e.time - p.time <= kDoubleTapTime && dx >= -half && dx <= half && dy >= -half && dy <= half;
}

}  // namespace

namespace qv::ui {

void NoteInputTaken(const MSG& m) {
  if (m.message == WM_LBUTTONDOWN) Press() = {m.hwnd, m.time, m.pt};
  else if (m.message == WM_LBUTTONDBLCLK) Press() = {};  // a third tap starts afresh
}

Window* RouteInput(ThreadQueue& q, const InputEvent& e) {
  Window* w = nullptr;
  if (IsFocusMessage(e.message)) {
    w = Find(q.focus ? q.focus : q.active, false);
  } else if (q.capture) {
    w = Find(q.capture, false);
  } else {
    w = HitTest(e.screen);
    if (w && w->queue.get() != &q) w = nullptr;
  }
  return w && EnabledChain(*w) ? w : nullptr;
}

void TakeInput(ThreadQueue& q, const InputEvent& e) {
  if (e.message == WM_IME_STARTCOMPOSITION || e.message == WM_IME_ENDCOMPOSITION) {
    q.ime.composition.clear();
  } else if (e.message == WM_IME_COMPOSITION) {
    if (e.lParam & GCS_RESULTSTR) {
      q.ime.result = e.text;
      q.ime.composition.clear();
    } else {
      q.ime.composition = e.text;
    }
  }
  if (IsKeyStroke(e.message)) {
    SetDown(q.keys, static_cast<int>(e.wParam), e.message == WM_KEYDOWN || e.message == WM_SYSKEYDOWN);
  } else if (const int button = ButtonOf(e.message)) {
    SetDown(q.keys, button, IsDown(e.message));
  }
}

MSG InputMessage(const Window& w, const InputEvent& e) {
  MSG m{w.hwnd, e.message, e.wParam, e.lParam, e.time, e.screen};
  if (e.message == WM_LBUTTONDOWN && IsDoubleTap(w, e)) m.message = WM_LBUTTONDBLCLK;
  if (e.message == WM_MOUSEWHEEL) {
    m.lParam = MAKELPARAM(e.screen.x, e.screen.y);  // the wheel's point stays on the screen
  } else if (IsPointerMessage(e.message)) {
    const POINT o = ClientOrigin(w);
    m.lParam = MAKELPARAM(e.screen.x - o.x, e.screen.y - o.y);
  } else if (e.message == WM_CONTEXTMENU) {
    m.wParam = reinterpret_cast<WPARAM>(w.hwnd);
  }
  return m;
}

}  // namespace qv::ui

UINT GetDoubleClickTime() { return kDoubleTapTime; }

void keybd_event(BYTE virtualKey, BYTE scan, DWORD flags, ULONG_PTR) {
  const bool up = (flags & KEYEVENTF_KEYUP) != 0;
  auto lock = LockUi();
  AsyncKeys& a = Async();
  const bool wasDown = (a.down[virtualKey] & 0x80) != 0;
  SetDown(a.down, virtualKey, !up);
  if (!up) a.pressedSince[virtualKey] = 1;
  InputEvent e;
  e.message = up ? WM_KEYUP : WM_KEYDOWN;
  e.wParam = virtualKey;
  DWORD bits = 1u | static_cast<DWORD>(scan) << 16;
  if (flags & KEYEVENTF_EXTENDEDKEY) bits |= 1u << 24;
  if (wasDown) bits |= 1u << 30;
  if (up) bits |= 1u << 31;
  e.lParam = static_cast<LPARAM>(bits);
  e.screen = a.pointer;
  e.time = qv::ui_seam::ClockNow();
  Queue(Ui().foreground.get(), e);
}

void mouse_event(DWORD flags, DWORD x, DWORD y, DWORD data, ULONG_PTR) {
  auto lock = LockUi();
  AsyncKeys& a = Async();
  if (flags & MOUSEEVENTF_ABSOLUTE) a.pointer = {static_cast<LONG>(x), static_cast<LONG>(y)};
  else a.pointer = {a.pointer.x + static_cast<LONG>(x), a.pointer.y + static_cast<LONG>(y)};
  const std::pair<DWORD, UINT> kinds[] = {{MOUSEEVENTF_MOVE, WM_MOUSEMOVE},
                                          {MOUSEEVENTF_LEFTDOWN, WM_LBUTTONDOWN},
                                          {MOUSEEVENTF_LEFTUP, WM_LBUTTONUP},
                                          {MOUSEEVENTF_RIGHTDOWN, WM_RBUTTONDOWN},
                                          {MOUSEEVENTF_RIGHTUP, WM_RBUTTONUP},
                                          {MOUSEEVENTF_WHEEL, WM_MOUSEWHEEL}};
  for (auto [flag, message] : kinds) {
    if (!(flags & flag)) continue;
    if (const int button = ButtonOf(message)) {
      SetDown(a.down, button, IsDown(message));
      if (IsDown(message)) a.pressedSince[button] = 1;
    }
    if (message == WM_LBUTTONDOWN) a.holdClaimed = false;
    InputEvent e;
    e.message = message;
    e.wParam = ((a.down[VK_LBUTTON] & 0x80) ? MK_LBUTTON : 0u) | ((a.down[VK_RBUTTON] & 0x80) ? MK_RBUTTON : 0u) |
               ((a.down[VK_SHIFT] & 0x80) ? MK_SHIFT : 0u) | ((a.down[VK_CONTROL] & 0x80) ? MK_CONTROL : 0u);
    if (message == WM_MOUSEWHEEL) e.wParam = MAKEWPARAM(e.wParam, static_cast<WORD>(static_cast<short>(data)));
    e.screen = a.pointer;
    e.time = qv::ui_seam::ClockNow();
    Queue(PointerQueue(a.pointer), e);
  }
}

void qv::ui::InjectInputMessage(UINT message, WPARAM wParam, LPARAM lParam, std::wstring_view text) {
  auto lock = LockUi();
  if (message == WM_CONTEXTMENU && Async().holdClaimed) return;
  InputEvent e;
  e.message = message;
  e.wParam = wParam;
  e.lParam = lParam;
  e.text = text;
  e.screen = Async().pointer;
  e.time = qv::ui_seam::ClockNow();
  Queue(IsFocusMessage(message) ? Ui().foreground.get() : PointerQueue(e.screen), e);
}

void qv::ui::ClaimStylusHold() {
  auto lock = LockUi();
  Async().holdClaimed = true;
}

SHORT GetKeyState(int virtualKey) {
  if (virtualKey < 0 || virtualKey > 255) return 0;
  ThreadQueue* q = CurrentQueueIfAny();
  auto lock = LockUi();
  const BYTE b = q ? q->keys[virtualKey] : 0;
  return static_cast<SHORT>(((b & 0x80) ? 0xFF80 : 0) | (b & 0x01));
}

SHORT GetAsyncKeyState(int virtualKey) {
  if (virtualKey < 0 || virtualKey > 255) return 0;
  auto lock = LockUi();
  AsyncKeys& a = Async();
  const SHORT r = static_cast<SHORT>(((a.down[virtualKey] & 0x80) ? 0x8000 : 0) | a.pressedSince[virtualKey]);
  a.pressedSince[virtualKey] = 0;
  return r;
}

BOOL GetKeyboardState(BYTE* state) {
  if (!state) return FALSE;
  auto q = CurrentQueue();
  auto lock = LockUi();
  std::copy(std::begin(q->keys), std::end(q->keys), state);
  return TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
  // The help key asks the top-level window that has it for help, once a
  // press (its auto-repeats ask nothing more).
  if (msg->wParam == VK_HELP) {
    if (msg->lParam & (1 << 30)) return FALSE;
    HWND top = GetAncestor(msg->hwnd, GA_ROOT);
    return top ? PostMessageW(top, WM_HELP, 0, 0) : FALSE;
  }
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool caps = (GetKeyState(VK_CAPITAL) & 1) != 0;
  if (GetKeyState(VK_CONTROL) < 0) return FALSE;
  const WCHAR ch = CharOf(static_cast<UINT>(msg->wParam), shift, caps);
  if (!ch) return FALSE;
  return PostMessageW(msg->hwnd, msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, ch, msg->lParam);
}

// Resets the state injection has built up (UiSeam's Reset).
void ForgetAsyncKeys() {
  auto lock = LockUi();
  Async() = AsyncKeys{};
}
