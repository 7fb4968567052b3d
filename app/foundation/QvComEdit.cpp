#include "app/foundation/QvComEdit.h"

#include "app/foundation/UiMenus.h"
#include "platform/framework/CCmdUI.h"
#include "platform/shell/ShellUi.h"

bool IsTapAndHold(HWND edit, LPARAM point) {
  SHRGINFO info{sizeof(SHRGINFO), edit, {static_cast<SHORT>(LOWORD(point)), static_cast<SHORT>(HIWORD(point))},
                SHRG_RETURNCMD};
  return SHRecognizeGesture(&info) == GN_CONTEXTMENU;
}

BOOL QvComEdit::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  if (nCode == CN_UPDATE_COMMAND_UI && !pHandlerInfo &&
      (nID == kCutCommand || nID == kCopyCommand || nID == kPasteCommand)) {
    int start = 0, end = 0;
    GetSel(start, end);
    auto* item = static_cast<CCmdUI*>(pExtra);
    item->Enable(nID == kPasteCommand ? IsClipboardFormatAvailable(CF_UNICODETEXT) : start != end);
    return TRUE;
  }
  return CEdit::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

bool RunEditCommand(HWND edit, WPARAM command) {
  switch (LOWORD(command)) {
    case kCutCommand:
      SendMessageW(edit, WM_CUT, 0, 0);
      return true;
    case kCopyCommand:
      SendMessageW(edit, WM_COPY, 0, 0);
      return true;
    case kPasteCommand:
      SendMessageW(edit, WM_PASTE, 0, 0);
      return true;
    default:
      return false;
  }
}

LRESULT QvComEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN && !(GetStyle() & ES_PASSWORD) && IsTapAndHold(m_hWnd, lParam)) {
    SetFocus();
    POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
    ::ClientToScreen(m_hWnd, &p);
    TrackEditPopupMenu(this, kEditMenuId, p, 0, (GetStyle() & ES_READONLY) != 0);
    return 0;
  }
  if (message == WM_COMMAND && lParam == 0 && RunEditCommand(m_hWnd, wParam)) return 0;
  return CEdit::WindowProc(message, wParam, lParam);
}

LRESULT QvCLREdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  // A held key repeats its downs: the page is asked to close once a press.
  const bool repeat = (lParam & (1 << 30)) != 0;
  if (message == WM_KEYDOWN && wParam == VK_BACK && !repeat && GetWindowTextLength() == 0) {
    ::PostMessageW(::GetParent(m_hWnd), kBackMessage, 0, 0);
  }
  return QvComEdit::WindowProc(message, wParam, lParam);
}
