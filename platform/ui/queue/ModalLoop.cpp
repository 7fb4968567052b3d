#include "platform/ui/queue/ModalLoop.h"

namespace qv::ui {

bool RunModalLoop(const ModalLoop& loop) {
  MSG msg;
  for (;;) {
    if (loop.ended()) return true;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!loop.idle || !loop.idle()) WaitMessage();
      continue;
    }
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside
      return false;
    }
    loop.handle(msg);
  }
}

}  // namespace qv::ui
