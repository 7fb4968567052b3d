// The account's two signatures and which one is used (template 118, menu
// bar 148), opened from the first page in a sheet of its own.
#pragma once

#include <string>
#include <vector>

#include "app/foundation/QvSignatureView.h"
#include "app/shell/account/QvAccountScrollPage.h"

class QvSetAccountSignPage : public QvAccountScrollPage {
 public:
  static constexpr UINT kTemplate = 118;
  enum Control { kFirst = 1063, kSecond = 1064, kUseFirst = 1083, kUseSecond = 1085 };
  static constexpr int kLimit = 4096;

  QvSetAccountSignPage() : QvAccountScrollPage(kTemplate, 148, false) {}

  std::vector<std::wstring> signatures;
  int choice = 0;  // 0 the first, 1 the second

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;

 private:
  QvSignatureView views_[2];
};
