// The folder tree that drops down under another control of its dialog (a
// combo showing the chosen folder's path). It remembers the folder last
// selected through SelectFolder, and tells its parent that a folder was
// chosen (a tap on an item, or Enter) with kHideFolderTreeMessage: wParam
// the tree's control id, lParam 1. Arrow keys that would do nothing stay
// in the tree, so the dialog does not move the focus away.
#pragma once

#include "app/shell/foldertree/QvFolderTreeCtrl.h"

class QvDropDownFolderTreeCtrl : public QvFolderTreeCtrl {
 public:
  static constexpr int kDropHeight = 196;

  // Remembers the id when it is found.
  bool SelectFolder(DWORD folderId) override;
  // Selects the remembered folder again when the selection moved off it.
  void RestoreSelection();
  DWORD RememberedFolder() const { return remembered_; }
  // Just below `control` (a sibling; one pixel overlapping it), as wide as
  // it and kDropHeight high; the z-order stays.
  void PlaceBelow(CWnd* control);

  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnReturn(NMHDR* nm, LRESULT* result);
  DECLARE_MESSAGE_MAP()

  // True for an arrow key that would not move the selection or open or
  // close an item here.
  bool KeyDoesNothing(UINT key) const;

 private:
  void ReportChoice();

  DWORD remembered_ = 0;
};
