#include "app/shell/account/QvSetAccountDetailPage.h"

#include "app/foundation/QvSinglePropertySheet.h"
#include "app/shell/account/QvSetAccountSendServerPage.h"
#include "platform/framework/DataExchange.h"

BOOL QvSetAccountDetailPage::OnInitDialog() {
  for (int id : {kPopPort, kSmtpPort, kLatency}) AddField(id, QvAccountField::kNumber, L"");
  const BOOL r = QvAccountScrollPage::OnInitDialog();
  for (int id : {kPopPort, kSmtpPort}) ::SendDlgItemMessageW(m_hWnd, id, EM_LIMITTEXT, 5, 0);
  ::SendDlgItemMessageW(m_hWnd, kLatency, EM_LIMITTEXT, 2, 0);
  UpdateEnabling();
  return r;
}

void QvSetAccountDetailPage::DoDataExchange(CDataExchange* dx) {
  ExchangeNumber(dx, kPopPort, popPort, kPortLow, kPortHigh, popPort);
  ExchangeNumber(dx, kSmtpPort, smtpPort, kPortLow, kPortHigh, smtpPort);
  DDX_Check(dx, kApop, apop);
  DDX_Check(dx, kSsl, ssl);
  DDX_Check(dx, kSendAuth, sendAuth);
  DDX_Check(dx, kPopBeforeSmtp, popBeforeSmtp);
  ExchangeNumber(dx, kLatency, latency, 0, kLatencyHigh, kLatencyWhenEmpty);
  DDX_Check(dx, kSmtpAuth, smtpAuth);
  DDX_Check(dx, kSeparateUser, separateUser);
}

void QvSetAccountDetailPage::UpdateEnabling() {
  if (carrier) {
    // The carrier's account: nothing here is the user's to change.
    for (HWND c = ::GetWindow(m_hWnd, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) ::EnableWindow(c, FALSE);
    return;
  }
  const bool send = Checked(kSendAuth);
  Enable(kPopBeforeSmtp, send);
  Enable(kSmtpAuth, send);
  Enable(kLatency, send && Checked(kPopBeforeSmtp));
  Enable(kSeparateUser, send && Checked(kSmtpAuth));
  Enable(kSmtpUserButton, send && Checked(kSmtpAuth) && Checked(kSeparateUser));
}

void QvSetAccountDetailPage::OnSmtpUser() {
  QvSetAccountSendServerPage page;
  page.user = smtpUser;
  page.password = smtpPassword;
  page.savePassword = saveSmtpPassword;
  CString caption;
  caption.Format(L"送信サーバー設定：%s", static_cast<LPCWSTR>(accountName));
  QvSinglePropertySheet sheet(caption, this);
  sheet.AddPage(&page);
  if (sheet.DoModal() != IDOK) return;
  smtpUser = page.user;
  smtpPassword = page.password;
  saveSmtpPassword = page.savePassword;
}

LRESULT QvSetAccountDetailPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    switch (LOWORD(wParam)) {
      case kSendAuth:
      case kPopBeforeSmtp:
      case kSmtpAuth:
      case kSeparateUser:
        UpdateEnabling();
        return 0;
      case kSmtpUserButton:
        OnSmtpUser();
        return 0;
      default:
        break;
    }
  }
  return QvAccountScrollPage::WindowProc(message, wParam, lParam);
}
