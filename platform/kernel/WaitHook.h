// Lets a service above the kernel run while a thread waits in the kernel: the
// window system installs it so that a thread blocked in a wait, a Sleep or a
// modal loop still serves the messages other threads send to its windows.
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
};

QV_PLATFORM_API void SetWaitHook(WaitHook hook);
// Wakes every thread blocked in a kernel wait to ask the hook again; call it
// after making work pending for another thread.
QV_PLATFORM_API void WakeKernelWaits();

}  // namespace qv
