#include "platform/ui/menu/MenuWindow.h"

#include <algorithm>
#include <string>

#include "platform/gdi/Gdi.h"
#include "platform/ui/metrics/Metrics.h"
#include "platform/ui/theme/StylePainter.h"
#include "platform/ui/window/Paint.h"

namespace qv::ui {
namespace {

constexpr int kMinWidth = 200;

// What of `text` the two columns show: before and after the first tab.
std::pair<std::wstring, std::wstring> Columns(const std::wstring& text) {
  const size_t tab = text.find(L'\t');
  if (tab == std::wstring::npos) return {text, L""};
  return {text.substr(0, tab), text.substr(tab + 1)};
}

LONG TextWidth(HDC dc, const std::wstring& text) {
  if (text.empty()) return 0;
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_SINGLELINE);
  return r.right - r.left;
}

// Moves [*from, *from + length) inside [0, limit), flipping to the other
// side of `pivot` first when that fits.
void Fit(LONG* from, LONG length, LONG limit, LONG pivot, bool mayFlip) {
  if (*from + length > limit && mayFlip && pivot - length >= 0) *from = pivot - length;
  if (*from < 0 && mayFlip && pivot + length <= limit) *from = pivot;
  *from = std::clamp<LONG>(*from, 0, std::max<LONG>(0, limit - length));
}

bool Overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

MenuLayout LayOutMenu(HMENU menu) {
  MenuLayout l;
  const int frame = StylePainter::kFrame;
  const LONG itemHeight = GetSystemMetrics(SM_CYMENU);
  std::vector<std::pair<bool, std::wstring>> items;  // separator, text
  {
    auto lock = LockMenus();
    if (MenuData* m = MenuOf(menu)) {
      for (const MenuItem& i : m->items) items.emplace_back(i.IsSeparator(), i.text);
    }
  }
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  LONG left = 0;
  LONG right = 0;
  LONG y = frame;
  for (const auto& [separator, text] : items) {
    const LONG height = separator ? StylePainter::kMenuSeparator : itemHeight;
    l.items.push_back({frame, y, 0, y + height});
    y += height;
    if (separator) continue;
    const auto [before, after] = Columns(text);
    left = std::max(left, TextWidth(dc, before));
    right = std::max(right, TextWidth(dc, after));
  }
  SelectObject(dc, oldFont);
  DeleteDC(dc);
  LONG width = StylePainter::kMenuCheckColumn + left + (right ? StylePainter::kMenuTextGap + right : 0) +
               StylePainter::kMenuArrowColumn + 2 * frame;
  width = std::clamp<LONG>(width, kMinWidth, GetSystemMetrics(SM_CXSCREEN));
  for (RECT& r : l.items) r.right = width - frame;
  l.size = {width, std::min<LONG>(y + frame, GetSystemMetrics(SM_CYSCREEN))};
  return l;
}

RECT PlacePopup(SIZE size, POINT at, UINT flags, const RECT* exclude) {
  const LONG screenW = GetSystemMetrics(SM_CXSCREEN);
  const LONG screenH = GetSystemMetrics(SM_CYSCREEN);
  LONG x = at.x;
  LONG y = at.y;
  if (flags & TPM_RIGHTALIGN)
    x -= size.cx;
  else if (flags & TPM_CENTERALIGN)
    x -= size.cx / 2;
  if (flags & TPM_BOTTOMALIGN)
    y -= size.cy;
  else if (flags & TPM_VCENTERALIGN)
    y -= size.cy / 2;
  const bool centredX = (flags & TPM_CENTERALIGN) && !(flags & TPM_RIGHTALIGN);
  const bool centredY = (flags & TPM_VCENTERALIGN) && !(flags & TPM_BOTTOMALIGN);
  Fit(&x, size.cx, screenW, at.x, !centredX);
  Fit(&y, size.cy, screenH, at.y, !centredY);
  RECT r{x, y, x + size.cx, y + size.cy};
  if (exclude && Overlap(r, *exclude)) {
    // Beside the rectangle: below or above it (TPM_VERTICAL), else right or left of it.
    if (flags & TPM_VERTICAL) {
      y = exclude->bottom + size.cy <= screenH ? exclude->bottom : exclude->top - size.cy;
      Fit(&y, size.cy, screenH, y, false);
    } else {
      x = exclude->right + size.cx <= screenW ? exclude->right : exclude->left - size.cx;
      Fit(&x, size.cx, screenW, x, false);
    }
    r = {x, y, x + size.cx, y + size.cy};
  }
  return r;
}

RECT PlaceCascade(SIZE size, const RECT& parent, const RECT& item) {
  const LONG screenW = GetSystemMetrics(SM_CXSCREEN);
  const LONG screenH = GetSystemMetrics(SM_CYSCREEN);
  const int frame = StylePainter::kFrame;
  LONG x = parent.right - frame;
  if (x + size.cx > screenW && parent.left + frame - size.cx >= 0) x = parent.left + frame - size.cx;
  LONG y = item.top - frame;
  Fit(&x, size.cx, screenW, x, false);
  Fit(&y, size.cy, screenH, y, false);
  return {x, y, x + size.cx, y + size.cy};
}

LRESULT MenuWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      HMENU menu = nullptr;
      const int selected = SelectedItemOf(hwnd, &menu);
      const MenuLayout l = LayOutMenu(menu);
      RECT client;
      GetClientRect(hwnd, &client);
      StylePainter::PaintMenuBackground(dc, client);
      HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
      std::vector<std::pair<MenuItemLook, std::wstring>> looks;
      {
        auto lock = LockMenus();
        if (MenuData* m = MenuOf(menu)) {
          for (size_t n = 0; n < m->items.size() && n < l.items.size(); ++n) {
            const MenuItem& i = m->items[n];
            MenuItemLook look;
            look.selected = static_cast<int>(n) == selected;
            look.disabled = i.IsDisabled();
            look.checked = (i.state & MF_CHECKED) != 0;
            look.radio = (i.type & MFT_RADIOCHECK) != 0;
            look.cascade = i.popup != nullptr;
            look.separator = i.IsSeparator();
            looks.emplace_back(look, i.text);
          }
        }
      }
      for (size_t n = 0; n < looks.size(); ++n) {
        StylePainter::PaintMenuItem(dc, l.items[n], looks[n].second.c_str(), looks[n].first);
      }
      SelectObject(dc, oldFont);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the paint covers it all
    case WM_CANCELMODE:
      CancelMenuFor(hwnd);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace qv::ui
