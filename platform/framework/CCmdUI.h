// The state of a user-interface item (a popup's item, a bar's button) as
// the ON_UPDATE_COMMAND_UI handlers set it before the item is shown.
#pragma once

#include "platform/framework/AfxTypes.h"

class CCmdTarget;
class CMenu;
class CWnd;

class QV_PLATFORM_API CCmdUI {
 public:
  CCmdUI() = default;
  virtual ~CCmdUI() = default;

  virtual void Enable(BOOL on = TRUE);
  // 0 unchecked, 1 checked, 2 indeterminate.
  virtual void SetCheck(int check = 1);
  virtual void SetRadio(BOOL on = TRUE);
  virtual void SetText(LPCTSTR text);
  // Lets the update go on to the next target of the route.
  void ContinueRouting() { m_bContinueRouting = TRUE; }

  // Routes the update to `target`; with `disableIfNoHandler`, an item that
  // no update handler enabled is enabled exactly when a command handler exists.
  BOOL DoUpdate(CCmdTarget* target, BOOL disableIfNoHandler);

  UINT m_nID = 0;
  UINT m_nIndex = 0;        // position in the popup
  CMenu* m_pMenu = nullptr;  // the popup, or null
  CMenu* m_pSubMenu = nullptr;
  CWnd* m_pOther = nullptr;  // the control, for items that are windows
  UINT m_nIndexMax = 0;
  BOOL m_bEnableChanged = FALSE;
  BOOL m_bContinueRouting = FALSE;
};
