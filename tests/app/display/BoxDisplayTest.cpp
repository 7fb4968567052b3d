// The program's drawn box over the file browser's thumbnails in the SDL2
// window on the tests' own X server, answered by a mouse click: the X server
// shows the in-memory screen, and its own pixels are kept as
// display-lmessagebox.png in the build folder.
#include "platform/imaging/Imaging.h"
#include "platform/ui/window/Screen.h"
#include "tests/app/foundation/BoxSession.h"
#include "tests/platform/display/DisplayTest.h"

namespace qv::test {
namespace {

using BoxDisplayTest = DisplayTest;

TEST_F(BoxDisplayTest, TheBoxOverThumbnailsInTheWindow) {
  HMODULE res = LoadProgramResources();
  ASSERT_NE(res, nullptr);
  auto* frame = new ScriptFrame;  // deletes itself with its window
  ASSERT_TRUE(frame->Create(nullptr, L"T-VELA4メール ", WS_POPUP | WS_VISIBLE));
  XPicture shown;
  std::vector<DWORD> screen;
  std::vector<BYTE> png;
  const int answer = SheetUnderBox(frame, Host(std::string("")), [](ThumbnailSheet&) {}, [&](HWND box) {
    Pump();  // presented once nothing is left to do
    shown = Grab();
    const auto surface = qv::ui::ScreenSurface();
    for (int y = 0; y < surface->Height(); ++y) {
      for (int x = 0; x < surface->Width(); ++x) screen.push_back(surface->Row(y)[x] & 0xFFFFFFu);
    }
    BitmapData data{static_cast<UINT>(shown.width), static_cast<UINT>(shown.height), shown.width * 4,
                    PixelFormat32bppRGB, shown.pixels.data(), 0};
    qv::EncodePng(data, &png);
    const POINT yes = CentreOf(GetDlgItem(box, kLMessageBoxYes));  // the mouse is the stylus
    Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, yes.x, yes.y);
    Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, yes.x, yes.y);
  });
  EXPECT_EQ(answer, IDYES);
  EXPECT_EQ(shown.width, 480);
  EXPECT_EQ(shown.height, 800);
  EXPECT_TRUE(shown.pixels == screen) << "the window shows the screen pixel for pixel";
  std::ofstream(OutputPath("display-lmessagebox.png"), std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  EXPECT_FALSE(png.empty());
  Script().clear();
  frame->DestroyWindow();
  CWnd::DeleteTempMap();
  AfxSetResourceHandle(nullptr);
  FreeLibrary(res);
}

}  // namespace
}  // namespace qv::test
