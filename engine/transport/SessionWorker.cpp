#include "engine/public/transport/SessionWorker.h"

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/transport/MailSocket.h"
#include "engine/public/transport/ProtocolLog.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Sync.h"
#include "platform/net/ConnMgr.h"
#include "platform/net/NetworkWait.h"

SessionWorker::SessionWorker(MailSocket& socket, ProtocolLog& log)
    : socket_(socket), log_(log), wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

SessionWorker::~SessionWorker() {
  if (!thread_) return;
  quit_ = true;
  SetEvent(jobReady_.get());
  WaitForSingleObject(thread_.get(), INFINITE);
}

// One thread serves every step of the client's sessions: a thread per reply
// cost more than many a reply.
DWORD SessionWorker::Loop(void* self) {
  auto* worker = static_cast<SessionWorker*>(self);
  for (;;) {
    WaitForSingleObject(worker->jobReady_.get(), INFINITE);
    if (worker->quit_) return 0;
    worker->jobResult_ = (*worker->job_)();
    SetEvent(worker->jobDone_.get());
  }
}

bool SessionWorker::StartThread() {
  if (thread_) return true;
  jobReady_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  jobDone_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!jobReady_ || !jobDone_) return false;
  thread_.reset(CreateThread(nullptr, 0, Loop, this, 0, nullptr));
  return static_cast<bool>(thread_);
}

uint32_t SessionWorker::Connect(const char* host, int port, const Rules& rules, const EngineCodes& codes) {
  if (!socket_.Resolve(host, port)) return codes.connect;
  const Work connect = [this] { return socket_.Connect() ? NetResult::Ok : NetResult::SocketError; };
  return CodeOf(RunWorker(connect, false, rules), codes, true);
}

uint32_t SessionWorker::Send(const Work& work, const Rules& rules, const EngineCodes& codes) {
  return CodeOf(RunWorker(work, false, rules), codes, false);
}

uint32_t SessionWorker::Read(const Work& work, const Rules& rules, const EngineCodes& codes) {
  const NetResult result = RunWorker(work, true, rules);
  if (result == NetResult::LinkLost) {
    static const char kLost[] = "*** diconnect RAS Connection ***\r\n";
    log_.write(kLost, sizeof kLost - 1);
  }
  return CodeOf(result, codes, false);
}

NetResult SessionWorker::RunWorker(const Work& work, bool stopByFlag, const Rules& rules) {
  stop_ = false;
  if (!StartThread()) return NetResult::NoThread;
  job_ = &work;
  ResetEvent(jobDone_.get());
  SetEvent(jobReady_.get());
  const NetResult end = Wait(jobDone_.get(), rules);
  if (stopByFlag) {
    stop_ = true;
  } else if (end != NetResult::Ok) {
    socket_.Release();  // wakes the blocked call
  }
  // The step never outlives this call: its work and buffers are the caller's.
  WaitForSingleObject(jobDone_.get(), INFINITE);
  job_ = nullptr;
  return end == NetResult::Ok ? jobResult_ : end;
}

uint32_t SessionWorker::CodeOf(NetResult result, const EngineCodes& codes, bool connecting) {
  switch (result) {
    case NetResult::Ok:
    case NetResult::Interrupted:
      return 0;
    case NetResult::NoThread:
      return codes.noThread;
    case NetResult::SocketError:
      return connecting ? codes.connect : codes.socket;
    case NetResult::Overflow:
      return codes.unexpected;
    case NetResult::Cancelled:
      if (connecting) NKDbgPrintfW(L" - Server connect Abort !!!\r\n");
      return codes.cancelled;
    case NetResult::Aborted:
      return codes.aborted;
    case NetResult::TimedOut:
      NKDbgPrintfW(connecting ? L" - Server connect Thread timeout\r\n" : L" - Thread timeout\r\n");
      return connecting ? codes.connect : codes.timeout;
    case NetResult::LinkLost:
      return QVMDL_ERR_NET_LINK_LOST;
  }
  return codes.unexpected;
}

NetResult SessionWorker::Wait(HANDLE done, const Rules& rules) const {
  const HANDLE handles[2] = {done, wake_.get()};
  const DWORD count = wake_ ? 2 : 1;
  DWORD steps = 0;
  for (;;) {
    const DWORD r = WaitForMultipleObjects(count, handles, FALSE, qv::NetworkWaitStep());
    const WaitWake wake = r == WAIT_OBJECT_0       ? WaitWake::WorkerDone
                          : r == WAIT_OBJECT_0 + 1 ? WaitWake::Woken
                                                   : WaitWake::StepEnded;
    if (const std::optional<NetResult> end = rules(wake)) return *end;
    if (wake == WaitWake::WorkerDone) return NetResult::Ok;
    if (wake == WaitWake::StepEnded && ++steps >= qv::NetworkWaitSteps()) return NetResult::TimedOut;
  }
}

void SessionWorker::Wake() {
  if (wake_) SetEvent(wake_.get());
}

void SessionWorker::ClearWake() {
  if (wake_) ResetEvent(wake_.get());
}

bool SessionWorker::Pause(uint32_t steps, const std::function<bool()>& cancelled) const {
  for (uint32_t i = 0; i < steps; ++i) {
    if (wake_) {
      WaitForSingleObject(wake_.get(), qv::NetworkWaitStep());
    } else {
      Sleep(qv::NetworkWaitStep());
    }
    if (cancelled()) return true;
  }
  return false;
}

bool SessionWorker::LinkDown(void* connection) {
  if (!connection) return false;
  DWORD status = 0;
  return FAILED(ConnMgrConnectionStatus(connection, &status)) || status != CONNMGR_STATUS_CONNECTED;
}
