// Text with pictographs: one screen of mail-list rows (10 rows of 72 pixels:
// a subject cut with "..." in its box and a correspondent, with pictographs
// in them) drawn by the program's pictograph text call, beside DrawText of the
// same texts with U+3013 in the pictographs' places, end ellipsis, no
// pictograph. The ratio is what the pictographs cost a list page.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "app/foundation/PictureChars.h"
#include "app/foundation/PictureText.h"
#include "app/foundation/QvPictureCharBitmap.h"
#include "platform/gdi/Gdi.h"

namespace {

struct Row {
  std::wstring subject, from;
};

std::vector<Row> Rows(bool geta) {
  static const wchar_t* const subjects[] = {
      L"【重要】明日の会議\uE63E資料について（第２版）そのほか長いお知らせ", L"Re: 週末のご予定\uE6F0はいかがですか",
      L"\uE001\uE022新着のお知らせ：ポイントが付与されました\uE6EC", L"ＦＷ：写真を送ります\uE681",
      L"打ち合わせ議事録 2026/12/08"};
  static const wchar_t* const senders[] = {L"山田 太郎\uE6F0", L"佐藤 花子", L"お知らせ係\uE04A"};
  std::vector<Row> rows;
  for (int i = 0; i < 10; ++i) {
    Row r{subjects[i % 5], senders[i % 3]};
    if (geta)
      for (std::wstring* t : {&r.subject, &r.from})
        for (wchar_t& c : *t)
          if (IsPictureChar(c) || IsWebPictureChar(c)) c = 0x3013;
    rows.push_back(r);
  }
  return rows;
}

struct Screen {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 480, 800);
  HFONT font;
  HGDIOBJ oldBitmap, oldFont;

  Screen() {
    LOGFONTW lf{};
    lf.lfHeight = 24;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    std::wstring(L"ＭＳ Ｐゴシック").copy(lf.lfFaceName, LF_FACESIZE - 1);
    font = CreateFontIndirectW(&lf);
    oldBitmap = SelectObject(dc, bitmap);
    oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
  }
  ~Screen() {
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(font);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  void Clear() { PatBlt(dc, 0, 0, 480, 800, WHITENESS); }
};

void BM_ListPagePictographs(benchmark::State& state) {
  Screen screen;
  const std::vector<Row> rows = Rows(false);
  if (GetWebPictureCharBitmap(24) == nullptr) state.SkipWithError("the pictograph libraries are not installed");
  for (auto _ : state) {
    screen.Clear();
    for (int i = 0; i < 10; ++i) {
      const int top = i * 72;
      DrawPictureTextInBox(screen.dc, RECT{44, top + 4, 480, top + 36}, rows[i].subject.c_str(), -1,
                           PT_VCENTER | PT_END_ELLIPSIS);
      DrawPictureTextInBox(screen.dc, RECT{204, top + 36, 480, top + 68}, rows[i].from.c_str(), -1,
                           PT_VCENTER | PT_END_ELLIPSIS);
    }
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_ListPageDrawText(benchmark::State& state) {
  Screen screen;
  const std::vector<Row> rows = Rows(true);
  for (auto _ : state) {
    screen.Clear();
    for (int i = 0; i < 10; ++i) {
      const int top = i * 72;
      RECT subject{44, top + 4, 480, top + 36}, from{204, top + 36, 480, top + 68};
      DrawTextW(screen.dc, rows[i].subject.c_str(), -1, &subject, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
      DrawTextW(screen.dc, rows[i].from.c_str(), -1, &from, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    }
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_ListPagePictographs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListPageDrawText)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
