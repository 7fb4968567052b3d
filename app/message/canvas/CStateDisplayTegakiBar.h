// The handwriting tool page's strip of five bitmaps that shows the pen
// state: tool, eraser, width, colour and an end piece, side by side in
// portrait and stacked in landscape.
#pragma once

#include "platform/framework/CStatic.h"
#include "platform/gdi/Gdi.h"

// The pen state shared by the handwriting page, its tool page and the bar.
struct QvTegakiPenState {
  QvTegakiPenState() = default;
  QvTegakiPenState(int t, int w, COLORREF c) : tool(t), width(w), color(c) {}
  int tool = 1;  // 1 pen, 2 eraser
  int width = 5;
  COLORREF color = 0;
};

class CStateDisplayTegakiBar : public CStatic {
 public:
  enum Piece { kTool, kEraser, kWidth, kColor, kEnd, kPieces };

  CStateDisplayTegakiBar();
  void AttachState(QvTegakiPenState* state) { m_state = state; }
  void SetEnabledLook(bool enabled);
  bool EnabledLook() const { return m_enabled; }
  // Recomputes the bitmaps from the state and repaints.
  void Update();
  // The bitmap shown for a piece in the current orientation.
  UINT BitmapId(Piece piece, bool portrait) const;
  // The colour's bitmap (portrait, landscape); false for a colour not on the pad.
  static bool ColorBitmaps(COLORREF color, UINT* portrait, UINT* landscape);
  // Where a piece goes from the bar's top-left.
  static RECT PieceRect(Piece piece, bool portrait);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Paint(HDC dc);

  QvTegakiPenState* m_state = nullptr;
  bool m_enabled = true;
  UINT m_portrait[kPieces];
  UINT m_landscape[kPieces];
  HDC m_dc = nullptr;
};
