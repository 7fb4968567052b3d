// The HTML edit control inside the program: registered as the program does
// at its start, drawing pictographs through the program's painter from the
// pictograph sets, inline with decorated text of several sizes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/foundation/PictureText.h"
#include "app/foundation/QvPictureCharBitmap.h"
#include "outside/Markwright/HtmlEditCtrl.h"
#include "platform/gdi/Surface.h"
#include "platform/ui/window/Screen.h"
#include "tests/platform/ui/UiTest.h"

namespace {

using qv::test::UiTest;
using HtmlControlPictographs = UiTest;

// Pixels in a box that are neither white nor black nor grey: glyph colour.
int Colourful(const RECT& box) {
  auto s = qv::ui::ScreenSurface();
  int n = 0;
  for (int y = box.top; y < box.bottom; ++y) {
    for (int x = box.left; x < box.right; ++x) {
      const COLORREF c = qv::gdi::ColorOf(s->Row(y)[x]);
      const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
      n += (std::max({r, g, b}) - std::min({r, g, b}) > 60) ? 1 : 0;
    }
  }
  return n;
}

TEST_F(HtmlControlPictographs, PictographsAreDrawnFromTheSetsInline) {
  LoadPictureCharLibraries();
  static const HtmlEditTextPainter painter = {FitPictureText, DrawPictureText};
  SetHtmlEditTextPainter(&painter);
  InitializeHtmlEditCtrl(nullptr, 0);
  HWND parent = Make(WS_POPUP | WS_VISIBLE);
  HWND c = CreateWindowExW(0, HTMLEDIT_CLASS, L"", WS_CHILD | WS_VISIBLE | ES_READONLY, 0, 0, 480, 800, parent,
                           reinterpret_cast<HMENU>(1070), nullptr, nullptr);
  SendMessageW(c, HEM_READINGMODE, 1, 0);
  // A first line of plain black text as the reference, then pictographs of both sets at three sizes.
  const std::wstring html =
      L"<div>ABCDEFGH</div>"
      L"<div>晴れ\uE63E曇り\uE63F雨\uE640 <b>太字\uE6F0</b></div>"
      L"<div><font size=6>大きい\uE001\uE6A1</font></div>"
      L"<div><font size=1>小さい\uE002\uE63E</font></div>";
  SendMessageW(c, HEM_LOADHTML, reinterpret_cast<WPARAM>(html.c_str()), 0);
  qv::seams::PumpMessages();
  UpdateWindow(parent);
  const char* dir = getenv("QV_BINARY_DIR");
  EXPECT_TRUE(qv::seams::SaveScreenPng(std::string(dir ? dir : ".") + "/markwright-pictographs.png"));
  // The plain line has no colour; the lines with pictographs do.
  POINT first{}, second{};
  SendMessageW(c, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&first), 0);
  SendMessageW(c, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&second), 9);
  EXPECT_EQ(Colourful(RECT{0, first.y, 480, second.y}), 0);
  EXPECT_GT(Colourful(RECT{0, second.y, 480, 800}), 100) << "pictographs come from the colour sheets, not U+3013";
  DestroyWindow(parent);
  SetHtmlEditTextPainter(nullptr);
  TerminateHtmlEditCtrl();
  FreePictureCharLibraries();
}

}  // namespace
