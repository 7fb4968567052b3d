// The wait cursor while an object of this class lives.
#pragma once

#include "platform/framework/CWinApp.h"

class CWaitCursor {
 public:
  CWaitCursor() { Begin(1); }
  ~CWaitCursor() { Begin(-1); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
  // Shows it again after something (a message box) took it away.
  void Restore() { Begin(0); }

 private:
  static void Begin(int code) {
    if (CWinApp* app = AfxGetApp()) app->DoWaitCursor(code);
  }
};
