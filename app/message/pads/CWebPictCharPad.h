// The web pictograph pad: the pictograph pad over the web set, whose menu
// follows the mail mode.
#pragma once

#include "app/message/pads/CPictureCharPad.h"

class CWebPictCharPad : public QvPictographPad {
 public:
  static constexpr UINT kOtherPadCommand = 40219;
  explicit CWebPictCharPad(CWnd* parent) : QvPictographPad(PictureSet::kWebPicture, 12, parent) {}
  void SetMailMode(int mode) { mailMode_ = mode; }

 protected:
  const wchar_t* Title() const override { return L"Web用絵文字"; }
  // 261 in mail mode 0, 263 in mode 1, none otherwise.
  UINT MenuId() const override { return mailMode_ == 0 ? 261 : mailMode_ == 1 ? 263 : 0; }
  UINT OtherPadCommand() const override { return kOtherPadCommand; }
  WPARAM OtherPadParam() const override { return 0; }

 private:
  int mailMode_ = 0;
};
