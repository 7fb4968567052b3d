// Inside the window system: the menus behind the HMENU handles. Handles are
// numbers from a table, never pointers, so a stale or forged handle finds
// nothing. One lock guards every menu; it is never held across a message.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui/menu/Menu.h"

namespace qv::ui {

struct MenuItem {
  UINT type = 0;   // MF_SEPARATOR, MFT_RADIOCHECK, MF_MENUBREAK...
  UINT state = 0;  // MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_HILITE, MF_DEFAULT
  UINT id = 0;
  HMENU popup = nullptr;  // owned by the menu that holds the item
  ULONG_PTR data = 0;
  std::wstring text;

  bool IsSeparator() const { return (type & MF_SEPARATOR) != 0; }
  bool IsDisabled() const { return (state & (MF_GRAYED | MF_DISABLED)) != 0; }
};

struct MenuData {
  std::vector<MenuItem> items;
};

std::unique_lock<std::recursive_mutex> LockMenus();

// With the lock held.
HMENU NewMenu();
MenuData* MenuOf(HMENU menu);
// Frees the menu and the popups it owns.
void FreeMenu(HMENU menu);
// Whether `inner` is `outer` or lies below it: attaching `outer` under
// `inner` would then make a loop.
bool Contains(HMENU outer, HMENU inner);

// Where an item lies: its menu and position.
struct ItemAt {
  HMENU menu = nullptr;
  size_t position = 0;
  MenuItem* item = nullptr;
  explicit operator bool() const { return item != nullptr; }
};
// By position in `menu`, or by command in it and its popups (depth first).
ItemAt FindItem(HMENU menu, UINT item, bool byPosition);

// The menu in an RT_MENU layout of `count` units (header included); null
// when the layout is not whole.
QV_PLATFORM_API HMENU ParseMenuTemplate(const wchar_t* units, size_t count);

}  // namespace qv::ui
