// The clipboard held open for one scope, and the font record of the
// program's text.
#pragma once

#include "platform/framework/CString.h"
#include "platform/ui/WinUser.h"

class QvClipboard {
 public:
  explicit QvClipboard(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  ~QvClipboard() {
    if (open_) CloseClipboard();
  }
  QvClipboard(const QvClipboard&) = delete;
  QvClipboard& operator=(const QvClipboard&) = delete;

  bool IsFormatAvailable(UINT format) const { return open_ && IsClipboardFormatAvailable(format); }
  // False unless the clipboard holds text.
  bool GetText(CString& out) const;

 private:
  bool open_;
};

// The font record of the program's text: `height` pixels, "ＭＳ Ｐゴシック".
void InitLogFont(LOGFONTW* font, LONG height, bool bold);
