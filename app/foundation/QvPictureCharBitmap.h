// The glyph sheets of the two pictograph sets. Each set's sheets are bitmap
// resources of its own library (KxPictureChar, KxWebPictureChar), loaded by
// name once for the program and freed at its end; a sheet is a grid of square
// glyphs in the order of the set's character table (PictureChars.h).
#pragma once

#include <memory>

#include "platform/gdi/GdiTypes.h"
#include "platform/gdi/ScopedGdi.h"

enum class PictureSet { kPicture, kWebPicture };

// One set's sheet at one glyph size. The pads keep one of their own (32
// pixels); the text controls share the program-wide ones below.
class QvPictureCharBitmap {
 public:
  explicit QvPictureCharBitmap(PictureSet set) : set_(set) {}
  ~QvPictureCharBitmap();
  QvPictureCharBitmap(const QvPictureCharBitmap&) = delete;
  QvPictureCharBitmap& operator=(const QvPictureCharBitmap&) = delete;

  // Loads the sheet for glyph size 13, 24 or 32 from the set's library
  // (loading the library when the program has not); false, with nothing
  // loaded, for another size or when the library or the sheet is missing.
  bool Load(int glyphSize);
  void Unload();
  bool IsLoaded() const { return static_cast<bool>(sheet_); }

  PictureSet Set() const { return set_; }
  HBITMAP Sheet() const { return sheet_.get(); }
  int SheetWidth() const { return sheetWidth_; }
  int SheetHeight() const { return sheetHeight_; }
  int GlyphWidth() const { return glyph_; }
  int GlyphHeight() const { return glyph_; }
  int Columns() const { return glyph_ ? sheetWidth_ / glyph_ : 0; }
  int Rows() const { return glyph_ ? sheetHeight_ / glyph_ : 0; }
  int CharCount() const;
  // The set's characters in sheet order, ended by 0xFFFF.
  const wchar_t* CharTable() const;
  // The index of `ch` in the set, -1 when it is none of its characters.
  int IndexOf(wchar_t ch) const;

  // Copies the glyph of `ch` stretched into `rect`; with `outline`, frames the
  // cell in XOR with the inverse of the highlight colour (`highlighted`) or
  // of the button-face colour. FALSE when `ch` is no character of the set or
  // no sheet is loaded.
  BOOL DrawChar(HDC dc, const RECT& rect, wchar_t ch, BOOL outline, BOOL highlighted) const;
  // The same, but the sheet's white background is left out, so the glyph
  // sits on what `dc` already holds (the text controls' way).
  BOOL DrawCharOver(HDC dc, const RECT& rect, wchar_t ch) const;

 private:
  PictureSet set_;
  qv::ScopedGdiObject<HBITMAP> sheet_;
  HDC sheetDc_ = nullptr;  // holds the sheet for the blits while it is loaded
  std::unique_ptr<qv::ScopedSelectObject> selected_;
  int sheetWidth_ = 0, sheetHeight_ = 0, glyph_ = 0;
};

// The glyph size a font height is drawn with: below 14 as it is, 14 to 24
// gives 24, 25 to 32 gives 32, above 32 as it is.
int PictureCharGlyphSize(int fontHeight);

// The program-wide sheet of a set for a font height (rounded as above); null
// when that size has no sheet (only 13, 24 and 32 have) or loading fails.
// The pointer stays valid until FreePictureCharLibraries.
QvPictureCharBitmap* GetPictureCharBitmap(int fontHeight);
QvPictureCharBitmap* GetWebPictureCharBitmap(int fontHeight);
// The sheet of whichever set holds `ch`; null for no pictograph or no sheet.
QvPictureCharBitmap* GetPictureCharBitmapFor(wchar_t ch, int fontHeight);

// The sets' libraries ("KxPictureChar.dll", "KxWebPictureChar.dll"), loaded by
// name at program start and freed at its end; a missing library leaves its
// set without sheets. Loading is also done on first use.
void LoadPictureCharLibraries();
void FreePictureCharLibraries();
// The library of a set, null when it is not installed.
HMODULE PictureCharLibrary(PictureSet set);
// The device names the libraries are loaded by (null: the default name);
// frees what was loaded. Tests name a missing library to take a set away.
void SetPictureCharLibraryNames(const wchar_t* picture, const wchar_t* web);
