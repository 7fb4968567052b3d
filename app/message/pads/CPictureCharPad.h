// The pictograph pads: a grid of one set's glyphs at 32 pixels; a tap or
// Enter sends the selected character to the target window and keeps the pad
// open, the caption's OK closes with it as the pad's result.
#pragma once

#include "app/foundation/QvPictureCharBitmap.h"
#include "app/message/pads/CBasicPad.h"
#include "platform/framework/CWnd.h"

// What both pads share; each pad sets its set, columns, title, menu and the
// command that asks for the other pad.
class QvPictographPad : public CBasicPad {
 public:
  static constexpr UINT kTemplateId = 128;
  static constexpr UINT kInsertCommand = 40147;
  static constexpr int kGlyph = 32;

  struct Cell {
    int row = 0;
    int column = 0;
  };

  QvPictographPad(PictureSet set, int columns, CWnd* parent);

  void SetTarget(CWnd* target) { target_ = target; }
  BOOL OnInitDialog() override;
  void OnOK() override;
  BOOL PreTranslateMessage(MSG* msg) override;

  // The character of the selected cell (0 when the pad has none).
  wchar_t SelectedChar() const;
  Cell Selection() const { return selection_; }
  int FirstVisibleRow() const { return firstRow_; }
  int VisibleRows() const { return visibleRows_; }
  int IsChangeOccured() const { return changeOccurred_; }
  // The cell after an arrow key (VK_LEFT..VK_DOWN) from `from` in a grid of
  // `columns` holding `count` characters.
  static Cell Step(Cell from, UINT key, int columns, int count);

 protected:
  virtual const wchar_t* Title() const = 0;
  virtual UINT MenuId() const = 0;
  virtual UINT OtherPadCommand() const = 0;
  virtual WPARAM OtherPadParam() const = 0;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void LayOut() override;

 private:
  int Rows() const;
  int CharCount() const;
  void Select(Cell cell);
  void SendSelected();
  void Paint(HDC dc);
  void OnKey(UINT key);
  void OnTap(int x, int y);
  void OnScroll(int code, int position);
  void ScrollTo(int firstRow);
  void UpdateScrollBar();
  RECT CellRect(Cell cell) const;

  QvPictureCharBitmap sheet_;
  int columns_;
  Cell selection_;
  int firstRow_ = 0;
  int visibleRows_ = 1;
  CWnd* target_ = nullptr;
  bool enter_ = false;
  int changeOccurred_ = 0;
};

class CPictureCharPad : public QvPictographPad {
 public:
  static constexpr UINT kOtherPadCommand = 40218;
  explicit CPictureCharPad(CWnd* parent) : QvPictographPad(PictureSet::kPicture, 7, parent) {}

 protected:
  const wchar_t* Title() const override { return L"絵文字"; }
  UINT MenuId() const override { return 262; }
  UINT OtherPadCommand() const override { return kOtherPadCommand; }
  WPARAM OtherPadParam() const override { return 1; }
};
