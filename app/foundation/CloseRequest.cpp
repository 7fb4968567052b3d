#include "app/foundation/CloseRequest.h"

#include <cwchar>

#include "platform/kernel/Sync.h"

CWnd* MainFrameWindow = nullptr;
bool ClosePendingFlag = false;
bool CloseRequestSeenFlag = false;
bool CloseReactivatedFlag = false;

bool IsCloseRequestMessage(UINT message) {
  if (message != kCloseRequestMessage) return false;
  CloseRequestSeenFlag = true;
  return true;
}

void PostCloseRequest() {
  if (MainFrameWindow && MainFrameWindow->m_hWnd) ::PostMessageW(MainFrameWindow->m_hWnd, kCloseRequestMessage, 0, 0);
}

void ForwardPendingClose() {
  ClosePendingFlag = false;
  PostCloseRequest();
}

void CloseForeignDialogs() { EnumWindows(CloseDialogsEnumProc, 0); }

BOOL CloseDialogsEnumProc(HWND window, LPARAM) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId()) return TRUE;
  WCHAR title[100];
  WCHAR className[100];
  if (GetWindowTextW(window, title, 100) <= 0) title[0] = L'\0';
  if (GetClassNameW(window, className, 100) <= 0) className[0] = L'\0';
  if (std::wcscmp(className, L"Dialog") == 0) {
    // The platform's contact dialog ends only through its OK command. The
    // progress window carries the program's title too, and takes the request
    // over (it stops its task first); other windows of that title are left.
    const bool programTitle = std::wcscmp(title, kMainWindowTitle) == 0;
    if (std::wcscmp(title, L"連絡先") == 0) {
      ::SendMessageW(window, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(window));
    } else if (::SendMessageW(window, kCloseRequestMessage, 0, 0) != kCloseTakenOver && !programTitle) {
      ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
  } else if (std::wcscmp(className, L"MSContactChooser") == 0) {
    ::SendMessageW(window, WM_CLOSE, 0, 0);
  }
  return TRUE;
}
