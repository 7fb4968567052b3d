// The scroll wrappers of CWnd and the "ScrollBar" control's object.
#include "platform/framework/CWnd.h"

BOOL CWnd::SetScrollInfo(int bar, LPSCROLLINFO info, BOOL redraw) {
  if (!info) return FALSE;
  info->cbSize = sizeof(SCROLLINFO);
  ::SetScrollInfo(m_hWnd, bar, info, redraw);
  return TRUE;
}

BOOL CWnd::GetScrollInfo(int bar, LPSCROLLINFO info, UINT mask) const {
  if (!info) return FALSE;
  info->cbSize = sizeof(SCROLLINFO);
  info->fMask = mask;
  return ::GetScrollInfo(m_hWnd, bar, info);
}

int CWnd::GetScrollPos(int bar) const { return ::GetScrollPos(m_hWnd, bar); }

int CWnd::SetScrollPos(int bar, int pos, BOOL redraw) { return ::SetScrollPos(m_hWnd, bar, pos, redraw); }

void CWnd::GetScrollRange(int bar, int* min, int* max) const {
  int low = 0;
  int high = 0;
  ::GetScrollRange(m_hWnd, bar, &low, &high);
  if (min) *min = low;
  if (max) *max = high;
}

void CWnd::SetScrollRange(int bar, int min, int max, BOOL redraw) { ::SetScrollRange(m_hWnd, bar, min, max, redraw); }

int CWnd::GetScrollLimit(int bar) const {
  SCROLLINFO info{};
  if (!GetScrollInfo(bar, &info, SIF_RANGE | SIF_PAGE)) return 0;
  // A page of 0 still shows one position.
  const int page = info.nPage > 0 ? static_cast<int>(info.nPage) - 1 : 0;
  const int limit = info.nMax - page;
  return limit > info.nMin ? limit : info.nMin;
}

void CWnd::ShowScrollBar(UINT bar, BOOL show) { ::ShowScrollBar(m_hWnd, static_cast<int>(bar), show); }

BOOL CWnd::EnableScrollBarCtrl(int bar, BOOL enable) {
  return ::EnableScrollBar(m_hWnd, static_cast<UINT>(bar), enable ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH);
}

void CWnd::ScrollWindow(int dx, int dy, LPCRECT scroll, LPCRECT clip) { ::ScrollWindow(m_hWnd, dx, dy, scroll, clip); }

int CWnd::ScrollWindowEx(int dx, int dy, LPCRECT scroll, LPCRECT clip, LPRECT update, UINT flags) {
  return ::ScrollWindowEx(m_hWnd, dx, dy, scroll, clip, nullptr, update, flags);
}

void CWnd::OnHScroll(UINT, UINT, CScrollBar*) { Default(); }
void CWnd::OnVScroll(UINT, UINT, CScrollBar*) { Default(); }

BOOL CScrollBar::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_SCROLLBAR, nullptr, style, rect, parent, id);
}
