// The menus of the program's windows: the soft-key bar of a full-screen
// dialog, popups from the resource library, their command-update pass, and
// helpers that copy and fill menus. Missing menus or windows do nothing.
#pragma once

#include "platform/framework/Containers.h"
#include "platform/framework/CString.h"
#include "platform/framework/CWnd.h"

constexpr uint32_t kMenuBarFailedCode = 0x5002;
// Text of a menu item that is copied.
constexpr int kMenuTextMax = 1024;

// The dialog's soft-key bar from menu `menuId`; shows the error box for 0x5002 when it fails.
bool CreateMenuBar(HWND dialog, UINT menuId, int bitmapId = 0);
// Tracks submenu `submenu` of menu `menuId` at the screen point for
// `owner`; the choice reaches the owner as WM_COMMAND. Only one such popup
// is open at a time. Returns the tracking result.
BOOL TrackPopupMenuRes(CWnd* owner, UINT menuId, POINT screen, int submenu);
// The same for a text field: a read-only one loses Cut and Paste, and the
// items are set up by the owner's command-update handlers first.
BOOL TrackEditPopupMenu(CWnd* owner, UINT menuId, POINT screen, int submenu, bool readOnly);
// Runs the owner's (and for commands below 0xF000 its parents')
// command-update handlers over every item, submenus included; a submenu
// with no enabled item is greyed, the others enabled.
void UpdatePopupMenuCmdUI(CWnd* owner, HMENU menu);

void ClearMenu(HMENU menu);
// Replaces the target's items by copies of the source's; the source's
// submenus move to the target. Nothing when one menu holds the other.
void CopyMenuItems(HMENU target, HMENU source);
// The submenu whose item text is `text`, or null.
HMENU FindSubMenuByName(HMENU menu, LPCWSTR text);
// Rebuilds that submenu: a separator, then one item per string with ids
// from `firstId` on. False when there is no such submenu.
bool FillSubMenuFromList(HMENU menu, LPCWSTR submenuText, const CStringArray& texts, UINT firstId);
// Posts WM_COMMAND `id` to the window, with its own handle as lParam.
void PostCommand(UINT id, CWnd* window);
