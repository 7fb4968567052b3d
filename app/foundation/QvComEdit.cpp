#include "app/foundation/QvComEdit.h"

#include "platform/framework/AfxResource.h"
#include "platform/shell/ShellUi.h"

bool IsTapAndHold(HWND edit, LPARAM point) {
  SHRGINFO info{sizeof(SHRGINFO), edit, {static_cast<SHORT>(LOWORD(point)), static_cast<SHORT>(HIWORD(point))},
                SHRG_RETURNCMD};
  return SHRecognizeGesture(&info) == GN_CONTEXTMENU;
}

void TrackEditPopupMenu(HWND edit, POINT screen) {
  HMENU menu = LoadMenuW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kEditMenuId));
  if (!menu) return;
  if (HMENU popup = GetSubMenu(menu, 0)) {
    if (GetWindowLongW(edit, GWL_STYLE) & ES_READONLY) {
      DeleteMenu(popup, kCutCommand, MF_BYCOMMAND);
      DeleteMenu(popup, kPasteCommand, MF_BYCOMMAND);
    }
    DWORD start = 0, end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const UINT selection = start != end ? MF_ENABLED : MF_GRAYED;
    EnableMenuItem(popup, kCutCommand, MF_BYCOMMAND | selection);
    EnableMenuItem(popup, kCopyCommand, MF_BYCOMMAND | selection);
    EnableMenuItem(popup, kPasteCommand, MF_BYCOMMAND | (IsClipboardFormatAvailable(CF_UNICODETEXT) ? MF_ENABLED : MF_GRAYED));
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN, screen.x, screen.y, 0, edit, nullptr);
  }
  DestroyMenu(menu);
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
    TrackEditPopupMenu(m_hWnd, p);
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
