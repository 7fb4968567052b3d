// A fixture for the desktop display: an X server of the tests' own (Xvfb on
// a free display number, started once per program), the display opened and
// installed on the test thread, and SDL events pushed as the desktop would
// send them. Where there is no Xvfb and no display at all the tests are
// skipped; where Xvfb is installed (make test) they always run.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/display/SdlDisplay.h"
#include "tests/platform/ui/UiTest.h"

namespace qv::test {

// Pixels read back from the X server, 0xRRGGBB each, top row first.
struct XPicture {
  int width = 0;
  int height = 0;
  std::vector<DWORD> pixels;
  DWORD At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

class DisplayTest : public UiTest {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Pushes an event for the display's window, as SDL's own would arrive.
  void Push(SDL_Event e) const;
  void Key(Uint32 type, SDL_Keycode key, bool repeat = false) const;
  void Button(Uint32 type, Uint8 button, int x, int y) const;
  void Motion(int x, int y) const;
  // The wheel turned `notches` (positive away from the user) with the mouse at (x, y).
  void Wheel(int notches, int x, int y) const;
  void Text(const char* utf8) const;
  void Editing(const char* utf8) const;
  // The long form SDL uses for compositions beyond its short event's 31 bytes.
  void EditingLong(const char* utf8) const;

  // A child of a full-screen window, focused, with the log cleared after.
  HWND FocusedChild();
  // What the X server shows in the display's window now.
  XPicture Grab() const;
  // The build folder's file of that name (people look at the pictures there).
  static std::string OutputPath(const std::string& name);

  std::shared_ptr<qv::display::SdlDisplay> display_;
};

}  // namespace qv::test
