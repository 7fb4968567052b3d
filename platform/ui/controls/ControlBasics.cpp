#include "platform/ui/controls/ControlClasses.h"

#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/window/Paint.h"
#include "platform/ui/window/ScopedGetDC.h"

namespace qv::ui {

LRESULT SendCommandNotify(HWND to, HWND control, WORD code) {
  return SendMessageW(to, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code), reinterpret_cast<LPARAM>(control));
}

void NotifyParent(HWND control, WORD code) {
  if (HWND parent = GetParent(control)) SendCommandNotify(parent, control, code);
}

std::optional<LRESULT> ControlBasics(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, void (*paint)(HWND, HDC)) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      if (HDC dc = BeginPaint(hwnd, &ps)) paint(hwnd, dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SETFONT:
      SetWindowLongW(hwnd, kFontSlot, static_cast<LONG_PTR>(wParam));
      if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return GetWindowLongW(hwnd, kFontSlot);
    case WM_SETTEXT: {
      const LRESULT r = DefWindowProcW(hwnd, message, wParam, lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return r;
    }
    default:
      return std::nullopt;
  }
}

std::optional<LRESULT> ListBasics(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, void (*paint)(HWND, HDC),
                                  const std::function<void()>& relayOut) {
  switch (message) {
    case WM_SETFONT:
      ControlBasics(hwnd, message, wParam, lParam, paint);
      relayOut();
      return 0;
    case WM_SIZE:
      relayOut();
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    default:
      return ControlBasics(hwnd, message, wParam, lParam, paint);
  }
}

int FontLineHeight(HWND hwnd, HFONT font) {
  TEXTMETRICW tm{};
  const qv::ScopedGetDC dc(hwnd);
  const qv::ScopedSelectObject withFont(dc, font);
  GetTextMetricsW(dc, &tm);
  return static_cast<int>(tm.tmHeight);
}

}  // namespace qv::ui
