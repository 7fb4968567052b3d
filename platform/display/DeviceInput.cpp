#include "platform/display/DeviceInput.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/base/WideText.h"
#include "platform/gdi/Gdi.h"
#include "platform/ui/queue/UiSeam.h"

namespace qv::display {
namespace {

enum class KeyKind {
  Held,    // down, repeated downs, up: as the device's own keys
  Stroke,  // a whole keystroke for every press and repeat; the release is spent
  Rotate,  // the display's own key
};

struct KeyBinding {
  SDL_Keycode key;
  BYTE vk;
  KeyKind kind;
};

constexpr KeyBinding kKeys[] = {
    {SDLK_UP, VK_UP, KeyKind::Held},
    {SDLK_DOWN, VK_DOWN, KeyKind::Held},
    {SDLK_LEFT, VK_LEFT, KeyKind::Held},
    {SDLK_RIGHT, VK_RIGHT, KeyKind::Held},
    {SDLK_RETURN, VK_RETURN, KeyKind::Held},
    {SDLK_KP_ENTER, VK_RETURN, KeyKind::Held},
    {SDLK_F1, VK_F1, KeyKind::Held},
    {SDLK_F2, VK_F2, KeyKind::Held},
    // The device's help key (the desktop's Help key, or F3 beside the soft keys).
    {SDLK_HELP, VK_HELP, KeyKind::Held},
    {SDLK_F3, VK_HELP, KeyKind::Held},
    {SDLK_ESCAPE, VK_BACK, KeyKind::Held},
    {SDLK_BACKSPACE, VK_BACK, KeyKind::Stroke},
    // The desktop's own keys, as Win32 gives them.
    {SDLK_LSHIFT, VK_SHIFT, KeyKind::Held},
    {SDLK_RSHIFT, VK_SHIFT, KeyKind::Held},
    {SDLK_LCTRL, VK_CONTROL, KeyKind::Held},
    {SDLK_RCTRL, VK_CONTROL, KeyKind::Held},
    {SDLK_TAB, VK_TAB, KeyKind::Held},
    {SDLK_DELETE, VK_DELETE, KeyKind::Held},
    {SDLK_HOME, VK_HOME, KeyKind::Held},
    {SDLK_END, VK_END, KeyKind::Held},
    {SDLK_PAGEUP, VK_PRIOR, KeyKind::Held},
    {SDLK_PAGEDOWN, VK_NEXT, KeyKind::Held},
    {kRotateKey, 0, KeyKind::Rotate},
};

void KeyEvent(BYTE vk, bool down) { keybd_event(vk, 0, down ? 0 : KEYEVENTF_KEYUP, 0); }

// SDL's window coordinates are the screen's (the renderer's logical size is
// the screen's size); a drag off the window stays on the screen's edge.
POINT ScreenPoint(int x, int y) {
  const ui::DeviceProfile p = ui::CurrentProfile();
  return POINT{std::clamp(x, 0, p.width - 1), std::clamp(y, 0, p.height - 1)};
}

void StylusEvent(DWORD flags, POINT at) {
  mouse_event(flags | MOUSEEVENTF_ABSOLUTE, static_cast<DWORD>(at.x), static_cast<DWORD>(at.y), 0, 0);
}

}  // namespace

void DeviceInput::Handle(const SDL_Event& event) {
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: Key(event.key); break;
    case SDL_TEXTINPUT: Text(event.text.text); break;
    case SDL_TEXTEDITING: Editing(event.edit.text); break;
    case SDL_TEXTEDITING_EXT: Editing(event.editExt.text); break;
    case SDL_MOUSEBUTTONDOWN: Press(event.button); break;
    case SDL_MOUSEBUTTONUP: Release(event.button); break;
    case SDL_MOUSEMOTION: Move(event.motion); break;
    case SDL_MOUSEWHEEL: Wheel(event.wheel); break;
    default: break;
  }
}

void DeviceInput::Key(const SDL_KeyboardEvent& key) {
  const auto* b = std::find_if(std::begin(kKeys), std::end(kKeys),
                               [&](const KeyBinding& k) { return k.key == key.keysym.sym; });
  if (b == std::end(kKeys)) return;  // letters and the rest arrive as text
  const bool down = key.type == SDL_KEYDOWN;
  switch (b->kind) {
    case KeyKind::Held:
      KeyEvent(b->vk, down);
      break;
    case KeyKind::Stroke:
      if (down) {
        KeyEvent(b->vk, true);
        KeyEvent(b->vk, false);
      }
      break;
    case KeyKind::Rotate:
      if (down && !key.repeat) {
        const bool portrait = ui::CurrentProfile().orientation == ui::Orientation::Portrait;
        ui::SetOrientation(portrait ? ui::Orientation::Landscape : ui::Orientation::Portrait);
      }
      break;
  }
}

void DeviceInput::Text(const char* utf8) {
  const std::wstring text = Utf8ToWide(utf8);
  if (composing_) ui::InjectInputMessage(WM_IME_COMPOSITION, text.empty() ? 0 : text.back(), kResultString, text);
  for (wchar_t c : text) ui::InjectInputMessage(WM_CHAR, static_cast<WPARAM>(c), 1);
  if (composing_) {
    ui::InjectInputMessage(WM_IME_ENDCOMPOSITION, 0, 0);
    composing_ = false;
  }
}

// The text being composed so far; empty once the composition is dropped
// (after a result, SDL empties it too: nothing is left to end then).
void DeviceInput::Editing(const char* utf8) {
  const std::wstring text = Utf8ToWide(utf8 ? utf8 : "");
  if (text.empty()) {
    if (!composing_) return;
    ui::InjectInputMessage(WM_IME_COMPOSITION, 0, kCompositionString);
    ui::InjectInputMessage(WM_IME_ENDCOMPOSITION, 0, 0);
    composing_ = false;
    return;
  }
  if (!composing_) ui::InjectInputMessage(WM_IME_STARTCOMPOSITION, 0, 0);
  composing_ = true;
  ui::InjectInputMessage(WM_IME_COMPOSITION, static_cast<WPARAM>(text.back()), kCompositionString | kCursorPosition,
                         text);
}

// SDL shows the desktop's candidate list beside the rectangle it is given.
void DeviceInput::PlaceCandidates() {
  RECT r{};
  if (!ui::CandidateScreenRect(&r) || EqualRect(&r, &candidates_)) return;
  candidates_ = r;
  SDL_Rect area{r.left, r.top, std::max<int>(1, r.right - r.left), std::max<int>(1, r.bottom - r.top)};
  sdl_->SetTextInputRect(&area);
}

void DeviceInput::Press(const SDL_MouseButtonEvent& button) {
  if (stylus_.button || (button.button != SDL_BUTTON_LEFT && button.button != SDL_BUTTON_RIGHT)) return;
  stylus_ = Stylus{button.button, ScreenPoint(button.x, button.y), ui_seam::ClockNow(), false};
  StylusEvent(MOUSEEVENTF_LEFTDOWN, stylus_.at);
  if (button.button == SDL_BUTTON_RIGHT) Hold();
}

void DeviceInput::Release(const SDL_MouseButtonEvent& button) {
  if (button.button != stylus_.button) return;
  StylusEvent(MOUSEEVENTF_LEFTUP, ScreenPoint(button.x, button.y));
  stylus_ = Stylus{};
}

// The stylus never hovers: movement counts only while it is down. Moving
// beyond the drag box rules a hold out; within it is the hand's tremor.
void DeviceInput::Move(const SDL_MouseMotionEvent& motion) {
  if (!stylus_.button) return;
  const POINT at = ScreenPoint(motion.x, motion.y);
  StylusEvent(MOUSEEVENTF_MOVE, at);
  if (std::abs(at.x - stylus_.at.x) > GetSystemMetrics(SM_CXDRAG) / 2 ||
      std::abs(at.y - stylus_.at.y) > GetSystemMetrics(SM_CYDRAG) / 2) {
    stylus_.settled = true;
  }
}

// The wheel turns over the point the mouse is at, WHEEL_DELTA a notch,
// positive away from the user, as WM_MOUSEWHEEL has it.
void DeviceInput::Wheel(const SDL_MouseWheelEvent& wheel) {
  int notches = wheel.y;
  if (wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
  if (notches == 0) return;
  const POINT at = ScreenPoint(wheel.mouseX, wheel.mouseY);
  mouse_event(MOUSEEVENTF_WHEEL | MOUSEEVENTF_ABSOLUTE, static_cast<DWORD>(at.x), static_cast<DWORD>(at.y),
              static_cast<DWORD>(notches * WHEEL_DELTA), 0);
}

void DeviceInput::Hold() {
  stylus_.settled = true;
  ui::InjectInputMessage(WM_CONTEXTMENU, 0, MAKELPARAM(stylus_.at.x, stylus_.at.y));
}

void DeviceInput::DeliverDueHold() {
  if (UntilHold() == 0) Hold();
}

DWORD DeviceInput::UntilHold() const {
  if (!stylus_.button || stylus_.settled) return INFINITE;
  const DWORD held = ui_seam::ClockNow() - stylus_.since;
  return held >= kHoldMilliseconds ? 0 : kHoldMilliseconds - held;
}

}  // namespace qv::display
