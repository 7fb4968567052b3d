#include "app/message/richedit/MailFont.h"

#include <cwchar>

#include "platform/gdi/ScopedGdi.h"
#include "platform/kernel/Debug.h"
#include "platform/shell/ShellUi.h"

int UIFontSize(bool points) {
  DWORD size = 0;
  DWORD needed = 0;
  if (FAILED(SHGetUIMetrics(points ? SHUIM_FONTSIZE_POINT : SHUIM_FONTSIZE_PIXEL, &size, sizeof size, &needed))) return 0;
  return static_cast<int>(size);
}

BOOL MailFont::Make(int height, bool bold, bool underline) {
  // A new creation replaces the previous font, freed here.
  const qv::ScopedGdiObject<HFONT> previous(static_cast<HFONT>(Detach()));
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = bold ? 700 : 400;
  lf.lfUnderline = underline ? 1 : 0;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  std::wcsncpy(lf.lfFaceName, L"ＭＳ Ｐゴシック", LF_FACESIZE - 1);
  if (!CreateFontIndirect(&lf)) {
    OutputDebugStringW(L"MailFont::CreateFontIndirectW() Error\r\n");
    return FALSE;
  }
  height_ = height;
  return TRUE;
}

BOOL MailFont::CreateUIFont(bool half, bool bold) {
  const int size = UIFontSize(false);
  if (size <= 0) {
    OutputDebugStringW(L"MailFont::SHGetUIMetrics() Error\r\n");
    return FALSE;
  }
  return Make(half ? size / 2 : size, bold, false);
}

BOOL MailFont::CreateUIPointFont(CDC* dc, bool half, bool bold) {
  const int points = UIFontSize(true);
  if (points <= 0) {
    OutputDebugStringW(L"MailFont::SHGetUIMetrics() Error\r\n");
    return FALSE;
  }
  const int dpi = dc ? dc->GetDeviceCaps(LOGPIXELSY) : 192;
  const int height = (points * dpi + 36) / 72;
  return Make(half ? height / 2 : height, bold, false);
}

BOOL MailFont::CreateLinkFont(bool half, bool bold) {
  const int size = UIFontSize(false);
  if (size <= 0) {
    OutputDebugStringW(L"MailFont::SHGetUIMetrics() Error\r\n");
    return FALSE;
  }
  return Make(half ? size / 2 : size, bold, true);
}

bool MailFont::IsUIFontChanged() const { return UIFontSize(false) != height_; }
