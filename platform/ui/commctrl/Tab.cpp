// The "SysTabControl32" class. Its tabs live in a state object the window's
// first extra slot points to; they are laid out left to right in one row,
// each as wide as its text, at the top of the control (TCS_BOTTOM: at the
// bottom). The rest of the control is the display area for the pages.
#include "platform/ui/commctrl/Tab.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/ui/commctrl/Notify.h"
#include "platform/ui/controls/ControlClasses.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/input/Keyboard.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/theme/StylePainter.h"
#include "platform/ui/window/Paint.h"

namespace qv::ui {
namespace {

struct TabItem {
  std::wstring text;
  int image = -1;
  LPARAM param = 0;
  DWORD state = 0;
};

struct TabState {
  std::vector<TabItem> items;
  int selected = -1;
  int pressed = -1;  // the tab the stylus went down on
};

TabState* StateOf(HWND hwnd) { return StateObject<TabState>(hwnd); }
bool Valid(const TabState* s, int i) { return s && i >= 0 && i < static_cast<int>(s->items.size()); }
bool AtBottom(HWND hwnd) { return (GetWindowLongW(hwnd, GWL_STYLE) & TCS_BOTTOM) != 0; }

HFONT UsedFont(HWND hwnd) {
  HFONT font = ControlFont(hwnd);
  return font ? font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

int RowHeight(HWND hwnd) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, UsedFont(hwnd));
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  DeleteDC(dc);
  return tm.tmHeight + 2 * StylePainter::kTabPadding;
}

RECT ItemRect(HWND hwnd, const TabState& s, int index) {
  RECT client{};
  GetClientRect(hwnd, &client);
  const int row = RowHeight(hwnd);
  const LONG top = AtBottom(hwnd) ? client.bottom - row : 0;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, UsedFont(hwnd));
  LONG x = 0, width = 0;
  for (int i = 0; i <= index; ++i) {
    const std::wstring& t = s.items[static_cast<size_t>(i)].text;
    SIZE extent{};
    GetTextExtentPoint32W(dc, t.c_str(), static_cast<int>(t.size()), &extent);
    x += width;
    width = std::max<LONG>(extent.cx + 2 * StylePainter::kTabPadding, StylePainter::kTabMinWidth);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  return {x, top, x + width, top + row};
}

int HitTest(HWND hwnd, const TabState& s, POINT pt) {
  for (int i = 0; i < static_cast<int>(s.items.size()); ++i) {
    const RECT r = ItemRect(hwnd, s, i);
    if (PtInRect(&r, pt)) return i;
  }
  return -1;
}

// Between the control's rectangle and its display area (larger: the other way).
void Adjust(HWND hwnd, bool larger, RECT* r) {
  const int row = RowHeight(hwnd) + StylePainter::kFrame;
  const int frame = StylePainter::kFrame;
  const int sign = larger ? -1 : 1;
  r->left += sign * frame;
  r->right -= sign * frame;
  if (AtBottom(hwnd)) {
    r->top += sign * frame;
    r->bottom -= sign * row;
  } else {
    r->top += sign * row;
    r->bottom -= sign * frame;
  }
}

LRESULT Notify(HWND hwnd, UINT code) {
  NMHDR nm{};
  return ParentNotify(hwnd, &nm, code);
}

// A choice the user makes: the parent may keep the tab it has.
void Choose(HWND hwnd, int index) {
  TabState* s = StateOf(hwnd);
  if (!Valid(s, index) || index == s->selected) return;
  if (Notify(hwnd, TCN_SELCHANGING)) return;
  s = StateOf(hwnd);  // the parent may have changed the tabs meanwhile
  if (!Valid(s, index)) return;
  s->selected = index;
  InvalidateRect(hwnd, nullptr, TRUE);
  Notify(hwnd, TCN_SELCHANGE);
}

void Paint(HWND hwnd, HDC dc) {
  RECT client{};
  GetClientRect(hwnd, &client);
  TabState* s = StateOf(hwnd);
  const qv::ScopedSelectObject withFont(dc, UsedFont(hwnd));
  const bool bottom = AtBottom(hwnd);
  const int row = RowHeight(hwnd);
  const RECT strip = bottom ? RECT{client.left, client.bottom - row, client.right, client.bottom}
                            : RECT{client.left, client.top, client.right, client.top + row};
  StylePainter::PaintTabStrip(dc, strip, bottom);
  const bool focused = GetFocus() == hwnd;
  const bool disabled = !IsWindowEnabled(hwnd);
  for (int i = 0; s && i < static_cast<int>(s->items.size()); ++i) {
    const RECT r = ItemRect(hwnd, *s, i);
    ControlState look;
    look.pressed = i == s->pressed;
    look.focused = focused && i == s->selected;
    look.disabled = disabled;
    StylePainter::PaintTab(dc, r, s->items[static_cast<size_t>(i)].text.c_str(), i == s->selected, bottom, look);
  }
}

LRESULT InsertItem(HWND hwnd, TabState& s, int index, const TCITEMW* item) {
  if (!item || index < 0) return -1;
  TabItem t;
  if ((item->mask & TCIF_TEXT) && item->pszText) t.text = item->pszText;
  if (item->mask & TCIF_IMAGE) t.image = item->iImage;
  if (item->mask & TCIF_PARAM) t.param = item->lParam;
  if (item->mask & TCIF_STATE) t.state = item->dwState & item->dwStateMask;
  index = std::min(index, static_cast<int>(s.items.size()));
  s.items.insert(s.items.begin() + index, std::move(t));
  if (s.selected < 0) s.selected = 0;
  else if (index <= s.selected) ++s.selected;
  InvalidateRect(hwnd, nullptr, TRUE);
  return index;
}

LRESULT DeleteItem(HWND hwnd, TabState& s, int index) {
  if (!Valid(&s, index)) return FALSE;
  s.items.erase(s.items.begin() + index);
  // The chosen tab stays chosen; a deleted choice leaves none.
  if (index == s.selected) s.selected = -1;
  else if (index < s.selected) --s.selected;
  s.pressed = -1;
  InvalidateRect(hwnd, nullptr, TRUE);
  return TRUE;
}

LRESULT GetItem(const TabState& s, int index, TCITEMW* item) {
  if (!Valid(&s, index) || !item) return FALSE;
  const TabItem& t = s.items[static_cast<size_t>(index)];
  if ((item->mask & TCIF_TEXT) && item->pszText && item->cchTextMax > 0) {
    const size_t n = std::min(t.text.size(), static_cast<size_t>(item->cchTextMax - 1));
    std::wmemcpy(item->pszText, t.text.c_str(), n);
    item->pszText[n] = L'\0';
  }
  if (item->mask & TCIF_IMAGE) item->iImage = t.image;
  if (item->mask & TCIF_PARAM) item->lParam = t.param;
  if (item->mask & TCIF_STATE) item->dwState = t.state & item->dwStateMask;
  return TRUE;
}

LRESULT SetItem(HWND hwnd, TabState& s, int index, const TCITEMW* item) {
  if (!Valid(&s, index) || !item) return FALSE;
  TabItem& t = s.items[static_cast<size_t>(index)];
  if (item->mask & TCIF_TEXT) t.text = item->pszText ? item->pszText : L"";
  if (item->mask & TCIF_IMAGE) t.image = item->iImage;
  if (item->mask & TCIF_PARAM) t.param = item->lParam;
  if (item->mask & TCIF_STATE) t.state = (t.state & ~item->dwStateMask) | (item->dwState & item->dwStateMask);
  InvalidateRect(hwnd, nullptr, TRUE);
  return TRUE;
}

LRESULT KeyDown(HWND hwnd, TabState& s, WPARAM key) {
  NMTCKEYDOWN nm{{}, static_cast<WORD>(key), 0};
  ParentNotify(hwnd, &nm.hdr, TCN_KEYDOWN);
  const int count = static_cast<int>(s.items.size());
  if (count == 0) return 0;
  int to = s.selected;
  if (key == VK_LEFT) to = s.selected <= 0 ? 0 : s.selected - 1;
  else if (key == VK_RIGHT) to = std::min(s.selected + 1, count - 1);
  else if (key == VK_HOME) to = 0;
  else if (key == VK_END) to = count - 1;
  Choose(hwnd, to);
  return 0;
}

}  // namespace

LRESULT TabProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (auto r = StateLifetime<TabState>(hwnd, message, wParam, lParam,
                                       [](TabState&, const CREATESTRUCTW*) { return true; })) {
    return *r;
  }
  TabState* s = StateOf(hwnd);
  if (!s) return DefWindowProcW(hwnd, message, wParam, lParam);
  const int index = static_cast<int>(wParam);
  switch (message) {
    case TCM_GETITEMCOUNT:
      return static_cast<LRESULT>(s->items.size());
    case TCM_INSERTITEMW:
      return InsertItem(hwnd, *s, index, reinterpret_cast<const TCITEMW*>(lParam));
    case TCM_DELETEITEM:
      return DeleteItem(hwnd, *s, index);
    case TCM_DELETEALLITEMS:
      s->items.clear();
      s->selected = s->pressed = -1;
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    case TCM_GETITEMW:
      return GetItem(*s, index, reinterpret_cast<TCITEMW*>(lParam));
    case TCM_SETITEMW:
      return SetItem(hwnd, *s, index, reinterpret_cast<const TCITEMW*>(lParam));
    case TCM_GETCURSEL:
      return s->selected;
    case TCM_SETCURSEL: {
      if (!Valid(s, index)) return -1;
      const int was = s->selected;
      s->selected = index;
      InvalidateRect(hwnd, nullptr, TRUE);
      return was;
    }
    case TCM_GETITEMRECT: {
      auto* out = reinterpret_cast<RECT*>(lParam);
      if (!Valid(s, index) || !out) return FALSE;
      *out = ItemRect(hwnd, *s, index);
      return TRUE;
    }
    case TCM_HITTEST: {
      auto* info = reinterpret_cast<TCHITTESTINFO*>(lParam);
      if (!info) return -1;
      const int hit = HitTest(hwnd, *s, info->pt);
      info->flags = hit < 0 ? TCHT_NOWHERE : TCHT_ONITEMLABEL;
      return hit;
    }
    case TCM_ADJUSTRECT:
      if (auto* r = reinterpret_cast<RECT*>(lParam)) Adjust(hwnd, wParam != 0, r);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {  // a second tap soon after the first is a tap all the same
      const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      s->pressed = HitTest(hwnd, *s, pt);
      if (s->pressed < 0) return 0;
      if (!(GetWindowLongW(hwnd, GWL_STYLE) & TCS_FOCUSNEVER)) SetFocus(hwnd);
      SetCapture(hwnd);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case WM_LBUTTONUP: {
      const int pressed = s->pressed;
      if (pressed < 0) return 0;
      s->pressed = -1;
      ReleaseCapture();
      InvalidateRect(hwnd, nullptr, TRUE);
      const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (HitTest(hwnd, *s, pt) == pressed) Choose(hwnd, pressed);
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (s->pressed >= 0) {
        s->pressed = -1;
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    case WM_KEYDOWN:
      return KeyDown(hwnd, *s, wParam);
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_SHOWWINDOW:
      if (HWND parent = GetParent(hwnd)) PostMessageW(parent, kTabRowShown, wParam, reinterpret_cast<LPARAM>(hwnd));
      return DefWindowProcW(hwnd, message, wParam, lParam);
    default:
      break;
  }
  if (auto r = ControlBasics(hwnd, message, wParam, lParam, Paint)) return *r;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace qv::ui
