// Storing and reading messages through the message set beside what a user
// could write instead: one file per message written to a temporary name and
// renamed into place (as maildir does), with no header block, no entry table,
// no id counter and no locks. Ratios matter, not absolute times.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchDeviceRoot.h"
#include "engine/store/QvFolderSet.h"
#include "engine/store/QvMessage.h"
#include "engine/store/QvMessageSet.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/Files.h"

namespace {

constexpr uint32_t kMessages = 100;

std::string SampleMail(uint32_t n) {
  std::string mail = "From: hanako@example.ne.jp\r\nTo: taro@example.co.jp\r\nSubject: test " + std::to_string(n) +
                     "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n\r\n";
  for (int line = 0; line < 60; ++line) mail += "The quick brown fox jumps over the lazy dog, line by line.\r\n";
  return mail;
}

// A fresh device root per measured round, removed afterwards.
struct Root : BenchDeviceRoot {
  Root() : BenchDeviceRoot("messages") {}
};

struct Storage {
  QvFolderSet folders;
  QvMessageSet messages;
  bool Open() {
    CreateDirectoryW(L"\\S", nullptr);
    return folders.CreateTree(L"\\S") == QVMDL_SUCCESS && messages.CreateEntryFile(L"\\S") == QVMDL_SUCCESS &&
           folders.OpenTree(L"\\S", &messages) == QVMDL_SUCCESS &&
           messages.OpenEntryFile(L"\\S", &folders) == QVMDL_SUCCESS;
  }
};

void Store100_MessageSet(benchmark::State& state) {
  std::vector<std::string> mails;
  for (uint32_t n = 0; n < kMessages; ++n) mails.push_back(SampleMail(n));
  for (auto _ : state) {
    state.PauseTiming();
    {
      Root root;
      Storage storage;
      if (!storage.Open()) state.SkipWithError("storage");
      state.ResumeTiming();
      for (const std::string& mail : mails) {
        uint32_t id = 0;
        if (!storage.messages.CreateMessageFile(&id, 1)) state.SkipWithError("create");
        QvMessage* message = storage.messages.OpenMessage(id);
        if (!message->WriteRaw(mail)) state.SkipWithError("write");
        storage.messages.CloseMessage(message);
      }
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(Store100_MessageSet)->Unit(benchmark::kMillisecond);

void Store100_PlainFiles(benchmark::State& state) {
  std::vector<std::string> mails;
  for (uint32_t n = 0; n < kMessages; ++n) mails.push_back(SampleMail(n));
  for (auto _ : state) {
    state.PauseTiming();
    {
      Root root;
      std::filesystem::create_directories(root.path() + "/tmp");
      std::filesystem::create_directories(root.path() + "/new");
      state.ResumeTiming();
      for (uint32_t n = 0; n < kMessages; ++n) {
        const std::string name = std::to_string(n) + ".mail";
        const std::string temp = root.path() + "/tmp/" + name;
        FILE* f = fopen(temp.c_str(), "wb");
        fwrite(mails[n].data(), 1, mails[n].size(), f);
        fflush(f);
        fclose(f);
        std::rename(temp.c_str(), (root.path() + "/new/" + name).c_str());
      }
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(Store100_PlainFiles)->Unit(benchmark::kMillisecond);

void Read100_MessageSet(benchmark::State& state) {
  Root root;
  Storage storage;
  if (!storage.Open()) state.SkipWithError("storage");
  std::vector<uint32_t> ids;
  for (uint32_t n = 0; n < kMessages; ++n) {
    uint32_t id = 0;
    storage.messages.CreateMessageFile(&id, 1);
    QvMessage* message = storage.messages.OpenMessage(id);
    message->WriteRaw(SampleMail(n));
    storage.messages.CloseMessage(message);
    ids.push_back(id);
  }
  std::string text;
  for (auto _ : state) {
    for (uint32_t id : ids) {
      uint32_t folder = 0;
      storage.messages.GetMessageFolder(id, &folder);
      QvMessage* message = storage.messages.OpenMessage(id);
      if (!message->Read(&text)) state.SkipWithError("read");
      storage.messages.CloseMessage(message);
      benchmark::DoNotOptimize(text.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(Read100_MessageSet)->Unit(benchmark::kMillisecond);

void Read100_PlainFiles(benchmark::State& state) {
  Root root;
  std::filesystem::create_directories(root.path() + "/new");
  for (uint32_t n = 0; n < kMessages; ++n) {
    FILE* f = fopen((root.path() + "/new/" + std::to_string(n) + ".mail").c_str(), "wb");
    std::string mail = SampleMail(n);
    fwrite(mail.data(), 1, mail.size(), f);
    fclose(f);
  }
  std::string text;
  for (auto _ : state) {
    for (uint32_t n = 0; n < kMessages; ++n) {
      FILE* f = fopen((root.path() + "/new/" + std::to_string(n) + ".mail").c_str(), "rb");
      fseek(f, 0, SEEK_END);
      text.resize(static_cast<size_t>(ftell(f)));
      fseek(f, 0, SEEK_SET);
      if (fread(text.data(), 1, text.size(), f) != text.size()) state.SkipWithError("read");
      fclose(f);
      benchmark::DoNotOptimize(text.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(Read100_PlainFiles)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
