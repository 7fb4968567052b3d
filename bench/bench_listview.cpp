// An owner-data list of 100,000 rows scrolled from top to bottom a page at
// a time, in rows drawn per second, beside the same rows drawn by hand
// (a background fill and two DrawTextW calls a row into the window's DC):
// what an owner-drawn list of one's own would cost at the least. And the
// Down key in a list of 1,000 mails at the foot of its page, from the key's
// input event to the painted screen: every press moves the selection and
// scrolls one row.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/BenchDeviceRoot.h"
#include "platform/gdi/Gdi.h"
#include "platform/testing/Seams.h"
#include "platform/ui/WinUser.h"

namespace {

constexpr int kRows = 100000;

BenchDeviceRoot& Root() {
  static BenchDeviceRoot root("listview");
  return root;
}

long long g_asked = 0;  // rows whose first column was asked for
std::wstring g_text;

LRESULT ParentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_NOTIFY && reinterpret_cast<NMHDR*>(l)->code == LVN_GETDISPINFOW) {
    auto* info = reinterpret_cast<NMLVDISPINFOW*>(l);
    if (info->item.iSubItem == 0) ++g_asked;
    g_text = (info->item.iSubItem == 0 ? L"会議のお知らせ " : L"山田太郎 ") + std::to_wstring(info->item.iItem);
    info->item.pszText = g_text.data();
    return 0;
  }
  return DefWindowProcW(h, m, w, l);
}

HWND MakeParent() {
  Root();
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.lpszClassName = L"WCE_QvBenchList";
    return RegisterClassW(&wc) != 0;
  }();
  (void)registered;
  return CreateWindowExW(0, L"WCE_QvBenchList", L"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 800, nullptr, nullptr, nullptr,
                         nullptr);
}

HWND MakeList(HWND parent) {
  HWND list = CreateWindowExW(0, WC_LISTVIEW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA, 0, 0, 480, 800,
                              parent, nullptr, nullptr, nullptr);
  const std::pair<const wchar_t*, int> columns[] = {{L"件名", 300}, {L"差出人", 150}};
  for (int c = 0; c < 2; ++c) {
    LVCOLUMNW col{LVCF_TEXT | LVCF_WIDTH, 0, columns[c].second, const_cast<LPWSTR>(columns[c].first), 0, 0, 0, 0};
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&col));
  }
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  SendMessageW(list, LVM_SETITEMCOUNT, kRows, 0);
  UpdateWindow(parent);
  UpdateWindow(list);
  return list;
}

void BM_OwnerDataListScrolledByPages(benchmark::State& state) {
  HWND parent = MakeParent();
  HWND list = MakeList(parent);
  g_asked = 0;
  for (auto _ : state) {
    SendMessageW(list, WM_VSCROLL, SB_TOP, 0);
    UpdateWindow(list);
    while (SendMessageW(list, LVM_GETTOPINDEX, 0, 0) + SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0) < kRows) {
      SendMessageW(list, WM_VSCROLL, SB_PAGEDOWN, 0);
      UpdateWindow(list);
    }
  }
  state.SetItemsProcessed(g_asked);
  state.counters["rows_per_pass"] = benchmark::Counter(static_cast<double>(g_asked) / static_cast<double>(state.iterations()));
  DestroyWindow(parent);
}
BENCHMARK(BM_OwnerDataListScrolledByPages)->Unit(benchmark::kMillisecond);

void BM_SameRowsDrawnByHand(benchmark::State& state) {
  HWND parent = MakeParent();
  HWND list = MakeList(parent);
  RECT row{};
  row.left = LVIR_BOUNDS;
  SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
  const int depth = row.bottom - row.top;
  const int perPage = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0)) + 1;
  HBRUSH back = GetSysColorBrush(COLOR_WINDOW);
  long long drawn = 0;
  for (auto _ : state) {
    for (int top = 0; top < kRows; top += perPage - 1) {
      HDC dc = GetDC(list);
      SetBkMode(dc, TRANSPARENT);
      for (int i = top; i < top + perPage && i < kRows; ++i) {
        RECT r{0, row.top + (i - top) * depth, 480, row.top + (i - top + 1) * depth};
        FillRect(dc, &r, back);
        std::wstring subject = L"会議のお知らせ " + std::to_wstring(i);
        std::wstring from = L"山田太郎 " + std::to_wstring(i);
        RECT cell{r.left + 6, r.top, 294, r.bottom};
        DrawTextW(dc, subject.c_str(), -1, &cell, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
        cell = {306, r.top, 444, r.bottom};
        DrawTextW(dc, from.c_str(), -1, &cell, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
        ++drawn;
      }
      ReleaseDC(list, dc);
    }
  }
  state.SetItemsProcessed(drawn);
  DestroyWindow(parent);
}
BENCHMARK(BM_SameRowsDrawnByHand)->Unit(benchmark::kMillisecond);

void SetFocusedRow(HWND list, int i) {
  LVITEMW item{};
  item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
}

void BM_DownKeyScrollingAThousandRowList(benchmark::State& state) {
  constexpr int kMails = 1000;
  HWND parent = MakeParent();
  HWND list = CreateWindowExW(0, WC_LISTVIEW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                              0, 0, 480, 720, parent, nullptr, nullptr, nullptr);
  const std::pair<const wchar_t*, int> columns[] = {{L"差出人", 130}, {L"件名", 230}, {L"日時", 120}};
  for (int c = 0; c < 3; ++c) {
    LVCOLUMNW col{LVCF_TEXT | LVCF_WIDTH, 0, columns[c].second, const_cast<LPWSTR>(columns[c].first), 0, 0, 0, 0};
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&col));
  }
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
  for (int i = 0; i < kMails; ++i) {
    const std::wstring from = L"山田太郎 " + std::to_wstring(i);
    const std::wstring subject = L"明日の打ち合わせについて " + std::to_wstring(i);
    LVITEMW item{LVIF_TEXT, i, 0, 0, 0, const_cast<LPWSTR>(from.c_str()), 0, 0, 0, 0};
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    LVITEMW text{};
    text.iSubItem = 1;
    text.pszText = const_cast<LPWSTR>(subject.c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text));
    text.iSubItem = 2;
    text.pszText = const_cast<LPWSTR>(L"12/09 09:12");
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text));
  }
  SetFocus(list);
  const int perPage = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
  auto toPageFoot = [&] {
    SendMessageW(list, LVM_ENSUREVISIBLE, 0, FALSE);
    SetFocusedRow(list, perPage - 1);
    qv::seams::PumpMessages();
  };
  toPageFoot();
  long long scrolled = 0;
  for (auto _ : state) {
    if (SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED) >= kMails - 1) {
      state.PauseTiming();
      toPageFoot();
      state.ResumeTiming();
    }
    const LRESULT top = SendMessageW(list, LVM_GETTOPINDEX, 0, 0);
    qv::seams::InjectKey(VK_DOWN, true);
    qv::seams::InjectKey(VK_DOWN, false);
    qv::seams::PumpMessages();
    scrolled += SendMessageW(list, LVM_GETTOPINDEX, 0, 0) != top;
  }
  state.counters["scrolled"] = benchmark::Counter(static_cast<double>(scrolled) / static_cast<double>(state.iterations()));
  state.SetItemsProcessed(state.iterations());
  DestroyWindow(parent);
}
BENCHMARK(BM_DownKeyScrollingAThousandRowList)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
