// The program's start, as a person meets it: a cold process of QvMail on a
// device root with two accounts made through the engine (120 messages, 17
// unread in the first), timed from the start of the process to its painted
// launcher (the program logs that line once the launcher was painted); and a
// second start against the running copy, timed to its end once it has
// handed its command line over. Beside them, the cost of a process that
// does nothing (/bin/true), the floor any start pays. The display is an Xvfb
// of the benchmark's own unless $DISPLAY names one.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchDeviceRoot.h"
#include "platform/ui/WinUser.h"
#include "tests/app/support/ProgramRoot.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// $QV_PROGRAM names another build of the program (a before and after in one run).
std::string ProgramPath() {
  if (const char* other = getenv("QV_PROGRAM"); other != nullptr && *other != '\0') return other;
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string dir = n > 0 ? std::string(self, static_cast<size_t>(n)) : ".";
  dir = dir.substr(0, dir.find_last_of('/'));
  return dir + "/../app/QvMail";
}

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
  std::vector<std::string> env = extraEnv;
  for (char** e = environ; *e; ++e) env.push_back(*e);
  std::vector<std::string> argv = args;
  std::vector<char*> a, e;
  for (std::string& s : argv) a.push_back(s.data());
  a.push_back(nullptr);
  for (std::string& s : env) e.push_back(s.data());
  e.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0].c_str(), nullptr, nullptr, a.data(), e.data()) != 0) return -1;
  return pid;
}

bool Contains(const std::string& path, const char* text) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str().find(text) != std::string::npos;
}

// An X server of the benchmark's own when none is named.
struct XServer {
  pid_t pid = -1;
  XServer() {
    if (getenv("DISPLAY")) return;
    for (int n = 700; n < 720; ++n) {
      struct stat st {};
      if (stat(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), &st) == 0) continue;
      const std::string name = ":" + std::to_string(n);
      // Its output goes nowhere: a server holding the benchmark's output open
      // would keep a reader of it waiting after the run.
      posix_spawn_file_actions_t quiet;
      posix_spawn_file_actions_init(&quiet);
      posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
      posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
      std::vector<std::string> argv = {"/usr/bin/Xvfb", name, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"};
      std::vector<char*> a;
      for (std::string& s : argv) a.push_back(s.data());
      a.push_back(nullptr);
      posix_spawn(&pid, a[0], &quiet, nullptr, a.data(), environ);
      posix_spawn_file_actions_destroy(&quiet);
      const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
      for (int i = 0; i < 500 && stat(socket.c_str(), &st) != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      setenv("DISPLAY", name.c_str(), 1);
      setenv("SDL_VIDEODRIVER", "x11", 1);
      return;
    }
  }
  ~XServer() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
  }
};

struct ProgramRoot {
  BenchDeviceRoot root{"program"};
  bool made = qv::test::MakeTwoAccountRoot();
};

// Kept to the process's end (the platform may still use it from its own exit
// handlers), but its folder goes with the run: only the folder is removed then.
ProgramRoot& Root() {
  static auto* r = [] {
    auto* made = new ProgramRoot;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(Root().root.path(), ignored);
    });
    return made;
  }();
  return *r;
}

// Ends with the run (the server is the benchmark's own child).
XServer& Display() {
  static XServer x;
  return x;
}

// Starts the program, waits for its painted launcher; the time that took.
double StartToLauncher(pid_t* pid, const std::string& program = ProgramPath()) {
  const std::string log = Root().root.path() + "/start.log";
  std::remove(log.c_str());
  const auto start = Clock::now();
  *pid = Spawn({program}, {"QVMAIL_DEVICE_ROOT=" + Root().root.path(), "QVMAIL_DEBUG=" + log});
  while (!Contains(log, "QvMail: launcher shown")) {
    if (Clock::now() - start > std::chrono::seconds(30)) return -1;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void CloseProgram(pid_t pid) {
  if (HWND frame = FindWindowW(L"WCE_QvMailMainFrame", L"T-VELA4メール ")) PostMessageW(frame, WM_CLOSE, 0, 0);
  for (int i = 0; i < 2000 && waitpid(pid, nullptr, WNOHANG) == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// The minimum and the median of the times taken, as counters in milliseconds:
// on a loaded machine the mean says more about the load than the program.
void SetSpread(benchmark::State& state, std::vector<double> seconds, const std::string& prefix = "") {
  if (seconds.empty()) return;
  std::sort(seconds.begin(), seconds.end());
  state.counters[prefix + "min_ms"] = seconds.front() * 1000;
  state.counters[prefix + "median_ms"] = seconds[seconds.size() / 2] * 1000;
}

// $QV_PROGRAM_BESIDE names another build started after each timed start,
// untimed, its figures apart ("beside_"): the pairs meet the same moments
// of a loaded machine.
const char* Beside() {
  const char* other = getenv("QV_PROGRAM_BESIDE");
  return other != nullptr && *other != '\0' ? other : nullptr;
}

void BM_ColdStartToPaintedLauncher(benchmark::State& state) {
  Display();
  if (!Root().made) {
    state.SkipWithError("the accounts could not be made");
    return;
  }
  std::vector<double> times, beside;
  for (auto _ : state) {
    pid_t pid = -1;
    const double seconds = StartToLauncher(&pid);
    state.PauseTiming();
    CloseProgram(pid);
    state.ResumeTiming();
    if (seconds < 0) {
      state.SkipWithError("no launcher");
      return;
    }
    state.SetIterationTime(seconds);
    times.push_back(seconds);
    if (Beside() != nullptr) {
      state.PauseTiming();
      pid_t other = -1;
      beside.push_back(StartToLauncher(&other, Beside()));
      CloseProgram(other);
      state.ResumeTiming();
    }
  }
  SetSpread(state, times);
  SetSpread(state, beside, "beside_");
}
BENCHMARK(BM_ColdStartToPaintedLauncher)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_SecondStartHandsOverAndEnds(benchmark::State& state) {
  Display();
  pid_t first = -1;
  if (!Root().made || StartToLauncher(&first) < 0) {
    state.SkipWithError("no first copy");
    return;
  }
  std::vector<double> times;
  for (auto _ : state) {
    const auto start = Clock::now();
    const pid_t second = Spawn({ProgramPath()}, {"QVMAIL_DEVICE_ROOT=" + Root().root.path()});
    waitpid(second, nullptr, 0);
    times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    state.SetIterationTime(times.back());
  }
  CloseProgram(first);
  SetSpread(state, times);
}
BENCHMARK(BM_SecondStartHandsOverAndEnds)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

// What a process that does nothing costs here: the floor of both.
void BM_EmptyProcess(benchmark::State& state) {
  for (auto _ : state) {
    const pid_t pid = Spawn({"/bin/true"}, {});
    waitpid(pid, nullptr, 0);
  }
}
BENCHMARK(BM_EmptyProcess)->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

BENCHMARK_MAIN();
