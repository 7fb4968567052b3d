// Where a UI thread's input comes from beside injection, and where its
// screen goes. Headless, the default, has neither: input is only what
// keybd_event and mouse_event inject and the screen stays in memory. The
// program's main installs the desktop display (platform/display) on its UI
// thread; every other thread stays headless.
//
// The window system calls the source from the thread that installed it:
// Pump before it looks at the queue, Present whenever it finds nothing to
// take, and Wait instead of sleeping on the queue; anything that wakes the
// queue (a post, a send, input, the UI clock moving) calls Wake, from any
// thread and under the UI lock.
#pragma once

#include <memory>

#include "platform/base/WinTypes.h"

namespace qv::ui {

class QV_PLATFORM_API EventSource {
 public:
  virtual ~EventSource() = default;
  // Turns what arrived from outside into input. Never blocks.
  virtual void Pump() = 0;
  // Shows the screen surface (ScreenSurface()) as it stands.
  virtual void Present() = 0;
  // Blocks until something arrives from outside, Wake is called or
  // `milliseconds` pass (INFINITE: no limit). False at once when there is no
  // outside to wait on: the thread then sleeps on its queue.
  virtual bool Wait(DWORD milliseconds) = 0;
  // Ends a Wait of the owning thread. Must not take the UI lock.
  virtual void Wake() = 0;
};

class QV_PLATFORM_API HeadlessEventSource final : public EventSource {
 public:
  void Pump() override {}
  void Present() override {}
  bool Wait(DWORD) override { return false; }
  void Wake() override {}
};

// The shared headless source every thread starts with.
QV_PLATFORM_API std::shared_ptr<EventSource> HeadlessSource();
// Installs `source` on the calling thread (null: headless again). Uninstall
// on that thread before it ends, so that the source dies where it was made.
QV_PLATFORM_API void SetEventSource(std::shared_ptr<EventSource> source);

}  // namespace qv::ui
