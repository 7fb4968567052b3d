// What a window holds and how it hangs in the tree: text, longs (with
// subclassing through GWL_WNDPROC), parent and owner, z-order walks,
// enumeration and look-up by class and title.
#include <unistd.h>

#include <cstring>

#include "platform/kernel/Library.h"
#include "platform/ui/queue/ThreadQueue.h"
#include "platform/ui/window/Invalidate.h"
#include "platform/ui/window/ProcessTable.h"

using namespace qv::ui;

namespace {

std::vector<HWND> Handles(const std::vector<Window*>& windows) {
  std::vector<HWND> out;
  for (Window* w : windows) out.push_back(w->hwnd);
  return out;
}

// Calls `proc` over a snapshot of handles while it returns TRUE and the
// window still exists.
BOOL EnumOver(const std::vector<HWND>& handles, WNDENUMPROC proc, LPARAM param) {
  if (!proc) return FALSE;
  for (HWND h : handles) {
    if (IsWindow(h) && !proc(h, param)) return FALSE;
  }
  return TRUE;
}

bool Matches(const Window& w, LPCWSTR className, LPCWSTR title) {
  if (className && !(IS_INTRESOURCE(className) ? w.cls->atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(className))
                                               : EqualNoCase(w.cls->name, className))) {
    return false;
  }
  return !title || w.text == title;
}

}  // namespace

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : L"")) ? TRUE : FALSE;
}

int GetWindowTextW(HWND hwnd, LPWSTR out, int size) {
  if (IsForeignHandle(hwnd)) {
    ForeignWindow f;
    return ReadForeign(hwnd, &f) ? CopyText(f.title, out, size) : 0;
  }
  if (!out || size <= 0) return 0;
  out[0] = 0;
  return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(out)));
}

int GetWindowTextLengthW(HWND hwnd) {
  if (IsForeignHandle(hwnd)) {
    ForeignWindow f;
    return ReadForeign(hwnd, &f) ? static_cast<int>(f.title.size()) : 0;
  }
  return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

LONG_PTR GetWindowLongW(HWND hwnd, int index) {
  auto lock = LockUi();
  Window* w = Find(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWL_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->owner ? w->owner->hwnd : nullptr);
    case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
    case GWL_USERDATA: return w->userData;
    case GWL_ID: return w->id;
    default: break;
  }
  if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
    // A dialog's DWL_ slots and the like are LONG_PTR-sized; smaller extras are LONGs.
    if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG) <= w->extra.size()) {
      LONG v;
      std::memcpy(&v, w->extra.data() + index, sizeof v);
      return v;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  LONG_PTR v;
  std::memcpy(&v, w->extra.data() + index, sizeof v);
  return v;
}

LONG_PTR SetWindowLongW(HWND hwnd, int index, LONG_PTR value) {
  if (index == GWL_STYLE || index == GWL_EXSTYLE) {
    STYLESTRUCT ss{static_cast<DWORD>(GetWindowLongW(hwnd, index)), static_cast<DWORD>(value)};
    if (!IsWindow(hwnd)) return 0;
    SendMessageW(hwnd, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
    {
      auto lock = LockUi();
      Window* w = Find(hwnd);
      if (!w) return 0;
      (index == GWL_STYLE ? w->style : w->exStyle) = ss.styleNew;
    }
    SendMessageW(hwnd, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
    return static_cast<LONG_PTR>(ss.styleOld);
  }
  auto lock = LockUi();
  Window* w = Find(hwnd);
  if (!w) return 0;
  const LONG_PTR old = GetWindowLongW(hwnd, index);
  switch (index) {
    case GWL_WNDPROC:
      if (!value) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      w->proc = reinterpret_cast<WNDPROC>(value);
      return old;
    case GWL_HINSTANCE: w->instance = reinterpret_cast<HINSTANCE>(value); return old;
    case GWL_HWNDPARENT: {
      Window* owner = Find(reinterpret_cast<HWND>(value), false);
      w->owner = owner ? TopLevelOf(owner) : nullptr;
      return old;
    }
    case GWL_USERDATA: w->userData = value; return old;
    case GWL_ID: w->id = value; return old;
    default: break;
  }
  if (index < 0 || static_cast<size_t>(index) + sizeof(LONG) > w->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  const size_t width = static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size() ? sizeof(LONG_PTR) : sizeof(LONG);
  std::memcpy(w->extra.data() + index, &value, width);
  return old;
}

HWND GetDesktopWindow() { return Ui().desktop.hwnd; }

HWND GetParent(HWND hwnd) {
  auto lock = LockUi();
  Window* w = Find(hwnd);
  if (!w) return nullptr;
  if (w->style & WS_CHILD) return w->parent && !IsDesktop(w->parent) ? w->parent->hwnd : nullptr;
  return (w->style & WS_POPUP) && w->owner ? w->owner->hwnd : nullptr;
}

HWND SetParent(HWND hwnd, HWND parent) {
  HWND old;
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    Window* p = parent ? Find(parent) : Desktop();
    if (!w || !p || IsInside(p, w)) return nullptr;
    old = w->parent && !IsDesktop(w->parent) ? w->parent->hwnd : GetDesktopWindow();
    if (ShownOnScreen(*w)) Expose(w->parent, ScreenRect(*w));
    Unlink(w);
    LinkAt(w, p, HWND_TOP);
    if (ShownOnScreen(*w)) Invalidate(w, ClientRect(*w), true, true);
  }
  return old;
}

HWND GetAncestor(HWND hwnd, UINT flags) {
  auto lock = LockUi();
  Window* w = Find(hwnd);
  if (!w) return nullptr;
  switch (flags) {
    case GA_PARENT: return w->parent ? w->parent->hwnd : nullptr;
    case GA_ROOT: return TopLevelOf(w)->hwnd;
    case GA_ROOTOWNER: {
      Window* r = TopLevelOf(w);
      while (r->owner) r = r->owner;
      return r->hwnd;
    }
    default: return nullptr;
  }
}

HWND GetWindow(HWND hwnd, UINT relation) {
  auto lock = LockUi();
  Window* w = hwnd == GetDesktopWindow() ? Desktop() : Find(hwnd);
  if (!w) return nullptr;
  if (relation == GW_CHILD) return w->children.empty() ? nullptr : w->children.front()->hwnd;
  if (relation == GW_OWNER) return w->owner ? w->owner->hwnd : nullptr;
  if (!w->parent) return nullptr;
  const auto& list = w->parent->children;
  const auto at = std::find(list.begin(), list.end(), w) - list.begin();
  const ptrdiff_t size = static_cast<ptrdiff_t>(list.size());
  switch (relation) {
    case GW_HWNDFIRST: return list.front()->hwnd;
    case GW_HWNDLAST: return list.back()->hwnd;
    case GW_HWNDNEXT: return at + 1 < size ? list[static_cast<size_t>(at + 1)]->hwnd : nullptr;
    case GW_HWNDPREV: return at > 0 ? list[static_cast<size_t>(at - 1)]->hwnd : nullptr;
    default: return nullptr;
  }
}

BOOL IsChild(HWND parent, HWND hwnd) {
  auto lock = LockUi();
  Window* p = Find(parent, false);
  Window* w = Find(hwnd, false);
  if (!p || !w || p == w) return FALSE;
  for (Window* a = w; a->parent && (a->style & WS_CHILD); a = a->parent) {
    if (a->parent == p) return TRUE;
  }
  return FALSE;
}

HWND GetDlgItem(HWND parent, int id) {
  auto lock = LockUi();
  Window* p = Find(parent);
  if (!p) return nullptr;
  for (Window* c : p->children) {
    if (c->id == id) return c->hwnd;
  }
  return nullptr;
}

int GetDlgCtrlID(HWND hwnd) { return static_cast<int>(GetWindowLongW(hwnd, GWL_ID)); }

BOOL EnumWindows(WNDENUMPROC proc, LPARAM param) {
  std::vector<HWND> all;
  {
    auto lock = LockUi();
    all = Handles(Desktop()->children);
  }
  // The device has one desktop: the other processes' windows are on it too.
  for (HWND h : ListForeign()) all.push_back(h);
  return EnumOver(all, proc, param);
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM param) {
  std::vector<HWND> all;
  {
    auto lock = LockUi();
    Window* p = Find(parent);
    if (!p) return FALSE;
    std::vector<Window*> tree;
    Subtree(p, &tree);
    tree.erase(tree.begin());
    all = Handles(tree);
  }
  return EnumOver(all, proc, param);
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  {
    auto lock = LockUi();
    for (Window* w : Desktop()->children) {
      if (Matches(*w, className, windowName)) return w->hwnd;
    }
  }
  if (className && IS_INTRESOURCE(className)) return nullptr;  // atoms are this process's own
  return FindForeign(className, windowName);
}

UINT GetWindowModuleFileNameW(HWND hwnd, LPWSTR out, UINT size) {
  std::wstring module;
  if (IsForeignHandle(hwnd)) {
    ForeignWindow f;
    if (!ReadForeign(hwnd, &f)) return 0;
    module = f.module;
  } else {
    if (!IsWindow(hwnd)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    WCHAR own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    module = own;
  }
  if (!out || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  return static_cast<UINT>(CopyText(module, out, static_cast<int>(size)));
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId) {
  if (IsForeignHandle(hwnd)) {
    ForeignWindow f;
    if (!ReadForeign(hwnd, &f)) return 0;
    if (processId) *processId = f.process;
    return f.thread;
  }
  auto lock = LockUi();
  Window* w = Find(hwnd);
  if (!w) return 0;
  if (processId) *processId = static_cast<DWORD>(::getpid());
  return w->queue->thread;
}
