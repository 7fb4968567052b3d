#include "platform/kernel/FileSeam.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/base/WideText.h"

namespace qv::file_seam {
namespace {

struct Fault {
  std::wstring path;  // folded
  DWORD error;
  int remaining;
  int hits;
};

struct State {
  std::mutex lock;
  std::vector<Fault> faults;
  std::optional<ULONGLONG> freeSpace;
};

State& S() {
  static State* s = new State;  // outlives threads still running at exit
  return *s;
}

std::atomic<bool> g_anyFault{false};

std::wstring FaultKey(std::wstring_view path) {
  std::wstring key = FoldCase(path);
  for (auto& c : key) {
    if (c == L'/') c = L'\\';
  }
  if (key.empty() || key[0] != L'\\') key.insert(key.begin(), L'\\');
  return key;
}

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

void SetFreeSpace(ULONGLONG bytes) {
  std::lock_guard<std::mutex> g(S().lock);
  S().freeSpace = bytes;
}

void ClearFreeSpace() {
  std::lock_guard<std::mutex> g(S().lock);
  S().freeSpace.reset();
}

void InjectFault(const std::wstring& devicePath, DWORD error, int times) {
  std::lock_guard<std::mutex> g(S().lock);
  S().faults.push_back(Fault{FaultKey(devicePath), error, times, 0});
  g_anyFault = true;
}

void ClearFaults() {
  std::lock_guard<std::mutex> g(S().lock);
  S().faults.clear();
  g_anyFault = false;
}

int FaultHits(const std::wstring& devicePath) {
  const std::wstring key = FaultKey(devicePath);
  std::lock_guard<std::mutex> g(S().lock);
  int hits = 0;
  for (const Fault& f : S().faults) {
    if (f.path == key) hits += f.hits;
  }
  return hits;
}

void Reset() {
  ClearFaults();
  ClearFreeSpace();
}

std::optional<ULONGLONG> FreeSpace() {
  std::lock_guard<std::mutex> g(S().lock);
  return S().freeSpace;
}

bool TakeFault(std::wstring_view devicePath, DWORD error) { return MatchFault(devicePath, error, true); }
bool HasFault(std::wstring_view devicePath, DWORD error) { return MatchFault(devicePath, error, false); }

}  // namespace qv::file_seam
