// Inside the list view: its state object (the window's first extra slot
// points to it) and the pieces its three source files share: the items and
// their states (ListView.cpp), geometry, scrolling and hit tests
// (ListViewLayout.cpp), painting (ListViewPaint.cpp).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/ui/controls/ControlClasses.h"
#include "platform/ui/commctrl/Header.h"
#include "platform/ui/commctrl/ListView.h"
#include "platform/ui/controls/ScrollBar.h"
#include "platform/ui/theme/StylePainter.h"

namespace qv::ui::listview {

struct Cell {
  std::wstring text;
  bool callback = false;  // LPSTR_TEXTCALLBACK: the parent gives the text
  int image = I_IMAGENONE;
};

struct Item {
  std::vector<Cell> cells;  // [0] the item's own label, then its sub-items
  UINT state = 0;
  LPARAM param = 0;
  int indent = 0;
};

struct Column {
  int fmt = LVCFMT_LEFT;
  int width = 0;
  std::wstring text;
  int subItem = 0;
  int image = I_IMAGENONE;
};

struct ListState {
  bool ownerData = false;
  std::vector<Item> items;          // without LVS_OWNERDATA
  int ownerCount = 0;               // with it: the count and the non-zero states
  std::map<int, UINT> ownerStates;
  std::vector<Column> columns;
  HIMAGELIST images[3] = {};        // LVSIL_NORMAL, LVSIL_SMALL, LVSIL_STATE
  DWORD exStyle = 0;
  COLORREF back = 0;
  COLORREF ink = 0;
  COLORREF textBack = 0;
  HWND header = nullptr;
  HFONT font = nullptr;
  int focus = -1;  // the item with LVIS_FOCUSED
  int mark = -1;   // where Shift ranges start
  int top = 0;     // the first line shown: a row, a list column or a row of icons
  int scrollX = 0;  // a report's columns scrolled sideways, in pixels
  bool hasFocus = false;
  bool pressed = false;  // a tap began inside and is not released yet
  int pressItem = -1;
  int pressSub = 0;
  bool inLayout = false;
  int headerHeight = 0;  // 0 while the header is hidden
  // Measured by Measure().
  int textHeight = 0;
  int rowHeight = 0;
  // An owner-drawn report's row height as its owner answered WM_MEASUREITEM; 0 = not asked yet.
  int measuredHeight = 0;
  int listColumnWidth = 0;  // LVS_LIST, set by LVM_SETCOLUMNWIDTH
};

// What an item shows, from the item or from the parent.
struct Shown {
  std::wstring text;
  int image = I_IMAGENONE;
};

// Where the parts of an item lie (client coordinates). `state` is empty
// without check boxes or state images, `icon` without an image list.
struct Parts {
  RECT bounds{};
  RECT state{};
  RECT icon{};
  RECT label{};
};

// The lines of the view: `total` lines, `page` of them fully shown.
struct Lines {
  int total = 0;
  int page = 0;
};

inline ListState* StateOf(HWND hwnd) { return reinterpret_cast<ListState*>(GetWindowLongW(hwnd, kStateSlot)); }
inline DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }
inline UINT ViewOf(HWND hwnd) { return StyleOf(hwnd) & LVS_TYPEMASK; }
inline int Count(const ListState& s) { return s.ownerData ? s.ownerCount : static_cast<int>(s.items.size()); }

// ListView.cpp
LRESULT Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT Notify(HWND hwnd, NMHDR* head, UINT code);
UINT ItemState(const ListState& s, int i);
// The first item after `after` whose state holds every bit of `bits`.
int NextWithState(const ListState& s, int after, UINT bits);
// Asks LVN_GETDISPINFO for what the item keeps no copy of.
Shown FetchShown(HWND hwnd, ListState& s, int i, int sub, bool text, bool image);

// ListViewLayout.cpp
void Measure(HWND hwnd);
void Relayout(HWND hwnd);
RECT ItemArea(HWND hwnd, const ListState& s);
SIZE CellSize(HWND hwnd, const ListState& s);
Lines LinesOf(HWND hwnd, const ListState& s);
int ScrollBarOf(HWND hwnd);
RECT Bounds(HWND hwnd, const ListState& s, int i);
Parts PartsOf(HWND hwnd, const ListState& s, int i);
// The width from an item's left edge to its label (check box, state and small icon).
int LabelInset(const ListState& s);
bool PartRect(HWND hwnd, const ListState& s, int i, int sub, int code, RECT* out);
RECT SubItemRect(const ListState& s, const RECT& bounds, int column);
// The column under x in a report row, or -1.
int ColumnAt(const ListState& s, const RECT& bounds, int x);
void HitTest(HWND hwnd, const ListState& s, LVHITTESTINFO* hit, bool subItems);
// The items that may lie in `r`, first and last.
std::pair<int, int> ItemsIn(HWND hwnd, const ListState& s, const RECT& r);
int Neighbour(HWND hwnd, const ListState& s, int from, BYTE key);
int TopIndex(HWND hwnd, const ListState& s);
int CountPerPage(HWND hwnd, const ListState& s);
BOOL EnsureVisible(HWND hwnd, int i, bool partialOk);
void ScrollTo(HWND hwnd, int line);
// A report's columns sideways to `x` pixels from their left end.
void ScrollSideways(HWND hwnd, int x);
BOOL ScrollBy(HWND hwnd, int dx, int dy);
LRESULT ApproximateViewRect(HWND hwnd, const ListState& s, int count, int width, int height);
int TextWidth(HWND hwnd, const ListState& s, const std::wstring& text);
void InvalidateItem(HWND hwnd, const ListState& s, int i);
void InvalidateFrom(HWND hwnd, int i);

// ListViewPaint.cpp
void Paint(HWND hwnd, HDC dc, const RECT& dirty);

}  // namespace qv::ui::listview
