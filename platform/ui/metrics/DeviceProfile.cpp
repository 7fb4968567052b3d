// Turning the screen: a new screen surface at the new size, full-screen
// top-level windows follow it (their WM_SIZE), and every top-level window
// hears WM_SETTINGCHANGE.
#include "platform/ui/queue/SeamHooks.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/window/Screen.h"
#include "platform/ui/window/WindowTable.h"

namespace qv::ui {

void SetOrientation(Orientation orientation) {
  const DeviceProfile before = CurrentProfile();
  if (before.orientation == orientation) return;
  std::vector<HWND> fullScreen;
  std::vector<HWND> all;
  {
    auto lock = LockUi();
    for (Window* w : Desktop()->children) {
      all.push_back(w->hwnd);
      if (w->rect.left == 0 && w->rect.top == 0 && w->rect.right == before.width && w->rect.bottom == before.height) {
        fullScreen.push_back(w->hwnd);
      }
    }
    StoreOrientation(orientation);
    RemakeScreen();
  }
  const DeviceProfile now = CurrentProfile();
  for (HWND h : fullScreen) SetWindowPos(h, nullptr, 0, 0, now.width, now.height, SWP_NOZORDER | SWP_NOACTIVATE);
  for (HWND h : all) SendMessageW(h, WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0);
}

}  // namespace qv::ui
