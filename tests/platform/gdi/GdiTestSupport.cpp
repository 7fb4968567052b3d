#include "tests/platform/gdi/GdiTestSupport.h"

#include <algorithm>
#include <cwchar>

namespace qv::test {

Canvas::Canvas(int width, int height, COLORREF fill) : width_(width), height_(height) {
  dc_ = CreateCompatibleDC(nullptr);
  bitmap_ = CreateCompatibleBitmap(dc_, width, height);
  old_ = SelectObject(dc_, bitmap_);
  Clear(fill);
}

Canvas::~Canvas() {
  SelectObject(dc_, old_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

// Straight on the pixels, whatever the DC's origin and clip.
void Canvas::Clear(COLORREF fill) {
  std::shared_ptr<gdi::Surface> s = gdi::SurfaceOf(bitmap_);
  for (int y = 0; y < height_; ++y) std::fill(s->Row(y), s->Row(y) + width_, gdi::PixelOf(fill));
}

COLORREF Canvas::At(int x, int y) const { return GetPixel(dc_, x, y); }

std::vector<DWORD> Canvas::Pixels() const {
  std::shared_ptr<gdi::Surface> s = gdi::SurfaceOf(bitmap_);
  std::vector<DWORD> out;
  for (int y = 0; y < height_; ++y) out.insert(out.end(), s->Row(y), s->Row(y) + width_);
  return out;
}

RECT Canvas::Ink(COLORREF background) const {
  std::shared_ptr<gdi::Surface> s = gdi::SurfaceOf(bitmap_);
  RECT box{width_, height_, 0, 0};
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x)
      if (gdi::ColorOf(s->Row(y)[x]) != background) {
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
      }
  if (box.right == 0) box = RECT{0, 0, 0, 0};
  return box;
}

std::string Canvas::Picture(COLORREF ink, RECT area) const {
  std::string out;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) out += At(x, y) == ink ? '#' : '.';
    out += '\n';
  }
  return out;
}

Font::Font(const wchar_t* face, LONG height, LONG weight, bool underline) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfUnderline = underline ? 1 : 0;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  font_ = CreateFontIndirectW(&lf);
}

Font::~Font() { DeleteObject(font_); }

std::string RectText(const RECT& r) {
  return "{" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
         std::to_string(r.bottom) + "}";
}

}  // namespace qv::test
