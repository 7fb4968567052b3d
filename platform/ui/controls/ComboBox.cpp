// The "ComboBox" class, drop-down list kind. Its lines live in its list, a
// hidden "ComboLBox" popup it owns; the combo box answers the CB_ messages by
// passing them on as their LB_ twins. While the list is down it holds the
// capture, so a tap anywhere reaches it first; the focus stays on the combo
// box, which moves through the lines with the keys.
#include "platform/ui/controls/ComboBox.h"

#include <algorithm>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/ControlClasses.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/input/Keyboard.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/metrics/Metrics.h"
#include "platform/ui/theme/StylePainter.h"
#include "platform/ui/window/Paint.h"

namespace qv::ui {
namespace {

struct ComboState {
  HWND list = nullptr;
  bool dropped = false;
  bool extendedUi = false;
  int dropHeight = 0;     // the list's height, from the window's height at creation
  int droppedWidth = 0;   // 0: as wide as the field
  int fieldItemHeight = 0;  // the chosen line's depth; 0: as the list's lines
  LRESULT selectedAtDrop = CB_ERR;
};

ComboState* StateOf(HWND hwnd) { return reinterpret_cast<ComboState*>(GetWindowLongW(hwnd, kStateSlot)); }

void Notify(HWND hwnd, int code) { NotifyParent(hwnd, static_cast<WORD>(code)); }

LRESULT ToList(const ComboState& s, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return SendMessageW(s.list, message, wParam, lParam);
}

int FieldItemHeight(const ComboState& s) {
  return s.fieldItemHeight > 0 ? s.fieldItemHeight : static_cast<int>(ToList(s, LB_GETITEMHEIGHT));
}

int FieldHeight(const ComboState& s) { return FieldItemHeight(s) + 2 * StylePainter::kFrame + 2; }

bool OwnerDrawn(HWND hwnd) { return (GetWindowLongW(hwnd, GWL_STYLE) & CBS_OWNERDRAWFIXED) != 0; }

// An owner-drawn combo box asks its parent how deep the chosen line
// (itemID -1) and the list's lines (itemID 0) are.
void MeasureOwned(HWND hwnd, ComboState& s, int width) {
  HWND parent = GetParent(hwnd);
  if (!parent) return;
  const int listed = static_cast<int>(ToList(s, LB_GETITEMHEIGHT));
  for (const UINT item : {static_cast<UINT>(-1), 0u}) {
    MEASUREITEMSTRUCT mis{ODT_COMBOBOX, static_cast<UINT>(GetDlgCtrlID(hwnd)), item, static_cast<UINT>(std::max(0, width)),
                          static_cast<UINT>(listed), 0};
    SendMessageW(parent, WM_MEASUREITEM, mis.CtlID, reinterpret_cast<LPARAM>(&mis));
    const int height = std::clamp(static_cast<int>(mis.itemHeight), 1, 255);
    if (item == 0) ToList(s, LB_SETITEMHEIGHT, 0, height);
    else s.fieldItemHeight = height;
  }
}

// Where the list drops: below the field, or above it when the screen ends.
RECT DropRect(HWND hwnd, const ComboState& s) {
  RECT field{};
  GetWindowRect(hwnd, &field);
  const LONG width = std::max(static_cast<LONG>(s.droppedWidth), field.right - field.left);
  const int lines = std::max<int>(1, static_cast<int>(ToList(s, LB_GETCOUNT)));
  const int item = static_cast<int>(ToList(s, LB_GETITEMHEIGHT));
  const LONG height = std::min<LONG>(std::max(s.dropHeight, item), lines * item) + 2;  // its 1-px border
  RECT r{field.left, field.bottom, field.left + width, field.bottom + height};
  if (r.bottom > GetSystemMetrics(SM_CYSCREEN) && field.top - height >= 0) r = {r.left, field.top - height, r.right, field.top};
  return r;
}

void Redraw(HWND hwnd) { InvalidateRect(hwnd, nullptr, FALSE); }

void Open(HWND hwnd, ComboState& s) {
  if (s.dropped) return;
  s.dropped = true;
  s.selectedAtDrop = ToList(s, LB_GETCURSEL);
  Notify(hwnd, CBN_DROPDOWN);
  // The owner may have closed it again, to drop something of its own.
  if (!IsWindow(hwnd) || !s.dropped) return;
  const RECT r = DropRect(hwnd, s);
  SetWindowPos(s.list, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_SHOWWINDOW | SWP_NOACTIVATE);
  if (s.selectedAtDrop >= 0) ToList(s, LB_SETCARETINDEX, static_cast<WPARAM>(s.selectedAtDrop));
  SetCapture(s.list);
  Redraw(hwnd);
}

// Backing out puts back the line chosen before the list dropped.
void Close(HWND hwnd, ComboState& s, bool ok) {
  if (!s.dropped) return;
  s.dropped = false;
  if (!ok && ToList(s, LB_GETCURSEL) != s.selectedAtDrop) ToList(s, LB_SETCURSEL, static_cast<WPARAM>(s.selectedAtDrop));
  if (GetCapture() == s.list) ReleaseCapture();
  SetWindowPos(s.list, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  Redraw(hwnd);
  Notify(hwnd, ok ? CBN_SELENDOK : CBN_SELENDCANCEL);
  if (IsWindow(hwnd)) Notify(hwnd, CBN_CLOSEUP);
}

// A key that moves the choice; a closed list's choice is final at once.
void Move(HWND hwnd, ComboState& s, UINT vk) {
  const int count = static_cast<int>(ToList(s, LB_GETCOUNT));
  if (count == 0) return;
  const int at = static_cast<int>(ToList(s, LB_GETCURSEL));
  int page = 1;
  if (s.dropped) {
    RECT r{};
    GetClientRect(s.list, &r);
    page = std::max(1, static_cast<int>(r.bottom) / std::max(1, static_cast<int>(ToList(s, LB_GETITEMHEIGHT))) - 1);
  }
  int to = at;
  switch (vk) {
    case VK_UP: case VK_LEFT: to = at < 0 ? 0 : at - 1; break;
    case VK_DOWN: case VK_RIGHT: to = at + 1; break;
    case VK_PRIOR: to = at - page; break;
    case VK_NEXT: to = at + page; break;
    case VK_HOME: to = 0; break;
    case VK_END: to = count - 1; break;
    default: return;
  }
  to = std::clamp(to, 0, count - 1);
  if (to == at) return;
  ToList(s, LB_SETCURSEL, static_cast<WPARAM>(to));
  Redraw(hwnd);
  Notify(hwnd, CBN_SELCHANGE);
  if (IsWindow(hwnd) && !s.dropped) Notify(hwnd, CBN_SELENDOK);
}

void Key(HWND hwnd, ComboState& s, UINT vk) {
  if (s.dropped) {
    if (vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_F4) Close(hwnd, s, vk != VK_ESCAPE);
    else Move(hwnd, s, vk);
    return;
  }
  if (vk == VK_F4 && !s.extendedUi) Open(hwnd, s);
  else if (vk == VK_DOWN && s.extendedUi) Open(hwnd, s);
  else Move(hwnd, s, vk);
}

std::wstring SelectedText(const ComboState& s) {
  const LRESULT at = ToList(s, LB_GETCURSEL);
  if (at < 0) return L"";
  std::wstring text(static_cast<size_t>(std::max<LRESULT>(0, ToList(s, LB_GETTEXTLEN, static_cast<WPARAM>(at)))) + 1, L'\0');
  text.resize(static_cast<size_t>(std::max<LRESULT>(0, ToList(s, LB_GETTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(text.data())))));
  return text;
}

void Paint(HWND hwnd, HDC dc) {
  ComboState* s = StateOf(hwnd);
  if (!s) return;
  RECT r{};
  GetClientRect(hwnd, &r);
  HFONT font = reinterpret_cast<HFONT>(GetWindowLongW(hwnd, kFontSlot));
  const qv::ScopedSelectObject withFont(dc, font);
  ControlState state;
  state.focused = GetFocus() == hwnd;
  state.disabled = !IsWindowEnabled(hwnd);
  // The parent chooses the field's colours, as for an edit (a disabled one as for a label).
  HWND parent = GetParent(hwnd);
  HBRUSH back = nullptr;
  if (parent) {
    back = reinterpret_cast<HBRUSH>(SendMessageW(parent, state.disabled ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT,
                                                 reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
    if (StateOf(hwnd) != s) return;
  }
  const bool owned = OwnerDrawn(hwnd) && parent;
  const std::wstring text = owned ? L"" : SelectedText(*s);
  StylePainter::PaintComboField(dc, r, owned ? nullptr : text.c_str(), s->dropped, state, back, GetTextColor(dc));
  if (!owned) return;
  const LRESULT at = ToList(*s, LB_GETCURSEL);
  DRAWITEMSTRUCT dis{};
  dis.CtlType = ODT_COMBOBOX;
  dis.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
  dis.itemID = static_cast<UINT>(at);
  dis.itemAction = ODA_DRAWENTIRE;
  dis.itemState = ODS_COMBOBOXEDIT | (state.focused && !s->dropped ? ODS_SELECTED | ODS_FOCUS : 0u) |
                  (state.disabled ? ODS_DISABLED : 0u);
  dis.hwndItem = hwnd;
  dis.hDC = dc;
  dis.rcItem = StylePainter::ComboLine(r);
  dis.itemData = at >= 0 ? static_cast<ULONG_PTR>(ToList(*s, LB_GETITEMDATA, static_cast<WPARAM>(at))) : 0;
  SendMessageW(parent, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
}

// Set while the combo sizes itself to its field (not a new height for it).
thread_local bool t_fitting = false;

void FitField(HWND hwnd, const ComboState& s) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  t_fitting = true;
  SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, FieldHeight(s), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  t_fitting = false;
}

// The CB_ messages that are their LB_ twins.
UINT ListTwin(UINT message) {
  switch (message) {
    case CB_ADDSTRING: return LB_ADDSTRING;
    case CB_DELETESTRING: return LB_DELETESTRING;
    case CB_GETCOUNT: return LB_GETCOUNT;
    case CB_GETCURSEL: return LB_GETCURSEL;
    case CB_GETLBTEXT: return LB_GETTEXT;
    case CB_GETLBTEXTLEN: return LB_GETTEXTLEN;
    case CB_INSERTSTRING: return LB_INSERTSTRING;
    case CB_RESETCONTENT: return LB_RESETCONTENT;
    case CB_FINDSTRING: return LB_FINDSTRING;
    case CB_FINDSTRINGEXACT: return LB_FINDSTRINGEXACT;
    case CB_SELECTSTRING: return LB_SELECTSTRING;
    case CB_SETCURSEL: return LB_SETCURSEL;
    case CB_GETITEMDATA: return LB_GETITEMDATA;
    case CB_SETITEMDATA: return LB_SETITEMDATA;
    case CB_GETTOPINDEX: return LB_GETTOPINDEX;
    case CB_SETTOPINDEX: return LB_SETTOPINDEX;
    default: return 0;
  }
}

}  // namespace

LRESULT ComboBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto setUp = [hwnd](ComboState& s, const CREATESTRUCTW* cs) {
    const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    const DWORD listStyle = ((style & CBS_SORT) ? LBS_SORT : 0u) | ((style & CBS_OWNERDRAWFIXED) ? LBS_OWNERDRAWFIXED : 0u) |
                            ((style & CBS_HASSTRINGS) ? LBS_HASSTRINGS : 0u);
    s.list = CreateWindowExW(0, WC_COMBOLBOX, L"", WS_POPUP | WS_BORDER | WS_VSCROLL | listStyle, 0, 0, cs ? cs->cx : 0, 0,
                             hwnd, nullptr, nullptr, hwnd);
    if (!s.list) return false;
    if (style & CBS_OWNERDRAWFIXED) MeasureOwned(hwnd, s, cs ? cs->cx : 0);
    s.dropHeight = std::max(0, (cs ? cs->cy : 0) - FieldHeight(s));
    FitField(hwnd, s);
    return true;
  };
  if (auto done = StateLifetime<ComboState>(hwnd, message, wParam, lParam, setUp)) return *done;
  ComboState* s = StateOf(hwnd);
  if (!s) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (const UINT twin = ListTwin(message)) {
    const LRESULT r = ToList(*s, twin, wParam, lParam);
    if (message != CB_GETCOUNT && message != CB_GETLBTEXT && message != CB_GETLBTEXTLEN) Redraw(hwnd);
    return r;
  }
  // A combo's height is its field and its list: sized afresh, the list takes
  // what lies below the field, which keeps its own height.
  if (message == WM_WINDOWPOSCHANGING) {
    auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
    if (pos && !(pos->flags & SWP_NOSIZE) && !t_fitting) {
      s->dropHeight = std::max(0, pos->cy - FieldHeight(*s));
      pos->cy = FieldHeight(*s);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  if (message == WM_SETFONT) {
    ControlBasics(hwnd, message, wParam, lParam, Paint);
    ToList(*s, WM_SETFONT, wParam, lParam);
    FitField(hwnd, *s);
    return 0;
  }
  if (auto done = ControlBasics(hwnd, message, wParam, lParam, Paint)) return *done;
  switch (message) {
    case WM_DESTROY:
      if (GetCapture() == s->list) ReleaseCapture();
      DestroyWindow(s->list);
      s->list = nullptr;
      return 0;
    case WM_GETTEXT: {
      const std::wstring text = SelectedText(*s);
      auto* out = reinterpret_cast<LPWSTR>(lParam);
      if (!out || wParam == 0) return 0;
      const size_t n = std::min(text.size(), static_cast<size_t>(wParam) - 1);
      std::copy_n(text.begin(), n, out);
      out[n] = L'\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(SelectedText(*s).size());
    case WM_GETDLGCODE:
      // While the list is down Enter and Escape are its own.
      return DLGC_WANTARROWS | DLGC_WANTCHARS | (s->dropped ? DLGC_WANTMESSAGE : 0u);
    case WM_ENABLE:
      if (!wParam) Close(hwnd, *s, false);
      Redraw(hwnd);
      return 0;
    case WM_SETFOCUS:
      Redraw(hwnd);
      Notify(hwnd, CBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      Close(hwnd, *s, false);
      Redraw(hwnd);
      if (IsWindow(hwnd)) Notify(hwnd, CBN_KILLFOCUS);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (GetFocus() != hwnd) SetFocus(hwnd);
      if (GetFocus() == hwnd) Open(hwnd, *s);
      return 0;
    case WM_KEYDOWN:
      Key(hwnd, *s, static_cast<UINT>(wParam));
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_DOWN || wParam == VK_UP) {
        if (s->dropped) Close(hwnd, *s, true);
        else Open(hwnd, *s);
        return 0;
      }
      return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_COMMAND:
      if (reinterpret_cast<HWND>(lParam) == s->list && HIWORD(wParam) == LBN_SELCHANGE) {
        Redraw(hwnd);
        Notify(hwnd, CBN_SELCHANGE);
      }
      return 0;
    case kComboListEnded:
      Close(hwnd, *s, wParam != 0);
      return 0;
    case CB_SHOWDROPDOWN:
      if (wParam) Open(hwnd, *s);
      else Close(hwnd, *s, false);
      return TRUE;
    case CB_GETDROPPEDSTATE:
      return s->dropped ? TRUE : FALSE;
    case CB_SETEXTENDEDUI:
      s->extendedUi = wParam != 0;
      return CB_OKAY;
    case CB_GETEXTENDEDUI:
      return s->extendedUi ? TRUE : FALSE;
    case CB_SETDROPPEDWIDTH:
      s->droppedWidth = std::max(0, static_cast<int>(static_cast<INT_PTR>(wParam)));
      return std::max<LRESULT>(s->droppedWidth, DropRect(hwnd, *s).right - DropRect(hwnd, *s).left);
    case CB_GETDROPPEDWIDTH: {
      const RECT r = DropRect(hwnd, *s);
      return r.right - r.left;
    }
    case CB_GETDROPPEDCONTROLRECT: {
      auto* r = reinterpret_cast<RECT*>(lParam);
      if (!r) return CB_ERR;
      *r = DropRect(hwnd, *s);
      r->bottom = r->top + s->dropHeight;
      return CB_OKAY;
    }
    case CB_GETITEMHEIGHT:
      return static_cast<INT_PTR>(wParam) == -1 ? FieldItemHeight(*s) : ToList(*s, LB_GETITEMHEIGHT);
    case CB_SETITEMHEIGHT: {
      // -1: the chosen line's field; else the list's lines.
      if (static_cast<INT_PTR>(wParam) == -1) {
        const int height = static_cast<int>(static_cast<INT_PTR>(lParam));
        if (height <= 0 || height > 255) return CB_ERR;
        s->fieldItemHeight = height;
        FitField(hwnd, *s);
        return CB_OKAY;
      }
      const LRESULT r = ToList(*s, LB_SETITEMHEIGHT, 0, lParam);
      if (r != LB_ERR) FitField(hwnd, *s);
      return r;
    }
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace qv::ui
