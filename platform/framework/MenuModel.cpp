#include "platform/framework/MenuModel.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/kernel/Resource.h"

namespace qv::menu_model {
namespace {

struct Menu;

struct Item {
  UINT flags = 0;  // MF_ state and kind bits
  UINT id = 0;
  HMENU popup = nullptr;
  std::wstring text;
};

struct Menu {
  std::vector<Item> items;
};

constexpr UINT kStateBits = MF_GRAYED | MF_DISABLED | MF_CHECKED;
constexpr UINT kEndBit = 0x80u;  // RT_MENU: the last item of a level

struct Registry {
  std::mutex lock;
  std::set<HMENU> live;
  TrackHandler track;
};

Registry& R() {
  static Registry* r = new Registry;  // outlives threads still running at exit
  return *r;
}

Menu* Of(HMENU h) {
  std::lock_guard<std::mutex> g(R().lock);
  return R().live.count(h) ? reinterpret_cast<Menu*>(h) : nullptr;
}

HMENU Make() {
  HMENU h = reinterpret_cast<HMENU>(new Menu);
  std::lock_guard<std::mutex> g(R().lock);
  R().live.insert(h);
  return h;
}

void Free(HMENU h) {
  {
    std::lock_guard<std::mutex> g(R().lock);
    if (!R().live.erase(h)) return;
  }
  Menu* m = reinterpret_cast<Menu*>(h);
  for (Item& i : m->items) {
    if (i.popup) Free(i.popup);
  }
  delete m;
}

// The item `item` names, by position or by command (searched in sub-menus).
Item* Find(HMENU h, UINT item, UINT flags) {
  Menu* m = Of(h);
  if (!m) return nullptr;
  if (flags & MF_BYPOSITION) return item < m->items.size() ? &m->items[item] : nullptr;
  for (Item& i : m->items) {
    if (i.popup) {
      if (Item* inner = Find(i.popup, item, flags)) return inner;
    } else if (i.id == item && !(i.flags & MF_SEPARATOR)) {
      return &i;
    }
  }
  return nullptr;
}

Item MakeItem(UINT flags, UINT_PTR id, LPCWSTR text) {
  Item i;
  i.flags = flags & ~(MF_BYPOSITION);
  if (flags & MF_POPUP) i.popup = reinterpret_cast<HMENU>(id);
  else i.id = static_cast<UINT>(id);
  if (text && !(flags & MF_SEPARATOR)) i.text = text;
  return i;
}

// Reads one level of RT_MENU units into `menu`; returns past its end.
const wchar_t* ReadLevel(HMENU menu, const wchar_t* p, const wchar_t* end) {
  while (p < end) {
    const UINT flags = static_cast<UINT>(*p++);
    UINT id = 0;
    if (!(flags & MF_POPUP) && p < end) id = static_cast<UINT>(*p++);
    std::wstring text;
    while (p < end && *p) text.push_back(*p++);
    ++p;
    if (flags & MF_POPUP) {
      HMENU sub = CreatePopupMenu();
      p = ReadLevel(sub, p, end);
      AppendMenuW(menu, (flags & ~kEndBit) | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), text.c_str());
    } else {
      AppendMenuW(menu, flags & ~kEndBit, id, text.c_str());
    }
    if (flags & kEndBit) break;
  }
  return p;
}

// The popups from `menu` down to the one holding command `id`, with positions.
bool PathTo(HMENU menu, UINT id, std::vector<std::pair<HMENU, UINT>>& path) {
  Menu* m = Of(menu);
  if (!m) return false;
  for (UINT pos = 0; pos < m->items.size(); ++pos) {
    const Item& i = m->items[pos];
    if (i.popup) {
      path.push_back({i.popup, pos});
      if (PathTo(i.popup, id, path)) return true;
      path.pop_back();
    } else if (i.id == id && !(i.flags & MF_SEPARATOR)) {
      return true;
    }
  }
  return false;
}

}  // namespace

HMENU CreateMenu() { return Make(); }
HMENU CreatePopupMenu() { return Make(); }

BOOL DestroyMenu(HMENU menu) {
  if (!Of(menu)) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  Free(menu);
  return TRUE;
}

BOOL IsMenu(HMENU menu) { return Of(menu) != nullptr; }

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text) {
  Menu* m = Of(menu);
  if (!m) return FALSE;
  m->items.push_back(MakeItem(flags, id, text));
  return TRUE;
}

BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text) {
  Menu* m = Of(menu);
  if (!m) return FALSE;
  size_t at = m->items.size();
  if (flags & MF_BYPOSITION) {
    at = std::min<size_t>(position, m->items.size());
  } else {
    for (size_t n = 0; n < m->items.size(); ++n) {
      if (!m->items[n].popup && m->items[n].id == position) {
        at = n;
        break;
      }
    }
  }
  m->items.insert(m->items.begin() + static_cast<std::ptrdiff_t>(at), MakeItem(flags, id, text));
  return TRUE;
}

BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text) {
  Item* i = Find(menu, position, flags);
  if (!i) return FALSE;
  *i = MakeItem(flags, id, text);
  return TRUE;
}

BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) {
  Menu* m = Of(menu);
  if (!m) return FALSE;
  for (size_t n = 0; n < m->items.size(); ++n) {
    const Item& i = m->items[n];
    if ((flags & MF_BYPOSITION) ? n == position : (!i.popup && i.id == position)) {
      m->items.erase(m->items.begin() + static_cast<std::ptrdiff_t>(n));
      return TRUE;
    }
  }
  return FALSE;
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) {
  Item* i = Find(menu, position, flags);
  HMENU popup = i ? i->popup : nullptr;
  if (!RemoveMenu(menu, position, flags)) return FALSE;
  if (popup) Free(popup);
  return TRUE;
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT flags) {
  Item* i = Find(menu, item, flags);
  if (!i) return static_cast<UINT>(-1);
  const UINT old = i->flags & (MF_GRAYED | MF_DISABLED);
  i->flags = (i->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
  return old;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
  Item* i = Find(menu, item, flags);
  if (!i) return static_cast<DWORD>(-1);
  const DWORD old = i->flags & MF_CHECKED;
  i->flags = (i->flags & ~(MF_CHECKED | MFT_RADIOCHECK)) | (flags & MF_CHECKED);
  return old;
}

BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags) {
  bool found = false;
  for (UINT n = first; n <= last; ++n) {
    Item* i = Find(menu, n, flags);
    if (!i) continue;
    i->flags &= ~(MF_CHECKED | MFT_RADIOCHECK);
    if (n == check) {
      i->flags |= MF_CHECKED | MFT_RADIOCHECK;
      found = true;
    }
  }
  return found;
}

int GetMenuItemCount(HMENU menu) {
  Menu* m = Of(menu);
  return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  Item* i = position < 0 ? nullptr : Find(menu, static_cast<UINT>(position), MF_BYPOSITION);
  return i && !i->popup ? i->id : static_cast<UINT>(-1);
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  Item* i = Find(menu, item, flags);
  if (!i) return static_cast<UINT>(-1);
  if (i->popup) return (static_cast<UINT>(GetMenuItemCount(i->popup)) << 8) | (i->flags & 0xFFu) | MF_POPUP;
  return i->flags & (kStateBits | MF_SEPARATOR | MFT_RADIOCHECK | MF_MENUBARBREAK | MF_MENUBREAK);
}

int GetMenuStringW(HMENU menu, UINT item, LPWSTR out, int max, UINT flags) {
  Item* i = Find(menu, item, flags);
  if (!i) return 0;
  const int n = static_cast<int>(i->text.size());
  if (!out || max <= 0) return n;
  const int copied = std::min(n, max - 1);
  std::copy_n(i->text.c_str(), copied, out);
  out[copied] = 0;
  return copied;
}

HMENU GetSubMenu(HMENU menu, int position) {
  Item* i = position < 0 ? nullptr : Find(menu, static_cast<UINT>(position), MF_BYPOSITION);
  return i ? i->popup : nullptr;
}

HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name) {
  HRSRC found = FindResourceW(instance, name, RT_MENU);
  if (!found) return nullptr;
  const auto* units = static_cast<const wchar_t*>(LockResource(LoadResource(instance, found)));
  const size_t count = SizeofResource(instance, found) / sizeof(wchar_t);
  if (!units || count < 2) return nullptr;
  HMENU menu = CreateMenu();
  ReadLevel(menu, units + 2 + units[1], units + count);
  return menu;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int, int, int, HWND owner, const RECT*) {
  if (!Of(menu) || !IsWindow(owner)) return FALSE;
  if (!(flags & TPM_NONOTIFY)) {
    SendMessageW(owner, WM_ENTERMENULOOP, TRUE, 0);
    SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, FALSE));
  }
  TrackHandler track;
  {
    std::lock_guard<std::mutex> g(R().lock);
    track = R().track;
  }
  UINT picked = track ? track(menu) : 0;
  std::vector<std::pair<HMENU, UINT>> path;
  if (picked && PathTo(menu, picked, path) && !(flags & TPM_NONOTIFY)) {
    // A sub-menu is set up as it opens on the way to the item.
    for (const auto& [sub, pos] : path) {
      SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sub), MAKELPARAM(pos, FALSE));
    }
  }
  const Item* item = picked ? Find(menu, picked, MF_BYCOMMAND) : nullptr;
  if (!item || (item->flags & (MF_GRAYED | MF_DISABLED))) picked = 0;
  if (!(flags & TPM_NONOTIFY)) SendMessageW(owner, WM_EXITMENULOOP, TRUE, 0);
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(picked);
  if (picked) PostMessageW(owner, WM_COMMAND, MAKEWPARAM(picked, 0), 0);
  return TRUE;
}

void SetTrackHandler(TrackHandler handler) {
  std::lock_guard<std::mutex> g(R().lock);
  R().track = std::move(handler);
}

}  // namespace qv::menu_model
