#include "app/shell/account/QvSetAccountMainPage.h"

#include "app/foundation/UiText.h"
#include "app/mailops/AccountOperations.h"
#include "app/shell/account/QvSetAccountSignPage.h"
#include "app/foundation/QvSinglePropertySheet.h"
#include "platform/framework/DataExchange.h"

namespace {

constexpr wchar_t kAddressLabel[] = L"メールアドレス";
constexpr wchar_t kPopLabel[] = L"サーバー 受信(POP3)";
constexpr wchar_t kSmtpLabel[] = L"サーバー 送信(SMTP)";
constexpr wchar_t kUserLabel[] = L"ユーザー名";
constexpr wchar_t kPasswordLabel[] = L"パスワード";
constexpr wchar_t kLeaveAddressTrace[] = L"--QvSetAccountMainPage::OnEnKillfocusEditSenderAddr()\r\n";

bool HasBlankOrControl(const CString& text) {
  for (int i = 0; i < text.GetLength(); ++i) {
    if (text[i] <= L' ' || text[i] == 0x7F) return true;
  }
  return false;
}

}  // namespace

BOOL QvSetAccountMainPage::OnInitDialog() {
  AddField(kSenderAddress, QvAccountField::kAscii, kAddressLabel, nullptr, kLeaveAddressTrace);
  AddField(kPopServer, QvAccountField::kAscii, kPopLabel, nullptr, kLeaveAddressTrace);
  AddField(kSmtpServer, QvAccountField::kAscii, kSmtpLabel, nullptr, kLeaveAddressTrace);
  AddField(kPopUser, QvAccountField::kAscii, kUserLabel, nullptr, kLeaveAddressTrace);
  AddField(kPopPassword, QvAccountField::kAscii, kPasswordLabel,
           L"--QvSetAccountMainPage::OnEnSetfocusEditPopPassword()\r\n",
           L"--QvSetAccountMainPage::OnEnKillfocusEditPopPassword()\r\n");
  const BOOL r = QvAccountScrollPage::OnInitDialog();
  bool on = false;
  unsigned minutes = 0;
  if (GetPeriodicRecvSetting(&on, &minutes)) periodicReceiveOn = on;
  if (carrier) {
    // The carrier's account comes set up: its servers and login are fixed.
    for (int id : {kSenderAddress, kPopServer, kSmtpServer, kPopUser, kPopPassword, kSavePassword}) Enable(id, false);
  }
  return r;
}

void QvSetAccountMainPage::DoDataExchange(CDataExchange* dx) {
  DDX_Text(dx, kSenderName, senderName);
  DDV_MaxChars(dx, senderName, kNameLimit);
  DDX_Text(dx, kSenderAddress, senderAddress);
  DDV_MaxChars(dx, senderAddress, kNameLimit);
  DDX_Check(dx, kUseSignature, useSignature);
  DDX_Text(dx, kPopServer, popServer);
  DDV_MaxChars(dx, popServer, kServerLimit);
  DDX_Text(dx, kSmtpServer, smtpServer);
  DDV_MaxChars(dx, smtpServer, kServerLimit);
  DDX_Text(dx, kPopUser, popUser);
  DDV_MaxChars(dx, popUser, kServerLimit);
  DDX_Text(dx, kPopPassword, popPassword);
  DDV_MaxChars(dx, popPassword, kServerLimit);
  DDX_Check(dx, kSavePassword, savePassword);
}

BOOL QvSetAccountMainPage::OnApply() {
  if (carrier) return QvAccountScrollPage::OnApply();
  struct Field {
    int id;
    const CString* text;
    const wchar_t* label;
  };
  const Field required[] = {{kSenderAddress, &senderAddress, kAddressLabel},
                            {kPopServer, &popServer, kPopLabel},
                            {kSmtpServer, &smtpServer, kSmtpLabel},
                            {kPopUser, &popUser, kUserLabel}};
  for (const Field& f : required) {
    if (f.text->IsEmpty()) {
      Refuse(kRequiredText, f.label, f.id);
      return FALSE;
    }
  }
  const Field ascii[] = {required[0], required[1], required[2], required[3],
                         {kPopPassword, &popPassword, kPasswordLabel}};
  for (const Field& f : ascii) {
    if (!IsPrintableAscii(*f.text)) {
      Refuse(QvAccountField::kNotAsciiText, f.label, f.id);
      return FALSE;
    }
  }
  // A blank inside a server name reaches no server.
  for (const Field& f : {required[1], required[2]}) {
    if (HasBlankOrControl(*f.text)) {
      Refuse(kBlankInServerText, f.label, f.id);
      return FALSE;
    }
  }
  return QvAccountScrollPage::OnApply();
}

void QvSetAccountMainPage::OnSignature() {
  QvSetAccountSignPage page;
  page.signatures = signatures;
  page.choice = signatureChoice;
  CString caption;
  caption.Format(L"署名：%s", static_cast<LPCWSTR>(accountName));
  QvSinglePropertySheet sheet(caption, this);
  sheet.AddPage(&page);
  if (sheet.DoModal() != IDOK) return;
  signatures = page.signatures;
  signatureChoice = page.choice;
}

LRESULT QvSetAccountMainPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == kSignatureButton && HIWORD(wParam) == BN_CLICKED) {
    OnSignature();
    return 0;
  }
  return QvAccountScrollPage::WindowProc(message, wParam, lParam);
}
