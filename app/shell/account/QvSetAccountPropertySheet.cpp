#include "app/shell/account/QvSetAccountPropertySheet.h"

#include <algorithm>
#include <vector>

#include "app/mailops/AccountOperations.h"
#include "app/protocol/Commands.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/account/NetworkDestinations.h"

namespace {

// The account the sheet being made is for: its title names it.
thread_local const std::wstring* t_titleName = nullptr;

int TitleCallback(HWND hwnd, UINT message, LPARAM lParam) {
  if (message == PSCB_GETTITLE && lParam && t_titleName) {
    CString title;
    title.Format(L"設定：%s", t_titleName->c_str());
    auto* buffer = reinterpret_cast<LPWSTR>(lParam);
    const size_t n = std::min(static_cast<size_t>(title.GetLength()), static_cast<size_t>(PROPSHEET_TITLE_CHARS - 1));
    std::copy_n(title.GetString(), n, buffer);
    buffer[n] = L'\0';
  }
  return AfxPropSheetCallback(hwnd, message, lParam);
}

int Check(bool on) { return on ? BST_CHECKED : BST_UNCHECKED; }
bool On(int check) { return check == BST_CHECKED; }
CString Text(const std::wstring& s) { return CString(s.c_str()); }

}  // namespace

QvSetAccountPropertySheet::QvSetAccountPropertySheet(const std::wstring& accountName, CWnd* parent, UINT startPage)
    : CPropertySheet(kCaptionId, parent, startPage), accountName_(accountName) {
  m_psh.pfnCallback = TitleCallback;
  AddPage(&mainPage);
  AddPage(&detailPage);
  AddPage(&actionPage);
}

INT_PTR QvSetAccountPropertySheet::DoModal() {
  const std::wstring* outer = t_titleName;
  t_titleName = &accountName_;
  const INT_PTR r = CPropertySheet::DoModal();
  t_titleName = outer;
  return r;
}

LRESULT QvSetAccountPropertySheet::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  // The page asks before the changes are dropped, and knows whether Back may close.
  const bool cancel = message == WM_COMMAND && LOWORD(wParam) == IDCANCEL;
  if (cancel || message == kBackMessage) {
    HWND page = reinterpret_cast<HWND>(::SendMessageW(m_hWnd, PSM_GETCURRENTPAGEHWND, 0, 0));
    if (page && cancel) {
      ::SendMessageW(page, WM_COMMAND, kDoneCommand, 0);
      return 0;
    }
    if (page) return ::SendMessageW(page, message, wParam, lParam);
  }
  return CPropertySheet::WindowProc(message, wParam, lParam);
}

void QvSetAccountPropertySheet::Load(const QvAccountSettings& s) {
  QvSetAccountMainPage& m = mainPage;
  m.accountName = Text(s.name);
  m.carrier = s.bTaccount;
  m.senderName = Text(s.strSenderName);
  m.senderAddress = Text(s.strSenderAddress);
  m.useSignature = Check(s.bUseSignature);
  m.popServer = Text(s.strPopServerName);
  m.smtpServer = Text(s.strSmtpServerName);
  m.popUser = Text(s.strPopUserName);
  m.popPassword = Text(s.strPopPasswd);
  m.savePassword = Check(s.bPopPasswdSavingEnabled);
  m.signatures = s.signatures;
  m.signatures.resize(2);
  m.signatureChoice = s.iUseSignature == 2 ? 1 : 0;
  m.periodic = s.bPeriodicRetrievingEnabled;

  QvSetAccountDetailPage& d = detailPage;
  d.accountName = m.accountName;
  d.carrier = s.bTaccount;
  d.popPort = s.uiPopServerPort;
  d.smtpPort = s.uiSmtpServerPort;
  d.apop = Check(s.bAPOPEnabled);
  d.ssl = Check(s.bSSLEnabled);
  d.sendAuth = Check(s.bSmtpSvrAuthEnabled);
  d.popBeforeSmtp = Check(s.bPopBeforeSmtpEnabled);
  d.latency = s.ulPopBeforeSmtpLatencySec;
  d.smtpAuth = Check(s.bSmtpAuthEnabled);
  d.separateUser = Check(!s.bUseSameUserPass);
  d.smtpUser = Text(s.strSmtpUserName);
  d.smtpPassword = Text(s.strSmtpPasswd);
  d.saveSmtpPassword = Check(s.bSmtpPasswdSavingEnabled);

  QvSetAccountActionPage& a = actionPage;
  a.carrier = s.bTaccount;
  a.network = s.guidNetworkSetting;
  a.leaveOnServer = Check(s.bMessageLeavingEnabled);
  a.partial = Check(s.bPartialRetrievingEnabled);
  a.partialLines = s.uiPartialRetrievingLines;
  a.sendInAMinute = Check(s.bSendMessageInAMinuteEnabled);
  a.removeOld = Check(s.bRemoveOldMessageEnabled);
  a.removeOldCount = s.ulRemoveOldMessageCnt;
  a.autoReceive = Check(s.bAutoMailRetrievingEnabled);
  a.autoRetry = Check(s.bAutoMailRetrievingRetryEnabled);
  a.retryCount = s.uiAutoMailRetrievingRetryCnt;
}

void QvSetAccountPropertySheet::Store(QvAccountSettings* s) const {
  const QvSetAccountMainPage& m = mainPage;
  s->strSenderName = m.senderName.str();
  s->strSenderAddress = m.senderAddress.str();
  s->bUseSignature = On(m.useSignature);
  s->strPopServerName = m.popServer.str();
  s->strSmtpServerName = m.smtpServer.str();
  s->strPopUserName = m.popUser.str();
  s->bPopPasswdSavingEnabled = On(m.savePassword);
  // A password that is not to be saved never reaches the disk.
  s->strPopPasswd = s->bPopPasswdSavingEnabled ? m.popPassword.str() : std::wstring();
  s->signatures = m.signatures;
  s->iUseSignature = m.signatureChoice == 1 ? 2 : 1;

  const QvSetAccountDetailPage& d = detailPage;
  s->uiPopServerPort = d.popPort;
  s->uiSmtpServerPort = d.smtpPort;
  s->bAPOPEnabled = On(d.apop);
  s->bSSLEnabled = On(d.ssl);
  s->bSmtpSvrAuthEnabled = On(d.sendAuth);
  s->bPopBeforeSmtpEnabled = On(d.popBeforeSmtp);
  s->ulPopBeforeSmtpLatencySec = d.latency;
  s->bSmtpAuthEnabled = On(d.smtpAuth);
  s->bUseSameUserPass = !On(d.separateUser);
  s->strSmtpUserName = d.smtpUser.str();
  s->bSmtpPasswdSavingEnabled = On(d.saveSmtpPassword);
  s->strSmtpPasswd = s->bSmtpPasswdSavingEnabled ? d.smtpPassword.str() : std::wstring();

  const QvSetAccountActionPage& a = actionPage;
  s->guidNetworkSetting = a.network;
  s->bMessageLeavingEnabled = On(a.leaveOnServer);
  s->bPartialRetrievingEnabled = On(a.partial);
  s->uiPartialRetrievingLines = a.partialLines;
  s->bSendMessageInAMinuteEnabled = On(a.sendInAMinute);
  s->bRemoveOldMessageEnabled = On(a.removeOld);
  s->ulRemoveOldMessageCnt = a.removeOldCount;
  s->bAutoMailRetrievingEnabled = On(a.autoReceive);
  s->bAutoMailRetrievingRetryEnabled = On(a.autoRetry);
  s->uiAutoMailRetrievingRetryCnt = a.retryCount;
}

QvAccountSettings DefaultAccountSettings(const std::wstring& name) {
  QvAccountSettings s;
  s.name = name;
  s.strAccountName = name;
  s.signatures = {L"", L""};
  s.uiPopServerPort = 110;
  s.uiSmtpServerPort = 25;
  s.bUseSignature = true;
  s.iUseSignature = 1;
  s.bPopBeforeSmtpEnabled = true;
  s.ulPopBeforeSmtpLatencySec = 2;
  s.bSendMessageInAMinuteEnabled = true;
  s.uiPartialRetrievingLines = 10;
  s.ulRemoveOldMessageCnt = 500;
  s.uiAutoMailRetrievingRetryCnt = 1;
  s.guidNetworkSetting = PreferredNetworkDestination();
  return s;
}

bool EditAccount(CWnd* parent, const std::wstring& name, bool existing, UINT startPage) {
  QvAccountSettings settings = DefaultAccountSettings(name);
  if (existing) {
    QvAccountSettings read;
    if (!LoadAccountSettings(name, &read)) return false;
    settings = std::move(read);
    settings.signatures.resize(2);
  }
  const bool autoBefore = settings.bAutoMailRetrievingEnabled;
  bool warnAtOnce = false;
  for (;;) {
    QvSetAccountPropertySheet sheet(name, parent, startPage);
    sheet.Load(settings);
    sheet.actionPage.warnAtOnce = warnAtOnce;
    if (sheet.DoModal() != IDOK) return false;
    sheet.Store(&settings);
    bool periodicOn = false;
    unsigned minutes = 0;
    // Periodic receiving cannot ask for a password: without a saved one the
    // account leaves the periodic list.
    if (GetPeriodicRecvSetting(&periodicOn, &minutes) && periodicOn && settings.bPeriodicRetrievingEnabled &&
        !settings.bPopPasswdSavingEnabled) {
      settings.bPeriodicRetrievingEnabled = false;
      std::vector<std::wstring> periodic;
      if (GetPeriodicRecvAccounts(&periodic, 0)) {
        const auto gone = std::remove(periodic.begin(), periodic.end(), name);
        if (gone != periodic.end()) {
          periodic.erase(gone, periodic.end());
          SetPeriodicRecvAccounts(periodic, 0);
        }
      }
    }
    if (settings.ulPopBeforeSmtpLatencySec > 60) settings.ulPopBeforeSmtpLatencySec = 2;
    if (settings.uiPartialRetrievingLines == 0 || settings.uiPartialRetrievingLines > 600) {
      settings.uiPartialRetrievingLines = 10;
    }
    if (settings.ulRemoveOldMessageCnt == 0 || settings.ulRemoveOldMessageCnt > 500) {
      settings.ulRemoveOldMessageCnt = 500;
    }
    if (!IsNullGuid(settings.guidNetworkSetting)) break;
    // No connection chosen: once more, on the connection page, which says so.
    startPage = QvSetAccountPropertySheet::kActionPage;
    warnAtOnce = true;
  }
  if (!SaveAccountSettings(name, settings)) return false;
  if (settings.bTaccount && settings.bAutoMailRetrievingEnabled != autoBefore) {
    SetDefaultMailer(settings.bAutoMailRetrievingEnabled ? 1 : 0);
  }
  return true;
}
