// The list view's painting: only the items that lie in the area to paint
// are drawn (and only their texts asked of the parent), through the custom
// draw stages when the parent asks for them, or by the owner for
// LVS_OWNERDRAWFIXED report rows. The look comes from the StylePainter.
#include <algorithm>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/ImageList.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/commctrl/ListViewState.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/queue/MessageQueue.h"

namespace qv::ui::listview {
namespace {

// Colours an item is drawn in.
struct Ink {
  COLORREF text;
  COLORREF back;  // CLR_NONE: the list's background shows through
};

Ink Highlight(const ListState& s) {
  return s.hasFocus ? Ink{GetSysColor(COLOR_HIGHLIGHTTEXT), GetSysColor(COLOR_HIGHLIGHT)}
                    : Ink{GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_BTNFACE)};
}

UINT TextFormat(int fmt, bool icons) {
  if (icons) return DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS;
  const UINT align = (fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_RIGHT ? DT_RIGHT : (fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_CENTER ? DT_CENTER : DT_LEFT;
  return align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
}

LRESULT CustomDraw(HWND hwnd, NMLVCUSTOMDRAW* cd, DWORD stage) {
  cd->nmcd.dwDrawStage = stage;
  return Notify(hwnd, &cd->nmcd.hdr, NM_CUSTOMDRAW);
}

void DrawStateMark(HWND hwnd, HDC dc, const ListState& s, const RECT& box, UINT state) {
  const UINT index = (state & LVIS_STATEIMAGEMASK) >> 12;
  if (s.exStyle & LVS_EX_CHECKBOXES) {
    const LONG size = StylePainter::kCheckBox;
    const LONG top = (box.top + box.bottom - size) / 2;
    ControlState look;
    look.disabled = !IsWindowEnabled(hwnd);
    StylePainter::PaintCheckMark(dc, {box.left, top, box.left + size, top + size}, index == 2 ? 1 : 0, look);
  } else if (s.images[LVSIL_STATE] && index > 0) {
    int w = 0;
    int h = 0;
    ImageList_GetIconSize(s.images[LVSIL_STATE], &w, &h);
    ImageList_Draw(s.images[LVSIL_STATE], static_cast<int>(index) - 1, dc, box.left, (box.top + box.bottom - h) / 2, ILD_TRANSPARENT);
  }
}

// The default drawing of one item; false when the list went away meanwhile.
bool DrawParts(HWND hwnd, HDC dc, ListState& s, int i, const Parts& p, Ink ink, bool highlight, bool focused,
               LRESULT itemResult, NMLVCUSTOMDRAW* cd) {
  const UINT view = ViewOf(hwnd);
  const bool report = view == LVS_REPORT;
  const bool fullRow = report && (s.exStyle & LVS_EX_FULLROWSELECT);
  const Ink lit = Highlight(s);
  const COLORREF plainBack = ink.back == s.back ? CLR_NONE : ink.back;
  DrawStateMark(hwnd, dc, s, p.state, ItemState(s, i));
  HIMAGELIST icons = s.images[view == LVS_ICON ? LVSIL_NORMAL : LVSIL_SMALL];
  const Shown label = FetchShown(hwnd, s, i, 0, true, icons != nullptr);
  if (StateOf(hwnd) != &s) return false;
  if (icons && label.image >= 0) {
    int w = 0;
    int h = 0;
    ImageList_GetIconSize(icons, &w, &h);
    ImageList_Draw(icons, label.image, dc, p.icon.left, view == LVS_ICON ? p.icon.top : (p.icon.top + p.icon.bottom - h) / 2,
                   ILD_TRANSPARENT);
  }
  const RECT row{p.label.left, p.bounds.top, p.bounds.right, p.bounds.bottom};
  if (fullRow && highlight) StylePainter::PaintItemText(dc, row, nullptr, 0, lit.text, lit.back);
  // The label, then in a report each sub-item's cell; with CDRF_NOTIFYSUBITEMDRAW
  // the parent may colour or skip each cell, the label's too.
  const size_t cells = report ? std::max<size_t>(1, s.columns.size()) : 1;
  for (size_t c = 0; c < cells; ++c) {
    const RECT cell = c == 0 ? p.label : SubItemRect(s, p.bounds, static_cast<int>(c));
    const bool lightCell = highlight && (fullRow || c == 0);
    Ink cellInk = lightCell ? Ink{lit.text, fullRow ? CLR_NONE : lit.back} : Ink{ink.text, plainBack};
    if (report && (itemResult & CDRF_NOTIFYSUBITEMDRAW)) {
      cd->nmcd.rc = cell;
      cd->iSubItem = c == 0 ? 0 : s.columns[c].subItem;
      cd->clrText = cellInk.text;
      cd->clrTextBk = cellInk.back;
      const LRESULT r = CustomDraw(hwnd, cd, CDDS_ITEMPREPAINT | CDDS_SUBITEM);
      if (StateOf(hwnd) != &s) return false;
      if (r & CDRF_SKIPDEFAULT) continue;
      if (!lightCell) cellInk = {cd->clrText, cd->clrTextBk};
    }
    Shown text;
    if (c > 0) {
      text = FetchShown(hwnd, s, i, s.columns[c].subItem, true, false);
      if (StateOf(hwnd) != &s) return false;
    }
    const int fmt = c == 0 || s.columns.empty() ? LVCFMT_LEFT : s.columns[c].fmt;
    StylePainter::PaintItemText(dc, cell, (c == 0 ? label.text : text.text).c_str(), TextFormat(fmt, view == LVS_ICON),
                                cellInk.text, cellInk.back);
  }
  if (focused) StylePainter::PaintFocusRect(dc, fullRow ? row : p.label);
  return true;
}

// WM_DRAWITEM for an owner-drawn report row.
bool DrawOwned(HWND hwnd, HDC dc, ListState& s, int i, const Parts& p, UINT state) {
  DRAWITEMSTRUCT dis{};
  dis.CtlType = ODT_LISTVIEW;
  dis.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
  dis.itemID = static_cast<UINT>(i);
  dis.itemAction = ODA_DRAWENTIRE;
  dis.itemState = ((state & LVIS_SELECTED) ? ODS_SELECTED : 0u) | ((state & LVIS_FOCUSED) && s.hasFocus ? ODS_FOCUS : 0u) |
                  (IsWindowEnabled(hwnd) ? 0u : static_cast<UINT>(ODS_DISABLED));
  dis.hwndItem = hwnd;
  dis.hDC = dc;
  dis.rcItem = p.bounds;
  dis.itemData = s.ownerData ? 0 : static_cast<ULONG_PTR>(s.items[static_cast<size_t>(i)].param);
  SendMessageW(GetParent(hwnd), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
  return StateOf(hwnd) == &s;
}

bool DrawItem(HWND hwnd, HDC dc, ListState& s, int i, LRESULT pre) {
  const Parts p = PartsOf(hwnd, s, i);
  const UINT state = ItemState(s, i);
  if ((StyleOf(hwnd) & LVS_OWNERDRAWFIXED) && ViewOf(hwnd) == LVS_REPORT) return DrawOwned(hwnd, dc, s, i, p, state);
  const bool selectionShown = s.hasFocus || (StyleOf(hwnd) & LVS_SHOWSELALWAYS);
  bool highlight = (state & LVIS_SELECTED) && selectionShown;
  const bool focused = (state & LVIS_FOCUSED) && s.hasFocus;
  Ink ink{s.ink, s.textBack};
  LRESULT itemResult = CDRF_DODEFAULT;
  NMLVCUSTOMDRAW cd{};
  cd.nmcd.hdc = dc;
  HGDIOBJ listFont = GetCurrentObject(dc, OBJ_FONT);
  if (pre & CDRF_NOTIFYITEMDRAW) {
    cd.nmcd.rc = p.bounds;
    cd.nmcd.dwItemSpec = static_cast<DWORD_PTR>(i);
    cd.nmcd.uItemState = ((state & LVIS_SELECTED) ? CDIS_SELECTED : 0u) | (focused ? CDIS_FOCUS : 0u);
    cd.nmcd.lItemlParam = s.ownerData ? 0 : s.items[static_cast<size_t>(i)].param;
    cd.clrText = ink.text;
    cd.clrTextBk = ink.back;
    itemResult = CustomDraw(hwnd, &cd, CDDS_ITEMPREPAINT);
    if (StateOf(hwnd) != &s) return false;
    ink = {cd.clrText, cd.clrTextBk};
    // Clearing CDIS_SELECTED draws the item in the parent's colours.
    highlight = highlight && (cd.nmcd.uItemState & CDIS_SELECTED);
  }
  if (!(itemResult & CDRF_SKIPDEFAULT) && !DrawParts(hwnd, dc, s, i, p, ink, highlight, focused, itemResult, &cd)) {
    return false;
  }
  if (itemResult & CDRF_NOTIFYPOSTPAINT) {
    cd.nmcd.rc = p.bounds;
    cd.iSubItem = 0;
    CustomDraw(hwnd, &cd, CDDS_ITEMPOSTPAINT);
    if (StateOf(hwnd) != &s) return false;
  }
  // A font the parent chose for this item (CDRF_NEWFONT) is for this item only.
  if (itemResult & CDRF_NEWFONT) SelectObject(dc, listFont);
  return true;
}

// Report grid lines: under every row down to the bottom, and at every column's edge.
void DrawGrid(HWND hwnd, HDC dc, const ListState& s) {
  const RECT area = ItemArea(hwnd, s);
  const int rows = std::max(1, s.rowHeight);
  for (LONG y = area.top + rows - 1; y < area.bottom; y += rows) {
    StylePainter::PaintGridLine(dc, {area.left, y, area.right, y + 1});
  }
  LONG x = area.left - s.scrollX;
  for (const Column& c : s.columns) {
    x += c.width;
    StylePainter::PaintGridLine(dc, {x - 1, area.top, x, area.bottom});
  }
}

}  // namespace

void Paint(HWND hwnd, HDC dc, const RECT& dirty) {
  ListState* s = StateOf(hwnd);
  if (!s) return;
  HGDIOBJ oldFont = s->font ? SelectObject(dc, s->font) : nullptr;
  RECT client{};
  GetClientRect(hwnd, &client);
  NMLVCUSTOMDRAW cd{};
  cd.nmcd.hdc = dc;
  cd.nmcd.rc = client;
  const LRESULT pre = CustomDraw(hwnd, &cd, CDDS_PREPAINT);
  if (StateOf(hwnd) != s) return;
  if (!(pre & CDRF_SKIPDEFAULT)) {
    RECT fill{};
    const RECT area = ItemArea(hwnd, *s);
    if (s->back != CLR_NONE && IntersectRect(&fill, &area, &dirty)) {
      StylePainter::PaintItemText(dc, fill, nullptr, 0, s->ink, s->back);
    }
    const auto [first, last] = ItemsIn(hwnd, *s, dirty);
    if (s->ownerData && first <= last) {
      NMLVCACHEHINT hint{};
      hint.iFrom = first;
      hint.iTo = last;
      Notify(hwnd, &hint.hdr, LVN_ODCACHEHINT);
      if (StateOf(hwnd) != s) return;
    }
    for (int i = first; i <= last && i < Count(*s); ++i) {
      RECT bounds = Bounds(hwnd, *s, i);
      if (ViewOf(hwnd) == LVS_REPORT) bounds.right = std::max(bounds.right, client.right);
      RECT overlap{};
      if (!IntersectRect(&overlap, &bounds, &dirty)) continue;
      if (!DrawItem(hwnd, dc, *s, i, pre)) return;
    }
    if (ViewOf(hwnd) == LVS_REPORT && (s->exStyle & LVS_EX_GRIDLINES)) DrawGrid(hwnd, dc, *s);
  }
  if (pre & CDRF_NOTIFYPOSTPAINT) {
    cd.nmcd.rc = client;
    CustomDraw(hwnd, &cd, CDDS_POSTPAINT);
  }
  if (oldFont && StateOf(hwnd) == s) SelectObject(dc, oldFont);
}

}  // namespace qv::ui::listview
