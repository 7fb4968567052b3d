// The layers' registrars and hooks. Both tables are constant-initialized, so
// a layer's initializer may fill its slot whichever file the loader starts
// first.
#include "platform/ui/window/LayerHooks.h"

#include <array>

namespace qv::ui {
namespace {

constinit std::array<ClassRegistrar, static_cast<size_t>(ClassLayer::Count)> g_registrars{};
constinit LayerHooks g_hooks{};

}  // namespace

void SetClassRegistrar(ClassLayer layer, ClassRegistrar registrar) {
  g_registrars[static_cast<size_t>(layer)] = registrar;
}

void EnsureLayerClasses() {
  static bool registered = false;  // under the UI lock
  if (registered) return;
  registered = true;
  for (ClassRegistrar registrar : g_registrars) {
    if (registrar) registrar();
  }
}

void RegisterSystemClasses(const SystemClass* classes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    WNDCLASSW wc{};
    wc.style = classes[i].style | CS_GLOBALCLASS;
    wc.lpfnWndProc = classes[i].proc;
    wc.cbWndExtra = classes[i].extra;
    wc.lpszClassName = classes[i].name;
    RegisterClassW(&wc);
  }
}

LayerHooks& Hooks() { return g_hooks; }

}  // namespace qv::ui
