// The folder order page of a box: the box's own folder on top (it never
// moves), its user folders below in their saved order, and Up and Down to
// move the selected folder. OK stores the order in the box's order file.
// Hosted alone in a sheet captioned "フォルダ並び替え".
#pragma once

#include "app/foundation/QvScrollPage.h"
#include "app/shell/folderorder/QvSortFolderListCtrl.h"
#include "platform/framework/MessageMap.h"

class QvSortFolderPage : public QvScrollPage {
 public:
  static constexpr UINT kTemplateId = 196;
  static constexpr UINT kMenuBarId = 151;
  static constexpr int kListId = 1210;
  static constexpr int kUpId = 1024;
  static constexpr int kDownId = 1017;
  static constexpr const wchar_t* kCaption = L"フォルダ並び替え";

  // boxKind 0 the receive box, 1 the send box.
  explicit QvSortFolderPage(int boxKind);

  BOOL OnInitDialog() override;
  // Stores the order; FALSE (the page stays) when it could not be written.
  BOOL OnApply() override;

  QvSortFolderListCtrl& List() { return list_; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  afx_msg void OnUp();
  afx_msg void OnDown();
  afx_msg void OnItemChanged(NMHDR* nm, LRESULT* result);
  DECLARE_MESSAGE_MAP()

 private:
  void UpdateButtons();
  // After a move: the default button is the one just pressed while it stays
  // enabled, else the other; it takes the focus.
  void FocusMoveButton(int pressed, int other);
  void Layout();

  int boxKind_;
  QvSortFolderListCtrl list_;
};

// Runs the page for the box in its sheet over `parent`; true when the order was stored.
bool RunFolderOrderPage(CWnd* parent, int boxKind);
// The folder screen's order command runs the page.
void InstallFolderOrderPage();
