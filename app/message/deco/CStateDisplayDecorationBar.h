// The strip under the decorated body that shows the current decoration:
// colour, size, the display flag and alignment as bitmaps on a ground that
// follows the screen's orientation. It repaints only when what it shows changed.
#pragma once

#include "app/message/deco/QvDecorationState.h"
#include "platform/framework/CStatic.h"

class CStateDisplayDecorationBar : public CStatic {
 public:
  static constexpr UINT kPortraitGround = 610;
  static constexpr UINT kLandscapeGround = 612;
  static constexpr UINT kDisplayFlagBitmap = 603;
  static constexpr int kIcon = 38;

  void AttachState(const QvDecorationState* state) { state_ = state; }
  // Recomputes the bitmaps from the state and repaints; nothing when the
  // shown values are the ones drawn last. True when it repainted.
  bool Update();

  // The bitmap ids the bar shows now.
  UINT ColorBitmap() const { return colorBitmap_; }
  UINT SizeBitmap() const { return sizeBitmap_; }
  UINT AlignmentBitmap() const { return alignBitmap_; }
  // How many times the bar drew itself (tests read it).
  int PaintCount() const { return paints_; }

  // The colour bitmap of a text colour; 0 for a colour the bar does not know.
  static UINT ColorBitmapFor(COLORREF color);
  static UINT SizeBitmapFor(int sizeStep) { return sizeStep == 1 ? 602 : sizeStep == 7 ? 601 : 600; }
  static UINT AlignmentBitmapFor(int alignment) { return alignment == 2 ? 606 : alignment == 3 ? 605 : 604; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Paint(HDC dc);

  const QvDecorationState* state_ = nullptr;
  UINT colorBitmap_ = 613;
  UINT sizeBitmap_ = 600;
  UINT alignBitmap_ = 604;
  struct Drawn {
    COLORREF textColor = 0;
    int sizeStep = 0;
    int display = 0;
    int alignment = 0;
    bool valid = false;
  } drawn_;
  HDC dc_ = nullptr;
  int paints_ = 0;
};
