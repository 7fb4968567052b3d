// The UI clock: the tick count, unless a test fixed it.
#include <atomic>

#include "platform/kernel/Sync.h"
#include "platform/ui/queue/SeamHooks.h"
#include "platform/ui/queue/UiSeam.h"
#include "platform/ui/queue/ThreadQueue.h"

namespace qv::ui_seam {
namespace {

std::atomic<bool> g_fixed{false};
std::atomic<DWORD> g_now{0};

}  // namespace

void FixClock(DWORD now) {
  g_now = now;
  g_fixed = true;
  ui::TouchAll();
}

void AdvanceClock(DWORD milliseconds) {
  if (!g_fixed) FixClock(GetTickCount());
  g_now += milliseconds;
  ui::TouchAll();
}

DWORD ClockNow() { return g_fixed.load(std::memory_order_relaxed) ? g_now.load() : GetTickCount(); }
bool ClockFixed() { return g_fixed; }

// Back to the tick count (Reset).
void UnfixClock() { g_fixed = false; }

}  // namespace qv::ui_seam
