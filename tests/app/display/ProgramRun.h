// Driving the real program in the tests' X server: starting it on a device
// root, waiting for it, reading its window back from the X server, and the
// X server's own pointer and key input (XTEST) as a person gives it.
// Include it after every other header: Xlib's macros come last.
#pragma once

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/imaging/Imaging.h"
#include "platform/ui/window/Window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

extern char** environ;

namespace qv::test {

// Bytes as base64, for a mail's parts.
inline std::string Base64(const std::string& bytes) {
  static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = static_cast<uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 2]);
    out += kDigits[(n >> 18) & 63];
    out += kDigits[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
  }
  return out;
}

// A program of the build folder, e.g. "/app/QvMail" or "/setup/QvMailInstall".
inline std::string BuiltProgram(const std::string& relative = "/app/QvMail") {
  const char* dir = std::getenv("QV_BINARY_DIR");
  return std::string(dir && *dir ? dir : ".") + relative;
}

// Starts the program with these arguments under the device root `root`; its
// debug log goes to `log`. `env` adds "NAME=value" to the test's environment
// (replacing the test's own NAME) or, as a bare "NAME", takes NAME away; with
// `errors` the program's stderr goes to that file.
inline pid_t StartProgram(const std::string& root, const std::string& log, const std::vector<std::string>& args = {},
                          const std::vector<std::string>& env = {}, const std::string& errors = "") {
  std::vector<std::string> all = {"QVMAIL_DEVICE_ROOT=" + root, "QVMAIL_DEBUG=" + log};
  for (const std::string& v : env) {
    if (v.find('=') != std::string::npos) all.push_back(v);
  }
  const auto named = [&](const std::string& s) {
    const std::string name = s.substr(0, s.find('='));
    if (name == "QVMAIL_DEVICE_ROOT" || name == "QVMAIL_DEBUG") return true;
    return std::any_of(env.begin(), env.end(), [&](const std::string& v) { return v.substr(0, v.find('=')) == name; });
  };
  for (char** e = environ; *e; ++e) {
    if (!named(*e)) all.push_back(*e);
  }
  std::vector<std::string> argv = {BuiltProgram()};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> a, e;
  for (std::string& s : argv) a.push_back(s.data());
  a.push_back(nullptr);
  for (std::string& s : all) e.push_back(s.data());
  e.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!errors.empty()) posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  EXPECT_EQ(posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, a.data(), e.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Polls until `done` holds (real time: another process works meanwhile).
inline bool Within(std::chrono::milliseconds limit, const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return done();
}

// A window of that title (and class, when given) other than `other`, once
// it is there; null after 20 s.
inline HWND AwaitWindow(const wchar_t* title, HWND other = nullptr, const wchar_t* cls = nullptr) {
  HWND found = nullptr;
  Within(std::chrono::seconds(20), [&] { return (found = FindWindowW(cls, title)) != nullptr && found != other; });
  return found != other ? found : nullptr;
}

// The exit code once the process ended within the limit; -1 otherwise.
inline int WaitEnd(pid_t pid, std::chrono::milliseconds limit) {
  int status = 0;
  if (!Within(limit, [&] { return waitpid(pid, &status, WNOHANG) == pid; })) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Ends a process that is still there.
inline void KillProgram(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The end of a long log, for a failure message.
inline std::string Tail(const std::string& text) {
  return text.size() > 4000 ? text.substr(text.size() - 4000) : text;
}

// The X window of a process, by the _NET_WM_PID SDL gives its window.
inline Window WindowOfProcess(Display* d, pid_t pid) {
  const Atom pidAtom = XInternAtom(d, "_NET_WM_PID", True);
  if (pidAtom == 0) return 0;
  Window root = DefaultRootWindow(d), parent = 0, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (!XQueryTree(d, root, &root, &parent, &children, &count)) return 0;
  for (unsigned i = 0; i < count && !found; ++i) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                           &data) == Success &&
        data && items == 1 && static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data)) == pid) {
      found = children[i];
    }
    if (data) XFree(data);
  }
  if (children) XFree(children);
  return found;
}

struct Shot {
  int width = 0, height = 0;
  std::vector<DWORD> pixels;  // 0xRRGGBB
  DWORD At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// What a window shows, raised over the tests' own.
inline Shot GrabWindow(Display* d, Window w) {
  Shot shot;
  if (!w) return shot;
  XRaiseWindow(d, w);
  XSync(d, False);
  XWindowAttributes a{};
  XGetWindowAttributes(d, w, &a);
  if (XImage* image = a.width > 0 ? XGetImage(d, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap) : nullptr) {
    shot.width = a.width;
    shot.height = a.height;
    for (int y = 0; y < a.height; ++y) {
      for (int x = 0; x < a.width; ++x) shot.pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
    }
    XDestroyImage(image);
  }
  return shot;
}

// What the program's window shows.
inline Shot Grab(pid_t pid) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return {};
  Shot shot = GrabWindow(d, WindowOfProcess(d, pid));
  XCloseDisplay(d);
  return shot;
}

// The same picture twice, 100 ms apart: the program has finished painting.
// With `before`, the picture must first have changed from it.
inline Shot Settled(pid_t pid, const Shot* before = nullptr) {
  if (before) Within(std::chrono::seconds(20), [&] { return Grab(pid).pixels != before->pixels; });
  Shot last;
  Within(std::chrono::seconds(20), [&] {
    Shot now = Grab(pid);
    const bool same = now.width > 0 && now.pixels == last.pixels;
    last = std::move(now);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return same;
  });
  return last;
}

// The picture as a PNG at `path`.
inline void Keep(const Shot& shot, const std::string& path) {
  std::vector<DWORD> pixels = shot.pixels;
  BitmapData data{static_cast<UINT>(shot.width), static_cast<UINT>(shot.height), shot.width * 4, PixelFormat32bppRGB,
                  pixels.data(), 0};
  std::vector<BYTE> png;
  qv::EncodePng(data, &png);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
}

// How many pixels of a band of rows differ between two pictures.
// The program's window once it has settled (changed from `before`, when
// given), kept at `path`.
inline Shot KeepSettled(pid_t pid, const std::string& path, const Shot* before = nullptr) {
  Shot shot = Settled(pid, before);
  Keep(shot, path);
  return shot;
}

inline int Differing(const Shot& a, const Shot& b, int top, int bottom) {
  int n = 0;
  for (int y = top; y < bottom && y < a.height && y < b.height; ++y) {
    for (int x = 0; x < a.width && x < b.width; ++x) n += a.At(x, y) != b.At(x, y);
  }
  return n;
}

// Pixels of a band of rows [top, bottom) that are not white.
inline int Inked(const Shot& shot, int top, int bottom) {
  int n = 0;
  for (int y = std::max(top, 0); y < bottom && y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) n += shot.At(x, y) != 0xFFFFFF;
  }
  return n;
}

// The X server's own input, as from a pointer and a keyboard (XTEST): the
// events come as the devices', not as sent ones. The library is loaded where
// it is installed.
class XInput {
 public:
  XInput() {
    lib_ = dlopen("libXtst.so.6", RTLD_NOW);
    if (lib_) {
      motion_ = reinterpret_cast<Motion>(dlsym(lib_, "XTestFakeMotionEvent"));
      button_ = reinterpret_cast<Button>(dlsym(lib_, "XTestFakeButtonEvent"));
      key_ = reinterpret_cast<KeyFn>(dlsym(lib_, "XTestFakeKeyEvent"));
    }
    display_ = XOpenDisplay(nullptr);
    // A window that went between finding it and using it is no reason to end the test program.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }
  ~XInput() {
    if (display_) XCloseDisplay(display_);
    // The library stays loaded: the display's extension hooks live in it.
  }
  XInput(const XInput&) = delete;
  XInput& operator=(const XInput&) = delete;

  bool Ready() const { return display_ && motion_ && button_ && key_; }
  Display* display() const { return display_; }

  // A tap at a point of a window.
  void Tap(Window w, int x, int y) {
    if (!Ready() || !w) return;
    // Over the tests' own window, if one is up: the tap lands on the program.
    XRaiseWindow(display_, w);
    XSync(display_, False);
    int sx = 0, sy = 0;
    Window child = 0;
    XTranslateCoordinates(display_, w, DefaultRootWindow(display_), x, y, &sx, &sy, &child);
    motion_(display_, DefaultScreen(display_), sx, sy, 0);
    button_(display_, 1, True, 0);
    button_(display_, 1, False, 30);
    XSync(display_, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  }
  // A stroke with the button held: pressed at the first point, moved
  // through the others, let go at the last.
  void Drag(Window w, const std::vector<std::pair<int, int>>& points) {
    if (!Ready() || !w || points.empty()) return;
    XRaiseWindow(display_, w);
    XSync(display_, False);
    for (size_t i = 0; i < points.size(); ++i) {
      int sx = 0, sy = 0;
      Window child = 0;
      XTranslateCoordinates(display_, w, DefaultRootWindow(display_), points[i].first, points[i].second, &sx, &sy,
                            &child);
      motion_(display_, DefaultScreen(display_), sx, sy, 0);
      if (i == 0) button_(display_, 1, True, 0);
      XSync(display_, False);
      std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    button_(display_, 1, False, 0);
    XSync(display_, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  }
  void Key(KeySym sym, bool shift = false) {
    if (!Ready()) return;
    const KeyCode code = XKeysymToKeycode(display_, sym);
    const KeyCode shiftCode = XKeysymToKeycode(display_, XK_Shift_L);
    if (shift) key_(display_, shiftCode, True, 0);
    key_(display_, code, True, 0);
    key_(display_, code, False, 10);
    if (shift) key_(display_, shiftCode, False, 0);
    XSync(display_, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
  }
  void Type(const std::string& text) {
    for (char c : text) {
      const KeySym sym = c == '@' ? XK_at : c == '.' ? XK_period : c == '-' ? XK_minus : static_cast<KeySym>(c);
      // Shifted when the key's plain symbol is another one.
      Key(sym, PlainSymbol(XKeysymToKeycode(display_, sym)) != sym);
    }
  }

 private:
  KeySym PlainSymbol(KeyCode code) {
    int per = 0;
    KeySym* syms = XGetKeyboardMapping(display_, code, 1, &per);
    const KeySym plain = syms && per > 0 ? syms[0] : NoSymbol;
    if (syms) XFree(syms);
    return plain;
  }
  using Motion = int (*)(Display*, int, int, int, unsigned long);
  using Button = int (*)(Display*, unsigned, Bool, unsigned long);
  using KeyFn = int (*)(Display*, unsigned, Bool, unsigned long);
  void* lib_ = nullptr;
  Motion motion_ = nullptr;
  Button button_ = nullptr;
  KeyFn key_ = nullptr;
  Display* display_ = nullptr;
};

// A tap on the program's window at (x, y).
inline void Tap(pid_t pid, int x, int y) {
  XInput input;
  EXPECT_TRUE(input.Ready()) << "libXtst.so.6";
  input.Tap(WindowOfProcess(input.display(), pid), x, y);
}

// The desktop's close button on the program's window: the window manager's
// WM_DELETE_WINDOW, as a click on it sends.
inline void CloseFromDesktop(pid_t pid) {
  Display* d = XOpenDisplay(nullptr);
  ASSERT_NE(d, nullptr);
  const Window w = WindowOfProcess(d, pid);
  EXPECT_NE(w, 0u);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  if (w) XSendEvent(d, w, False, NoEventMask, &e);
  XSync(d, False);
  XCloseDisplay(d);
}

}  // namespace qv::test
