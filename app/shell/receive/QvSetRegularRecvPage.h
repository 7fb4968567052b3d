// The periodic receive page: on or off, the interval in minutes (10 to 99)
// and the accounts that take part. An account whose POP password is not
// saved cannot take part while periodic receiving is on.
#pragma once

#include "app/foundation/QvComEdit.h"
#include "app/shell/receive/QvSetTargetAccountPage.h"

class QvSetRegularRecvPage : public QvSetTargetAccountPage {
 public:
  static constexpr UINT kTemplate = 129;
  static constexpr int kOnBox = 1121;
  static constexpr int kIntervalField = 1123;
  static constexpr int kAccountList = 1125;
  static constexpr int kDefaultMinutes = 15;
  static constexpr int kMinMinutes = 10;
  static constexpr int kMaxMinutes = 99;
  static constexpr UINT kNoPasswordWarning = 20144;
  static constexpr UINT kUncheckedWarning = 20145;

  QvSetRegularRecvPage() : QvSetTargetAccountPage(kTemplate, kAccountList) {}

  BOOL OnInitDialog() override;
  void OnOK() override;

  bool Enabled() const { return on_ != 0; }
  int Minutes() const { return minutes_; }

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  afx_msg void OnOnClicked();
  afx_msg void OnItemChanged(NMHDR* nm, LRESULT* result);
  DECLARE_MESSAGE_MAP()

 private:
  bool HasSavedPassword(const std::wstring& account) const;
  void EnableInterval();

  int on_ = 0;
  int minutes_ = kDefaultMinutes;
  QvCLREdit interval_;
  std::vector<std::wstring> withoutPassword_;
  bool anyChecked_ = false;
  // Set while the page itself changes check marks, so they are not checked again.
  bool filling_ = false;
};
