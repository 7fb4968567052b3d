// Messages dispatched per second by the window system: posted and taken
// from the queue, sent to a window of the same thread (a direct call), and
// sent to a window of another thread that waits in GetMessage.
#include <benchmark/benchmark.h>

#include <thread>

#include "platform/kernel/Sync.h"
#include "platform/ui/WinUser.h"

namespace {

LRESULT CountProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER) return static_cast<LRESULT>(w) + 1;
  return DefWindowProcW(h, m, w, l);
}

HWND MakeWindow() {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountProc;
    wc.lpszClassName = L"WCE_QvBench";
    return RegisterClassW(&wc) != 0;
  }();
  (void)registered;
  return CreateWindowExW(0, L"WCE_QvBench", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

void BM_Posted(benchmark::State& state) {
  HWND w = MakeWindow();
  MSG m;
  for (auto _ : state) {
    PostMessageW(w, WM_USER, 1, 0);
    PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);
    benchmark::DoNotOptimize(DispatchMessageW(&m));
  }
  state.SetItemsProcessed(state.iterations());
  DestroyWindow(w);
}
BENCHMARK(BM_Posted);

void BM_SentSameThread(benchmark::State& state) {
  HWND w = MakeWindow();
  for (auto _ : state) benchmark::DoNotOptimize(SendMessageW(w, WM_USER, 1, 0));
  state.SetItemsProcessed(state.iterations());
  DestroyWindow(w);
}
BENCHMARK(BM_SentSameThread);

void BM_SentCrossThread(benchmark::State& state) {
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HWND w = nullptr;
  DWORD receiver = 0;
  std::thread t([&] {
    receiver = GetCurrentThreadId();
    w = MakeWindow();
    SetEvent(ready);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0)) DispatchMessageW(&m);
    DestroyWindow(w);
  });
  WaitForSingleObject(ready, INFINITE);
  for (auto _ : state) benchmark::DoNotOptimize(SendMessageW(w, WM_USER, 1, 0));
  state.SetItemsProcessed(state.iterations());
  PostThreadMessageW(receiver, WM_QUIT, 0, 0);
  t.join();
  CloseHandle(ready);
}
BENCHMARK(BM_SentCrossThread)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
