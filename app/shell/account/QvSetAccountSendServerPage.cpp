#include "app/shell/account/QvSetAccountSendServerPage.h"

#include "app/foundation/UiText.h"
#include "platform/framework/DataExchange.h"

namespace {
constexpr wchar_t kUserLabel[] = L"ユーザー名";
constexpr wchar_t kPasswordLabel[] = L"パスワード";
}  // namespace

BOOL QvSetAccountSendServerPage::OnInitDialog() {
  AddField(kUser, QvAccountField::kAscii, kUserLabel, nullptr,
           L"--QvSetAccountSendServerPage::OnEnKillfocusEditSmtpUserName()\r\n");
  AddField(kPassword, QvAccountField::kAscii, kPasswordLabel, nullptr,
           L"--QvSetAccountSendServerPage::OnEnKillfocusEditSmtpPassword()\r\n");
  return QvAccountScrollPage::OnInitDialog();
}

void QvSetAccountSendServerPage::DoDataExchange(CDataExchange* dx) {
  DDX_Text(dx, kUser, user);
  DDV_MaxChars(dx, user, kLimit);
  DDX_Text(dx, kPassword, password);
  DDV_MaxChars(dx, password, kLimit);
  DDX_Check(dx, kSavePassword, savePassword);
}

BOOL QvSetAccountSendServerPage::OnApply() {
  if (!IsPrintableAscii(user)) {
    Refuse(QvAccountField::kNotAsciiText, kUserLabel, kUser);
    return FALSE;
  }
  if (!IsPrintableAscii(password)) {
    Refuse(QvAccountField::kNotAsciiText, kPasswordLabel, kPassword);
    return FALSE;
  }
  return QvAccountScrollPage::OnApply();
}
