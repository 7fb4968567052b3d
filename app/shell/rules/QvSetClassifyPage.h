// The rule editor: a rule's name, the header it looks at, the keyword, which
// mail it applies to and the folder it files into. Opened from the rule
// list and from the mail list's "make a rule from this mail", which gives
// the message's texts: the header chosen fills the keyword with its text
// until the user types into the keyword.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "app/foundation/QvComEdit.h"
#include "app/foundation/QvScrollPage.h"
#include "app/foundation/QvSinglePropertySheet.h"
#include "app/mailops/QvAccountSettings.h"
#include "platform/framework/CComboBox.h"

class QvSetClassifyPage : public QvScrollPage {
 public:
  static constexpr UINT kTemplate = 119;
  enum Control { kName = 1047, kHeader = 1027, kKeyword = 1050, kTarget = 1132, kDestination = 1131, kChoose = 1120 };
  static constexpr int kMaxName = 10;
  static constexpr int kMaxKeyword = 128;
  static constexpr UINT kMissingWarning = 20050;
  static constexpr UINT kSameNameWarning = 20035;
  static constexpr uint32_t kNoNamesCode = 20493;
  static constexpr UINT kChooserCaption = 20156;
  // The message's texts, by header: recipients, sender, copy recipients,
  // subject, and the empty text of "X-ML-name".
  using MessageTexts = std::array<std::wstring, 5>;

  static const wchar_t* const kHeaders[5];
  static const wchar_t* const kTargets[3];

  // `rule` is written only on OK; `otherNames` (the names of the other
  // rules) may be null, which OK then reports.
  QvSetClassifyPage(QvClassificationRuleRow* rule, const std::vector<std::wstring>* otherNames,
                    const MessageTexts* texts = nullptr);

  BOOL OnInitDialog() override;
  BOOL OnKillActive() override;
  void OnOK() override;

  DWORD Destination() const { return destination_; }

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  afx_msg void OnHeaderChanged();
  afx_msg void OnKeywordChanged();
  afx_msg void OnChoose();
  DECLARE_MESSAGE_MAP()

 private:
  void FillKeywordFromMessage();
  void ShowDestination();
  bool Refuse(UINT warning, int focus);

  QvClassificationRuleRow* rule_;
  const std::vector<std::wstring>* otherNames_;
  bool hasTexts_ = false;
  MessageTexts texts_;
  CString name_;
  CString keyword_;
  int header_ = 0;
  int target_ = 0;
  DWORD destination_ = 0;
  bool keywordTyped_ = false;
  bool filling_ = false;
  QvComEdit nameField_;
  QvComEdit keywordField_;
  CComboBox headerList_;
  CComboBox targetList_;
};

// Hosts the editor for `rule` in `sheet`, captioned "振り分け設定：" with the
// current account's name; the engine-error box 20488 when the page cannot be made.
bool SetupClassifyPage(QvSinglePropertySheet& sheet, QvClassificationRuleRow* rule,
                       const std::vector<std::wstring>* otherNames,
                       const QvSetClassifyPage::MessageTexts* texts = nullptr);
