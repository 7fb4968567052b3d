// Japanese typed into an edit through the desktop's input method: SDL's
// composition events reach the field as the WM_IME_ sequence, the text being
// composed shows underlined at the caret, the candidate list is placed there,
// and the result becomes the field's text.
#include "tests/platform/display/DisplayTest.h"

#include "platform/gdi/Surface.h"
#include "platform/ui/window/Screen.h"

namespace {

using qv::test::DisplayTest;
using EditInput = DisplayTest;

std::wstring TextOf(HWND h) {
  WCHAR buffer[256] = {};
  GetWindowTextW(h, buffer, 256);
  return buffer;
}

TEST_F(EditInput, JapaneseComposedIntoAnEdit) {
  HWND top = Make(WS_POPUP | WS_VISIBLE);
  HWND edit = CreateWindowExW(0, WC_EDIT, L"宛先：", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE, 20, 40, 440, 200,
                              top, reinterpret_cast<HMENU>(1), nullptr, nullptr);
  LOGFONTW lf{};
  lf.lfHeight = -32;
  wcscpy(lf.lfFaceName, L"ＭＳ Ｐゴシック");
  HFONT font = CreateFontIndirectW(&lf);
  SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  SetFocus(edit);
  SendMessageW(edit, EM_SETSEL, 3, 3);
  Pump();
  const LRESULT start = SendMessageW(edit, EM_POSFROMCHAR, 2, 0);
  Editing("に");
  Editing("にほんご");
  Pump();
  Pump();  // the display places the candidate list on its next look at SDL
  EXPECT_EQ(TextOf(edit), L"宛先：") << "a composition is not text yet";
  POINT caret{};
  GetCaretPos(&caret);
  POINT onScreen = caret;
  ClientToScreen(edit, &onScreen);
  const RECT candidates = display_->CandidateArea();
  EXPECT_LT(candidates.left, onScreen.x);
  EXPECT_EQ(candidates.top, onScreen.y);
  EXPECT_GT(candidates.bottom, onScreen.y + 20);
  // The X server shows the screen as drawn: the composition underlined
  // between where the text ends and the caret.
  const qv::test::XPicture shown = Grab();
  const auto screen = qv::ui::ScreenSurface();
  int underline = 0;
  const int y = candidates.bottom - 1;
  for (int x = candidates.left; x < onScreen.x; ++x) {
    EXPECT_EQ(shown.At(x, y), screen->Row(y)[x] & 0xFFFFFFu);
    underline += (shown.At(x, y) & 0xFFFFFFu) == 0;
  }
  EXPECT_GT(underline, 3 * 32);
  EXPECT_GT(candidates.left, GET_X_LPARAM(start) + 20);
  EXPECT_TRUE(qv::seams::SaveScreenPng(OutputPath("edit-composition.png")));
  Text("日本語");
  Editing("");
  Text("で");
  Pump();
  EXPECT_EQ(TextOf(edit), L"宛先：日本語で");
  EXPECT_TRUE(qv::seams::SaveScreenPng(OutputPath("edit-composed.png")));
  DestroyWindow(top);
  DeleteObject(font);
}

}  // namespace
