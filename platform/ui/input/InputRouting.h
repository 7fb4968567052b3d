// Inside the window system: where injected input goes. The thread is chosen
// when the input is made (the foreground thread for keys, the capture's or
// the pointed window's thread for the pointer); the window when the thread
// takes it from its queue, so that focus changes made while handling one key
// steer the next. Input to a disabled window is dropped.
#pragma once

#include "platform/ui/queue/ThreadQueue.h"

namespace qv::ui {

inline bool IsKeyMessage(UINT m) { return m >= WM_KEYFIRST && m <= WM_KEYLAST; }
inline bool IsPointerMessage(UINT m) { return m >= WM_MOUSEFIRST && m <= WM_MOUSELAST; }
// Keys, characters and the input method's composition go to the focus.
inline bool IsFocusMessage(UINT m) {
  return IsKeyMessage(m) || (m >= WM_IME_STARTCOMPOSITION && m <= WM_IME_COMPOSITION);
}

// With the lock held: the window the event goes to now, null to drop it.
Window* RouteInput(ThreadQueue& q, const InputEvent& e);
// With the lock held: the thread's key state once it has taken the event.
void TakeInput(ThreadQueue& q, const InputEvent& e);
// The message as its window receives it (pointer positions in its client).
MSG InputMessage(const Window& w, const InputEvent& e);
// With the lock held: the thread took `m` from its queue (a press is kept
// for the double tap it may begin).
void NoteInputTaken(const MSG& m);

}  // namespace qv::ui
