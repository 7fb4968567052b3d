#include "app/shell/account/QvSetAccountActionPage.h"

#include "app/foundation/MessageBoxes.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/account/NetworkDestinations.h"
#include "platform/framework/CPropertySheet.h"
#include "platform/framework/DataExchange.h"

#include <cwchar>
#include <string>

BOOL QvSetAccountActionPage::OnInitDialog() {
  for (int id : {kPartialLines, kRemoveOldCount}) AddField(id, QvAccountField::kNumber, L"");
  const BOOL r = QvAccountScrollPage::OnInitDialog();
  ::SendDlgItemMessageW(m_hWnd, kPartialLines, EM_LIMITTEXT, 3, 0);
  ::SendDlgItemMessageW(m_hWnd, kRemoveOldCount, EM_LIMITTEXT, 3, 0);
  // The destinations in the manager's order; the account's own, else the
  // last of the carrier's name, else none.
  HWND list = ::GetDlgItem(m_hWnd, kNetwork);
  int chosen = -1, preferred = -1, index = 0;
  for (const NetworkDestination& d : ListNetworkDestinations()) {
    ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(d.name.c_str()));
    if (chosen < 0 && !IsNullGuid(network) && SameGuid(d.guid, network)) chosen = index;
    if (d.name == kPreferredDestinationName) preferred = index;
    ++index;
  }
  ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(chosen >= 0 ? chosen : preferred), 0);
  HWND retry = ::GetDlgItem(m_hWnd, kRetryCount);
  for (const wchar_t* text : {L"1", L"2"}) ::SendMessageW(retry, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  const LRESULT at = ::SendMessageW(retry, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(std::to_wstring(retryCount).c_str()));
  ::SendMessageW(retry, CB_SETCURSEL, static_cast<WPARAM>(at >= 0 ? at : 0), 0);
  UpdateEnabling();
  if (warnAtOnce) ::PostMessageW(m_hWnd, kWarnNoNetworkMessage, 0, 0);
  return r;
}

void QvSetAccountActionPage::DoDataExchange(CDataExchange* dx) {
  DDX_Check(dx, kLeaveOnServer, leaveOnServer);
  DDX_Check(dx, kPartial, partial);
  ExchangeNumber(dx, kPartialLines, partialLines, 1, 600, 10);
  DDX_Check(dx, kSendInAMinute, sendInAMinute);
  DDX_Check(dx, kRemoveOld, removeOld);
  ExchangeNumber(dx, kRemoveOldCount, removeOldCount, 1, 500, 500);
  DDX_Check(dx, kAutoReceive, autoReceive);
  DDX_Check(dx, kAutoRetry, autoRetry);
  // The lists are filled and chosen by the page itself; only read back.
  if (!dx->m_bSaveAndValidate) return;
  DDX_CBString(dx, kNetwork, networkName_);
  DDX_CBStringExact(dx, kRetryCount, retryText_);
  const int count = retryText_.IsEmpty() ? 0 : static_cast<int>(std::wcstol(retryText_, nullptr, 10));
  if (count > 0) retryCount = static_cast<uint32_t>(count);
}

void QvSetAccountActionPage::WarnNoNetwork() {
  ShowWarningBoxRes(m_hWnd, kNoNetworkText);
  ::SetFocus(::GetDlgItem(m_hWnd, kNetwork));
  ShowFocusItem();
}

BOOL QvSetAccountActionPage::OnApply() {
  // The destination may have gone since the page opened: look its name up again.
  bool found = false;
  if (!networkName_.IsEmpty()) {
    for (const NetworkDestination& d : ListNetworkDestinations()) {
      if (d.name == static_cast<LPCWSTR>(networkName_)) {
        network = d.guid;
        found = true;
        break;
      }
    }
  }
  if (!found) {
    if (CPropertySheet* sheet = GetSheet(); sheet && sheet->GetActivePage() != this) sheet->SetActivePage(this);
    WarnNoNetwork();
    return FALSE;
  }
  return QvAccountScrollPage::OnApply();
}

void QvSetAccountActionPage::UpdateEnabling() {
  Enable(kPartialLines, Checked(kPartial));
  Enable(kRemoveOldCount, Checked(kRemoveOld));
  if (!carrier) {
    // Automatic receiving is the carrier account's alone.
    for (int id : {kAutoReceive, kAutoRetry, kRetryCount}) Enable(id, false);
    return;
  }
  Enable(kAutoRetry, Checked(kAutoReceive));
  Enable(kRetryCount, Checked(kAutoReceive) && Checked(kAutoRetry));
}

LRESULT QvSetAccountActionPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kWarnNoNetworkMessage) {
    WarnNoNetwork();
    return 0;
  }
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    switch (LOWORD(wParam)) {
      case kPartial:
      case kRemoveOld:
      case kAutoReceive:
      case kAutoRetry:
        UpdateEnabling();
        return 0;
      default:
        break;
    }
  }
  return QvAccountScrollPage::WindowProc(message, wParam, lParam);
}
