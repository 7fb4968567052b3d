#include "app/foundation/QvSignatureView.h"

#include "app/foundation/QvComEdit.h"
#include "app/foundation/UiMenus.h"
#include "app/protocol/Commands.h"
#include "app/protocol/WindowMessages.h"
#include "platform/framework/CCmdUI.h"

BOOL QvSignatureView::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  if (nCode == CN_UPDATE_COMMAND_UI && !pHandlerInfo && (nID == kCutCommand || nID == kCopyCommand)) {
    int start = 0, end = 0;
    GetSel(start, end);
    static_cast<CCmdUI*>(pExtra)->Enable(start != end);
    return TRUE;
  }
  return QvComAreaSelectEdit::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

LRESULT QvSignatureView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (lParam == 0 && (LOWORD(wParam) == kCopyCommand || LOWORD(wParam) == kPasteCommand ||
                          LOWORD(wParam) == kCutCommand)) {
        RunEditCommand(m_hWnd, wParam);
        return 0;
      }
      break;
    case WM_LBUTTONDOWN:
      if (!Selector().IsActive() && IsTapAndHold(m_hWnd, lParam)) {
        SetFocus();
        POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
        ::ClientToScreen(m_hWnd, &p);
        TrackPopupMenuRes(this, kMenuId, p, 0);
        return 0;
      }
      break;
    case WM_KEYDOWN:
      if (wParam == VK_BACK && GetWindowTextLength() == 0) {
        ::SendMessageW(::GetParent(m_hWnd), kBackMessage, 0, 0);
        return 0;
      }
      break;
    default:
      break;
  }
  return QvComAreaSelectEdit::WindowProc(message, wParam, lParam);
}
