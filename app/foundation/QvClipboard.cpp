#include "app/foundation/QvClipboard.h"

#include <cwchar>

bool QvClipboard::GetText(CString& out) const {
  if (!IsFormatAvailable(CF_UNICODETEXT)) return false;
  const auto* text = static_cast<const wchar_t*>(GetClipboardData(CF_UNICODETEXT));
  if (!text) return false;
  out = text;
  return true;
}

void InitLogFont(LOGFONTW* font, LONG height, bool bold) {
  *font = LOGFONTW{};
  font->lfHeight = -height;
  font->lfWeight = bold ? 700 : 400;
  font->lfCharSet = 1;
  std::wcsncpy(font->lfFaceName, L"ＭＳ Ｐゴシック", LF_FACESIZE - 1);
}
