// A caption over a rule line: the text on a plain background with a line of
// the chosen pen along the bottom. Colours may be system colour indexes
// flagged with kSystemColour, turned into colours when painting.
#pragma once

#include "platform/framework/CStatic.h"

constexpr COLORREF kSystemColour = 0x40000000;

class QvStaticLine : public CStatic {
 public:
  void SetLineStyle(int style) { lineStyle_ = style; }  // PS_NULL (5) for no line
  void SetLineColor(COLORREF c) { lineColour_ = c; }
  void SetBkColor(COLORREF c) { background_ = c; }
  void SetTextColor(COLORREF c) { text_ = c; }
  void SetDrawTextFormat(UINT format) { format_ = format; }
  int GetLineWidth() const { return lineWidth_; }
  // Its window-rectangle height: the line alone.
  int NeededHeight() const { return lineWidth_; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  int lineWidth_ = 1;
  int lineStyle_ = 1;  // dashed
  COLORREF background_ = kSystemColour | 5;
  COLORREF text_ = kSystemColour | 8;
  COLORREF lineColour_ = 0x008080;
  UINT format_ = 0x826;
};

// A colour, or the system colour a flagged index names.
COLORREF ResolveColour(COLORREF c);
