#include "app/shell/settingbox/QvSettingBoxDlg.h"

#include "app/foundation/UiMenus.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/MailTaskState.h"
#include "app/protocol/WindowMessages.h"

namespace {

QvSettingBoxDlg::Actions& Installed() {
  static QvSettingBoxDlg::Actions actions;
  return actions;
}

constexpr int kSettingsImage = 3;

}  // namespace

void QvSettingBoxDlg::SetActions(Actions actions) { Installed() = std::move(actions); }

QvSettingBoxDlg::Actions& QvSettingBoxDlg::InstalledActions() { return Installed(); }

BOOL QvSettingBoxDlg::OnInitDialog() {
  QvBaseBoxDlg::OnInitDialog();
  CreateMenuBar(m_hWnd, kMenuBarId);
  static const wchar_t* const kTexts[kItemCount] = {L"まとめて受信", L"サーバーから削除", L"アカウント設定",
                                                    L"オプション設定"};
  for (int i = 0; i < kItemCount; ++i) list_.AddItem(i, kTexts[i], kSettingsImage, 0, false, 0);
  list_.SelectAndShow(0);
  titleBar_.HideCount();
  list_.SetFocus();
  return FALSE;  // the list has the focus
}

void QvSettingBoxDlg::OpenSelectedItem() {
  const Actions& run = Installed();
  switch (list_.GetSelectedIndex()) {
    case kRoundReceive:
      if (run.roundReceive) run.roundReceive(this);
      break;
    case kDeleteOnServer:
      if (CheckMailTaskBusy(this)) break;
      if (run.deleteOnServer) run.deleteOnServer(this);
      break;
    case kAccountList: {
      const CString before = GetCurrentAccountName();
      if (run.accountList) run.accountList(this, before);
      // The frame reopens the account (1) or switches to the one chosen (0).
      if (HWND frame = GetMainWindowHandle()) {
        ::SendMessageW(frame, kAccountListChangedMessage, GetCurrentAccountName() == before ? 1 : 0, 0);
      }
      break;
    }
    case kOptions:
      if (run.periodicSettings) run.periodicSettings(this);
      break;
    default:
      break;
  }
}
