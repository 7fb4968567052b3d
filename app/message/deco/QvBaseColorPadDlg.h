// A colour pad: 24 colour buttons in a 6 by 4 grid; a press picks its colour
// and closes, the caption's OK closes without a pick. The two pads differ in
// their colours and bitmaps.
#pragma once

#include <array>

#include "app/foundation/QvUnFullScreenDlg.h"
#include "platform/framework/CBitmapButton.h"

class QvBaseColorPadDlg : public QvUnFullScreenDlg {
 public:
  static constexpr UINT kTemplateId = 138;
  static constexpr int kWidth = 282;
  static constexpr int kHeight = 240;
  static constexpr int kColumns = 6;
  static constexpr int kRows = 4;
  static constexpr int kCount = kColumns * kRows;
  static constexpr int kButton = 44;

  // One button: its control, colour and bitmaps (normal, focused, pressed,
  // disabled; 0 takes the normal one).
  struct Entry {
    int control;
    COLORREF color;
    UINT normal, focus, pressed, disabled;
  };
  // Entries in grid order, row by row: index = row * 6 + column.
  using Table = std::array<Entry, kCount>;

  QvBaseColorPadDlg(const Table& table, CWnd* parent);

  void SetColor(COLORREF color) { color_ = color; }
  COLORREF GetColor() const { return color_; }
  bool IsPicked() const { return picked_; }

  // The grid index of a colour, -1 when the table has none.
  int IndexOf(COLORREF color) const;
  // The grid index after an arrow key, wrapping inside its row or column.
  static int Step(int index, UINT key);
  // The button's top-left corner in the dialog's client area.
  static POINT ButtonOrigin(int index) { return {7 + (index % kColumns) * kButton, 7 + (index / kColumns) * kButton}; }
  const Table& Colors() const { return table_; }

  BOOL OnInitDialog() override;
  void OnOK() override;
  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  const Table& table_;
  std::array<CBitmapButton, kCount> buttons_;
  COLORREF color_ = 0;
  bool picked_ = false;
};
