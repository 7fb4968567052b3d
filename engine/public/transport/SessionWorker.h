// The worker runner of the protocol clients (POP3, SMTP). One socket step at a
// time (connect, a body chunk, a reply) runs on the client's worker thread
// (made at the first step and kept until the runner goes) while
// the session's thread waits for it in steps of qv::NetworkWaitStep(), at
// most qv::NetworkWaitSteps() of them. A client's cancel() and abort() call
// Wake(), which ends the current step at once; after every step the client's
// own rules decide whether the wait is over. A worker still running then is
// stopped (by closing the socket, or through its stop flag) and always
// joined, so no thread outlives the session's buffers. What the run came to
// becomes an engine code through the code set the client passes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/base/ScopedHandle.h"
#include "platform/base/WinTypes.h"

class MailSocket;
class ProtocolLog;

// What one worker's run came to, in the socket layer's own terms. A worker
// itself ends with Ok, SocketError, Overflow or TimedOut (its reply's deadline); the
// others come from the wait.
enum class NetResult : DWORD {
  Ok = 0,       // the step finished
  SocketError,  // connect, send or receive failed, or the peer closed too early
  Overflow,     // the reply passed its limit
  NoThread,     // no worker thread could be made
  Interrupted,  // a cancel cut the wait short: what came is the answer, and the
                // client's own cancel handling goes on from there (no code)
  Cancelled,    // a cancel ended the step, and with it the session
  Aborted,      // the client's abort ended the wait
  TimedOut,     // every wait step passed
  LinkLost,     // the data connection went down
};

// One protocol's engine codes for what its steps come to. A connect that
// fails or times out is a connect failure; a lost data connection is
// QVMDL_ERR_NET_LINK_LOST for every protocol.
struct EngineCodes {
  uint32_t noThread, connect, socket, unexpected, cancelled, aborted, timeout;
};

// What ended one step of the wait.
enum class WaitWake { WorkerDone, Woken, StepEnded };

class SessionWorker {
 public:
  // The client's rules, asked after every step: an end for the wait, or none
  // to go on. When they say nothing, a finished worker ends the wait with Ok
  // and the last step runs into TimedOut.
  using Rules = std::function<std::optional<NetResult>(WaitWake)>;
  // The worker's task, run on its thread: Ok, SocketError or Overflow.
  using Work = std::function<NetResult()>;

  // The lost data connection of a read is written to `log`.
  SessionWorker(MailSocket& socket, ProtocolLog& log);
  ~SessionWorker();
  SessionWorker(const SessionWorker&) = delete;
  SessionWorker& operator=(const SessionWorker&) = delete;

  // Each runs its step on a worker thread and waits for it under `rules`; the
  // engine code of what it came to, 0 for Ok and Interrupted.
  //
  // The socket's connect to `host` (dotted, else looked up) on `port`; an
  // unknown host is a connect failure.
  uint32_t Connect(const char* host, int port, const Rules& rules, const EngineCodes& codes);
  // A blocking send: a wait that ends without it closes the socket to wake it.
  uint32_t Send(const Work& work, const Rules& rules, const EngineCodes& codes);
  // A reading worker: it looks at Stopping() at least once a slice.
  uint32_t Read(const Work& work, const Rules& rules, const EngineCodes& codes);

  // How long a reading worker may wait for bytes before it looks at
  // Stopping() again.
  static constexpr long kSliceMicroseconds = 50000;
  bool Stopping() const { return stop_; }
  // Ends the current wait step at once (any thread).
  void Wake();
  // Forgets a wake that no wait has taken yet.
  void ClearWake();
  // Waits `steps` wait steps, or less when `cancelled()` turns true after a
  // step or a wake; true when it did.
  bool Pause(uint32_t steps, const std::function<bool()>& cancelled) const;

  // The data connection is down or cannot be asked (never for null).
  static bool LinkDown(void* connection);

 private:
  NetResult RunWorker(const Work& work, bool stopByFlag, const Rules& rules);
  NetResult Wait(HANDLE done, const Rules& rules) const;
  bool StartThread();
  static DWORD Loop(void* self);
  static uint32_t CodeOf(NetResult result, const EngineCodes& codes, bool connecting);

  MailSocket& socket_;
  ProtocolLog& log_;
  qv::ScopedHandle wake_;  // auto-reset
  std::atomic<bool> stop_{false};
  // The worker thread and its hand-over: a step is posted with jobReady_
  // (auto-reset) and reported with jobDone_ (manual, reset for each step).
  qv::ScopedHandle thread_, jobReady_, jobDone_;
  const Work* job_ = nullptr;
  NetResult jobResult_ = NetResult::Ok;
  std::atomic<bool> quit_{false};
};
