// The body view that paints its text itself: pictographs as pictures, the
// links of the text (web, mail, telephone) underlined in the link colour,
// stepped through with up and down in a read-only view, and offered to the
// page when tapped. Left and right page between messages there.
#pragma once

#include <vector>

#include "app/message/links/QvLinkRangeList.h"
#include "app/message/richedit/QvMailRichEditCtrl.h"

class QvRichClickableView : public QvMailRichEditCtrl {
 public:
  static constexpr COLORREF kTextColor = 0x000000;
  static constexpr COLORREF kBackColor = 0xFFFFFF;
  static constexpr COLORREF kLinkColor = 0xFF0000;
  static constexpr COLORREF kLinkBackColor = 0xFFFFFF;

  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) override;

  const QvLinkRangeList& Links() const { return links_; }
  int SelectedLink() const { return selected_; }
  void GetSelectedLinkText(CString& out) const;
  // What the selected link may do (refused when none is selected); the
  // page acts on it only after the person saw the target.
  QvLinkAction GetSelectedLinkAction(CString& argument) const;
  // The link at a client point: its text in `out`, its kind the answer (0 none).
  int GetLinkAt(POINT point, CString& out);
  void SelectLastLink();
  void GetSelectedLinkRect(RECT& rect);

  void CaretToFirstVisibleLine() override;
  bool IsLastLinkCurrent() override { return selected_ == links_.GetCount() - 1; }
  bool MoveToLink(bool forward) override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  bool OnBodyKey(UINT key, LPARAM flags) override;

 private:
  POINT PosOf(long index) const;
  int LineHeight();
  // 0 when the range lies within the shown lines, below 0 above them, above 0 below.
  int Visibility(long start, long end);
  int LinkVisibility(int index);
  void Rescan();
  void SyncLink();
  void SelectLink(int index);
  void RepaintLink(int index);
  void Paint();
  // Draws the lines that meet `update`.
  void PaintWhole(HDC dc, const RECT& client, const RECT& update);
  // The pictographs whose cells meet `within` are drawn again by the view.
  void RepaintPictographCells(const RECT& within);
  void PaintCells(HDC dc);

  QvLinkRangeList links_;
  unsigned scannedAt_ = ~0u;
  int selected_ = -1;
  long lastStart_ = -1;
  long lastEnd_ = -1;
  CString pressLink_;
  int orientation_ = 1;
  bool redrawPending_ = false;
  struct Cell {
    long index;
    RECT box;
  };
  std::vector<Cell> cells_;
  bool composing_ = false;
  bool firstPaintDone_ = false;
};
