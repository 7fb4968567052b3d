// Lets a service above the kernel run while a thread waits in the kernel: the
// window system installs it so that a thread blocked in a wait, a Sleep or a
// modal loop still serves the messages other threads send to its windows, and
// a thread with a display keeps reading its input and showing its screen.
// Unset, a wait costs one pointer load more.
#pragma once

#include "platform/base/WinTypes.h"

namespace qv {

struct WaitHook {
  // Whether the calling thread has work to serve now; cheap, called with the
  // kernel's wait lock held, so it must not wait or call back into the kernel.
  bool (*pending)();
  // Serves that work; called with no kernel lock held.
  void (*serve)();
  // Milliseconds a waiting thread may go without serving though nothing woke
  // it (its display's input and screen are looked at only when asked);
  // INFINITE when a wake is all it needs. Cheap, called with the wait lock
  // held. May be null.
  DWORD (*step)();
};

QV_PLATFORM_API void SetWaitHook(WaitHook hook);
// Wakes every thread blocked in a kernel wait to ask the hook again; call it
// after making work pending for another thread.
QV_PLATFORM_API void WakeKernelWaits();

}  // namespace qv
