// The rectangle helpers. A rectangle holds [left, right) x [top, bottom).
#include <algorithm>

#include "platform/gdi/Gdi.h"

BOOL SetRect(RECT* rect, int left, int top, int right, int bottom) {
  if (!rect) return FALSE;
  *rect = RECT{left, top, right, bottom};
  return TRUE;
}

BOOL SetRectEmpty(RECT* rect) { return SetRect(rect, 0, 0, 0, 0); }

BOOL CopyRect(RECT* dest, const RECT* source) {
  if (!dest || !source) return FALSE;
  *dest = *source;
  return TRUE;
}

BOOL IsRectEmpty(const RECT* rect) { return !rect || rect->right <= rect->left || rect->bottom <= rect->top; }

BOOL EqualRect(const RECT* a, const RECT* b) {
  return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

BOOL PtInRect(const RECT* rect, POINT p) {
  return rect && p.x >= rect->left && p.x < rect->right && p.y >= rect->top && p.y < rect->bottom;
}

BOOL OffsetRect(RECT* rect, int dx, int dy) {
  if (!rect) return FALSE;
  rect->left += dx, rect->right += dx, rect->top += dy, rect->bottom += dy;
  return TRUE;
}

BOOL InflateRect(RECT* rect, int dx, int dy) {
  if (!rect) return FALSE;
  rect->left -= dx, rect->right += dx, rect->top -= dy, rect->bottom += dy;
  return TRUE;
}

BOOL IntersectRect(RECT* dest, const RECT* a, const RECT* b) {
  if (!dest || !a || !b) return FALSE;
  RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
         std::min(a->bottom, b->bottom)};
  if (IsRectEmpty(&r)) {
    SetRectEmpty(dest);
    return FALSE;
  }
  *dest = r;
  return TRUE;
}

BOOL UnionRect(RECT* dest, const RECT* a, const RECT* b) {
  if (!dest || !a || !b) return FALSE;
  if (IsRectEmpty(a)) return IsRectEmpty(b) ? SetRectEmpty(dest) && FALSE : CopyRect(dest, b);
  if (IsRectEmpty(b)) return CopyRect(dest, a);
  *dest = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
               std::max(a->bottom, b->bottom)};
  return TRUE;
}
