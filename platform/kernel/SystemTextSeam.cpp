#include "platform/kernel/SystemTextSeam.h"

#include <atomic>
#include <map>
#include <mutex>

namespace qv::systext_seam {
namespace {

struct State {
  std::mutex lock;
  std::map<DWORD, std::wstring> texts;
  std::atomic<bool> any{false};  // nothing to look up while no test set a text
};

State& S() {
  static State* s = new State;
  return *s;
}

}  // namespace

void SetText(DWORD code, const std::wstring& text) {
  std::lock_guard<std::mutex> g(S().lock);
  S().texts[code] = text;
  S().any = true;
}

void Reset() {
  std::lock_guard<std::mutex> g(S().lock);
  S().texts.clear();
  S().any = false;
}

std::optional<std::wstring> Text(DWORD code) {
  if (!S().any) return std::nullopt;
  std::lock_guard<std::mutex> g(S().lock);
  auto it = S().texts.find(code);
  if (it == S().texts.end()) return std::nullopt;
  return it->second;
}

}  // namespace qv::systext_seam
