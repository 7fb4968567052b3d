// Typing into a mail body: 1,000 characters, one in five a pictograph, into
// a body of 29,900 characters (the longest plain body a mail may have),
// each character timed from its input to the repainted line, in the body
// view that draws pictographs itself, beside the bare rich edit that draws
// them as the font does. The goal is 2 ms a character at most.
#include <benchmark/benchmark.h>

#include <string>

#include "app/message/richedit/QvRichClickableView.h"
#include "bench/BenchDeviceRoot.h"
#include "platform/kernel/Library.h"

namespace {

constexpr int kBody = 29900;
constexpr int kTyped = 1000;

std::wstring BodyText() {
  static const std::wstring line = L"本日は晴天なり\uE63E。明日の会議は十時から、よろしく\uE000。See https://example.jp/\r\n";
  std::wstring t;
  while (static_cast<int>(t.size()) < kBody) t += line;
  t.resize(kBody);
  return t;
}

wchar_t Typed(int n) {
  static const wchar_t kText[] = L"メールの本文を打つabc";
  return n % 5 == 4 ? static_cast<wchar_t>(0xE63E + n % 40) : kText[n % (sizeof kText / sizeof kText[0] - 1)];
}

class Parent : public CWnd {};

// One character a step; the body is refilled, untimed, every 1,000.
template <class Type>
void TypeIntoBody(benchmark::State& state, Type&& type, HWND body) {
  const std::wstring text = BodyText();
  int n = 0;
  for (auto _ : state) {
    if (n % kTyped == 0) {
      state.PauseTiming();
      SetWindowTextW(body, text.c_str());
      const LONG end = static_cast<LONG>(text.size());
      CHARRANGE r{end, end};
      SendMessageW(body, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
      UpdateWindow(body);
      state.ResumeTiming();
    }
    type(Typed(n++));
    UpdateWindow(body);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["ms_per_char"] = benchmark::Counter(1e-3 * static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_BodyViewTyping(benchmark::State& state) {
  Parent parent;
  parent.CreateEx(0, AfxRegisterWndClass(0), L"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 800, nullptr, nullptr);
  QvRichClickableView body;
  body.Create(WS_CHILD | WS_VISIBLE | ES_MULTILINE, RECT{0, 100, 480, 700}, &parent, 1);
  body.SendMessage(EM_EXLIMITTEXT, 0, kBody + kTyped + 1);
  body.SetFocus();
  TypeIntoBody(state, [&](wchar_t c) { body.SendMessage(WM_CHAR, c, 1); }, body.m_hWnd);
  parent.DestroyWindow();
}
BENCHMARK(BM_BodyViewTyping)->Iterations(3 * kTyped)->Unit(benchmark::kMicrosecond);

void BM_BareRichEditTyping(benchmark::State& state) {
  LoadLibraryW(RICHEDIT_LIBRARY);
  HWND parent = CreateWindowExW(0, AfxRegisterWndClass(0), L"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 800, nullptr,
                                nullptr, nullptr, nullptr);
  HWND body = CreateWindowExW(0, RICHEDIT_CLASSW, L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 100, 480, 600, parent,
                              nullptr, nullptr, nullptr);
  SendMessageW(body, EM_EXLIMITTEXT, 0, kBody + kTyped + 1);
  SetFocus(body);
  TypeIntoBody(state, [&](wchar_t c) { SendMessageW(body, WM_CHAR, c, 1); }, body);
  DestroyWindow(parent);
}
BENCHMARK(BM_BareRichEditTyping)->Iterations(3 * kTyped)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  BenchDeviceRoot root("richedit");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
