// The keyboard interface of dialogs. Controls are visited in the dialog's
// child order (template order); a child with WS_EX_CONTROLPARENT lends its
// own controls to that order in its place. A group runs from a control with
// WS_GROUP to the next one with it. Before using a key, the dialog asks the
// focused control through WM_GETDLGCODE whether it wants the key itself.
#include <cwctype>
#include <vector>

#include "platform/ui/controls/Button.h"
#include "platform/ui/dialog/DialogManager.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/input/Keyboard.h"
#include "platform/ui/window/CommandIds.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/window/ControlOrder.h"

namespace qv::ui {
namespace {

constexpr UINT kEmSetSel = 0x00B1u;  // EM_SETSEL: what DLGC_HASSETSEL controls get

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }
// By the control's own style: a dialog still being made is not shown yet.
bool Usable(HWND hwnd) { return (StyleOf(hwnd) & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE; }
LRESULT CodeOf(HWND hwnd, WPARAM key = 0, const MSG* msg = nullptr) {
  return SendMessageW(hwnd, WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(msg));
}

void Command(HWND dialog, int id, HWND control) {
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

// Enter: the focused push button, else the default id, else IDOK.
void PressDefault(HWND dialog, HWND focus, LRESULT code) {
  if ((code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) && IsWindowEnabled(focus)) {
    Command(dialog, GetDlgCtrlID(focus), focus);
    return;
  }
  const LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
  const int id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
  HWND button = GetDlgItem(dialog, id);
  if (button && !IsWindowEnabled(button)) return;
  Command(dialog, id, button);
}

void Cancel(HWND dialog) {
  HWND button = GetDlgItem(dialog, IDCANCEL);
  if (button && !IsWindowEnabled(button)) return;
  Command(dialog, IDCANCEL, button);
}

// Arrows move within the group; an automatic radio button reached so is chosen.
void MoveInGroup(HWND dialog, HWND focus, bool backwards) {
  HWND to = GetNextDlgGroupItem(dialog, focus, backwards ? TRUE : FALSE);
  if (!to || to == focus) return;
  FocusControl(dialog, to);
  if ((CodeOf(to) & DLGC_RADIOBUTTON) && (StyleOf(to) & BS_TYPEMASK) == BS_AUTORADIOBUTTON) {
    SendMessageW(to, BM_CLICK, 0, 0);
  }
}

// The character after a lone '&' in a control's text.
WCHAR MnemonicOf(HWND hwnd) {
  WCHAR text[256];
  const int n = GetWindowTextW(hwnd, text, 256);
  for (int i = 0; i + 1 < n; ++i) {
    if (text[i] != L'&') continue;
    if (text[i + 1] != L'&') return static_cast<WCHAR>(std::towupper(static_cast<wint_t>(text[i + 1])));
    ++i;
  }
  return 0;
}

// A character no control wants: the control it names, if any, is chosen
// (a label hands over to the control after it).
void Mnemonic(HWND dialog, WCHAR ch) {
  const WCHAR key = static_cast<WCHAR>(std::towupper(static_cast<wint_t>(ch)));
  const std::vector<HWND> items = ControlsInOrder(dialog);
  for (size_t i = 0; i < items.size(); ++i) {
    if (!Usable(items[i]) || MnemonicOf(items[i]) != key) continue;
    HWND target = items[i];
    const LRESULT code = CodeOf(target);
    if (code & DLGC_STATIC) {
      target = GetNextDlgTabItem(dialog, target, FALSE);
      if (target) FocusControl(dialog, target);
      return;
    }
    FocusControl(dialog, target);
    if (code & DLGC_BUTTON) SendMessageW(target, BM_CLICK, 0, 0);
    return;
  }
}

// WM_KEYDOWN and WM_CHAR for the dialog; false to let the control have it.
bool DialogKey(HWND dialog, MSG* msg) {
  const LRESULT code = CodeOf(msg->hwnd, msg->wParam, msg);
  if (code & DLGC_WANTMESSAGE) return false;
  if (msg->message == WM_CHAR) {
    if (code & DLGC_WANTCHARS) return false;
    switch (msg->wParam) {
      case L'\t': return !(code & DLGC_WANTTAB);
      case L'\r':
      case 0x1B: return true;  // handled as keys
      default: Mnemonic(dialog, static_cast<WCHAR>(msg->wParam)); return true;
    }
  }
  switch (msg->wParam) {
    case VK_TAB:
      if (code & DLGC_WANTTAB) return false;
      if (HWND to = GetNextDlgTabItem(dialog, msg->hwnd, GetKeyState(VK_SHIFT) < 0)) FocusControl(dialog, to);
      return true;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
      if (code & DLGC_WANTARROWS) return false;
      MoveInGroup(dialog, msg->hwnd, msg->wParam == VK_LEFT || msg->wParam == VK_UP);
      return true;
    case VK_RETURN:
      PressDefault(dialog, msg->hwnd, code);
      return true;
    case VK_ESCAPE:
      Cancel(dialog);
      return true;
    default:
      return false;
  }
}

}  // namespace

void FocusControl(HWND dialog, HWND control) {
  const LRESULT code = CodeOf(control);
  SetFocus(control);
  if (code & DLGC_HASSETSEL) SendMessageW(control, kEmSetSel, 0, -1);
  ShowDefaultButton(dialog, control);
}

void ShowDefaultButton(HWND dialog, HWND focus) {
  const bool focusIsPush = focus && IsChild(dialog, focus) &&
                           (CodeOf(focus) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON));
  const LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
  HWND chosen = focusIsPush ? focus : HIWORD(def) == DC_HASDEFID ? GetDlgItem(dialog, LOWORD(def)) : nullptr;
  for (HWND c : ControlsInOrder(dialog)) {
    const LRESULT code = CodeOf(c);
    if (!(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) || (StyleOf(c) & BS_TYPEMASK) == BS_OWNERDRAW) continue;
    const bool isDefault = (code & DLGC_DEFPUSHBUTTON) != 0;
    if (isDefault != (c == chosen)) SendMessageW(c, BM_SETSTYLE, c == chosen ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
  }
}

}  // namespace qv::ui

using namespace qv::ui;

BOOL IsDialogMessageW(HWND dialog, LPMSG msg) {
  if (!msg || !dialog || (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd))) return FALSE;
  if ((msg->message == WM_KEYDOWN || msg->message == WM_CHAR) && DialogKey(dialog, msg)) return TRUE;
  TranslateMessage(msg);
  DispatchMessageW(msg);
  return TRUE;
}
