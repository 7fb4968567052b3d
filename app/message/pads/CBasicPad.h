// The pads' window: a modal dialog with the caption's OK that takes the lower
// third of the usable screen and stretches its first child over its client
// area; it lays itself out again when the screen turns.
#pragma once

#include "platform/framework/CDialog.h"

class CBasicPad : public CDialog {
 public:
  static constexpr UINT kCancelCommand = 40144;

  CBasicPad(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}

  // The height the pad is rounded to a multiple of (plus 2); 0 none.
  void SetItemHeight(int height) { itemHeight_ = height; }
  int ItemHeight() const { return itemHeight_; }

  BOOL OnInitDialog() override;

  // The pad's default rectangle in the usable screen area `work` with the
  // caption height `caption`: full width, a third of the height, bottom at
  // work.bottom - caption - 8; rounded to whole items when an item height is set.
  static RECT DefaultRect(const RECT& work, int caption, int itemHeight);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  virtual void LayOut();
  // The first child window stretched over the client area.
  void FitFirstChild();
  static RECT WorkArea();

 private:
  int itemHeight_ = 0;
};
