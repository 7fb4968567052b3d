// The decorated edit page's current text decoration, as the decoration bar
// shows it. The edit page owns the meaning of the flags; colours are COLORREF.
#pragma once

#include "platform/base/WinTypes.h"
#include "platform/gdi/GdiTypes.h"

struct QvDecorationState {
  QvDecorationState() { Init(); }

  // Every field to its default.
  void Init() {
    sizeStep = 3;
    weight = 400;
    flag1 = flag2 = flag3 = 0;
    display = 0;
    extra1 = extra2 = 0;
    alignment = 1;
    textColor = 0x000000;
    backColor = 0xFFFFFF;
    extra3 = 0;
    markerColor = 0x37F3BF;
  }
  // Back to the defaults of the typing format only: size step, weight, the
  // byte flags, the display flag, the text colour and the further int;
  // alignment, background and marker colours stay.
  void InitFormat() {
    sizeStep = 3;
    weight = 400;
    flag1 = flag2 = flag3 = 0;
    display = 0;
    textColor = 0x000000;
    extra3 = 0;
  }

  int sizeStep;
  int weight;
  BYTE flag1, flag2, flag3;
  int display;
  int extra1, extra2;
  int alignment;  // 1 left, 3 centre, 2 right (the edit page's values)
  COLORREF textColor;
  COLORREF backColor;
  int extra3;
  COLORREF markerColor;
};
