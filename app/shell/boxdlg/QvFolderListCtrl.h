// The icon list of the box screens and the launcher: one owner-drawn,
// headerless, full-width column of 48-pixel rows, each a 32-pixel picture
// and a name followed by its count in blue (bold while it is 1 or more).
// Up on the first row and Down on the last hand the focus to the controls
// set for that, or wrap round; a tap below the rows keeps the selection.
#pragma once

#include <map>

#include "platform/framework/CGdiObject.h"
#include "platform/framework/CImageList.h"
#include "platform/framework/CListCtrl.h"
#include "platform/framework/CString.h"

class QvFolderListCtrl : public CListCtrl {
 public:
  static constexpr UINT kImagesBitmap = 301;
  static constexpr int kRowHeight = 48;
  // The item data of an item without a count.
  static constexpr DWORD_PTR kNoKey = static_cast<DWORD_PTR>(-1);

  QvFolderListCtrl();

  // Pictures, fonts, the one column and the styles; after the window exists.
  bool SetUp();
  // Where Up on the first row and Down on the last move the focus (null: wrap round).
  void SetNeighbours(CWnd* prev, CWnd* next) {
    prev_ = prev;
    next_ = next;
  }

  // Inserts the item; a counted one keeps `data` as its key and, when the
  // count is not 0, the count under it; an uncounted one gets kNoKey.
  int AddItem(int index, LPCTSTR text, int image, int count, bool counted, DWORD_PTR data);
  // An existing entry is overwritten; a new one is made only for a count above 0.
  void SetCount(DWORD_PTR key, int count);
  // 0 when the key has none.
  int CountOf(DWORD_PTR key) const;
  // Every item and every count.
  void ClearItems();
  int GetSelectedIndex() const;
  DWORD_PTR GetItemKey(int index) const;
  DWORD_PTR GetSelectedKey() const;
  // At most 11 characters of the item's text.
  CString GetItemTextShort(int index) const;
  // Selected and focused, scrolled into view.
  void SelectAndShow(int index);

  void DrawItem(LPDRAWITEMSTRUCT dis) override;
  void MeasureItem(LPMEASUREITEMSTRUCT mis);

 protected:
  afx_msg void OnKeyDown(UINT key, UINT repeat, UINT flags);
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnLButtonDblClk(UINT flags, CPoint point);
  DECLARE_MESSAGE_MAP()

 private:
  // True for a point below the last row (or any point of an empty list).
  bool BelowItems(CPoint point) const;

  CImageList images_;
  CFont normal_;
  CFont bold_;
  CWnd* prev_ = nullptr;
  CWnd* next_ = nullptr;
  std::map<DWORD_PTR, int> counts_;
};
