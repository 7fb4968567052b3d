// The launcher switched between two accounts of 50 folders and 10,000 mails
// each (200 a folder, a tenth of them unread), timed from the drop-down's
// choice to the repainted launcher with the boxes' unread counts; beside it
// the launcher only repainted, what the switch costs at the least.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/foundation/UiRegistry.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "app/shell/boxdlg/QvAccountSelector.h"
#include "app/shell/boxdlg/QvFolderListCtrl.h"
#include "bench/BenchDeviceRoot.h"
#include "bench/BenchProgramRoot.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "platform/framework/Framework.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Library.h"
#include "platform/registry/Registry.h"
#include "platform/testing/Seams.h"

namespace {

constexpr int kFolders = 50;
constexpr int kPerFolder = 200;
constexpr size_t kMails = 10000;

// 50 folders in all (the four trays, and user folders below both boxes,
// alternately), 200 mails each, every tenth unread.
void MakeAccount(const std::wstring& name) {
  QvAccountCreator().CreateFolders(name);
  std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(name, L""));
  QvAccountInfoInterface::Attributes s;
  for (auto bit : {QvAccountInfoInterface::Attributes::kJusinTrayID, QvAccountInfoInterface::Attributes::kSousinZumiTrayID,
                   QvAccountInfoInterface::Attributes::kSitagakiTrayID, QvAccountInfoInterface::Attributes::kSousinTrayID}) {
    s.Select(bit);
  }
  info->GetAccountInfoAttributes(&s);
  const unsigned long trays[4] = {s.ulJusinTrayID, s.ulSousinZumiTrayID, s.ulSitagakiTrayID, s.ulSousinTrayID};
  std::unique_ptr<QvStorageInterface> storage(info->OpenStorage());
  auto all = [&] {
    std::vector<unsigned long> folders(trays, trays + 4);
    for (int box = 0; box < 2; ++box) {
      std::unique_ptr<QvFolderInterface> f(storage->OpenFolder(trays[box]));
      std::vector<unsigned long> children;
      if (f && f->GetFolderIds(&children)) folders.insert(folders.end(), children.begin(), children.end());
    }
    return folders;
  };
  for (int n = static_cast<int>(all().size()); n < kFolders; ++n) {
    std::unique_ptr<QvFolderInterface> box(storage->OpenFolder(trays[n % 2]));
    unsigned long id = 0;
    box->CreateFolder(L"f" + std::to_wstring(n), &id);
  }
  const std::string raw = "From: a@example.com\r\nSubject: s\r\n\r\nbody\r\n";
  // The store keeps at most 20 user folders: the 10,000 mails then spread
  // over the folders there are, 200 a folder or more.
  const std::vector<unsigned long> folders = all();
  const int per = std::max<int>(kPerFolder, static_cast<int>((kMails + folders.size() - 1) / folders.size()));
  std::fprintf(stderr, "%ls: %zu folders, %zu mails\n", name.c_str(), folders.size(), folders.size() * per);
  for (unsigned long folder : folders) {
    std::unique_ptr<QvFolderInterface> f(storage->OpenFolder(folder));
    for (int i = 0; i < per; ++i) {
      QvMessageInterface::Attributes a;
      a.mask = QvMessageInterface::kUnread | QvMessageInterface::kKind | QvMessageInterface::kListText2;
      a.unread = i % 10 == 0 ? 1 : 0;
      a.kind = QvMessageInterface::kReceived;
      a.listText2 = L"a@example.com";
      unsigned long id = 0;
      f->CreateMessage(&id, a, raw);
    }
  }
}

// The launcher: the drop-down over the seven items, the boxes counted with their folders.
class Launcher : public CFrameWnd {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_COMMAND && LOWORD(wParam) == 1025 && HIWORD(wParam) == CBN_SELENDOK) {
      OpenCurrentAccount(std::wstring(combo.GetCurrentName().GetString()));
      Build();
      return 0;
    }
    return CFrameWnd::WindowProc(message, wParam, lParam);
  }
  void Open() {
    Create(nullptr, L"T-VELA4メール ", WS_POPUP | WS_VISIBLE, CRect(0, 0, 480, 800));
    combo.Create(WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, CRect(0, 4, 350, 404), this, 1025);
    combo.SetUp();
    list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 46, 480, 800), this, 1078);
    list.SetUp();
    combo.Refill();
  }
  void Build() {
    list.SetRedraw(FALSE);
    list.ClearItems();
    for (int kind = 0; kind < 4; ++kind) {
      QvFolderItem item;
      if (!GetSystemFolderItem(kind, &item)) continue;
      int count = item.unread;
      std::vector<QvFolderItem> folders;
      if (kind < 2 && GetOrderedFolderItems(kind, &folders)) {
        for (const QvFolderItem& f : folders) count += f.unread;
      }
      list.AddItem(list.GetItemCount(), item.name, 0, count, true, item.folderId);
    }
    list.AddItem(list.GetItemCount(), L"新規作成", 1, 0, false, 0);
    list.AddItem(list.GetItemCount(), L"メール受信", 2, 0, false, 0);
    list.AddItem(list.GetItemCount(), L"設定", 3, 0, false, 0);
    list.SelectAndShow(0);
    list.SetRedraw(TRUE);
    list.Invalidate();
  }
  void PostNcDestroy() override {}
  QvAccountSelector combo;
  QvFolderListCtrl list;
};

struct Setting {
  BenchDeviceRoot root{"boxscreens"};
  HMODULE resources = nullptr;
  Launcher launcher;
  Setting() {
    resources = MakeBenchProgramRoot();
    MakeAccount(L"甲");
    MakeAccount(L"乙");
    launcher.Open();
    SetMainWindow(&launcher);
    OpenCurrentAccount(L"甲");
    launcher.Build();
    qv::seams::PumpMessages();
  }
};

Setting& Set() {
  static Setting s;
  return s;
}

void BM_SwitchAccountToPaintedLauncher(benchmark::State& state) {
  Launcher& l = Set().launcher;
  // Each switch timed apart: on a loaded machine the minimum and the median
  // say more about the program than the mean.
  std::vector<double> ms;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    l.combo.SetCurSel(1 - l.combo.GetCurSel());
    l.PostMessage(WM_COMMAND, MAKEWPARAM(1025, CBN_SELENDOK), reinterpret_cast<LPARAM>(l.combo.m_hWnd));
    qv::seams::PumpMessages();
    l.UpdateWindow();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  state.counters["unread"] = l.list.CountOf(l.list.GetItemKey(0));
  if (!ms.empty()) {
    std::sort(ms.begin(), ms.end());
    state.counters["min_ms"] = ms.front();
    state.counters["median_ms"] = ms[ms.size() / 2];
  }
}
BENCHMARK(BM_SwitchAccountToPaintedLauncher)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The parts of the switch: the account opened alone, then the list rebuilt
// from the open account and painted.
void BM_OpenAccountOnly(benchmark::State& state) {
  Set();
  bool other = false;
  for (auto _ : state) {
    other = !other;
    OpenCurrentAccount(other ? L"乙" : L"甲");
  }
}
BENCHMARK(BM_OpenAccountOnly)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_RebuildAndPaintOnly(benchmark::State& state) {
  Launcher& l = Set().launcher;
  for (auto _ : state) {
    l.Build();
    qv::seams::PumpMessages();
    l.UpdateWindow();
  }
}
BENCHMARK(BM_RebuildAndPaintOnly)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_RepaintLauncherOnly(benchmark::State& state) {
  Launcher& l = Set().launcher;
  for (auto _ : state) {
    l.list.Invalidate();
    l.combo.Invalidate();
    qv::seams::PumpMessages();
    l.UpdateWindow();
  }
}
BENCHMARK(BM_RepaintLauncherOnly)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
