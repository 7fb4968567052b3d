// Accounts and message storage beside what a user could do instead: opening
// and closing an account, listing a hundred accounts, and storing a thousand
// 4 KB mails through the message set beside the same mails delivered as
// maildir files with the same durability (the file's data synced, then the
// directory where its name appears). The closing line gives the ratio of
// the two stores; ratios matter, not absolute times.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchDeviceRoot.h"
#include "bench/BenchMaildir.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/store/QvMessage.h"
#include "engine/store/QvMessageSet.h"
#include "engine/store/QvStorage.h"
#include "engine/store/QvStorageSet.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/Files.h"

namespace {

constexpr uint32_t kMails = 1000;
constexpr size_t kMailBytes = 4096;
constexpr int kOpenCloseRounds = 10000;
constexpr int kListedAccounts = 100;
constexpr wchar_t kData[] = L"\\Application Data\\QuvoMail\\";

std::string SampleMail(uint32_t n) {
  std::string mail = "From: hanako@example.ne.jp\r\nTo: taro@example.co.jp\r\nSubject: test " + std::to_string(n) +
                     "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n\r\n";
  while (mail.size() < kMailBytes - 2) mail += "The quick brown fox jumps over the lazy dog, line by line.\r\n";
  mail.resize(kMailBytes - 2);
  return mail + "\r\n";
}

// A fresh device root with a data folder, removed afterwards.
struct Root : BenchDeviceRoot {
  Root() : BenchDeviceRoot("accounts") {
    CreateDirectoryW(L"\\Application Data", nullptr);
    CreateDirectoryW(kData, nullptr);
    SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"DataPath", kData);
  }
};

void OpenClose10000(benchmark::State& state) {
  Root root;
  delete QvAccountInfoInterface::Create(L"仕事", L"");
  for (auto _ : state) {
    for (int i = 0; i < kOpenCloseRounds; ++i) {
      std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(L"仕事", L""));
      if (!account) state.SkipWithError("open");
    }
  }
  state.SetItemsProcessed(state.iterations() * kOpenCloseRounds);
}
BENCHMARK(OpenClose10000)->Unit(benchmark::kMillisecond);

void List100(benchmark::State& state) {
  Root root;
  for (int i = 0; i < kListedAccounts; ++i) delete QvAccountInfoInterface::Create(qv::FormatW(L"口座%03d", i), L"");
  std::vector<std::wstring> names;
  for (auto _ : state) {
    if (!QvAccountInfoInterface::GetAccountNameList(&names, L"") || names.size() != kListedAccounts) {
      state.SkipWithError("list");
    }
  }
  state.SetItemsProcessed(state.iterations() * kListedAccounts);
}
BENCHMARK(List100)->Unit(benchmark::kMillisecond);

// The message set of a fresh account's storage, as the account layer opens it.
void Store1000_MessageSet(benchmark::State& state) {
  std::vector<std::string> mails;
  for (uint32_t n = 0; n < kMails; ++n) mails.push_back(SampleMail(n));
  for (auto _ : state) {
    state.PauseTiming();
    {
      Root root;
      delete QvAccountInfoInterface::Create(L"受信", L"");
      QvStorage* storage = QvStorageSet::Instance().Open(std::wstring(kData) + L"受信\\Storage");
      if (storage == nullptr) state.SkipWithError("storage");
      QvMessageSet& messages = storage->Messages();
      state.ResumeTiming();
      for (const std::string& mail : mails) {
        uint32_t id = 0;
        if (!messages.CreateMessageFile(&id, 1)) state.SkipWithError("create");
        QvMessage* message = messages.OpenMessage(id);
        if (!message->WriteRaw(mail)) state.SkipWithError("write");
        messages.CloseMessage(message);
      }
      state.PauseTiming();
      QvStorageSet::Instance().Close(storage);
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kMails);
}
BENCHMARK(Store1000_MessageSet)->Unit(benchmark::kMillisecond)->Iterations(1);

// Maildir delivery with the same durability (bench/BenchMaildir.h).
void Store1000_Maildir(benchmark::State& state) {
  std::vector<std::string> mails;
  for (uint32_t n = 0; n < kMails; ++n) mails.push_back(SampleMail(n));
  DeliverToMaildir<Root>(state, mails, 1);
}
BENCHMARK(Store1000_Maildir)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  return RunWithRatio(argc, argv, "Store1000_MessageSet/iterations:1", "Store1000_Maildir/iterations:1",
                      "store / maildir delivery (1,000 mails of 4 KB)");
}
