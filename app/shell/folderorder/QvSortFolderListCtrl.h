// The list of the folder order page: item 0 the box's own folder, then its
// user folders, each item's data its folder id. A tap below the items
// keeps the selection.
#pragma once

#include "platform/framework/CListCtrl.h"
#include "platform/framework/MessageMap.h"

class QvSortFolderListCtrl : public CListCtrl {
 public:
  // The list of a dialog template taken over: one full-width column,
  // single selection, whole rows.
  BOOL SubclassSortList(UINT id, CWnd* parent);
  int GetSelectedIndex() const { return GetNextItem(-1, LVNI_SELECTED); }
  // Selected, focused and scrolled into view.
  void SelectRow(int index);
  // Exchanges the texts and folder ids of two items.
  void SwapRows(int a, int b);
  // The column as wide as the list.
  void FitColumn();

 protected:
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnLButtonDblClk(UINT flags, CPoint point);
  DECLARE_MESSAGE_MAP()
};

// True for a point below the last item of a list (or any point of an
// empty one): the lists that keep their selection there ask it.
bool IsBelowListItems(const CListCtrl& list, CPoint point);
