// Puts the common controls' classes in the class table when the platform
// loads; InitCommonControls has nothing left to do.
#include "platform/ui/commctrl/CommCtrl.h"
#include "platform/ui/commctrl/CommCtrlTree.h"
#include "platform/ui/commctrl/Header.h"
#include "platform/ui/commctrl/ListView.h"
#include "platform/ui/commctrl/ProgressBar.h"
#include "platform/ui/commctrl/Tab.h"
#include "platform/ui/controls/ControlClasses.h"
#include "platform/ui/window/LayerHooks.h"

namespace qv::ui {
namespace {

void RegisterCommonControls() {
  const SystemClass classes[] = {{WC_LISTVIEWW, ListViewProc, kControlExtra, CS_DBLCLKS},
                                 {WC_HEADERW, HeaderProc, kControlExtra, CS_DBLCLKS},
                                 {WC_TREEVIEW, TreeViewProc, kControlExtra, CS_DBLCLKS},
                                 {WC_TABCONTROLW, TabProc, kControlExtra, CS_DBLCLKS},
                                 {PROGRESS_CLASSW, ProgressProc, kControlExtra, 0}};
  RegisterSystemClasses(classes);
}

const bool gRegistered = [] {
  SetClassRegistrar(ClassLayer::CommonControls, RegisterCommonControls);
  return true;
}();

}  // namespace
}  // namespace qv::ui

// The common controls' classes are registered with the others.
void InitCommonControls() {}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
  return init && init->dwSize == sizeof(INITCOMMONCONTROLSEX) ? TRUE : FALSE;
}
