// The "SysHeader32" class. Its titles live in a state object the window's
// first extra slot points to. A press on a divider starts tracking (unless
// the parent refuses it); a press on a title, released over the same title,
// clicks it.
#include "platform/ui/commctrl/Header.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/ui/commctrl/Notify.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/ControlClasses.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/theme/StylePainter.h"
#include "platform/ui/window/Paint.h"

namespace qv::ui {
namespace {

// How far from a title's right edge a press still takes the divider.
constexpr int kDividerGrip = 10;

struct Title {
  int width = 0;
  std::wstring text;
  int fmt = HDF_LEFT | HDF_STRING;
  LPARAM param = 0;
  int image = 0;
  int order = 0;
};

struct HeaderState {
  std::vector<Title> titles;
  HIMAGELIST images = nullptr;
  int pressed = -1;  // the title held down
  bool pressedInside = false;
  int tracking = -1;  // the title whose divider moves
  int trackFromX = 0;
  int trackFromWidth = 0;
};

HeaderState* StateOf(HWND hwnd) { return reinterpret_cast<HeaderState*>(GetWindowLongW(hwnd, kStateSlot)); }
bool Valid(const HeaderState* s, int i) { return s && i >= 0 && i < static_cast<int>(s->titles.size()); }

RECT TitleRect(HWND hwnd, const HeaderState& s, int index) {
  RECT client{};
  GetClientRect(hwnd, &client);
  LONG x = 0;
  for (int i = 0; i < index; ++i) x += s.titles[static_cast<size_t>(i)].width;
  return {x, 0, x + s.titles[static_cast<size_t>(index)].width, client.bottom};
}

LRESULT Notify(HWND hwnd, UINT code, int item, HDITEMW* pitem) {
  NMHEADERW nm{};
  nm.iItem = item;
  nm.pitem = pitem;
  return ParentNotify(hwnd, &nm.hdr, code);
}

// Where a point lies: the divider wins over the title it ends.
HDHITTESTINFO HitTest(HWND hwnd, const HeaderState& s, POINT pt) {
  HDHITTESTINFO hit{pt, HHT_NOWHERE, -1};
  RECT client{};
  GetClientRect(hwnd, &client);
  if (pt.y < 0) hit.flags = HHT_ABOVE;
  else if (pt.y >= client.bottom) hit.flags = HHT_BELOW;
  else if (pt.x < 0) hit.flags = HHT_TOLEFT;
  else if (pt.x >= client.right) hit.flags = HHT_TORIGHT;
  if (hit.flags != HHT_NOWHERE) return hit;
  LONG x = 0;
  for (int i = 0; i < static_cast<int>(s.titles.size()); ++i) {
    const LONG right = x + s.titles[static_cast<size_t>(i)].width;
    if (std::abs(pt.x - right) <= kDividerGrip) return {pt, HHT_ONDIVIDER, i};
    if (pt.x >= x && pt.x < right) hit = {pt, HHT_ONHEADER, i};
    x = right;
  }
  return hit;
}

// Copies what `in` names into title `t`.
void Apply(Title& t, const HDITEMW& in) {
  if (in.mask & HDI_WIDTH) t.width = std::max(0, in.cxy);
  if (in.mask & HDI_TEXT) t.text = in.pszText ? std::wstring(in.pszText) : std::wstring();
  if (in.mask & HDI_FORMAT) t.fmt = in.fmt;
  if (in.mask & HDI_LPARAM) t.param = in.lParam;
  if (in.mask & HDI_IMAGE) t.image = in.iImage;
  if (in.mask & HDI_ORDER) t.order = in.iOrder;
}

void Fill(const Title& t, HDITEMW* out) {
  if (out->mask & HDI_WIDTH) out->cxy = t.width;
  if (out->mask & HDI_TEXT) CopyText(t.text, out->pszText, out->cchTextMax);
  if (out->mask & HDI_FORMAT) out->fmt = t.fmt;
  if (out->mask & HDI_LPARAM) out->lParam = t.param;
  if (out->mask & HDI_IMAGE) out->iImage = t.image;
  if (out->mask & HDI_ORDER) out->iOrder = t.order;
}

// A change the parent may refuse (HDN_ITEMCHANGING answered TRUE).
bool Change(HWND hwnd, int index, const HDITEMW& in) {
  HDITEMW copy = in;
  if (Notify(hwnd, HDN_ITEMCHANGINGW, index, &copy)) return false;
  HeaderState* s = StateOf(hwnd);
  if (!Valid(s, index)) return false;
  Apply(s->titles[static_cast<size_t>(index)], in);
  InvalidateRect(hwnd, nullptr, FALSE);
  copy = in;
  Notify(hwnd, HDN_ITEMCHANGEDW, index, &copy);
  return true;
}

int Height(HWND hwnd) {
  return FontLineHeight(hwnd, ControlFont(hwnd)) + 2 * StylePainter::kItemPadding;
}

UINT TextFormat(int fmt) {
  const UINT align = (fmt & HDF_JUSTIFYMASK) == HDF_RIGHT ? DT_RIGHT : (fmt & HDF_JUSTIFYMASK) == HDF_CENTER ? DT_CENTER : DT_LEFT;
  return align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
}

void Paint(HWND hwnd, HDC dc) {
  HeaderState* s = StateOf(hwnd);
  RECT client{};
  GetClientRect(hwnd, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  if (!s) return;
  HGDIOBJ oldFont = ControlFont(hwnd) ? SelectObject(dc, ControlFont(hwnd)) : nullptr;
  for (int i = 0; i < static_cast<int>(s->titles.size()); ++i) {
    const Title& t = s->titles[static_cast<size_t>(i)];
    const RECT r = TitleRect(hwnd, *s, i);
    if (r.left >= client.right) break;
    const bool down = s->pressed == i && s->pressedInside;
    if (t.fmt & HDF_OWNERDRAW) {
      DRAWITEMSTRUCT dis{};
      dis.CtlType = ODT_HEADER;
      dis.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
      dis.itemID = static_cast<UINT>(i);
      dis.itemAction = ODA_DRAWENTIRE;
      dis.itemState = down ? ODS_SELECTED : 0u;
      dis.hwndItem = hwnd;
      dis.hDC = dc;
      dis.rcItem = r;
      dis.itemData = static_cast<ULONG_PTR>(t.param);
      SendMessageW(GetParent(hwnd), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
      continue;
    }
    const int sort = (t.fmt & HDF_SORTUP) ? 1 : (t.fmt & HDF_SORTDOWN) ? 2 : 0;
    StylePainter::PaintHeaderItem(dc, r, t.text.c_str(), TextFormat(t.fmt), sort, down);
  }
  if (oldFont) SelectObject(dc, oldFont);
}

void EndPress(HWND hwnd, HeaderState* s) {
  const bool wasDown = s->pressed >= 0;
  s->pressed = -1;
  s->pressedInside = false;
  s->tracking = -1;
  if (wasDown) InvalidateRect(hwnd, nullptr, FALSE);
  if (GetCapture() == hwnd) ReleaseCapture();
}

void Press(HWND hwnd, HeaderState* s, POINT pt, bool doubleClick) {
  const HDHITTESTINFO hit = HitTest(hwnd, *s, pt);
  if (hit.flags & HHT_ONDIVIDER) {
    if (doubleClick) {
      Notify(hwnd, HDN_DIVIDERDBLCLICKW, hit.iItem, nullptr);
      return;
    }
    HDITEMW item{};
    item.mask = HDI_WIDTH;
    item.cxy = s->titles[static_cast<size_t>(hit.iItem)].width;
    if (Notify(hwnd, HDN_BEGINTRACKW, hit.iItem, &item)) return;  // the parent refuses
    s = StateOf(hwnd);
    if (!Valid(s, hit.iItem)) return;
    s->tracking = hit.iItem;
    s->trackFromX = pt.x;
    s->trackFromWidth = s->titles[static_cast<size_t>(hit.iItem)].width;
    SetCapture(hwnd);
    return;
  }
  if ((hit.flags & HHT_ONHEADER) && (GetWindowLongW(hwnd, GWL_STYLE) & HDS_BUTTONS)) {
    if (doubleClick) Notify(hwnd, HDN_ITEMDBLCLICKW, hit.iItem, nullptr);
    s = StateOf(hwnd);
    if (!Valid(s, hit.iItem)) return;
    s->pressed = hit.iItem;
    s->pressedInside = true;
    SetCapture(hwnd);
    InvalidateRect(hwnd, nullptr, FALSE);
  }
}

void Move(HWND hwnd, HeaderState* s, POINT pt) {
  if (s->tracking >= 0) {
    const int index = s->tracking;
    HDITEMW item{};
    item.mask = HDI_WIDTH;
    item.cxy = std::max(0, s->trackFromWidth + static_cast<int>(pt.x) - s->trackFromX);
    if (Notify(hwnd, HDN_TRACKW, index, &item)) {  // the parent ends tracking
      if ((s = StateOf(hwnd))) EndPress(hwnd, s);
      return;
    }
    Change(hwnd, index, item);
    return;
  }
  if (s->pressed >= 0) {
    RECT r = TitleRect(hwnd, *s, s->pressed);
    const bool inside = PtInRect(&r, pt) != FALSE;
    if (inside != s->pressedInside) {
      s->pressedInside = inside;
      InvalidateRect(hwnd, nullptr, FALSE);
    }
  }
}

void Release(HWND hwnd, HeaderState* s, POINT pt) {
  if (s->tracking >= 0) {
    const int index = s->tracking;
    HDITEMW item{};
    item.mask = HDI_WIDTH;
    item.cxy = s->titles[static_cast<size_t>(index)].width;
    EndPress(hwnd, s);
    Notify(hwnd, HDN_ENDTRACKW, index, &item);
    return;
  }
  if (s->pressed < 0) return;
  const int index = s->pressed;
  Move(hwnd, s, pt);
  const bool click = s->pressedInside;
  EndPress(hwnd, s);
  if (click) Notify(hwnd, HDN_ITEMCLICKW, index, nullptr);
}

POINT PointOf(LPARAM lParam) { return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

}  // namespace

LRESULT HeaderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  HeaderState* s = StateOf(hwnd);
  if (auto done = ControlBasics(hwnd, message, wParam, lParam, Paint)) return *done;
  switch (message) {
    case WM_CREATE:
      SetWindowLongW(hwnd, kStateSlot, reinterpret_cast<LONG_PTR>(new HeaderState));
      return 0;
    case WM_NCDESTROY:
      delete s;
      SetWindowLongW(hwnd, kStateSlot, 0);
      return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (s) Press(hwnd, s, PointOf(lParam), message == WM_LBUTTONDBLCLK);
      return 0;
    case WM_MOUSEMOVE:
      if (s && GetCapture() == hwnd) Move(hwnd, s, PointOf(lParam));
      return 0;
    case WM_LBUTTONUP:
      if (s && GetCapture() == hwnd) Release(hwnd, s, PointOf(lParam));
      return 0;
    case WM_CAPTURECHANGED:
      if (s && (s->pressed >= 0 || s->tracking >= 0) && reinterpret_cast<HWND>(lParam) != hwnd) EndPress(hwnd, s);
      return 0;
    case HDM_GETITEMCOUNT:
      return s ? static_cast<LRESULT>(s->titles.size()) : -1;
    case HDM_INSERTITEMW: {
      const auto* in = reinterpret_cast<const HDITEMW*>(lParam);
      if (!s || !in) return -1;
      const int at = std::clamp(static_cast<int>(wParam), 0, static_cast<int>(s->titles.size()));
      Title t;
      Apply(t, *in);
      s->titles.insert(s->titles.begin() + at, std::move(t));
      InvalidateRect(hwnd, nullptr, FALSE);
      return at;
    }
    case HDM_DELETEITEM: {
      const int at = static_cast<int>(wParam);
      if (!Valid(s, at)) return FALSE;
      s->titles.erase(s->titles.begin() + at);
      InvalidateRect(hwnd, nullptr, FALSE);
      return TRUE;
    }
    case HDM_GETITEMW: {
      auto* out = reinterpret_cast<HDITEMW*>(lParam);
      if (!Valid(s, static_cast<int>(wParam)) || !out) return FALSE;
      Fill(s->titles[wParam], out);
      return TRUE;
    }
    case HDM_SETITEMW: {
      const auto* in = reinterpret_cast<const HDITEMW*>(lParam);
      if (!Valid(s, static_cast<int>(wParam)) || !in) return FALSE;
      return Change(hwnd, static_cast<int>(wParam), *in) ? TRUE : FALSE;
    }
    case HDM_GETITEMRECT: {
      auto* out = reinterpret_cast<RECT*>(lParam);
      if (!Valid(s, static_cast<int>(wParam)) || !out) return FALSE;
      *out = TitleRect(hwnd, *s, static_cast<int>(wParam));
      return TRUE;
    }
    case HDM_HITTEST: {
      auto* hit = reinterpret_cast<HDHITTESTINFO*>(lParam);
      if (!s || !hit) return -1;
      *hit = HitTest(hwnd, *s, hit->pt);
      return hit->iItem;
    }
    case HDM_LAYOUT: {
      auto* layout = reinterpret_cast<HDLAYOUT*>(lParam);
      if (!layout || !layout->prc || !layout->pwpos) return FALSE;
      RECT& area = *layout->prc;
      const int height = (GetWindowLongW(hwnd, GWL_STYLE) & HDS_HIDDEN) ? 0 : Height(hwnd);
      *layout->pwpos = WINDOWPOS{hwnd, nullptr, area.left, area.top, area.right - area.left, height, SWP_NOZORDER};
      area.top += height;
      return TRUE;
    }
    case HDM_SETIMAGELIST: {
      if (!s) return 0;
      HIMAGELIST old = s->images;
      s->images = reinterpret_cast<HIMAGELIST>(lParam);
      return reinterpret_cast<LRESULT>(old);
    }
    case HDM_GETIMAGELIST:
      return s ? reinterpret_cast<LRESULT>(s->images) : 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace qv::ui
