// Puts the "Dialog" class in the class table when the platform loads.
#include "platform/ui/dialog/Dialog.h"
#include "platform/ui/window/LayerHooks.h"

namespace qv::ui {
namespace {

void RegisterDialogClass() {
  const SystemClass classes[] = {{WC_DIALOG, DefDlgProcW, DLGWINDOWEXTRA, CS_DBLCLKS}};
  RegisterSystemClasses(classes);
}

const bool gRegistered = [] {
  SetClassRegistrar(ClassLayer::Dialog, RegisterDialogClass);
  return true;
}();

}  // namespace
}  // namespace qv::ui
