// The account sheet: the main, detail and connection pages over the
// program's copy of one account's settings, captioned "設定：<name>".
// Cancel and Back go to the page shown, which decides.
#pragma once

#include <string>

#include "app/mailops/QvAccountSettings.h"
#include "app/shell/account/QvSetAccountActionPage.h"
#include "app/shell/account/QvSetAccountDetailPage.h"
#include "app/shell/account/QvSetAccountMainPage.h"
#include "platform/framework/CPropertySheet.h"

class QvSetAccountPropertySheet : public CPropertySheet {
 public:
  static constexpr UINT kCaptionId = 20082;
  enum Page { kMainPage = 0, kDetailPage = 1, kActionPage = 2 };

  QvSetAccountPropertySheet(const std::wstring& accountName, CWnd* parent, UINT startPage);

  INT_PTR DoModal() override;

  // The record into the pages, and back after OK (passwords kept only
  // when they are to be saved).
  void Load(const QvAccountSettings& settings);
  void Store(QvAccountSettings* settings) const;

  QvSetAccountMainPage mainPage;
  QvSetAccountDetailPage detailPage;
  QvSetAccountActionPage actionPage;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  std::wstring accountName_;
};

// The account's settings with the defaults a new account starts from.
QvAccountSettings DefaultAccountSettings(const std::wstring& name);

// Runs the sheet for one account from `startPage`; true when the settings
// were saved (a new account is made by the save).
bool EditAccount(CWnd* parent, const std::wstring& name, bool existing, UINT startPage);
