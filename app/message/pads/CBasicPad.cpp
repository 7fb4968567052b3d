#include "app/message/pads/CBasicPad.h"

#include <algorithm>

#include "app/protocol/Commands.h"
#include "app/protocol/WindowMessages.h"
#include "platform/shell/ShellUi.h"
#include "platform/ui/metrics/Metrics.h"

RECT CBasicPad::DefaultRect(const RECT& work, int caption, int itemHeight) {
  int height = (work.bottom - 2 * caption - 8) / 3;
  if (itemHeight > 0 && height > 2) height = (height - 2) / itemHeight * itemHeight + 2;
  const LONG bottom = work.bottom - caption - 8;
  return {work.left, bottom - std::max(height, 0), work.right, bottom};
}

RECT CBasicPad::WorkArea() {
  RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return work;
}

BOOL CBasicPad::OnInitDialog() {
  CDialog::OnInitDialog();
  ModifyStyle(0, WS_CAPTION);
  ModifyStyleEx(0, kOkButtonNoDragStyle | WS_EX_DLGMODALFRAME);
  LayOut();
  return TRUE;
}

void CBasicPad::LayOut() {
  const RECT r = DefaultRect(WorkArea(), ::GetSystemMetrics(SM_CYCAPTION), itemHeight_);
  SetWindowPos(nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  FitFirstChild();
}

void CBasicPad::FitFirstChild() {
  HWND child = ::GetWindow(m_hWnd, GW_CHILD);
  if (!child) return;
  RECT client{};
  GetClientRect(&client);
  ::MoveWindow(child, 0, 0, client.right, client.bottom, TRUE);
}

LRESULT CBasicPad::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kBackMessage:
      PostMessage(WM_COMMAND, IDCANCEL);
      return 0;
    case WM_SETTINGCHANGE:  // the screen turned
      LayOut();
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == kPadCloseCommand) {
        OnCancel();
        return 0;
      }
      break;
    case WM_ACTIVATE:
      // Activated with nothing active before: nobody is left to type into.
      if (LOWORD(wParam) == WA_ACTIVE && lParam == 0) {
        OnCancel();
        return 0;
      }
      break;
    default:
      break;
  }
  return CDialog::WindowProc(message, wParam, lParam);
}
