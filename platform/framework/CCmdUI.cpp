#include "platform/framework/CCmdUI.h"

#include "platform/framework/CCmdTarget.h"
#include "platform/framework/CMenu.h"
#include "platform/framework/CWnd.h"

void CCmdUI::Enable(BOOL on) {
  if (m_pMenu) {
    m_pMenu->EnableMenuItem(m_nIndex, MF_BYPOSITION | (on ? MF_ENABLED : MF_GRAYED));
  } else if (m_pOther) {
    // A control about to be disabled hands the focus on first.
    if (!on && ::GetFocus() == m_pOther->m_hWnd) {
      if (CWnd* parent = m_pOther->GetParent()) {
        if (CWnd* next = parent->GetNextDlgTabItem(m_pOther)) next->SetFocus();
      }
    }
    m_pOther->EnableWindow(on);
  }
  m_bEnableChanged = TRUE;
}

void CCmdUI::SetCheck(int check) {
  if (m_pMenu) {
    m_pMenu->CheckMenuItem(m_nIndex, MF_BYPOSITION | (check ? MF_CHECKED : MF_UNCHECKED));
  } else if (m_pOther && (m_pOther->SendMessage(WM_GETDLGCODE) & DLGC_BUTTON)) {
    m_pOther->SendMessage(BM_SETCHECK, static_cast<WPARAM>(check));
  }
}

void CCmdUI::SetRadio(BOOL on) {
  if (m_pMenu) {
    m_pMenu->CheckMenuRadioItem(m_nIndex, m_nIndex, on ? m_nIndex : static_cast<UINT>(-1), MF_BYPOSITION);
  } else {
    SetCheck(on ? 1 : 0);
  }
}

void CCmdUI::SetText(LPCTSTR text) {
  if (m_pMenu) {
    // The item keeps its gray and check states.
    const UINT state = m_pMenu->GetMenuState(m_nIndex, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED | MF_CHECKED);
    m_pMenu->ModifyMenu(m_nIndex, MF_BYPOSITION | MF_STRING | state, m_nID, text);
  } else if (m_pOther) {
    CString now;
    m_pOther->GetWindowText(now);
    if (now.Compare(text) != 0) m_pOther->SetWindowText(text);
  }
}

BOOL CCmdUI::DoUpdate(CCmdTarget* target, BOOL disableIfNoHandler) {
  if (m_nID == 0 || LOWORD(m_nID) == 0xFFFFu) return TRUE;  // separators and sub-menus
  m_bEnableChanged = FALSE;
  BOOL result = target->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this, nullptr);
  if (disableIfNoHandler && !m_bEnableChanged) {
    AFX_CMDHANDLERINFO info{nullptr, nullptr};
    Enable(target->OnCmdMsg(m_nID, CN_COMMAND, this, &info));
    result = TRUE;
  }
  return result;
}
