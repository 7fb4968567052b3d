// The account sheet's second page: ports, APOP, secure connection and how
// the send server is logged into (template 113, menu bar 151).
#pragma once

#include <cstdint>

#include "app/shell/account/QvAccountScrollPage.h"
#include "platform/framework/CString.h"

class QvSetAccountDetailPage : public QvAccountScrollPage {
 public:
  static constexpr UINT kTemplate = 113;
  enum Control {
    kPopPort = 1056, kSmtpPort = 1066, kApop = 1030, kSsl = 1043, kSendAuth = 1107, kPopBeforeSmtp = 1035,
    kLatency = 1054, kSmtpAuth = 1040, kSeparateUser = 1042, kSmtpUserButton = 1021,
  };
  static constexpr uint32_t kPortLow = 1, kPortHigh = 65535;
  static constexpr uint32_t kLatencyHigh = 60, kLatencyWhenEmpty = 2;

  QvSetAccountDetailPage() : QvAccountScrollPage(kTemplate, 151, true) {}

  uint32_t popPort = 110, smtpPort = 25, latency = 2;
  int apop = 0, ssl = 0, sendAuth = 0, popBeforeSmtp = 0, smtpAuth = 0, separateUser = 0;
  // The SMTP user page's fields.
  CString smtpUser, smtpPassword;
  int saveSmtpPassword = 0;
  CString accountName;
  bool carrier = false;

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void UpdateEnabling();
  void OnSmtpUser();
};
