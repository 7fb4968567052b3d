// The program's drawn box over the file browser's thumbnails in the SDL2
// window on the tests' own X server, answered by a mouse click: the X server
// shows the in-memory screen, and its own pixels are kept as
// display-lmessagebox.png in the build folder.
#include "tests/app/display/ProgramDisplayTest.h"

namespace qv::test {
namespace {

using BoxDisplayTest = ProgramDisplayTest;

TEST_F(BoxDisplayTest, TheBoxOverThumbnailsInTheWindow) {
  const int answer = SheetUnderBox(frame_, Host(std::string("")), [](ThumbnailSheet&) {}, [&](HWND box) {
    Capture();
    const POINT yes = CentreOf(GetDlgItem(box, kLMessageBoxYes));  // the mouse is the stylus
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, yes.x, yes.y);
    Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, yes.x, yes.y);
  });
  EXPECT_EQ(answer, IDYES);
  ExpectShownAndKeep("display-lmessagebox.png");
}

}  // namespace
}  // namespace qv::test
