#include "platform/ui/metrics/Metrics.h"

#include <atomic>

#include "platform/ui/queue/SeamHooks.h"

namespace qv::ui {
namespace {

constexpr int kShortSide = 480;
constexpr int kLongSide = 800;
constexpr int kDpi = 192;

std::atomic<Orientation> g_orientation{Orientation::Portrait};

}  // namespace

DeviceProfile CurrentProfile() {
  const Orientation o = g_orientation.load(std::memory_order_relaxed);
  return o == Orientation::Portrait ? DeviceProfile{kShortSide, kLongSide, kDpi, o}
                                    : DeviceProfile{kLongSide, kShortSide, kDpi, o};
}

// Only the device profile's turn changes it (DeviceProfile.cpp).
void StoreOrientation(Orientation o) { g_orientation.store(o, std::memory_order_relaxed); }

}  // namespace qv::ui

// The device's metrics at 192 dpi: twice the 96-dpi sizes of its parts.
int GetSystemMetrics(int index) {
  const qv::ui::DeviceProfile p = qv::ui::CurrentProfile();
  switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
    case SM_CXVIRTUALSCREEN:
      return p.width;
    case SM_CYSCREEN:
    case SM_CYFULLSCREEN:
    case SM_CYVIRTUALSCREEN:
      return p.height;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB:
      return 26;
    case SM_CYCAPTION:
      return 52;
    case SM_CXBORDER:
    case SM_CYBORDER:
    case SM_CMONITORS:
    case SM_MOUSEPRESENT:
    case SM_DBCSENABLED:
      return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
    case SM_CXEDGE:
    case SM_CYEDGE:
      return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
    case SM_CXICONSPACING:
    case SM_CYICONSPACING:
      return 64;
    case SM_CXSMICON:
    case SM_CYSMICON:
    case SM_CXMENUCHECK:
    case SM_CYMENUCHECK:
      return 32;
    case SM_CYMENU:
      return 52;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
    case SM_CXDRAG:
    case SM_CYDRAG:
      return 8;
    default:
      return 0;
  }
}
