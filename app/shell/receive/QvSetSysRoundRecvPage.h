// The round receive page: which accounts "まとめて受信" goes through.
#pragma once

#include "app/shell/receive/QvSetTargetAccountPage.h"

class QvSetSysRoundRecvPage : public QvSetTargetAccountPage {
 public:
  static constexpr UINT kTemplate = 123;
  static constexpr int kAccountList = 1007;

  QvSetSysRoundRecvPage() : QvSetTargetAccountPage(kTemplate, kAccountList) {}

  BOOL OnInitDialog() override;
  void OnOK() override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
