// The splitter bar between two panes: dragged with the stylus, kept between
// the panes' minimums, and scaled with its area when the area changes.
#pragma once

#include "app/protocol/WindowMessages.h"
#include "platform/framework/CStatic.h"


class QvComSplitCtrl : public CStatic {
 public:
  static constexpr int kThickness = 6;

  void SetPanes(HWND first, HWND second) {
    first_ = first;
    second_ = second;
  }
  // orientation 1: the bar lies across, panes above and below; 0: upright,
  // panes left and right. A negative position keeps the bar where it was, a
  // negative minimum keeps the one stored.
  void Layout(const RECT& area, int orientation, int firstMin, int secondMin, int position, bool movePanes);
  int GetPosition() const { return position_; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  int Along(LPARAM point) const;
  void Place(int position, bool movePanes);

  HWND first_ = nullptr;
  HWND second_ = nullptr;
  RECT area_{};
  int orientation_ = 1;
  int firstMin_ = 0;
  int secondMin_ = 0;
  int position_ = -1;
  bool dragging_ = false;
  int dragStart_ = 0;
};
