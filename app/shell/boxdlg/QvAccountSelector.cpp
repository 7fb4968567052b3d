#include "app/shell/boxdlg/QvAccountSelector.h"

#include "app/foundation/QvClipboard.h"
#include "app/mailops/AccountOperations.h"
#include "app/protocol/WindowMessages.h"

BEGIN_MESSAGE_MAP(QvAccountSelector, CComboBox)
  ON_WM_KEYDOWN()
END_MESSAGE_MAP()

QvAccountSelector::QvAccountSelector() {
  LOGFONTW lf;
  InitLogFont(&lf, 32, false);
  lf.lfHeight = 32;
  lf.lfCharSet = DEFAULT_CHARSET;
  font_.CreateFontIndirect(&lf);
}

void QvAccountSelector::SetUp() {
  if (m_hWnd) SetFont(&font_, TRUE);
}

void QvAccountSelector::Refill() {
  const CString keep = GetCurrentName();
  ResetContent();
  names_.RemoveAll();
  GetAccountNames(names_);
  for (INT_PTR i = 0; i < names_.GetSize(); ++i) AddString(names_[i]);
  SelectByName(keep);
}

void QvAccountSelector::SelectByName(const CString& name) {
  const int at = name.IsEmpty() ? CB_ERR : FindStringExact(-1, name);
  SetCurSel(at == CB_ERR ? 0 : at);
}

CString QvAccountSelector::GetCurrentName() const {
  const int at = m_hWnd ? GetCurSel() : CB_ERR;
  CString name;
  if (at != CB_ERR) GetLBText(at, name);
  return name;
}

void QvAccountSelector::OnKeyDown(UINT key, UINT repeat, UINT flags) {
  if (key == VK_LEFT || key == VK_RIGHT) return;
  if (key == VK_DOWN || key == VK_UP) {
    if (!GetDroppedState()) {
      if (CWnd* parent = GetParent()) parent->SendMessage(kSelectLauncherItemMessage, key == VK_UP ? 1 : 0, 0);
      return;
    }
    const int count = GetCount();
    const int at = GetCurSel();
    if (count > 0 && key == VK_DOWN && at == count - 1) {
      SetCurSel(0);
      return;
    }
    if (count > 0 && key == VK_UP && at == 0) {
      SetCurSel(count - 1);
      return;
    }
  }
  CComboBox::OnKeyDown(key, repeat, flags);
}
