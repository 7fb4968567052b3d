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
#include "engine/foundation/QvAccountInfoInterface.h"
#include "engine/foundation/QvRegistryValue.h"
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

// Maildir delivery: the mail written into "tmp", its data synced, renamed
// into "new", and "new" synced so that the name survives too.
void Store1000_Maildir(benchmark::State& state) {
  std::vector<std::string> mails;
  for (uint32_t n = 0; n < kMails; ++n) mails.push_back(SampleMail(n));
  for (auto _ : state) {
    state.PauseTiming();
    {
      Root root;
      const std::string tmp = root.path() + "/tmp/";
      const std::string fresh = root.path() + "/new/";
      std::filesystem::create_directories(tmp);
      std::filesystem::create_directories(fresh);
      const int freshDir = ::open(fresh.c_str(), O_RDONLY | O_DIRECTORY);
      state.ResumeTiming();
      for (uint32_t n = 0; n < kMails; ++n) {
        const std::string name = std::to_string(n) + ".host";
        const int fd = ::open((tmp + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        const ssize_t size = static_cast<ssize_t>(mails[n].size());
        const bool ok = fd >= 0 && ::write(fd, mails[n].data(), mails[n].size()) == size && ::fdatasync(fd) == 0;
        if (fd >= 0) ::close(fd);
        if (!ok || std::rename((tmp + name).c_str(), (fresh + name).c_str()) != 0 || ::fsync(freshDir) != 0) {
          state.SkipWithError("deliver");
        }
      }
      state.PauseTiming();
      ::close(freshDir);
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kMails);
}
BENCHMARK(Store1000_Maildir)->Unit(benchmark::kMillisecond)->Iterations(1);

// Prints as usual and keeps each benchmark's real time for the closing line.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) seconds_[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto store = seconds_.find("Store1000_MessageSet/iterations:1");
    const auto maildir = seconds_.find("Store1000_Maildir/iterations:1");
    if (store != seconds_.end() && maildir != seconds_.end() && maildir->second > 0) {
      std::printf("store / maildir delivery (1,000 mails of 4 KB): %.2fx\n", store->second / maildir->second);
    }
  }

 private:
  std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
