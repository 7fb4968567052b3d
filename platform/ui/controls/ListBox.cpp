// The "ListBox" class and the combo box's "ComboLBox". Lines live in a state
// object whose address the window keeps in its first extra slot. A list
// inside a combo box hears no focus and tells only its combo box: every
// selection change the stylus makes, and the end of a tap (a line chosen, or
// a tap beyond the list that backs out).
#include "platform/ui/controls/ListBox.h"

#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/ComboBox.h"

#include <algorithm>
#include <cwctype>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/ui/controls/ControlClasses.h"
#include "platform/ui/controls/ScrollBar.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/input/Keyboard.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/theme/StylePainter.h"
#include "platform/ui/window/Paint.h"

namespace qv::ui {
namespace {

struct Line {
  std::wstring text;
  ULONG_PTR data = 0;
};

struct ListState {
  std::vector<Line> lines;
  int selected = -1;
  int top = 0;
  int itemHeight = 0;
  int extent = 0;   // LB_SETHORIZONTALEXTENT
  int left = 0;     // horizontal scroll, in pixels
  bool inCombo = false;
  HWND combo = nullptr;  // a combo box's list: its combo box (the owner is the top-level window)
  bool tracking = false;  // the stylus is down in the list
};

ListState* StateOf(HWND hwnd) { return StateObject<ListState>(hwnd); }
DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }

int Compare(const std::wstring& a, const std::wstring& b, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    const wint_t x = i < a.size() ? std::towupper(static_cast<wint_t>(a[i])) : 0;
    const wint_t y = i < b.size() ? std::towupper(static_cast<wint_t>(b[i])) : 0;
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
  return 0;
}

RECT Client(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return r;
}

int Rows(HWND hwnd, const ListState& s) {
  const RECT r = Client(hwnd);
  return std::max(1, static_cast<int>(r.bottom - r.top) / std::max(1, s.itemHeight));
}

int Count(const ListState& s) { return static_cast<int>(s.lines.size()); }

// Without LBS_NOINTEGRALHEIGHT a list shows whole lines only, as Windows
// sizes it: a height between two lines is cut to the lower one (a list lower
// than one line stays). True when the window was made lower.
bool ToWholeLines(HWND hwnd, const ListState& s) {
  if ((StyleOf(hwnd) & LBS_NOINTEGRALHEIGHT) || s.inCombo || s.itemHeight <= 0) return false;
  const int height = static_cast<int>(Client(hwnd).bottom);
  const int part = height % s.itemHeight;
  if (part == 0 || height < s.itemHeight) return false;
  RECT window{};
  GetWindowRect(hwnd, &window);
  return SetWindowPos(hwnd, nullptr, 0, 0, window.right - window.left, window.bottom - window.top - part,
                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}
int MaxTop(HWND hwnd, const ListState& s) { return std::max(0, Count(s) - Rows(hwnd, s)); }

void UpdateScroll(HWND hwnd, ListState& s) {
  const DWORD style = StyleOf(hwnd);
  const UINT keep = (style & LBS_DISABLENOSCROLL) ? SIF_DISABLENOSCROLL : 0u;
  s.top = std::clamp(s.top, 0, MaxTop(hwnd, s));
  if (style & WS_VSCROLL) {
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS | keep, 0, std::max(0, Count(s) - 1),
                  static_cast<UINT>(Rows(hwnd, s)), s.top, 0};
    SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
  }
  if (style & WS_HSCROLL) {
    const RECT r = Client(hwnd);
    s.left = std::clamp(s.left, 0, std::max(0, s.extent - static_cast<int>(r.right)));
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS | keep, 0, std::max(0, s.extent - 1),
                  static_cast<UINT>(r.right), s.left, 0};
    SetScrollInfo(hwnd, SB_HORZ, &si, TRUE);
  }
}

void Changed(HWND hwnd, ListState& s) {
  UpdateScroll(hwnd, s);
  if (!(StyleOf(hwnd) & LBS_NOREDRAW)) InvalidateRect(hwnd, nullptr, TRUE);
}

// Who chooses a list's colours and draws its owner-drawn lines: a combo
// box's parent for its list, else the list's parent.
HWND Owner(HWND hwnd, const ListState& s) { return s.inCombo ? GetParent(s.combo) : GetParent(hwnd); }
bool OwnerDrawn(HWND hwnd) { return (StyleOf(hwnd) & LBS_OWNERDRAWFIXED) != 0; }
// An owner-drawn list without LBS_HASSTRINGS keeps the caller's word as the
// item, not text.
bool KeepsWords(HWND hwnd) { return OwnerDrawn(hwnd) && !(StyleOf(hwnd) & LBS_HASSTRINGS); }

void Notify(HWND hwnd, const ListState& s, int code) {
  // A combo box's list tells its combo box everything; a list box tells its
  // parent only when asked to.
  if (!s.inCombo && !(StyleOf(hwnd) & LBS_NOTIFY)) return;
  if (HWND to = s.inCombo ? s.combo : GetParent(hwnd)) SendCommandNotify(to, hwnd, static_cast<WORD>(code));
}

void ShowLine(HWND hwnd, ListState& s, int index) {
  if (index < 0) return;
  if (index < s.top) s.top = index;
  else if (index >= s.top + Rows(hwnd, s)) s.top = index - Rows(hwnd, s) + 1;
}

// Selects `index` (clamped); a change the user made is told to the parent.
void Select(HWND hwnd, ListState& s, int index, bool byUser) {
  if (s.lines.empty()) return;
  index = std::clamp(index, 0, Count(s) - 1);
  ShowLine(hwnd, s, index);
  const bool change = index != s.selected;
  s.selected = index;
  Changed(hwnd, s);
  if (change && byUser) Notify(hwnd, s, LBN_SELCHANGE);
}

int LineAt(HWND hwnd, const ListState& s, POINT p) {
  const RECT r = Client(hwnd);
  if (!PtInRect(&r, p)) return -1;
  const int i = s.top + static_cast<int>(p.y) / std::max(1, s.itemHeight);
  return i < Count(s) ? i : -1;
}

int InsertAt(HWND hwnd, ListState& s, int index, LPARAM item) {
  if (index < 0 || index > Count(s)) index = Count(s);
  const bool word = KeepsWords(hwnd);
  const auto text = reinterpret_cast<LPCWSTR>(item);
  Line line{!word && text ? text : L"", word ? static_cast<ULONG_PTR>(item) : 0};
  s.lines.insert(s.lines.begin() + index, std::move(line));
  if (s.selected >= index) ++s.selected;
  Changed(hwnd, s);
  return index;
}

int SortedPlace(const ListState& s, LPCWSTR text) {
  const std::wstring t = text ? text : L"";
  const auto at = std::upper_bound(s.lines.begin(), s.lines.end(), t, [](const std::wstring& a, const Line& b) {
    return Compare(a, b.text, std::max(a.size(), b.text.size()) + 1) < 0;
  });
  return static_cast<int>(at - s.lines.begin());
}

// From the line after `start` round to `start` itself; whole lines when `exact`.
int Find(const ListState& s, WPARAM start, LPCWSTR text, bool exact) {
  if (s.lines.empty() || !text) return LB_ERR;
  const std::wstring t = text;
  const int n = Count(s);
  const int from = static_cast<int>(static_cast<INT_PTR>(start));
  const int first = from < 0 || from >= n ? 0 : from + 1;
  for (int k = 0; k < n; ++k) {
    const Line& line = s.lines[static_cast<size_t>((first + k) % n)];
    const size_t length = exact ? std::max(t.size(), line.text.size()) + 1 : t.size();
    if ((exact || line.text.size() >= t.size()) && Compare(t, line.text, length) == 0) return (first + k) % n;
  }
  return LB_ERR;
}

int DefaultItemHeight(HWND hwnd) {
  return FontLineHeight(hwnd, ControlFont(hwnd)) + 2 * StylePainter::kFrame + 4;
}

// WM_DRAWITEM for each line shown of an owner-drawn list.
void PaintOwned(HWND hwnd, HDC dc, ListState& s, HWND owner) {
  const RECT client = Client(hwnd);
  HWND control = s.inCombo ? s.combo : hwnd;
  const bool focused = GetFocus() == control;
  for (int i = s.top; i < Count(s); ++i) {
    const LONG y = static_cast<LONG>((i - s.top) * s.itemHeight);
    if (y >= client.bottom) break;
    DRAWITEMSTRUCT dis{};
    dis.CtlType = s.inCombo ? ODT_COMBOBOX : ODT_LISTBOX;
    dis.CtlID = static_cast<UINT>(GetDlgCtrlID(control));
    dis.itemID = static_cast<UINT>(i);
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = (i == s.selected ? ODS_SELECTED | (focused || s.inCombo ? ODS_FOCUS : 0u) : 0u) |
                    (IsWindowEnabled(hwnd) ? 0u : ODS_DISABLED);
    dis.hwndItem = control;
    dis.hDC = dc;
    dis.rcItem = {-s.left, y, std::max(client.right, static_cast<LONG>(s.extent)) - s.left, y + s.itemHeight};
    dis.itemData = s.lines[static_cast<size_t>(i)].data;
    SendMessageW(owner, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
    if (!IsWindow(hwnd) || StateOf(hwnd) != &s) return;
  }
}

void Paint(HWND hwnd, HDC dc) {
  ListState* s = StateOf(hwnd);
  if (!s) return;
  const RECT client = Client(hwnd);
  HWND parent = Owner(hwnd, *s);
  HBRUSH back = parent ? reinterpret_cast<HBRUSH>(SendMessageW(parent, WM_CTLCOLORLISTBOX,
                                                               reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)))
                       : nullptr;
  if (StateOf(hwnd) != s) return;
  FillRect(dc, &client, back ? back : GetSysColorBrush(COLOR_WINDOW));
  if (OwnerDrawn(hwnd) && parent) {
    PaintOwned(hwnd, dc, *s, parent);
    return;
  }
  HFONT font = reinterpret_cast<HFONT>(GetWindowLongW(hwnd, kFontSlot));
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  ControlState state;
  state.focused = GetFocus() == hwnd || s->inCombo;
  state.disabled = !IsWindowEnabled(hwnd);
  const LONG width = std::max(client.right, static_cast<LONG>(s->extent));
  for (int i = s->top; i < Count(*s); ++i) {
    const LONG y = static_cast<LONG>((i - s->top) * s->itemHeight);
    if (y >= client.bottom) break;
    const RECT line{-s->left, y, width - s->left, y + s->itemHeight};
    StylePainter::PaintListItem(dc, line, s->lines[static_cast<size_t>(i)].text.c_str(), i == s->selected,
                                i == s->selected, state);
  }
  if (old) SelectObject(dc, old);
}

void Scroll(HWND hwnd, ListState& s, int bar, WORD code, int thumb) {
  const bool vertical = bar == SB_VERT;
  const int page = vertical ? Rows(hwnd, s) : static_cast<int>(Client(hwnd).right);
  const int line = vertical ? 1 : std::max(1, s.itemHeight);
  int& pos = vertical ? s.top : s.left;
  switch (code) {
    case SB_LINEUP: pos -= line; break;
    case SB_LINEDOWN: pos += line; break;
    case SB_PAGEUP: pos -= std::max(1, page - (vertical ? 1 : 0)); break;
    case SB_PAGEDOWN: pos += std::max(1, page - (vertical ? 1 : 0)); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = thumb; break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = vertical ? Count(s) : s.extent; break;
    default: return;
  }
  Changed(hwnd, s);
}

void Key(HWND hwnd, ListState& s, UINT vk) {
  const int rows = Rows(hwnd, s);
  const int at = s.selected < 0 ? -1 : s.selected;
  switch (vk) {
    case VK_UP: Select(hwnd, s, at < 0 ? 0 : at - 1, true); break;
    case VK_DOWN: Select(hwnd, s, at + 1, true); break;
    case VK_PRIOR: Select(hwnd, s, at - std::max(1, rows - 1), true); break;
    case VK_NEXT: Select(hwnd, s, at + std::max(1, rows - 1), true); break;
    case VK_HOME: Select(hwnd, s, 0, true); break;
    case VK_END: Select(hwnd, s, Count(s) - 1, true); break;
    case VK_LEFT: Scroll(hwnd, s, SB_HORZ, SB_LINEUP, 0); break;
    case VK_RIGHT: Scroll(hwnd, s, SB_HORZ, SB_LINEDOWN, 0); break;
    default: break;
  }
}

POINT PointOf(LPARAM lParam) { return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

// The stylus in a combo box's list, which holds the capture while it is down.
LRESULT ComboPointer(HWND hwnd, ListState& s, UINT message, WPARAM wParam, LPARAM lParam) {
  const POINT p = PointOf(lParam);
  const RECT client = Client(hwnd);
  RECT window{};
  GetWindowRect(hwnd, &window);
  POINT screen = p;
  ClientToScreen(hwnd, &screen);
  if (!PtInRect(&client, p)) {
    if (message == WM_LBUTTONDOWN && !PtInRect(&window, screen)) {
      SendMessageW(s.combo, kComboListEnded, FALSE, 0);  // a tap beyond the list backs out
      return 0;
    }
    DefWindowProcW(hwnd, message, wParam, lParam);  // its scroll bar
    if (!GetCapture() && IsWindowVisible(hwnd)) SetCapture(hwnd);
    return 0;
  }
  const int line = LineAt(hwnd, s, p);
  if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) s.tracking = true;
  if (!s.tracking) return 0;
  if (line >= 0) Select(hwnd, s, line, true);
  if (!IsWindow(hwnd)) return 0;  // the choice closed the window
  if (message == WM_LBUTTONUP) {
    s.tracking = false;
    if (line >= 0) SendMessageW(s.combo, kComboListEnded, TRUE, 0);
  }
  return 0;
}

LRESULT Pointer(HWND hwnd, ListState& s, UINT message, WPARAM wParam, LPARAM lParam) {
  const POINT p = PointOf(lParam);
  const RECT client = Client(hwnd);
  if (!PtInRect(&client, p) && GetCapture() != hwnd) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (GetFocus() != hwnd) SetFocus(hwnd);
      SetCapture(hwnd);
      const int line = LineAt(hwnd, s, p);
      if (line >= 0) Select(hwnd, s, line, true);
      if (message == WM_LBUTTONDBLCLK && line >= 0 && IsWindow(hwnd)) Notify(hwnd, s, LBN_DBLCLK);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (GetCapture() == hwnd && (wParam & MK_LBUTTON)) {
        const int line = LineAt(hwnd, s, p);
        if (line >= 0) Select(hwnd, s, line, true);
      }
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == hwnd) ReleaseCapture();
      return 0;
    default:
      return 0;
  }
}

LRESULT CopyText(const ListState& s, WPARAM index, LPARAM out) {
  const size_t i = static_cast<size_t>(index);
  if (i >= s.lines.size()) return LB_ERR;
  const std::wstring& t = s.lines[i].text;
  if (auto* to = reinterpret_cast<LPWSTR>(out)) {
    std::copy(t.begin(), t.end(), to);
    to[t.size()] = L'\0';
  }
  return static_cast<LRESULT>(t.size());
}

// The list messages proper; empty for the rest.
std::optional<LRESULT> ListMessage(HWND hwnd, ListState& s, UINT message, WPARAM wParam, LPARAM lParam) {
  const size_t index = static_cast<size_t>(wParam);
  const bool valid = index < s.lines.size();
  switch (message) {
    case LB_ADDSTRING: {
      const bool sorted = (StyleOf(hwnd) & LBS_SORT) && !KeepsWords(hwnd);
      return InsertAt(hwnd, s, sorted ? SortedPlace(s, reinterpret_cast<LPCWSTR>(lParam)) : Count(s), lParam);
    }
    case LB_INSERTSTRING: {
      const int at = static_cast<int>(static_cast<INT_PTR>(wParam));
      if (at > Count(s)) return LB_ERR;
      return InsertAt(hwnd, s, at, lParam);
    }
    case LB_DELETESTRING:
      if (!valid) return LB_ERR;
      s.lines.erase(s.lines.begin() + static_cast<std::ptrdiff_t>(index));
      if (s.selected == static_cast<int>(index)) s.selected = -1;
      else if (s.selected > static_cast<int>(index)) --s.selected;
      Changed(hwnd, s);
      return Count(s);
    case LB_RESETCONTENT:
      s.lines.clear();
      s.selected = -1;
      s.top = 0;
      Changed(hwnd, s);
      return LB_OKAY;
    case LB_GETCOUNT:
      return Count(s);
    case LB_GETTEXT:
      return CopyText(s, wParam, lParam);
    case LB_GETTEXTLEN:
      return valid ? static_cast<LRESULT>(s.lines[index].text.size()) : LB_ERR;
    case LB_GETITEMDATA:
      return valid ? static_cast<LRESULT>(s.lines[index].data) : LB_ERR;
    case LB_SETITEMDATA:
      if (!valid) return LB_ERR;
      s.lines[index].data = static_cast<ULONG_PTR>(lParam);
      return LB_OKAY;
    case LB_SETCURSEL:
      if (!valid) {
        s.selected = -1;
        Changed(hwnd, s);
        return LB_ERR;
      }
      Select(hwnd, s, static_cast<int>(index), false);
      return s.selected;
    case LB_GETCURSEL:
    case LB_GETCARETINDEX:
      return s.selected;
    case LB_SETCARETINDEX:
      if (!valid) return LB_ERR;
      ShowLine(hwnd, s, static_cast<int>(index));
      Changed(hwnd, s);
      return LB_OKAY;
    case LB_GETSEL:
      return valid ? (static_cast<int>(index) == s.selected ? 1 : 0) : LB_ERR;
    case LB_SELECTSTRING: {
      const int found = Find(s, wParam, reinterpret_cast<LPCWSTR>(lParam), false);
      if (found >= 0) Select(hwnd, s, found, false);
      return found;
    }
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
      return Find(s, wParam, reinterpret_cast<LPCWSTR>(lParam), message == LB_FINDSTRINGEXACT);
    case LB_GETTOPINDEX:
      return s.top;
    case LB_SETTOPINDEX:
      if (!valid && !(index == 0 && s.lines.empty())) return LB_ERR;
      s.top = static_cast<int>(index);
      Changed(hwnd, s);
      return LB_OKAY;
    case LB_GETHORIZONTALEXTENT:
      return s.extent;
    case LB_SETHORIZONTALEXTENT:
      s.extent = std::max(0, static_cast<int>(static_cast<INT_PTR>(wParam)));
      Changed(hwnd, s);
      return 0;
    case LB_GETITEMHEIGHT:
      return s.itemHeight;
    case LB_SETITEMHEIGHT: {
      const int height = static_cast<int>(static_cast<INT_PTR>(lParam));
      if (height <= 0 || height > 255) return LB_ERR;
      s.itemHeight = height;
      Changed(hwnd, s);
      return LB_OKAY;
    }
    case LB_GETITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(lParam);
      if (!valid || !r) return LB_ERR;
      const LONG y = static_cast<LONG>((static_cast<int>(index) - s.top) * s.itemHeight);
      *r = {0, y, Client(hwnd).right, y + s.itemHeight};
      return 1;
    }
    case LB_ITEMFROMPOINT: {
      const POINT p = PointOf(lParam);
      const int line = LineAt(hwnd, s, p);
      return line >= 0 ? line : MAKELONG(std::max(0, Count(s) - 1), 1);
    }
    default:
      return std::nullopt;
  }
}

}  // namespace

LRESULT ListBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto setUp = [hwnd](ListState& s, const CREATESTRUCTW* cs) {
    wchar_t cls[16]{};
    GetClassNameW(hwnd, cls, 16);
    s.inCombo = std::wstring(cls) == WC_COMBOLBOX;
    if (s.inCombo && cs) s.combo = static_cast<HWND>(cs->lpCreateParams);
    s.itemHeight = DefaultItemHeight(hwnd);
    if (OwnerDrawn(hwnd) && !s.inCombo && cs) {
      // The owner says how deep its lines are (a combo box asks for its list).
      MEASUREITEMSTRUCT mis{ODT_LISTBOX, static_cast<UINT>(GetDlgCtrlID(hwnd)), 0, static_cast<UINT>(std::max(0, cs->cx)),
                            static_cast<UINT>(s.itemHeight), 0};
      if (HWND parent = GetParent(hwnd)) SendMessageW(parent, WM_MEASUREITEM, mis.CtlID, reinterpret_cast<LPARAM>(&mis));
      s.itemHeight = std::clamp(static_cast<int>(mis.itemHeight), 1, 255);
    }
    UpdateScroll(hwnd, s);
    return true;
  };
  if (auto done = StateLifetime<ListState>(hwnd, message, wParam, lParam, setUp)) return *done;
  ListState* s = StateOf(hwnd);
  if (!s) return DefWindowProcW(hwnd, message, wParam, lParam);
  auto relayOut = [hwnd, s, message] {
    if (message == WM_SETFONT && !OwnerDrawn(hwnd)) s->itemHeight = DefaultItemHeight(hwnd);
    // Sized to a part of a line: it gives that part up, and the WM_SIZE of
    // that lays it out.
    if (message == WM_SIZE && ToWholeLines(hwnd, *s)) return;
    Changed(hwnd, *s);
  };
  if (auto done = ListBasics(hwnd, message, wParam, lParam, Paint, relayOut)) return *done;
  if (auto done = ListMessage(hwnd, *s, message, wParam, lParam)) return *done;
  switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(hwnd, nullptr, TRUE);
      Notify(hwnd, *s, message == WM_SETFOCUS ? LBN_SETFOCUS : LBN_KILLFOCUS);
      return 0;
    case WM_KEYDOWN:
      Key(hwnd, *s, static_cast<UINT>(wParam));
      return 0;
    case WM_VSCROLL:
    case WM_HSCROLL:
      Scroll(hwnd, *s, message == WM_VSCROLL ? SB_VERT : SB_HORZ, LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
      return s->inCombo ? ComboPointer(hwnd, *s, message, wParam, lParam) : Pointer(hwnd, *s, message, wParam, lParam);
    case WM_CAPTURECHANGED:
      s->tracking = false;
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace qv::ui
