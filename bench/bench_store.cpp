// Header cache throughput beside the bare minimum a user could write instead:
// the same 1180-byte records through plain stdio with no lock, no re-read of
// the index and no safe replacement. Ratios matter, not absolute times.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchDeviceRoot.h"
#include "engine/store/QvMessageHeader.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/Files.h"

namespace {

constexpr uint32_t kRecords = 1000;
const std::wstring kFile = L"\\bench.fdb";

// A device root of its own for the whole run.
struct Root : BenchDeviceRoot {
  Root() : BenchDeviceRoot("store") {}
};
Root& TheRoot() {
  static Root root;
  return root;
}

QvMessageHeader::Record Sample(uint32_t id) {
  QvMessageHeader::Record r{};
  r.id = id;
  QvMessageHeader::FillLongText(r.toAddress, L"taro.yamada@example.co.jp");
  QvMessageHeader::FillLongText(r.fromAddress, L"hanako.suzuki@example.ne.jp");
  QvMessageHeader::FillShortText(r.fromName, L"鈴木 花子");
  QvMessageHeader::FillShortText(r.subject, L"来週の打ち合わせの件（資料を添付しました、ご確認ください）");
  r.date = SYSTEMTIME{2024, 5, 3, 17, 1, 2, 3, 4};
  return r;
}

void NewFile() {
  FILE* f = _wfopen(kFile.c_str(), L"wb");
  std::string index = QvMessageHeader::EmptyIndex();
  fwrite(index.data(), 1, index.size(), f);
  fclose(f);
}

void FillFile(QvMessageHeader& header) {
  NewFile();
  header.Open(kFile);
  for (uint32_t id = 0; id < kRecords; ++id) header.Append(Sample(id));
}

void Append1000_Cache(benchmark::State& state) {
  TheRoot();
  for (auto _ : state) {
    state.PauseTiming();
    NewFile();
    QvMessageHeader header;
    header.Open(kFile);
    state.ResumeTiming();
    for (uint32_t id = 0; id < kRecords; ++id) {
      if (!header.Append(Sample(id))) state.SkipWithError("append failed");
    }
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(Append1000_Cache)->Unit(benchmark::kMillisecond);

// The same records appended and indexed with stdio alone.
void Append1000_PlainStdio(benchmark::State& state) {
  TheRoot();
  std::string host;
  qv::DeviceToHostPath(kFile, &host);
  for (auto _ : state) {
    state.PauseTiming();
    NewFile();
    state.ResumeTiming();
    FILE* f = fopen(host.c_str(), "r+b");
    uint8_t raw[QvMessageHeader::kRecordBytes];
    for (uint32_t id = 0; id < kRecords; ++id) {
      QvMessageHeader::EncodeRecord(Sample(id), raw);
      fseek(f, static_cast<long>(4000 + 1180 * id), SEEK_SET);
      fwrite(raw, 1, sizeof raw, f);
      uint8_t slot[4] = {static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8), 0, 0};
      fseek(f, static_cast<long>(4 * id), SEEK_SET);
      fwrite(slot, 1, 4, f);
      fflush(f);
    }
    fclose(f);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(Append1000_PlainStdio)->Unit(benchmark::kMillisecond);

void LoadFull_Cache(benchmark::State& state) {
  TheRoot();
  QvMessageHeader header;
  FillFile(header);
  std::vector<QvMessageHeader::Record> records(kRecords);
  for (auto _ : state) {
    if (!header.LoadAll(records.data(), kRecords)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(records.data());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(LoadFull_Cache)->Unit(benchmark::kMillisecond);

void LoadFull_PlainStdio(benchmark::State& state) {
  TheRoot();
  QvMessageHeader header;
  FillFile(header);
  std::string host;
  qv::DeviceToHostPath(kFile, &host);
  std::vector<uint8_t> data(4000 + 1180 * kRecords);
  std::vector<QvMessageHeader::Record> records(kRecords);
  for (auto _ : state) {
    FILE* f = fopen(host.c_str(), "rb");
    size_t got = fread(data.data(), 1, data.size(), f);
    fclose(f);
    if (got != data.size()) state.SkipWithError("short read");
    for (uint32_t i = 0; i < kRecords; ++i) QvMessageHeader::DecodeRecord(data.data() + 4000 + 1180 * i, &records[i]);
    benchmark::DoNotOptimize(records.data());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(LoadFull_PlainStdio)->Unit(benchmark::kMillisecond);

void CompactHalf_Cache(benchmark::State& state) {
  TheRoot();
  for (auto _ : state) {
    state.PauseTiming();
    QvMessageHeader header;
    FillFile(header);
    for (uint32_t id = 0; id < kRecords; id += 2) header.MarkDeleted(id);
    state.ResumeTiming();
    if (!header.Compact()) state.SkipWithError("compact failed");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(CompactHalf_Cache)->Unit(benchmark::kMillisecond);

// Reading the records, dropping every other one and writing a new file.
void CompactHalf_PlainStdio(benchmark::State& state) {
  TheRoot();
  std::string host;
  qv::DeviceToHostPath(kFile, &host);
  std::vector<uint8_t> data(4000 + 1180 * kRecords);
  for (auto _ : state) {
    state.PauseTiming();
    QvMessageHeader header;
    FillFile(header);
    state.ResumeTiming();
    FILE* f = fopen(host.c_str(), "rb");
    size_t got = fread(data.data(), 1, data.size(), f);
    fclose(f);
    if (got != data.size()) state.SkipWithError("short read");
    FILE* out = fopen((host + "_tmp").c_str(), "wb");
    fwrite(data.data(), 1, 4000, out);
    for (uint32_t i = 1; i < kRecords; i += 2) fwrite(data.data() + 4000 + 1180 * i, 1, 1180, out);
    fclose(out);
    std::rename((host + "_tmp").c_str(), host.c_str());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(CompactHalf_PlainStdio)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
