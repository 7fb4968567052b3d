#include "app/shell/maillist/MailListText.h"

#include "app/foundation/PictureChars.h"

namespace {

constexpr wchar_t kEllipsis[] = L"...";

int Width(HDC dc, const std::wstring& text) {
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

bool IsPictograph(wchar_t c) { return IsPictureChar(c) || IsWebPictureChar(c); }

}  // namespace

std::wstring FitMailListText(HDC dc, const std::wstring& text, int width) {
  if (Width(dc, text) <= width) return text;
  // Shorter heads are never wider, so the longest one that fits is found
  // by halving rather than by trying one character at a time.
  size_t lo = 0;
  size_t hi = text.size();
  while (lo < hi) {
    const size_t mid = (lo + hi + 1) / 2;
    if (Width(dc, text.substr(0, mid) + kEllipsis) <= width) lo = mid;
    else hi = mid - 1;
  }
  return text.substr(0, lo) + kEllipsis;
}

void DrawMailListText(HDC dc, const std::wstring& text, const RECT& box, int fontHeight) {
  (void)fontHeight;
  const int width = box.right - box.left;
  if (width <= 0 || text.empty()) return;
  const std::wstring shown = FitMailListText(dc, text, width);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  const int y = box.top + (box.bottom - box.top - metrics.tmHeight) / 2;
  // Runs of ordinary characters go out in one call each; a pictograph
  // takes the cell the font measures for it.
  int x = box.left;
  size_t start = 0;
  for (size_t i = 0; i <= shown.size(); ++i) {
    if (i < shown.size() && !IsPictograph(shown[i])) continue;
    if (i > start) {
      const std::wstring run = shown.substr(start, i - start);
      ExtTextOutW(dc, x, y, ETO_CLIPPED, &box, run.c_str(), static_cast<UINT>(run.size()), nullptr);
      x += Width(dc, run);
    }
    if (i < shown.size()) {
      const std::wstring one(1, shown[i]);
      ExtTextOutW(dc, x, y, ETO_CLIPPED, &box, one.c_str(), 1, nullptr);
      x += Width(dc, one);
    }
    start = i + 1;
  }
}
