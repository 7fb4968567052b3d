// A list control with one column that fills its width: the column follows
// the window's width (less 4 pixels) and cannot be dragged wider or narrower.
#pragma once

#include "platform/framework/CListCtrl.h"

class QvSingleColumnListCtrl : public CListCtrl {
 public:
  static constexpr int kMargin = 4;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
