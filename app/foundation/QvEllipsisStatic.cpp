#include "app/foundation/QvEllipsisStatic.h"

#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/ui/window/ScopedGetDC.h"

BOOL QvEllipsisStatic::Create(CWnd* parent) { return CStatic::Create(L"...", WS_CHILD, RECT{1, 1, 2, 2}, parent); }

void QvEllipsisStatic::AdjustToText() {
  HWND parent = ::GetParent(m_hWnd);
  if (!parent) return;
  CString text;
  GetWindowText(text);
  RECT need{};
  {
    const qv::ScopedGetDC dc(m_hWnd);
    const qv::ScopedSelectObject withFont(dc, reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
    DrawTextW(dc, text.GetString(), text.GetLength(), &need, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  }
  RECT area{};
  ::GetClientRect(parent, &area);
  const int w = need.right - need.left, h = need.bottom - need.top;
  ::SetWindowPos(m_hWnd, nullptr, area.right - 2 - w, area.bottom - h, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL QvEllipsisStatic::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_CTLCOLORSTATIC) {
    *result = reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    return TRUE;
  }
  return CStatic::OnChildNotify(message, wParam, lParam, result);
}
