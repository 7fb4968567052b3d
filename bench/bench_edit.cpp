// The text fields at work, each beside the plain drawing a field without a
// layout of its own would do instead:
//   typing 10,000 characters into a wrapping multi-line edit (laid out,
//   notified and repainted after each one) beside DrawTextW re-laying out
//   and drawing the whole text after each character;
//   paging down through a 100,000-character rich edit beside DrawTextW
//   drawing each page's text.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/BenchDeviceRoot.h"
#include "platform/gdi/Gdi.h"
#include "platform/kernel/Library.h"
#include "platform/ui/WinUser.h"

namespace {

constexpr int kTyped = 10000;
constexpr size_t kRichText = 100000;
const RECT kField{0, 0, 480, 400};

const std::wstring& Sample() {
  static const std::wstring s =
      L"本日は晴天なり。明日の会議は十時からです、よろしくお願いします。Meeting notes follow. \r\n";
  return s;
}

std::wstring TextOfLength(size_t n) {
  std::wstring t;
  while (t.size() < n) t += Sample();
  t.resize(n);
  return t;
}

HFONT Font() {
  static HFONT f = [] {
    LOGFONTW lf{};
    lf.lfHeight = -28;
    wcscpy(lf.lfFaceName, L"ＭＳ Ｐゴシック");
    return CreateFontIndirectW(&lf);
  }();
  return f;
}

// A field-sized bitmap to draw on, with the font selected.
struct Canvas {
  Canvas() {
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateCompatibleBitmap(dc, kField.right, kField.bottom);
    SelectObject(dc, bitmap);
    SelectObject(dc, Font());
  }
  ~Canvas() {
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
};

HWND Field(const wchar_t* cls) {
  HWND w = CreateWindowExW(0, cls, L"", WS_POPUP | WS_VISIBLE | ES_MULTILINE | WS_VSCROLL, kField.left, kField.top,
                           kField.right, kField.bottom, nullptr, nullptr, nullptr, nullptr);
  SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
  SetFocus(w);
  return w;
}

void BM_EditTyping(benchmark::State& state) {
  const std::wstring text = TextOfLength(kTyped);
  for (auto _ : state) {
    HWND edit = Field(WC_EDIT);
    SendMessageW(edit, EM_LIMITTEXT, 0, 0);
    for (wchar_t c : text) SendMessageW(edit, WM_CHAR, c == L'\n' ? L'\r' : c, 1);
    benchmark::DoNotOptimize(SendMessageW(edit, EM_GETLINECOUNT, 0, 0));
    DestroyWindow(edit);
  }
  state.SetItemsProcessed(state.iterations() * kTyped);
}
BENCHMARK(BM_EditTyping)->Unit(benchmark::kMillisecond);

void BM_DrawTextRetyped(benchmark::State& state) {
  const std::wstring text = TextOfLength(kTyped);
  Canvas canvas;
  HDC dc = canvas.dc;
  for (auto _ : state) {
    for (size_t n = 1; n <= text.size(); ++n) {
      RECT r = kField;
      FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
      DrawTextW(dc, text.c_str(), static_cast<int>(n), &r, DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
    }
  }
  state.SetItemsProcessed(state.iterations() * kTyped);
}
BENCHMARK(BM_DrawTextRetyped)->Unit(benchmark::kMillisecond);

void BM_RichEditPaging(benchmark::State& state) {
  LoadLibraryW(RICHEDIT_LIBRARY);
  HWND rich = Field(RICHEDIT_CLASSW);
  SendMessageW(rich, EM_EXLIMITTEXT, 0, static_cast<LPARAM>(kRichText));
  SetWindowTextW(rich, TextOfLength(kRichText).c_str());
  UpdateWindow(rich);
  const LRESULT lines = SendMessageW(rich, EM_GETLINECOUNT, 0, 0);
  int64_t pages = 0;
  for (auto _ : state) {
    SendMessageW(rich, WM_VSCROLL, SB_PAGEDOWN, 0);
    UpdateWindow(rich);
    ++pages;
    if (SendMessageW(rich, EM_GETFIRSTVISIBLELINE, 0, 0) + 20 >= lines) SendMessageW(rich, WM_VSCROLL, SB_TOP, 0);
  }
  state.SetItemsProcessed(pages);
  state.counters["lines"] = static_cast<double>(lines);
  DestroyWindow(rich);
}
BENCHMARK(BM_RichEditPaging);

void BM_DrawTextPages(benchmark::State& state) {
  const std::wstring text = TextOfLength(kRichText);
  Canvas canvas;
  HDC dc = canvas.dc;
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  // About one page of text a step, drawn with word breaks.
  const size_t page = static_cast<size_t>(kField.bottom / tm.tmHeight) * 16;
  size_t at = 0;
  for (auto _ : state) {
    RECT r = kField;
    FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
    DrawTextW(dc, text.c_str() + at, static_cast<int>(page), &r, DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
    at = at + 2 * page < text.size() ? at + page : 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawTextPages);

}  // namespace

int main(int argc, char** argv) {
  BenchDeviceRoot root("edit");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
