// Inside the window system: the procedures of the basic controls ("Button",
// "Static", "ScrollBar", "Edit", "RICHEDIT50W", "ListBox", "ComboBox") and
// the bytes each keeps with a window; the common controls keep theirs too.
// ControlRegistration.cpp registers them.
#pragma once

#include <functional>
#include <optional>

#include "platform/ui/window/WindowTable.h"

namespace qv::ui {

LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ScrollBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT RichEditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

LRESULT ListBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);  // also "ComboLBox"
LRESULT ComboBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// A combo box's list to its combo box: the stylus let go of a line (wParam
// TRUE) or tapped beyond the list (FALSE).
constexpr UINT kComboListEnded = 0x016Fu;

// Window extra bytes of the controls: two LONG_PTR slots.
constexpr int kControlExtra = 2 * static_cast<int>(sizeof(LONG_PTR));
constexpr int kStateSlot = 0;  // button: BST_ bits; static: the image; edits, lists, combo boxes, trees: their state
constexpr int kFontSlot = static_cast<int>(sizeof(LONG_PTR));

// The font a control draws with (WM_SETFONT); null for the DC's own.
inline HFONT ControlFont(HWND hwnd) { return reinterpret_cast<HFONT>(GetWindowLongW(hwnd, kFontSlot)); }
// The height of a line of `font` (null: the DC's own font) on the window's DC.
int FontLineHeight(HWND hwnd, HFONT font);

// A control's WM_COMMAND notification: its id and `code` in wParam, the
// control in lParam, sent to `to` (its parent; a combo box's list tells its
// combo box).
LRESULT SendCommandNotify(HWND to, HWND control, WORD code);
// The same to the control's parent, when it has one.
void NotifyParent(HWND control, WORD code);

// What the controls do alike: keep their font, redraw when their text
// changes, paint through `paint` (which covers the whole client, so nothing
// is erased first). Empty for any other message.
std::optional<LRESULT> ControlBasics(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, void (*paint)(HWND, HDC));

// The state object a list, combo box or tree keeps in its first slot: made
// on WM_CREATE and set up by `setUp` (false fails the creation), freed on
// WM_NCDESTROY. Empty for any other message.
template <class State>
State* StateObject(HWND hwnd) {
  return reinterpret_cast<State*>(GetWindowLongW(hwnd, kStateSlot));
}
template <class State, class SetUp>
std::optional<LRESULT> StateLifetime(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, SetUp setUp) {
  if (message == WM_CREATE) {
    auto* s = new State;
    SetWindowLongW(hwnd, kStateSlot, reinterpret_cast<LONG_PTR>(s));
    return setUp(*s, reinterpret_cast<const CREATESTRUCTW*>(lParam)) ? 0 : -1;
  }
  if (message == WM_NCDESTROY) {
    delete StateObject<State>(hwnd);
    SetWindowLongW(hwnd, kStateSlot, 0);
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  return std::nullopt;
}

// What list boxes and trees do alike beyond ControlBasics: arrows and
// characters are theirs, and a new font or size lays them out again
// (`relayOut`). Empty for any other message.
std::optional<LRESULT> ListBasics(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, void (*paint)(HWND, HDC),
                                  const std::function<void()>& relayOut);

// DefWindowProcW's part in scroll bars: taps and drags on a window's own
// bars, and the wheel. True when the message was theirs.
bool WindowScrollBarInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WheelDefault(HWND hwnd, WPARAM wParam, LPARAM lParam);

}  // namespace qv::ui
