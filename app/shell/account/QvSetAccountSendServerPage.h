// The send server's own user and password (template 117, menu bar 148),
// opened from the second page in a sheet of its own.
#pragma once

#include "app/shell/account/QvAccountScrollPage.h"
#include "platform/framework/CString.h"

class QvSetAccountSendServerPage : public QvAccountScrollPage {
 public:
  static constexpr UINT kTemplate = 117;
  enum Control { kUser = 1068, kPassword = 1065, kSavePassword = 1041 };
  static constexpr int kLimit = 256;

  QvSetAccountSendServerPage() : QvAccountScrollPage(kTemplate, 148, false) {}

  CString user, password;
  int savePassword = 0;

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnApply() override;
};
