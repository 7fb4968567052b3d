#include "app/foundation/ScrollSupport.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/ui/controls/ScrollBar.h"
#include "platform/ui/window/Paint.h"

namespace {

int ClientHeight(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return client.bottom - client.top;
}

}  // namespace

bool GetFocusedChildRect(HWND window, RECT* rect) {
  if (!window || !IsWindow(window)) return false;
  HWND focus = GetFocus();
  if (!focus || !IsChild(window, focus)) return false;
  return GetWindowRect(focus, rect) != FALSE;
}

void EnsureRectVisible(HWND window, const RECT& screenRect) {
  RECT r = screenRect;
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
  RECT client{};
  GetClientRect(window, &client);
  int shift = 0;
  if (r.top < client.top) shift += r.top - client.top;
  if (r.bottom > client.bottom) shift += r.bottom - client.bottom;
  if (shift == 0) return;
  const int pos = GetScrollPos(window, SB_VERT) + shift;
  PostMessageW(window, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, static_cast<WORD>(pos)), 0);
}

void ScrollChildren(HWND window, int dy) {
  // No scroll rectangle: every child moves, those already scrolled out of
  // the client too, so the page keeps together.
  ScrollWindowEx(window, 0, dy, nullptr, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
}

void UpdateScrollRangeFromChildren(int& offset, HWND window, int margin) {
  RECT client{};
  GetClientRect(window, &client);
  bool any = false;
  LONG smallestTop = 0, largestBottom = 0;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    smallestTop = any ? std::min(smallestTop, r.top) : r.top;
    largestBottom = any ? std::max(largestBottom, r.bottom) : r.bottom;
    any = true;
  }
  const int top = std::min<int>(offset, smallestTop);
  const int neededBottom = largestBottom + margin;
  int pulled = 0;
  if (top < client.top && neededBottom < client.bottom) {
    pulled = std::min<int>(client.top - top, client.bottom - neededBottom);
    ScrollChildren(window, pulled);
    offset += pulled;
  }
  SCROLLINFO info{sizeof(info), SIF_POS, 0, 0, 0, 0, 0};
  GetScrollInfo(window, SB_VERT, &info);
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = 0;
  info.nMax = neededBottom - top;
  info.nPage = static_cast<UINT>(client.bottom - client.top + 1);
  // The contents came down by `pulled`; the thumb follows them.
  info.nPos = std::max(0, info.nPos - pulled);
  SetScrollInfo(window, SB_VERT, &info, TRUE);
}

void ScrollByVScrollCode(int& offset, HWND window, int code, int position) {
  SCROLLINFO info{sizeof(info), SIF_ALL, 0, 0, 0, 0, 0};
  if (!GetScrollInfo(window, SB_VERT, &info)) return;
  const int p = info.nPos;
  const int limit = info.nMax - ClientHeight(window);
  int next = p;
  switch (code) {
    case SB_LINEUP:
      next = std::max(p - kScrollLine, info.nMin);
      break;
    case SB_LINEDOWN:
      if (info.nMax - info.nMin < ClientHeight(window)) return;
      next = std::min(limit, p + kScrollLine);
      break;
    case SB_PAGEUP:
      next = std::max(p - kScrollPage, info.nMin);
      break;
    case SB_PAGEDOWN:
      next = std::min(limit, p + kScrollPage);
      break;
    case SB_TOP:
      next = info.nMin;
      break;
    case SB_BOTTOM:
      // As far as the thumb goes: the last page, not past it.
      next = limit;
      break;
    case SB_ENDSCROLL:
      return;
    default:
      next = std::min(position, limit) < 0 ? 0 : std::min(position, limit);
      break;
  }
  // Contents shorter than the client never move down past their place.
  next = std::max(next, info.nMin);
  if (next == p) return;
  info.fMask = SIF_POS;
  info.nPos = next;
  next = SetScrollInfo(window, SB_VERT, &info, TRUE);
  if (next == p) return;
  ScrollChildren(window, p - next);
  offset += p - next;
}

void TranslateMouseWheel(const MSG* msg, HWND window, int step) {
  if (msg->message != WM_MOUSEWHEEL) return;
  SCROLLINFO info{sizeof(info), SIF_POS, 0, 0, 0, 0, 0};
  const int pos = GetScrollInfo(window, SB_VERT, &info) ? info.nPos : 0;
  const int turn = GET_WHEEL_DELTA_WPARAM(msg->wParam) <= 0 ? kWheelLines * step : -kWheelLines * step;
  SendMessageW(window, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(pos + turn)), 0);
}
