// The version dialog: the installed version as the registry keeps it
// ("Version" under the program key, written as "4.2" when it is missing).
#pragma once

#include "platform/framework/CDialog.h"

class QvVersionDlg : public CDialog {
 public:
  static constexpr UINT kTemplateId = 130;
  static constexpr int kVersionText = 1211;

  QvVersionDlg() : CDialog(kTemplateId, nullptr) {}

  BOOL OnInitDialog() override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// The main frame's version command opens the dialog.
void InstallVersionDialog();
