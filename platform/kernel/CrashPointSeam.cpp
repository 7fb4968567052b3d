#include "platform/kernel/CrashPointSeam.h"

#include <mutex>

namespace qv::crash_seam {

std::atomic<bool> g_counting{false};

namespace {

struct State {
  std::mutex lock;
  int armedAt = 0;  // 0: count only
  When when = When::kBefore;
  Action action;
};

State& S() {
  static State* s = new State;
  return *s;
}

std::atomic<int> g_calls{0};

// The action, taken once so that it runs for one call only.
Action TakeAction(int number, When when) {
  std::lock_guard<std::mutex> g(S().lock);
  if (S().armedAt != number || S().when != when || !S().action) return nullptr;
  Action action = std::move(S().action);
  S().action = nullptr;
  return action;
}

void Run(const Action& action, const CallInfo& info) {
  const DWORD error = GetLastError();
  action(info);
  SetLastError(error);
}

}  // namespace

void Count() { Arm(0, When::kBefore, nullptr); }

void Arm(int n, When when, Action action) {
  std::lock_guard<std::mutex> g(S().lock);
  S().armedAt = n;
  S().when = when;
  S().action = std::move(action);
  g_calls = 0;
  g_counting = true;
}

int Calls() { return g_calls.load(); }

void Disarm() {
  std::lock_guard<std::mutex> g(S().lock);
  g_counting = false;
  S().armedAt = 0;
  S().action = nullptr;
}

void Reset() {
  Disarm();
  g_calls = 0;
}

const char* CallName(FsCall call) {
  switch (call) {
    case FsCall::kOpen: return "open";
    case FsCall::kRead: return "read";
    case FsCall::kWrite: return "write";
    case FsCall::kFlush: return "flush";
    case FsCall::kMove: return "move";
    case FsCall::kCopy: return "copy";
    case FsCall::kDelete: return "delete";
    case FsCall::kSetEnd: return "set end";
    case FsCall::kCreateDir: return "create directory";
    case FsCall::kRemoveDir: return "remove directory";
    case FsCall::kFind: return "find";
    case FsCall::kMap: return "map";
  }
  return "?";
}

void Point::Enter(FsCall call, std::function<std::wstring()> path) {
  const int number = ++g_calls;
  int armedAt = 0;
  {
    std::lock_guard<std::mutex> g(S().lock);
    armedAt = S().armedAt;
  }
  if (number != armedAt) return;
  info_ = CallInfo{number, call, When::kBefore, path()};
  if (Action action = TakeAction(number, When::kBefore)) Run(action, info_);
  after_ = true;  // the action may be armed for after the call
}

void Point::Leave() {
  after_ = false;
  info_.when = When::kAfter;
  if (Action action = TakeAction(info_.number, When::kAfter)) Run(action, info_);
}

}  // namespace qv::crash_seam
