#include "app/foundation/QvComSaveMsgDlg.h"

#include "app/foundation/MessageBoxes.h"
#include "platform/framework/MessageMap.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"

BEGIN_MESSAGE_MAP(QvComSaveMsgDlg, QvTimedDialog)
  ON_WM_PAINT()
END_MESSAGE_MAP()

QvComSaveMsgDlg::QvComSaveMsgDlg(LPCWSTR caption, LPCWSTR text, int timer, CWnd* parent)
    : QvTimedDialog(kSaveNoticeTemplate, parent),
      caption_(caption ? caption : L""),
      text_(text ? text : L""),
      timer_(timer) {}

BOOL QvComSaveMsgDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetWindowPos(nullptr, 80, 150, 300, 170, SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowText(caption_);
  CentreBoxOverOwner(m_hWnd);
  StartAnswerTimer(timer_);
  return TRUE;
}

void QvComSaveMsgDlg::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(m_hWnd, &ps);
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  {
    const qv::ScopedSelectObject withFont(dc, reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
    ::SetBkMode(dc, TRANSPARENT);
    ::DrawTextW(dc, L"保存しました", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  ::EndPaint(m_hWnd, &ps);
}
