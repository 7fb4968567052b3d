#include "app/foundation/QvStaticLine.h"

#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"

COLORREF ResolveColour(COLORREF c) {
  return (c & kSystemColour) ? GetSysColor(static_cast<int>(c & 0xFF)) : c;
}

LRESULT QvStaticLine::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return CStatic::WindowProc(message, wParam, lParam);
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(m_hWnd, &ps);
  RECT r{};
  GetClientRect(&r);
  FillRect(dc, &r, qv::ScopedGdiObject<HBRUSH>(CreateSolidBrush(ResolveColour(background_))).get());
  CString text;
  GetWindowText(text);
  if (!text.IsEmpty()) {
    const qv::ScopedSelectObject withFont(dc, reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
    ::SetTextColor(dc, ResolveColour(text_));
    ::SetBkColor(dc, ResolveColour(background_));
    DrawTextW(dc, text.GetString(), text.GetLength(), &r, format_);
  }
  {
    const qv::ScopedGdiObject<HPEN> pen(CreatePen(lineStyle_, lineWidth_, ResolveColour(lineColour_)));
    const qv::ScopedSelectObject withPen(dc, pen.get());
    const int y = r.bottom - (lineWidth_ + 1) / 2;
    MoveToEx(dc, r.left, y, nullptr);
    LineTo(dc, r.right, y);
  }
  ::EndPaint(m_hWnd, &ps);
  return 0;
}
