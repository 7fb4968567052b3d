// Inside the window system: one thread's queue and the input state that
// belongs to the thread (focus, activation, capture, key state as taken from
// the queue, the caret). Everything here is read and changed under the UI lock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>

#include "platform/ui/queue/EventSource.h"
#include "platform/ui/input/Ime.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/window/WindowTable.h"

namespace qv::ui {

struct SentMessage {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  LRESULT result = 0;
  bool done = false;
  bool wantReply = true;
  std::shared_ptr<ThreadQueue> sender;
};

// A key or pointer event as injected; its window is chosen when it is taken
// from the queue (keys go to the focus then, pointer events to the capture
// or the window under the point).
struct InputEvent {
  UINT message = 0;
  WPARAM wParam = 0;  // the key for key messages, MK_ flags for the pointer
  LPARAM lParam = 0;  // key messages: repeat count, scan code and flags
  POINT screen{};
  DWORD time = 0;
  std::wstring text;  // the input method's text on WM_IME_COMPOSITION
};

struct Timer {
  HWND hwnd = nullptr;
  UINT_PTR id = 0;
  UINT elapse = 0;
  TIMERPROC proc = nullptr;
  DWORD due = 0;  // UI clock
};

struct Caret {
  HWND owner = nullptr;
  HBITMAP bitmap = nullptr;
  SIZE size{};
  POINT pos{};
  int hidden = 1;  // shown while 0
  DWORD blinkStart = 0;
  int paintHidden = 0;  // BeginPaint's own hiding, until EndPaint: the window draws it itself then
};

// The thread's input context: the composition as of the WM_IME_ messages
// taken so far, and where its windows want the candidate list.
struct ImeState {
  std::wstring composition;
  std::wstring result;
  HWND formOwner = nullptr;
  CANDIDATEFORM candidate{};
  COMPOSITIONFORM form{};
};

struct ThreadQueue {
  DWORD thread = 0;
  bool alive = true;
  std::deque<std::shared_ptr<SentMessage>> sent;
  std::atomic<int> sentCount{0};  // read by the kernel's wait hook without the lock
  std::deque<MSG> posted;
  std::deque<InputEvent> input;
  bool quit = false;
  int quitCode = 0;
  std::vector<Timer> timers;
  UINT_PTR nextTimerId = 1;
  std::condition_variable_any wake;
  unsigned changes = 0;  // bumped whenever something arrives
  int serving = 0;       // depth of sent messages from other threads being served
  // Pumped, presented and waited on by this thread only; changed under the lock.
  std::shared_ptr<EventSource> source = HeadlessSource();
  bool outside = false;  // the source is not the headless one: it shows the screen

  HWND active = nullptr;
  HWND focus = nullptr;
  HWND capture = nullptr;
  BYTE keys[256]{};  // as of the key messages taken so far
  Caret caret;
  ImeState ime;
  MSG last{};
};

// The calling thread's queue, made on first use.
std::shared_ptr<ThreadQueue> CurrentQueue();
// Null when the thread has none yet.
ThreadQueue* CurrentQueueIfAny();
// With the lock held: tells a queue's waiting thread to look again. Call
// WakeOthers() after letting the lock go when another thread may be in a
// kernel wait.
void Touch(ThreadQueue& q);
void WakeOthers();
// Wakes every queue (the UI clock moved).
void TouchAll();

// Calls a window's procedure as the system does, for the message observer:
// `how` is kObservedSent or kObservedPosted.
LRESULT Deliver(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, unsigned how);
// Serves every message other threads have sent to this thread.
void ServeSent();
// What a blocked thread (in a kernel wait, or waiting for a sent message's
// answer) does for its windows: it serves what other threads send and, with a
// display, takes its input (routed to the windows' threads, a worker's
// message box among them) and presents. Called without the lock, every
// kDisplayTurnMilliseconds at least while a display's thread waits.
void ServeWhileBlocked();
constexpr DWORD kDisplayTurnMilliseconds = 10;
// With the lock held: a thread that drew on the screen without showing it
// itself has the thread with the display present it now.
void ShowPainted(const ThreadQueue& painter);

// Messages the window system sends itself across threads; they never reach
// a window procedure.
constexpr UINT kActivateRequest = 0x03F0u;  // make hwnd the foreground window

// Thread-local: depth of DefWindowProcW on this thread.
int& DefProcDepth();

}  // namespace qv::ui
