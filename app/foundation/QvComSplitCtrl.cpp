#include "app/foundation/QvComSplitCtrl.h"

#include <algorithm>

#include "platform/gdi/Gdi.h"

void QvComSplitCtrl::Layout(const RECT& area, int orientation, int firstMin, int secondMin, int position,
                            bool movePanes) {
  const RECT was = area_;
  area_ = {std::min(area.left, area.right), std::min(area.top, area.bottom), std::max(area.left, area.right),
           std::max(area.top, area.bottom)};
  orientation_ = orientation;
  const int extent = orientation_ ? area_.bottom - area_.top : area_.right - area_.left;
  if (position < 0) {
    const int oldExtent = orientation_ ? was.bottom - was.top : was.right - was.left;
    position = (position_ < 0 || oldExtent <= 0) ? extent / 2
                                                  : static_cast<int>(static_cast<long long>(position_) * extent / oldExtent);
  }
  if (firstMin >= 0) firstMin_ = firstMin;
  if (secondMin >= 0) secondMin_ = secondMin;
  Place(position, movePanes);
}

void QvComSplitCtrl::Place(int position, bool movePanes) {
  const int extent = orientation_ ? area_.bottom - area_.top : area_.right - area_.left;
  // The first minimum wins when the two cannot both be met.
  position_ = std::max(std::min(position, extent - secondMin_), firstMin_);
  const int half = kThickness / 2;
  RECT bar = area_, first = area_, second = area_;
  if (orientation_) {
    bar.top = area_.top + position_ - half;
    bar.bottom = area_.top + position_ + half;
    first.bottom = bar.top;
    second.top = bar.bottom;
  } else {
    bar.left = area_.left + position_ - half;
    bar.right = area_.left + position_ + half;
    first.right = bar.left;
    second.left = bar.right;
  }
  if (movePanes) {
    for (auto [pane, r] : {std::pair{first_, first}, std::pair{second_, second}}) {
      if (pane) ::MoveWindow(pane, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
  }
  ::SetWindowPos(m_hWnd, HWND_TOP, bar.left, bar.top, bar.right - bar.left, bar.bottom - bar.top, SWP_NOACTIVATE);
}

int QvComSplitCtrl::Along(LPARAM point) const {
  POINT p{static_cast<SHORT>(LOWORD(point)), static_cast<SHORT>(HIWORD(point))};
  ::MapWindowPoints(m_hWnd, ::GetParent(m_hWnd), &p, 1);
  return orientation_ ? p.y : p.x;
}

LRESULT QvComSplitCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      SetCapture();
      dragging_ = true;
      dragStart_ = Along(lParam) - position_;
      return 0;
    case WM_MOUSEMOVE:
      if (dragging_) Place(Along(lParam) - dragStart_, false);
      return 0;
    case WM_LBUTTONUP:
      if (!dragging_) return 0;
      dragging_ = false;
      ReleaseCapture();
      Place(position_, true);
      ::SendMessageW(::GetParent(m_hWnd), kSplitMovedMessage, 0, 0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(m_hWnd, &ps);
      RECT r{};
      GetClientRect(&r);
      FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      ::EndPaint(m_hWnd, &ps);
      return 0;
    }
    default:
      break;
  }
  return CStatic::WindowProc(message, wParam, lParam);
}
