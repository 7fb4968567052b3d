#include "app/message/deco/CStateDisplayDecorationBar.h"

#include "app/foundation/ResourceBitmap.h"

#include "platform/framework/CDC.h"
#include "platform/gdi/Gdi.h"

UINT CStateDisplayDecorationBar::ColorBitmapFor(COLORREF color) {
  // The 24 text colours of the colour pad, each with its picture.
  static constexpr COLORREF kColors[] = {0x000000, 0x555555, 0xBEBEBE, 0xFFFFFF, 0x003366, 0x0000FF,
                                         0xFFCCFF, 0xFF00FF, 0x0A50FF, 0x00A5FF, 0xCCFFFF, 0x00FFFF,
                                         0x003100, 0x336600, 0x009900, 0xCCFFCC, 0x7B0000, 0xFF0000,
                                         0xFFC800, 0xFFFFCC, 0x663300, 0x990066, 0xCC0099, 0xFFCCCC};
  for (UINT i = 0; i < sizeof kColors / sizeof kColors[0]; ++i) {
    if (kColors[i] == color) return 613 + i;
  }
  return 0;
}

bool CStateDisplayDecorationBar::Update() {
  if (!state_) return false;
  const QvDecorationState& s = *state_;
  if (drawn_.valid && drawn_.textColor == s.textColor && drawn_.sizeStep == s.sizeStep &&
      drawn_.display == s.display && drawn_.alignment == s.alignment) {
    return false;
  }
  // A colour the bar does not know keeps the picture it had.
  if (const UINT color = ColorBitmapFor(s.textColor)) colorBitmap_ = color;
  sizeBitmap_ = SizeBitmapFor(s.sizeStep);
  alignBitmap_ = AlignmentBitmapFor(s.alignment);
  if (m_hWnd) {
    if (!dc_) dc_ = ::GetDC(m_hWnd);
    Paint(dc_);
  }
  drawn_ = {s.textColor, s.sizeStep, s.display, s.alignment, true};
  return true;
}

void CStateDisplayDecorationBar::Paint(HDC dc) {
  ++paints_;
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  const int left = client.left, top = client.top;
  const bool display = state_ && state_->display;
  if (::GetSystemMetrics(SM_CYSCREEN) > ::GetSystemMetrics(SM_CXSCREEN)) {
    DrawResourceBitmap(dc, kPortraitGround, left, top);
    DrawResourceBitmap(dc, colorBitmap_, left + 26, top + 3);
    DrawResourceBitmap(dc, sizeBitmap_, left + 104, top + 3);
    if (display) DrawResourceBitmap(dc, kDisplayFlagBitmap, left + 182, top + 3);
    DrawResourceBitmap(dc, alignBitmap_, left + 260, top + 3);
  } else {
    DrawResourceBitmap(dc, kLandscapeGround, left, top);
    DrawResourceBitmap(dc, colorBitmap_, left + 5, top + 22);
    DrawResourceBitmap(dc, sizeBitmap_, left + 5, top + 80);
    if (display) DrawResourceBitmap(dc, kDisplayFlagBitmap, left + 5, top + 138);
    DrawResourceBitmap(dc, alignBitmap_, left + 5, top + 196);
  }
}

LRESULT CStateDisplayDecorationBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      CPaintDC dc(this);
      Paint(dc);
      return 0;
    }
    case WM_SETFOCUS:
      ModifyStyle(0, WS_BORDER, SWP_FRAMECHANGED);
      break;
    case WM_KILLFOCUS:
      ModifyStyle(WS_BORDER, 0, SWP_FRAMECHANGED);
      break;
    case WM_DESTROY:
      if (dc_) ::ReleaseDC(m_hWnd, dc_);
      dc_ = nullptr;
      break;
    default:
      break;
  }
  return CStatic::WindowProc(message, wParam, lParam);
}
