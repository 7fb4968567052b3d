// Export and import of 200 mail files beside what a user could do instead:
// the same files written (export) or delivered maildir-style (import) with
// POSIX calls and the same one data sync per file. Ratios matter, not
// absolute times.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchDeviceRoot.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageExporter.h"
#include "engine/public/store/QvMessageImporter.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/Files.h"

namespace {

constexpr int kMessages = 200;

std::string Raw(int i) {
  const std::string n = std::to_string(i);
  return "From: =?ISO-2022-JP?B?GyRCOjk9UD9NGyhC?= <from" + n + "@example.jp>\r\nTo: to" + n +
         "@example.jp\r\nSubject: =?ISO-2022-JP?B?GyRCN29MPhsoQg==?= " + n +
         "\r\nDate: Tue, 04 Mar 2025 10:00:00 +0900\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n" +
         std::string(2000, 'x') + "\r\n";
}

// One account with 200 stored messages, kept open for the whole run.
struct Store : BenchDeviceRoot {
  Store() : BenchDeviceRoot("transfer") {
    CreateDirectoryW(L"\\Application Data", nullptr);
    CreateDirectoryW(L"\\Application Data\\QuvoMail\\", nullptr);
    SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"DataPath", L"\\Application Data\\QuvoMail\\");
    QvAccountCreator().CreateFolders(L"bench");
    account.reset(QvAccountInfoInterface::OpenAccountInfo(L"bench", L""));
    QvAccountInfoInterface::Attributes a;
    a.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
    a.Select(QvAccountInfoInterface::Attributes::kSitagakiTrayID);
    account->GetAccountInfoAttributes(&a);
    storage.reset(account->OpenStorage());
    inbox.reset(storage->OpenFolder(a.ulJusinTrayID));
    drafts.reset(storage->OpenFolder(a.ulSitagakiTrayID));
    CreateDirectoryW(L"\\Files", nullptr);
    for (int i = 0; i < kMessages; ++i) {
      unsigned long id = 0;
      inbox->CreateMessage(&id);
      messages.emplace_back(inbox->OpenMessage(id));
      messages.back()->Write(Raw(i));
      sources.push_back(messages.back().get());
      const std::wstring file = qv::FormatW(L"\\Files\\EML%05d.eml", i);
      FILE* f = _wfopen(file.c_str(), L"wb");
      const std::string raw = Raw(i);
      fwrite(raw.data(), 1, raw.size(), f);
      fclose(f);
      files.push_back(file);
    }
  }
  std::string HostOf(const std::wstring& device) const {
    std::string host;
    qv::DeviceToHostPath(device, &host);
    return host;
  }
  std::unique_ptr<QvAccountInfoInterface> account;
  std::unique_ptr<QvStorageInterface> storage;
  std::unique_ptr<QvFolderInterface> inbox, drafts;
  std::vector<std::unique_ptr<QvMessageInterface>> messages;
  std::vector<QvMessageInterface*> sources;
  std::vector<std::wstring> files;
};
// Made in main and gone before it returns: the kernel's per-thread mutex
// records end before static objects do.
Store* g_store = nullptr;
Store& TheStore() { return *g_store; }

void FreshFolder(const std::string& host) {
  std::filesystem::remove_all(host);
  std::filesystem::create_directories(host);
}

bool WriteSynced(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) && ::fdatasync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

void Export200_Exporter(benchmark::State& state) {
  Store& store = TheStore();
  const std::string out = store.HostOf(L"\\Out");
  QvMessageExporter exporter;
  exporter.SetSource(store.sources);
  exporter.SetDestination(L"\\Out");
  for (auto _ : state) {
    state.PauseTiming();
    FreshFolder(out);
    state.ResumeTiming();
    if (!exporter.Fire()) state.SkipWithError("export failed");
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(Export200_Exporter)->Unit(benchmark::kMillisecond);

// The same files written straight from memory, one data sync each.
void Export200_PosixFiles(benchmark::State& state) {
  Store& store = TheStore();
  const std::string out = store.HostOf(L"\\Out");
  std::vector<std::string> raws;
  for (int i = 0; i < kMessages; ++i) raws.push_back(Raw(i));
  for (auto _ : state) {
    state.PauseTiming();
    FreshFolder(out);
    state.ResumeTiming();
    for (int i = 0; i < kMessages; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "/EML%05d.eml", i);
      if (!WriteSynced(out + name, raws[i])) state.SkipWithError("write failed");
    }
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(Export200_PosixFiles)->Unit(benchmark::kMillisecond);

void Import200_Importer(benchmark::State& state) {
  Store& store = TheStore();
  QvMessageImporter importer;
  importer.SetSource(store.files);
  importer.SetDestination(store.drafts.get());
  for (auto _ : state) {
    if (!importer.Fire(nullptr)) state.SkipWithError("import failed");
    state.PauseTiming();
    std::vector<unsigned long> ids;
    store.drafts->GetMessageIds(&ids);
    store.drafts->RemoveMessage(ids);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(Import200_Importer)->Unit(benchmark::kMillisecond);

// Maildir delivery of the same files: read, write to tmp/ with a data sync,
// rename into new/. No decoding, no index.
void Import200_MaildirDelivery(benchmark::State& state) {
  Store& store = TheStore();
  const std::string box = store.HostOf(L"\\Maildir");
  for (auto _ : state) {
    state.PauseTiming();
    FreshFolder(box + "/tmp");
    FreshFolder(box + "/new");
    state.ResumeTiming();
    int n = 0;
    for (const std::wstring& file : store.files) {
      std::string raw;
      {
        FILE* f = std::fopen(store.HostOf(file).c_str(), "rb");
        char buffer[4096];
        size_t got = 0;
        while (f != nullptr && (got = std::fread(buffer, 1, sizeof buffer, f)) > 0) raw.append(buffer, got);
        if (f != nullptr) std::fclose(f);
      }
      char name[32];
      std::snprintf(name, sizeof name, "/%d.bench", n++);
      const std::string fresh = box + "/tmp" + name, delivered = box + "/new" + name;
      if (!WriteSynced(fresh, raw) || std::rename(fresh.c_str(), delivered.c_str()) != 0) {
        state.SkipWithError("delivery failed");
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(Import200_MaildirDelivery)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  {
    Store store;
    g_store = &store;
    benchmark::RunSpecifiedBenchmarks();
    g_store = nullptr;
  }
  benchmark::Shutdown();
  return 0;
}
