// The drawing layer: a full 480x800 repaint of a message list (40 lines of
// Japanese text, a title bar, icons and a scrolled block) in frames per
// second, and DrawText of 1,000 lines beside FreeType's raw rendering of the
// same glyphs (load, render and copy each one, no cache). The ratio of the
// two text times is what layout, the glyph cache and blending cost or save.
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <fontconfig/fontconfig.h>

#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/Surface.h"

namespace {

const wchar_t kFace[] = L"ＭＳ Ｐゴシック";

std::wstring Subject(int i) {
  static const wchar_t* const subjects[] = {
      L"【重要】明日の会議資料について（第２版）", L"Re: 週末のご予定はいかがですか", L"請求書のご送付 No.",
      L"新着のお知らせ：ポイントが付与されました", L"ＦＷ：写真を送ります", L"打ち合わせ議事録 2026/12/08",
  };
  return subjects[i % 6] + std::to_wstring(i);
}

HFONT MakeFont(LONG em, LONG weight) {
  LOGFONTW lf{};
  lf.lfHeight = -em;
  lf.lfWeight = weight;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  std::wstring(kFace).copy(lf.lfFaceName, LF_FACESIZE - 1);
  return CreateFontIndirectW(&lf);
}

struct Screen {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 480, 800);
  HDC icons = CreateCompatibleDC(nullptr);
  HBITMAP iconBitmap = CreateCompatibleBitmap(icons, 32, 32);
  HFONT regular = MakeFont(16, FW_NORMAL);
  HFONT bold = MakeFont(16, FW_BOLD);
  HFONT title = MakeFont(27, FW_BOLD);
  HGDIOBJ oldBitmap, oldIcon;

  Screen() {
    oldBitmap = SelectObject(dc, bitmap);
    oldIcon = SelectObject(icons, iconBitmap);
    RECT all{0, 0, 32, 32};
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(icons, &all, magenta);
    DeleteObject(magenta);
    Ellipse(icons, 4, 4, 28, 28);
  }
  ~Screen() {
    SelectObject(dc, oldBitmap);
    SelectObject(icons, oldIcon);
    DeleteObject(bitmap);
    DeleteObject(iconBitmap);
    DeleteDC(dc);
    DeleteDC(icons);
    DeleteObject(regular);
    DeleteObject(bold);
    DeleteObject(title);
  }

  // One frame of the message list.
  void Paint() {
    RECT all{0, 0, 480, 800};
    FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOW));
    RECT bar{0, 0, 480, 56};
    FillRect(dc, &bar, GetSysColorBrush(COLOR_HIGHLIGHT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    SelectObject(dc, title);
    DrawTextW(dc, L"受信トレイ (40)", -1, &bar, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    for (int i = 0; i < 40; ++i) {
      int y = 60 + i * 18;
      SelectObject(dc, i % 3 == 0 ? bold : regular);
      RECT line{40, y, 470, y + 18};
      std::wstring s = Subject(i);
      DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &line, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
      if (i % 8 == 0) TransparentBlt(dc, 4, y - 7, 32, 32, icons, 0, 0, 32, 32, RGB(255, 0, 255));
    }
    MoveToEx(dc, 0, 57, nullptr);
    LineTo(dc, 480, 57);
    BitBlt(dc, 0, 700, 480, 100, dc, 0, 600, SRCCOPY);  // a scrolled block
  }
};

void FullRepaint(benchmark::State& state) {
  Screen screen;
  for (auto _ : state) screen.Paint();
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(FullRepaint)->Unit(benchmark::kMillisecond)->UseRealTime();

std::vector<std::wstring> Lines() {
  std::vector<std::wstring> lines;
  for (int i = 0; i < 1000; ++i) lines.push_back(Subject(i) + L" 差出人：山田太郎");
  return lines;
}

void DrawText1000(benchmark::State& state) {
  Screen screen;
  const std::vector<std::wstring> lines = Lines();
  SelectObject(screen.dc, screen.regular);
  SetBkMode(screen.dc, TRANSPARENT);
  for (auto _ : state) {
    for (size_t i = 0; i < lines.size(); ++i) {
      int y = static_cast<int>(i % 44) * 18;
      RECT r{0, y, 480, y + 18};
      DrawTextW(screen.dc, lines[i].c_str(), static_cast<int>(lines[i].size()), &r, DT_SINGLELINE | DT_NOPREFIX);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * lines.size()));
}
BENCHMARK(DrawText1000)->Unit(benchmark::kMillisecond);

// The same face found the same way, each glyph loaded, rendered and copied
// into an 8-bit page.
void FreeTypeRaw1000(benchmark::State& state) {
  FcInit();
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("IPAPGothic"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcChar8* file = nullptr;
  FcPatternGetString(match, FC_FILE, 0, &file);
  FT_Library library;
  FT_Init_FreeType(&library);
  FT_Face face;
  if (!file || FT_New_Face(library, reinterpret_cast<const char*>(file), 0, &face) != 0) {
    state.SkipWithError("no face");
    return;
  }
  FT_Set_Pixel_Sizes(face, 0, 16);
  const std::vector<std::wstring> lines = Lines();
  std::vector<unsigned char> page(480 * 800);
  for (auto _ : state) {
    for (size_t i = 0; i < lines.size(); ++i) {
      int x = 0, baseline = static_cast<int>(i % 44) * 18 + 14;
      for (wchar_t c : lines[i]) {
        if (FT_Load_Char(face, static_cast<FT_ULong>(c), FT_LOAD_RENDER) != 0) continue;
        const FT_Bitmap& b = face->glyph->bitmap;
        int left = x + face->glyph->bitmap_left, top = baseline - face->glyph->bitmap_top;
        for (unsigned r = 0; r < b.rows; ++r) {
          int y = top + static_cast<int>(r);
          if (y < 0 || y >= 800) continue;
          for (unsigned col = 0; col < b.width; ++col) {
            int px = left + static_cast<int>(col);
            if (px >= 0 && px < 480 && b.buffer[r * b.pitch + col]) page[y * 480 + px] = b.buffer[r * b.pitch + col];
          }
        }
        x += static_cast<int>(face->glyph->advance.x >> 6);
      }
    }
    benchmark::DoNotOptimize(page.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * lines.size()));
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  FcPatternDestroy(match);
  FcPatternDestroy(pattern);
}
BENCHMARK(FreeTypeRaw1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
