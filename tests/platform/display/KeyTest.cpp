// The desktop's keys as the focused window receives them: each row pushes
// SDL key events (down, auto-repeat, up) and lists the messages that reach
// the focus, with the key's lParam (bit 30: it was down already; bit 31: up).
#include <algorithm>

#include "tests/platform/display/DisplayTest.h"

namespace {

using qv::test::DisplayTest;
namespace seq = qv::test::seq;
using Keys = DisplayTest;

constexpr LPARAM kFresh = 0x00000001;   // pressed now
constexpr LPARAM kRepeat = 0x40000001;  // pressed and held already
constexpr LPARAM kUp = static_cast<LPARAM>(0xC0000001u);

enum Step { Down, Repeat, Up };

struct KeyCase {
  const char* name;
  SDL_Keycode key;
  std::vector<Step> steps;
  std::vector<qv::seams::MsgEntry> expected;
};

constexpr unsigned kAll = seq::posted | seq::wparam | seq::lparam;

qv::seams::MsgEntry KeyDown(WPARAM vk, LPARAM bits) { return {WM_KEYDOWN, kAll, vk, bits}; }
qv::seams::MsgEntry KeyUp(WPARAM vk) { return {WM_KEYUP, kAll, vk, kUp}; }
qv::seams::MsgEntry Char(WPARAM c, LPARAM bits) { return {WM_CHAR, kAll, c, bits}; }

TEST_F(Keys, DesktopKeysReachTheFocusAsTheDeviceKeys) {
  const KeyCase cases[] = {
      {"up held", SDLK_UP, {Down, Repeat, Up}, {KeyDown(VK_UP, kFresh), KeyDown(VK_UP, kRepeat), KeyUp(VK_UP)}},
      {"down", SDLK_DOWN, {Down, Up}, {KeyDown(VK_DOWN, kFresh), KeyUp(VK_DOWN)}},
      {"left", SDLK_LEFT, {Down, Up}, {KeyDown(VK_LEFT, kFresh), KeyUp(VK_LEFT)}},
      {"right", SDLK_RIGHT, {Down, Up}, {KeyDown(VK_RIGHT, kFresh), KeyUp(VK_RIGHT)}},
      {"enter", SDLK_RETURN, {Down, Up}, {KeyDown(VK_RETURN, kFresh), Char(L'\r', kFresh), KeyUp(VK_RETURN)}},
      {"keypad enter", SDLK_KP_ENTER, {Down, Up},
       {KeyDown(VK_RETURN, kFresh), Char(L'\r', kFresh), KeyUp(VK_RETURN)}},
      {"soft key 1", SDLK_F1, {Down, Up}, {KeyDown(VK_F1, kFresh), KeyUp(VK_F1)}},
      {"soft key 2 held", SDLK_F2, {Down, Repeat, Up},
       {KeyDown(VK_F2, kFresh), KeyDown(VK_F2, kRepeat), KeyUp(VK_F2)}},
      // The Back key is held as the device's is: repeats carry bit 30.
      {"escape held", SDLK_ESCAPE, {Down, Repeat, Repeat, Up},
       {KeyDown(VK_BACK, kFresh), Char(8, kFresh), KeyDown(VK_BACK, kRepeat), Char(8, kRepeat),
        KeyDown(VK_BACK, kRepeat), Char(8, kRepeat), KeyUp(VK_BACK)}},
      // Backspace: every press and repeat a whole keystroke, never a held key.
      {"backspace held", SDLK_BACKSPACE, {Down, Repeat, Repeat, Up},
       {KeyDown(VK_BACK, kFresh), Char(8, kFresh), KeyUp(VK_BACK), KeyDown(VK_BACK, kFresh), Char(8, kFresh),
        KeyUp(VK_BACK), KeyDown(VK_BACK, kFresh), Char(8, kFresh), KeyUp(VK_BACK)}},
      // Letters and the rest come as text, never as keys.
      {"letter", SDLK_a, {Down, Repeat, Up}, {}},
      // The desktop's own keys, as Win32 gives them.
      {"tab", SDLK_TAB, {Down, Up}, {KeyDown(VK_TAB, kFresh), Char(L'\t', kFresh), KeyUp(VK_TAB)}},
      {"shift held", SDLK_LSHIFT, {Down, Repeat, Up},
       {KeyDown(VK_SHIFT, kFresh), KeyDown(VK_SHIFT, kRepeat), KeyUp(VK_SHIFT)}},
      {"right shift", SDLK_RSHIFT, {Down, Up}, {KeyDown(VK_SHIFT, kFresh), KeyUp(VK_SHIFT)}},
      {"ctrl", SDLK_LCTRL, {Down, Up}, {KeyDown(VK_CONTROL, kFresh), KeyUp(VK_CONTROL)}},
      {"right ctrl", SDLK_RCTRL, {Down, Up}, {KeyDown(VK_CONTROL, kFresh), KeyUp(VK_CONTROL)}},
      {"delete", SDLK_DELETE, {Down, Repeat, Up},
       {KeyDown(VK_DELETE, kFresh), KeyDown(VK_DELETE, kRepeat), KeyUp(VK_DELETE)}},
      {"home", SDLK_HOME, {Down, Up}, {KeyDown(VK_HOME, kFresh), KeyUp(VK_HOME)}},
      {"end", SDLK_END, {Down, Up}, {KeyDown(VK_END, kFresh), KeyUp(VK_END)}},
      {"page up", SDLK_PAGEUP, {Down, Up}, {KeyDown(VK_PRIOR, kFresh), KeyUp(VK_PRIOR)}},
      {"page down", SDLK_PAGEDOWN, {Down, Up}, {KeyDown(VK_NEXT, kFresh), KeyUp(VK_NEXT)}},
  };
  HWND focus = FocusedChild();
  for (const KeyCase& c : cases) {
    log_.Clear();
    for (Step s : c.steps) Key(s == Up ? SDL_KEYUP : SDL_KEYDOWN, c.key, s == Repeat);
    Pump();
    EXPECT_EQ(log_.Compare(focus, c.expected), "") << c.name;
    EXPECT_GE(GetAsyncKeyState(VK_BACK), 0) << c.name << ": a key was left down";
  }
}

TEST_F(Keys, ShiftTabAndModifiedTapsAndTheWheelReachTheirWindows) {
  HWND focus = FocusedChild();
  RECT r{};
  GetWindowRect(focus, &r);
  const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
  log_.Clear();
  Key(SDL_KEYDOWN, SDLK_LSHIFT);
  Key(SDL_KEYDOWN, SDLK_TAB);
  Key(SDL_KEYUP, SDLK_TAB);
  Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, x, y);
  Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, x, y);
  Key(SDL_KEYUP, SDLK_LSHIFT);
  Key(SDL_KEYDOWN, SDLK_LCTRL);
  Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, x, y);
  Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, x, y);
  Key(SDL_KEYUP, SDLK_LCTRL);
  Wheel(-2, x, y);
  Wheel(1, x, y);
  Pump();
  const LPARAM at = MAKELPARAM(x - r.left, y - r.top), screen = MAKELPARAM(x, y);
  // A window without a wheel handler hands the turn on to its parent.
  constexpr unsigned kUnhandled = seq::sent | seq::parent | seq::defwinproc | seq::wparam | seq::lparam;
  const WPARAM down = MAKEWPARAM(0, static_cast<WORD>(-2 * WHEEL_DELTA)), up = MAKEWPARAM(0, WHEEL_DELTA);
  EXPECT_EQ(log_.Compare(focus, {KeyDown(VK_SHIFT, kFresh), KeyDown(VK_TAB, kFresh), Char(L'\t', kFresh),
                                 KeyUp(VK_TAB),
                                 {WM_LBUTTONDOWN, kAll, MK_LBUTTON | MK_SHIFT, at},
                                 {WM_LBUTTONUP, kAll, MK_SHIFT, at},
                                 KeyUp(VK_SHIFT), KeyDown(VK_CONTROL, kFresh),
                                 {WM_LBUTTONDOWN, kAll, MK_LBUTTON | MK_CONTROL, at},
                                 {WM_LBUTTONUP, kAll, MK_CONTROL, at},
                                 KeyUp(VK_CONTROL),
                                 {WM_MOUSEWHEEL, kAll, down, screen},
                                 {WM_MOUSEWHEEL, kUnhandled, down, screen},
                                 {WM_MOUSEWHEEL, kAll, up, screen},
                                 {WM_MOUSEWHEEL, kUnhandled, up, screen}}),
            "");
  EXPECT_GE(GetAsyncKeyState(VK_SHIFT), 0);
  EXPECT_GE(GetAsyncKeyState(VK_CONTROL), 0);
}

TEST_F(Keys, TheRotateKeyTurnsTheScreenOncePerPress) {
  HWND top = Make(WS_POPUP | WS_VISIBLE);
  SetFocus(top);
  Pump();
  const struct {
    Step step;
    qv::ui::Orientation after;
  } steps[] = {{Down, qv::ui::Orientation::Landscape},
               {Repeat, qv::ui::Orientation::Landscape},
               {Up, qv::ui::Orientation::Landscape},
               {Down, qv::ui::Orientation::Portrait},
               {Up, qv::ui::Orientation::Portrait}};
  log_.Clear();
  for (const auto& s : steps) {
    Key(s.step == Up ? SDL_KEYUP : SDL_KEYDOWN, qv::display::kRotateKey, s.step == Repeat);
    Pump();
    EXPECT_EQ(qv::ui::CurrentProfile().orientation, s.after);
  }
  // The windows hear the turns, never the key.
  const std::vector<UINT> got = log_.MessagesOf(top);
  for (UINT m : got) {
    EXPECT_TRUE(m != WM_KEYDOWN && m != WM_KEYUP && m != WM_CHAR) << qv::seams::MessageName(m);
  }
  EXPECT_EQ(std::count(got.begin(), got.end(), WM_SETTINGCHANGE), 2);
}

}  // namespace
