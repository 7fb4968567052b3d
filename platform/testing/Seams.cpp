#include "platform/testing/Seams.h"

#include <time.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/base/WideText.h"
#include "platform/kernel/Time.h"
#include "platform/testing/SeamState.h"
#include "platform/ui/MessageBox.h"

namespace qv::testing {
namespace {

constexpr LONG kJstBias = -540;
// 100 ns units between 1601-01-01 and 1970-01-01.
constexpr ULONGLONG kUnixEpoch = 116444736000000000ULL;

struct Fault {
  std::wstring path;  // folded
  DWORD error;
  int remaining;
  int hits;
};

struct State {
  std::mutex lock;
  std::vector<Fault> faults;
  std::function<int(const std::wstring&, const std::wstring&)> handler;
  std::optional<size_t> memory;
  std::optional<ULONGLONG> freeSpace;
  std::optional<ULONGLONG> fixedClock;
  int answer = IDNO;
};

State& S() {
  static State* s = new State;  // outlives threads still running at exit
  return *s;
}

std::atomic<bool> g_anyFault{false};
std::atomic<bool> g_anyClock{false};
std::atomic<LONGLONG> g_advanceMs{0};
std::atomic<LONG> g_bias{kJstBias};
std::atomic<int> g_questions{0};

// Device paths compare without regard to case or the kind of separator.
std::wstring FaultKey(std::wstring_view path) {
  std::wstring key = FoldCase(path);
  for (auto& c : key) {
    if (c == L'/') c = L'\\';
  }
  if (key.empty() || key[0] != L'\\') key.insert(key.begin(), L'\\');
  return key;
}

}  // namespace

void ResetSeams() {
  State& s = S();
  std::lock_guard<std::mutex> g(s.lock);
  s.faults.clear();
  s.handler = nullptr;
  s.memory.reset();
  s.freeSpace.reset();
  s.fixedClock.reset();
  s.answer = IDNO;
  g_anyFault = false;
  g_anyClock = false;
  g_advanceMs = 0;
  g_bias = kJstBias;
  g_questions = 0;
  ResetNetworkSeams();
}

void SetFreeSpace(ULONGLONG bytes) {
  std::lock_guard<std::mutex> g(S().lock);
  S().freeSpace = bytes;
}

void ClearFreeSpace() {
  std::lock_guard<std::mutex> g(S().lock);
  S().freeSpace.reset();
}

void InjectFileFault(const std::wstring& devicePath, DWORD error, int times) {
  std::lock_guard<std::mutex> g(S().lock);
  S().faults.push_back(Fault{FaultKey(devicePath), error, times, 0});
  g_anyFault = true;
}

void ClearFileFaults() {
  std::lock_guard<std::mutex> g(S().lock);
  S().faults.clear();
  g_anyFault = false;
}

int FileFaultHits(const std::wstring& devicePath) {
  const std::wstring key = FaultKey(devicePath);
  std::lock_guard<std::mutex> g(S().lock);
  int hits = 0;
  for (const Fault& f : S().faults) {
    if (f.path == key) hits += f.hits;
  }
  return hits;
}

void SetClock(const SYSTEMTIME& utc) {
  FILETIME ft{};
  if (!SystemTimeToFileTime(&utc, &ft)) return;
  std::lock_guard<std::mutex> g(S().lock);
  S().fixedClock = (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  g_anyClock = true;
}

void AdvanceClock(LONGLONG milliseconds) {
  g_advanceMs += milliseconds;
  g_anyClock = true;
}

void ClearClock() {
  std::lock_guard<std::mutex> g(S().lock);
  S().fixedClock.reset();
  g_advanceMs = 0;
  g_anyClock = false;
}

void SetTimeZoneBias(LONG minutes) { g_bias = minutes; }

void SetAvailableMemory(size_t bytes) {
  std::lock_guard<std::mutex> g(S().lock);
  S().memory = bytes;
}

void SetQuestionAnswer(int answer) {
  std::lock_guard<std::mutex> g(S().lock);
  S().answer = answer;
}

void SetQuestionHandler(std::function<int(const std::wstring& text, const std::wstring& caption)> h) {
  std::lock_guard<std::mutex> g(S().lock);
  S().handler = std::move(h);
}

int QuestionCount() { return g_questions; }

namespace detail {

std::optional<ULONGLONG> FreeSpace() {
  std::lock_guard<std::mutex> g(S().lock);
  return S().freeSpace;
}

namespace {
bool MatchFault(std::wstring_view devicePath, DWORD error, bool take) {
  if (!g_anyFault) return false;
  const std::wstring key = FaultKey(devicePath);
  std::lock_guard<std::mutex> g(S().lock);
  for (Fault& f : S().faults) {
    if (f.error != error || f.path != key || f.remaining == 0) continue;
    if (take) {
      ++f.hits;
      if (f.remaining > 0) --f.remaining;
    }
    return true;
  }
  return false;
}
}  // namespace

bool TakeFileFault(std::wstring_view devicePath, DWORD error) { return MatchFault(devicePath, error, true); }
bool HasFileFault(std::wstring_view devicePath, DWORD error) { return MatchFault(devicePath, error, false); }

ULONGLONG NowFileTime() {
  if (g_anyClock) {
    std::lock_guard<std::mutex> g(S().lock);
    if (S().fixedClock) return *S().fixedClock + static_cast<ULONGLONG>(g_advanceMs.load()) * 10000ULL;
  }
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  const ULONGLONG real = kUnixEpoch + static_cast<ULONGLONG>(ts.tv_sec) * 10000000ULL +
                         static_cast<ULONGLONG>(ts.tv_nsec) / 100;
  return real + static_cast<ULONGLONG>(g_advanceMs.load()) * 10000ULL;
}

LONGLONG ClockAdvance() { return g_advanceMs; }

LONG TimeZoneBias() { return g_bias; }

std::optional<size_t> AvailableMemory() {
  std::lock_guard<std::mutex> g(S().lock);
  return S().memory;
}

int AskQuestion(const std::wstring& text, const std::wstring& caption) {
  ++g_questions;
  std::function<int(const std::wstring&, const std::wstring&)> handler;
  int answer;
  {
    std::lock_guard<std::mutex> g(S().lock);
    handler = S().handler;
    answer = S().answer;
  }
  return handler ? handler(text, caption) : answer;
}

}  // namespace detail
}  // namespace qv::testing
