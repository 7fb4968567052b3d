// The owner-drawn list of the messages of one folder, shown by the mail-list
// screen: a 72-pixel row per message with its icon, the subject, and the
// date and correspondent under it; unread rows in bold. The rows stay sorted
// by one of three keys either way (optionally unread first), and a marking
// mode selects several rows, by drag too, scrolling while the pointer is
// held above or below the list. What differs between folders comes from the
// list kind object (QvMailListKind.h).
//
// The window is a virtual list: made with LVS_OWNERDATA (a dialog template's
// "LVS_REPORT|LVS_OWNERDATA|LVS_OWNERDRAWFIXED|LVS_NOCOLUMNHEADER|
// LVS_SINGLESEL|LVS_SHOWSELALWAYS"); the list view holds only the count and
// the states, the rows live here. SetUp sets the other styles itself.
//
// A reload keeps the marked, selected and focused state of every row by
// message id, so a refresh that adds or removes rows above the selection
// leaves the same message selected.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "app/mailops/QvMailListItem.h"
#include "app/shell/maillist/QvMailListKind.h"
#include "app/shell/maillist/QvMailListRows.h"
#include "platform/framework/CGdiObject.h"
#include "platform/framework/CImageList.h"
#include "platform/framework/CListCtrl.h"
#include "platform/framework/CString.h"

class QvTitleBarCtrl;

class QvMailListCtrl : public CListCtrl {
 public:
  static constexpr UINT kIconsBitmap = 302;
  static constexpr int kIconWidth = 32;
  static constexpr COLORREF kIconMask = RGB(255, 0, 255);
  static constexpr int kRowHeight = 72;
  static constexpr int kMarkedImage = 30;
  static constexpr UINT kContextMenu = 161;
  // The drag's automatic scroll: timer id and period.
  static constexpr UINT_PTR kScrollTimer = 1;
  static constexpr UINT kScrollPeriod = 100;
  // Full-row select and no horizontal scroll bar.
  static constexpr DWORD kExtendedStyles = 0x10000020;

  QvMailListCtrl();
  ~QvMailListCtrl() override;

  // The column, the pictures, the bold font, the styles and the listener
  // (told the row count and the folder's name); after the window exists.
  bool SetUp(QvTitleBarCtrl* listener);

  // First load of a folder's rows, sorted, the listener told. False when
  // the ids or rows cannot be read (the list is then empty).
  bool LoadRows(const QvMailListKind& kind, DWORD folderId);
  // After a change: `keepState` keeps marks, selection and focus by message
  // id; `full` reads every row again, else only the new ones.
  bool ReloadRows(bool keepState, bool full);
  // Rows made by the caller in place of the folder's (tests, benches).
  void AssignRows(const QvMailListKind& kind, DWORD folderId, std::vector<QvMailListItem> rows);

  // 0 correspondent, 1 subject, 2 date; the same column again reverses it,
  // -1 re-applies the current one. The selected message stays selected.
  void ChooseSortColumn(int column);
  // 1-6 (read from "SortColm" the first time).
  int GetSortState();
  int GetSortColumn() { return QvMailListRows::SortColumnOf(GetSortState()); }
  void SetUnreadFirst(bool on);
  bool IsUnreadFirst() const { return (sortOption_ & QvMailListRows::kUnreadFirst) != 0; }

  void SetMarkingMode(bool on);
  bool IsMarkingMode() const { return marking_; }

  // Row queries: out of range gives 0, false, -1 or null.
  int GetRowCount() const { return rows_.size(); }
  DWORD GetMessageId(int index) const;
  bool TestStatus(int index, uint32_t mask) const;
  int GetMessageKind(int index) const;
  QvMailListItem* GetRow(int index) const { return rows_.at(index); }
  QvMailListItem* GetRowById(DWORD messageId) const;
  int FindRow(DWORD messageId) const { return rows_.IndexOf(messageId); }
  // The first selected row: -1, 0, -1 or null without one.
  int GetSelectedIndex() const;
  DWORD GetSelectedMessageId() const;
  int GetSelectedMessageKind() const;
  QvMailListItem* GetSelectedRow() const;
  // Focuses, selects and shows the row of the message; false without one.
  bool SelectMessage(DWORD messageId);

  // With `out`: the neighbour of the selected row when it holds `id` (the
  // row above when backwards), or the selected row's own id when it holds
  // another; false at either end. Without `out` the neighbour is selected.
  bool NextMessageId(DWORD id, bool backwards, DWORD* out);

  // Ids for the screen's commands, in row order.
  std::vector<unsigned long> GetAllIds() const;
  std::vector<unsigned long> GetUnprotectedIds() const;
  std::vector<unsigned long> GetMarkedIds() const;
  std::vector<unsigned long> GetMarkedUnprotectedIds() const;
  int GetMarkedCount() const;
  // The marked flag of every selected row.
  void SetMarks(bool on);
  // True when a selected row is not marked (the toggle of the marking mode).
  bool AnySelectedUnmarked() const;
  // In marking mode: every row selected.
  void SelectAll();

  const QvMailListKind* GetListKind() const { return kind_; }
  DWORD GetFolderId() const { return folderId_; }

  // The icon of a row outside marking mode (-1: none).
  static int RowImage(const QvMailListItem& row, const QvMailListKind& kind);

  void DrawItem(LPDRAWITEMSTRUCT dis) override;
  void MeasureItem(LPMEASUREITEMSTRUCT mis);

 protected:
  afx_msg void OnKeyDown(UINT key, UINT repeat, UINT flags);
  afx_msg UINT OnGetDlgCode();
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnLButtonDblClk(UINT flags, CPoint point);
  afx_msg void OnLButtonUp(UINT flags, CPoint point);
  afx_msg void OnMouseMove(UINT flags, CPoint point);
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnContextMenu(CWnd* wnd, CPoint point);
  afx_msg void OnSetFocus(CWnd* old);
  afx_msg void OnDestroy();
  DECLARE_MESSAGE_MAP()

 private:
  struct SavedState {
    UINT bits = 0;  // 1 marked, 2 selected, 4 focused
  };

  void ApplySort(bool keepFocus);
  void SaveState();
  void RestoreState();
  void FocusAndSelect(int index);
  void DeselectAll();
  void ShowCount();
  void DragTo(CPoint point);
  void DrawRowText(CDC* dc, const CString& text, const RECT& box);

  const QvMailListKind* kind_ = nullptr;
  DWORD folderId_ = 0;
  QvMailListRows rows_;
  CFont bold_;
  int fontHeight_ = 0;
  QvTitleBarCtrl* listener_ = nullptr;
  bool marking_ = false;
  int sortState_ = QvMailListRows::kSortUnset;
  DWORD sortOption_ = 0;
  CImageList icons_;
  CImageList rowHeight_;
  int anchor_ = -1;
  int lastHover_ = -1;
  CPoint lastPoint_{};
  std::map<DWORD, SavedState> saved_;
  int savedFocus_ = -1;
};
