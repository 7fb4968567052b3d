#include "app/foundation/UiMenus.h"

#include <functional>
#include <vector>

#include "app/foundation/QvComEdit.h"
#include "app/foundation/QvMiddleError.h"
#include "platform/framework/AfxResource.h"
#include "platform/framework/CCmdUI.h"
#include "platform/framework/CMenu.h"
#include "platform/shell/MenuBar.h"

namespace {

// Commands from here on are the system's own: no parent hears of them.
constexpr UINT kFirstSystemCommand = 0xF000;

bool g_popupOpen = false;

BOOL TrackResourcePopup(CWnd* owner, UINT menuId, POINT screen, int submenu,
                        const std::function<void(HMENU)>& prepare) {
  if (!owner || !::IsWindow(owner->m_hWnd)) return FALSE;
  const HWND hwnd = owner->m_hWnd;
  CMenu menu;
  if (!menu.LoadMenu(menuId)) return FALSE;
  HMENU popup = ::GetSubMenu(menu, submenu);
  if (!popup) return FALSE;
  prepare(popup);
  owner->SetForegroundWindow();
  const BOOL result = ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN, screen.x, screen.y, 0, hwnd, nullptr);
  // Lets the owner's loop notice that the menu is gone before the next tap.
  if (::IsWindow(hwnd)) ::PostMessageW(hwnd, WM_NULL, 0, 0);
  return result;
}

bool IsSeparator(HMENU menu, int position) {
  return (::GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION) & MF_SEPARATOR) != 0;
}

bool HasEnabledItem(HMENU menu) {
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    if (IsSeparator(menu, i)) continue;
    if (!(::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED))) return true;
  }
  return false;
}

// True when `inner` is `outer` or hangs somewhere below it.
bool Holds(HMENU outer, HMENU inner) {
  if (outer == inner) return true;
  for (int i = 0; i < ::GetMenuItemCount(outer); ++i) {
    if (HMENU sub = ::GetSubMenu(outer, i); sub && Holds(sub, inner)) return true;
  }
  return false;
}

CString ItemText(HMENU menu, int position) {
  WCHAR text[kMenuTextMax + 1] = {};
  ::GetMenuStringW(menu, static_cast<UINT>(position), text, kMenuTextMax + 1, MF_BYPOSITION);
  return text;
}

}  // namespace

bool CreateMenuBar(HWND dialog, UINT menuId, int bitmapId) {
  SHMENUBARINFO info{};
  info.cbSize = sizeof info;
  info.hwndParent = dialog;
  info.dwFlags = SHCMBF_HMENU;
  info.nToolBarId = menuId;
  info.hInstRes = AfxGetResourceHandle();
  info.nBmpId = bitmapId;
  if (SHCreateMenuBar(&info)) return true;
  ShowQvMiddleError(kMenuBarFailedCode, dialog, nullptr);
  return false;
}

BOOL TrackPopupMenuRes(CWnd* owner, UINT menuId, POINT screen, int submenu) {
  if (g_popupOpen) return FALSE;
  g_popupOpen = true;
  const BOOL result = TrackResourcePopup(owner, menuId, screen, submenu, [](HMENU) {});
  g_popupOpen = false;
  return result;
}

BOOL TrackEditPopupMenu(CWnd* owner, UINT menuId, POINT screen, int submenu, bool readOnly) {
  return TrackResourcePopup(owner, menuId, screen, submenu, [&](HMENU popup) {
    if (readOnly) {
      ::DeleteMenu(popup, kCutCommand, MF_BYCOMMAND);
      ::DeleteMenu(popup, kPasteCommand, MF_BYCOMMAND);
    }
    UpdatePopupMenuCmdUI(owner, popup);
  });
}

void UpdatePopupMenuCmdUI(CWnd* owner, HMENU menu) {
  if (!owner || !::IsMenu(menu)) return;
  CCmdUI state;
  state.m_pMenu = CMenu::FromHandle(menu);
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    if (HMENU sub = ::GetSubMenu(menu, i)) {
      UpdatePopupMenuCmdUI(owner, sub);
      continue;
    }
    const UINT id = ::GetMenuItemID(menu, i);
    if (id == 0) continue;  // a separator
    state.m_nIndex = static_cast<UINT>(i);
    state.m_nIndexMax = static_cast<UINT>(::GetMenuItemCount(menu));
    state.m_nID = id;
    for (CWnd* target = owner; target; target = id < kFirstSystemCommand ? target->GetParent() : nullptr) {
      if (state.DoUpdate(target, FALSE)) break;
    }
  }
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    if (HMENU sub = ::GetSubMenu(menu, i)) {
      ::EnableMenuItem(menu, static_cast<UINT>(i), MF_BYPOSITION | (HasEnabledItem(sub) ? MF_ENABLED : MF_GRAYED));
    }
  }
}

void ClearMenu(HMENU menu) {
  while (::GetMenuItemCount(menu) > 0) {
    if (!::DeleteMenu(menu, 0, MF_BYPOSITION)) break;
  }
}

void CopyMenuItems(HMENU target, HMENU source) {
  if (!::IsMenu(target) || !::IsMenu(source) || Holds(source, target) || Holds(target, source)) return;
  struct Item {
    UINT flags;
    UINT_PTR id;
    CString text;
  };
  std::vector<Item> items;
  const int count = ::GetMenuItemCount(source);
  for (int i = 0; i < count; ++i) {
    if (HMENU sub = ::GetSubMenu(source, i)) {
      items.push_back({MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), ItemText(source, i)});
    } else if (IsSeparator(source, i)) {
      items.push_back({MF_SEPARATOR, 0, CString()});
    } else {
      items.push_back({MF_STRING, ::GetMenuItemID(source, i), ItemText(source, i)});
    }
  }
  // The submenus change hands: the source lets go of them, the target takes them.
  for (int i = count - 1; i >= 0; --i) {
    if (items[static_cast<size_t>(i)].flags & MF_POPUP) ::RemoveMenu(source, static_cast<UINT>(i), MF_BYPOSITION);
  }
  ClearMenu(target);
  for (const Item& item : items) {
    ::AppendMenuW(target, item.flags, item.id, item.flags & MF_SEPARATOR ? nullptr : static_cast<LPCWSTR>(item.text));
  }
}

HMENU FindSubMenuByName(HMENU menu, LPCWSTR text) {
  if (!::IsMenu(menu) || !text) return nullptr;
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    HMENU sub = ::GetSubMenu(menu, i);
    if (sub && ItemText(menu, i) == text) return sub;
  }
  return nullptr;
}

bool FillSubMenuFromList(HMENU menu, LPCWSTR submenuText, const CStringArray& texts, UINT firstId) {
  HMENU sub = FindSubMenuByName(menu, submenuText);
  if (!sub) return false;
  ClearMenu(sub);
  ::AppendMenuW(sub, MF_SEPARATOR, 0, nullptr);
  for (INT_PTR i = 0; i < texts.GetSize(); ++i) {
    ::AppendMenuW(sub, MF_STRING, firstId + static_cast<UINT>(i), texts[i]);
  }
  return true;
}

void PostCommand(UINT id, CWnd* window) {
  if (id == 0 || !window || !window->m_hWnd) return;
  window->PostMessage(WM_COMMAND, id, reinterpret_cast<LPARAM>(window->m_hWnd));
}
