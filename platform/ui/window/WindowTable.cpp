#include "platform/ui/window/WindowTable.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cwctype>

#include "platform/ui/metrics/Metrics.h"

namespace qv::ui {
namespace {

// A handle carries its process id above the low 24 bits, so that handles of
// every process are distinct and the owner of a foreign one is known.
constexpr int kSerialBits = 24;

// Every handle check asks for it: kept rather than a system call each time,
// and looked up afresh in a forked child.
std::atomic<uint64_t> g_pid{0};

uint64_t ThisPid() {
  uint64_t pid = g_pid.load(std::memory_order_relaxed);
  if (pid != 0) return pid;
  static const bool forgetInChild = [] {
    ::pthread_atfork(nullptr, nullptr, [] { g_pid.store(0, std::memory_order_relaxed); });
    return true;
  }();
  (void)forgetInChild;
  pid = static_cast<uint64_t>(::getpid());
  g_pid.store(pid, std::memory_order_relaxed);
  return pid;
}

}  // namespace

UiState& Ui() {
  static UiState* s = [] {
    auto* state = new UiState;  // outlives threads still running at exit
    state->desktop.style = WS_VISIBLE;
    state->desktop.hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(ThisPid() << kSerialBits));
    return state;
  }();
  return *s;
}

Window* Desktop() {
  Window* d = &Ui().desktop;
  const DeviceProfile p = CurrentProfile();
  d->rect = {0, 0, p.width, p.height};
  return d;
}

bool IsDesktop(const Window* w) { return w == &Ui().desktop; }

Window* Find(HWND hwnd, bool report) {
  auto& windows = Ui().windows;
  auto it = windows.find(hwnd);
  if (it == windows.end()) {
    if (report) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return it->second.get();
}

HWND NewHandle() {
  for (;;) {
    const uint32_t serial = ++Ui().serial & ((1u << kSerialBits) - 1);
    if (serial == 0) continue;
    HWND h = reinterpret_cast<HWND>(static_cast<uintptr_t>(ThisPid() << kSerialBits | serial));
    if (!Ui().windows.count(h)) return h;
  }
}

bool IsForeignHandle(HWND hwnd) {
  const uint64_t v = reinterpret_cast<uintptr_t>(hwnd);
  return (v >> kSerialBits) != 0 && (v >> kSerialBits) != ThisPid();
}

RECT Insets(DWORD style, DWORD exStyle) {
  RECT r{};
  auto grow = [&r](int x, int y) {
    r.left += x;
    r.right += x;
    r.top += y;
    r.bottom += y;
  };
  if ((style & WS_CAPTION) == WS_CAPTION) {
    grow(GetSystemMetrics(SM_CXDLGFRAME), GetSystemMetrics(SM_CYDLGFRAME));
    r.top += GetSystemMetrics(SM_CYCAPTION);
  } else if (style & WS_DLGFRAME) {
    grow(GetSystemMetrics(SM_CXDLGFRAME), GetSystemMetrics(SM_CYDLGFRAME));
  } else if (style & WS_BORDER) {
    grow(GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER));
  }
  if (exStyle & WS_EX_CLIENTEDGE) grow(GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CYEDGE));
  if (exStyle & WS_EX_STATICEDGE) grow(GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER));
  if (style & WS_VSCROLL) r.right += GetSystemMetrics(SM_CXVSCROLL);
  if (style & WS_HSCROLL) r.bottom += GetSystemMetrics(SM_CYHSCROLL);
  return r;
}

RECT ClientRect(const Window& w) {
  if (IsDesktop(&w)) return {0, 0, w.rect.right, w.rect.bottom};
  const RECT in = Insets(w.style, w.exStyle);
  const LONG width = w.rect.right - w.rect.left - in.left - in.right;
  const LONG height = w.rect.bottom - w.rect.top - in.top - in.bottom;
  return {0, 0, std::max<LONG>(width, 0), std::max<LONG>(height, 0)};
}

POINT ClientOrigin(const Window& w) {
  if (IsDesktop(&w)) return {0, 0};
  const POINT p = WindowOrigin(w);
  const RECT in = Insets(w.style, w.exStyle);
  return {p.x + in.left, p.y + in.top};
}

POINT WindowOrigin(const Window& w) {
  if (IsDesktop(&w) || !w.parent) return {w.rect.left, w.rect.top};
  const POINT p = ClientOrigin(*w.parent);
  return {p.x + w.rect.left, p.y + w.rect.top};
}

RECT ScreenRect(const Window& w) {
  const POINT p = WindowOrigin(w);
  return {p.x, p.y, p.x + w.rect.right - w.rect.left, p.y + w.rect.bottom - w.rect.top};
}

RECT ScreenClient(const Window& w) {
  const POINT p = ClientOrigin(w);
  const RECT c = ClientRect(w);
  return Offset(c, p.x, p.y);
}

bool ShownOnScreen(const Window& w) {
  for (const Window* p = &w; p && !IsDesktop(p); p = p->parent) {
    if (!(p->style & WS_VISIBLE)) return false;
  }
  return true;
}

bool EnabledChain(const Window& w) {
  for (const Window* p = &w; p && !IsDesktop(p); p = p->parent) {
    if (p->style & WS_DISABLED) return false;
  }
  return true;
}

bool IsInside(const Window* w, const Window* ancestor) {
  for (; w; w = w->parent) {
    if (w == ancestor) return true;
  }
  return false;
}

Window* TopLevelOf(Window* w) {
  while (w && w->parent && !IsDesktop(w->parent)) w = w->parent;
  return w;
}

void Subtree(Window* root, std::vector<Window*>* out) {
  out->push_back(root);
  for (Window* c : root->children) Subtree(c, out);
}

namespace {

Window* HitChild(Window* parent, POINT screen) {
  for (Window* c : parent->children) {
    if (!(c->style & WS_VISIBLE) || !Contains(ScreenRect(*c), screen)) continue;
    // A disabled child lets the point through to its parent.
    if ((c->style & WS_DISABLED) && !IsDesktop(parent)) continue;
    if (Contains(ScreenClient(*c), screen)) {
      if (Window* deeper = HitChild(c, screen)) return deeper;
    }
    return c;
  }
  return nullptr;
}

}  // namespace

Window* HitTest(POINT screen) { return HitChild(Desktop(), screen); }

void Unlink(Window* w) {
  if (!w->parent) return;
  auto& list = w->parent->children;
  list.erase(std::remove(list.begin(), list.end(), w), list.end());
  w->parent = nullptr;
}

void LinkAt(Window* w, Window* parent, HWND insertAfter) {
  w->parent = parent;
  auto& list = parent->children;
  const bool topmost = (w->exStyle & WS_EX_TOPMOST) != 0;
  auto isTopmost = [](const Window* s) { return (s->exStyle & WS_EX_TOPMOST) != 0; };
  auto pos = list.end();
  if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
    // Topmost windows stay in front of every other sibling.
    pos = topmost ? list.begin() : std::find_if_not(list.begin(), list.end(), isTopmost);
  } else if (insertAfter == HWND_BOTTOM) {
    pos = list.end();
  } else {
    auto after = std::find_if(list.begin(), list.end(), [insertAfter](const Window* s) { return s->hwnd == insertAfter; });
    pos = after == list.end() ? list.begin() : after + 1;
  }
  list.insert(pos, w);
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) return false;
  }
  return true;
}

int CopyText(const std::wstring& text, LPWSTR out, int size) {
  if (!out || size <= 0) return 0;
  const int n = std::min<int>(static_cast<int>(text.size()), size - 1);
  std::copy_n(text.data(), n, out);
  out[n] = 0;
  return n;
}

}  // namespace qv::ui
