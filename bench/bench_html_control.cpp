// The HTML edit control: a 100 KB decorated mail loaded, laid out and
// painted to its first screen; a 1 MB one with 20 pictures by "cid:" the
// same way; 1,000 characters typed into a 100 KB document, each to its
// repainted screen; and the control's parse into its model beside gumbo's
// own parse of the same text (the ratio is what the model costs over the tree).
#include <benchmark/benchmark.h>
#include <gumbo.h>

#include <map>
#include <string>

#include "bench/BenchDeviceRoot.h"
#include "outside/Markwright/HtmlDocument.h"
#include "outside/Markwright/HtmlEditCtrl.h"
#include "platform/base/WideText.h"
#include "platform/imaging/Imaging.h"
#include "platform/ui/WinUser.h"

namespace {

// A decorated mail of about `bytes` bytes of UTF-8, with `pictures` images.
std::string MakeMail(size_t bytes, int pictures) {
  static const char* const kParagraphs[] = {
      "<div>いつもご利用いただき<b>ありがとうございます</b>。今月の<font color=\"#ff0000\" size=\"4\">おすすめ</font>を"
      "お届けします。<a href=\"http://example.jp/sale\">セール会場</a>はこちら。</div>",
      "<div align=\"center\"><font size=\"5\" color=\"#0066cc\"><b>週末限定</b></font><br>"
      "<i>Latin text wraps at blanks and mixes with 日本語の文章 in one paragraph.</i></div>",
      "<table><tr><td>商品A</td><td><s>3,980円</s></td><td><u>3,184円</u></td></tr></table>"
      "<ul><li>送料無料</li><li>ポイント<blink>２倍</blink></li></ul>",
  };
  std::string html = "<html><body>";
  int k = 0;
  int placed = 0;
  while (html.size() < bytes) {
    html += kParagraphs[k++ % 3];
    if (placed < pictures && html.size() * pictures > (placed + 1) * bytes / 2) {
      html += "<div><img src=\"cid:pic" + std::to_string(placed++) + "\"></div>";
    }
  }
  while (placed < pictures) html += "<img src=\"cid:pic" + std::to_string(placed++) + "\">";
  return html + "</body></html>";
}

std::map<std::wstring, std::wstring>& Pictures() {
  static std::map<std::wstring, std::wstring> pictures;
  return pictures;
}

LRESULT ParentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_NOTIFY) {
    auto* n = reinterpret_cast<NMHTMLEDIT*>(l);
    if (n->hdr.code == HEN_RESOLVE) {
      auto it = Pictures().find(n->text);
      if (it != Pictures().end()) wcsncpy(n->buffer, it->second.c_str(), HTMLEDIT_MAXPATH);
    }
    return 0;
  }
  return DefWindowProcW(h, m, w, l);
}

struct Screen {
  explicit Screen(int pictures) : root("html") {
    InitializeHtmlEditCtrl(nullptr, 0);
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.lpszClassName = L"WCE_QvHtmlBench";
    RegisterClassW(&wc);
    parent = CreateWindowExW(0, L"WCE_QvHtmlBench", L"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 800, nullptr, nullptr,
                             nullptr, nullptr);
    control = CreateWindowExW(0, HTMLEDIT_CLASS, L"", WS_CHILD | WS_VISIBLE, 0, 0, 480, 800, parent,
                              reinterpret_cast<HMENU>(1070), nullptr, nullptr);
    SendMessageW(control, EM_EXLIMITTEXT, 0, 4 * 1024 * 1024);
    qv::Bitmap bits;
    bits.Create(640, 480);
    for (UINT y = 0; y < 480; ++y)
      for (UINT x = 0; x < 640; ++x) {
        BYTE* p = bits.Row(y) + x * 4;
        p[0] = static_cast<BYTE>(x);
        p[1] = static_cast<BYTE>(y);
        p[2] = static_cast<BYTE>(x + y);
        p[3] = 255;
      }
    for (int i = 0; i < pictures; ++i) {
      const std::wstring path = L"\\pic" + std::to_wstring(i) + L".jpg";
      qv::SaveJpegFile(bits.Data(), path.c_str());
      Pictures()[L"cid:pic" + std::to_wstring(i)] = path;
    }
  }
  ~Screen() {
    DestroyWindow(parent);
    Pictures().clear();
  }
  void Open(const std::wstring& html) {
    SendMessageW(control, HEM_LOADHTML, reinterpret_cast<WPARAM>(html.c_str()), 0);
    UpdateWindow(control);
  }
  BenchDeviceRoot root;
  HWND parent = nullptr;
  HWND control = nullptr;
};

void BM_Open100KToFirstPaint(benchmark::State& state) {
  Screen screen(0);
  const std::wstring html = qv::Utf8ToWide(MakeMail(100 * 1024, 0));
  for (auto _ : state) screen.Open(html);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 100 * 1024);
}
BENCHMARK(BM_Open100KToFirstPaint)->Unit(benchmark::kMillisecond);

void BM_Open1MWith20PicturesToFirstPaint(benchmark::State& state) {
  Screen screen(20);
  const std::wstring html = qv::Utf8ToWide(MakeMail(1024 * 1024, 20));
  for (auto _ : state) screen.Open(html);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1024 * 1024);
}
BENCHMARK(BM_Open1MWith20PicturesToFirstPaint)->Unit(benchmark::kMillisecond);

// One character typed mid-document to the repainted screen; 1,000 a document.
void BM_TypeInto100K(benchmark::State& state) {
  Screen screen(0);
  const std::wstring html = qv::Utf8ToWide(MakeMail(100 * 1024, 0));
  int typed = 1000;
  for (auto _ : state) {
    if (typed == 1000) {
      state.PauseTiming();
      screen.Open(html);
      CHARRANGE middle{20000, 20000};
      SendMessageW(screen.control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&middle));
      UpdateWindow(screen.control);
      typed = 0;
      state.ResumeTiming();
    }
    SendMessageW(screen.control, WM_CHAR, L"あいうえおabc "[typed % 9], 0);
    UpdateWindow(screen.control);
    ++typed;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TypeInto100K)->Unit(benchmark::kMicrosecond);

void BM_ParseIntoModel100K(benchmark::State& state) {
  const std::string html = MakeMail(100 * 1024, 0);
  for (auto _ : state) {
    markwright::Document doc;
    doc.LoadHtml(html);
    benchmark::DoNotOptimize(doc.Length());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * html.size()));
}
BENCHMARK(BM_ParseIntoModel100K)->Unit(benchmark::kMillisecond);

void BM_GumboParseOnly100K(benchmark::State& state) {
  const std::string html = MakeMail(100 * 1024, 0);
  for (auto _ : state) {
    GumboOutput* out = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
    benchmark::DoNotOptimize(out->root);
    gumbo_destroy_output(&kGumboDefaultOptions, out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * html.size()));
}
BENCHMARK(BM_GumboParseOnly100K)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
