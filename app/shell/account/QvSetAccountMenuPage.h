// The account menu: the accounts in the engine's order with the open one
// marked, and new, edit, rename and delete (template 116). Delete is only
// for a selected account other than the open one.
#pragma once

#include <string>
#include <vector>

#include "app/foundation/QvScrollPage.h"
#include "app/foundation/QvSingleColumnListCtrl.h"
#include "platform/framework/CImageList.h"

class QvSetAccountMenuPage : public QvScrollPage {
 public:
  static constexpr UINT kTemplate = 116;
  enum Control { kList = 1075, kNew = 1009, kEdit = 1018, kRename = 1203, kDelete = 1013 };
  static constexpr UINT kImagesBitmap = 303;
  static constexpr int kColumnWidth = 200;
  static constexpr int kMaxAccounts = 10;
  static constexpr UINT kNoAccountText = 20053, kDeleteQuestion = 20039;
  static constexpr UINT kInsertFailedCode = 20489;
  // End the hosting sheet with this id as its result.
  static constexpr UINT kEndCommands[] = {40072, 40085};

  QvSetAccountMenuPage() : QvScrollPage(kTemplate) {}

  BOOL OnInitDialog() override;
  // Refused while a sheet of its own runs over it.
  BOOL OnKillActive() override;
  BOOL PreTranslateMessage(MSG* msg) override;

  const std::vector<std::wstring>& Names() const { return names_; }
  int Selected() const { return selected_; }
  QvSingleColumnListCtrl& List() { return list_; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Fill();
  void Layout();
  void Select(int index);
  void UpdateButtons();
  void OnNew();
  void OnEdit();
  void OnRename();
  void OnDelete();
  bool MoveFocus(UINT key);

  QvSingleColumnListCtrl list_;
  CImageList images_;
  std::vector<std::wstring> names_;
  std::wstring current_;
  int selected_ = -1;
  int busy_ = 0;
};

// The account menu in a sheet of its own captioned "アカウント一覧".
void RunAccountListSheet(CWnd* parent);
