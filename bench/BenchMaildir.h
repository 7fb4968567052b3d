// What the store benchmarks set the engine beside: maildir delivery with the
// same durability (the mail written into "tmp", its data synced, renamed into
// a folder's "new", and "new" synced so that the name survives too), and a
// reporter that closes the run with the ratio of two benchmarks' times.
#pragma once

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

class MaildirDelivery {
 public:
  // Folder 0 is the maildir itself, folder i its sub-folder ".i".
  MaildirDelivery(const std::string& root, int folders) : tmp_(root + "/tmp/") {
    std::filesystem::create_directories(tmp_);
    for (int f = 0; f < folders; ++f) {
      news_.push_back(root + (f == 0 ? std::string() : "/." + std::to_string(f)) + "/new/");
      std::filesystem::create_directories(news_.back());
      dirs_.push_back(::open(news_.back().c_str(), O_RDONLY | O_DIRECTORY));
    }
  }
  ~MaildirDelivery() {
    for (int d : dirs_) ::close(d);
  }
  MaildirDelivery(const MaildirDelivery&) = delete;
  MaildirDelivery& operator=(const MaildirDelivery&) = delete;

  // Mail number n, into folder n modulo the number of folders.
  bool Deliver(uint32_t n, const std::string& mail) {
    const size_t folder = n % news_.size();
    const std::string name = std::to_string(n) + ".host";
    const int fd = ::open((tmp_ + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    const ssize_t size = static_cast<ssize_t>(mail.size());
    const bool ok = fd >= 0 && ::write(fd, mail.data(), mail.size()) == size && ::fdatasync(fd) == 0;
    if (fd >= 0) ::close(fd);
    return ok && std::rename((tmp_ + name).c_str(), (news_[folder] + name).c_str()) == 0 &&
           ::fsync(dirs_[folder]) == 0;
  }

 private:
  std::string tmp_;
  std::vector<std::string> news_;
  std::vector<int> dirs_;
};

// The timed delivery of `mails` into a fresh maildir of `folders` folders
// below a device root of type Root, made and removed outside the timing.
template <typename Root>
void DeliverToMaildir(benchmark::State& state, const std::vector<std::string>& mails, int folders) {
  for (auto _ : state) {
    state.PauseTiming();
    {
      Root root;
      MaildirDelivery maildir(root.path(), folders);
      state.ResumeTiming();
      for (uint32_t n = 0; n < mails.size(); ++n) {
        if (!maildir.Deliver(n, mails[n])) state.SkipWithError("deliver");
      }
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(mails.size()));
}

// Prints as usual and keeps each benchmark's real time for the closing line
// "<label>: <engine / other>x".
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter(std::string engine, std::string other, std::string label)
      : engine_(std::move(engine)), other_(std::move(other)), label_(std::move(label)) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) seconds_[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto engine = seconds_.find(engine_);
    const auto other = seconds_.find(other_);
    if (engine != seconds_.end() && other != seconds_.end() && other->second > 0) {
      std::printf("%s: %.2fx\n", label_.c_str(), engine->second / other->second);
    }
  }

 private:
  std::string engine_, other_, label_;
  std::map<std::string, double> seconds_;
};

// A benchmark program's main: every benchmark, then the ratio line.
inline int RunWithRatio(int argc, char** argv, const std::string& engine, const std::string& other,
                        const std::string& label) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter(engine, other, label);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
