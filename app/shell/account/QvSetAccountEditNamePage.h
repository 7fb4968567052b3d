// The account's name, for a new account (mode 0, menu bar 150) or a rename
// (mode 1, menu bar 151); template 114. Names are compared with the others
// without regard to case, as the store compares them.
#pragma once

#include <string>
#include <vector>

#include "app/shell/account/QvAccountScrollPage.h"
#include "platform/framework/CString.h"

class QvSetAccountEditNamePage : public QvAccountScrollPage {
 public:
  static constexpr UINT kTemplate = 114;
  static constexpr int kNameField = 1052;
  static constexpr int kMaxName = 10;
  enum Mode { kNew = 0, kRename = 1 };
  static constexpr UINT kRequiredText = 20046, kTooLongText = 20154, kBadCharText = 20069, kDuplicateText = 20030,
                        kConfirmRenameText = 20177;

  QvSetAccountEditNamePage(Mode mode, std::vector<std::wstring> existing);

  CString name;

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnApply() override;

 private:
  void Warn(const CString& text);

  Mode mode_;
  std::vector<std::wstring> existing_;
};

// True when `name` equals one of `names` as the store compares account names.
bool AccountNameTaken(const std::wstring& name, const std::vector<std::wstring>& names);
