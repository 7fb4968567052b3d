// The "..." marker a cut field shows at its bottom-right corner.
#pragma once

#include "platform/framework/CStatic.h"

class QvEllipsisStatic : public CStatic {
 public:
  BOOL Create(CWnd* parent);
  // Sized to its text, 2 pixels from the parent's right edge, on its bottom.
  void AdjustToText();

 protected:
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
