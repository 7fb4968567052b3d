// The display tests of the program's windows: its resources and a scripted
// frame, and what the X server shows, taken with the in-memory screen as it
// stands so that the two can be compared and the picture kept.
#pragma once

#include "platform/imaging/Imaging.h"
#include "platform/ui/window/Screen.h"
#include "tests/app/foundation/BoxSession.h"
#include "tests/platform/display/DisplayTest.h"

namespace qv::test {

class ProgramDisplayTest : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    OpenProgram(&res_, &frame_);
  }
  void TearDown() override {
    CloseProgram(res_, frame_);
    DisplayTest::TearDown();
  }

  // Once nothing is left to do: the X server's pixels, the screen's, and the
  // former as a PNG.
  void Capture() {
    Pump();
    shown_ = Grab();
    const auto surface = qv::ui::ScreenSurface();
    screen_.clear();
    for (int y = 0; y < surface->Height(); ++y) {
      for (int x = 0; x < surface->Width(); ++x) screen_.push_back(surface->Row(y)[x] & 0xFFFFFFu);
    }
    BitmapData data{static_cast<UINT>(shown_.width), static_cast<UINT>(shown_.height), shown_.width * 4,
                    PixelFormat32bppRGB, shown_.pixels.data(), 0};
    png_.clear();
    qv::EncodePng(data, &png_);
  }
  // The window showed the whole screen pixel for pixel; the picture is kept
  // under `name` in the build folder.
  void ExpectShownAndKeep(const std::string& name) {
    EXPECT_EQ(shown_.width, 480);
    EXPECT_EQ(shown_.height, 800);
    EXPECT_TRUE(shown_.pixels == screen_) << "the window shows the screen pixel for pixel";
    std::ofstream(OutputPath(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(png_.data()), static_cast<std::streamsize>(png_.size()));
    EXPECT_FALSE(png_.empty());
  }

  HMODULE res_ = nullptr;
  ScriptFrame* frame_ = nullptr;
  XPicture shown_;
  std::vector<DWORD> screen_;
  std::vector<BYTE> png_;
};

}  // namespace qv::test
