// Puts the menu window's class in the class table, and the closing of an
// open menu on WM_CANCELMODE in DefWindowProcW, when the platform loads.
#include "platform/ui/menu/MenuWindow.h"
#include "platform/ui/window/LayerHooks.h"

namespace qv::ui {
namespace {

void RegisterMenuClass() {
  const SystemClass classes[] = {{kMenuClass, MenuWindowProc, 0, 0}};
  RegisterSystemClasses(classes);
}

const bool gRegistered = [] {
  SetClassRegistrar(ClassLayer::Menu, RegisterMenuClass);
  Hooks().cancelMenu = CancelMenuFor;
  return true;
}();

}  // namespace
}  // namespace qv::ui
