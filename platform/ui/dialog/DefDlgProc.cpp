// The "Dialog" class's procedure. The dialog procedure sees each message
// first; what it leaves (returns FALSE for) gets the dialog's default
// handling: its background, the default push button, focus kept across
// activation, WM_NEXTDLGCTL, and Close as Cancel.
#include "platform/gdi/Gdi.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/dialog/DialogManager.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/window/CommandIds.h"

namespace qv::ui {
namespace {

// Messages whose answer is what the dialog procedure returns, not DWL_MSGRESULT.
bool AnswersDirectly(UINT message) {
  if (IsCtlColorMessage(message)) return true;
  switch (message) {
    case WM_INITDIALOG:
    case 0x002E:  // WM_VKEYTOITEM
    case 0x002F:  // WM_CHARTOITEM
    case 0x0037:  // WM_QUERYDRAGICON
    case 0x0039:  // WM_COMPAREITEM
      return true;
    default:
      return false;
  }
}

LRESULT EraseBackground(HWND hwnd, HDC dc) {
  HBRUSH brush = reinterpret_cast<HBRUSH>(
      SendMessageW(hwnd, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
  RECT box{};
  GetClipBox(dc, &box);
  FillRect(dc, &box, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
  return 1;
}

LRESULT DefaultId(HWND hwnd, DialogData& data) {
  if (data.hasDefId) return MAKELONG(data.defId, DC_HASDEFID);
  for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (SendMessageW(c, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) return MAKELONG(GetDlgCtrlID(c), DC_HASDEFID);
  }
  return 0;
}

// Back to the control that had the focus when the dialog lost it. With none
// kept, an activated dialog holds the focus itself (a dialog procedure that
// returned FALSE from WM_INITDIALOG places it).
void RestoreFocus(HWND hwnd, DialogData& data, bool activated) {
  HWND to = data.savedFocus;
  if (to && IsWindow(to) && IsChild(hwnd, to)) {
    FocusControl(hwnd, to);
    return;
  }
  HWND focus = GetFocus();
  if (activated && focus != hwnd && !IsChild(hwnd, focus)) SetFocus(hwnd);
}

void NextControl(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  HWND to = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                           : GetNextDlgTabItem(hwnd, GetFocus(), wParam != 0 ? TRUE : FALSE);
  if (to && IsChild(hwnd, to)) FocusControl(hwnd, to);
}

LRESULT DialogDefault(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DialogData* data) {
  if (!data) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_ERASEBKGND:
      return EraseBackground(hwnd, reinterpret_cast<HDC>(wParam));
    case DM_GETDEFID:
      return DefaultId(hwnd, *data);
    case DM_SETDEFID:
      data->defId = static_cast<int>(wParam);
      data->hasDefId = true;
      ShowDefaultButton(hwnd, GetFocus());
      return TRUE;
    case WM_NEXTDLGCTL:
      NextControl(hwnd, wParam, lParam);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd, focus)) data->savedFocus = focus;
      } else {
        RestoreFocus(hwnd, *data, true);
      }
      return 0;
    case WM_SETFOCUS:
      RestoreFocus(hwnd, *data, false);
      return 0;
    case WM_CLOSE: {
      HWND cancel = GetDlgItem(hwnd, IDCANCEL);
      if (!cancel || IsWindowEnabled(cancel)) {
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
      }
      return 0;
    }
    case WM_SETFONT:
      data->font = reinterpret_cast<HFONT>(wParam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(data->font);
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace

}  // namespace qv::ui

using namespace qv::ui;

LRESULT DefDlgProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE && !DataOf(hwnd)) {
    SetWindowLongW(hwnd, kDialogDataSlot, reinterpret_cast<LONG_PTR>(new DialogData));
  }
  auto proc = reinterpret_cast<DLGPROC>(GetWindowLongW(hwnd, DWL_DLGPROC));
  SetWindowLongW(hwnd, DWL_MSGRESULT, 0);
  LRESULT result = 0;
  const INT_PTR handled = proc ? proc(hwnd, message, wParam, lParam) : FALSE;
  DialogData* data = DataOf(hwnd);
  if (handled) {
    result = AnswersDirectly(message) ? static_cast<LRESULT>(handled) : GetWindowLongW(hwnd, DWL_MSGRESULT);
  } else {
    result = DialogDefault(hwnd, message, wParam, lParam, data);
  }
  if (message == WM_NCDESTROY && data) {
    SetWindowLongW(hwnd, kDialogDataSlot, 0);
    if (data->ownsFont) DeleteObject(data->font);
    delete data;
  }
  return result;
}
