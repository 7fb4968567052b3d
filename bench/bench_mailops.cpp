// Switching the current account between two accounts of 10,000 mails each
// (a third of them unread) in every folder the store allows an account (the
// four system folders and 20 user folders), until the
// launcher has what it shows: the four system folders with their names and
// unread counts and both boxes' folders in their saved order. Beside it,
// what a program would do without the store's unread counts: open every
// mail of the account and read its unread flag. Ratios matter, not absolute
// times.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "bench/BenchDeviceRoot.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "platform/kernel/Files.h"
#include "platform/registry/Registry.h"

namespace {

// The store allows 20 user folders to an account; the mails are spread
// over those and the four system folders.
constexpr int kFolders = 24;
constexpr int kMails = 10000;
constexpr wchar_t kData[] = L"\\Application Data\\QuvoMail\\";
const wchar_t* const kAccounts[] = {L"仕事", L"個人"};

void WriteText(const wchar_t* name, const std::wstring& text) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", 0, nullptr, 0, 0, nullptr, &key, &disposition);
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(2 * (text.size() + 1)));
  RegCloseKey(key);
}

// Every folder of an account: the four trays and the folders below both boxes.
std::vector<unsigned long> AllFolders(QvStorageInterface* storage, const unsigned long trays[4]) {
  std::vector<unsigned long> all(trays, trays + 4);
  for (int box = 0; box < 2; ++box) {
    std::unique_ptr<QvFolderInterface> f(storage->OpenFolder(trays[box]));
    std::vector<unsigned long> children;
    if (f && f->GetFolderIds(&children)) all.insert(all.end(), children.begin(), children.end());
  }
  return all;
}

struct Setting {
  BenchDeviceRoot root{"mailops"};
  int unread[2] = {0, 0};
  Setting() {
    CreateDirectoryW(L"\\Application Data", nullptr);
    CreateDirectoryW(kData, nullptr);
    WriteText(L"DataPath", kData);
    for (int a = 0; a < 2; ++a) Fill(a);
  }
  void Fill(int a) {
    QvAccountCreator().CreateFolders(kAccounts[a]);
    std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(kAccounts[a], L""));
    QvAccountInfoInterface::Attributes s;
    for (auto bit : {QvAccountInfoInterface::Attributes::kJusinTrayID, QvAccountInfoInterface::Attributes::kSousinZumiTrayID,
                     QvAccountInfoInterface::Attributes::kSitagakiTrayID, QvAccountInfoInterface::Attributes::kSousinTrayID}) {
      s.Select(bit);
    }
    info->GetAccountInfoAttributes(&s);
    const unsigned long trays[4] = {s.ulJusinTrayID, s.ulSousinZumiTrayID, s.ulSitagakiTrayID, s.ulSousinTrayID};
    std::unique_ptr<QvStorageInterface> storage(info->OpenStorage());
    // User folders below both boxes, alternately, as many as the store allows.
    for (int n = static_cast<int>(AllFolders(storage.get(), trays).size()); n < kFolders; ++n) {
      std::unique_ptr<QvFolderInterface> box(storage->OpenFolder(trays[n % 2]));
      unsigned long id = 0;
      box->CreateFolder(L"フォルダ" + std::to_wstring(n), &id);
    }
    const std::vector<unsigned long> folders = AllFolders(storage.get(), trays);
    int made = 0;
    for (size_t n = 0; n < folders.size(); ++n) {
      const unsigned long folder = folders[n];
      std::unique_ptr<QvFolderInterface> f(storage->OpenFolder(folder));
      const int share = kMails / static_cast<int>(folders.size()) +
                        (static_cast<int>(n) < kMails % static_cast<int>(folders.size()) ? 1 : 0);
      for (int i = 0; i < share; ++i, ++made) {
        QvMessageInterface::Attributes attributes;
        attributes.mask = QvMessageInterface::kUnread | QvMessageInterface::kKind | QvMessageInterface::kListShort2;
        attributes.unread = made % 3 == 0 ? 1 : 0;
        attributes.kind = QvMessageInterface::kReceived;
        attributes.listShort2 = L"件名" + std::to_wstring(made);
        // The launcher counts the boxes and their folders, not drafts and outbox.
        if (attributes.unread && folder != trays[2] && folder != trays[3]) ++unread[a];
        unsigned long id = 0;
        f->CreateMessage(&id, attributes, "Subject: " + std::to_string(made) + "\r\n\r\nbody\r\n");
      }
    }
    std::fprintf(stderr, "account %d: %zu folders, %d mails, %d unread in the boxes\n", a, folders.size(), made,
                 unread[a]);
  }
};

Setting& Set() {
  static Setting s;
  return s;
}

// What the launcher reads after a switch: the counts it paints.
int LauncherCounts() {
  int total = 0;
  for (int kind = 0; kind < 4; ++kind) {
    QvFolderItem item;
    if (GetSystemFolderItem(kind, &item)) total += kind < 2 ? item.unread : 0;
  }
  for (int kind = 0; kind < 2; ++kind) {
    std::vector<QvFolderItem> items;
    if (GetOrderedFolderItems(kind, &items)) {
      for (const QvFolderItem& item : items) total += item.unread;
    }
  }
  return total;
}

void SwitchAccount(benchmark::State& state) {
  Setting& s = Set();
  int which = 0;
  OpenCurrentAccount(kAccounts[1]);
  for (auto _ : state) {
    if (!OpenCurrentAccount(kAccounts[which])) state.SkipWithError("the account did not open");
    const int counted = LauncherCounts();
    if (counted != s.unread[which]) state.SkipWithError("wrong unread count");
    which ^= 1;
  }
  CloseCurrentAccount();
}
BENCHMARK(SwitchAccount)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The two halves of a switch apart: the open, and the launcher's reading.
void OpenOnly(benchmark::State& state) {
  Set();
  int which = 0;
  for (auto _ : state) {
    OpenCurrentAccount(kAccounts[which]);
    which ^= 1;
  }
  CloseCurrentAccount();
}
BENCHMARK(OpenOnly)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void LauncherOnly(benchmark::State& state) {
  Set();
  OpenCurrentAccount(kAccounts[0]);
  for (auto _ : state) benchmark::DoNotOptimize(LauncherCounts());
  CloseCurrentAccount();
}
BENCHMARK(LauncherOnly)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The same counts by opening every mail of the boxes and reading its flag.
void CountByReadingEveryMail(benchmark::State& state) {
  Setting& s = Set();
  int which = 0;
  for (auto _ : state) {
    std::unique_ptr<QvAccountInfoInterface> info(QvAccountInfoInterface::OpenAccountInfo(kAccounts[which], L""));
    QvAccountInfoInterface::Attributes a;
    a.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
    a.Select(QvAccountInfoInterface::Attributes::kSousinZumiTrayID);
    info->GetAccountInfoAttributes(&a);
    std::unique_ptr<QvStorageInterface> storage(info->OpenStorage());
    int counted = 0;
    for (unsigned long box : {static_cast<unsigned long>(a.ulJusinTrayID), static_cast<unsigned long>(a.ulSousinZumiTrayID)}) {
      std::unique_ptr<QvFolderInterface> f(storage->OpenFolder(box));
      std::vector<unsigned long> folders{box};
      std::vector<unsigned long> children;
      f->GetFolderIds(&children);
      folders.insert(folders.end(), children.begin(), children.end());
      for (unsigned long folder : folders) {
        std::unique_ptr<QvFolderInterface> g(storage->OpenFolder(folder));
        std::vector<unsigned long> ids;
        g->GetMessageIds(&ids);
        for (unsigned long id : ids) {
          std::unique_ptr<QvMessageInterface> m(storage->OpenMessage(id));
          QvMessageInterface::Attributes flags;
          flags.mask = QvMessageInterface::kUnread;
          if (m && m->GetAttributes(&flags) && flags.unread) ++counted;
        }
      }
    }
    if (counted != s.unread[which]) state.SkipWithError("wrong unread count");
    which ^= 1;
  }
}
BENCHMARK(CountByReadingEveryMail)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
