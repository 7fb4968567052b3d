// The mail list control over a full folder (1,000 mails, the store's limit
// a folder): opened to its first painted rows with the header rows not yet
// cached (the first open) and cached (every later one); the receive box of
// an account whose tree holds 10,000 mails; the list scrolled from top to
// bottom a page a key press at a time, timed from the key to the painted
// screen; re-sorting by another column to the repainted page; and the
// memory the open list holds a message, beside the header-row cache's own.
// Beside them, the header records of the folder read alone (the open must
// cost about one such read, never one a row) and the status words of its
// messages read alone (what a first open adds to them).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/foundation/UiRegistry.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "app/mailops/HeaderRowCache.h"
#include "app/mailops/MessageStatus.h"
#include "app/shell/boxdlg/QvTitleBarCtrl.h"
#include "app/shell/maillist/QvMailListCtrl.h"
#include "bench/BenchDeviceRoot.h"
#include "bench/BenchProgramRoot.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "platform/framework/Framework.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Library.h"
#include "platform/registry/Registry.h"
#include "platform/testing/Seams.h"

namespace {

constexpr int kFull = 1000;
constexpr int kTree = 10000;

struct Account {
  unsigned long receive = 0;
  unsigned long send = 0;
};

void Fill(QvFolderInterface* f, int count, int salt) {
  const std::string raw = "From: a@example.com\r\nSubject: s\r\n\r\nbody\r\n";
  for (int i = 0; i < count; ++i) {
    QvMessageInterface::Attributes a;
    a.mask = QvMessageInterface::kUnread | QvMessageInterface::kKind | QvMessageInterface::kListText2 |
             QvMessageInterface::kListShort2 | QvMessageInterface::kListTime | QvMessageInterface::kIsProtected;
    a.unread = i % 10 == 0 ? 1 : 0;
    a.isProtected = i % 50 == 0 ? 1 : 0;
    a.kind = QvMessageInterface::kReceived;
    // Realistic texts: a Japanese subject near the record's 31 characters
    // and a sender address of some twenty.
    a.listText2 = L"sender" + std::to_wstring((i * 7 + salt) % 97) + L"@example.co.jp";
    a.listShort2 = L"会議の件について（第" + std::to_wstring(i) + L"回）日程調整のお願いと資料の送付";
    a.listTime = SYSTEMTIME{2026, static_cast<WORD>(1 + i % 12), 0, static_cast<WORD>(1 + i % 28),
                            static_cast<WORD>(i % 24), static_cast<WORD>(i % 60), 0, 0};
    unsigned long id = 0;
    f->CreateMessage(&id, a, raw);
  }
}

// `total` mails: 1,000 in the receive box, the rest over folders below both
// boxes (the store's 1,000 a folder at most).
Account MakeAccount(const std::wstring& name, int total) {
  QvAccountCreator().CreateFolders(name);
  std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(name, L""));
  QvAccountInfoInterface::Attributes s;
  s.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
  s.Select(QvAccountInfoInterface::Attributes::kSousinZumiTrayID);
  info->GetAccountInfoAttributes(&s);
  Account account{s.ulJusinTrayID, s.ulSousinZumiTrayID};
  std::unique_ptr<QvStorageInterface> storage(info->OpenStorage());
  std::unique_ptr<QvFolderInterface> receive(storage->OpenFolder(account.receive));
  Fill(receive.get(), kFull, 0);
  for (int n = 0, left = total - kFull; left > 0; ++n, left -= kFull) {
    std::unique_ptr<QvFolderInterface> box(storage->OpenFolder(n % 2 ? account.send : account.receive));
    unsigned long id = 0;
    box->CreateFolder(L"f" + std::to_wstring(n), &id);
    std::unique_ptr<QvFolderInterface> f(storage->OpenFolder(id));
    if (f) Fill(f.get(), std::min(left, kFull), n + 1);
  }
  return account;
}

class Screen : public CFrameWnd {
 public:
  void PostNcDestroy() override {}
};

struct Setting {
  BenchDeviceRoot root{"maillist"};
  HMODULE resources = nullptr;
  Screen screen;
  QvTitleBarCtrl title;
  QvMailListCtrl list;
  Account full;
  Account tree;
  Setting() {
    resources = MakeBenchProgramRoot();
    full = MakeAccount(L"甲", kFull);
    tree = MakeAccount(L"乙", kTree);
    screen.Create(nullptr, L"T-VELA4メール ", WS_POPUP | WS_VISIBLE, CRect(0, 0, 480, 800));
    title.Create(L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 480, QvTitleBarCtrl::kHeight), &screen);
    list.Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | LVS_REPORT | LVS_OWNERDATA | LVS_OWNERDRAWFIXED |
                    LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                CRect(0, QvTitleBarCtrl::kHeight, 480, 800), &screen, 1206);
    list.SetUp(&title);
    SetMainWindow(&screen);
    OpenCurrentAccount(L"甲");
    qv::seams::PumpMessages();
  }
  void Use(const wchar_t* account) {
    static std::wstring current;
    if (current == account) return;
    OpenCurrentAccount(account);
    current = account;
  }
  // The list opened on the folder and its first rows painted.
  void OpenAndPaint(unsigned long folder) {
    list.LoadRows(QvMailListKind::ForKind(0), folder);
    list.SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    screen.UpdateWindow();
    list.UpdateWindow();
  }
};

Setting& Set() {
  static Setting s;
  return s;
}

void BM_OpenFullFolderFirstTime(benchmark::State& state) {
  Setting& s = Set();
  s.Use(L"甲");
  int calls = 0;
  for (auto _ : state) {
    ClearHeaderCache();
    qv::seams::CountFileCalls();
    s.OpenAndPaint(s.full.receive);
    calls = qv::seams::FileCalls();
  }
  state.counters["rows"] = s.list.GetRowCount();
  state.counters["file_calls"] = calls;
}
BENCHMARK(BM_OpenFullFolderFirstTime)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_OpenFullFolderAgain(benchmark::State& state) {
  Setting& s = Set();
  s.Use(L"甲");
  s.OpenAndPaint(s.full.receive);
  for (auto _ : state) s.OpenAndPaint(s.full.receive);
  state.counters["rows"] = s.list.GetRowCount();
}
BENCHMARK(BM_OpenFullFolderAgain)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The receive box opened for the first time after others: the header-row
// cache full of the other folders' rows.
void BM_OpenAfterOtherFolders(benchmark::State& state) {
  Setting& s = Set();
  s.Use(L"乙");
  std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(L"乙", L""));
  std::unique_ptr<QvStorageInterface> storage(info->OpenStorage());
  std::unique_ptr<QvFolderInterface> box(storage->OpenFolder(s.tree.receive));
  std::vector<unsigned long> others;
  box->GetFolderIds(&others);
  for (auto _ : state) {
    state.PauseTiming();
    ClearHeaderCache();
    for (size_t i = 0; i < 2 && i < others.size(); ++i) {
      std::vector<unsigned long> ids;
      std::vector<QvMailListItem> rows;
      if (GetMessageIds(others[i], &ids)) LoadMessageHeaders(others[i], ids, &rows);
    }
    state.ResumeTiming();
    s.OpenAndPaint(s.tree.receive);
  }
  state.counters["cached"] = static_cast<double>(CachedHeaderCount());
}
BENCHMARK(BM_OpenAfterOtherFolders)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_OpenReceiveBoxOfTenThousandTree(benchmark::State& state) {
  Setting& s = Set();
  s.Use(L"乙");
  for (auto _ : state) {
    ClearHeaderCache();
    s.OpenAndPaint(s.tree.receive);
  }
  state.counters["rows"] = s.list.GetRowCount();
}
BENCHMARK(BM_OpenReceiveBoxOfTenThousandTree)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// What one read of the folder's 1,000 header records costs, alone.
void BM_HeaderRecordsReadAlone(benchmark::State& state) {
  Setting& s = Set();
  s.Use(L"甲");
  std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(L"甲", L""));
  std::unique_ptr<QvStorageInterface> storage(info->OpenStorage());
  std::unique_ptr<QvFolderInterface> f(storage->OpenFolder(s.full.receive));
  std::vector<QvFolderInterface::FolderMsgHeader> records(kFull);
  for (auto _ : state) {
    f->LoadMessageHeader(records.data(), static_cast<unsigned long>(records.size()));
    benchmark::DoNotOptimize(records.data());
  }
}
BENCHMARK(BM_HeaderRecordsReadAlone)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// What the first open costs beyond the records: each row's status word and
// kind, read from its message's own header (an open, a read and a close of
// the message file under its lock), alone.
void BM_StatusWordsReadAlone(benchmark::State& state) {
  Setting& s = Set();
  s.Use(L"甲");
  std::vector<unsigned long> ids;
  GetMessageIds(s.full.receive, &ids);
  for (auto _ : state) {
    for (unsigned long id : ids) {
      uint32_t status = 0, kind = 0;
      GetMessageStatus(id, s.full.receive, &status, &kind);
      benchmark::DoNotOptimize(status);
    }
  }
}
BENCHMARK(BM_StatusWordsReadAlone)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Page Down from the first row to the last, each press to its painted page.
void BM_ScrollPageByPage(benchmark::State& state) {
  Setting& s = Set();
  s.Use(L"甲");
  s.OpenAndPaint(s.full.receive);
  s.list.SetFocus();
  int64_t pages = 0;
  for (auto _ : state) {
    s.list.SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    s.list.EnsureVisible(0, FALSE);
    s.list.UpdateWindow();
    while (s.list.GetNextItem(-1, LVNI_FOCUSED) < s.list.GetRowCount() - 1) {
      qv::seams::InjectKey(VK_NEXT, true);
      qv::seams::InjectKey(VK_NEXT, false);
      qv::seams::PumpMessages();
      s.list.UpdateWindow();
      ++pages;
    }
  }
  state.counters["pages_per_s"] = benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ScrollPageByPage)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Each pass sorts by another column; the selected message stays in view.
void BM_ResortThousandRows(benchmark::State& state) {
  Setting& s = Set();
  s.Use(L"甲");
  s.OpenAndPaint(s.full.receive);
  int column = 0;
  for (auto _ : state) {
    s.list.ChooseSortColumn(column);
    s.list.UpdateWindow();
    column = (column + 1) % 3;
  }
}
BENCHMARK(BM_ResortThousandRows)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Live heap bytes a message: the open list (rows and list view) with the
// header rows already cached, and the cache's own copies apart.
void BM_MemoryPerMessage(benchmark::State& state) {
  Setting& s = Set();
  s.Use(L"甲");
  double list = 0;
  double cache = 0;
  for (auto _ : state) {
    s.list.AssignRows(QvMailListKind::ForKind(0), s.full.receive, {});
    ClearHeaderCache();
    malloc_trim(0);
    const size_t empty = mallinfo2().uordblks;
    std::vector<unsigned long> ids;
    GetMessageIds(s.full.receive, &ids);
    {
      std::vector<QvMailListItem> rows;
      LoadMessageHeaders(s.full.receive, ids, &rows);
    }
    const size_t cached = mallinfo2().uordblks;
    s.OpenAndPaint(s.full.receive);
    const size_t open = mallinfo2().uordblks;
    cache = static_cast<double>(cached - empty) / kFull;
    list = static_cast<double>(open - cached) / kFull;
  }
  state.counters["list_bytes_per_msg"] = list;
  state.counters["cache_bytes_per_msg"] = cache;
}
BENCHMARK(BM_MemoryPerMessage)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
