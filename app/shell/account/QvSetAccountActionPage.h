// The account sheet's third page: the network connection and receiving
// (template 110, menu bar 151).
#pragma once

#include <cstdint>

#include "app/shell/account/QvAccountScrollPage.h"
#include "platform/framework/CString.h"
#include "platform/net/ConnMgr.h"

class QvSetAccountActionPage : public QvAccountScrollPage {
 public:
  static constexpr UINT kTemplate = 110;
  enum Control {
    kNetwork = 1026, kLeaveOnServer = 1034, kPartial = 1037, kPartialLines = 1059, kSendInAMinute = 1039,
    kRemoveOld = 1033, kRemoveOldCount = 1051, kAutoReceive = 1031, kAutoRetry = 1038, kRetryCount = 1029,
  };
  static constexpr UINT kNoNetworkText = 20074;

  QvSetAccountActionPage() : QvAccountScrollPage(kTemplate, 151, true) {}

  GUID network{};
  int leaveOnServer = 0, partial = 0, sendInAMinute = 0, removeOld = 0, autoReceive = 0, autoRetry = 0;
  uint32_t partialLines = 10, removeOldCount = 500, retryCount = 1;
  bool carrier = false;
  bool warnAtOnce = false;

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnApply() override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void UpdateEnabling();
  void WarnNoNetwork();

  CString networkName_;
  CString retryText_;
};
