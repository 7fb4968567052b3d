// The "SysListView32" class: the items, their states and the messages that
// change them. Geometry and painting are in ListViewLayout.cpp and
// ListViewPaint.cpp; all three share ListViewState.h.
//
// Every state change goes through ChangeState, which asks the parent first
// (LVN_ITEMCHANGING, TRUE refuses) and tells it after (LVN_ITEMCHANGED),
// with the old and new states. The parent may do anything while it is
// told, even destroy the list, so callers look again after each change.
#include <algorithm>
#include <climits>
#include <cwchar>
#include <cwctype>
#include <numeric>
#include <optional>
#include <span>
#include <utility>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/ImageList.h"
#include "platform/ui/commctrl/ListViewState.h"
#include "platform/ui/controls/Button.h"  // the owner-drawing records
#include "platform/ui/commctrl/Notify.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/input/Keyboard.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/window/Paint.h"

namespace qv::ui::listview {

LRESULT Notify(HWND hwnd, NMHDR* head, UINT code) { return ParentNotify(hwnd, head, code); }

UINT ItemState(const ListState& s, int i) {
  if (s.ownerData) {
    auto it = s.ownerStates.find(i);
    return it == s.ownerStates.end() ? 0u : it->second;
  }
  return s.items[static_cast<size_t>(i)].state;
}

int NextWithState(const ListState& s, int after, UINT bits) {
  const int count = Count(s);
  const int from = std::max(0, after + 1);
  if (s.ownerData && bits) {
    for (auto it = s.ownerStates.lower_bound(from); it != s.ownerStates.end() && it->first < count; ++it) {
      if ((it->second & bits) == bits) return it->first;
    }
    return -1;
  }
  for (int i = from; i < count; ++i) {
    if ((ItemState(s, i) & bits) == bits) return i;
  }
  return -1;
}

Shown FetchShown(HWND hwnd, ListState& s, int i, int sub, bool text, bool image) {
  Shown shown;
  const Cell* cell = nullptr;
  if (!s.ownerData) {
    const Item& item = s.items[static_cast<size_t>(i)];
    if (static_cast<size_t>(sub) < item.cells.size()) cell = &item.cells[static_cast<size_t>(sub)];
    if (cell) shown = {cell->text, cell->image};
  }
  UINT ask = 0;
  if (text && (s.ownerData || (cell && cell->callback))) ask |= LVIF_TEXT;
  if (image && (s.ownerData || (cell && cell->image == I_IMAGECALLBACK))) ask |= LVIF_IMAGE;
  if (!ask) return shown;
  constexpr int kTextMax = 260;
  wchar_t buffer[kTextMax] = {};
  NMLVDISPINFOW info{};
  info.item.mask = ask;
  info.item.iItem = i;
  info.item.iSubItem = sub;
  info.item.state = ItemState(s, i);
  info.item.pszText = buffer;
  info.item.cchTextMax = kTextMax;
  info.item.iImage = s.ownerData ? I_IMAGENONE : shown.image;
  info.item.lParam = s.ownerData ? 0 : s.items[static_cast<size_t>(i)].param;
  Notify(hwnd, &info.hdr, LVN_GETDISPINFOW);
  buffer[kTextMax - 1] = L'\0';
  if (ask & LVIF_TEXT) {
    // The parent either fills our buffer or points at a text of its own.
    const wchar_t* given = info.item.pszText;
    shown.text = !given || given == LPSTR_TEXTCALLBACKW ? std::wstring() : std::wstring(given, wcsnlen(given, 1024));
  }
  if (ask & LVIF_IMAGE) shown.image = info.item.iImage;
  ListState* now = StateOf(hwnd);
  if ((info.item.mask & LVIF_DI_SETITEM) && now == &s && !s.ownerData && i < Count(s)) {
    // Kept from now on: the parent is not asked again.
    Item& item = s.items[static_cast<size_t>(i)];
    if (static_cast<size_t>(sub) < item.cells.size()) {
      Cell& kept = item.cells[static_cast<size_t>(sub)];
      if (ask & LVIF_TEXT) {
        kept.text = shown.text;
        kept.callback = false;
      }
      if (ask & LVIF_IMAGE) kept.image = shown.image;
    }
  }
  return shown;
}

namespace {

void PutState(ListState& s, int i, UINT state) {
  if (!s.ownerData) {
    s.items[static_cast<size_t>(i)].state = state;
  } else if (state) {
    s.ownerStates[i] = state;
  } else {
    s.ownerStates.erase(i);
  }
}

LPARAM ParamOf(const ListState& s, int i) { return s.ownerData ? 0 : s.items[static_cast<size_t>(i)].param; }

bool ChangeState(HWND hwnd, int i, UINT mask, UINT value);

// Every item but `keep` loses its selection.
void DeselectOthers(HWND hwnd, int keep) {
  for (int j = 0;; ++j) {
    ListState* s = StateOf(hwnd);
    if (!s) return;
    j = NextWithState(*s, j - 1, LVIS_SELECTED);
    if (j < 0) return;
    if (j != keep) ChangeState(hwnd, j, LVIS_SELECTED, 0);
  }
}

bool ChangeState(HWND hwnd, int i, UINT mask, UINT value) {
  ListState* s = StateOf(hwnd);
  if (!s || i < 0 || i >= Count(*s)) return false;
  const DWORD style = StyleOf(hwnd);
  // One focused item; with LVS_SINGLESEL one selected item.
  if ((mask & value & LVIS_FOCUSED) && s->focus != i && s->focus >= 0 && s->focus < Count(*s)) {
    ChangeState(hwnd, s->focus, LVIS_FOCUSED, 0);
    if (!(s = StateOf(hwnd)) || i >= Count(*s)) return false;
  }
  if ((mask & value & LVIS_SELECTED) && (style & LVS_SINGLESEL)) {
    DeselectOthers(hwnd, i);
    if (!(s = StateOf(hwnd)) || i >= Count(*s)) return false;
  }
  const UINT old = ItemState(*s, i);
  const UINT now = (old & ~mask) | (value & mask);
  if (now == old) {
    if (now & LVIS_FOCUSED) s->focus = i;
    return true;
  }
  NMLISTVIEW told{};
  told.iItem = i;
  told.uNewState = now;
  told.uOldState = old;
  told.uChanged = LVIF_STATE;
  told.lParam = ParamOf(*s, i);
  NMLISTVIEW asked = told;  // the parent may write into what it is given
  if (Notify(hwnd, &asked.hdr, LVN_ITEMCHANGING)) return false;
  if (!(s = StateOf(hwnd)) || i >= Count(*s)) return false;
  PutState(*s, i, now);
  if (now & LVIS_FOCUSED) s->focus = i;
  else if (s->focus == i) s->focus = -1;
  InvalidateItem(hwnd, *s, i);
  Notify(hwnd, &told.hdr, LVN_ITEMCHANGED);
  return true;
}

// The item alone is selected and focused, and marks where Shift ranges start.
void SelectOnly(HWND hwnd, int i) {
  DeselectOthers(hwnd, i);
  ChangeState(hwnd, i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  if (ListState* s = StateOf(hwnd)) s->mark = i;
}

// From the mark to `to` selected, everything else not; `to` focused.
void SelectRange(HWND hwnd, int to) {
  ListState* s = StateOf(hwnd);
  if (!s) return;
  const int from = s->mark >= 0 && s->mark < Count(*s) ? s->mark : to;
  const int lo = std::min(from, to);
  const int hi = std::max(from, to);
  for (int j = 0; (s = StateOf(hwnd)) && j < Count(*s); ++j) {
    const bool want = j >= lo && j <= hi;
    if (((ItemState(*s, j) & LVIS_SELECTED) != 0) != want) ChangeState(hwnd, j, LVIS_SELECTED, want ? LVIS_SELECTED : 0);
  }
  ChangeState(hwnd, to, LVIS_FOCUSED, LVIS_FOCUSED);
}

void ToggleCheck(HWND hwnd, int i) {
  ListState* s = StateOf(hwnd);
  if (!s || i < 0 || i >= Count(*s)) return;
  const UINT image = (ItemState(*s, i) & LVIS_STATEIMAGEMASK) >> 12;
  ChangeState(hwnd, i, LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(image == 2 ? 1 : 2));
}

bool Held(int key) { return GetKeyState(key) < 0; }

// --- Items ---------------------------------------------------------------------

std::wstring TextArg(LPCWSTR text, bool* callback) {
  *callback = text == LPSTR_TEXTCALLBACKW;
  return !text || *callback ? std::wstring() : std::wstring(text);
}

void SetCell(Item& item, int sub, const LVITEMW& in) {
  if (sub < 0) return;
  if (item.cells.size() <= static_cast<size_t>(sub)) item.cells.resize(static_cast<size_t>(sub) + 1);
  Cell& c = item.cells[static_cast<size_t>(sub)];
  if (in.mask & LVIF_TEXT) c.text = TextArg(in.pszText, &c.callback);
  if (in.mask & LVIF_IMAGE) c.image = in.iImage;
}

// Where a new item goes in a sorted list (by its text; callback texts last).
int SortedPlace(HWND hwnd, const ListState& s, const std::wstring& text) {
  const bool descending = (StyleOf(hwnd) & LVS_SORTDESCENDING) != 0;
  int at = 0;
  for (const Item& item : s.items) {
    const int order = wcscasecmp(text.c_str(), item.cells[0].text.c_str());
    if (descending ? order > 0 : order < 0) break;
    ++at;
  }
  return at;
}

int InsertItem(HWND hwnd, const LVITEMW& in) {
  ListState* s = StateOf(hwnd);
  if (!s || s->ownerData || in.iSubItem != 0) return -1;
  Item item;
  item.cells.resize(1);
  item.cells[0].image = 0;
  SetCell(item, 0, in);
  if (in.mask & LVIF_PARAM) item.param = in.lParam;
  if (in.mask & LVIF_INDENT) item.indent = std::max(0, in.iIndent);
  if (s->exStyle & LVS_EX_CHECKBOXES) item.state = INDEXTOSTATEIMAGEMASK(1);
  int at = std::clamp(in.iItem, 0, Count(*s));
  if ((StyleOf(hwnd) & (LVS_SORTASCENDING | LVS_SORTDESCENDING)) && !item.cells[0].callback) {
    at = SortedPlace(hwnd, *s, item.cells[0].text);
  }
  s->items.insert(s->items.begin() + at, std::move(item));
  if (s->focus >= at) ++s->focus;
  if (s->mark >= at) ++s->mark;
  NMLISTVIEW nm{};
  nm.iItem = at;
  nm.lParam = s->items[static_cast<size_t>(at)].param;
  Notify(hwnd, &nm.hdr, LVN_INSERTITEM);
  if (!(s = StateOf(hwnd))) return -1;
  Relayout(hwnd);
  InvalidateFrom(hwnd, at);
  // The new item's own states arrive as changes, so single selection holds.
  if ((in.mask & LVIF_STATE) && (in.stateMask & in.state)) ChangeState(hwnd, at, in.stateMask, in.state);
  return at;
}

// The shown text or image of an item through LVN_GETDISPINFO, for GETITEM.
void AskFor(HWND hwnd, ListState& s, LVITEMW* out) {
  const Shown shown = FetchShown(hwnd, s, out->iItem, out->iSubItem, (out->mask & LVIF_TEXT) != 0,
                                 (out->mask & LVIF_IMAGE) != 0);
  if (out->mask & LVIF_TEXT) CopyText(shown.text, out->pszText, out->cchTextMax);
  if (out->mask & LVIF_IMAGE) out->iImage = shown.image;
}

BOOL GetItem(HWND hwnd, LVITEMW* out) {
  ListState* s = StateOf(hwnd);
  if (!s || !out || out->iItem < 0 || out->iItem >= Count(*s) || out->iSubItem < 0) return FALSE;
  const int i = out->iItem;
  if (out->mask & LVIF_STATE) out->state = ItemState(*s, i) & out->stateMask;
  if (!s->ownerData) {
    const Item& item = s->items[static_cast<size_t>(i)];
    if (out->mask & LVIF_PARAM) out->lParam = item.param;
    if (out->mask & LVIF_INDENT) out->iIndent = item.indent;
  }
  if (out->mask & (LVIF_TEXT | LVIF_IMAGE)) AskFor(hwnd, *s, out);
  return TRUE;
}

BOOL SetItem(HWND hwnd, const LVITEMW& in) {
  ListState* s = StateOf(hwnd);
  if (!s || in.iItem < 0 || in.iItem >= Count(*s) || in.iSubItem < 0) return FALSE;
  if (!s->ownerData) {
    Item& item = s->items[static_cast<size_t>(in.iItem)];
    SetCell(item, in.iSubItem, in);
    if (in.iSubItem == 0 && (in.mask & LVIF_PARAM)) item.param = in.lParam;
    if (in.iSubItem == 0 && (in.mask & LVIF_INDENT)) item.indent = std::max(0, in.iIndent);
    InvalidateItem(hwnd, *s, in.iItem);
  }
  if ((in.mask & LVIF_STATE) && in.iSubItem == 0) return ChangeState(hwnd, in.iItem, in.stateMask, in.state);
  return TRUE;
}

void DropIndex(ListState& s, int i) {
  if (s.ownerData) {
    std::map<int, UINT> moved;
    for (auto [at, state] : s.ownerStates) {
      if (at != i) moved[at > i ? at - 1 : at] = state;
    }
    s.ownerStates.swap(moved);
    --s.ownerCount;
  } else {
    s.items.erase(s.items.begin() + i);
  }
  if (s.focus == i) s.focus = -1;
  else if (s.focus > i) --s.focus;
  if (s.mark == i) s.mark = -1;
  else if (s.mark > i) --s.mark;
}

BOOL DeleteItem(HWND hwnd, int i) {
  ListState* s = StateOf(hwnd);
  if (!s || i < 0 || i >= Count(*s)) return FALSE;
  NMLISTVIEW nm{};
  nm.iItem = i;
  nm.lParam = ParamOf(*s, i);
  Notify(hwnd, &nm.hdr, LVN_DELETEITEM);
  if (!(s = StateOf(hwnd)) || i >= Count(*s)) return FALSE;
  DropIndex(*s, i);
  Relayout(hwnd);
  InvalidateFrom(hwnd, i);
  return TRUE;
}

// Tells the parent about every item going (LVN_DELETEALLITEMS, then one
// LVN_DELETEITEM each unless it answered TRUE) and empties the list.
void DeleteAll(HWND hwnd, bool redraw) {
  ListState* s = StateOf(hwnd);
  if (!s) return;
  NMLISTVIEW nm{};
  nm.iItem = -1;
  const bool quiet = Notify(hwnd, &nm.hdr, LVN_DELETEALLITEMS) != 0;
  for (int i = 0; !quiet && (s = StateOf(hwnd)) && !s->ownerData && i < Count(*s); ++i) {
    nm = NMLISTVIEW{};
    nm.iItem = i;
    nm.lParam = s->items[static_cast<size_t>(i)].param;
    Notify(hwnd, &nm.hdr, LVN_DELETEITEM);
  }
  if (!(s = StateOf(hwnd))) return;
  s->items.clear();
  s->ownerStates.clear();
  s->ownerCount = 0;
  s->focus = -1;
  s->mark = -1;
  s->top = 0;
  if (redraw) {
    Relayout(hwnd);
    InvalidateRect(hwnd, nullptr, FALSE);
  }
}

BOOL SetItemCount(HWND hwnd, int count, UINT flags) {
  ListState* s = StateOf(hwnd);
  if (!s || count < 0) return FALSE;
  if (!s->ownerData) {
    s->items.reserve(static_cast<size_t>(count));
    return TRUE;
  }
  s->ownerCount = count;
  s->ownerStates.erase(s->ownerStates.lower_bound(count), s->ownerStates.end());
  if (s->focus >= count) s->focus = -1;
  if (s->mark >= count) s->mark = -1;
  Relayout(hwnd);
  if (!(flags & LVSICF_NOINVALIDATEALL)) InvalidateRect(hwnd, nullptr, FALSE);
  return TRUE;
}

// Every item of an owner-data list at once: one LVN_ITEMCHANGED with item -1,
// as a list of any size can afford.
BOOL SetAllOwnerStates(HWND hwnd, UINT mask, UINT value) {
  ListState* s = StateOf(hwnd);
  if (!s || !mask) return TRUE;
  for (int i = 0; i < s->ownerCount; ++i) PutState(*s, i, (ItemState(*s, i) & ~mask) | (value & mask));
  InvalidateRect(hwnd, nullptr, FALSE);
  NMLISTVIEW nm{};
  nm.iItem = -1;
  nm.uNewState = value & mask;
  nm.uChanged = LVIF_STATE;
  Notify(hwnd, &nm.hdr, LVN_ITEMCHANGED);
  return TRUE;
}

BOOL SortItems(HWND hwnd, LPARAM sortParam, PFNLVCOMPARE compare) {
  ListState* s = StateOf(hwnd);
  if (!s || s->ownerData || !compare) return FALSE;
  std::vector<size_t> order(s->items.size());
  std::iota(order.begin(), order.end(), size_t{0});
  const std::vector<Item>& items = s->items;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return compare(items[a].param, items[b].param, sortParam) < 0;
  });
  if (!(s = StateOf(hwnd)) || order.size() != s->items.size()) return FALSE;  // the callback changed the list
  std::vector<Item> sorted;
  sorted.reserve(order.size());
  int mark = -1;
  for (size_t at = 0; at < order.size(); ++at) {
    if (static_cast<int>(order[at]) == s->mark) mark = static_cast<int>(at);
    sorted.push_back(std::move(s->items[order[at]]));
  }
  s->items.swap(sorted);
  s->mark = mark;
  s->focus = NextWithState(*s, -1, LVIS_FOCUSED);
  InvalidateRect(hwnd, nullptr, FALSE);
  return TRUE;
}

// --- Columns -------------------------------------------------------------------

void SyncTitle(HWND hwnd, const ListState& s, int at, bool insert) {
  if (!s.header) return;
  const Column& c = s.columns[static_cast<size_t>(at)];
  HDITEMW h{};
  h.mask = HDI_WIDTH | HDI_TEXT | HDI_FORMAT;
  h.cxy = c.width;
  h.pszText = const_cast<LPWSTR>(c.text.c_str());
  h.fmt = (c.fmt & LVCFMT_JUSTIFYMASK) | HDF_STRING;
  SendMessageW(s.header, insert ? HDM_INSERTITEMW : HDM_SETITEMW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&h));
  (void)hwnd;
}

void ApplyColumn(Column& c, const LVCOLUMNW& in, int index) {
  if (in.mask & LVCF_FMT) c.fmt = index == 0 ? LVCFMT_LEFT : in.fmt;  // the first column stays left-aligned
  if (in.mask & LVCF_WIDTH) c.width = std::max(0, in.cx);
  if (in.mask & LVCF_TEXT) c.text = in.pszText ? std::wstring(in.pszText) : std::wstring();
  if (in.mask & LVCF_SUBITEM) c.subItem = std::max(0, in.iSubItem);
  if (in.mask & LVCF_IMAGE) c.image = in.iImage;
}

int InsertColumn(HWND hwnd, int at, const LVCOLUMNW& in) {
  ListState* s = StateOf(hwnd);
  if (!s) return -1;
  at = std::clamp(at, 0, static_cast<int>(s->columns.size()));
  Column c;
  c.subItem = at;
  ApplyColumn(c, in, at);
  s->columns.insert(s->columns.begin() + at, c);
  SyncTitle(hwnd, *s, at, true);
  InvalidateRect(hwnd, nullptr, FALSE);
  return at;
}

BOOL SetColumn(HWND hwnd, int at, const LVCOLUMNW& in) {
  ListState* s = StateOf(hwnd);
  if (!s || at < 0 || at >= static_cast<int>(s->columns.size())) return FALSE;
  ApplyColumn(s->columns[static_cast<size_t>(at)], in, at);
  SyncTitle(hwnd, *s, at, false);
  InvalidateRect(hwnd, nullptr, FALSE);
  return TRUE;
}

BOOL GetColumn(HWND hwnd, int at, LVCOLUMNW* out) {
  ListState* s = StateOf(hwnd);
  if (!s || !out || at < 0 || at >= static_cast<int>(s->columns.size())) return FALSE;
  const Column& c = s->columns[static_cast<size_t>(at)];
  if (out->mask & LVCF_FMT) out->fmt = c.fmt;
  if (out->mask & LVCF_WIDTH) out->cx = c.width;
  if (out->mask & LVCF_TEXT) CopyText(c.text, out->pszText, out->cchTextMax);
  if (out->mask & LVCF_SUBITEM) out->iSubItem = c.subItem;
  if (out->mask & LVCF_IMAGE) out->iImage = c.image;
  return TRUE;
}

// The width of a column's widest text (LVSCW_AUTOSIZE), or of its title
// when that is wider (LVSCW_AUTOSIZE_USEHEADER).
int FittingWidth(HWND hwnd, ListState& s, int column, bool withTitle) {
  const int sub = column < static_cast<int>(s.columns.size()) ? s.columns[static_cast<size_t>(column)].subItem : 0;
  int widest = 0;
  for (int i = 0; i < Count(s); ++i) {
    widest = std::max(widest, TextWidth(hwnd, s, FetchShown(hwnd, s, i, sub, true, false).text));
  }
  if (column == 0) widest += LabelInset(s);
  if (withTitle && column < static_cast<int>(s.columns.size())) {
    widest = std::max(widest, TextWidth(hwnd, s, s.columns[static_cast<size_t>(column)].text));
  }
  return widest + 2 * StylePainter::kItemPadding;
}

BOOL SetColumnWidth(HWND hwnd, int column, int width) {
  ListState* s = StateOf(hwnd);
  if (!s) return FALSE;
  if (ViewOf(hwnd) == LVS_LIST) {
    if (width <= 0) return FALSE;
    s->listColumnWidth = width;
  } else {
    if (column < 0 || column >= static_cast<int>(s->columns.size())) return FALSE;
    if (width == LVSCW_AUTOSIZE || width == LVSCW_AUTOSIZE_USEHEADER) {
      width = FittingWidth(hwnd, *s, column, width == LVSCW_AUTOSIZE_USEHEADER);
    }
    s->columns[static_cast<size_t>(column)].width = std::max(0, width);
    SyncTitle(hwnd, *s, column, false);
  }
  Relayout(hwnd);
  InvalidateRect(hwnd, nullptr, FALSE);
  return TRUE;
}

// A header's notifications go on to the list's parent, which may refuse
// tracking or a change; the list follows the widths that stand.
LRESULT FromHeader(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  auto* nm = reinterpret_cast<NMHEADERW*>(lParam);
  HWND parent = GetParent(hwnd);
  const LRESULT answer = parent ? SendMessageW(parent, WM_NOTIFY, wParam, lParam) : 0;
  ListState* s = StateOf(hwnd);
  if (!s) return answer;
  const bool known = nm->iItem >= 0 && nm->iItem < static_cast<int>(s->columns.size());
  switch (nm->hdr.code) {
    case HDN_ITEMCHANGEDW:
      if (known && nm->pitem && (nm->pitem->mask & HDI_WIDTH)) {
        s->columns[static_cast<size_t>(nm->iItem)].width = nm->pitem->cxy;
        Relayout(hwnd);
        InvalidateRect(hwnd, nullptr, FALSE);
      }
      return 0;
    case HDN_ITEMCLICKW:
      if (known) {
        NMLISTVIEW click{};
        click.iItem = -1;
        click.iSubItem = nm->iItem;
        Notify(hwnd, &click.hdr, LVN_COLUMNCLICK);
      }
      return 0;
    case HDN_DIVIDERDBLCLICKW:
      if (known && !answer) SetColumnWidth(hwnd, nm->iItem, LVSCW_AUTOSIZE_USEHEADER);
      return 0;
    default:
      return answer;
  }
}

// --- Finding -------------------------------------------------------------------

int FindItem(HWND hwnd, int start, const LVFINDINFOW& find) {
  ListState* s = StateOf(hwnd);
  if (!s) return -1;
  const int count = Count(*s);
  if (s->ownerData) {
    NMLVFINDITEMW nm{};
    nm.iStart = start + 1;
    nm.lvfi = find;
    const LRESULT at = Notify(hwnd, &nm.hdr, LVN_ODFINDITEMW);
    return at >= 0 && (s = StateOf(hwnd)) && at < Count(*s) ? static_cast<int>(at) : -1;
  }
  const std::wstring wanted = (find.flags & (LVFI_STRING | LVFI_PARTIAL)) && find.psz ? find.psz : L"";
  auto matches = [&](int i) {
    const Item& item = s->items[static_cast<size_t>(i)];
    if (find.flags & LVFI_PARAM) return item.param == find.lParam;
    if (!(find.flags & (LVFI_STRING | LVFI_PARTIAL)) || item.cells[0].callback) return false;
    const std::wstring& text = item.cells[0].text;
    if (find.flags & LVFI_PARTIAL) return text.size() >= wanted.size() && wcsncasecmp(text.c_str(), wanted.c_str(), wanted.size()) == 0;
    return wcscasecmp(text.c_str(), wanted.c_str()) == 0;
  };
  const int first = std::max(0, start + 1);
  for (int i = first; i < count; ++i) {
    if (matches(i)) return i;
  }
  for (int i = 0; (find.flags & LVFI_WRAP) && i < std::min(first, count); ++i) {
    if (matches(i)) return i;
  }
  return -1;
}

// LVM_GETNEXTITEM: the next item with every asked state, from `start`
// onwards or in a direction on screen.
int NextItem(HWND hwnd, int start, UINT flags) {
  ListState* s = StateOf(hwnd);
  if (!s) return -1;
  const UINT wanted = (flags & LVNI_SELECTED ? LVIS_SELECTED : 0u) | (flags & LVNI_FOCUSED ? LVIS_FOCUSED : 0u) |
                      (flags & LVNI_CUT ? LVIS_CUT : 0u) | (flags & LVNI_DROPHILITED ? LVIS_DROPHILITED : 0u);
  const UINT direction = flags & (LVNI_ABOVE | LVNI_BELOW | LVNI_TOLEFT | LVNI_TORIGHT);
  if (!direction) return NextWithState(*s, start, wanted);
  const BYTE key = direction & LVNI_ABOVE ? VK_UP : direction & LVNI_BELOW ? VK_DOWN : direction & LVNI_TOLEFT ? VK_LEFT : VK_RIGHT;
  for (int at = start, guard = 0; guard < Count(*s); ++guard) {
    const int next = Neighbour(hwnd, *s, at, key);
    if (next < 0 || next == at) return -1;
    if ((ItemState(*s, next) & wanted) == wanted) return next;
    at = next;
  }
  return -1;
}

// --- Input ---------------------------------------------------------------------

void SendActivate(HWND hwnd, UINT code, int item, int sub, POINT at, UINT keys) {
  NMITEMACTIVATE nm{};
  nm.iItem = item;
  nm.iSubItem = sub;
  nm.ptAction = at;
  ListState* s = StateOf(hwnd);
  if (s && item >= 0 && item < Count(*s)) nm.lParam = ParamOf(*s, item);
  nm.uKeyFlags = (keys & MK_CONTROL ? LVKF_CONTROL : 0u) | (keys & MK_SHIFT ? LVKF_SHIFT : 0u);
  Notify(hwnd, &nm.hdr, code);
}

// A press (or the first half of a double tap) at `at`.
void Press(HWND hwnd, POINT at, UINT keys, bool rightButton) {
  if (GetFocus() != hwnd) SetFocus(hwnd);
  ListState* s = StateOf(hwnd);
  if (!s) return;
  // Without full-row selection only the first column's parts select; the
  // parent still hears which cell was tapped.
  LVHITTESTINFO cell{at, 0, -1, 0};
  HitTest(hwnd, *s, &cell, true);
  LVHITTESTINFO hit{at, 0, -1, 0};
  HitTest(hwnd, *s, &hit, false);
  const bool multi = !(StyleOf(hwnd) & LVS_SINGLESEL) && !rightButton;
  if (hit.iItem >= 0 && (hit.flags & LVHT_ONITEMSTATEICON) && (s->exStyle & LVS_EX_CHECKBOXES) && !rightButton) {
    ToggleCheck(hwnd, hit.iItem);
  } else if (hit.iItem >= 0) {
    if (multi && (keys & MK_CONTROL)) {
      const bool selected = (ItemState(*s, hit.iItem) & LVIS_SELECTED) != 0;
      ChangeState(hwnd, hit.iItem, LVIS_SELECTED | LVIS_FOCUSED, (selected ? 0u : LVIS_SELECTED) | LVIS_FOCUSED);
      if ((s = StateOf(hwnd))) s->mark = hit.iItem;
    } else if (multi && (keys & MK_SHIFT)) {
      SelectRange(hwnd, hit.iItem);
    } else if (!rightButton || !(ItemState(*s, hit.iItem) & LVIS_SELECTED)) {
      SelectOnly(hwnd, hit.iItem);
    }
  } else if (!(keys & (MK_CONTROL | MK_SHIFT))) {
    DeselectOthers(hwnd, -1);
  }
  if (!(s = StateOf(hwnd))) return;
  s->pressItem = cell.iItem;
  s->pressSub = cell.iSubItem;
}

void OnButtonDown(HWND hwnd, UINT message, WPARAM keys, POINT at) {
  const bool dbl = message == WM_LBUTTONDBLCLK;
  Press(hwnd, at, static_cast<UINT>(keys), message == WM_RBUTTONDOWN);
  ListState* s = StateOf(hwnd);
  if (!s) return;
  if (message == WM_RBUTTONDOWN) {
    SendActivate(hwnd, NM_RCLICK, s->pressItem, s->pressSub, at, static_cast<UINT>(keys));
    return;
  }
  if (dbl) {
    s->pressed = false;
    const int item = s->pressItem;
    SendActivate(hwnd, NM_DBLCLK, item, s->pressSub, at, static_cast<UINT>(keys));
    if (item >= 0 && (s = StateOf(hwnd)) && !(s->exStyle & LVS_EX_ONECLICKACTIVATE)) {
      SendActivate(hwnd, LVN_ITEMACTIVATE, item, 0, at, static_cast<UINT>(keys));
    }
    return;
  }
  s->pressed = true;
  SetCapture(hwnd);
}

void OnButtonUp(HWND hwnd, WPARAM keys, POINT at) {
  ListState* s = StateOf(hwnd);
  if (!s || !s->pressed) return;
  s->pressed = false;
  if (GetCapture() == hwnd) ReleaseCapture();
  if (!(s = StateOf(hwnd))) return;
  const int item = s->pressItem;
  SendActivate(hwnd, NM_CLICK, item, s->pressSub, at, static_cast<UINT>(keys));
  // One tap opens an item when the list asks for it.
  if (item >= 0 && (s = StateOf(hwnd)) && (s->exStyle & LVS_EX_ONECLICKACTIVATE)) {
    SendActivate(hwnd, LVN_ITEMACTIVATE, item, 0, at, static_cast<UINT>(keys));
  }
}

void OnKeyDown(HWND hwnd, WPARAM key) {
  NMLVKEYDOWN kd{};
  kd.wVKey = static_cast<WORD>(key);
  Notify(hwnd, &kd.hdr, LVN_KEYDOWN);
  ListState* s = StateOf(hwnd);
  if (!s || Count(*s) == 0) return;
  const bool ctrl = Held(VK_CONTROL);
  const bool shift = Held(VK_SHIFT);
  const bool multi = !(StyleOf(hwnd) & LVS_SINGLESEL);
  if (key == VK_RETURN) {
    NMHDR nm{};
    Notify(hwnd, &nm, NM_RETURN);
    if ((s = StateOf(hwnd)) && s->focus >= 0) SendActivate(hwnd, LVN_ITEMACTIVATE, s->focus, 0, {}, 0);
    return;
  }
  if (key == VK_SPACE) {
    const int focus = s->focus;
    if (focus < 0) return;
    if (s->exStyle & LVS_EX_CHECKBOXES) ToggleCheck(hwnd, focus);
    else if (ctrl && multi) ChangeState(hwnd, focus, LVIS_SELECTED, (ItemState(*s, focus) & LVIS_SELECTED) ? 0u : LVIS_SELECTED);
    else if (!(ItemState(*s, focus) & LVIS_SELECTED)) SelectOnly(hwnd, focus);
    return;
  }
  const int target = Neighbour(hwnd, *s, s->focus, static_cast<BYTE>(key));
  if (target < 0) {
    // A report's columns go sideways by a line under Left and Right.
    if (ViewOf(hwnd) == LVS_REPORT && (key == VK_LEFT || key == VK_RIGHT)) {
      ScrollSideways(hwnd, s->scrollX + (key == VK_LEFT ? -1 : 1) * std::max(1, s->textHeight));
    }
    return;
  }
  if (ctrl && multi) ChangeState(hwnd, target, LVIS_FOCUSED, LVIS_FOCUSED);
  else if (shift && multi) SelectRange(hwnd, target);
  else SelectOnly(hwnd, target);
  if (StateOf(hwnd)) EnsureVisible(hwnd, target, false);
}

// --- Styles --------------------------------------------------------------------

void OnStyleChanged(HWND hwnd, const STYLESTRUCT& change) {
  ListState* s = StateOf(hwnd);
  if (!s) return;
  const DWORD turnedOn = change.styleNew & ~change.styleOld;
  if ((change.styleNew ^ change.styleOld) & (LVS_TYPEMASK | LVS_NOCOLUMNHEADER | LVS_OWNERDRAWFIXED)) {
    s->top = 0;
    s->scrollX = 0;
    Measure(hwnd);
    Relayout(hwnd);
    if ((s = StateOf(hwnd)) && s->focus >= 0) EnsureVisible(hwnd, s->focus, false);
  }
  if (((change.styleNew ^ change.styleOld) & LVS_NOSORTHEADER) && s->header) {
    // Titles click only while the list sorts by them.
    const LONG_PTR header = GetWindowLongW(s->header, GWL_STYLE);
    SetWindowLongW(s->header, GWL_STYLE, (change.styleNew & LVS_NOSORTHEADER) ? header & ~LONG_PTR{HDS_BUTTONS} : header | HDS_BUTTONS);
    if (!(s = StateOf(hwnd))) return;
  }
  if (turnedOn & LVS_SINGLESEL) {
    // One selected item stays: the focused one when it is selected.
    if (!(s = StateOf(hwnd))) return;
    int keep = s->focus >= 0 && (ItemState(*s, s->focus) & LVIS_SELECTED) ? s->focus : NextWithState(*s, -1, LVIS_SELECTED);
    DeselectOthers(hwnd, keep);
  }
  InvalidateRect(hwnd, nullptr, FALSE);
}

DWORD SetExtendedStyle(HWND hwnd, DWORD mask, DWORD style) {
  ListState* s = StateOf(hwnd);
  if (!s) return 0;
  const DWORD old = s->exStyle;
  if (!mask) mask = 0xFFFFFFFFu;
  s->exStyle = (old & ~mask) | (style & mask);
  const DWORD changed = old ^ s->exStyle;
  if ((changed & LVS_EX_CHECKBOXES) && !s->ownerData) {
    // Turned on, every item starts unchecked; turned off, the boxes go.
    for (Item& item : s->items) {
      item.state &= ~LVIS_STATEIMAGEMASK;
      if (s->exStyle & LVS_EX_CHECKBOXES) item.state |= INDEXTOSTATEIMAGEMASK(1);
    }
  }
  if (changed) {
    Measure(hwnd);
    Relayout(hwnd);
    InvalidateRect(hwnd, nullptr, FALSE);
  }
  return old;
}

// An owner-drawn report asks its owner how deep its rows are (WM_MEASUREITEM,
// itemID -1), offering the height it has; an answer that differs is kept.
void AskOwnerForRowHeight(HWND hwnd) {
  ListState* s = StateOf(hwnd);
  if (!s || !(StyleOf(hwnd) & LVS_OWNERDRAWFIXED) || ViewOf(hwnd) != LVS_REPORT) return;
  MEASUREITEMSTRUCT mis{};
  mis.CtlType = ODT_LISTVIEW;
  mis.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
  mis.itemID = static_cast<UINT>(-1);
  mis.itemHeight = static_cast<UINT>(std::max(1, s->rowHeight));
  HWND owner = GetParent(hwnd);
  if (!owner) return;
  SendMessageW(owner, WM_MEASUREITEM, mis.CtlID, reinterpret_cast<LPARAM>(&mis));
  if (!(s = StateOf(hwnd))) return;
  const int answered = std::max(1, static_cast<int>(std::min<UINT>(mis.itemHeight, 0x7FFF)));
  if (answered == s->rowHeight) return;
  s->measuredHeight = answered;
  Measure(hwnd);
  Relayout(hwnd);
  InvalidateRect(hwnd, nullptr, FALSE);
}

void OnCreate(HWND hwnd) {
  auto* s = new ListState;
  s->ownerData = (StyleOf(hwnd) & LVS_OWNERDATA) != 0;
  s->back = GetSysColor(COLOR_WINDOW);
  s->ink = GetSysColor(COLOR_WINDOWTEXT);
  s->textBack = GetSysColor(COLOR_WINDOW);
  SetWindowLongW(hwnd, kStateSlot, reinterpret_cast<LONG_PTR>(s));
  DWORD headerStyle = WS_CHILD | HDS_HORZ;
  if (!(StyleOf(hwnd) & LVS_NOSORTHEADER)) headerStyle |= HDS_BUTTONS;
  s->header = CreateWindowExW(0, WC_HEADERW, L"", headerStyle, 0, 0, 0, 0, hwnd, nullptr, nullptr, nullptr);
  Measure(hwnd);
  Relayout(hwnd);
  AskOwnerForRowHeight(hwnd);
}

void OnDestroy(HWND hwnd) {
  DeleteAll(hwnd, false);
  ListState* s = StateOf(hwnd);
  if (!s || (StyleOf(hwnd) & LVS_SHAREIMAGELISTS)) return;
  // Unshared image lists belong to the list.
  for (HIMAGELIST& list : s->images) {
    if (list) ImageList_Destroy(list);
    list = nullptr;
  }
}

// A report's sideways bar, in pixels: a text line per arrow, the list's width a page.
LRESULT ScrollReportSideways(HWND hwnd, ListState& s, WPARAM wParam) {
  RECT client{};
  GetClientRect(hwnd, &client);
  const int line = std::max(1, s.textHeight);
  int to = s.scrollX;
  switch (LOWORD(wParam)) {
    case SB_LINELEFT: to -= line; break;
    case SB_LINERIGHT: to += line; break;
    case SB_PAGELEFT: to -= std::max<int>(1, client.right); break;
    case SB_PAGERIGHT: to += std::max<int>(1, client.right); break;
    case SB_LEFT: to = 0; break;
    case SB_RIGHT: to = INT_MAX / 2; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO si{sizeof(SCROLLINFO), SIF_TRACKPOS, 0, 0, 0, 0, 0};
      GetScrollInfo(hwnd, SB_HORZ, &si);
      to = si.nTrackPos;
      break;
    }
    default: return 0;
  }
  ScrollSideways(hwnd, to);
  return 0;
}

LRESULT Scroll(HWND hwnd, int bar, WPARAM wParam) {
  ListState* s = StateOf(hwnd);
  if (s && bar == SB_HORZ && ViewOf(hwnd) == LVS_REPORT) return ScrollReportSideways(hwnd, *s, wParam);
  if (!s || bar != ScrollBarOf(hwnd)) return 0;
  const Lines l = LinesOf(hwnd, *s);
  int to = s->top;
  switch (LOWORD(wParam)) {
    case SB_LINEUP: to -= 1; break;
    case SB_LINEDOWN: to += 1; break;
    case SB_PAGEUP: to -= std::max(1, l.page); break;
    case SB_PAGEDOWN: to += std::max(1, l.page); break;
    case SB_TOP: to = 0; break;
    case SB_BOTTOM: to = l.total; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO si{sizeof(SCROLLINFO), SIF_TRACKPOS, 0, 0, 0, 0, 0};
      GetScrollInfo(hwnd, bar, &si);
      to = si.nTrackPos;
      break;
    }
    default: return 0;
  }
  ScrollTo(hwnd, to);
  return 0;
}

// --- Messages ------------------------------------------------------------------
// The procedure hands each message to the group that answers it: the
// window's own messages, then the list's by what they work on. A group
// leaves the messages it does not know (empty).

using Answer = std::optional<LRESULT>;

// Paint, font, size and style, focus, input, scrolling and the header's notifications.
Answer WindowMessage(HWND hwnd, ListState& s, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      OnDestroy(hwnd);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      if (HDC dc = BeginPaint(hwnd, &ps)) Paint(hwnd, dc, ps.rcPaint);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SETFONT:
      s.font = reinterpret_cast<HFONT>(wParam);
      if (s.header) SendMessageW(s.header, WM_SETFONT, wParam, 0);
      Measure(hwnd);
      Relayout(hwnd);
      if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(s.font);
    case WM_WINDOWPOSCHANGED: {
      // A new size asks the owner again: a control made from a template gets
      // its framework object only after its creation, and this is how such an
      // object still sees WM_MEASUREITEM.
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
      if (pos && !(pos->flags & SWP_NOSIZE)) AskOwnerForRowHeight(hwnd);
      return IsWindow(hwnd) ? DefWindowProcW(hwnd, message, wParam, lParam) : 0;
    }
    case WM_SIZE:
      Relayout(hwnd);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_STYLECHANGED:
      if (wParam == static_cast<WPARAM>(GWL_STYLE)) OnStyleChanged(hwnd, *reinterpret_cast<const STYLESTRUCT*>(lParam));
      return 0;
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      s.hasFocus = message == WM_SETFOCUS;
      InvalidateRect(hwnd, nullptr, FALSE);
      NMHDR nm{};
      Notify(hwnd, &nm, message == WM_SETFOCUS ? NM_SETFOCUS : NM_KILLFOCUS);
      return 0;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
      OnKeyDown(hwnd, wParam);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP: {
      const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      RECT client{};
      GetClientRect(hwnd, &client);
      if (!PtInRect(&client, at) && !s.pressed) return DefWindowProcW(hwnd, message, wParam, lParam);  // its scroll bar
      if (message == WM_LBUTTONUP) OnButtonUp(hwnd, wParam, at);
      else if (message != WM_MOUSEMOVE) OnButtonDown(hwnd, message, wParam, at);
      return 0;
    }
    case WM_CAPTURECHANGED:
      s.pressed = false;
      return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_VSCROLL:
    case WM_HSCROLL:
      return Scroll(hwnd, message == WM_VSCROLL ? SB_VERT : SB_HORZ, wParam);
    case WM_NOTIFY:
      if (lParam && reinterpret_cast<const NMHDR*>(lParam)->hwndFrom == s.header) return FromHeader(hwnd, wParam, lParam);
      return 0;
    default:
      return std::nullopt;
  }
}

LRESULT SetItemStates(HWND hwnd, ListState& s, int i, const LVITEMW& in) {
  if (i != -1) return ChangeState(hwnd, i, in.stateMask, in.state);
  if (s.ownerData) return SetAllOwnerStates(hwnd, in.stateMask & ~LVIS_FOCUSED, in.state);
  // Every item; the parent may destroy the list while it is told.
  const LVITEMW every = in;
  ListState* now = &s;
  for (int k = 0; now && k < Count(*now); ++k, now = StateOf(hwnd)) ChangeState(hwnd, k, every.stateMask, every.state);
  return TRUE;
}

// The items, their text and states, the selection, sorting and finding.
Answer ItemMessage(HWND hwnd, ListState& s, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case LVM_GETITEMCOUNT:
      return Count(s);
    case LVM_SETITEMCOUNT:
      return SetItemCount(hwnd, static_cast<int>(wParam), static_cast<UINT>(lParam));
    case LVM_INSERTITEMW:
      return lParam ? InsertItem(hwnd, *reinterpret_cast<const LVITEMW*>(lParam)) : -1;
    case LVM_SETITEMW:
      return lParam ? SetItem(hwnd, *reinterpret_cast<const LVITEMW*>(lParam)) : FALSE;
    case LVM_GETITEMW:
      return GetItem(hwnd, reinterpret_cast<LVITEMW*>(lParam));
    case LVM_SETITEMTEXTW: {
      if (!lParam) return FALSE;
      LVITEMW in = *reinterpret_cast<const LVITEMW*>(lParam);
      in.iItem = static_cast<int>(wParam);
      in.mask = LVIF_TEXT;
      return SetItem(hwnd, in);
    }
    case LVM_GETITEMTEXTW: {
      auto* out = reinterpret_cast<LVITEMW*>(lParam);
      if (!out) return 0;
      out->iItem = static_cast<int>(wParam);
      out->mask = LVIF_TEXT;
      if (!GetItem(hwnd, out) || !out->pszText) return 0;
      return static_cast<LRESULT>(wcsnlen(out->pszText, static_cast<size_t>(std::max(0, out->cchTextMax))));
    }
    case LVM_DELETEITEM:
      return DeleteItem(hwnd, static_cast<int>(wParam));
    case LVM_DELETEALLITEMS:
      DeleteAll(hwnd, true);
      return TRUE;
    case LVM_SETITEMSTATE:
      return lParam ? SetItemStates(hwnd, s, static_cast<int>(wParam), *reinterpret_cast<const LVITEMW*>(lParam)) : FALSE;
    case LVM_GETITEMSTATE: {
      const int i = static_cast<int>(wParam);
      return i >= 0 && i < Count(s) ? ItemState(s, i) & static_cast<UINT>(lParam) : 0;
    }
    case LVM_GETSELECTEDCOUNT: {
      int n = 0;
      for (int i = NextWithState(s, -1, LVIS_SELECTED); i >= 0; i = NextWithState(s, i, LVIS_SELECTED)) ++n;
      return n;
    }
    case LVM_GETNEXTITEM:
      return NextItem(hwnd, static_cast<int>(wParam), static_cast<UINT>(lParam));
    case LVM_GETSELECTIONMARK:
      return s.mark;
    case LVM_SETSELECTIONMARK:
      return std::exchange(s.mark, static_cast<int>(lParam));
    case LVM_SORTITEMS:
      return SortItems(hwnd, static_cast<LPARAM>(wParam), reinterpret_cast<PFNLVCOMPARE>(lParam));
    case LVM_FINDITEMW:
      return lParam ? FindItem(hwnd, static_cast<int>(wParam), *reinterpret_cast<const LVFINDINFOW*>(lParam)) : -1;
    case LVM_REDRAWITEMS:
      for (int i = std::max(0, static_cast<int>(wParam)); i <= std::min(static_cast<int>(lParam), Count(s) - 1); ++i) {
        InvalidateItem(hwnd, s, i);
      }
      return TRUE;
    case LVM_UPDATE:
      if (static_cast<int>(wParam) >= 0 && static_cast<int>(wParam) < Count(s)) InvalidateItem(hwnd, s, static_cast<int>(wParam));
      return TRUE;
    default:
      return std::nullopt;
  }
}

// The columns and the header, the image lists, the colours and the extended style.
Answer LookMessage(HWND hwnd, ListState& s, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case LVM_INSERTCOLUMNW:
      return lParam ? InsertColumn(hwnd, static_cast<int>(wParam), *reinterpret_cast<const LVCOLUMNW*>(lParam)) : -1;
    case LVM_SETCOLUMNW:
      return lParam ? SetColumn(hwnd, static_cast<int>(wParam), *reinterpret_cast<const LVCOLUMNW*>(lParam)) : FALSE;
    case LVM_GETCOLUMNW:
      return GetColumn(hwnd, static_cast<int>(wParam), reinterpret_cast<LVCOLUMNW*>(lParam));
    case LVM_DELETECOLUMN: {
      const int at = static_cast<int>(wParam);
      if (at < 0 || at >= static_cast<int>(s.columns.size())) return FALSE;
      s.columns.erase(s.columns.begin() + at);
      if (s.header) SendMessageW(s.header, HDM_DELETEITEM, wParam, 0);
      Relayout(hwnd);
      InvalidateRect(hwnd, nullptr, FALSE);
      return TRUE;
    }
    case LVM_GETCOLUMNWIDTH: {
      if (ViewOf(hwnd) == LVS_LIST) return CellSize(hwnd, s).cx;
      const int at = static_cast<int>(wParam);
      return at >= 0 && at < static_cast<int>(s.columns.size()) ? s.columns[static_cast<size_t>(at)].width : 0;
    }
    case LVM_SETCOLUMNWIDTH:
      return SetColumnWidth(hwnd, static_cast<int>(wParam), static_cast<short>(LOWORD(lParam)));
    case LVM_GETHEADER:
      return reinterpret_cast<LRESULT>(s.header);
    case LVM_SETIMAGELIST: {
      if (wParam > LVSIL_STATE) return 0;
      HIMAGELIST old = std::exchange(s.images[wParam], reinterpret_cast<HIMAGELIST>(lParam));
      Measure(hwnd);
      Relayout(hwnd);
      InvalidateRect(hwnd, nullptr, FALSE);
      return reinterpret_cast<LRESULT>(old);
    }
    case LVM_GETIMAGELIST:
      return wParam <= LVSIL_STATE ? reinterpret_cast<LRESULT>(s.images[wParam]) : 0;
    case LVM_SETEXTENDEDLISTVIEWSTYLE:
      return SetExtendedStyle(hwnd, static_cast<DWORD>(wParam), static_cast<DWORD>(lParam));
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
      return s.exStyle;
    case LVM_SETBKCOLOR:
    case LVM_SETTEXTCOLOR:
    case LVM_SETTEXTBKCOLOR: {
      COLORREF& slot = message == LVM_SETBKCOLOR ? s.back : message == LVM_SETTEXTCOLOR ? s.ink : s.textBack;
      slot = static_cast<COLORREF>(lParam);
      InvalidateRect(hwnd, nullptr, FALSE);
      return TRUE;
    }
    case LVM_GETBKCOLOR:
      return s.back;
    case LVM_GETTEXTCOLOR:
      return s.ink;
    case LVM_GETTEXTBKCOLOR:
      return s.textBack;
    default:
      return std::nullopt;
  }
}

// Where things are: scrolling, hit tests, rectangles and sizes.
Answer GeometryMessage(HWND hwnd, ListState& s, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case LVM_GETTOPINDEX:
      return TopIndex(hwnd, s);
    case LVM_GETCOUNTPERPAGE:
      return CountPerPage(hwnd, s);
    case LVM_ENSUREVISIBLE:
      return EnsureVisible(hwnd, static_cast<int>(wParam), lParam != 0);
    case LVM_SCROLL:
      return ScrollBy(hwnd, static_cast<int>(wParam), static_cast<int>(lParam));
    case LVM_HITTEST:
    case LVM_SUBITEMHITTEST: {
      auto* hit = reinterpret_cast<LVHITTESTINFO*>(lParam);
      if (!hit) return -1;
      HitTest(hwnd, s, hit, message == LVM_SUBITEMHITTEST);
      return hit->iItem;
    }
    case LVM_GETITEMRECT:
    case LVM_GETSUBITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(lParam);
      const int i = static_cast<int>(wParam);
      if (!r || i < 0 || i >= Count(s)) return FALSE;
      const int sub = message == LVM_GETSUBITEMRECT ? r->top : 0;
      return PartRect(hwnd, s, i, sub, r->left, r) ? TRUE : FALSE;
    }
    case LVM_GETITEMPOSITION: {
      auto* p = reinterpret_cast<POINT*>(lParam);
      const int i = static_cast<int>(wParam);
      if (!p || i < 0 || i >= Count(s)) return FALSE;
      const RECT r = Bounds(hwnd, s, i);
      *p = {r.left, r.top};
      return TRUE;
    }
    case LVM_GETITEMSPACING: {
      const SIZE cell = CellSize(hwnd, s);
      return MAKELONG(cell.cx, cell.cy);
    }
    case LVM_GETVIEWRECT: {
      auto* r = reinterpret_cast<RECT*>(lParam);
      if (!r) return FALSE;
      RECT client{};
      GetClientRect(hwnd, &client);
      const LRESULT size = ApproximateViewRect(hwnd, s, -1, client.right, client.bottom);
      *r = {0, 0, LOWORD(size), HIWORD(size)};
      return TRUE;
    }
    case LVM_APPROXIMATEVIEWRECT:
      return ApproximateViewRect(hwnd, s, static_cast<int>(wParam), static_cast<short>(LOWORD(lParam)),
                                 static_cast<short>(HIWORD(lParam)));
    case LVM_GETSTRINGWIDTHW:
      return lParam ? TextWidth(hwnd, s, reinterpret_cast<LPCWSTR>(lParam)) : 0;
    case LVM_ARRANGE:
      InvalidateRect(hwnd, nullptr, FALSE);
      return TRUE;
    default:
      return std::nullopt;
  }
}

}  // namespace

LRESULT Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    OnCreate(hwnd);
    return 0;
  }
  ListState* s = StateOf(hwnd);
  if (!s) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    delete s;
    SetWindowLongW(hwnd, kStateSlot, 0);
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  using Group = Answer (*)(HWND, ListState&, UINT, WPARAM, LPARAM);
  static constexpr Group kWindow[] = {WindowMessage};
  static constexpr Group kList[] = {ItemMessage, LookMessage, GeometryMessage};
  const bool own = message >= LVM_FIRST && message < LVM_FIRST + 0x100;
  for (Group group : own ? std::span<const Group>(kList) : std::span<const Group>(kWindow)) {
    if (Answer answer = group(hwnd, *s, message, wParam, lParam)) return *answer;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace qv::ui::listview

namespace qv::ui {

LRESULT ListViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return listview::Procedure(hwnd, message, wParam, lParam);
}

}  // namespace qv::ui
