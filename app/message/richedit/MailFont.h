// The UI font of the message controls: "ＭＳ Ｐゴシック" sized from the
// shell's UI font size, remembered with the pixel height it was made with so
// a changed system size can be noticed.
#pragma once

#include "platform/framework/CDC.h"
#include "platform/framework/CGdiObject.h"

class MailFont : public CFont {
 public:
  // Height the shell's UI font size in pixels, halved when `half`.
  BOOL CreateUIFont(bool half, bool bold);
  // Height the UI font size in points over the device's vertical resolution.
  BOOL CreateUIPointFont(CDC* dc, bool half, bool bold);
  // As CreateUIFont, underlined.
  BOOL CreateLinkFont(bool half, bool bold);
  bool IsUIFontChanged() const;
  int Height() const { return height_; }

 private:
  BOOL Make(int height, bool bold, bool underline);

  int height_ = 0;
};

// The shell's UI font size in pixels (or points); 0 when the shell cannot say.
int UIFontSize(bool points);
