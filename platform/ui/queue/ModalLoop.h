// Inside the window system: the loop a modal state runs on its own thread
// (a modal dialog, and through it message boxes and property sheets; an open
// menu). Each keeps its own end condition, idle turn and message handling.
#pragma once

#include <functional>

#include "platform/ui/queue/MessageQueue.h"

namespace qv::ui {

struct ModalLoop {
  // Asked before each message; true ends the loop.
  std::function<bool()> ended;
  // The queue is empty: true to ask `ended` again at once, false to wait for
  // the next message. Empty: wait.
  std::function<bool()> idle;
  // Each message taken from the queue, but WM_QUIT.
  std::function<void(MSG& msg)> handle;
};

// Runs until `ended` says so (true) or WM_QUIT comes (false), which is
// posted again for the loop outside.
bool RunModalLoop(const ModalLoop& loop);

}  // namespace qv::ui
