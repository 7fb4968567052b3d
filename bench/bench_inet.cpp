// A 1 MB transfer from nginx through the platform's WinINet beside a bare
// libcurl transfer of the same file from the same server, in one run. The
// ratio of the two times is the cost of the handle layer, the host table and
// the sliced drive over libcurl doing the transfer alone. Interleaved takes
// the ratio in rounds that alternate the two (so that a change of the
// machine's load falls on both) and reports its minimum and median.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/inet/WinInet.h"
#include "platform/testing/Seams.h"

namespace {

constexpr size_t kFileSize = 1 << 20;

// nginx on a free loopback port, serving one file, for the whole run.
struct Server {
  std::string dir;
  uint16_t port = 0;
  pid_t pid = -1;

  Server() {
    char templ[] = "/tmp/qvbenchinet-XXXXXX";
    if (::mkdtemp(templ) == nullptr) return;
    dir = templ;
    std::filesystem::create_directories(dir + "/www");
    std::filesystem::create_directories(dir + "/tmp");
    std::ofstream(dir + "/www/big.bin", std::ios::binary) << std::string(kFileSize, 'q');
    port = FreePort();
    std::ofstream conf(dir + "/nginx.conf");
    conf << "daemon off;\nmaster_process off;\npid " << dir << "/nginx.pid;\nerror_log " << dir
         << "/error.log;\nevents { worker_connections 64; }\nhttp {\n  access_log off;\n";
    for (const char* t : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
      conf << "  " << t << "_temp_path " << dir << "/tmp/" << t << ";\n";
    conf << "  server { listen 127.0.0.1:" << port << "; root " << dir << "/www; }\n}\n";
    conf.close();
    pid = ::fork();
    if (pid == 0) {
      ::setpgid(0, 0);
      const std::string c = dir + "/nginx.conf", e = dir + "/error.log";
      ::execlp("nginx", "nginx", "-p", dir.c_str(), "-c", c.c_str(), "-e", e.c_str(), static_cast<char*>(nullptr));
      ::execl("/usr/sbin/nginx", "nginx", "-p", dir.c_str(), "-c", c.c_str(), "-e", e.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    for (int i = 0; i < 300 && !Listens(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ~Server() {
    if (pid > 0) {
      ::kill(-pid, SIGTERM);
      ::kill(pid, SIGTERM);
      ::waitpid(pid, nullptr, 0);
    }
    std::error_code ignored;
    if (!dir.empty()) std::filesystem::remove_all(dir, ignored);
  }
  static uint16_t FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    ::close(fd);
    return ntohs(sa.sin_port);
  }
  bool Listens() const {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    ::close(fd);
    return ok;
  }
};

Server& Shared() {
  static Server server;
  return server;
}

// One transfer through the platform: a device host name mapped to nginx, as
// the feed client runs; the body's size, 0 on a failure.
size_t PlatformOnce(std::string& chunk) {
  size_t total = 0;
  HINTERNET session = InternetOpenW(L"Rivulet Middle (bench)", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET connect =
      InternetConnectW(session, L"feeds.example.jp", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET request = HttpOpenRequestW(connect, L"GET", L"/big.bin", nullptr, nullptr, nullptr,
                                       INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
  if (HttpSendRequestW(request, nullptr, 0, nullptr, 0)) {
    for (DWORD got = 0; InternetReadFile(request, chunk.data(), static_cast<DWORD>(chunk.size()), &got) && got > 0;)
      total += got;
  }
  InternetCloseHandle(request);
  InternetCloseHandle(connect);
  InternetCloseHandle(session);
  return total;
}

// libcurl alone: one easy transfer of the same URL into a counter.
size_t BareOnce(const std::string& url) {
  size_t total = 0;
  CURL* easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROXY, "");
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &total);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, +[](char*, size_t size, size_t count, void* user) {
    *static_cast<size_t*>(user) += size * count;
    return size * count;
  });
  const bool ok = curl_easy_perform(easy) == CURLE_OK;
  curl_easy_cleanup(easy);
  return ok ? total : 0;
}

std::string BareUrl() { return "http://127.0.0.1:" + std::to_string(Shared().port) + "/big.bin"; }

void Platform(benchmark::State& state) {
  qv::seams::MapHost("feeds.example.jp", 80, Shared().port);
  std::string chunk(16384, '\0');
  for (auto _ : state) {
    if (PlatformOnce(chunk) != kFileSize) state.SkipWithError("short body");
  }
  qv::seams::ClearHostTable();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void BareCurl(benchmark::State& state) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  const std::string url = BareUrl();
  for (auto _ : state) {
    if (BareOnce(url) != kFileSize) state.SkipWithError("short body");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

// Rounds of a few transfers each way, alternating; the platform's time over
// libcurl's per round.
void Interleaved(benchmark::State& state) {
  constexpr int kRounds = 21, kPerRound = 5;
  curl_global_init(CURL_GLOBAL_DEFAULT);
  qv::seams::MapHost("feeds.example.jp", 80, Shared().port);
  const std::string url = BareUrl();
  std::string chunk(16384, '\0');
  std::vector<double> ratios;
  for (auto _ : state) {
    ratios.clear();
    for (int round = 0; round < kRounds; ++round) {
      using Clock = std::chrono::steady_clock;
      const auto a = Clock::now();
      for (int i = 0; i < kPerRound; ++i)
        if (PlatformOnce(chunk) != kFileSize) state.SkipWithError("short body");
      const auto b = Clock::now();
      for (int i = 0; i < kPerRound; ++i)
        if (BareOnce(url) != kFileSize) state.SkipWithError("short body");
      const auto c = Clock::now();
      ratios.push_back(std::chrono::duration<double>(b - a).count() / std::chrono::duration<double>(c - b).count());
    }
  }
  qv::seams::ClearHostTable();
  std::sort(ratios.begin(), ratios.end());
  state.counters["ratio_min"] = ratios.front();
  state.counters["ratio_median"] = ratios[ratios.size() / 2];
}

}  // namespace

BENCHMARK(Platform)->UseRealTime();
BENCHMARK(BareCurl)->UseRealTime();
BENCHMARK(Interleaved)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
