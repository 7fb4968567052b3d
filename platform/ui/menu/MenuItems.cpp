// The item calls: building, changing and reading menus.
#include <algorithm>

#include "platform/ui/menu/MenuStore.h"

using namespace qv::ui;

namespace {

constexpr UINT kStateBits = MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_HILITE | MF_DEFAULT;
constexpr UINT kTypeBits = MF_SEPARATOR | MFT_RADIOCHECK | MF_MENUBREAK | MF_MENUBARBREAK | MF_OWNERDRAW |
                           MFT_RIGHTJUSTIFY | MFT_RIGHTORDER | MF_BITMAP;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

bool ByPosition(UINT flags) { return (flags & MF_BYPOSITION) != 0; }

// A popup may hang in one place only and never below itself.
bool CanAttach(HMENU menu, HMENU popup) { return MenuOf(popup) && !Contains(popup, menu); }

// The item the MF_ flags of Append/Insert/ModifyMenu describe.
bool MakeItem(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text, MenuItem* out) {
  MenuItem i;
  i.type = flags & kTypeBits;
  i.state = flags & kStateBits & ~MF_HILITE;
  if (flags & MF_POPUP) {
    i.popup = reinterpret_cast<HMENU>(id);
    if (!CanAttach(menu, i.popup)) return false;
  } else if (!i.IsSeparator()) {
    i.id = static_cast<UINT>(id);
  }
  if (text && !i.IsSeparator() && !(flags & (MF_BITMAP | MF_OWNERDRAW))) i.text = text;
  *out = std::move(i);
  return true;
}

// The position in `menu` an insert by `position` goes to (the end when no
// such item: as documented, an unknown position appends).
size_t InsertAt(const MenuData& m, UINT position, bool byPosition) {
  if (byPosition) return std::min<size_t>(position, m.items.size());
  for (size_t n = 0; n < m.items.size(); ++n) {
    if (!m.items[n].popup && !m.items[n].IsSeparator() && m.items[n].id == position) return n;
  }
  return m.items.size();
}

// Takes the item out of its menu and returns its popup, if any.
HMENU Take(const ItemAt& at) {
  MenuData* m = MenuOf(at.menu);
  HMENU popup = at.item->popup;
  m->items.erase(m->items.begin() + static_cast<std::ptrdiff_t>(at.position));
  return popup;
}

// Applies the MIIM_ fields of `info` to `item`.
bool Apply(HMENU menu, const MENUITEMINFOW& info, MenuItem& item) {
  if (info.fMask & MIIM_SUBMENU) {
    if (info.hSubMenu && info.hSubMenu != item.popup && !CanAttach(menu, info.hSubMenu)) return false;
  }
  if (info.fMask & MIIM_TYPE) {
    item.type = info.fType & kTypeBits;
    item.text = !(info.fType & (MF_SEPARATOR | MF_BITMAP | MF_OWNERDRAW)) && info.dwTypeData ? info.dwTypeData : L"";
  }
  if (info.fMask & MIIM_FTYPE) item.type = info.fType & kTypeBits;
  if (info.fMask & MIIM_STRING) item.text = info.dwTypeData ? info.dwTypeData : L"";
  if (info.fMask & MIIM_STATE) item.state = info.fState & kStateBits;
  if (info.fMask & MIIM_ID) item.id = info.wID;
  if (info.fMask & MIIM_SUBMENU) item.popup = info.hSubMenu;
  if (info.fMask & MIIM_DATA) item.data = info.dwItemData;
  return true;
}

}  // namespace

HMENU CreateMenu() {
  auto lock = LockMenus();
  return NewMenu();
}

HMENU CreatePopupMenu() { return CreateMenu(); }

BOOL DestroyMenu(HMENU menu) {
  auto lock = LockMenus();
  if (!MenuOf(menu)) return Fail(ERROR_INVALID_MENU_HANDLE);
  FreeMenu(menu);
  return TRUE;
}

BOOL IsMenu(HMENU menu) {
  auto lock = LockMenus();
  return MenuOf(menu) != nullptr;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text) {
  return InsertMenuW(menu, static_cast<UINT>(-1), flags | MF_BYPOSITION, id, text);
}

BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text) {
  auto lock = LockMenus();
  MenuData* m = MenuOf(menu);
  if (!m) return Fail(ERROR_INVALID_MENU_HANDLE);
  MenuItem item;
  if (!MakeItem(menu, flags, id, text, &item)) return Fail(ERROR_INVALID_PARAMETER);
  const size_t at = InsertAt(*m, position, ByPosition(flags));
  m->items.insert(m->items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
  return TRUE;
}

BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text) {
  auto lock = LockMenus();
  ItemAt at = FindItem(menu, position, ByPosition(flags));
  if (!at) return Fail(ERROR_MENU_ITEM_NOT_FOUND);
  MenuItem item;
  if (!MakeItem(at.menu, flags, id, text, &item)) return Fail(ERROR_INVALID_PARAMETER);
  const HMENU old = at.item->popup;
  *at.item = std::move(item);
  if (old && old != at.item->popup) FreeMenu(old);
  return TRUE;
}

BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) {
  auto lock = LockMenus();
  ItemAt at = FindItem(menu, position, ByPosition(flags));
  if (!at) return Fail(ERROR_MENU_ITEM_NOT_FOUND);
  Take(at);
  return TRUE;
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) {
  auto lock = LockMenus();
  ItemAt at = FindItem(menu, position, ByPosition(flags));
  if (!at) return Fail(ERROR_MENU_ITEM_NOT_FOUND);
  if (HMENU popup = Take(at)) FreeMenu(popup);
  return TRUE;
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT flags) {
  auto lock = LockMenus();
  ItemAt at = FindItem(menu, item, ByPosition(flags));
  if (!at) return static_cast<UINT>(-1);
  const UINT old = at.item->state & (MF_GRAYED | MF_DISABLED);
  at.item->state = (at.item->state & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
  return old;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
  auto lock = LockMenus();
  ItemAt at = FindItem(menu, item, ByPosition(flags));
  if (!at) return static_cast<DWORD>(-1);
  const DWORD old = at.item->state & MF_CHECKED;
  at.item->state = (at.item->state & ~MF_CHECKED) | (flags & MF_CHECKED);
  return old;
}

BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags) {
  auto lock = LockMenus();
  const bool byPosition = ByPosition(flags);
  ItemAt from = FindItem(menu, first, byPosition);
  ItemAt to = FindItem(menu, last, byPosition);
  if (!from || !to || to.menu != from.menu) return Fail(ERROR_MENU_ITEM_NOT_FOUND);
  MenuData* m = MenuOf(from.menu);
  const size_t lo = std::min(from.position, to.position);
  const size_t hi = std::max(from.position, to.position);
  bool found = false;
  for (size_t n = lo; n <= hi; ++n) {
    MenuItem& i = m->items[n];
    const bool isCheck = byPosition ? n == check : (!i.popup && !i.IsSeparator() && i.id == check);
    i.state &= ~MF_CHECKED;
    i.type &= ~MFT_RADIOCHECK;
    if (isCheck) {
      i.state |= MF_CHECKED;
      i.type |= MFT_RADIOCHECK;
      found = true;
    }
  }
  return found;
}

int GetMenuItemCount(HMENU menu) {
  auto lock = LockMenus();
  MenuData* m = MenuOf(menu);
  if (!m) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return -1;
  }
  return static_cast<int>(m->items.size());
}

UINT GetMenuItemID(HMENU menu, int position) {
  auto lock = LockMenus();
  ItemAt at = position < 0 ? ItemAt{} : FindItem(menu, static_cast<UINT>(position), true);
  return at && !at.item->popup ? at.item->id : static_cast<UINT>(-1);
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  auto lock = LockMenus();
  ItemAt at = FindItem(menu, item, ByPosition(flags));
  if (!at) return static_cast<UINT>(-1);
  const UINT bits = (at.item->state | at.item->type) & 0xFFFFu & ~MFT_RADIOCHECK;
  if (MenuData* popup = MenuOf(at.item->popup)) {
    return (static_cast<UINT>(std::min<size_t>(popup->items.size(), 0xFF)) << 8) | (bits & 0xFFu) | MF_POPUP;
  }
  return bits | (at.item->type & MFT_RADIOCHECK);
}

int GetMenuStringW(HMENU menu, UINT item, LPWSTR out, int max, UINT flags) {
  auto lock = LockMenus();
  ItemAt at = FindItem(menu, item, ByPosition(flags));
  if (!at) return 0;
  const int n = static_cast<int>(at.item->text.size());
  if (!out || max <= 0) return n;
  const int copied = std::min(n, max - 1);
  std::copy_n(at.item->text.c_str(), copied, out);
  out[copied] = 0;
  return copied;
}

HMENU GetSubMenu(HMENU menu, int position) {
  auto lock = LockMenus();
  ItemAt at = position < 0 ? ItemAt{} : FindItem(menu, static_cast<UINT>(position), true);
  return at ? at.item->popup : nullptr;
}

BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, LPMENUITEMINFOW info) {
  if (!info) return Fail(ERROR_INVALID_PARAMETER);
  auto lock = LockMenus();
  ItemAt at = FindItem(menu, item, byPosition != FALSE);
  if (!at) return Fail(ERROR_MENU_ITEM_NOT_FOUND);
  const MenuItem& i = *at.item;
  if (info->fMask & (MIIM_TYPE | MIIM_FTYPE)) info->fType = i.type;
  if (info->fMask & MIIM_STATE) info->fState = i.state;
  if (info->fMask & MIIM_ID) info->wID = i.id;
  if (info->fMask & MIIM_SUBMENU) info->hSubMenu = i.popup;
  if (info->fMask & MIIM_CHECKMARKS) info->hbmpChecked = info->hbmpUnchecked = nullptr;
  if (info->fMask & MIIM_DATA) info->dwItemData = i.data;
  if ((info->fMask & (MIIM_TYPE | MIIM_STRING)) && !(i.type & (MF_SEPARATOR | MF_BITMAP | MF_OWNERDRAW))) {
    const UINT length = static_cast<UINT>(i.text.size());
    if (info->dwTypeData && info->cch > 0) {
      const UINT copied = std::min(length, info->cch - 1);
      std::copy_n(i.text.c_str(), copied, info->dwTypeData);
      info->dwTypeData[copied] = 0;
      info->cch = copied;
    } else {
      info->cch = length;
    }
  }
  return TRUE;
}

BOOL SetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info) {
  if (!info) return Fail(ERROR_INVALID_PARAMETER);
  auto lock = LockMenus();
  ItemAt at = FindItem(menu, item, byPosition != FALSE);
  if (!at) return Fail(ERROR_MENU_ITEM_NOT_FOUND);
  MenuItem changed = *at.item;
  if (!Apply(at.menu, *info, changed)) return Fail(ERROR_INVALID_PARAMETER);
  *at.item = std::move(changed);
  return TRUE;
}

BOOL InsertMenuItemW(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info) {
  if (!info) return Fail(ERROR_INVALID_PARAMETER);
  auto lock = LockMenus();
  MenuData* m = MenuOf(menu);
  if (!m) return Fail(ERROR_INVALID_MENU_HANDLE);
  MenuItem made;
  if (!Apply(menu, *info, made)) return Fail(ERROR_INVALID_PARAMETER);
  const size_t at = InsertAt(*m, item, byPosition != FALSE);
  m->items.insert(m->items.begin() + static_cast<std::ptrdiff_t>(at), std::move(made));
  return TRUE;
}
