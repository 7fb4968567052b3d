// A property page taller than the screen, scrolled like QvScrollDlg; its
// "done" command ends the whole sheet.
#pragma once

#include "platform/framework/CPropertyPage.h"

class QvScrollPage : public CPropertyPage {
 public:
  explicit QvScrollPage(UINT templateId) : CPropertyPage(templateId) {}
  explicit QvScrollPage(LPCDLGTEMPLATEW dialogTemplate) : CPropertyPage(dialogTemplate) {}

  BOOL OnKillActive() override;
  BOOL PreTranslateMessage(MSG* msg) override;
  virtual BOOL GetFocusItemRect(RECT* rect);

  int ScrollOffset() const { return offset_; }

  // What the sheet ends with on "done".
  static constexpr int kDoneResult = 2;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnDone();
  void ShowFocusItem();

 private:
  int offset_ = 0;
};
