#include "app/foundation/QvPictureCharBitmap.h"

#include <array>
#include <memory>
#include <string>
#include <utility>

#include "app/foundation/PictureChars.h"
#include "platform/gdi/Gdi.h"
#include "platform/kernel/Library.h"

namespace {

// The sheets' resource ids in each set's library, by glyph size.
struct SheetIds {
  int size;
  UINT picture, web;
};
constexpr SheetIds kSheets[] = {{13, 21016, 21020}, {24, 21012, 21021}, {32, 21013, 21022}};

// The glyph sizes' slot in kSheets, -1 for a size without sheets.
int SlotOf(int glyphSize) {
  for (int i = 0; i < static_cast<int>(std::size(kSheets)); ++i)
    if (kSheets[i].size == glyphSize) return i;
  return -1;
}

int SetIndex(PictureSet set) { return set == PictureSet::kPicture ? 0 : 1; }

// The program's copy of both sets: the libraries and the shared sheets by size.
struct ProgramSets {
  std::array<std::wstring, 2> names{L"KxPictureChar.dll", L"KxWebPictureChar.dll"};
  std::array<HMODULE, 2> libraries{};
  bool tried = false;  // a missing library is looked for once, not at every paint
  std::array<std::array<std::unique_ptr<QvPictureCharBitmap>, std::size(kSheets)>, 2> sheets;
  std::array<std::array<bool, std::size(kSheets)>, 2> failed{};
};

ProgramSets& Sets() {
  static ProgramSets sets;
  return sets;
}

QvPictureCharBitmap* SharedSheet(PictureSet set, int fontHeight) {
  const int slot = SlotOf(PictureCharGlyphSize(fontHeight));
  if (slot < 0) return nullptr;
  LoadPictureCharLibraries();
  ProgramSets& sets = Sets();
  const int s = SetIndex(set);
  if (sets.failed[s][slot]) return nullptr;
  auto& sheet = sets.sheets[s][slot];
  if (!sheet) {
    sheet = std::make_unique<QvPictureCharBitmap>(set);
    if (!sheet->Load(kSheets[slot].size)) {
      sheet.reset();
      sets.failed[s][slot] = true;
      return nullptr;
    }
  }
  return sheet.get();
}

}  // namespace

QvPictureCharBitmap::~QvPictureCharBitmap() { Unload(); }

bool QvPictureCharBitmap::Load(int glyphSize) {
  Unload();
  const int slot = SlotOf(glyphSize);
  if (slot < 0) return false;
  LoadPictureCharLibraries();
  HMODULE library = PictureCharLibrary(set_);
  if (library == nullptr) return false;
  const UINT id = set_ == PictureSet::kPicture ? kSheets[slot].picture : kSheets[slot].web;
  qv::ScopedGdiObject<HBITMAP> sheet(LoadBitmapW(library, MAKEINTRESOURCEW(id)));
  if (!sheet) return false;
  BITMAP info{};
  GetObjectW(sheet.get(), sizeof info, &info);
  // A sheet too small for its set's characters would draw garbage: refused.
  const int columns = info.bmWidth / glyphSize, rows = info.bmHeight / glyphSize;
  if (columns <= 0 || columns * rows < CharCount()) return false;
  sheetDc_ = CreateCompatibleDC(nullptr);
  if (sheetDc_ == nullptr) return false;
  sheet_ = std::move(sheet);
  selected_ = std::make_unique<qv::ScopedSelectObject>(sheetDc_, sheet_.get());
  sheetWidth_ = info.bmWidth;
  sheetHeight_ = info.bmHeight;
  glyph_ = glyphSize;
  return true;
}

void QvPictureCharBitmap::Unload() {
  selected_.reset();  // the sheet leaves its DC before either goes
  if (sheetDc_ != nullptr) DeleteDC(sheetDc_);
  sheetDc_ = nullptr;
  sheet_.reset();
  sheetWidth_ = sheetHeight_ = glyph_ = 0;
}

int QvPictureCharBitmap::CharCount() const {
  return set_ == PictureSet::kPicture ? kPictureCharCount : kWebPictureCharCount;
}

const wchar_t* QvPictureCharBitmap::CharTable() const {
  return set_ == PictureSet::kPicture ? PictureCharTable() : WebPictureCharTable();
}

int QvPictureCharBitmap::IndexOf(wchar_t ch) const {
  return set_ == PictureSet::kPicture ? GetPictureCharIndex(ch) : GetWebPictureCharIndex(ch);
}

BOOL QvPictureCharBitmap::DrawChar(HDC dc, const RECT& rect, wchar_t ch, BOOL outline, BOOL highlighted) const {
  const int index = IndexOf(ch);
  if (index < 0 || !sheet_) return FALSE;
  const int columns = Columns();
  StretchBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, sheetDc_,
             index % columns * glyph_, index / columns * glyph_, glyph_, glyph_, SRCCOPY);
  if (outline) {
    const COLORREF face = GetSysColor(highlighted ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
    qv::ScopedGdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, ~face & 0xFFFFFF));
    qv::ScopedSelectObject penIn(dc, pen.get());
    qv::ScopedSelectObject hollow(dc, GetStockObject(NULL_BRUSH));
    const int oldRop = SetROP2(dc, R2_XORPEN);
    Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
    SetROP2(dc, oldRop);
  }
  return TRUE;
}

BOOL QvPictureCharBitmap::DrawCharOver(HDC dc, const RECT& rect, wchar_t ch) const {
  const int index = IndexOf(ch);
  if (index < 0 || !sheet_) return FALSE;
  const int columns = Columns();
  // The sheets keep pure white for the background alone (a glyph's own white
  // is a shade off it), so leaving it out never punches holes in a glyph.
  return TransparentBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, sheetDc_,
                        index % columns * glyph_, index / columns * glyph_, glyph_, glyph_, RGB(255, 255, 255));
}

int PictureCharGlyphSize(int fontHeight) {
  if (fontHeight < 14 || fontHeight > 32) return fontHeight;
  return fontHeight <= 24 ? 24 : 32;
}

QvPictureCharBitmap* GetPictureCharBitmap(int fontHeight) { return SharedSheet(PictureSet::kPicture, fontHeight); }
QvPictureCharBitmap* GetWebPictureCharBitmap(int fontHeight) {
  return SharedSheet(PictureSet::kWebPicture, fontHeight);
}

QvPictureCharBitmap* GetPictureCharBitmapFor(wchar_t ch, int fontHeight) {
  if (IsPictureChar(ch)) return GetPictureCharBitmap(fontHeight);
  if (IsWebPictureChar(ch)) return GetWebPictureCharBitmap(fontHeight);
  return nullptr;
}

void LoadPictureCharLibraries() {
  ProgramSets& sets = Sets();
  if (sets.tried) return;
  sets.tried = true;
  for (int s = 0; s < 2; ++s)
    if (sets.libraries[s] == nullptr) sets.libraries[s] = LoadLibraryW(sets.names[s].c_str());
}

void FreePictureCharLibraries() {
  ProgramSets& sets = Sets();
  for (auto& bySize : sets.sheets)
    for (auto& sheet : bySize) sheet.reset();  // before their library goes
  for (auto& failed : sets.failed) failed.fill(false);
  for (HMODULE& library : sets.libraries) {
    if (library != nullptr) FreeLibrary(library);
    library = nullptr;
  }
  sets.tried = false;
}

HMODULE PictureCharLibrary(PictureSet set) { return Sets().libraries[SetIndex(set)]; }

void SetPictureCharLibraryNames(const wchar_t* picture, const wchar_t* web) {
  FreePictureCharLibraries();
  Sets().names = {picture ? picture : L"KxPictureChar.dll", web ? web : L"KxWebPictureChar.dll"};
}
