// A dialog taller than the screen: its children scroll vertically, the
// focused control is kept in view, the wheel scrolls, and the program's
// common "done" command cancels it.
#pragma once

#include "platform/framework/CDialog.h"

class QvScrollDlg : public CDialog {
 public:
  QvScrollDlg() = default;
  explicit QvScrollDlg(UINT templateId, CWnd* parent = nullptr) : CDialog(templateId, parent) {}

  BOOL OnInitDialog() override;
  BOOL PreTranslateMessage(MSG* msg) override;
  // Ends with IDOK without reading the controls back.
  virtual void EndOk();
  // The focused control's screen rectangle; false when the focus is elsewhere.
  virtual BOOL GetFocusItemRect(RECT* rect);

  int ScrollOffset() const { return offset_; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void ShowFocusItem();

 private:
  int offset_ = 0;
};
