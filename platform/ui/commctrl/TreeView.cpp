// The tree view ("SysTreeView32"). Items are linked parent, first child and
// siblings under a hidden root; handles are serial numbers looked up in a
// table, so a stale or made-up handle finds nothing instead of freed memory.
// The rows on screen are the items whose ancestors are all expanded, in
// depth-first order, scrolled a whole row at a time.
//
// The parent hears: TVN_SELCHANGING (TRUE refuses) and TVN_SELCHANGED;
// TVN_ITEMEXPANDING (TRUE refuses) and TVN_ITEMEXPANDED for the user's
// expansions and for the first TVM_EXPAND of an item; TVN_DELETEITEM for
// each item that goes, a parent before its children; TVN_KEYDOWN before a
// key is handled; NM_CLICK when a tap on an item ends (TRUE keeps the
// selection where it was), NM_DBLCLK (TRUE keeps the item as it is) and
// NM_RETURN.
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/ui/commctrl/CommCtrlTree.h"
#include "platform/ui/commctrl/Notify.h"
#include "platform/ui/controls/ControlClasses.h"
#include "platform/ui/controls/ScrollBar.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/input/Keyboard.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/theme/StylePainter.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/ui/window/Paint.h"
#include "platform/ui/window/ScopedGetDC.h"

namespace qv::ui {
namespace {

struct Item {
  HTREEITEM handle = nullptr;
  std::wstring text;
  int image = 0;
  int selectedImage = 0;
  int children = 0;  // as given with TVIF_CHILDREN
  bool childrenGiven = false;
  LPARAM param = 0;
  UINT state = 0;
  Item* parent = nullptr;
  Item* first = nullptr;
  Item* next = nullptr;
  Item* prev = nullptr;
};

struct TreeState {
  std::unordered_map<HTREEITEM, std::unique_ptr<Item>> items;
  Item root;
  ULONG_PTR serial = 0;
  Item* selected = nullptr;
  Item* pressed = nullptr;  // the item a tap went down on
  int top = 0;              // the first row shown
  int itemHeight = 0;       // 0: from the font and the images
  int indent = 38;
  HIMAGELIST images = nullptr;
  HIMAGELIST stateImages = nullptr;
  std::vector<Item*> rows;
  bool rowsValid = false;
  int removing = 0;  // items are being taken out: the parent may not take more meanwhile
};

TreeState* StateOf(HWND hwnd) { return StateObject<TreeState>(hwnd); }
DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }

Item* Lookup(TreeState& s, HTREEITEM h) {
  if (h == TVI_ROOT) return &s.root;
  const auto it = s.items.find(h);
  return it == s.items.end() ? nullptr : it->second.get();
}

// A real item (never the hidden root).
Item* Real(TreeState& s, LPARAM h) {
  Item* it = Lookup(s, reinterpret_cast<HTREEITEM>(h));
  return it == &s.root ? nullptr : it;
}

bool HasChildren(const Item& it) { return it.childrenGiven ? it.children != 0 : it.first != nullptr; }
bool Expanded(const Item& it) { return (it.state & TVIS_EXPANDED) != 0; }

int Level(const Item& it) {
  int level = 0;
  for (const Item* p = it.parent; p && p->parent; p = p->parent) ++level;
  return level;
}

const std::vector<Item*>& Rows(TreeState& s) {
  if (s.rowsValid) return s.rows;
  s.rows.clear();
  // Depth first without recursion: a hostile depth cannot exhaust the stack.
  Item* it = s.root.first;
  while (it) {
    s.rows.push_back(it);
    if (it->first && Expanded(*it)) {
      it = it->first;
      continue;
    }
    while (it && !it->next) it = it->parent == &s.root ? nullptr : it->parent;
    if (it) it = it->next;
  }
  s.rowsValid = true;
  return s.rows;
}

int RowOf(TreeState& s, const Item* it) {
  const auto& rows = Rows(s);
  const auto at = std::find(rows.begin(), rows.end(), it);
  return at == rows.end() ? -1 : static_cast<int>(at - rows.begin());
}

RECT Client(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return r;
}


SIZE ImageSize(const TreeState& s) {
  SIZE size{};
  int w = 0;
  int h = 0;
  if (s.images && ImageList_GetIconSize(s.images, &w, &h)) size = {w, h};
  return size;
}

int ItemHeight(HWND hwnd, const TreeState& s) {
  if (s.itemHeight > 0) return s.itemHeight;
  return std::max(FontLineHeight(hwnd, ControlFont(hwnd)) + 8, static_cast<int>(ImageSize(s).cy) + 4);
}

int PageRows(HWND hwnd, const TreeState& s) {
  return std::max(1, static_cast<int>(Client(hwnd).bottom) / std::max(1, ItemHeight(hwnd, s)));
}

bool RootLines(HWND hwnd) {
  const DWORD style = StyleOf(hwnd);
  return (style & TVS_LINESATROOT) && (style & (TVS_HASLINES | TVS_HASBUTTONS));
}

// Where one item's parts lie on its row.
struct Layout {
  RECT row{};
  LONG indentEnd = 0;  // its button column ends here: the image starts
  RECT image{};
  RECT label{};
};

Layout LayOut(HWND hwnd, TreeState& s, const Item& it, int row) {
  Layout l;
  const int h = ItemHeight(hwnd, s);
  const LONG y = static_cast<LONG>((row - s.top) * h);
  l.row = {0, y, Client(hwnd).right, y + h};
  l.indentEnd = static_cast<LONG>((Level(it) + (RootLines(hwnd) ? 1 : 0)) * s.indent);
  const SIZE image = ImageSize(s);
  l.image = {l.indentEnd, y + (h - image.cy) / 2, l.indentEnd + image.cx, y + (h - image.cy) / 2 + image.cy};
  SIZE text{};
  {
    const qv::ScopedGetDC dc(hwnd);
    const qv::ScopedSelectObject withFont(dc, ControlFont(hwnd));
    GetTextExtentPoint32W(dc, it.text.c_str(), static_cast<int>(it.text.size()), &text);
  }
  const LONG left = l.image.right + (image.cx ? 4 : 0);
  l.label = {left, y, left + text.cx + StylePainter::kLabelGap, y + h};
  return l;
}

void UpdateScroll(HWND hwnd, TreeState& s) {
  const int count = static_cast<int>(Rows(s).size());
  s.top = std::clamp(s.top, 0, std::max(0, count - PageRows(hwnd, s)));
  if (StyleOf(hwnd) & TVS_NOSCROLL) return;
  SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max(0, count - 1),
                static_cast<UINT>(PageRows(hwnd, s)), s.top, 0};
  SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
}

void Changed(HWND hwnd, TreeState& s) {
  s.rowsValid = false;
  UpdateScroll(hwnd, s);
  InvalidateRect(hwnd, nullptr, TRUE);
}

LRESULT SendNotify(HWND hwnd, NMHDR& h, UINT code) { return ParentNotify(hwnd, &h, code); }

LRESULT Simple(HWND hwnd, UINT code) {
  NMHDR h{};
  return SendNotify(hwnd, h, code);
}

TVITEMW Describe(const Item* it) {
  TVITEMW t{};
  if (!it) return t;
  t.mask = TVIF_HANDLE | TVIF_STATE | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  t.hItem = it->handle;
  t.state = it->state;
  t.stateMask = 0xFFFFu;
  t.iImage = it->image;
  t.iSelectedImage = it->selectedImage;
  t.lParam = it->param;
  return t;
}

// True when the parent answered TRUE.
bool TreeNotify(HWND hwnd, UINT code, UINT action, const Item* oldItem, const Item* newItem) {
  NMTREEVIEWW nm{};
  nm.action = action;
  nm.itemOld = Describe(oldItem);
  nm.itemNew = Describe(newItem);
  return SendNotify(hwnd, nm.hdr, code) != 0;
}

void EnsureVisible(HWND hwnd, TreeState& s, Item* it);
bool Expand(HWND hwnd, TreeState& s, Item* it, UINT code, bool byUser);

// Selects `it` (null clears); false when the parent refused.
bool Select(HWND hwnd, TreeState& s, Item* it, UINT cause) {
  if (it == s.selected) {
    if (it) EnsureVisible(hwnd, s, it);
    return true;
  }
  const HTREEITEM wanted = it ? it->handle : nullptr;
  if (TreeNotify(hwnd, TVN_SELCHANGINGW, cause, s.selected, it)) return false;
  // The parent may have deleted either item meanwhile.
  it = wanted ? Real(s, reinterpret_cast<LPARAM>(wanted)) : nullptr;
  if (wanted && !it) return false;
  Item* old = s.selected;
  if (old) old->state &= ~TVIS_SELECTED;
  s.selected = it;
  if (it) {
    it->state |= TVIS_SELECTED;
    EnsureVisible(hwnd, s, it);
  }
  Changed(hwnd, s);
  TreeNotify(hwnd, TVN_SELCHANGEDW, cause, old, it);
  return true;
}

bool IsBelow(const Item* it, const Item* ancestor) {
  for (const Item* p = it ? it->parent : nullptr; p; p = p->parent) {
    if (p == ancestor) return true;
  }
  return false;
}

void RemoveChildren(HWND hwnd, TreeState& s, Item* parent);

// Takes `it` and everything below it out of the tree.
void Remove(HWND hwnd, TreeState& s, Item* it) {
  ++s.removing;
  if (s.selected == it || IsBelow(s.selected, it)) {
    Item* next = it->next ? it->next : it->prev ? it->prev : it->parent != &s.root ? it->parent : nullptr;
    if (!Select(hwnd, s, next, TVC_UNKNOWN) || s.selected == it || IsBelow(s.selected, it)) {
      // A refusal cannot keep a selection that is going away.
      if (s.selected) s.selected->state &= ~TVIS_SELECTED;
      s.selected = nullptr;
    }
  }
  TreeNotify(hwnd, TVN_DELETEITEMW, TVC_UNKNOWN, it, nullptr);
  RemoveChildren(hwnd, s, it);
  if (it->prev) it->prev->next = it->next;
  else it->parent->first = it->next;
  if (it->next) it->next->prev = it->prev;
  if (s.pressed == it) s.pressed = nullptr;
  s.items.erase(it->handle);
  --s.removing;
}

void RemoveChildren(HWND hwnd, TreeState& s, Item* parent) {
  while (parent->first) Remove(hwnd, s, parent->first);
}

bool Expand(HWND hwnd, TreeState& s, Item* it, UINT code, bool byUser) {
  if (!it || it == &s.root || !HasChildren(*it)) return false;
  UINT op = code & TVE_TOGGLE;
  if (op == TVE_TOGGLE) op = Expanded(*it) ? TVE_COLLAPSE : TVE_EXPAND;
  if (op == TVE_EXPAND && Expanded(*it)) return true;
  if (code & TVE_COLLAPSERESET && s.removing) return false;
  if (op == TVE_COLLAPSE && !Expanded(*it)) {
    if (code & TVE_COLLAPSERESET) RemoveChildren(hwnd, s, it);
    return false;
  }
  const bool notify = byUser || (op == TVE_EXPAND && !(it->state & TVIS_EXPANDEDONCE));
  const HTREEITEM handle = it->handle;
  if (notify && TreeNotify(hwnd, TVN_ITEMEXPANDINGW, op, nullptr, it)) return false;
  it = Real(s, reinterpret_cast<LPARAM>(handle));
  if (!it) return false;
  if (op == TVE_EXPAND) {
    it->state |= TVIS_EXPANDED | TVIS_EXPANDEDONCE;
  } else {
    it->state &= ~TVIS_EXPANDED;
    if (IsBelow(s.selected, it)) Select(hwnd, s, it, TVC_UNKNOWN);
    if (code & TVE_COLLAPSERESET) {
      it->state &= ~TVIS_EXPANDEDONCE;
      RemoveChildren(hwnd, s, it);
    }
  }
  Changed(hwnd, s);
  if (notify) TreeNotify(hwnd, TVN_ITEMEXPANDEDW, op, nullptr, it);
  return true;
}

void EnsureVisible(HWND hwnd, TreeState& s, Item* it) {
  for (Item* p = it->parent; p && p != &s.root; p = p->parent) {
    if (!Expanded(*p)) Expand(hwnd, s, p, TVE_EXPAND, false);
  }
  const int row = RowOf(s, it);
  if (row < 0) return;
  const int page = PageRows(hwnd, s);
  if (row < s.top) s.top = row;
  else if (row >= s.top + page) s.top = row - page + 1;
  Changed(hwnd, s);
}

Item* Insert(HWND hwnd, TreeState& s, const TVINSERTSTRUCTW& in) {
  Item* parent = in.hParent ? Lookup(s, in.hParent) : &s.root;
  if (!parent) return nullptr;
  auto owned = std::make_unique<Item>();
  Item* it = owned.get();
  it->handle = reinterpret_cast<HTREEITEM>(++s.serial);
  it->parent = parent;
  const TVITEMW& t = in.item;
  if ((t.mask & TVIF_TEXT) && t.pszText && t.pszText != LPSTR_TEXTCALLBACKW) it->text = t.pszText;
  if (t.mask & TVIF_IMAGE) it->image = t.iImage;
  if (t.mask & TVIF_SELECTEDIMAGE) it->selectedImage = t.iSelectedImage;
  if (t.mask & TVIF_PARAM) it->param = t.lParam;
  if (t.mask & TVIF_STATE) it->state = t.state & t.stateMask & ~TVIS_SELECTED;
  if (t.mask & TVIF_CHILDREN) {
    it->children = t.cChildren;
    it->childrenGiven = true;
  }
  // Its place among the parent's children.
  Item* after = nullptr;  // null: first
  if (in.hInsertAfter == TVI_FIRST) {
    after = nullptr;
  } else if (in.hInsertAfter == TVI_SORT) {
    for (Item* c = parent->first; c && c->text.compare(it->text) <= 0; c = c->next) after = c;
  } else {
    Item* named = in.hInsertAfter == TVI_LAST ? nullptr : Lookup(s, in.hInsertAfter);
    if (named && named->parent == parent) {
      after = named;
    } else {
      for (Item* c = parent->first; c; c = c->next) after = c;  // TVI_LAST, or a stranger
    }
  }
  it->prev = after;
  it->next = after ? after->next : parent->first;
  if (it->next) it->next->prev = it;
  if (after) after->next = it;
  else parent->first = it;
  s.items.emplace(it->handle, std::move(owned));
  Changed(hwnd, s);
  return it;
}

Item* NextOf(HWND hwnd, TreeState& s, UINT code, Item* it) {
  const auto& rows = Rows(s);
  const int row = it ? RowOf(s, it) : -1;
  switch (code) {
    case TVGN_ROOT: return s.root.first;
    case TVGN_CARET: return s.selected;
    case TVGN_FIRSTVISIBLE: return s.top < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(s.top)] : nullptr;
    case TVGN_LASTVISIBLE: return rows.empty() ? nullptr : rows.back();
    case TVGN_DROPHILITE: return nullptr;
    default: break;
  }
  if (!it) return nullptr;
  switch (code) {
    case TVGN_NEXT: return it->next;
    case TVGN_PREVIOUS: return it->prev;
    case TVGN_PARENT: return it->parent == &s.root ? nullptr : it->parent;
    case TVGN_CHILD: return it->first;
    case TVGN_NEXTVISIBLE: return row >= 0 && row + 1 < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(row + 1)] : nullptr;
    case TVGN_PREVIOUSVISIBLE: return row > 0 ? rows[static_cast<size_t>(row - 1)] : nullptr;
    default: (void)hwnd; return nullptr;
  }
}

TVHITTESTINFO HitTest(HWND hwnd, TreeState& s, POINT p) {
  TVHITTESTINFO hit{p, 0, nullptr};
  const RECT client = Client(hwnd);
  if (p.y < 0) hit.flags |= TVHT_ABOVE;
  if (p.y >= client.bottom) hit.flags |= TVHT_BELOW;
  if (p.x < 0) hit.flags |= TVHT_TOLEFT;
  if (p.x >= client.right) hit.flags |= TVHT_TORIGHT;
  if (hit.flags) return hit;
  const int row = s.top + static_cast<int>(p.y) / std::max(1, ItemHeight(hwnd, s));
  const auto& rows = Rows(s);
  if (row >= static_cast<int>(rows.size())) {
    hit.flags = TVHT_NOWHERE;
    return hit;
  }
  Item* it = rows[static_cast<size_t>(row)];
  const Layout l = LayOut(hwnd, s, *it, row);
  hit.hItem = it->handle;
  const bool button = (StyleOf(hwnd) & TVS_HASBUTTONS) && HasChildren(*it) && (Level(*it) > 0 || RootLines(hwnd));
  if (p.x < l.indentEnd) hit.flags = button && p.x >= l.indentEnd - s.indent ? TVHT_ONITEMBUTTON : TVHT_ONITEMINDENT;
  else if (p.x < l.image.right) hit.flags = TVHT_ONITEMICON;
  else if (p.x < l.label.right) hit.flags = TVHT_ONITEMLABEL;
  else hit.flags = TVHT_ONITEMRIGHT;
  return hit;
}

void PaintLines(HWND hwnd, HDC dc, TreeState& s, const Item& it, const Layout& l) {
  const DWORD style = StyleOf(hwnd);
  const bool atRoot = it.parent == &s.root;
  const LONG mid = (l.row.top + l.row.bottom) / 2;
  const LONG x = l.indentEnd - s.indent / 2;
  if ((style & TVS_HASLINES) && (!atRoot || RootLines(hwnd))) {
    StylePainter::PaintTreeLine(dc, {x, mid}, {l.indentEnd - 2, mid});
    const LONG upTo = it.prev || !atRoot ? l.row.top : mid;
    StylePainter::PaintTreeLine(dc, {x, upTo}, {x, it.next ? l.row.bottom : mid});
    // The lines of the ancestors that have later siblings pass by.
    LONG ax = x;
    for (const Item* a = it.parent; a && a != &s.root; a = a->parent) {
      ax -= s.indent;
      if (a->next && (a->parent != &s.root || RootLines(hwnd))) StylePainter::PaintTreeLine(dc, {ax, l.row.top}, {ax, l.row.bottom});
    }
  }
  if ((style & TVS_HASBUTTONS) && HasChildren(it) && (!atRoot || RootLines(hwnd))) {
    StylePainter::PaintTreeButton(dc, {x, mid}, Expanded(it));
  }
}

void Paint(HWND hwnd, HDC dc) {
  TreeState* s = StateOf(hwnd);
  if (!s) return;
  const RECT client = Client(hwnd);
  FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
  HGDIOBJ old = ControlFont(hwnd) ? SelectObject(dc, ControlFont(hwnd)) : nullptr;
  const bool focused = GetFocus() == hwnd;
  const bool showSelection = focused || (StyleOf(hwnd) & TVS_SHOWSELALWAYS);
  ControlState state;
  state.focused = focused;
  state.disabled = !IsWindowEnabled(hwnd);
  const auto& rows = Rows(*s);
  for (int row = s->top; row < static_cast<int>(rows.size()); ++row) {
    const Item& it = *rows[static_cast<size_t>(row)];
    const Layout l = LayOut(hwnd, *s, it, row);
    if (l.row.top >= client.bottom) break;
    PaintLines(hwnd, dc, *s, it, l);
    const bool selected = &it == s->selected && showSelection;
    if (s->images) {
      const int image = &it == s->selected ? it.selectedImage : it.image;
      if (image >= 0) ImageList_Draw(s->images, image, dc, l.image.left, l.image.top, ILD_TRANSPARENT);
    }
    StylePainter::PaintListItem(dc, l.label, it.text.c_str(), selected, &it == s->selected, state, selected && !focused);
  }
  if (old) SelectObject(dc, old);
}

void Scroll(HWND hwnd, TreeState& s, WORD code, int thumb) {
  const int page = PageRows(hwnd, s);
  switch (code) {
    case SB_LINEUP: --s.top; break;
    case SB_LINEDOWN: ++s.top; break;
    case SB_PAGEUP: s.top -= std::max(1, page - 1); break;
    case SB_PAGEDOWN: s.top += std::max(1, page - 1); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: s.top = thumb; break;
    case SB_TOP: s.top = 0; break;
    case SB_BOTTOM: s.top = static_cast<int>(Rows(s).size()); break;
    default: return;
  }
  Changed(hwnd, s);
}

void Key(HWND hwnd, TreeState& s, UINT vk) {
  NMTVKEYDOWN nm{};
  nm.wVKey = static_cast<WORD>(vk);
  SendNotify(hwnd, nm.hdr, TVN_KEYDOWN);
  const auto& rows = Rows(s);
  if (rows.empty()) return;
  Item* at = s.selected;
  const int row = at ? RowOf(s, at) : -1;
  const int last = static_cast<int>(rows.size()) - 1;
  auto rowItem = [&](int r) { return rows[static_cast<size_t>(std::clamp(r, 0, last))]; };
  switch (vk) {
    case VK_UP: Select(hwnd, s, rowItem(row < 0 ? 0 : row - 1), TVC_BYKEYBOARD); break;
    case VK_DOWN: Select(hwnd, s, rowItem(row + 1), TVC_BYKEYBOARD); break;
    case VK_HOME: Select(hwnd, s, rowItem(0), TVC_BYKEYBOARD); break;
    case VK_END: Select(hwnd, s, rowItem(last), TVC_BYKEYBOARD); break;
    case VK_PRIOR: Select(hwnd, s, rowItem(row - std::max(1, PageRows(hwnd, s) - 1)), TVC_BYKEYBOARD); break;
    case VK_NEXT: Select(hwnd, s, rowItem(row + std::max(1, PageRows(hwnd, s) - 1)), TVC_BYKEYBOARD); break;
    case VK_LEFT:
      if (at && Expanded(*at) && HasChildren(*at)) Expand(hwnd, s, at, TVE_COLLAPSE, true);
      else if (at && at->parent != &s.root) Select(hwnd, s, at->parent, TVC_BYKEYBOARD);
      break;
    case VK_RIGHT:
      if (at && HasChildren(*at) && !Expanded(*at)) Expand(hwnd, s, at, TVE_EXPAND, true);
      else if (at && at->first && Expanded(*at)) Select(hwnd, s, at->first, TVC_BYKEYBOARD);
      break;
    case VK_ADD:
      if (at) Expand(hwnd, s, at, TVE_EXPAND, true);
      break;
    case VK_SUBTRACT:
      if (at) Expand(hwnd, s, at, TVE_COLLAPSE, true);
      break;
    case VK_RETURN:
      Simple(hwnd, NM_RETURN);
      break;
    default:
      break;
  }
}

LRESULT Pointer(HWND hwnd, TreeState& s, UINT message, WPARAM wParam, LPARAM lParam) {
  const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  const RECT client = Client(hwnd);
  if (!PtInRect(&client, p) && GetCapture() != hwnd) return DefWindowProcW(hwnd, message, wParam, lParam);
  const TVHITTESTINFO hit = HitTest(hwnd, s, p);
  Item* it = hit.hItem ? Real(s, reinterpret_cast<LPARAM>(hit.hItem)) : nullptr;
  switch (message) {
    case WM_LBUTTONDOWN:
      if (GetFocus() != hwnd) SetFocus(hwnd);
      if (hit.flags & TVHT_ONITEMBUTTON) {
        Expand(hwnd, s, it, TVE_TOGGLE, true);
        return 0;
      }
      s.pressed = it && (hit.flags & TVHT_ONITEM) ? it : nullptr;
      SetCapture(hwnd);
      return 0;
    case WM_LBUTTONDBLCLK:
      if (GetFocus() != hwnd) SetFocus(hwnd);
      if (hit.flags & TVHT_ONITEMBUTTON) {
        Expand(hwnd, s, it, TVE_TOGGLE, true);
        return 0;
      }
      s.pressed = nullptr;
      if (!Simple(hwnd, NM_DBLCLK) && (it = Real(s, reinterpret_cast<LPARAM>(hit.hItem))) && (hit.flags & TVHT_ONITEM)) {
        Expand(hwnd, s, it, TVE_TOGGLE, true);
      }
      return 0;
    case WM_LBUTTONUP: {
      Item* pressed = s.pressed;  // before letting go: losing the capture forgets it
      s.pressed = nullptr;
      if (GetCapture() == hwnd) ReleaseCapture();
      if (!pressed || pressed != it) return 0;
      const HTREEITEM handle = pressed->handle;
      // The selection moves after NM_CLICK, which may keep it.
      if (Simple(hwnd, NM_CLICK)) return 0;
      if (Item* again = Real(s, reinterpret_cast<LPARAM>(handle))) Select(hwnd, s, again, TVC_BYMOUSE);
      return 0;
    }
    default:
      return 0;
  }
}

BOOL GetItem(TreeState& s, TVITEMW* t) {
  Item* it = t ? Real(s, reinterpret_cast<LPARAM>(t->hItem)) : nullptr;
  if (!it) return FALSE;
  if ((t->mask & TVIF_TEXT) && t->pszText && t->cchTextMax > 0) {
    const size_t n = std::min(it->text.size(), static_cast<size_t>(t->cchTextMax) - 1);
    std::copy_n(it->text.begin(), n, t->pszText);
    t->pszText[n] = L'\0';
  }
  if (t->mask & TVIF_IMAGE) t->iImage = it->image;
  if (t->mask & TVIF_SELECTEDIMAGE) t->iSelectedImage = it->selectedImage;
  if (t->mask & TVIF_PARAM) t->lParam = it->param;
  if (t->mask & TVIF_STATE) t->state = it->state & t->stateMask;
  if (t->mask & TVIF_CHILDREN) t->cChildren = it->childrenGiven ? it->children : (it->first ? 1 : 0);
  return TRUE;
}

BOOL SetItem(HWND hwnd, TreeState& s, const TVITEMW* t) {
  Item* it = t ? Real(s, reinterpret_cast<LPARAM>(t->hItem)) : nullptr;
  if (!it) return FALSE;
  if ((t->mask & TVIF_TEXT) && t->pszText && t->pszText != LPSTR_TEXTCALLBACKW) it->text = t->pszText;
  if (t->mask & TVIF_IMAGE) it->image = t->iImage;
  if (t->mask & TVIF_SELECTEDIMAGE) it->selectedImage = t->iSelectedImage;
  if (t->mask & TVIF_PARAM) it->param = t->lParam;
  if (t->mask & TVIF_CHILDREN) {
    it->children = t->cChildren;
    it->childrenGiven = true;
  }
  if (t->mask & TVIF_STATE) {
    // Selection and expansion go through their own routes.
    const UINT mask = t->stateMask & ~(TVIS_SELECTED | TVIS_EXPANDED | TVIS_EXPANDEDONCE);
    it->state = (it->state & ~mask) | (t->state & mask);
    if ((t->stateMask & TVIS_EXPANDED) && ((t->state & TVIS_EXPANDED) != 0) != Expanded(*it)) {
      it->state ^= TVIS_EXPANDED;
    }
  }
  Changed(hwnd, s);
  return TRUE;
}

LRESULT ItemRect(HWND hwnd, TreeState& s, WPARAM textOnly, LPARAM lParam) {
  auto* r = reinterpret_cast<RECT*>(lParam);
  if (!r) return FALSE;
  HTREEITEM h = nullptr;
  std::memcpy(&h, r, sizeof h);
  Item* it = Real(s, reinterpret_cast<LPARAM>(h));
  const int row = it ? RowOf(s, it) : -1;
  if (row < 0) return FALSE;
  const Layout l = LayOut(hwnd, s, *it, row);
  *r = textOnly ? l.label : l.row;
  return TRUE;
}

std::optional<LRESULT> TreeMessage(HWND hwnd, TreeState& s, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case TVM_INSERTITEMW: {
      const auto* in = reinterpret_cast<const TVINSERTSTRUCTW*>(lParam);
      Item* it = in ? Insert(hwnd, s, *in) : nullptr;
      return reinterpret_cast<LRESULT>(it ? it->handle : nullptr);
    }
    case TVM_DELETEITEM: {
      const HTREEITEM h = reinterpret_cast<HTREEITEM>(lParam);
      if (s.removing) return FALSE;  // asked from a TVN_DELETEITEM or a selection change it caused
      if (!h || h == TVI_ROOT) {
        RemoveChildren(hwnd, s, &s.root);
      } else if (Item* it = Real(s, lParam)) {
        Remove(hwnd, s, it);
      } else {
        return FALSE;
      }
      Changed(hwnd, s);
      return TRUE;
    }
    case TVM_EXPAND:
      return Expand(hwnd, s, Real(s, lParam), static_cast<UINT>(wParam), false) ? TRUE : FALSE;
    case TVM_GETITEMRECT:
      return ItemRect(hwnd, s, wParam, lParam);
    case TVM_GETCOUNT:
      return static_cast<LRESULT>(s.items.size());
    case TVM_GETINDENT:
      return s.indent;
    case TVM_SETINDENT:
      s.indent = std::max(StylePainter::kTreeButton + 4, static_cast<int>(static_cast<INT_PTR>(wParam)));
      Changed(hwnd, s);
      return 0;
    case TVM_GETIMAGELIST:
      return reinterpret_cast<LRESULT>(wParam == TVSIL_STATE ? s.stateImages : s.images);
    case TVM_SETIMAGELIST: {
      HIMAGELIST& slot = wParam == TVSIL_STATE ? s.stateImages : s.images;
      HIMAGELIST old = slot;
      slot = reinterpret_cast<HIMAGELIST>(lParam);
      Changed(hwnd, s);
      return reinterpret_cast<LRESULT>(old);
    }
    case TVM_GETNEXTITEM: {
      Item* from = lParam ? Real(s, lParam) : nullptr;
      if (lParam && !from) return 0;
      Item* it = NextOf(hwnd, s, static_cast<UINT>(wParam), from);
      return reinterpret_cast<LRESULT>(it ? it->handle : nullptr);
    }
    case TVM_SELECTITEM: {
      Item* it = lParam ? Real(s, lParam) : nullptr;
      if (lParam && !it) return FALSE;
      if (wParam == TVGN_CARET) return Select(hwnd, s, it, TVC_UNKNOWN) ? TRUE : FALSE;
      if (wParam == TVGN_FIRSTVISIBLE && it) {
        EnsureVisible(hwnd, s, it);
        s.top = RowOf(s, it);
        Changed(hwnd, s);
        return TRUE;
      }
      return wParam == TVGN_DROPHILITE ? TRUE : FALSE;
    }
    case TVM_GETVISIBLECOUNT:
      return PageRows(hwnd, s);
    case TVM_HITTEST: {
      auto* hit = reinterpret_cast<TVHITTESTINFO*>(lParam);
      if (!hit) return 0;
      *hit = HitTest(hwnd, s, hit->pt);
      return reinterpret_cast<LRESULT>(hit->hItem);
    }
    case TVM_ENSUREVISIBLE: {
      Item* it = Real(s, lParam);
      if (!it) return FALSE;
      EnsureVisible(hwnd, s, it);
      return TRUE;
    }
    case TVM_SETITEMHEIGHT: {
      const int old = ItemHeight(hwnd, s);
      const int h = static_cast<int>(static_cast<short>(LOWORD(wParam)));
      s.itemHeight = h > 0 ? h : 0;
      Changed(hwnd, s);
      return old;
    }
    case TVM_GETITEMHEIGHT:
      return ItemHeight(hwnd, s);
    case TVM_GETITEMW:
      return GetItem(s, reinterpret_cast<TVITEMW*>(lParam));
    case TVM_SETITEMW:
      return SetItem(hwnd, s, reinterpret_cast<const TVITEMW*>(lParam));
    default:
      return std::nullopt;
  }
}

}  // namespace

LRESULT TreeViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto setUp = [hwnd](TreeState& s, const CREATESTRUCTW*) {
    s.root.handle = TVI_ROOT;
    s.root.state = TVIS_EXPANDED;
    UpdateScroll(hwnd, s);
    return true;
  };
  if (auto done = StateLifetime<TreeState>(hwnd, message, wParam, lParam, setUp)) return *done;
  TreeState* s = StateOf(hwnd);
  if (!s) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (auto done = ListBasics(hwnd, message, wParam, lParam, Paint, [hwnd, s] { Changed(hwnd, *s); })) return *done;
  if (auto done = TreeMessage(hwnd, *s, message, wParam, lParam)) return *done;
  switch (message) {
    case WM_DESTROY:
      // The parent hears every item go while it can still look at them.
      RemoveChildren(hwnd, *s, &s->root);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(hwnd, nullptr, TRUE);
      Simple(hwnd, message == WM_SETFOCUS ? NM_SETFOCUS : NM_KILLFOCUS);
      return 0;
    case WM_KEYDOWN:
      Key(hwnd, *s, static_cast<UINT>(wParam));
      return 0;
    case WM_VSCROLL:
      Scroll(hwnd, *s, LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
      return Pointer(hwnd, *s, message, wParam, lParam);
    case WM_CAPTURECHANGED:
      s->pressed = nullptr;
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace qv::ui
