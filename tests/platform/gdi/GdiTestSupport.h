// Memory DCs over fresh bitmaps and pixel reading for the drawing tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/Surface.h"

namespace qv::test {

// A memory DC holding a width x height bitmap filled with `fill`.
class Canvas {
 public:
  Canvas(int width, int height, COLORREF fill = RGB(255, 255, 255));
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  HBITMAP bitmap() const { return bitmap_; }
  int width() const { return width_; }
  int height() const { return height_; }
  COLORREF At(int x, int y) const;
  void Clear(COLORREF fill);
  // The pixels that differ from `background`: their bounding box (empty if none).
  RECT Ink(COLORREF background) const;
  // Rows as text, one character a pixel: '#' where the colour is `ink`,
  // '.' where it is anything else (for small pictures in failure messages).
  std::string Picture(COLORREF ink, RECT area) const;
  std::vector<DWORD> Pixels() const;

 private:
  int width_;
  int height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
};

// A font by its device face name and height; deleted with the object.
class Font {
 public:
  Font(const wchar_t* face, LONG height, LONG weight = FW_NORMAL, bool underline = false);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  HFONT get() const { return font_; }

 private:
  HFONT font_;
};

// Selects an object for a scope.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~Selected() { SelectObject(dc_, old_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

inline constexpr wchar_t kPGothic[] = L"ＭＳ Ｐゴシック";
inline constexpr wchar_t kGothic[] = L"ＭＳ ゴシック";

std::string RectText(const RECT& r);

}  // namespace qv::test
