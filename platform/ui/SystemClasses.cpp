#include "platform/ui/SystemClasses.h"

#include "platform/gdi/Gdi.h"
#include "platform/ui/CommCtrl.h"
#include "platform/ui/CommCtrlTree.h"
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/ComboBox.h"
#include "platform/ui/controls/ControlClasses.h"
#include "platform/ui/controls/RichEdit.h"
#include "platform/ui/controls/ScrollBar.h"
#include "platform/ui/controls/Static.h"
#include "platform/ui/controls/Tab.h"
#include "platform/ui/dialog/Dialog.h"
#include "platform/ui/menu/MenuWindow.h"

namespace qv::ui {

void EnsureSystemClasses() {
  static bool registered = false;  // under the UI lock
  if (registered) return;
  registered = true;
  struct Kind {
    LPCWSTR name;
    WNDPROC proc;
    int extra;
    UINT style;
  };
  const Kind kinds[] = {{WC_DIALOG, DefDlgProcW, DLGWINDOWEXTRA, CS_DBLCLKS},
                        {WC_BUTTON, ButtonProc, kControlExtra, CS_DBLCLKS | CS_PARENTDC},
                        {WC_STATIC, StaticProc, kControlExtra, CS_PARENTDC},
                        {WC_SCROLLBAR, ScrollBarProc, kControlExtra, CS_DBLCLKS | CS_PARENTDC},
                        {kMenuClass, MenuWindowProc, 0, 0},
                        {WC_EDIT, EditProc, kControlExtra, CS_DBLCLKS},
                        {RICHEDIT_CLASSW, RichEditProc, kControlExtra, CS_DBLCLKS},
                        {WC_LISTVIEWW, ListViewProc, kControlExtra, CS_DBLCLKS},
                        {WC_HEADERW, HeaderProc, kControlExtra, CS_DBLCLKS},
                        {WC_LISTBOX, ListBoxProc, kControlExtra, CS_DBLCLKS | CS_PARENTDC},
                        {WC_COMBOLBOX, ListBoxProc, kControlExtra, CS_DBLCLKS},
                        {WC_COMBOBOX, ComboBoxProc, kControlExtra, CS_DBLCLKS | CS_PARENTDC},
                        {WC_TREEVIEW, TreeViewProc, kControlExtra, CS_DBLCLKS},
                        {WC_TABCONTROLW, TabProc, kControlExtra, CS_DBLCLKS}};
  for (const Kind& k : kinds) {
    WNDCLASSW wc{};
    wc.style = k.style | CS_GLOBALCLASS;
    wc.lpfnWndProc = k.proc;
    wc.cbWndExtra = k.extra;
    wc.lpszClassName = k.name;
    RegisterClassW(&wc);
  }
}

}  // namespace qv::ui

// The common controls' classes are registered with the others.
void InitCommonControls() {}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
  return init && init->dwSize == sizeof(INITCOMMONCONTROLSEX) ? TRUE : FALSE;
}
