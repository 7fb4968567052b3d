// The desktop's keyboard and mouse as the device's keys and stylus, and
// SDL's text input as the device's input method.
//
//   SDL                          what the focus (or the stylus's window) gets
//   arrows, Enter, F1, F2        the device keys: VK_UP.., VK_RETURN, the soft
//                                keys VK_F1 and VK_F2; auto-repeats come as
//                                further WM_KEYDOWNs of the held key
//   Escape                       the device's Back key, VK_BACK, held as a key is
//   Backspace                    VK_BACK as a whole keystroke (down and up) for
//                                each press and each auto-repeat, so that a held
//                                Backspace deletes one character at a time and
//                                never reads as a held Back key
//   Shift, Ctrl, Tab, Delete,    the desktop's keys as Win32 gives them: VK_SHIFT,
//   Home, End, PageUp, PageDown  VK_CONTROL (held with a tap: MK_SHIFT, MK_CONTROL),
//                                VK_TAB (with its WM_CHAR), VK_DELETE, VK_HOME,
//                                VK_END, VK_PRIOR, VK_NEXT
//   wheel                        WM_MOUSEWHEEL over the point the mouse is at
//   kRotateKey                   turns the screen; the windows hear only the turn
//   left button                  the stylus: WM_LBUTTONDOWN, WM_MOUSEMOVE while
//                                down, WM_LBUTTONUP; kept still for kHoldMilliseconds
//                                on the UI clock it becomes tap-and-hold
//   right button                 tap-and-hold at once
//   text input                   one WM_CHAR per character
//   composition                  WM_IME_STARTCOMPOSITION, WM_IME_COMPOSITION for each
//                                change, and at the end either the result (its
//                                WM_IME_COMPOSITION, its WM_CHARs) or the cancel
//                                (an empty WM_IME_COMPOSITION), then
//                                WM_IME_ENDCOMPOSITION; the text rides along into
//                                the thread's input context (ImmGetCompositionStringW),
//                                and the candidate list goes where the focus puts it
//
// Tap-and-hold is a WM_CONTEXTMENU to the window the stylus is on (wParam
// its handle, lParam the screen point), between the WM_LBUTTONDOWN and the
// WM_LBUTTONUP that the stylus still gives; none when the window tracks the
// press with SHRecognizeGesture, which then gives the press its only hold
// (qv::ui::ClaimStylusHold).
#pragma once

#include <SDL2/SDL.h>

#include "platform/display/SdlLibrary.h"
#include "platform/ui/WinUser.h"

namespace qv::display {

inline constexpr DWORD kHoldMilliseconds = 500;
inline constexpr SDL_Keycode kRotateKey = SDLK_F9;

// The composition's flags on WM_IME_COMPOSITION (lParam), as the input method's.
inline constexpr LPARAM kCompositionString = 0x0008;  // GCS_COMPSTR
inline constexpr LPARAM kCursorPosition = 0x0080;     // GCS_CURSORPOS
inline constexpr LPARAM kResultString = 0x0800;       // GCS_RESULTSTR

class DeviceInput {
 public:
  explicit DeviceInput(const SdlLibrary* sdl) : sdl_(sdl) {}
  // Turns one SDL event into the device's input; other events are left alone.
  void Handle(const SDL_Event& event);
  // Delivers the tap-and-hold of a stylus that has stayed put long enough.
  void DeliverDueHold();
  // UI-clock milliseconds until a pending tap-and-hold is due; INFINITE when none.
  DWORD UntilHold() const;
  // Moves the candidate list to where the focus asked for it (at its caret).
  void PlaceCandidates();
  // The screen rectangle last given to SDL for it.
  RECT Candidates() const { return candidates_; }

 private:
  void Key(const SDL_KeyboardEvent& key);
  void Wheel(const SDL_MouseWheelEvent& wheel);
  void Text(const char* utf8);
  void Editing(const char* utf8);
  void Press(const SDL_MouseButtonEvent& button);
  void Release(const SDL_MouseButtonEvent& button);
  void Move(const SDL_MouseMotionEvent& motion);
  void Hold();

  struct Stylus {
    Uint8 button = 0;      // the SDL button holding it down; 0 while up
    POINT at{};            // where it went down (screen)
    DWORD since = 0;       // when, on the UI clock
    bool settled = false;  // tap-and-hold given, or ruled out by a move
  };
  const SdlLibrary* sdl_;
  Stylus stylus_;
  bool composing_ = false;
  RECT candidates_{};
};

}  // namespace qv::display
