// The box screens' common dialog (template 194): a title bar over the icon
// list, laid out to the dialog's size. A tap on a row, Enter, or the open
// command opens the chosen item, which each screen supplies; Back cancels.
#pragma once

#include "app/shell/boxdlg/QvFolderListCtrl.h"
#include "app/shell/boxdlg/QvTitleBarCtrl.h"
#include "platform/framework/CDialog.h"

class QvBaseBoxDlg : public CDialog {
 public:
  static constexpr UINT kTemplateId = 194;
  static constexpr int kTitleBarId = 1209;
  static constexpr int kListId = 1208;

  QvBaseBoxDlg(LPCTSTR title, CWnd* parent);
  ~QvBaseBoxDlg() override;

  // Opens the selected item; each screen supplies it.
  virtual void OpenSelectedItem() = 0;

  QvTitleBarCtrl& TitleBar() { return titleBar_; }
  QvFolderListCtrl& List() { return list_; }
  const CString& Title() const { return title_; }

  BOOL OnInitDialog() override;
  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  // The keys of this accelerator table come first (0: none).
  void UseAccelerators(UINT tableId);
  // Enter on the list opens its item; the dialog stays.
  void OnOK() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnOpenItem();
  afx_msg void OnListClick(NMHDR* nm, LRESULT* result);
  DECLARE_MESSAGE_MAP()

  QvTitleBarCtrl titleBar_;
  QvFolderListCtrl list_;

 private:
  void Layout(int cx, int cy);
  void OpenAndRefocus();

  CString title_;
  HACCEL accelerators_ = nullptr;
};
