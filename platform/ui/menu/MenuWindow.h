// Inside the window system: an open menu's window (class "MNU") and where
// its items lie. The tracker (MenuTracker.cpp) owns the state; the window
// only paints it.
#pragma once

#include <vector>

#include "platform/ui/menu/MenuStore.h"

namespace qv::ui {

constexpr const wchar_t* kMenuClass = L"MNU";

LRESULT MenuWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The size of a popup's window and its items' rectangles in its client,
// measured with the menu font; no taller than the screen.
struct MenuLayout {
  SIZE size{};
  std::vector<RECT> items;
};
MenuLayout LayOutMenu(HMENU menu);

// Where a popup of `size` goes for a point and TPM_ alignment, kept on the
// screen and off `exclude` when given.
RECT PlacePopup(SIZE size, POINT at, UINT flags, const RECT* exclude);
// A cascade beside its parent's item (screen rectangles), to the right when it fits.
RECT PlaceCascade(SIZE size, const RECT& parent, const RECT& item);

// The selected item of the popup shown in `hwnd`, -1 for none (the tracker's).
int SelectedItemOf(HWND hwnd, HMENU* menu);

// WM_CANCELMODE reaching `hwnd`: closes the thread's menu when `hwnd`
// owns it or shows it.
void CancelMenuFor(HWND hwnd);

}  // namespace qv::ui
