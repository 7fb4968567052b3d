// The signature editor: the selection-mode text field with the edit menu on
// a tap and hold, copy and paste by command, and Backspace in an empty
// editor closing its page (the Back message to the parent).
#pragma once

#include "app/foundation/QvComAreaSelectEdit.h"

class QvSignatureView : public QvComAreaSelectEdit {
 public:
  static constexpr UINT kMenuId = 159;

  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
