// Window classes. Names compare without regard to case and an atom may
// stand for one. A class is the process's, whatever module registers it.
#include "platform/ui/window/Classes.h"

#include <cstring>

#include "platform/ui/window/LayerHooks.h"
#include "platform/ui/window/ProcessTable.h"

using namespace qv::ui;

namespace qv::ui {

std::shared_ptr<WindowClass> FindClass(LPCWSTR nameOrAtom) {
  EnsureLayerClasses();
  for (auto& c : Ui().classes) {
    if (IS_INTRESOURCE(nameOrAtom) ? c->atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(nameOrAtom))
                                   : (nameOrAtom && EqualNoCase(c->name, nameOrAtom))) {
      return c;
    }
  }
  SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
  return nullptr;
}

}  // namespace qv::ui

namespace {

// The class long at a GCL_ index or byte offset into the class's extra bytes.
LONG_PTR* ClassSlot(WindowClass& c, int index, LONG_PTR* scratch) {
  switch (index) {
    case GCL_HBRBACKGROUND: *scratch = reinterpret_cast<LONG_PTR>(c.wc.hbrBackground); return scratch;
    case GCL_HCURSOR: *scratch = reinterpret_cast<LONG_PTR>(c.wc.hCursor); return scratch;
    case GCL_HICON: *scratch = reinterpret_cast<LONG_PTR>(c.wc.hIcon); return scratch;
    case GCL_HMODULE: *scratch = reinterpret_cast<LONG_PTR>(c.wc.hInstance); return scratch;
    case GCL_CBWNDEXTRA: *scratch = c.wc.cbWndExtra; return scratch;
    case GCL_CBCLSEXTRA: *scratch = c.wc.cbClsExtra; return scratch;
    case GCL_WNDPROC: *scratch = reinterpret_cast<LONG_PTR>(c.wc.lpfnWndProc); return scratch;
    case GCL_STYLE: *scratch = c.wc.style; return scratch;
    default: break;
  }
  if (index < 0 || static_cast<size_t>(index) + sizeof(LONG) > c.extra.size()) return nullptr;
  LONG v;
  std::memcpy(&v, c.extra.data() + index, sizeof v);
  *scratch = v;
  return scratch;
}

}  // namespace

ATOM RegisterClassW(const WNDCLASSW* wc) {
  if (!wc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) || !*wc->lpszClassName ||
      wc->cbClsExtra < 0 || wc->cbWndExtra < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto lock = LockUi();
  if (FindClass(wc->lpszClassName)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto c = std::make_shared<WindowClass>();
  static ATOM nextAtom = 0xC000;
  c->atom = nextAtom++;
  c->name = wc->lpszClassName;
  c->wc = *wc;
  c->wc.lpszClassName = c->name.c_str();
  if (wc->lpszMenuName && !IS_INTRESOURCE(wc->lpszMenuName)) {
    c->menuName = wc->lpszMenuName;
    c->wc.lpszMenuName = c->menuName.c_str();
  }
  c->extra.assign(static_cast<size_t>(wc->cbClsExtra), 0);
  Ui().classes.push_back(c);
  return c->atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
  auto lock = LockUi();
  auto c = FindClass(className);
  if (!c) return FALSE;
  if (c->windows > 0) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE;
  }
  std::erase(Ui().classes, c);
  return TRUE;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR className, LPWNDCLASSW out) {
  auto lock = LockUi();
  auto c = FindClass(className);
  if (!c || !out) return FALSE;
  *out = c->wc;  // the names stay valid while the class is registered
  return TRUE;
}

int GetClassNameW(HWND hwnd, LPWSTR out, int size) {
  std::wstring name;
  {
    auto lock = LockUi();
    if (Window* w = Find(hwnd, false)) {
      name = w->cls->name;
    } else {
      ForeignWindow f;
      if (!ReadForeign(hwnd, &f)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
      }
      name = f.className;
    }
  }
  return CopyText(name, out, size);
}

DWORD GetClassLongW(HWND hwnd, int index) {
  auto lock = LockUi();
  Window* w = Find(hwnd);
  if (!w) return 0;
  LONG_PTR scratch = 0;
  if (!ClassSlot(*w->cls, index, &scratch)) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  return static_cast<DWORD>(scratch);
}

DWORD SetClassLongW(HWND hwnd, int index, LONG value) {
  auto lock = LockUi();
  Window* w = Find(hwnd);
  if (!w) return 0;
  WindowClass& c = *w->cls;
  LONG_PTR old = 0;
  if (!ClassSlot(c, index, &old)) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  switch (index) {
    case GCL_HBRBACKGROUND: c.wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<LONG_PTR>(value)); break;
    case GCL_STYLE: c.wc.style = static_cast<UINT>(value); break;
    default:
      if (index >= 0) std::memcpy(c.extra.data() + index, &value, sizeof value);
      break;
  }
  return static_cast<DWORD>(old);
}
