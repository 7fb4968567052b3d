// A dialog that does not fill the screen: centred in its parent at a size of
// its own, with an optional caption and the title bar's OK button.
#pragma once

#include "platform/framework/CDialog.h"

// Places the window, at the given size, centred in its parent's window
// rectangle (position, size and frame change in one call).
void CenterWindowInParent(HWND hwnd, int width, int height);

class QvUnFullScreenDlg : public CDialog {
 public:
  QvUnFullScreenDlg(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}
  // 0 keeps the template's extent.
  void SetSize(int width, int height) {
    width_ = width;
    height_ = height;
  }
  void SetCaption(bool on) { caption_ = on; }

  BOOL OnInitDialog() override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Centre();

  int width_ = 0;
  int height_ = 0;
  bool caption_ = false;
  bool centring_ = false;
};
