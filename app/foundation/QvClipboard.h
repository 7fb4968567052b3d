// The clipboard held open for one scope, and the text helpers the program's
// fields paste with.
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

// Pictographs are the device's private-use characters; the fields that take
// a single line of plain text drop them, and line breaks with `lineBreaks`.
bool IsPictureChar(wchar_t c);
CString RemovePictureChars(const CString& text, bool lineBreaks);

// The font record of the program's text: `height` pixels, "ＭＳ Ｐゴシック".
void InitLogFont(LOGFONTW* font, LONG height, bool bold);
