#include "app/mailops/MailTaskState.h"

#include <atomic>
#include <mutex>

#include "app/foundation/MessageBoxes.h"
#include "engine/public/store/QvMessageExporter.h"
#include "engine/public/store/QvMessageImporter.h"
#include "engine/public/transport/QvAutoRetriever.h"
#include "engine/public/transport/QvRetriever.h"
#include "engine/public/transport/Sender.h"
#include "platform/base/ScopedHandle.h"
#include "platform/kernel/Sync.h"

namespace {

constexpr UINT kAutoReceiveBusyText = 20146;
constexpr UINT kPeriodicReceiveBusyText = 20147;

// One lock for the running objects: a thread clears its slot under it
// before it deletes the object, and a cancel calls the object under it.
std::mutex& TaskLock() {
  static std::mutex lock;
  return lock;
}

QvAutoRetriever* RunningAutoRetriever = nullptr;
QvRetriever* RunningRetriever = nullptr;
Sender* RunningSender = nullptr;
bool SendFinishedFlag = false;
QvMessageImporter* RunningImporter = nullptr;
QvMessageExporter* RunningExporter = nullptr;
bool ImportCancelRequested = false;
std::atomic<int> LeaseCount{0};

qv::ScopedHandle AutoReceiveThread;
qv::ScopedHandle PeriodicReceiveThread;
std::atomic<bool> AutoStopRequested{false};
std::atomic<bool> PeriodicStopRequested{false};
std::atomic<bool> ForegroundReceiveCancelled{false};

bool ThreadRuns(const qv::ScopedHandle& thread) {
  return thread && WaitForSingleObject(thread.get(), 0) == WAIT_TIMEOUT;
}

}  // namespace

int GetMailTaskState() {
  std::lock_guard<std::mutex> hold(TaskLock());
  if (RunningAutoRetriever != nullptr) return kMailTaskAutoReceive;
  if (RunningRetriever != nullptr) return ThreadRuns(PeriodicReceiveThread) ? kMailTaskPeriodicReceive : kMailTaskReceive;
  if (RunningSender != nullptr) return kMailTaskSend;
  return kMailTaskIdle;
}

bool CheckMailTaskBusy(CWnd* parent) {
  const int state = GetMailTaskState();
  if (state == kMailTaskIdle) return false;
  if (parent != nullptr) {
    if (state == kMailTaskAutoReceive) ShowErrorBoxRes(parent->GetSafeHwnd(), kAutoReceiveBusyText);
    if (state == kMailTaskPeriodicReceive) ShowErrorBoxRes(parent->GetSafeHwnd(), kPeriodicReceiveBusyText);
  }
  return true;
}

void SetRunningAutoRetriever(QvAutoRetriever* retriever) {
  std::lock_guard<std::mutex> hold(TaskLock());
  RunningAutoRetriever = retriever;
}

void SetRunningRetriever(QvRetriever* retriever) {
  std::lock_guard<std::mutex> hold(TaskLock());
  RunningRetriever = retriever;
}

void SetRunningSender(Sender* sender) {
  std::lock_guard<std::mutex> hold(TaskLock());
  RunningSender = sender;
  SendFinishedFlag = false;
}

bool ClaimRunningRetriever(QvRetriever* retriever) {
  std::lock_guard<std::mutex> hold(TaskLock());
  if (RunningRetriever != nullptr) return false;
  RunningRetriever = retriever;
  return true;
}

bool ClaimRunningSender(Sender* sender) {
  std::lock_guard<std::mutex> hold(TaskLock());
  if (RunningSender != nullptr) return false;
  RunningSender = sender;
  SendFinishedFlag = false;
  return true;
}

void SetSendFinished(bool finished) {
  std::lock_guard<std::mutex> hold(TaskLock());
  SendFinishedFlag = finished;
}

void SetRunningImporter(QvMessageImporter* importer) {
  std::lock_guard<std::mutex> hold(TaskLock());
  RunningImporter = importer;
}

void SetRunningExporter(QvMessageExporter* exporter) {
  std::lock_guard<std::mutex> hold(TaskLock());
  RunningExporter = exporter;
}

bool ClaimRunningImporter(QvMessageImporter* importer) {
  std::lock_guard<std::mutex> hold(TaskLock());
  if (RunningImporter != nullptr || RunningExporter != nullptr) return false;
  RunningImporter = importer;
  ImportCancelRequested = false;
  return true;
}

bool ClaimRunningExporter(QvMessageExporter* exporter) {
  std::lock_guard<std::mutex> hold(TaskLock());
  if (RunningImporter != nullptr || RunningExporter != nullptr) return false;
  RunningExporter = exporter;
  return true;
}

bool IsImportCancelRequested() {
  std::lock_guard<std::mutex> hold(TaskLock());
  return ImportCancelRequested;
}

bool IsImportOrExportRunning() {
  std::lock_guard<std::mutex> hold(TaskLock());
  return RunningImporter != nullptr || RunningExporter != nullptr;
}

bool StopAutoRetriever() {
  std::lock_guard<std::mutex> hold(TaskLock());
  if (RunningAutoRetriever == nullptr) return false;
  return RunningAutoRetriever->StopWaiting();
}

bool CancelRetriever() {
  std::lock_guard<std::mutex> hold(TaskLock());
  if (RunningRetriever == nullptr) return false;
  RunningRetriever->CancelRetrieveMessages();
  return true;
}

void CancelForegroundReceive() {
  // Kept first: a retriever claimed after this looks at the flag, one
  // claimed before is reached by the cancel.
  ForegroundReceiveCancelled.store(true);
  CancelRetriever();
}

void EndForegroundReceive() { ForegroundReceiveCancelled.store(false); }
bool IsForegroundReceiveCancelled() { return ForegroundReceiveCancelled.load(); }

bool CancelSender() {
  std::lock_guard<std::mutex> hold(TaskLock());
  // Once the mail is on its way, a cancel would lose track of what was sent.
  if (RunningSender == nullptr || SendFinishedFlag) return false;
  return RunningSender->Cancel() == 1;
}

bool CancelImporter() {
  std::lock_guard<std::mutex> hold(TaskLock());
  if (RunningImporter == nullptr) return false;
  ImportCancelRequested = true;
  return RunningImporter->Cancel();
}

bool CancelExporter() {
  std::lock_guard<std::mutex> hold(TaskLock());
  return RunningExporter != nullptr && RunningExporter->Cancel();
}

MailTaskLease::MailTaskLease() { ++LeaseCount; }
MailTaskLease::~MailTaskLease() { --LeaseCount; }

bool IsAccountTaskRunning() {
  if (LeaseCount.load() > 0) return true;
  std::lock_guard<std::mutex> hold(TaskLock());
  // A retriever of the periodic thread works on an account of its own.
  const bool foregroundReceive = RunningRetriever != nullptr && !ThreadRuns(PeriodicReceiveThread);
  return foregroundReceive || RunningSender != nullptr || RunningImporter != nullptr || RunningExporter != nullptr;
}

void SetAutoReceiveThread(HANDLE thread) {
  std::lock_guard<std::mutex> hold(TaskLock());
  AutoReceiveThread.reset(thread);
  AutoStopRequested.store(false);
}

void SetPeriodicReceiveThread(HANDLE thread) {
  std::lock_guard<std::mutex> hold(TaskLock());
  PeriodicReceiveThread.reset(thread);
  PeriodicStopRequested.store(false);
}

bool IsAutoReceiveStopRequested() { return AutoStopRequested.load(); }
bool IsPeriodicReceiveStopRequested() { return PeriodicStopRequested.load(); }

bool IsAutoReceiveThreadRunning() {
  std::lock_guard<std::mutex> hold(TaskLock());
  return ThreadRuns(AutoReceiveThread);
}

bool IsPeriodicReceiveThreadRunning() {
  std::lock_guard<std::mutex> hold(TaskLock());
  return ThreadRuns(PeriodicReceiveThread);
}

namespace {

// Takes the handle out of its slot so that the wait runs without the lock
// (the thread clears its running object under it on its way out).
void StopAndJoin(qv::ScopedHandle* slot, std::atomic<bool>* requested, bool (*cancel)()) {
  requested->store(true);
  cancel();
  qv::ScopedHandle thread;
  {
    std::lock_guard<std::mutex> hold(TaskLock());
    thread = std::move(*slot);
  }
  if (thread) WaitForSingleObject(thread.get(), INFINITE);
  // Heard: the thread it was for has ended.
  requested->store(false);
}

}  // namespace

void StopAutoReceiveThread() { StopAndJoin(&AutoReceiveThread, &AutoStopRequested, StopAutoRetriever); }

void StopPeriodicReceiveThread() { StopAndJoin(&PeriodicReceiveThread, &PeriodicStopRequested, CancelRetriever); }
