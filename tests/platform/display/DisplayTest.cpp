#include "tests/platform/display/DisplayTest.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ui/queue/EventSource.h"
#include "tests/support/PeerTools.h"

// Xlib's macros (None, Bool, Status...) come last, after every other header.
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace qv::test {
namespace {

struct XServer {
  int pid = -1;
  bool ours = false;    // Xvfb runs for this program
  std::string failure;  // Xvfb is there but would not start
  // One display for the whole program, as the program has: SDL loads and
  // unloads its X and D-Bus libraries with every session otherwise.
  std::shared_ptr<qv::display::SdlDisplay> display;
  bool tried = false;
};

XServer& Server() {
  static XServer* s = new XServer;  // never destroyed: SDL stays up to the end
  return *s;
}

bool Answers(const std::string& name) {
  Display* d = XOpenDisplay(name.c_str());
  if (!d) return false;
  XCloseDisplay(d);
  return true;
}

// Display numbers whose lock file is free; the server itself refuses a taken
// one, and then the next is tried.
bool StartXvfb(XServer* s) {
  const std::string log = MakeTempFolder("qvxvfb") + "/xvfb.log";
  int number = 100 + static_cast<int>(::getpid() % 400);
  for (int tries = 0; tries < 10; ++number) {
    struct stat st {};
    if (::stat(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), &st) == 0) continue;
    ++tries;
    const std::string name = ":" + std::to_string(number);
    const int pid = StartPeerProcess({"Xvfb", name, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, log);
    if (pid > 0 && WaitForPeer(pid, std::chrono::seconds(20), [&] { return Answers(name); })) {
      s->pid = pid;
      s->failure.clear();
      std::atexit([] { StopPeerProcess(Server().pid); });
      ::setenv("DISPLAY", name.c_str(), 1);
      ::setenv("SDL_VIDEODRIVER", "x11", 1);
      return true;
    }
    StopPeerProcess(pid);
    s->failure = "Xvfb " + name + " did not start: " + ReadWholeFile(log);
  }
  return false;
}

}  // namespace

void DisplayTest::SetUpTestSuite() {
  XServer& s = Server();
  if (s.ours || !s.failure.empty()) return;
  if (::access("/usr/bin/Xvfb", X_OK) == 0) s.ours = StartXvfb(&s);
}

void DisplayTest::SetUp() {
  UiTest::SetUp();
  ASSERT_EQ(Server().failure, "");
  // Opened on a thread of its own, as the program opens it, and then used
  // by the test thread alone.
  if (!Server().tried) Server().display = qv::display::SdlDisplay::OpenAside().get();
  Server().tried = true;
  display_ = Server().display;
  if (!display_) {
    ASSERT_FALSE(Server().ours) << "SDL did not open the tests' own X server: " << SDL_GetError();
    std::fprintf(stderr, "display tests skipped: no display (%s)\n", SDL_GetError());
    GTEST_SKIP() << "no display";
  }
  qv::ui::SetEventSource(display_);
}

void DisplayTest::TearDown() {
  qv::ui::SetEventSource(nullptr);
  display_.reset();
  UiTest::TearDown();
}

void DisplayTest::Push(SDL_Event e) const {
  e.common.timestamp = SDL_GetTicks();
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: e.key.windowID = display_->WindowId(); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: e.button.windowID = display_->WindowId(); break;
    case SDL_MOUSEMOTION: e.motion.windowID = display_->WindowId(); break;
    case SDL_TEXTINPUT: e.text.windowID = display_->WindowId(); break;
    case SDL_TEXTEDITING: e.edit.windowID = display_->WindowId(); break;
    case SDL_TEXTEDITING_EXT: e.editExt.windowID = display_->WindowId(); break;
    default: break;
  }
  ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

void DisplayTest::Key(Uint32 type, SDL_Keycode key, bool repeat) const {
  SDL_Event e{};
  e.type = type;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.repeat = repeat ? 1 : 0;
  e.key.keysym.sym = key;
  e.key.keysym.scancode = SDL_GetScancodeFromKey(key);
  Push(e);
}

void DisplayTest::Button(Uint32 type, Uint8 button, int x, int y) const {
  SDL_Event e{};
  e.type = type;
  e.button.button = button;
  e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.button.clicks = 1;
  e.button.x = x;
  e.button.y = y;
  Push(e);
}

void DisplayTest::Motion(int x, int y) const {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.x = x;
  e.motion.y = y;
  Push(e);
}

void DisplayTest::Wheel(int notches, int x, int y) const {
  SDL_Event e{};
  e.type = SDL_MOUSEWHEEL;
  e.wheel.y = notches;
  e.wheel.preciseY = static_cast<float>(notches);
  e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
  e.wheel.mouseX = x;
  e.wheel.mouseY = y;
  Push(e);
}

void DisplayTest::Text(const char* utf8) const {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  std::snprintf(e.text.text, sizeof e.text.text, "%s", utf8);
  Push(e);
}

void DisplayTest::Editing(const char* utf8) const {
  SDL_Event e{};
  e.type = SDL_TEXTEDITING;
  std::snprintf(e.edit.text, sizeof e.edit.text, "%s", utf8);
  e.edit.start = static_cast<Sint32>(std::strlen(utf8));
  Push(e);
}

HWND DisplayTest::FocusedChild() {
  HWND top = Make(WS_POPUP | WS_VISIBLE);
  HWND child = Make(WS_CHILD | WS_VISIBLE, top, {0, 0, 100, 40}, 1);
  SetFocus(child);
  Pump();
  log_.Clear();
  return child;
}

void DisplayTest::EditingLong(const char* utf8) const {
  SDL_Event e{};
  e.type = SDL_TEXTEDITING_EXT;
  e.editExt.text = SDL_strdup(utf8);  // the display frees it, as SDL's own
  e.editExt.start = static_cast<Sint32>(std::strlen(utf8));
  Push(e);
}

XPicture DisplayTest::Grab() const {
  XPicture out;
  SDL_Window* window = SDL_GetWindowFromID(display_->WindowId());
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
    ADD_FAILURE() << "not an X11 window: " << SDL_GetError();
    return out;
  }
  SDL_GetWindowSize(window, &out.width, &out.height);
  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    ADD_FAILURE() << "the X server does not answer";
    return out;
  }
  XSync(d, False);
  XImage* image = XGetImage(d, info.info.x11.window, 0, 0, static_cast<unsigned>(out.width),
                            static_cast<unsigned>(out.height), AllPlanes, ZPixmap);
  if (image) {
    out.pixels.resize(static_cast<size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y) {
      for (int x = 0; x < out.width; ++x) {
        const unsigned long p = XGetPixel(image, x, y);
        auto channel = [p](unsigned long mask) {
          const int shift = __builtin_ctzl(mask);
          return static_cast<DWORD>((p & mask) >> shift) & 0xFFu;
        };
        out.pixels[static_cast<size_t>(y) * out.width + x] =
            channel(image->red_mask) << 16 | channel(image->green_mask) << 8 | channel(image->blue_mask);
      }
    }
    XDestroyImage(image);
  } else {
    ADD_FAILURE() << "XGetImage failed";
  }
  XCloseDisplay(d);
  return out;
}

std::string DisplayTest::OutputPath(const std::string& name) {
  const char* dir = std::getenv("QV_BINARY_DIR");
  return std::string(dir && *dir ? dir : ".") + "/" + name;
}

}  // namespace qv::test
