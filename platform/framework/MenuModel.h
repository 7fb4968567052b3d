// A minimal menu until the window system has menus of its own: popups and
// their items held in memory (ids, texts, gray and check states, sub-menus),
// made in code or loaded from a resource library's RT_MENU. The calls have
// the window system's names and meanings inside this namespace, so that
// CMenu moves to the real ones unchanged.
//
// TrackPopupMenu sends WM_INITMENUPOPUP to the owner, then asks the track
// handler which item the user picks (none is shown: without a handler
// nothing is picked); a picked item that is enabled reaches the owner as a
// posted WM_COMMAND, or is returned with TPM_RETURNCMD.
#pragma once

#include <functional>

#include "platform/ui/WinUser.h"

#ifndef MF_BYPOSITION
#define MF_BYCOMMAND 0x0000u
#define MF_BYPOSITION 0x0400u
#define MF_STRING 0x0000u
#define MF_ENABLED 0x0000u
#define MF_GRAYED 0x0001u
#define MF_DISABLED 0x0002u
#define MF_UNCHECKED 0x0000u
#define MF_CHECKED 0x0008u
#define MF_POPUP 0x0010u
#define MF_MENUBARBREAK 0x0020u
#define MF_MENUBREAK 0x0040u
#define MF_OWNERDRAW 0x0100u
#define MF_SEPARATOR 0x0800u
#define MFT_RADIOCHECK 0x0200u
#define TPM_LEFTALIGN 0x0000u
#define TPM_TOPALIGN 0x0000u
#define TPM_NONOTIFY 0x0080u
#define TPM_RETURNCMD 0x0100u
#endif

namespace qv::menu_model {

QV_PLATFORM_API HMENU CreateMenu();
QV_PLATFORM_API HMENU CreatePopupMenu();
// Destroys the sub-menus too.
QV_PLATFORM_API BOOL DestroyMenu(HMENU menu);
QV_PLATFORM_API BOOL IsMenu(HMENU menu);
// With MF_POPUP, `id` is the sub-menu's handle, which the menu then owns.
QV_PLATFORM_API BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text);
QV_PLATFORM_API BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text);
QV_PLATFORM_API BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text);
QV_PLATFORM_API BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
QV_PLATFORM_API BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
// The item's previous state, or (UINT)-1 when there is no such item.
QV_PLATFORM_API UINT EnableMenuItem(HMENU menu, UINT item, UINT flags);
QV_PLATFORM_API DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
QV_PLATFORM_API BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags);
QV_PLATFORM_API int GetMenuItemCount(HMENU menu);
// (UINT)-1 for a sub-menu or a bad position.
QV_PLATFORM_API UINT GetMenuItemID(HMENU menu, int position);
QV_PLATFORM_API UINT GetMenuState(HMENU menu, UINT item, UINT flags);
QV_PLATFORM_API int GetMenuStringW(HMENU menu, UINT item, LPWSTR out, int max, UINT flags);
QV_PLATFORM_API HMENU GetSubMenu(HMENU menu, int position);
QV_PLATFORM_API HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);
QV_PLATFORM_API BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect);

// The user's pick in a tracked popup: a command id, or 0 for none.
using TrackHandler = std::function<UINT(HMENU popup)>;
QV_PLATFORM_API void SetTrackHandler(TrackHandler handler);

}  // namespace qv::menu_model
