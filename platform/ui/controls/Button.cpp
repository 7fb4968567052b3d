// The "Button" class. Its state (BST_ bits) and font live in its window's
// extra bytes. A press captures the stylus; the release inside clicks, a
// release outside does not. Automatic kinds change their own check on a
// click, an automatic radio button clearing the others of its group.
#include "platform/ui/controls/Button.h"

#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/ui/controls/ControlClasses.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/input/Keyboard.h"
#include "platform/ui/theme/StylePainter.h"
#include "platform/ui/window/ControlOrder.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/ui/window/Paint.h"
#include "platform/ui/window/ScopedGetDC.h"

namespace qv::ui {
namespace {

UINT TypeOf(HWND hwnd) { return static_cast<UINT>(GetWindowLongW(hwnd, GWL_STYLE)) & BS_TYPEMASK; }
UINT StateOf(HWND hwnd) { return static_cast<UINT>(GetWindowLongW(hwnd, kStateSlot)); }
void SetState(HWND hwnd, UINT state) { SetWindowLongW(hwnd, kStateSlot, static_cast<LONG_PTR>(state)); }

bool IsPush(UINT type) { return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_USERBUTTON; }
bool IsCheck(UINT type) {
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}
bool IsRadio(UINT type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }

void Notify(HWND hwnd, WORD code) { NotifyParent(hwnd, code); }

std::wstring TextOf(HWND hwnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

UINT LabelFormat(DWORD style, bool push) {
  UINT format = DT_NOCLIP;
  switch (style & BS_CENTER) {
    case BS_LEFT: format |= DT_LEFT; break;
    case BS_RIGHT: format |= DT_RIGHT; break;
    case BS_CENTER: format |= DT_CENTER; break;
    default: format |= push ? DT_CENTER : DT_LEFT; break;
  }
  return format | ((style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER);
}

// Sends WM_DRAWITEM to the parent with the button's state.
void DrawOwned(HWND hwnd, HDC dc, UINT action) {
  const UINT state = StateOf(hwnd);
  DRAWITEMSTRUCT dis{};
  dis.CtlType = ODT_BUTTON;
  dis.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
  dis.itemAction = action;
  dis.itemState = ((state & BST_PUSHED) ? ODS_SELECTED : 0u) | ((state & BST_FOCUS) ? ODS_FOCUS : 0u) |
                  (IsWindowEnabled(hwnd) ? 0u : static_cast<UINT>(ODS_DISABLED));
  dis.hwndItem = hwnd;
  dis.hDC = dc;
  GetClientRect(hwnd, &dis.rcItem);
  SendMessageW(GetParent(hwnd), WM_DRAWITEM, static_cast<WPARAM>(dis.CtlID), reinterpret_cast<LPARAM>(&dis));
}

void Paint(HWND hwnd, HDC dc) {
  const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
  const UINT type = style & BS_TYPEMASK;
  if (type == BS_OWNERDRAW) {
    DrawOwned(hwnd, dc, ODA_DRAWENTIRE);
    return;
  }
  const UINT state = StateOf(hwnd);
  RECT r{};
  GetClientRect(hwnd, &r);
  const qv::ScopedSelectObject withFont(dc, ControlFont(hwnd));
  HBRUSH back = reinterpret_cast<HBRUSH>(
      SendMessageW(GetParent(hwnd), WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
  FillRect(dc, &r, back ? back : GetSysColorBrush(COLOR_BTNFACE));
  ControlState s;
  s.pressed = (state & BST_PUSHED) != 0;
  s.focused = (state & BST_FOCUS) != 0;
  s.disabled = !IsWindowEnabled(hwnd);
  s.isDefault = type == BS_DEFPUSHBUTTON;
  const std::wstring text = TextOf(hwnd);
  if (IsPush(type) || (style & BS_PUSHLIKE)) {
    if (style & BS_PUSHLIKE) s.pressed = s.pressed || (state & BST_CHECKED);
    StylePainter::PaintPushButton(dc, r, text.c_str(), LabelFormat(style, true), s);
  } else if (type == BS_GROUPBOX) {
    StylePainter::PaintGroupBox(dc, r, text.c_str(), s);
  } else {
    // The mark on the left (right with BS_LEFTTEXT), centred, its label beside it.
    const LONG box = StylePainter::kCheckBox;
    const LONG top = (r.top + r.bottom - box) / 2;
    const bool right = (style & BS_LEFTTEXT) != 0;
    const RECT mark = right ? RECT{r.right - box, top, r.right, top + box} : RECT{r.left, top, r.left + box, top + box};
    const RECT label = right ? RECT{r.left, r.top, mark.left - StylePainter::kLabelGap, r.bottom}
                             : RECT{mark.right + StylePainter::kLabelGap / 2, r.top, r.right, r.bottom};
    if (IsRadio(type)) StylePainter::PaintRadioMark(dc, mark, (state & BST_CHECKED) != 0, s);
    else StylePainter::PaintCheckMark(dc, mark, static_cast<int>(state & (BST_CHECKED | BST_INDETERMINATE)), s);
    StylePainter::PaintLabel(dc, label, text.c_str(), LabelFormat(style, false), s);
  }
}

// Redraws now: an owner-drawn button is asked to draw only what changed.
void Redraw(HWND hwnd, UINT ownerAction) {
  if (TypeOf(hwnd) == BS_OWNERDRAW) {
    if (!IsWindowVisible(hwnd)) return;
    DrawOwned(hwnd, qv::ScopedGetDC(hwnd), ownerAction);
    return;
  }
  InvalidateRect(hwnd, nullptr, FALSE);
}

void ChangeState(HWND hwnd, UINT clear, UINT set, UINT ownerAction) {
  const UINT old = StateOf(hwnd);
  const UINT now = (old & ~clear) | set;
  if (now == old) return;
  SetState(hwnd, now);
  Redraw(hwnd, ownerAction);
}

// The other radio buttons of the group lose their check.
void ClearGroup(HWND hwnd) {
  HWND parent = GetParent(hwnd);
  if (!parent) return;
  std::vector<HWND> group{hwnd};
  for (HWND h = GetNextDlgGroupItem(parent, hwnd, FALSE); h && h != hwnd && group.size() < 1000;
       h = GetNextDlgGroupItem(parent, h, FALSE)) {
    group.push_back(h);
  }
  for (size_t i = 1; i < group.size(); ++i) {
    if (SendMessageW(group[i], WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) SendMessageW(group[i], BM_SETCHECK, BST_UNCHECKED, 0);
  }
}

void Click(HWND hwnd) {
  switch (TypeOf(hwnd)) {
    case BS_AUTOCHECKBOX:
      SendMessageW(hwnd, BM_SETCHECK, (StateOf(hwnd) & BST_CHECKED) ? BST_UNCHECKED : BST_CHECKED, 0);
      break;
    case BS_AUTO3STATE:
      SendMessageW(hwnd, BM_SETCHECK, ((StateOf(hwnd) & 3u) + 1) % 3, 0);
      break;
    case BS_AUTORADIOBUTTON:
      SendMessageW(hwnd, BM_SETCHECK, BST_CHECKED, 0);
      ClearGroup(hwnd);
      break;
    default:
      break;
  }
  Notify(hwnd, BN_CLICKED);
}

// Ends a press: a click when `click` and the button was still held down.
void Release(HWND hwnd, bool click) {
  const bool pressed = (StateOf(hwnd) & BST_PUSHED) != 0;
  ChangeState(hwnd, BST_PUSHED, 0, ODA_SELECT);
  if (GetCapture() == hwnd) ReleaseCapture();
  if (click && pressed) Click(hwnd);
}

LRESULT DlgCode(UINT type) {
  switch (type) {
    case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
    case BS_PUSHBUTTON:
    case BS_USERBUTTON:
    case BS_OWNERDRAW: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
    case BS_GROUPBOX: return DLGC_STATIC;
    default: return DLGC_BUTTON;
  }
}

bool Inside(HWND hwnd, LPARAM lParam) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return PtInRect(&r, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}) != FALSE;
}

}  // namespace

LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const UINT type = TypeOf(hwnd);
  if (auto done = ControlBasics(hwnd, message, wParam, lParam, Paint)) return *done;
  switch (message) {
    case WM_GETDLGCODE:
      return DlgCode(type);
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (type == BS_GROUPBOX) return 0;
      if (message == WM_LBUTTONDBLCLK && (GetWindowLongW(hwnd, GWL_STYLE) & BS_NOTIFY)) Notify(hwnd, BN_DBLCLK);
      SetFocus(hwnd);
      SetCapture(hwnd);
      ChangeState(hwnd, 0, BST_PUSHED, ODA_SELECT);
      return 0;
    case WM_MOUSEMOVE:
      if (GetCapture() == hwnd) {
        if (Inside(hwnd, lParam)) ChangeState(hwnd, 0, BST_PUSHED, ODA_SELECT);
        else ChangeState(hwnd, BST_PUSHED, 0, ODA_SELECT);
      }
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == hwnd) Release(hwnd, Inside(hwnd, lParam));
      return 0;
    case WM_CAPTURECHANGED:
      if (StateOf(hwnd) & BST_PUSHED) ChangeState(hwnd, BST_PUSHED, 0, ODA_SELECT);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_SPACE && type != BS_GROUPBOX && !(lParam & (1 << 30))) ChangeState(hwnd, 0, BST_PUSHED, ODA_SELECT);
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE && GetCapture() != hwnd) Release(hwnd, true);
      return 0;
    case WM_SETFOCUS:
      ChangeState(hwnd, 0, BST_FOCUS, ODA_FOCUS);
      if (GetWindowLongW(hwnd, GWL_STYLE) & BS_NOTIFY) Notify(hwnd, BN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      ChangeState(hwnd, BST_FOCUS, 0, ODA_FOCUS);
      if (StateOf(hwnd) & BST_PUSHED) Release(hwnd, false);
      if (GetWindowLongW(hwnd, GWL_STYLE) & BS_NOTIFY) Notify(hwnd, BN_KILLFOCUS);
      return 0;
    case BM_GETCHECK:
      return IsCheck(type) || IsRadio(type) ? StateOf(hwnd) & (BST_CHECKED | BST_INDETERMINATE) : 0;
    case BM_SETCHECK: {
      if (!IsCheck(type) && !IsRadio(type)) return 0;
      UINT check = static_cast<UINT>(wParam) & (BST_CHECKED | BST_INDETERMINATE);
      if (check == BST_INDETERMINATE && type != BS_3STATE && type != BS_AUTO3STATE) check = BST_CHECKED;
      ChangeState(hwnd, BST_CHECKED | BST_INDETERMINATE, check, ODA_DRAWENTIRE);
      return 0;
    }
    case BM_GETSTATE:
      return StateOf(hwnd);
    case BM_SETSTATE:
      ChangeState(hwnd, wParam ? 0 : BST_PUSHED, wParam ? BST_PUSHED : 0, ODA_SELECT);
      return 0;
    case BM_SETSTYLE: {
      const LONG_PTR style = GetWindowLongW(hwnd, GWL_STYLE);
      if ((style & 0xFFFF) == static_cast<LONG_PTR>(LOWORD(wParam))) return 0;
      SetWindowLongW(hwnd, GWL_STYLE, (style & ~LONG_PTR{0xFFFF}) | LOWORD(wParam));
      if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case BM_CLICK:
      SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
      SendMessageW(hwnd, WM_LBUTTONUP, 0, 0);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace qv::ui
