// The command bar of a window: the framework object over the soft-key menu
// bar (MenuBar.h). Create makes an empty bar for the parent's top-level
// window; InsertMenuBar replaces it by one made from a menu resource, whose
// commands go to the parent. The bar style bits are the framework's own
// (CBRS_), kept on the object.
#pragma once

#include "platform/framework/CWnd.h"

#define AFX_IDW_COMMANDBAR 0xE800u
#define CBRS_SIZE_DYNAMIC 0x0004u

class QV_PLATFORM_API CCommandBar : public CWnd {
 public:
  CCommandBar() = default;
  ~CCommandBar() override;

  // `style` and `id` are kept for the caller (GetBarStyle, GetDlgCtrlID of
  // the object); the bar window itself is the soft-key bar's.
  BOOL Create(CWnd* parent, DWORD style = 0x50002800u, UINT id = AFX_IDW_COMMANDBAR);
  // Makes the bar from menu resource `menuId` of `resources` (the
  // framework's resource handle when null). FALSE leaves no bar.
  BOOL InsertMenuBar(UINT menuId, HINSTANCE resources = nullptr);
  // The menu the bar was made from, null for an empty bar.
  HMENU GetMenu() const;
  DWORD GetBarStyle() const { return m_barStyle; }
  void SetBarStyle(DWORD style) { m_barStyle = style; }
  DWORD GetCreateStyle() const { return m_createStyle; }
  UINT GetBarId() const { return m_barId; }
  BOOL DestroyWindow() override;

 private:
  BOOL Make(DWORD flags, UINT menuId, HINSTANCE resources);
  HWND m_parent = nullptr;
  DWORD m_barStyle = 0;
  DWORD m_createStyle = 0;
  UINT m_barId = 0;
};
