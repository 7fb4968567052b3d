// The settings launcher behind the launcher's "設定": receive from every
// round-receive account, delete the account's mail on the server, the
// account list, and the periodic receive settings.
#pragma once

#include <functional>

#include "app/shell/boxdlg/QvBaseBoxDlg.h"

class QvSettingBoxDlg : public QvBaseBoxDlg {
 public:
  static constexpr UINT kMenuBarId = 193;
  enum Item { kRoundReceive = 0, kDeleteOnServer = 1, kAccountList = 2, kOptions = 3, kItemCount = 4 };

  // What the items run, from the screens and operations that own them;
  // each runs modally over `parent`. Unset, the item does nothing.
  struct Actions {
    std::function<void(CWnd* parent)> roundReceive;
    std::function<void(CWnd* parent)> deleteOnServer;
    // The account menu page in a sheet captioned "アカウント一覧", for that account.
    std::function<void(CWnd* parent, const CString& account)> accountList;
    std::function<void(CWnd* parent)> periodicSettings;
  };
  static void SetActions(Actions actions);
  // The installed actions, for a screen that installs its own item alone.
  static Actions& InstalledActions();

  QvSettingBoxDlg(LPCTSTR caption, CWnd* parent) : QvBaseBoxDlg(caption, parent) {}

  BOOL OnInitDialog() override;
  void OpenSelectedItem() override;
};
