// The history screen's list: one owner-drawn column of two-line rows (the
// row number and the date on top, the name and address below), each row
// drawn from its own record, so no text in a name or address can shift
// another field. Enter and a tap on a row tell the parent which row was
// chosen (kHistoryChosenMessage, wParam the row); a tap below the rows
// keeps the selection.
#pragma once

#include <vector>

#include "app/shell/history/QvNameAddressItem.h"
#include "platform/framework/CGdiObject.h"
#include "platform/framework/CListCtrl.h"
#include "platform/framework/MessageMap.h"

// To the history screen from its list: wParam the chosen row.
constexpr UINT kHistoryChosenMessage = WM_USER + 1;

class QvComHistoryListCtrl : public CListCtrl {
 public:
  static constexpr int kNumberWidth = 40;
  static constexpr int kFontPoints = 11;

  // The list of a dialog template taken over, owner-drawn with fixed rows.
  BOOL SubclassHistoryList(UINT id, CWnd* parent);
  // The records the rows stand for; each row's data is its record's index.
  void SetRecords(const std::vector<QvNameAddressItem>* records) { records_ = records; }
  int GetSelectedIndex() const { return GetNextItem(-1, LVNI_SELECTED); }

  void DrawItem(LPDRAWITEMSTRUCT dis) override;

  // The list's font at kFontPoints for a device of `dpi` dots per inch.
  static LOGFONTW FontAtPoints(CFont* base, int dpi, LONG weight);
  // The date line of a record: "MM/DD hh:mm" from its time stamp.
  static CString DateLine(const CString& stamp);
  // The address line: "name<address>", or the address alone.
  static CString AddressLine(const QvNameAddressItem& item);

 protected:
  afx_msg void OnKeyDown(UINT key, UINT repeat, UINT flags);
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnLButtonDblClk(UINT flags, CPoint point);
  afx_msg void OnSize(UINT type, int cx, int cy);
  DECLARE_MESSAGE_MAP()

 private:
  void MakeFont();

  const std::vector<QvNameAddressItem>* records_ = nullptr;
  CFont font_;
};
