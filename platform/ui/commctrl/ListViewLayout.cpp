// The list view's geometry. Each view lays its items out in lines that
// scroll as a whole: a report row, a column of the list (scrolled
// sideways), or a row of icons. `top` is the first line shown; everything
// here follows from it, the cell size and the client area.
#include <algorithm>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/ImageList.h"
#include "platform/ui/commctrl/ListViewState.h"
#include "platform/ui/input/Keyboard.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/ui/window/Paint.h"
#include "platform/ui/window/ScopedGetDC.h"

namespace qv::ui::listview {
namespace {

constexpr int kPad = StylePainter::kItemPadding;
constexpr int kLabelChars = 8;  // a small icon's or list entry's label, in text heights

SIZE ImageSize(HIMAGELIST list) {
  int w = 0;
  int h = 0;
  if (list) ImageList_GetIconSize(list, &w, &h);
  return {w, h};
}

bool Boxed(const ListState& s) { return (s.exStyle & LVS_EX_CHECKBOXES) != 0; }

int StateWidth(const ListState& s) {
  if (Boxed(s)) return StylePainter::kCheckBox + kPad;
  return s.images[LVSIL_STATE] ? ImageSize(s.images[LVSIL_STATE]).cx : 0;
}

int ColumnsWidth(const ListState& s) {
  int width = 0;
  for (const Column& c : s.columns) width += c.width;
  return width;
}

int RowsPerColumn(HWND hwnd, const ListState& s) {
  const RECT area = ItemArea(hwnd, s);
  return std::max(1, static_cast<int>(area.bottom - area.top) / std::max(1, s.rowHeight));
}

int PerRow(HWND hwnd, const ListState& s) {
  const RECT area = ItemArea(hwnd, s);
  return std::max(1, static_cast<int>(area.right - area.left) / std::max<int>(1, CellSize(hwnd, s).cx));
}

// The line an item lies on.
int LineOf(HWND hwnd, const ListState& s, int i) {
  switch (ViewOf(hwnd)) {
    case LVS_REPORT: return i;
    case LVS_LIST: return i / RowsPerColumn(hwnd, s);
    default: return i / PerRow(hwnd, s);
  }
}

// How deep a line is along the scrolling direction.
int LineSize(HWND hwnd, const ListState& s) {
  const SIZE cell = CellSize(hwnd, s);
  switch (ViewOf(hwnd)) {
    case LVS_LIST: return std::max<int>(1, cell.cx);
    default: return std::max<int>(1, cell.cy);
  }
}

void PlaceHeader(HWND hwnd, ListState& s) {
  if (!s.header) return;
  const bool shown = ViewOf(hwnd) == LVS_REPORT && !(StyleOf(hwnd) & LVS_NOCOLUMNHEADER);
  if (!shown) {
    s.headerHeight = 0;
    ShowWindow(s.header, SW_HIDE);
    return;
  }
  RECT client{};
  GetClientRect(hwnd, &client);
  WINDOWPOS pos{};
  HDLAYOUT layout{&client, &pos};
  SendMessageW(s.header, HDM_LAYOUT, 0, reinterpret_cast<LPARAM>(&layout));
  s.headerHeight = pos.cy;
  // The titles move sideways with the columns.
  SetWindowPos(s.header, nullptr, pos.x - s.scrollX, pos.y, pos.cx + s.scrollX, pos.cy,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void UpdateBars(HWND hwnd, ListState& s) {
  const int bar = ScrollBarOf(hwnd);
  const int other = bar == SB_VERT ? SB_HORZ : SB_VERT;
  const DWORD style = StyleOf(hwnd);
  const Lines l = LinesOf(hwnd, s);
  s.top = std::clamp(s.top, 0, std::max(0, l.total - std::max(1, l.page)));
  SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
  if (!(style & LVS_NOSCROLL)) {
    si.nMax = std::max(0, l.total - 1);
    si.nPage = static_cast<UINT>(std::max(0, l.page));
    si.nPos = s.top;
    SetScrollInfo(hwnd, bar, &si, TRUE);
  } else if (style & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL)) {
    SetScrollInfo(hwnd, bar, &si, TRUE);
  }
  const RECT area = ItemArea(hwnd, s);
  const int wide = ViewOf(hwnd) == LVS_REPORT && !(s.exStyle & LVS_EX_NOHSCROLL) ? ColumnsWidth(s) : 0;
  s.scrollX = std::clamp(s.scrollX, 0, std::max(0, wide - static_cast<int>(area.right - area.left)));
  if (wide > 0 && !(style & LVS_NOSCROLL)) {
    // A report wider than the list scrolls sideways by pixels.
    si = SCROLLINFO{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, wide - 1,
                    static_cast<UINT>(std::max<LONG>(0, area.right - area.left)), s.scrollX, 0};
    SetScrollInfo(hwnd, other, &si, TRUE);
  } else if (StyleOf(hwnd) & (other == SB_VERT ? WS_VSCROLL : WS_HSCROLL)) {
    si = SCROLLINFO{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
    SetScrollInfo(hwnd, other, &si, TRUE);
  }
}

}  // namespace

void Measure(HWND hwnd) {
  ListState* s = StateOf(hwnd);
  if (!s) return;
  s->textHeight = FontLineHeight(hwnd, s->font);
  const int small = ImageSize(s->images[LVSIL_SMALL]).cy;
  if ((StyleOf(hwnd) & LVS_OWNERDRAWFIXED) && ViewOf(hwnd) == LVS_REPORT && s->measuredHeight > 0) {
    // Once the owner answered WM_MEASUREITEM its height stays, whatever the font or images.
    s->rowHeight = s->measuredHeight;
    return;
  }
  if ((StyleOf(hwnd) & LVS_OWNERDRAWFIXED) && small > 0) {
    // Owner-drawn rows are as deep as the small images: the owner's way to choose.
    s->rowHeight = small;
    return;
  }
  s->rowHeight = std::max({s->textHeight + kPad, small, ImageSize(s->images[LVSIL_STATE]).cy,
                           Boxed(*s) ? StylePainter::kCheckBox + 4 : 0});
}

void Relayout(HWND hwnd) {
  ListState* s = StateOf(hwnd);
  if (!s || s->inLayout) return;
  s->inLayout = true;
  const int top = s->top;
  const int scrollX = s->scrollX;
  // Showing or hiding a scroll bar changes the client, and with it the lines.
  for (int pass = 0; pass < 3; ++pass) {
    RECT before{};
    GetClientRect(hwnd, &before);
    PlaceHeader(hwnd, *s);
    UpdateBars(hwnd, *s);
    RECT after{};
    GetClientRect(hwnd, &after);
    if (EqualRect(&before, &after)) break;
  }
  s->inLayout = false;
  if (s->top != top || s->scrollX != scrollX) InvalidateRect(hwnd, nullptr, FALSE);
}

RECT ItemArea(HWND hwnd, const ListState& s) {
  RECT area{};
  GetClientRect(hwnd, &area);
  if (ViewOf(hwnd) == LVS_REPORT) area.top = std::min<LONG>(area.bottom, s.headerHeight);
  return area;
}

SIZE CellSize(HWND hwnd, const ListState& s) {
  const int label = LabelInset(s) + kLabelChars * s.textHeight + 2 * kPad;
  switch (ViewOf(hwnd)) {
    case LVS_REPORT: return {ColumnsWidth(s), s.rowHeight};
    case LVS_LIST: return {s.listColumnWidth > 0 ? s.listColumnWidth : label, s.rowHeight};
    case LVS_SMALLICON: return {label, s.rowHeight};
    default: {
      const SIZE icon = ImageSize(s.images[LVSIL_NORMAL]);
      return {std::max<LONG>(icon.cx + 2 * kPad, 5 * s.textHeight) + StateWidth(s),
              icon.cy + 2 * s.textHeight + 3 * kPad};
    }
  }
}

Lines LinesOf(HWND hwnd, const ListState& s) {
  const RECT area = ItemArea(hwnd, s);
  const int count = Count(s);
  const SIZE cell = CellSize(hwnd, s);
  const int height = area.bottom - area.top;
  const int width = area.right - area.left;
  switch (ViewOf(hwnd)) {
    case LVS_REPORT: return {count, height / std::max(1, s.rowHeight)};
    case LVS_LIST: {
      const int rows = RowsPerColumn(hwnd, s);
      return {(count + rows - 1) / rows, width / std::max<int>(1, cell.cx)};
    }
    default: {
      const int perRow = PerRow(hwnd, s);
      return {(count + perRow - 1) / perRow, height / std::max<int>(1, cell.cy)};
    }
  }
}

int ScrollBarOf(HWND hwnd) { return ViewOf(hwnd) == LVS_LIST ? SB_HORZ : SB_VERT; }

RECT Bounds(HWND hwnd, const ListState& s, int i) {
  const RECT area = ItemArea(hwnd, s);
  const SIZE cell = CellSize(hwnd, s);
  POINT at{area.left, area.top};
  switch (ViewOf(hwnd)) {
    case LVS_REPORT:
      at.x -= s.scrollX;
      at.y += (i - s.top) * s.rowHeight;
      break;
    case LVS_LIST: {
      const int rows = RowsPerColumn(hwnd, s);
      at.x += (i / rows - s.top) * cell.cx;
      at.y += (i % rows) * s.rowHeight;
      break;
    }
    default: {
      const int perRow = PerRow(hwnd, s);
      at.x += (i % perRow) * cell.cx;
      at.y += (i / perRow - s.top) * cell.cy;
      break;
    }
  }
  return {at.x, at.y, at.x + cell.cx, at.y + cell.cy};
}

int LabelInset(const ListState& s) {
  const SIZE small = ImageSize(s.images[LVSIL_SMALL]);
  return kPad / 2 + StateWidth(s) + (small.cx > 0 ? small.cx + kPad / 2 : 0);
}

Parts PartsOf(HWND hwnd, const ListState& s, int i) {
  Parts p;
  p.bounds = Bounds(hwnd, s, i);
  const RECT& b = p.bounds;
  const int stateWidth = StateWidth(s);
  if (ViewOf(hwnd) == LVS_ICON) {
    const SIZE icon = ImageSize(s.images[LVSIL_NORMAL]);
    const LONG middle = (b.left + stateWidth + b.right) / 2;
    p.state = {b.left, b.top + kPad, b.left + stateWidth, b.top + kPad + std::max<LONG>(icon.cy, StylePainter::kCheckBox)};
    p.icon = {middle - icon.cx / 2, b.top + kPad, middle - icon.cx / 2 + icon.cx, b.top + kPad + icon.cy};
    p.label = {b.left, p.icon.bottom + kPad, b.right, b.bottom};
    return p;
  }
  const SIZE small = ImageSize(s.images[LVSIL_SMALL]);
  LONG x = b.left + kPad / 2;
  p.state = {x, b.top, x + stateWidth, b.bottom};
  x += stateWidth;
  p.icon = {x, b.top, x + small.cx, b.bottom};
  if (small.cx > 0) x += small.cx + kPad / 2;
  const LONG right = ViewOf(hwnd) == LVS_REPORT && !s.columns.empty() ? b.left + s.columns[0].width : b.right;
  p.label = {std::min(x, right), b.top, right, b.bottom};
  return p;
}

RECT SubItemRect(const ListState& s, const RECT& bounds, int column) {
  LONG x = bounds.left;
  for (int c = 0; c < column && c < static_cast<int>(s.columns.size()); ++c) x += s.columns[static_cast<size_t>(c)].width;
  const LONG width = column < static_cast<int>(s.columns.size()) ? s.columns[static_cast<size_t>(column)].width : 0;
  return {x, bounds.top, x + width, bounds.bottom};
}

int ColumnAt(const ListState& s, const RECT& bounds, int x) {
  LONG left = bounds.left;
  for (size_t c = 0; c < s.columns.size(); ++c) {
    if (x >= left && x < left + s.columns[c].width) return static_cast<int>(c);
    left += s.columns[c].width;
  }
  return -1;
}

bool PartRect(HWND hwnd, const ListState& s, int i, int sub, int code, RECT* out) {
  const Parts p = PartsOf(hwnd, s, i);
  if (sub > 0 && ViewOf(hwnd) == LVS_REPORT) {
    if (sub >= static_cast<int>(s.columns.size())) return false;
    *out = SubItemRect(s, p.bounds, sub);
    return true;
  }
  switch (code) {
    case LVIR_BOUNDS: *out = p.bounds; return true;
    case LVIR_ICON: *out = p.icon; return true;
    case LVIR_LABEL: *out = p.label; return true;
    case LVIR_SELECTBOUNDS:
      UnionRect(out, &p.icon, &p.label);
      if (ViewOf(hwnd) == LVS_REPORT && (s.exStyle & LVS_EX_FULLROWSELECT)) out->right = p.bounds.right;
      return true;
    default: return false;
  }
}

void HitTest(HWND hwnd, const ListState& s, LVHITTESTINFO* hit, bool subItems) {
  hit->flags = 0;
  hit->iItem = -1;
  hit->iSubItem = 0;
  const POINT pt = hit->pt;
  RECT client{};
  GetClientRect(hwnd, &client);
  if (pt.y < client.top) hit->flags |= LVHT_ABOVE;
  if (pt.y >= client.bottom) hit->flags |= LVHT_BELOW;
  if (pt.x < client.left) hit->flags |= LVHT_TOLEFT;
  if (pt.x >= client.right) hit->flags |= LVHT_TORIGHT;
  if (hit->flags) return;
  hit->flags = LVHT_NOWHERE;
  const RECT area = ItemArea(hwnd, s);
  if (pt.y < area.top) return;  // the header
  const SIZE cell = CellSize(hwnd, s);
  int i = -1;
  switch (ViewOf(hwnd)) {
    case LVS_REPORT:
      i = s.top + (pt.y - area.top) / std::max(1, s.rowHeight);
      break;
    case LVS_LIST: {
      const int rows = RowsPerColumn(hwnd, s);
      const int row = (pt.y - area.top) / std::max(1, s.rowHeight);
      if (row < rows) i = (s.top + (pt.x - area.left) / std::max<int>(1, cell.cx)) * rows + row;
      break;
    }
    default: {
      const int perRow = PerRow(hwnd, s);
      const int column = (pt.x - area.left) / std::max<int>(1, cell.cx);
      if (column < perRow) i = (s.top + (pt.y - area.top) / std::max<int>(1, cell.cy)) * perRow + column;
      break;
    }
  }
  if (i < 0 || i >= Count(s)) return;  // below the last item: nothing
  const Parts p = PartsOf(hwnd, s, i);
  const bool report = ViewOf(hwnd) == LVS_REPORT;
  if (!IsRectEmpty(&p.state) && PtInRect(&p.state, pt)) hit->flags = LVHT_ONITEMSTATEICON;
  else if (PtInRect(&p.icon, pt)) hit->flags = LVHT_ONITEMICON;
  else if (PtInRect(&p.label, pt)) hit->flags = LVHT_ONITEMLABEL;
  else if (report && (subItems || (s.exStyle & LVS_EX_FULLROWSELECT)) && PtInRect(&p.bounds, pt)) hit->flags = LVHT_ONITEMLABEL;
  else return;
  hit->iItem = i;
  if (subItems && report) {
    const int column = ColumnAt(s, p.bounds, pt.x);
    hit->iSubItem = column >= 0 ? s.columns[static_cast<size_t>(column)].subItem : 0;
  }
}

std::pair<int, int> ItemsIn(HWND hwnd, const ListState& s, const RECT& r) {
  const int count = Count(s);
  const RECT area = ItemArea(hwnd, s);
  const SIZE cell = CellSize(hwnd, s);
  const int top = std::max(r.top, area.top) - area.top;
  const int bottom = std::min(r.bottom, area.bottom) - area.top;  // exclusive
  if (count == 0 || bottom <= top) return {0, -1};
  int first = 0;
  int last = -1;
  switch (ViewOf(hwnd)) {
    case LVS_REPORT:
      first = s.top + top / std::max(1, s.rowHeight);
      last = s.top + (bottom - 1) / std::max(1, s.rowHeight);
      break;
    case LVS_LIST: {
      const int rows = RowsPerColumn(hwnd, s);
      first = (s.top + std::max(0, static_cast<int>(r.left - area.left)) / std::max<int>(1, cell.cx)) * rows;
      last = (s.top + std::max(0, static_cast<int>(r.right - area.left - 1)) / std::max<int>(1, cell.cx) + 1) * rows - 1;
      break;
    }
    default: {
      const int perRow = PerRow(hwnd, s);
      first = (s.top + top / std::max<int>(1, cell.cy)) * perRow;
      last = (s.top + (bottom - 1) / std::max<int>(1, cell.cy) + 1) * perRow - 1;
      break;
    }
  }
  return {std::max(0, first), std::min(count - 1, last)};
}

int Neighbour(HWND hwnd, const ListState& s, int from, BYTE key) {
  const int count = Count(s);
  if (count == 0) return -1;
  const UINT view = ViewOf(hwnd);
  const bool moves = key == VK_HOME || key == VK_END || key == VK_UP || key == VK_DOWN || key == VK_PRIOR ||
                     key == VK_NEXT || ((key == VK_LEFT || key == VK_RIGHT) && view != LVS_REPORT);
  if (!moves) return -1;
  if (from < 0 || from >= count) return key == VK_END ? count - 1 : 0;  // the first move finds an end
  const Lines l = LinesOf(hwnd, s);
  int step = 0;  // the distance of one line
  int across = 0;
  switch (view) {
    case LVS_REPORT: step = 1; break;
    case LVS_LIST: step = 1; across = RowsPerColumn(hwnd, s); break;
    default: step = PerRow(hwnd, s); across = 1; break;
  }
  auto within = [&](int to) { return to >= 0 && to < count ? to : -1; };
  switch (key) {
    case VK_HOME: return 0;
    case VK_END: return count - 1;
    case VK_UP: return within(from - (view == LVS_LIST ? 1 : step));
    case VK_DOWN: return within(from + (view == LVS_LIST ? 1 : step));
    case VK_LEFT: return across ? within(from - across) : -1;
    case VK_RIGHT:
      if (!across) return -1;
      return view == LVS_LIST && from + across >= count && LineOf(hwnd, s, from) < LineOf(hwnd, s, count - 1) ? count - 1
                                                                                                              : within(from + across);
    case VK_PRIOR:
    case VK_NEXT: {
      const int page = std::max(1, l.page);
      if (view == LVS_REPORT) {
        // First to the edge of the page, then a page further.
        const int edge = key == VK_PRIOR ? s.top : std::min(count - 1, s.top + page - 1);
        if (from != edge) return edge;
        return std::clamp(key == VK_PRIOR ? from - (page - 1) : from + (page - 1), 0, count - 1);
      }
      const int lines = page * (view == LVS_LIST ? RowsPerColumn(hwnd, s) : step);
      return std::clamp(key == VK_PRIOR ? from - lines : from + lines, 0, count - 1);
    }
    default: return -1;
  }
}

int TopIndex(HWND hwnd, const ListState& s) {
  switch (ViewOf(hwnd)) {
    case LVS_REPORT: return std::min(s.top, std::max(0, Count(s) - 1));
    case LVS_LIST: return std::min(s.top * RowsPerColumn(hwnd, s), std::max(0, Count(s) - 1));
    default: return 0;
  }
}

int CountPerPage(HWND hwnd, const ListState& s) {
  const Lines l = LinesOf(hwnd, s);
  switch (ViewOf(hwnd)) {
    case LVS_REPORT: return l.page;
    case LVS_LIST: return l.page * RowsPerColumn(hwnd, s);
    default: return Count(s);
  }
}

BOOL EnsureVisible(HWND hwnd, int i, bool partialOk) {
  ListState* s = StateOf(hwnd);
  if (!s || i < 0 || i >= Count(*s)) return FALSE;
  const Lines l = LinesOf(hwnd, *s);
  const int line = LineOf(hwnd, *s, i);
  const int page = std::max(1, l.page);
  if (line < s->top) {
    ScrollTo(hwnd, line);
  } else if (line >= s->top + page) {
    const RECT area = ItemArea(hwnd, *s);
    const int depth = ViewOf(hwnd) == LVS_LIST ? area.right - area.left : area.bottom - area.top;
    const bool partlyShown = line == s->top + l.page && depth % LineSize(hwnd, *s) != 0;
    if (!(partialOk && partlyShown)) ScrollTo(hwnd, line - page + 1);
  }
  return TRUE;
}

void ScrollTo(HWND hwnd, int line) {
  ListState* s = StateOf(hwnd);
  if (!s) return;
  const Lines l = LinesOf(hwnd, *s);
  line = std::clamp(line, 0, std::max(0, l.total - std::max(1, l.page)));
  const int delta = line - s->top;
  if (delta == 0) return;
  s->top = line;
  RECT area = ItemArea(hwnd, *s);
  if (std::abs(delta) < std::max(1, l.page)) {
    const int by = -delta * LineSize(hwnd, *s);
    const bool sideways = ViewOf(hwnd) == LVS_LIST;
    ScrollWindowEx(hwnd, sideways ? by : 0, sideways ? 0 : by, &area, &area, nullptr, nullptr, SW_INVALIDATE);
  } else {
    InvalidateRect(hwnd, &area, FALSE);
  }
  SetScrollPos(hwnd, ScrollBarOf(hwnd), line, TRUE);
}

void ScrollSideways(HWND hwnd, int x) {
  ListState* s = StateOf(hwnd);
  if (!s || ViewOf(hwnd) != LVS_REPORT) return;
  RECT area = ItemArea(hwnd, *s);
  const int wide = (s->exStyle & LVS_EX_NOHSCROLL) ? 0 : ColumnsWidth(*s);
  x = std::clamp(x, 0, std::max(0, wide - static_cast<int>(area.right - area.left)));
  const int dx = s->scrollX - x;
  if (dx == 0) return;
  s->scrollX = x;
  ScrollWindowEx(hwnd, dx, 0, &area, &area, nullptr, nullptr, SW_INVALIDATE);
  PlaceHeader(hwnd, *s);
  SetScrollPos(hwnd, SB_HORZ, x, TRUE);
}

BOOL ScrollBy(HWND hwnd, int dx, int dy) {
  ListState* s = StateOf(hwnd);
  if (!s) return FALSE;
  if (ViewOf(hwnd) == LVS_REPORT && dx != 0) ScrollSideways(hwnd, s->scrollX + dx);
  if (ViewOf(hwnd) == LVS_REPORT && dy == 0) return TRUE;
  const int along = ViewOf(hwnd) == LVS_LIST ? dx : dy;
  int lines = along / LineSize(hwnd, *s);
  if (along != 0 && lines == 0) lines = along > 0 ? 1 : -1;
  ScrollTo(hwnd, s->top + lines);
  return TRUE;
}

LRESULT ApproximateViewRect(HWND hwnd, const ListState& s, int count, int width, int height) {
  RECT client{};
  GetClientRect(hwnd, &client);
  if (count < 0) count = Count(s);
  if (width < 0) width = client.right;
  if (height < 0) height = client.bottom;
  const SIZE cell = CellSize(hwnd, s);
  long long w = 0;
  long long h = 0;
  switch (ViewOf(hwnd)) {
    case LVS_REPORT:
      w = ColumnsWidth(s);
      h = static_cast<long long>(s.headerHeight) + static_cast<long long>(count) * s.rowHeight;
      break;
    case LVS_LIST: {
      const int rows = std::max(1, height / std::max(1, s.rowHeight));
      w = static_cast<long long>((count + rows - 1) / rows) * cell.cx;
      h = static_cast<long long>(std::min(count, rows)) * s.rowHeight;
      break;
    }
    default: {
      const int perRow = std::max(1, width / std::max<int>(1, cell.cx));
      w = static_cast<long long>(std::min(count, perRow)) * cell.cx;
      h = static_cast<long long>((count + perRow - 1) / perRow) * cell.cy;
      break;
    }
  }
  return MAKELONG(std::min<long long>(w, 0xFFFF), std::min<long long>(h, 0xFFFF));
}

int TextWidth(HWND hwnd, const ListState& s, const std::wstring& text) {
  SIZE size{};
  const qv::ScopedGetDC dc(hwnd);
  const qv::ScopedSelectObject withFont(dc, s.font);
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

void InvalidateItem(HWND hwnd, const ListState& s, int i) {
  RECT r = Bounds(hwnd, s, i);
  if (ViewOf(hwnd) == LVS_REPORT) {
    RECT client{};
    GetClientRect(hwnd, &client);
    r.left = client.left;
    r.right = client.right;
  }
  InvalidateRect(hwnd, &r, FALSE);
}

void InvalidateFrom(HWND hwnd, int i) {
  ListState* s = StateOf(hwnd);
  if (!s) return;
  RECT r = ItemArea(hwnd, *s);
  if (ViewOf(hwnd) == LVS_REPORT) r.top = std::max(r.top, Bounds(hwnd, *s, i).top);
  InvalidateRect(hwnd, &r, FALSE);
}

}  // namespace qv::ui::listview
