// The "Edit" class over the text engine. Only the position messages, whose
// values it packs into one word pair, are its own.
#include "platform/ui/controls/Edit.h"

#include "platform/ui/controls/ControlClasses.h"
#include "platform/ui/text/TextEngine.h"

namespace qv::ui {

LRESULT EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (text::TextEngine* e = text::TextEngine::Of(hwnd)) {
    switch (message) {
      case EM_POSFROMCHAR: {
        if (wParam >= e->Length()) return -1;
        const POINT p = e->PosFromChar(static_cast<size_t>(wParam));
        return MAKELONG(p.x, p.y);
      }
      case EM_CHARFROMPOS: {
        size_t line = 0;
        const size_t pos = e->CharFromPos(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, &line);
        return MAKELONG(pos, line);
      }
      default:
        break;
    }
  }
  if (auto done = text::TextEngine::Dispatch(hwnd, false, message, wParam, lParam)) return *done;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace qv::ui
