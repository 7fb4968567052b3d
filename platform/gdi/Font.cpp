// Fonts: the face by fontconfig, glyphs by FreeType, metrics the way GDI
// reports them for TrueType faces (the OS/2 table's Windows ascent and descent).
// The device's Japanese faces are drawn with the IPA fonts.
#include "platform/gdi/Font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

#include "platform/base/WideText.h"
#include "platform/gdi/GdiObjects.h"

namespace qv::gdi {

namespace {

// The system font: 9 points at the device's 192 dpi.
constexpr LONG kSystemEm = 24;

// The device's face names and the faces that draw them.
struct Alias {
  const wchar_t* name;
  const char* family;
};
constexpr Alias kAliases[] = {
    {L"ＭＳ Ｐゴシック", "IPAPGothic"}, {L"MS PGothic", "IPAPGothic"}, {L"ＭＳ ゴシック", "IPAGothic"},
    {L"MS Gothic", "IPAGothic"},        {L"ＭＳ Ｐ明朝", "IPAPMincho"},  {L"MS PMincho", "IPAPMincho"},
    {L"ＭＳ 明朝", "IPAMincho"},        {L"MS Mincho", "IPAMincho"},     {L"System", "IPAPGothic"},
    {L"Tahoma", "IPAPGothic"},
};
constexpr const char* kDefaultFamily = "IPAPGothic";

struct FaceFile {
  std::string path;
  int index = 0;
  std::wstring family;
  bool bold = false;    // the face itself is bold
  bool italic = false;  // the face itself slants
};

// The library, fontconfig and the caches; FreeType wants face creation and
// release serialised over one library.
struct Fonts {
  std::mutex mutex;
  FT_Library library = nullptr;
  bool fontconfigReady = false;
  std::map<std::tuple<std::string, bool, bool>, FaceFile> faces;
  // Realised fonts by face, size, weight, slant and quality. Those no font
  // object holds any more stay for reuse, the least recently asked for going
  // first once more than kIdleInstances of them wait.
  struct Cached {
    std::shared_ptr<FontInstance> font;
    uint64_t lastUse = 0;
  };
  std::map<std::tuple<std::string, int, LONG, bool, bool>, Cached> instances;
  uint64_t uses = 0;
};

constexpr size_t kIdleInstances = 24;

// Takes the idle instances beyond the bound out of the cache; the caller
// frees them once it no longer holds the fonts' lock (freeing takes it).
std::vector<std::shared_ptr<FontInstance>> TrimIdle(Fonts& f) {
  std::vector<std::shared_ptr<FontInstance>> gone;
  std::vector<decltype(f.instances)::iterator> idle;
  for (auto it = f.instances.begin(); it != f.instances.end(); ++it) {
    if (it->second.font.use_count() == 1) idle.push_back(it);
  }
  if (idle.size() <= kIdleInstances) return gone;
  std::sort(idle.begin(), idle.end(), [](auto a, auto b) { return a->second.lastUse < b->second.lastUse; });
  for (size_t i = 0; i + kIdleInstances < idle.size(); ++i) {
    gone.push_back(std::move(idle[i]->second.font));
    f.instances.erase(idle[i]);
  }
  return gone;
}

Fonts& TheFonts() {
  static Fonts* fonts = new Fonts;  // glyph caches live as long as the process
  return *fonts;
}

std::string FamilyFor(const LOGFONTW& lf) {
  std::wstring name(lf.lfFaceName, wcsnlen(lf.lfFaceName, LF_FACESIZE));
  if (name.empty()) return kDefaultFamily;
  for (const Alias& a : kAliases)
    if (EqualsNoCase(name, a.name)) return a.family;
  return WideToUtf8(name);
}

std::string PatternString(FcPattern* p, const char* field) {
  FcChar8* value = nullptr;
  return FcPatternGetString(p, field, 0, &value) == FcResultMatch ? reinterpret_cast<const char*>(value) : "";
}

int PatternInt(FcPattern* p, const char* field, int fallback) {
  int value = fallback;
  return FcPatternGetInteger(p, field, 0, &value) == FcResultMatch ? value : fallback;
}

// Locked by the caller. An absent family falls back to fontconfig's best
// match for Japanese text.
bool MatchFace(Fonts& f, const std::string& family, bool bold, bool italic, FaceFile* out) {
  auto key = std::make_tuple(family, bold, italic);
  if (auto it = f.faces.find(key); it != f.faces.end()) {
    *out = it->second;
    return true;
  }
  if (!f.fontconfigReady) {
    f.fontconfigReady = FcInit() == FcTrue;
    if (!f.fontconfigReady) return false;
    // Fontconfig's own tables are freed at exit, so leak checks see none.
    std::atexit(FcFini);
  }
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return false;
  FaceFile face;
  face.path = PatternString(match, FC_FILE);
  face.index = PatternInt(match, FC_INDEX, 0);
  face.family = Utf8ToWide(PatternString(match, FC_FAMILY));
  // Fontconfig marks faces it would embolden or slant itself; those we make bold or oblique ourselves.
  FcBool embolden = FcFalse;
  FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden);
  FcMatrix* slant = nullptr;
  bool synthetic = FcPatternGetMatrix(match, FC_MATRIX, 0, &slant) == FcResultMatch;
  face.bold = PatternInt(match, FC_WEIGHT, FC_WEIGHT_REGULAR) >= FC_WEIGHT_DEMIBOLD && !embolden;
  face.italic = PatternInt(match, FC_SLANT, FC_SLANT_ROMAN) != FC_SLANT_ROMAN && !synthetic;
  FcPatternDestroy(match);
  if (face.path.empty()) return false;
  f.faces.emplace(key, face);
  *out = face;
  return true;
}

LONG Scale(long units, int em, int unitsPerEm) {
  return static_cast<LONG>(std::lround(static_cast<double>(units) * em / unitsPerEm));
}

}  // namespace

struct FontInstance::Impl {
  FT_Face face = nullptr;
  int emboldenPixels = 0;  // synthetic bold: the glyph smeared right, one pixel per 24 of em
  bool slant = false;      // synthetic italic
  bool mono = false;
  std::mutex mutex;        // FreeType faces serve one thread at a time
  std::array<std::unique_ptr<std::array<const Glyph*, 256>>, 0x1100> pages;
  std::deque<Glyph> glyphs;

  const Glyph* Render(UINT c);
};

const Glyph* FontInstance::Impl::Render(UINT c) {
  Glyph& g = glyphs.emplace_back();
  FT_Int32 flags = FT_LOAD_DEFAULT | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
  if (FT_Load_Glyph(face, FT_Get_Char_Index(face, c), flags) != 0) return &g;
  FT_GlyphSlot slot = face->glyph;
  g.advance = static_cast<int>((slot->advance.x + 32) >> 6) + emboldenPixels;
  if (slot->format == FT_GLYPH_FORMAT_OUTLINE && slant) {
    FT_Matrix shear{0x10000, 0x3333, 0, 0x10000};  // about 11 degrees
    FT_Outline_Transform(&slot->outline, &shear);
  }
  if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return &g;
  FT_Library library = slot->library;
  FT_Bitmap bitmap;
  FT_Bitmap_Init(&bitmap);
  // Eight bits a pixel whatever the mode; levels scaled to 0..255 below.
  if (FT_Bitmap_Convert(library, &slot->bitmap, &bitmap, 1) == 0) {
    if (emboldenPixels > 0 && bitmap.width > 0 && bitmap.rows > 0)
      FT_Bitmap_Embolden(library, &bitmap, emboldenPixels * 64, 0);
    int levels = bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 1;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int>(bitmap.width);
    g.height = static_cast<int>(bitmap.rows);
    g.coverage.resize(static_cast<size_t>(g.width) * g.height);
    for (int y = 0; y < g.height; ++y) {
      const BYTE* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
      for (int x = 0; x < g.width; ++x)
        g.coverage[static_cast<size_t>(y) * g.width + x] =
            static_cast<BYTE>(row[x] >= levels ? 255 : row[x] * 255 / levels);
    }
  }
  FT_Bitmap_Done(library, &bitmap);
  return &g;
}

FontInstance::FontInstance(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

FontInstance::~FontInstance() {
  Fonts& f = TheFonts();
  std::lock_guard<std::mutex> lock(f.mutex);
  FT_Done_Face(impl_->face);
}

void FontInstance::Lookup(const WCHAR* text, size_t count, const Glyph** out) {
  Impl& m = *impl_;
  std::lock_guard<std::mutex> lock(m.mutex);
  for (size_t i = 0; i < count; ++i) {
    UINT c = static_cast<UINT>(text[i]);
    if (c >= 0x110000) c = 0xFFFD;
    auto& page = m.pages[c >> 8];
    if (!page) page = std::make_unique<std::array<const Glyph*, 256>>();
    const Glyph*& slot = (*page)[c & 0xFF];
    if (!slot) slot = m.Render(c);
    out[i] = slot;
  }
}

LOGFONTW SystemLogFont() {
  LOGFONTW lf{};
  lf.lfHeight = -kSystemEm;
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  const wchar_t name[] = L"ＭＳ Ｐゴシック";
  std::memcpy(lf.lfFaceName, name, sizeof name);
  return lf;
}

size_t CachedFontInstances() {
  Fonts& f = TheFonts();
  std::lock_guard<std::mutex> lock(f.mutex);
  return f.instances.size();
}

std::shared_ptr<FontInstance> RealizeFont(const LOGFONTW& lf) {
  Fonts& f = TheFonts();
  std::vector<std::shared_ptr<FontInstance>> trimmed;  // freed after the lock is let go
  std::lock_guard<std::mutex> lock(f.mutex);
  if (!f.library && FT_Init_FreeType(&f.library) != 0) {
    f.library = nullptr;
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  bool wantBold = lf.lfWeight >= FW_SEMIBOLD;
  bool wantItalic = lf.lfItalic != 0;
  FaceFile file;
  if (!MatchFace(f, FamilyFor(lf), wantBold, wantItalic, &file)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  bool mono = lf.lfQuality == NONANTIALIASED_QUALITY;

  FT_Face face = nullptr;
  if (FT_New_Face(f.library, file.path.c_str(), file.index, &face) != 0) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const TT_HoriHeader* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
  int upem = face->units_per_EM > 0 ? face->units_per_EM : 2048;
  long winAscent = os2 ? os2->usWinAscent : face->ascender;
  long winDescent = os2 ? os2->usWinDescent : -face->descender;
  if (winAscent + winDescent <= 0) winAscent = upem, winDescent = 0;
  // Negative heights are the em, positive ones the whole cell.
  int em = kSystemEm;
  if (lf.lfHeight < 0) em = lf.lfHeight == INT32_MIN ? 4096 : -lf.lfHeight;
  if (lf.lfHeight > 0) em = static_cast<int>(std::lround(static_cast<double>(lf.lfHeight) * upem / (winAscent + winDescent)));
  if (em < 1) em = 1;
  if (em > 4096) em = 4096;
  int embolden = wantBold && !file.bold ? (em + 12) / 24 : 0;
  if (wantBold && !file.bold && embolden < 1) embolden = 1;
  bool slant = wantItalic && !file.italic;

  // Positive heights fix the cell, so they share an instance only with their own kind.
  int size = lf.lfHeight > 0 ? static_cast<int>(lf.lfHeight) : -em;
  auto key = std::make_tuple(file.path + "#" + std::to_string(file.index), size, lf.lfWeight, wantItalic, mono);
  if (auto it = f.instances.find(key); it != f.instances.end()) {
    FT_Done_Face(face);
    it->second.lastUse = ++f.uses;
    return it->second.font;
  }
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em)) != 0) {
    FT_Done_Face(face);
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  auto impl = std::make_unique<FontInstance::Impl>();
  impl->face = face;
  impl->emboldenPixels = embolden;
  impl->slant = slant;
  impl->mono = mono;
  auto font = std::make_shared<FontInstance>(std::move(impl));

  TEXTMETRICW& tm = font->metrics_;
  tm.tmAscent = Scale(winAscent, em, upem);
  tm.tmDescent = Scale(winDescent, em, upem);
  if (lf.lfHeight > 0) tm.tmDescent = lf.lfHeight - tm.tmAscent;  // the cell asked for, to the pixel
  tm.tmHeight = tm.tmAscent + tm.tmDescent;
  tm.tmInternalLeading = tm.tmHeight - em;
  if (hhea) {
    long gap = hhea->Line_Gap - ((winAscent + winDescent) - (hhea->Ascender - hhea->Descender));
    tm.tmExternalLeading = gap > 0 ? Scale(gap, em, upem) : 0;
  }
  tm.tmAveCharWidth = Scale(os2 && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : upem / 2, em, upem) + embolden;
  tm.tmMaxCharWidth = Scale(face->bbox.xMax - face->bbox.xMin, em, upem) + embolden;
  tm.tmWeight = lf.lfWeight == FW_DONTCARE ? FW_NORMAL : lf.lfWeight;
  tm.tmDigitizedAspectX = tm.tmDigitizedAspectY = 192;
  tm.tmFirstChar = 0x20;
  tm.tmLastChar = 0xFFFF;
  tm.tmDefaultChar = 0x30FB;
  tm.tmBreakChar = 0x20;
  tm.tmItalic = lf.lfItalic ? 1 : 0;
  // TMPF_FIXED_PITCH set means a variable pitch, as documented.
  bool fixed = FT_IS_FIXED_WIDTH(face) || (os2 && os2->panose[3] == 9);  // PANOSE: monospaced
  tm.tmPitchAndFamily = static_cast<BYTE>(TMPF_VECTOR | TMPF_TRUETYPE | (fixed ? 0 : TMPF_FIXED_PITCH) |
                                          (fixed ? FF_MODERN : FF_SWISS));
  tm.tmCharSet = SHIFTJIS_CHARSET;
  font->family_ = file.family;
  int thickness = static_cast<int>(Scale(face->underline_thickness, em, upem));
  font->lineThickness_ = thickness < 1 ? 1 : thickness;
  int under = static_cast<int>(Scale(-face->underline_position, em, upem)) - font->lineThickness_ / 2;
  if (under + font->lineThickness_ > tm.tmDescent) under = tm.tmDescent - font->lineThickness_;
  font->underlineTop_ = under < 1 ? 1 : under;
  font->strikeTop_ = os2 && os2->yStrikeoutPosition > 0 ? Scale(os2->yStrikeoutPosition, em, upem) : em / 3;
  f.instances.emplace(key, Fonts::Cached{font, ++f.uses});
  trimmed = TrimIdle(f);
  return font;
}

}  // namespace qv::gdi

using namespace qv::gdi;

HFONT CreateFontIndirectW(const LOGFONTW* font) {
  if (!font) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto object = std::make_shared<FontObject>();
  object->logFont = *font;
  object->instance = RealizeFont(*font);
  if (!object->instance) return nullptr;
  return static_cast<HFONT>(AddObject(std::move(object)));
}
