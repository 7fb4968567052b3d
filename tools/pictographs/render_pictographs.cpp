// Renders the glyph sheets of one pictograph set at build time and writes
// them as the bitmap resources of the set's library.
//
//   render_pictographs <picture|web> <EmojiSources.txt> <emoji font> <out.cpp> <preview folder>
//
// A set's character is found in the published table of the carriers' codes
// (EmojiSources.txt: Unicode sequence; DoCoMo, KDDI, SoftBank Shift_JIS):
// - the web pictographs are DoCoMo's: their code unit is the DoCoMo code
//   through the user-defined rows of Shift_JIS (F040 is U+E000, 188 a row);
// - of the pictograph set, U+E001 to U+E05A land on SoftBank's first page
//   (F941 to F99B in the same order); no carrier's codes hold the others.
// The Unicode character or sequence is then drawn from the colour emoji font
// (its bitmap strike through FreeType; sequences through the font's ligature
// table). A character that maps to nothing, or to what the font lacks, gets a
// generated glyph: a tile with the low byte of its code unit.
//
// Sheets are grids of square glyphs on pure white, in the set's table order,
// 7 columns (pictographs) or 12 (web pictographs), at 13, 24 and 32 pixels.
// Pure white is kept for the background alone (a glyph's own white is drawn a
// shade off it), so that text controls can lay a glyph over any background.
// Each sheet is also written as a PNG into the preview folder, to be looked at.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TAGS_H
#include FT_TRUETYPE_TABLES_H
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/foundation/PictureChars.h"

namespace {

struct Rgba {
  double r = 0, g = 0, b = 0, a = 0;  // premultiplied, 0..1
};

// A glyph as the font draws it, premultiplied colour.
struct Picture {
  int width = 0, height = 0;
  std::vector<Rgba> pixels;
};

// A sheet: 0x00RRGGBB pixels, rows top first.
struct Sheet {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

[[noreturn]] void Die(const std::string& why) {
  std::fprintf(stderr, "render_pictographs: %s\n", why.c_str());
  std::exit(1);
}

uint16_t U16(const std::vector<uint8_t>& t, size_t at) {
  if (at + 2 > t.size()) return 0;
  return static_cast<uint16_t>(t[at] << 8 | t[at + 1]);
}
uint32_t U32(const std::vector<uint8_t>& t, size_t at) { return uint32_t{U16(t, at)} << 16 | U16(t, at + 2); }

// The font's ligatures (GSUB lookup type 4, also behind type 7 extensions):
// components -> glyph. Enough to find keycap and flag sequences.
std::map<std::vector<uint32_t>, uint32_t> ReadLigatures(FT_Face face) {
  std::map<std::vector<uint32_t>, uint32_t> out;
  FT_ULong length = 0;
  if (FT_Load_Sfnt_Table(face, TTAG_GSUB, 0, nullptr, &length) != 0 || length < 10) return out;
  std::vector<uint8_t> t(length);
  if (FT_Load_Sfnt_Table(face, TTAG_GSUB, 0, t.data(), &length) != 0) return out;
  const size_t lookups = U16(t, 8);
  for (size_t i = 0, n = U16(t, lookups); i < n; ++i) {
    const size_t lookup = lookups + U16(t, lookups + 2 + 2 * i);
    uint16_t type = U16(t, lookup);
    for (size_t s = 0, subs = U16(t, lookup + 4); s < subs; ++s) {
      size_t sub = lookup + U16(t, lookup + 6 + 2 * s);
      if (type == 7) {
        if (U16(t, sub + 2) != 4) continue;
        sub += U32(t, sub + 4);
      } else if (type != 4) {
        continue;
      }
      if (U16(t, sub) != 1) continue;
      // The coverage lists the first components in the order of the sets.
      const size_t coverage = sub + U16(t, sub + 2);
      std::vector<uint32_t> firsts;
      if (U16(t, coverage) == 1) {
        for (size_t g = 0, count = U16(t, coverage + 2); g < count; ++g) firsts.push_back(U16(t, coverage + 4 + 2 * g));
      } else if (U16(t, coverage) == 2) {
        for (size_t r = 0, ranges = U16(t, coverage + 2); r < ranges; ++r) {
          const size_t range = coverage + 4 + 6 * r;
          for (uint32_t g = U16(t, range); g <= U16(t, range + 2); ++g) firsts.push_back(g);
        }
      }
      for (size_t k = 0, sets = U16(t, sub + 4); k < sets && k < firsts.size(); ++k) {
        const size_t set = sub + U16(t, sub + 6 + 2 * k);
        for (size_t l = 0, ligs = U16(t, set); l < ligs; ++l) {
          const size_t lig = set + U16(t, set + 2 + 2 * l);
          std::vector<uint32_t> parts{firsts[k]};
          for (size_t c = 1, count = U16(t, lig + 2); c < count; ++c) parts.push_back(U16(t, lig + 4 + 2 * (c - 1)));
          out.emplace(parts, U16(t, lig));
        }
      }
    }
  }
  return out;
}

class EmojiFont {
 public:
  explicit EmojiFont(const char* path) {
    if (FT_Init_FreeType(&library_) != 0) Die("FreeType does not start");
    if (FT_New_Face(library_, path, 0, &face_) != 0) Die(std::string("cannot open the font ") + path);
    if (!FT_HAS_COLOR(face_) || face_->num_fixed_sizes < 1) Die("the font has no colour bitmap strike");
    FT_Select_Size(face_, 0);
    strike_ = std::max<int>(face_->available_sizes[0].width, face_->available_sizes[0].height);
    ligatures_ = ReadLigatures(face_);
  }
  ~EmojiFont() {
    FT_Done_Face(face_);
    FT_Done_FreeType(library_);
  }
  EmojiFont(const EmojiFont&) = delete;
  EmojiFont& operator=(const EmojiFont&) = delete;

  int Strike() const { return strike_; }

  // The glyph of a character or sequence; 0 when the font lacks it.
  uint32_t GlyphOf(const std::vector<uint32_t>& sequence) const {
    std::vector<uint32_t> glyphs;
    for (uint32_t c : sequence) {
      const uint32_t g = FT_Get_Char_Index(face_, c);
      if (g == 0) return 0;
      glyphs.push_back(g);
    }
    if (glyphs.size() == 1) return glyphs[0];
    auto it = ligatures_.find(glyphs);
    if (it == ligatures_.end() && glyphs.size() == 2) {
      // Keycaps are listed without the emoji variation selector the font's ligature has.
      const uint32_t vs16 = FT_Get_Char_Index(face_, 0xFE0F);
      it = ligatures_.find({glyphs[0], vs16, glyphs[1]});
    }
    return it == ligatures_.end() ? 0 : it->second;
  }

  bool Draw(uint32_t glyph, Picture* out) const {
    if (FT_Load_Glyph(face_, glyph, FT_LOAD_COLOR) != 0) return false;
    const FT_Bitmap& bitmap = face_->glyph->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_BGRA || bitmap.width == 0 || bitmap.rows == 0) return false;
    out->width = static_cast<int>(bitmap.width);
    out->height = static_cast<int>(bitmap.rows);
    out->pixels.assign(static_cast<size_t>(out->width) * out->height, {});
    for (int y = 0; y < out->height; ++y) {
      const uint8_t* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
      for (int x = 0; x < out->width; ++x) {
        const uint8_t* p = row + 4 * x;  // B G R A, premultiplied
        out->pixels[static_cast<size_t>(y) * out->width + x] = {p[2] / 255.0, p[1] / 255.0, p[0] / 255.0, p[3] / 255.0};
      }
    }
    return true;
  }

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
  int strike_ = 0;
  std::map<std::vector<uint32_t>, uint32_t> ligatures_;
};

// EmojiSources.txt: Shift_JIS code of one carrier -> Unicode sequence.
std::map<unsigned, std::vector<uint32_t>> ReadCarrier(const char* path, int column) {
  std::ifstream in(path);
  if (!in) Die(std::string("cannot read ") + path);
  std::map<unsigned, std::vector<uint32_t>> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::stringstream split(line);
    for (std::string f; std::getline(split, f, ';');) fields.push_back(f);
    if (static_cast<int>(fields.size()) <= column || fields[column].find_first_not_of(" \r") == std::string::npos)
      continue;
    std::vector<uint32_t> sequence;
    std::stringstream points(fields[0]);
    for (std::string p; points >> p;) sequence.push_back(static_cast<uint32_t>(std::stoul(p, nullptr, 16)));
    out[static_cast<unsigned>(std::stoul(fields[column], nullptr, 16))] = sequence;
  }
  if (out.empty()) Die(std::string("no carrier codes in ") + path);
  return out;
}

// U+E000 + n is the n-th user-defined Shift_JIS code from F040 (188 a row, 7F skipped).
unsigned UserDefinedCode(wchar_t c) {
  const unsigned n = static_cast<unsigned>(c) - 0xE000, trail = n % 188;
  return (0xF0 + n / 188) << 8 | (trail + 0x40 + (trail >= 0x3F ? 1 : 0));
}

// SoftBank's first page: U+E001..U+E05A are F941..F99B (7F skipped).
unsigned SoftBankCode(wchar_t c) {
  if (c < 0xE001 || c > 0xE05A) return 0;
  const unsigned n = static_cast<unsigned>(c) - 0xE001;
  return 0xF900 | (n + 0x41 + (n + 0x41 >= 0x7F ? 1 : 0));
}

// The glyph scaled into a size x size cell (aspect kept, centred, area
// average), over white.
void PutGlyph(const Picture& glyph, int strike, int size, Sheet* sheet, int cellX, int cellY) {
  const double scale = static_cast<double>(size) / std::max({strike, glyph.width, glyph.height});
  const double offX = (size - glyph.width * scale) / 2, offY = (size - glyph.height * scale) / 2;
  for (int ty = 0; ty < size; ++ty) {
    for (int tx = 0; tx < size; ++tx) {
      // The target pixel's square in source pixels.
      const double x0 = (tx - offX) / scale, x1 = (tx + 1 - offX) / scale;
      const double y0 = (ty - offY) / scale, y1 = (ty + 1 - offY) / scale;
      Rgba sum;
      for (int sy = std::max(0, static_cast<int>(y0)); sy < std::min<double>(glyph.height, y1); ++sy) {
        const double wy = std::min<double>(sy + 1, y1) - std::max<double>(sy, y0);
        for (int sx = std::max(0, static_cast<int>(x0)); sx < std::min<double>(glyph.width, x1); ++sx) {
          const double w = wy * (std::min<double>(sx + 1, x1) - std::max<double>(sx, x0));
          const Rgba& p = glyph.pixels[static_cast<size_t>(sy) * glyph.width + sx];
          sum.r += w * p.r;
          sum.g += w * p.g;
          sum.b += w * p.b;
          sum.a += w * p.a;
        }
      }
      const double area = (x1 - x0) * (y1 - y0);
      auto channel = [&](double premultiplied) {
        const double v = (premultiplied + (area - sum.a)) / area;  // over white
        return static_cast<uint32_t>(std::clamp(v * 255.0 + 0.5, 0.0, 255.0));
      };
      uint32_t r = channel(sum.r), g = channel(sum.g), b = channel(sum.b);
      if (sum.a / area > 1.0 / 512 && r == 255 && g == 255 && b == 255) r = g = b = 254;
      sheet->pixels[static_cast<size_t>(cellY + ty) * sheet->width + cellX + tx] = r << 16 | g << 8 | b;
    }
  }
}

// Hex digits 0-F, 3 x 5, one row a byte (bit 2 the left column).
constexpr uint8_t kDigits[16][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1}, {7, 4, 7, 1, 7},
    {7, 4, 7, 5, 7}, {7, 1, 1, 2, 2}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}, {2, 5, 7, 5, 5}, {6, 5, 6, 5, 6},
    {7, 4, 4, 4, 7}, {6, 5, 5, 5, 6}, {7, 4, 6, 4, 7}, {7, 4, 6, 4, 4}};

// A generated glyph: a rounded tile, its colour by the code unit, with the
// unit's low byte in hex.
void PutTile(wchar_t c, int size, Sheet* sheet, int cellX, int cellY) {
  static constexpr uint32_t kTiles[] = {0x3C78D8, 0xD8783C, 0x3CA85A, 0xA83CA8, 0xB89000, 0x00A0A8, 0xC8463C};
  const uint32_t tile = kTiles[static_cast<unsigned>(c) % std::size(kTiles)];
  const int inset = size >= 24 ? 2 : 1, corner = std::max(1, size / 8);
  auto put = [&](int x, int y, uint32_t colour) {
    sheet->pixels[static_cast<size_t>(cellY + y) * sheet->width + cellX + x] = colour;
  };
  for (int y = inset; y < size - inset; ++y) {
    for (int x = inset; x < size - inset; ++x) {
      const int dx = std::max({0, inset + corner - 1 - x, x - (size - inset - corner)});
      const int dy = std::max({0, inset + corner - 1 - y, y - (size - inset - corner)});
      if (dx * dx + dy * dy <= corner * corner) put(x, y, tile);
    }
  }
  const int scale = std::max(1, (size - 2 * inset) / 10), width = 7 * scale, height = 5 * scale;
  const int left = (size - width) / 2, top = (size - height) / 2;
  const unsigned low = static_cast<unsigned>(c) & 0xFF;
  const unsigned digits[2] = {low >> 4, low & 0xF};
  for (int d = 0; d < 2; ++d)
    for (int row = 0; row < 5; ++row)
      for (int col = 0; col < 3; ++col)
        if (kDigits[digits[d]][row] & (4 >> col))
          for (int y = 0; y < scale; ++y)
            for (int x = 0; x < scale; ++x) put(left + (d * 4 + col) * scale + x, top + row * scale + y, 0xF4F4F4);
}

void WritePng(const std::string& path, const Sheet& sheet) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) Die("cannot write " + path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) Die("cannot encode " + path);
  png_init_io(png, file);
  png_set_IHDR(png, info, sheet.width, sheet.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<uint8_t> row(static_cast<size_t>(sheet.width) * 3);
  for (int y = 0; y < sheet.height; ++y) {
    for (int x = 0; x < sheet.width; ++x) {
      const uint32_t p = sheet.pixels[static_cast<size_t>(y) * sheet.width + x];
      row[3 * x] = p >> 16 & 0xFF;
      row[3 * x + 1] = p >> 8 & 0xFF;
      row[3 * x + 2] = p & 0xFF;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

// A bitmap resource: BITMAPINFOHEADER, then 32-bit rows bottom-up.
std::string Dib(const Sheet& sheet) {
  std::string out;
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
  };
  auto u16 = [&](uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
  };
  u32(40);
  u32(static_cast<uint32_t>(sheet.width));
  u32(static_cast<uint32_t>(sheet.height));
  u16(1);
  u16(32);
  u32(0);
  u32(static_cast<uint32_t>(sheet.width * sheet.height * 4));
  u32(7559);
  u32(7559);
  u32(0);
  u32(0);
  for (int y = sheet.height - 1; y >= 0; --y)
    for (int x = 0; x < sheet.width; ++x) u32(sheet.pixels[static_cast<size_t>(y) * sheet.width + x] | 0xFF000000u);
  return out;
}

// The resources as a string literal each (octal escapes: never mistaken for digits after them).
void WriteCpp(const std::string& path, const std::vector<std::pair<unsigned, std::string>>& resources) {
  std::ofstream out(path, std::ios::binary);
  out << "// Generated by tools/pictographs/render_pictographs.cpp; do not edit.\n"
         "#include <cstddef>\n\n#include \"platform/kernel/Resource.h\"\n\nnamespace {\n\n";
  for (size_t n = 0; n < resources.size(); ++n) {
    out << "alignas(8) const char kData" << n << "[] =";
    const std::string& data = resources[n].second;
    for (size_t i = 0; i < data.size(); ++i) {
      if (i % 64 == 0) out << "\n    \"";
      const auto byte = static_cast<unsigned char>(data[i]);
      out << '\\' << static_cast<char>('0' + (byte >> 6)) << static_cast<char>('0' + (byte >> 3 & 7))
          << static_cast<char>('0' + (byte & 7));
      if (i % 64 == 63 || i + 1 == data.size()) out << '"';
    }
    out << ";\n";
  }
  out << "\nconst QvResourceEntry kEntries[] = {\n";
  for (size_t n = 0; n < resources.size(); ++n)
    out << "    {2, " << resources[n].first << ", reinterpret_cast<const unsigned char*>(kData" << n << "), "
        << resources[n].second.size() << "},\n";
  out << "};\n\n}  // namespace\n\n"
         "extern \"C\" __attribute__((visibility(\"default\"))) const QvResourceEntry* QvResourceDirectory(size_t* count) "
         "{\n  *count = sizeof kEntries / sizeof kEntries[0];\n  return kEntries;\n}\n";
  if (!out) Die("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) Die("usage: render_pictographs <picture|web> <EmojiSources.txt> <font> <out.cpp> <preview folder>");
  const std::string set = argv[1];
  if (set != "picture" && set != "web") Die("the set is \"picture\" or \"web\"");
  const bool web = set == "web";
  const wchar_t* table = web ? WebPictureCharTable() : PictureCharTable();
  const int count = web ? kWebPictureCharCount : kPictureCharCount, columns = web ? 12 : 7;
  const int rows = (count + columns - 1) / columns;
  const unsigned ids[3] = {web ? 21020u : 21016u, web ? 21021u : 21012u, web ? 21022u : 21013u};
  const int sizes[3] = {13, 24, 32};

  const auto carrier = ReadCarrier(argv[2], web ? 1 : 3);
  const EmojiFont font(argv[3]);

  std::vector<Picture> glyphs(count);
  std::vector<bool> drawn(count, false);
  int fromFont = 0;
  for (int i = 0; i < count; ++i) {
    const unsigned code = web ? UserDefinedCode(table[i]) : SoftBankCode(table[i]);
    const auto mapped = carrier.find(code);
    if (mapped == carrier.end()) continue;
    const uint32_t glyph = font.GlyphOf(mapped->second);
    if (glyph != 0 && font.Draw(glyph, &glyphs[i])) {
      drawn[i] = true;
      ++fromFont;
    }
  }

  std::vector<std::pair<unsigned, std::string>> resources;
  for (int s = 0; s < 3; ++s) {
    const int size = sizes[s];
    Sheet sheet{columns * size, rows * size, {}};
    sheet.pixels.assign(static_cast<size_t>(sheet.width) * sheet.height, 0xFFFFFF);
    for (int i = 0; i < count; ++i) {
      const int x = i % columns * size, y = i / columns * size;
      if (drawn[i])
        PutGlyph(glyphs[i], font.Strike(), size, &sheet, x, y);
      else
        PutTile(table[i], size, &sheet, x, y);
    }
    WritePng(std::string(argv[5]) + "/" + set + "-" + std::to_string(size) + ".png", sheet);
    resources.emplace_back(ids[s], Dib(sheet));
  }
  WriteCpp(argv[4], resources);
  std::printf("%s pictographs: %d of %d drawn from the font, %d generated\n", set.c_str(), fromFont, count,
              count - fromFont);
  return 0;
}
