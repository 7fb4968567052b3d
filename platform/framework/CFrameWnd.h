// The program's frame window. LoadFrame makes it from one resource id: its
// title is that string's text up to the first "\n", its menu that menu.
// Commands go to the frame's map, then to the application; before a popup
// shows, each of its items gets its ON_UPDATE_COMMAND_UI (an item no
// handler speaks for is enabled exactly when some handler takes its
// command); while idle, the buttons of its bars (children with ids from
// AFX_IDW_CONTROLBAR_FIRST) are updated the same way. A frame is made with
// new: it deletes itself once its window is gone.
#pragma once

#include "platform/framework/CMenu.h"
#include "platform/framework/CWnd.h"

#define FWS_ADDTOTITLE 0x00008000u
#define AFX_IDW_CONTROLBAR_FIRST 0xE800u
#define AFX_IDW_CONTROLBAR_LAST 0xE8FFu
#define AFX_IDW_TOOLBAR 0xE800u
#define AFX_IDW_PANE_FIRST 0xE900u

class CCreateContext;

class QV_PLATFORM_API CFrameWnd : public CWnd {
 public:
  CFrameWnd();
  ~CFrameWnd() override;

  static const CRect rectDefault;

  virtual BOOL LoadFrame(UINT resourceId, DWORD defaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                         CWnd* parent = nullptr, CCreateContext* context = nullptr);
  virtual BOOL Create(LPCTSTR className, LPCTSTR windowName, DWORD style = WS_OVERLAPPEDWINDOW,
                      const RECT& rect = rectDefault, CWnd* parent = nullptr, LPCTSTR menuName = nullptr,
                      DWORD exStyle = 0, CCreateContext* context = nullptr);
  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
  void PostNcDestroy() override;

  void SetTitle(LPCTSTR title) { m_strTitle = title; }
  CString GetTitle() const { return m_strTitle; }
  // The menu LoadFrame loaded (the menu bar's), or null.
  CMenu* GetMenu() { return m_menu.m_hMenu ? &m_menu : nullptr; }

  afx_msg void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu);
  afx_msg LRESULT OnIdleUpdateCmdUI(WPARAM wParam, LPARAM lParam);
  afx_msg void OnClose();

  BOOL m_bAutoMenuEnable = TRUE;
  CString m_strTitle;

 protected:
  CMenu m_menu;
  UINT m_nIDHelp = 0;

  DECLARE_MESSAGE_MAP()
};
