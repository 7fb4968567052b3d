#include "app/shell/account/QvSetAccountSignPage.h"

#include "platform/framework/DataExchange.h"

BOOL QvSetAccountSignPage::OnInitDialog() {
  signatures.resize(2);
  views_[0].SubclassDlgItem(kFirst, this);
  views_[1].SubclassDlgItem(kSecond, this);
  for (int id : {kFirst, kSecond}) ::SendDlgItemMessageW(m_hWnd, id, EM_LIMITTEXT, kLimit, 0);
  return QvAccountScrollPage::OnInitDialog();
}

void QvSetAccountSignPage::DoDataExchange(CDataExchange* dx) {
  CString first = signatures[0].c_str(), second = signatures[1].c_str();
  DDX_Text(dx, kFirst, first);
  DDV_MaxChars(dx, first, kLimit);
  DDX_Text(dx, kSecond, second);
  DDV_MaxChars(dx, second, kLimit);
  int radio = choice == 1 ? 1 : 0;
  DDX_Radio(dx, kUseFirst, radio);
  if (!dx->m_bSaveAndValidate) return;
  signatures = {first.str(), second.str()};
  choice = radio == 1 ? 1 : 0;
}
