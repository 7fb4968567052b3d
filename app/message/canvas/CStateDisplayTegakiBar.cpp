#include "app/message/canvas/CStateDisplayTegakiBar.h"

#include "app/foundation/ResourceBitmap.h"
#include "app/message/canvas/TegakiPaintCtrl.h"

#include "platform/ui/metrics/Metrics.h"
#include "platform/ui/window/Paint.h"

namespace {

struct ColorBitmaps {
  COLORREF color;
  UINT portrait;
  UINT landscape;
};

// The pen colours of the colour pad and their pieces of the bar.
constexpr ColorBitmaps kColors[] = {
    {0x000000, 352, 415}, {0x555555, 334, 422}, {0xBEBEBE, 335, 423}, {0xFFFFFF, 349, 440},
    {0x001464, 357, 421}, {0x0000FF, 347, 435}, {0xFF00FF, 342, 430}, {0xFFC8FF, 343, 431},
    {0x0A50FF, 340, 428}, {0x0096FF, 341, 429}, {0x64FFFF, 350, 437}, {0xC8FFFF, 351, 414},
    {0x003200, 336, 424}, {0x008700, 337, 425}, {0x00FF00, 338, 426}, {0xC8FFC8, 339, 427},
    {0x800000, 353, 417}, {0xFF0000, 354, 418}, {0xFFC800, 355, 419}, {0xFFFFC8, 356, 420},
    {0x643200, 348, 436}, {0x960064, 344, 432}, {0xFF96C8, 345, 433}, {0xFFD2D2, 346, 434},
};

constexpr UINT kDisabledPortrait[] = {324, 330, 327, 442, 333};
constexpr UINT kDisabledLandscape[] = {441, 408, 411, 416, 438};
constexpr int kPortraitX[] = {0, 98, 193, 288, 383};
constexpr int kPortraitW[] = {98, 95, 95, 95, 97};
constexpr int kLandscapeY[] = {0, 71, 135, 199, 263};
constexpr int kLandscapeH[] = {71, 64, 64, 64, 71};

bool IsPortrait() { return GetSystemMetrics(SM_CXSCREEN) < GetSystemMetrics(SM_CYSCREEN); }

}  // namespace

CStateDisplayTegakiBar::CStateDisplayTegakiBar()
    : m_portrait{325, 330, 326, 352, 333}, m_landscape{407, 408, 412, 415, 438} {}

bool CStateDisplayTegakiBar::ColorBitmaps(COLORREF color, UINT* portrait, UINT* landscape) {
  for (const auto& c : kColors) {
    if (c.color == color) {
      *portrait = c.portrait;
      *landscape = c.landscape;
      return true;
    }
  }
  return false;
}

RECT CStateDisplayTegakiBar::PieceRect(Piece piece, bool portrait) {
  if (portrait) return RECT{kPortraitX[piece], 0, kPortraitX[piece] + kPortraitW[piece], 0};
  return RECT{0, kLandscapeY[piece], 74, kLandscapeY[piece] + kLandscapeH[piece]};
}

void CStateDisplayTegakiBar::SetEnabledLook(bool enabled) {
  if (m_enabled == enabled) return;
  m_enabled = enabled;
  if (m_hWnd != nullptr) Invalidate(FALSE);
}

UINT CStateDisplayTegakiBar::BitmapId(Piece piece, bool portrait) const {
  if (!m_enabled) return portrait ? kDisabledPortrait[piece] : kDisabledLandscape[piece];
  return portrait ? m_portrait[piece] : m_landscape[piece];
}

void CStateDisplayTegakiBar::Update() {
  if (m_state != nullptr) {
    const bool pen = m_state->tool == 1;
    m_portrait[kTool] = pen ? 325 : 332;
    m_landscape[kTool] = pen ? 407 : 406;
    m_portrait[kEraser] = pen ? 330 : 331;
    m_landscape[kEraser] = pen ? 408 : 409;
    m_portrait[kWidth] = m_state->width == 2 ? 329 : m_state->width == 10 ? 328 : 326;
    m_landscape[kWidth] = m_state->width == 2 ? 410 : m_state->width == 10 ? 413 : 412;
    // A colour that is not on the pad keeps the piece it had.
    ColorBitmaps(m_state->color, &m_portrait[kColor], &m_landscape[kColor]);
    m_portrait[kEnd] = 333;
    m_landscape[kEnd] = 438;
  }
  if (m_hWnd != nullptr) {
    Invalidate(FALSE);
    UpdateWindow();
  }
}

void CStateDisplayTegakiBar::Paint(HDC dc) {
  const bool portrait = IsPortrait();
  RECT client;
  GetClientRect(&client);
  for (int i = 0; i < kPieces; ++i) {
    const auto piece = static_cast<Piece>(i);
    RECT at = PieceRect(piece, portrait);
    if (portrait) at.bottom = client.bottom;
    StretchResourceBitmap(dc, BitmapId(piece, portrait), at);
  }
}

LRESULT CStateDisplayTegakiBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(m_hWnd, &ps);
      Paint(dc);
      ::EndPaint(m_hWnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_DESTROY:
      if (m_dc != nullptr) ::ReleaseDC(m_hWnd, m_dc);
      m_dc = nullptr;
      break;
    default:
      break;
  }
  return CStatic::WindowProc(message, wParam, lParam);
}
