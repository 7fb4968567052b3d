// Puts the basic controls' classes in the class table, and the scroll bars'
// part of DefWindowProcW in the core, when the platform loads.
#include "platform/ui/controls/Button.h"
#include "platform/ui/controls/ComboBox.h"
#include "platform/ui/controls/ControlClasses.h"
#include "platform/ui/controls/Edit.h"
#include "platform/ui/controls/ListBox.h"
#include "platform/ui/controls/RichEdit.h"
#include "platform/ui/controls/ScrollBar.h"
#include "platform/ui/controls/Static.h"
#include "platform/ui/window/LayerHooks.h"

namespace qv::ui {
namespace {

void RegisterControls() {
  const SystemClass classes[] = {{WC_BUTTON, ButtonProc, kControlExtra, CS_DBLCLKS | CS_PARENTDC},
                                 {WC_STATIC, StaticProc, kControlExtra, CS_PARENTDC},
                                 {WC_SCROLLBAR, ScrollBarProc, kControlExtra, CS_DBLCLKS | CS_PARENTDC},
                                 {WC_EDIT, EditProc, kControlExtra, CS_DBLCLKS},
                                 {RICHEDIT_CLASSW, RichEditProc, kControlExtra, CS_DBLCLKS},
                                 {WC_LISTBOX, ListBoxProc, kControlExtra, CS_DBLCLKS | CS_PARENTDC},
                                 {WC_COMBOLBOX, ListBoxProc, kControlExtra, CS_DBLCLKS},
                                 {WC_COMBOBOX, ComboBoxProc, kControlExtra, CS_DBLCLKS | CS_PARENTDC}};
  RegisterSystemClasses(classes);
}

const bool gRegistered = [] {
  SetClassRegistrar(ClassLayer::Controls, RegisterControls);
  Hooks().scrollBarInput = WindowScrollBarInput;
  Hooks().wheel = WheelDefault;
  return true;
}();

}  // namespace
}  // namespace qv::ui
