// The account's classification rules: the list with its buttons (new, edit,
// delete, up, down, delete all) and the view of the selected rule. The
// page works on copies and gives the rules back, in list order, when it
// closes. It lays itself out from template 111 in portrait and 112 in
// landscape, again whenever the screen turns.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/foundation/QvScrollPage.h"
#include "app/mailops/QvAccountSettings.h"
#include "app/shell/rules/QvClassifyItemView.h"
#include "platform/framework/CListBox.h"

class QvSetAccountClassifyPage : public QvScrollPage {
 public:
  static constexpr UINT kPortraitTemplate = 111;
  static constexpr UINT kLandscapeTemplate = 112;
  enum Control { kList = 1076, kNew = 1009, kEdit = 1018, kDelete = 1013, kUp = 1024, kDown = 1017, kDeleteAll = 1014 };
  static constexpr UINT kViewId = 9999;
  static constexpr UINT kDeleteQuestion = 20038;
  static constexpr UINT kDeleteAllQuestion = 20037;

  // The editor a button runs over a rule: true on OK. Replaceable, so that a
  // test drives the list alone; by default the editor in its own sheet.
  using EditorRunner = std::function<bool(CWnd* parent, QvClassificationRuleRow* rule,
                                          const std::vector<std::wstring>& otherNames)>;
  static void SetEditorRunner(EditorRunner runner);

  QvSetAccountClassifyPage(std::vector<QvClassificationRuleRow>* rules, const std::wstring& account);
  ~QvSetAccountClassifyPage() override;

  BOOL OnInitDialog() override;
  void OnOK() override;

  CListBox& List() { return list_; }
  QvClassifyItemView& View() { return view_; }
  // The template the controls stand in now.
  UINT LaidOutTemplate() const { return laidOut_; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  afx_msg void OnNew();
  afx_msg void OnEdit();
  afx_msg void OnDelete();
  afx_msg void OnDeleteAll();
  afx_msg void OnUp();
  afx_msg void OnDown();
  afx_msg void OnSelChange();
  afx_msg void OnDestroy();
  DECLARE_MESSAGE_MAP()

 private:
  QvClassificationRuleRow* RuleAt(int index) const;
  int Insert(int index, const QvClassificationRuleRow& rule);
  void Remove(int index);
  void Select(int index);
  void Update();
  void Layout();
  void GiveBack();
  std::vector<std::wstring> NamesExcept(int index) const;

  std::vector<QvClassificationRuleRow>* rules_;
  std::wstring account_;
  CListBox list_;
  QvClassifyItemView view_;
  UINT laidOut_ = kPortraitTemplate;
};
