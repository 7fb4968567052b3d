// A menu: the window system's HMENU with its calls as members. A CMenu owns
// its menu and destroys it when it goes, unless detached; FromHandle's
// temporaries own nothing.
#pragma once

#include "platform/framework/CObject.h"
#include "platform/framework/CString.h"
#include "platform/framework/Geometry.h"
#include "platform/ui/menu/Menu.h"

class CWnd;

class QV_PLATFORM_API CMenu : public CObject {
 public:
  CMenu() = default;
  ~CMenu() override;

  HMENU m_hMenu = nullptr;
  HMENU GetSafeHmenu() const { return m_hMenu; }
  operator HMENU() const { return m_hMenu; }  // NOLINT

  static CMenu* FromHandle(HMENU menu);
  BOOL Attach(HMENU menu);
  HMENU Detach();
  BOOL CreateMenu();
  BOOL CreatePopupMenu();
  // From the resource handle.
  BOOL LoadMenu(UINT id);
  BOOL LoadMenu(LPCTSTR name);
  BOOL DestroyMenu();

  BOOL AppendMenu(UINT flags, UINT_PTR id = 0, LPCTSTR text = nullptr);
  BOOL InsertMenu(UINT position, UINT flags, UINT_PTR id = 0, LPCTSTR text = nullptr);
  BOOL ModifyMenu(UINT position, UINT flags, UINT_PTR id = 0, LPCTSTR text = nullptr);
  BOOL RemoveMenu(UINT position, UINT flags);
  BOOL DeleteMenu(UINT position, UINT flags);
  UINT EnableMenuItem(UINT item, UINT flags);
  UINT CheckMenuItem(UINT item, UINT flags);
  BOOL CheckMenuRadioItem(UINT first, UINT last, UINT check, UINT flags);
  UINT GetMenuItemCount() const;
  UINT GetMenuItemID(int position) const;
  UINT GetMenuState(UINT item, UINT flags) const;
  int GetMenuString(UINT item, CString& out, UINT flags) const;
  CMenu* GetSubMenu(int position) const;
  BOOL GetMenuItemInfo(UINT item, LPMENUITEMINFOW info, BOOL byPosition = FALSE);
  BOOL SetMenuItemInfo(UINT item, LPCMENUITEMINFOW info, BOOL byPosition = FALSE);
  BOOL InsertMenuItem(UINT item, LPCMENUITEMINFOW info, BOOL byPosition = FALSE);
  // With TPM_RETURNCMD, the chosen command (0 for none).
  BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, LPCRECT rect = nullptr);
  BOOL TrackPopupMenuEx(UINT flags, int x, int y, CWnd* owner, LPTPMPARAMS params);
};
