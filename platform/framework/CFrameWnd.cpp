#include "platform/framework/CFrameWnd.h"

#include "platform/framework/AfxResource.h"
#include "platform/framework/AfxState.h"
#include "platform/framework/CCmdUI.h"
#include "platform/framework/CWinApp.h"
#include "platform/framework/MessageMap.h"

const CRect CFrameWnd::rectDefault(CW_USEDEFAULT, CW_USEDEFAULT, 0, 0);

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
  ON_WM_INITMENUPOPUP()
  ON_WM_CLOSE()
  ON_MESSAGE(WM_IDLEUPDATECMDUI, &CFrameWnd::OnIdleUpdateCmdUI)
END_MESSAGE_MAP()

CFrameWnd::CFrameWnd() = default;
CFrameWnd::~CFrameWnd() = default;

BOOL CFrameWnd::LoadFrame(UINT resourceId, DWORD defaultStyle, CWnd* parent, CCreateContext* context) {
  m_nIDHelp = resourceId;
  CString title;
  title.LoadString(resourceId);
  const int end = title.Find(L'\n');
  m_strTitle = end >= 0 ? title.Left(end) : title;
  if (!Create(nullptr, m_strTitle, defaultStyle & ~FWS_ADDTOTITLE, rectDefault, parent, MAKEINTRESOURCEW(resourceId),
              0, context)) {
    return FALSE;
  }
  return TRUE;
}

BOOL CFrameWnd::Create(LPCTSTR className, LPCTSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                       LPCTSTR menuName, DWORD exStyle, CCreateContext*) {
  m_strTitle = windowName;
  // The menu is the frame's to keep: top-level windows here take no menu handle.
  if (menuName && !m_menu.m_hMenu) {
    m_menu.Attach(::LoadMenuW(AfxGetResourceHandle(), menuName));
  }
  // The default place is the whole screen, as the device's frames are.
  int x = 0, y = 0, w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  if (rect.left != CW_USEDEFAULT) {
    x = rect.left;
    y = rect.top;
    w = rect.right - rect.left;
    h = rect.bottom - rect.top;
  }
  // The kept title, not `windowName`: LoadFrame passes the title itself,
  // whose old text the assignment above has freed.
  return CreateEx(exStyle, className, m_strTitle, style, x, y, w, h, parent ? parent->m_hWnd : nullptr, nullptr);
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& cs) {
  if (!cs.lpszClass) {
    cs.lpszClass = qv::afx::RegisterFrameworkClass(L"AfxFrameOrView", CS_DBLCLKS, nullptr,
                                                   reinterpret_cast<HBRUSH>(static_cast<UINT_PTR>(COLOR_WINDOW + 1)),
                                                   nullptr);
  }
  return TRUE;
}

BOOL CFrameWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  CWinApp* app = AfxGetApp();
  return app && app->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CFrameWnd::PostNcDestroy() { delete this; }

void CFrameWnd::OnClose() { DestroyWindow(); }

void CFrameWnd::OnInitMenuPopup(CMenu* popup, UINT, BOOL sysMenu) {
  if (sysMenu || !popup) return;
  CCmdUI state;
  state.m_pMenu = popup;
  state.m_nIndexMax = popup->GetMenuItemCount();
  for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; ++state.m_nIndex) {
    state.m_nID = popup->GetMenuItemID(static_cast<int>(state.m_nIndex));
    if (state.m_nID == 0) continue;  // a separator
    if (state.m_nID == static_cast<UINT>(-1)) {
      // A sub-menu's item is as usable as the sub-menu's first item.
      state.m_pSubMenu = popup->GetSubMenu(static_cast<int>(state.m_nIndex));
      if (!state.m_pSubMenu) continue;
      state.m_nID = state.m_pSubMenu->GetMenuItemID(0);
      if (state.m_nID == 0 || state.m_nID == static_cast<UINT>(-1)) continue;
      state.DoUpdate(this, FALSE);
    } else {
      state.m_pSubMenu = nullptr;
      state.DoUpdate(this, m_bAutoMenuEnable && state.m_nID < 0xF000u);
    }
  }
}

LRESULT CFrameWnd::OnIdleUpdateCmdUI(WPARAM wParam, LPARAM) {
  for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    const auto id = static_cast<UINT>(::GetDlgCtrlID(child));
    if (id >= AFX_IDW_CONTROLBAR_FIRST && id <= AFX_IDW_CONTROLBAR_LAST) {
      FromHandle(child)->UpdateDialogControls(this, static_cast<BOOL>(wParam));
    }
  }
  return 0;
}
