// Menu and accelerator resources over any bytes: a template is read within
// its size, and a loaded menu answers the item calls over its whole tree.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/ui/WinUser.h"
#include "platform/ui/menu/MenuStore.h"

namespace {

void Walk(HMENU menu, int depth) {
  const int count = GetMenuItemCount(menu);
  for (int n = 0; n < count; ++n) {
    WCHAR text[8];
    GetMenuStringW(menu, static_cast<UINT>(n), text, 8, MF_BYPOSITION);
    GetMenuState(menu, static_cast<UINT>(n), MF_BYPOSITION);
    if (HMENU sub = GetSubMenu(menu, n)) {
      if (depth > 64) __builtin_trap();  // the reader bounds nesting
      Walk(sub, depth + 1);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The units of an exact-size copy: reading past it is caught.
  std::vector<wchar_t> units(size / 2);
  for (size_t n = 0; n < units.size(); ++n) units[n] = static_cast<wchar_t>(data[2 * n] | data[2 * n + 1] << 8);
  if (HMENU menu = qv::ui::ParseMenuTemplate(units.data(), units.size())) {
    Walk(menu, 0);
    GetMenuState(menu, 0x1234, MF_BYCOMMAND);
    DestroyMenu(menu);
  }
  std::vector<ACCEL> entries;
  std::vector<uint8_t> exact(data, data + size);
  if (qv::ui::ParseAcceleratorResource(exact.data(), exact.size(), &entries) && entries.size() > size / 8) {
    __builtin_trap();
  }
  return 0;
}
