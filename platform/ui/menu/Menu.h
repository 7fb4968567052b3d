// Menus: popups and their items (command items, separators, cascades), made
// in code or loaded from a resource library's RT_MENU, and shown with
// TrackPopupMenu(Ex) as windows of class "MNU".
//
// A menu owns the popups attached to it: DestroyMenu and DeleteMenu destroy
// them, RemoveMenu hands them back. Item calls take MF_BYCOMMAND (searching
// the cascades too) or MF_BYPOSITION.
//
// Tracking is modal on the calling thread. The owner hears WM_ENTERMENULOOP,
// WM_INITMENU and WM_INITMENUPOPUP before the popup shows (WM_INITMENUPOPUP
// again for each cascade as it opens), WM_MENUSELECT as the selection moves,
// WM_ENTERIDLE (MSGF_MENU) while the menu waits for input, and
// WM_EXITMENULOOP at the end; TPM_NONOTIFY silences all of them. A chosen
// item comes back as the result with TPM_RETURNCMD, else as a WM_COMMAND
// posted to the owner. Escape (the Back key), a tap outside, WM_CANCELMODE
// to a menu window or to the owner, and EndMenu close it choosing nothing.
#pragma once

#include "platform/ui/window/Window.h"

#define MF_INSERT 0x0000u
#define MF_CHANGE 0x0080u
#define MF_APPEND 0x0100u
#define MF_DELETE 0x0200u
#define MF_REMOVE 0x1000u
#define MF_BYCOMMAND 0x0000u
#define MF_BYPOSITION 0x0400u
#define MF_SEPARATOR 0x0800u
#define MF_ENABLED 0x0000u
#define MF_GRAYED 0x0001u
#define MF_DISABLED 0x0002u
#define MF_UNCHECKED 0x0000u
#define MF_CHECKED 0x0008u
#define MF_USECHECKBITMAPS 0x0200u
#define MF_STRING 0x0000u
#define MF_BITMAP 0x0004u
#define MF_OWNERDRAW 0x0100u
#define MF_POPUP 0x0010u
#define MF_MENUBARBREAK 0x0020u
#define MF_MENUBREAK 0x0040u
#define MF_UNHILITE 0x0000u
#define MF_HILITE 0x0080u
#define MF_DEFAULT 0x1000u
#define MF_END 0x0080u  // RT_MENU: the last item of a level

#define MFT_STRING MF_STRING
#define MFT_BITMAP MF_BITMAP
#define MFT_MENUBARBREAK MF_MENUBARBREAK
#define MFT_MENUBREAK MF_MENUBREAK
#define MFT_OWNERDRAW MF_OWNERDRAW
#define MFT_RADIOCHECK 0x0200u
#define MFT_SEPARATOR MF_SEPARATOR
#define MFT_RIGHTORDER 0x2000u
#define MFT_RIGHTJUSTIFY 0x4000u

#define MFS_GRAYED 0x0003u
#define MFS_DISABLED MFS_GRAYED
#define MFS_CHECKED MF_CHECKED
#define MFS_HILITE MF_HILITE
#define MFS_ENABLED MF_ENABLED
#define MFS_UNCHECKED MF_UNCHECKED
#define MFS_UNHILITE MF_UNHILITE
#define MFS_DEFAULT MF_DEFAULT

#define MIIM_STATE 0x0001u
#define MIIM_ID 0x0002u
#define MIIM_SUBMENU 0x0004u
#define MIIM_CHECKMARKS 0x0008u
#define MIIM_TYPE 0x0010u
#define MIIM_DATA 0x0020u
#define MIIM_STRING 0x0040u
#define MIIM_FTYPE 0x0100u

#define TPM_LEFTBUTTON 0x0000u
#define TPM_RIGHTBUTTON 0x0002u
#define TPM_LEFTALIGN 0x0000u
#define TPM_CENTERALIGN 0x0004u
#define TPM_RIGHTALIGN 0x0008u
#define TPM_TOPALIGN 0x0000u
#define TPM_VCENTERALIGN 0x0010u
#define TPM_BOTTOMALIGN 0x0020u
#define TPM_HORIZONTAL 0x0000u
#define TPM_VERTICAL 0x0040u
#define TPM_NONOTIFY 0x0080u
#define TPM_RETURNCMD 0x0100u

#define MSGF_MENU 2
#define ERROR_POPUP_ALREADY_ACTIVE 1446L
#define ERROR_MENU_ITEM_NOT_FOUND 1456L

struct MENUITEMINFOW {
  UINT cbSize;
  UINT fMask;
  UINT fType;
  UINT fState;
  UINT wID;
  HMENU hSubMenu;
  HBITMAP hbmpChecked;
  HBITMAP hbmpUnchecked;
  ULONG_PTR dwItemData;
  LPWSTR dwTypeData;
  UINT cch;
};
typedef MENUITEMINFOW* LPMENUITEMINFOW;
typedef const MENUITEMINFOW* LPCMENUITEMINFOW;

// TrackPopupMenuEx: a screen rectangle the menu must not cover.
struct TPMPARAMS {
  UINT cbSize;
  RECT rcExclude;
};
typedef TPMPARAMS* LPTPMPARAMS;

extern "C" {

QV_PLATFORM_API HMENU CreateMenu();
QV_PLATFORM_API HMENU CreatePopupMenu();
// Destroys the attached popups too.
QV_PLATFORM_API BOOL DestroyMenu(HMENU menu);
QV_PLATFORM_API BOOL IsMenu(HMENU menu);
// From RT_MENU `name` of the resource library `instance`.
QV_PLATFORM_API HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);
QV_PLATFORM_API HMENU GetSubMenu(HMENU menu, int position);
QV_PLATFORM_API int GetMenuItemCount(HMENU menu);
// (UINT)-1 for a popup item or a bad position; 0 for a separator.
QV_PLATFORM_API UINT GetMenuItemID(HMENU menu, int position);
QV_PLATFORM_API BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, LPMENUITEMINFOW info);
QV_PLATFORM_API BOOL SetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info);
QV_PLATFORM_API BOOL InsertMenuItemW(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info);
// With MF_POPUP, `id` is the popup's handle; the menu then owns it.
QV_PLATFORM_API BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text);
QV_PLATFORM_API BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text);
// Replacing a popup item destroys the popup it held.
QV_PLATFORM_API BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text);
QV_PLATFORM_API BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
QV_PLATFORM_API BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
// The previous MF_GRAYED | MF_DISABLED bits, or (UINT)-1 when there is no such item.
QV_PLATFORM_API UINT EnableMenuItem(HMENU menu, UINT item, UINT flags);
// The previous MF_CHECKED bit, or (DWORD)-1.
QV_PLATFORM_API DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
// Checks `check` with a radio mark and clears the others of first..last, all
// in the one menu that holds `first`.
QV_PLATFORM_API BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags);
// A popup item: its item count in the high byte, MF_POPUP and its flags below.
QV_PLATFORM_API UINT GetMenuState(HMENU menu, UINT item, UINT flags);
// Copies at most max - 1 units and a zero; with no buffer, the text's length.
QV_PLATFORM_API int GetMenuStringW(HMENU menu, UINT item, LPWSTR out, int max, UINT flags);

// Without TPM_RETURNCMD: TRUE when shown (a choice is posted as WM_COMMAND);
// with it: the chosen command, or 0.
QV_PLATFORM_API BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                                    const RECT* reserved2);
QV_PLATFORM_API BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params);
// Closes the calling thread's open menu, choosing nothing.
QV_PLATFORM_API BOOL EndMenu();

}  // extern "C"
