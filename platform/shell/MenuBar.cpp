#include "platform/shell/MenuBar.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/ui/theme/StylePainter.h"

namespace qv::shell {
namespace {

struct Button {
  UINT command = 0;        // 0 for a popup's button
  HMENU popup = nullptr;   // owned by the bar's menu
  BYTE state = TBSTATE_ENABLED;
  std::wstring label;
};

struct Bar {
  HWND owner = nullptr;
  HMENU menu = nullptr;  // destroyed with the bar
  std::vector<Button> buttons;
  COLORREF background = 0;
  bool ownBackground = false;
  int keyDown = -1;  // the soft key held now: its button
  bool hiddenWithOwner = false;  // shown again when the owner is
};

// The bar lies over its top-level window, not inside it: the window's
// procedure is wrapped so that the bar follows the window's moves, sizes,
// showing, hiding and stacking. Kept per window until it goes, since a
// procedure set over ours keeps calling it.
struct OwnerHook {
  WNDPROC previous = nullptr;
  HWND bar = nullptr;         // null once the bar is gone
  bool fillsAboveBar = false;  // a full-screen dialog: sized again when the screen turns
};

std::mutex& HookLock() {
  static std::mutex m;
  return m;
}

std::map<HWND, OwnerHook>& Hooks() {
  static auto* hooks = new std::map<HWND, OwnerHook>;
  return *hooks;
}

OwnerHook HookOf(HWND top) {
  std::lock_guard<std::mutex> g(HookLock());
  auto it = Hooks().find(top);
  return it == Hooks().end() ? OwnerHook{} : it->second;
}

Bar* BarOf(HWND hwnd) { return reinterpret_cast<Bar*>(GetWindowLongW(hwnd, 0)); }

// The button a toolbar message names: by command, or by index with TBIF_BYINDEX.
// A popup's button has no command: its position names it.
int Find(const Bar& bar, WPARAM which, bool byIndex) {
  const size_t n = bar.buttons.size();
  if (byIndex) return which < n ? static_cast<int>(which) : -1;
  for (size_t i = 0; i < n; ++i)
    if (bar.buttons[i].command ? bar.buttons[i].command == which : i == which) return static_cast<int>(i);
  return -1;
}

RECT ButtonRect(HWND hwnd, const Bar& bar, int i) {
  RECT r{};
  GetClientRect(hwnd, &r);
  const int n = static_cast<int>(bar.buttons.size());
  const int w = n ? (r.right - r.left) / n : 0;
  return {r.left + w * i, r.top, i == n - 1 ? r.right : r.left + w * (i + 1), r.bottom};
}

void Paint(HWND hwnd, Bar& bar) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT all{};
  GetClientRect(hwnd, &all);
  HBRUSH bg = bar.ownBackground ? CreateSolidBrush(bar.background) : GetSysColorBrush(COLOR_BTNFACE);
  FillRect(dc, &all, bg);
  if (bar.ownBackground) DeleteObject(bg);
  HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
  for (int i = 0; i < static_cast<int>(bar.buttons.size()); ++i) {
    const Button& b = bar.buttons[i];
    if (b.state & TBSTATE_HIDDEN) continue;
    qv::ui::ControlState s;
    s.pressed = (b.state & (TBSTATE_CHECKED | TBSTATE_PRESSED)) != 0;
    s.disabled = !(b.state & TBSTATE_ENABLED);
    RECT r = ButtonRect(hwnd, bar, i);
    InflateRect(&r, -2, -2);
    qv::ui::StylePainter::PaintPushButton(dc, r, b.label.c_str(), DT_CENTER | DT_VCENTER | DT_SINGLELINE, s);
  }
  SelectObject(dc, old);
  EndPaint(hwnd, &ps);
}

// The button acts: a command goes to the owner, a popup opens above it.
void Press(HWND hwnd, Bar& bar, int i) {
  const Button& b = bar.buttons[static_cast<size_t>(i)];
  if (!(b.state & TBSTATE_ENABLED) || (b.state & TBSTATE_HIDDEN)) return;
  if (!b.popup) {
    PostMessageW(bar.owner, WM_COMMAND, MAKEWPARAM(b.command, 0), reinterpret_cast<LPARAM>(hwnd));
    return;
  }
  RECT r = ButtonRect(hwnd, bar, i);
  MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
  const bool right = i > 0 && i == static_cast<int>(bar.buttons.size()) - 1;
  TrackPopupMenu(b.popup, TPM_BOTTOMALIGN | (right ? TPM_RIGHTALIGN : TPM_LEFTALIGN), right ? r.right : r.left,
                 r.top, 0, bar.owner, nullptr);
}

LRESULT ButtonInfo(Bar& bar, HWND hwnd, UINT message, WPARAM wParam, TBBUTTONINFOW* info) {
  if (!info || info->cbSize < sizeof(TBBUTTONINFOW)) return message == TB_GETBUTTONINFOW ? -1 : FALSE;
  const int i = Find(bar, wParam, (info->dwMask & TBIF_BYINDEX) != 0);
  if (i < 0) return message == TB_GETBUTTONINFOW ? -1 : FALSE;
  Button& b = bar.buttons[static_cast<size_t>(i)];
  if (message == TB_GETBUTTONINFOW) {
    if (info->dwMask & TBIF_COMMAND) info->idCommand = static_cast<int>(b.command);
    if (info->dwMask & TBIF_STATE) info->fsState = b.state;
    if ((info->dwMask & TBIF_TEXT) && info->pszText && info->cchText > 0) {
      const size_t n = std::min(b.label.size(), static_cast<size_t>(info->cchText - 1));
      b.label.copy(info->pszText, n);
      info->pszText[n] = 0;
    }
    return i;
  }
  if (info->dwMask & TBIF_COMMAND) b.command = static_cast<UINT>(info->idCommand);
  if (info->dwMask & TBIF_STATE) b.state = info->fsState;
  if (info->dwMask & TBIF_TEXT) b.label = info->pszText ? info->pszText : L"";
  InvalidateRect(hwnd, nullptr, TRUE);
  return TRUE;
}

// Sets or clears one state bit of a button named by command.
LRESULT SetStateBit(Bar& bar, HWND hwnd, WPARAM command, BYTE bit, bool on) {
  const int i = Find(bar, command, false);
  if (i < 0) return FALSE;
  BYTE& state = bar.buttons[static_cast<size_t>(i)].state;
  state = static_cast<BYTE>(on ? state | bit : state & ~bit);
  InvalidateRect(hwnd, nullptr, TRUE);
  return TRUE;
}

// The bar along the screen's bottom edge, the whole width. A top-level
// window that filled the screen above the bar before (the screen turned)
// fills it again.
void Dock(HWND hwnd) {
  RECT before{};
  GetWindowRect(hwnd, &before);
  const auto screen = qv::ui::CurrentProfile();
  const RECT area{0, 0, screen.width, screen.height - kMenuBarHeight};
  SetWindowPos(hwnd, nullptr, 0, area.bottom, screen.width, kMenuBarHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  const RECT was{0, 0, before.right - before.left, before.top};
  HWND top = GetWindow(hwnd, GW_OWNER);
  RECT at{};
  if (!top || EqualRect(&was, &area) || !GetWindowRect(top, &at) || !EqualRect(&at, &was)) return;
  SetWindowPos(top, nullptr, 0, 0, area.right, area.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The window takes the screen above the bar's strip.
void FillAboveBar(HWND top) {
  const auto screen = qv::ui::CurrentProfile();
  const RECT area{0, 0, screen.width, screen.height - kMenuBarHeight};
  RECT at{};
  if (!GetWindowRect(top, &at) || EqualRect(&at, &area)) return;
  SetWindowPos(top, nullptr, 0, 0, area.right, area.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Directly over its owner, whatever came to the front with it.
void Raise(HWND hwnd, HWND top) {
  HWND above = GetWindow(top, GW_HWNDPREV);
  if (above == hwnd) return;
  SetWindowPos(hwnd, above ? above : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT OwnerProc(HWND top, UINT message, WPARAM wParam, LPARAM lParam) {
  const OwnerHook hook = HookOf(top);
  HWND bar = hook.bar && IsWindow(hook.bar) ? hook.bar : nullptr;
  if (message == WM_SETTINGCHANGE) {  // before the window lays itself out again
    if (bar) Dock(bar);
    if (hook.fillsAboveBar) FillAboveBar(top);
  }
  const LRESULT result = CallWindowProcW(hook.previous ? hook.previous : DefWindowProcW, top, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    std::lock_guard<std::mutex> g(HookLock());
    Hooks().erase(top);
    return result;
  }
  Bar* state = bar ? BarOf(bar) : nullptr;
  if (!state) return result;
  if (message == WM_WINDOWPOSCHANGED) {
    const auto* wp = reinterpret_cast<const WINDOWPOS*>(lParam);
    if (wp && (wp->flags & SWP_HIDEWINDOW) && IsWindowVisible(bar)) {
      state->hiddenWithOwner = true;
      ShowWindow(bar, SW_HIDE);
    } else if (wp && (wp->flags & SWP_SHOWWINDOW) && state->hiddenWithOwner) {
      state->hiddenWithOwner = false;
      ShowWindow(bar, SW_SHOWNA);
    }
    if (wp && !(wp->flags & SWP_NOZORDER)) Raise(bar, top);
    if (wp && (wp->flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE)) Dock(bar);
  } else if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) {
    Raise(bar, top);
  }
  return result;
}

// With the lock held: the window's record, its procedure wrapped on the first.
OwnerHook& Hooked(HWND top) {
  auto [it, fresh] = Hooks().try_emplace(top);
  if (fresh) {
    it->second.previous = reinterpret_cast<WNDPROC>(GetWindowLongW(top, GWL_WNDPROC));
    SetWindowLongW(top, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&OwnerProc));
  }
  return it->second;
}

void Hook(HWND top, HWND bar) {
  std::lock_guard<std::mutex> g(HookLock());
  Hooked(top).bar = bar;
}

// The bar goes: the window gets its own procedure back, unless another was
// set over ours (then ours passes everything on until the window goes).
void Unhook(HWND bar) {
  HWND top = GetWindow(bar, GW_OWNER);
  std::lock_guard<std::mutex> g(HookLock());
  auto it = Hooks().find(top);
  if (it == Hooks().end() || it->second.bar != bar) return;
  it->second.bar = nullptr;
  if (it->second.fillsAboveBar) return;  // still sized with the screen
  if (GetWindowLongW(top, GWL_WNDPROC) != reinterpret_cast<LONG_PTR>(&OwnerProc)) return;
  SetWindowLongW(top, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(it->second.previous));
  Hooks().erase(it);
}

LRESULT BarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Bar* bar = BarOf(hwnd);
  if (!bar) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_PAINT:
      Paint(hwnd, *bar);
      return 0;
    case WM_LBUTTONUP: {
      const POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
      for (int i = 0; i < static_cast<int>(bar->buttons.size()); ++i) {
        const RECT r = ButtonRect(hwnd, *bar, i);
        if (PtInRect(&r, p)) {
          Press(hwnd, *bar, i);
          break;
        }
      }
      return 0;
    }
    case TB_ENABLEBUTTON:
      return SetStateBit(*bar, hwnd, wParam, TBSTATE_ENABLED, LOWORD(lParam) != 0);
    case TB_CHECKBUTTON:
      return SetStateBit(*bar, hwnd, wParam, TBSTATE_CHECKED, LOWORD(lParam) != 0);
    case TB_ISBUTTONENABLED:
    case TB_ISBUTTONCHECKED: {
      const int i = Find(*bar, wParam, false);
      if (i < 0) return 0;
      return (bar->buttons[static_cast<size_t>(i)].state &
              (message == TB_ISBUTTONENABLED ? TBSTATE_ENABLED : TBSTATE_CHECKED)) != 0;
    }
    case TB_BUTTONCOUNT:
      return static_cast<LRESULT>(bar->buttons.size());
    case TB_GETBUTTONINFOW:
    case TB_SETBUTTONINFOW:
      return ButtonInfo(*bar, hwnd, message, wParam, reinterpret_cast<TBBUTTONINFOW*>(lParam));
    case SHCMBM_GETMENU:
      return reinterpret_cast<LRESULT>(bar->menu);
    case SHCMBM_GETSUBMENU: {
      const int i = Find(*bar, static_cast<WPARAM>(lParam), false);
      return i < 0 ? 0 : reinterpret_cast<LRESULT>(bar->buttons[static_cast<size_t>(i)].popup);
    }
    case SHCMBM_SETSUBMENU: {
      const int i = Find(*bar, wParam, false);
      if (i < 0) return 0;
      Button& b = bar->buttons[static_cast<size_t>(i)];
      HMENU old = b.popup;
      b.popup = reinterpret_cast<HMENU>(lParam);
      return reinterpret_cast<LRESULT>(old);
    }
    case WM_SETTINGCHANGE:
      Dock(hwnd);
      return 0;
    case WM_NCDESTROY:
      Unhook(hwnd);
      if (bar->menu) DestroyMenu(bar->menu);
      delete bar;
      SetWindowLongW(hwnd, 0, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void RegisterBarClass() {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = BarProc;
    wc.cbWndExtra = sizeof(void*);
    wc.lpszClassName = kMenuBarClass;
    return RegisterClassW(&wc) != 0;
  }();
  (void)registered;
}

// One button per top-level item of the menu.
std::vector<Button> ButtonsOf(HMENU menu) {
  std::vector<Button> out;
  const int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    Button b;
    wchar_t text[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
    b.label = text;
    b.popup = GetSubMenu(menu, i);
    if (!b.popup) b.command = GetMenuItemID(menu, i);
    if (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_GRAYED) b.state &= ~TBSTATE_ENABLED;
    out.push_back(std::move(b));
  }
  return out;
}

}  // namespace

void KeepAboveBar(HWND dialog) {
  if (!IsWindow(dialog)) return;
  {
    std::lock_guard<std::mutex> g(HookLock());
    Hooked(dialog).fillsAboveBar = true;
  }
  FillAboveBar(dialog);
}

BOOL TranslateSoftKey(const MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_KEYUP)) return FALSE;
  if (msg->wParam != VK_TSOFT1 && msg->wParam != VK_TSOFT2) return FALSE;
  HWND hwnd = SHFindMenuBar(msg->hwnd);
  Bar* bar = hwnd ? BarOf(hwnd) : nullptr;
  if (!bar) return FALSE;
  const int i = msg->wParam == VK_TSOFT1 ? 0 : 1;
  if (i >= static_cast<int>(bar->buttons.size())) return TRUE;
  // A held key repeats its downs; the button acts once, when the key is released.
  if (msg->message == WM_KEYDOWN) {
    bar->keyDown = i;
    return TRUE;
  }
  if (bar->keyDown != i) return TRUE;
  bar->keyDown = -1;
  Press(hwnd, *bar, i);
  return TRUE;
}

}  // namespace qv::shell

HWND SHFindMenuBar(HWND hwnd) {
  HWND top = hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr;
  if (!top) return nullptr;
  wchar_t cls[16] = {};
  if (GetClassNameW(top, cls, 16) && std::wstring(cls) == qv::shell::kMenuBarClass) return top;
  HWND bar = qv::shell::HookOf(top).bar;
  return bar && IsWindow(bar) ? bar : nullptr;
}

BOOL SHCreateMenuBar(PSHMENUBARINFO info) {
  using namespace qv::shell;
  if (!info || info->cbSize < sizeof(SHMENUBARINFO) || !IsWindow(info->hwndParent)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  HMENU menu = nullptr;
  if (!(info->dwFlags & SHCMBF_EMPTYBAR)) {
    // Only menu resources make bars here: toolbar resources are not ours.
    if (!(info->dwFlags & SHCMBF_HMENU)) {
      SetLastError(ERROR_NOT_SUPPORTED);
      return FALSE;
    }
    menu = LoadMenuW(info->hInstRes, MAKEINTRESOURCEW(info->nToolBarId));
    if (!menu) return FALSE;
  }
  HWND top = GetAncestor(info->hwndParent, GA_ROOT);
  if (HWND old = SHFindMenuBar(top)) DestroyWindow(old);
  RegisterBarClass();
  // A window that takes the whole screen leaves the bar its strip.
  const auto screen = qv::ui::CurrentProfile();
  RECT at{};
  GetWindowRect(top, &at);
  if (at.left == 0 && at.top == 0 && at.right == screen.width && at.bottom == screen.height) {
    SetWindowPos(top, nullptr, 0, 0, screen.width, screen.height - kMenuBarHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // Shown with its window: one made before its window shows waits for it.
  const bool wanted = !(info->dwFlags & SHCMBF_HIDDEN);
  const bool ownerShown = IsWindowVisible(top) != FALSE;
  // Made hidden and shown without activation: a bar made again while a field
  // of its window has the focus (a page's menu changing) leaves it there.
  HWND hwnd = CreateWindowExW(0, kMenuBarClass, L"", kMenuBarStyle & ~WS_VISIBLE, 0, screen.height - kMenuBarHeight,
                              screen.width, kMenuBarHeight, top, nullptr, nullptr, nullptr);
  if (!hwnd) {
    if (menu) DestroyMenu(menu);
    return FALSE;
  }
  auto* bar = new Bar;
  bar->owner = info->hwndParent;
  bar->menu = menu;
  if (menu) bar->buttons = ButtonsOf(menu);
  bar->ownBackground = (info->dwFlags & SHCMBF_COLORBK) != 0;
  bar->background = info->clrBk;
  bar->hiddenWithOwner = wanted && !ownerShown;
  SetWindowLongW(hwnd, 0, reinterpret_cast<LONG_PTR>(bar));
  Hook(top, hwnd);
  Raise(hwnd, top);
  if (wanted && ownerShown && (kMenuBarStyle & WS_VISIBLE)) ShowWindow(hwnd, SW_SHOWNA);
  InvalidateRect(hwnd, nullptr, TRUE);
  info->hwndMB = hwnd;
  return TRUE;
}
