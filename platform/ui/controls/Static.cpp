// The "Static" class: a label, a filled or framed rectangle, a bitmap or an
// icon. Its parent chooses its colours through WM_CTLCOLORSTATIC.
#include "platform/ui/controls/Static.h"

#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/ui/controls/ControlClasses.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/theme/StylePainter.h"
#include "platform/ui/window/Paint.h"

namespace qv::ui {
namespace {

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }
HANDLE ImageOf(HWND hwnd) { return reinterpret_cast<HANDLE>(GetWindowLongW(hwnd, kStateSlot)); }

UINT TextFormat(DWORD style) {
  UINT format = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0u;
  if (style & SS_ENDELLIPSIS) format |= DT_END_ELLIPSIS;
  if (style & SS_CENTERIMAGE) format |= DT_VCENTER | DT_SINGLELINE;
  switch (style & SS_TYPEMASK) {
    case SS_CENTER: return format | DT_CENTER | DT_WORDBREAK;
    case SS_RIGHT: return format | DT_RIGHT | DT_WORDBREAK;
    case SS_LEFTNOWORDWRAP:
    case SS_SIMPLE: return format | DT_LEFT | DT_SINGLELINE;
    default: return format | DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS;
  }
}

void PaintImage(HDC dc, const RECT& r, DWORD type, HANDLE image) {
  if (!image) return;
  if (type == SS_ICON) {
    DrawIconEx(dc, r.left, r.top, static_cast<HICON>(image), 0, 0, 0, nullptr, DI_NORMAL);
    return;
  }
  BITMAP bm{};
  GetObjectW(image, sizeof bm, &bm);
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, image);
  BitBlt(dc, r.left, r.top, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
}

void Paint(HWND hwnd, HDC dc) {
  const DWORD style = StyleOf(hwnd);
  const DWORD type = style & SS_TYPEMASK;
  RECT r{};
  GetClientRect(hwnd, &r);
  switch (type) {
    case SS_BLACKRECT: FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME)); return;
    case SS_GRAYRECT: FillRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW)); return;
    case SS_WHITERECT: FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW)); return;
    case SS_BLACKFRAME: FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME)); return;
    case SS_GRAYFRAME: FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW)); return;
    case SS_WHITEFRAME: FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOW)); return;
    default: break;
  }
  HBRUSH back = reinterpret_cast<HBRUSH>(
      SendMessageW(GetParent(hwnd), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
  FillRect(dc, &r, back ? back : GetSysColorBrush(COLOR_BTNFACE));
  if (type == SS_ICON || type == SS_BITMAP) {
    PaintImage(dc, r, type, ImageOf(hwnd));
    return;
  }
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  const qv::ScopedSelectObject withFont(dc, ControlFont(hwnd));
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  if (!IsWindowEnabled(hwnd)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, TextFormat(style));
  SetBkMode(dc, oldMode);
}

void Notify(HWND hwnd, WORD code) {
  if (!(StyleOf(hwnd) & SS_NOTIFY)) return;
  SendCommandNotify(GetParent(hwnd), hwnd, code);
}

}  // namespace

LRESULT StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (auto done = ControlBasics(hwnd, message, wParam, lParam, Paint)) return *done;
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, TRUE);
      Notify(hwnd, wParam ? STN_ENABLE : STN_DISABLE);
      return 0;
    case STM_SETIMAGE:
    case STM_SETICON: {
      const LONG_PTR old = SetWindowLongW(hwnd, kStateSlot, message == STM_SETICON ? static_cast<LONG_PTR>(wParam) : lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return old;
    }
    case STM_GETIMAGE:
    case STM_GETICON:
      return reinterpret_cast<LRESULT>(ImageOf(hwnd));
    case WM_LBUTTONUP:
      Notify(hwnd, STN_CLICKED);
      return 0;
    case WM_LBUTTONDBLCLK:
      Notify(hwnd, STN_DBLCLK);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace qv::ui
