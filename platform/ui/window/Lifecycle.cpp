// Making and destroying windows. WM_CREATE reaches the window before
// CreateWindowExW returns; on destruction WM_DESTROY goes to the window and
// then down to its children, WM_NCDESTROY to the children first and the
// window last, after which the handle is gone.
#include "platform/ui/input/Caret.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/queue/ThreadQueue.h"
#include "platform/ui/window/Classes.h"
#include "platform/ui/window/ProcessTable.h"

using namespace qv::ui;

namespace {

std::vector<HWND> ChildrenOf(HWND hwnd) {
  auto lock = LockUi();
  std::vector<HWND> out;
  if (Window* w = Find(hwnd, false)) {
    for (Window* c : w->children) out.push_back(c->hwnd);
  }
  return out;
}

void SendDestroy(HWND hwnd) {
  SendMessageW(hwnd, WM_DESTROY, 0, 0);
  for (HWND c : ChildrenOf(hwnd)) SendDestroy(c);
}

// Takes the window out of every table once its children are gone.
void Remove(HWND hwnd) {
  auto lock = LockUi();
  Window* w = Find(hwnd, false);
  if (!w) return;
  ThreadQueue& q = *w->queue;
  std::erase_if(q.timers, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
  std::erase_if(q.posted, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
  for (HWND* slot : {&q.active, &q.focus, &q.capture}) {
    if (*slot == hwnd) *slot = nullptr;
  }
  for (auto& [h, other] : Ui().windows) {
    if (other->owner == w) other->owner = nullptr;
  }
  for (Window* c : std::vector<Window*>(w->children)) Unlink(c);
  Unlink(w);
  --w->cls->windows;
  ForgetPublished(*w);
  Ui().windows.erase(hwnd);
}

void SendNcDestroy(HWND hwnd) {
  for (HWND c : ChildrenOf(hwnd)) SendNcDestroy(c);
  if (IsWindow(hwnd)) SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
  Remove(hwnd);
}

std::vector<HWND> OwnedBy(HWND hwnd) {
  auto lock = LockUi();
  std::vector<HWND> out;
  Window* w = Find(hwnd, false);
  for (auto& [h, other] : Ui().windows) {
    if (w && other->owner == w) out.push_back(h);
  }
  return out;
}

}  // namespace

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  auto q = CurrentQueue();
  HWND hwnd;
  {
    auto lock = LockUi();
    auto cls = FindClass(className);
    if (!cls) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    Window* parentWindow = Desktop();
    Window* owner = nullptr;
    const bool child = (style & WS_CHILD) != 0;
    if (child && !parent) {
      SetLastError(ERROR_TLW_WITH_WSCHILD);
      return nullptr;
    }
    if (parent) {
      Window* p = Find(parent);
      if (!p) return nullptr;
      if (child) parentWindow = p;
      else owner = TopLevelOf(p);
    }
    auto w = std::make_unique<Window>();
    hwnd = w->hwnd = NewHandle();
    w->queue = q;
    w->cls = cls;
    w->proc = cls->wc.lpfnWndProc;
    w->style = style & ~WS_VISIBLE;
    w->exStyle = exStyle;
    w->text = windowName ? windowName : L"";
    w->instance = instance;
    w->id = child ? reinterpret_cast<LONG_PTR>(menu) : 0;
    w->extra.assign(static_cast<size_t>(cls->wc.cbWndExtra), 0);
    w->owner = owner;
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) {
      const RECT area = ClientRect(*parentWindow);
      width = child ? 0 : area.right;
      height = child ? 0 : area.bottom;
    }
    w->rect = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
    ++cls->windows;
    // Children keep the order they were made in (dialog tab order); a new
    // top-level window comes to the front.
    LinkAt(w.get(), parentWindow, child ? HWND_BOTTOM : HWND_TOP);
    if (!child) Publish(*w);
    Ui().windows.emplace(hwnd, std::move(w));
  }
  CREATESTRUCTW cs{param, instance, menu, parent, height, width, y, x, static_cast<LONG>(style), windowName,
                   className, exStyle};
  if (SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  RECT client{};
  POINT at{};
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    if (!w) return nullptr;  // destroyed while being made
    client = ClientRect(*w);
    const RECT in = Insets(w->style, w->exStyle);
    at = {w->rect.left + in.left, w->rect.top + in.top};
  }
  SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(at.x, at.y));
  if ((style & WS_VISIBLE) && IsWindow(hwnd)) ShowWindow(hwnd, (style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : SW_SHOW);
  return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
  HWND parent = nullptr;
  bool visible;
  ThreadQueue* q = CurrentQueueIfAny();
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    if (w->queue.get() != q) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (w->destroying) return TRUE;
    w->destroying = true;
    visible = (w->style & WS_VISIBLE) != 0;
    if (w->parent && !IsDesktop(w->parent)) parent = w->parent->hwnd;
  }
  for (HWND owned : OwnedBy(hwnd)) DestroyWindow(owned);
  if (visible) {
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  HWND focus = GetFocus();
  if (focus && (focus == hwnd || IsChild(hwnd, focus))) SetFocus(parent);
  HWND capture = GetCapture();
  if (capture && (capture == hwnd || IsChild(hwnd, capture))) ReleaseCapture();
  {
    auto lock = LockUi();
    HWND caretOwner = q->caret.owner;
    lock.unlock();
    if (caretOwner && (caretOwner == hwnd || IsChild(hwnd, caretOwner))) DestroyCaret();
  }
  SendDestroy(hwnd);
  SendNcDestroy(hwnd);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  if (!hwnd) return FALSE;
  if (IsForeignHandle(hwnd)) {
    ForeignWindow f;
    return ReadForeign(hwnd, &f) ? TRUE : FALSE;
  }
  auto lock = LockUi();
  return Find(hwnd, false) ? TRUE : FALSE;
}
