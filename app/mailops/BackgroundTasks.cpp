#include "app/mailops/BackgroundTasks.h"

#include <atomic>
#include <mutex>
#include <utility>

#include "app/mailops/MailTaskState.h"
#include "app/mailops/TaskAccount.h"
#include "app/protocol/Commands.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Sync.h"
#include "platform/shell/DeviceServices.h"
#include "platform/ui/WinUser.h"

namespace {

std::mutex& OperationsLock() {
  static std::mutex lock;
  return lock;
}

MailTaskOperations& InstalledOperations() {
  static MailTaskOperations operations;
  return operations;
}

// A copy for one run, so that an install never changes a table in use.
MailTaskOperations Operations() {
  std::lock_guard<std::mutex> hold(OperationsLock());
  return InstalledOperations();
}

}  // namespace

void SetMailTaskOperations(MailTaskOperations operations) {
  std::lock_guard<std::mutex> hold(OperationsLock());
  InstalledOperations() = std::move(operations);
}

MailTaskOperations GetMailTaskOperations() { return Operations(); }

// ---- tasks ----

QvTask::~QvTask() { Join(); }

bool QvTask::Start(HWND owner, QvRasHolder* context) {
  if (thread_) return false;
  owner_ = owner;
  context_ = context;
  return CreateTaskThread(false);
}

bool QvTask::CreateTaskThread(bool suspended) {
  thread_.reset(CreateThread(nullptr, 0, ThreadMain, this, suspended ? CREATE_SUSPENDED : 0, nullptr));
  return static_cast<bool>(thread_);
}

void QvTask::Resume() {
  if (thread_) ResumeThread(thread_.get());
}

void QvTask::Join() {
  if (thread_) WaitForSingleObject(thread_.get(), INFINITE);
}

void QvTask::NotifyOwner() const {
  if (owner_ == nullptr) return;
  const UINT id = result_ != 0 ? kTaskSucceededCommand : kTaskFailedCommand;
  PostMessageW(owner_, WM_COMMAND, id, reinterpret_cast<LPARAM>(owner_));
}

namespace {
thread_local const std::wstring* RunningAccount = nullptr;
}  // namespace

std::wstring RunningTaskAccountName() { return RunningAccount != nullptr ? *RunningAccount : std::wstring(); }

DWORD QvTask::ThreadMain(LPVOID parameter) {
  auto* task = static_cast<QvTask*>(parameter);
  RunningAccount = &task->taskAccount_;
  task->Run();
  RunningAccount = nullptr;
  task->NotifyOwner();
  return 0;
}

// A receive's abort is kept from the task's making to its end (see
// CancelForegroundReceive); none outlives its task.
QvReceiveTask::QvReceiveTask(std::wstring account) : account_(std::move(account)) { EndForegroundReceive(); }
QvReceiveTask::QvReceiveTask(const std::list<unsigned long>* ids) : ids_(ids) { EndForegroundReceive(); }
QvReceiveTask::~QvReceiveTask() {
  Join();
  EndForegroundReceive();
}
void QvReceiveTask::Cancel() { CancelForegroundReceive(); }

void QvReceiveTask::Run() {
  const MailTaskOperations ops = Operations();
  bool ok = false;
  if (ids_ != nullptr) {
    if (ops.receiveSelectedMessages) ok = ops.receiveSelectedMessages(*ids_, owner_, &errorCode_, &errorDetail_, context_);
  } else if (ops.receiveAccountByName) {
    ok = ops.receiveAccountByName(account_, owner_, &errorCode_, &errorDetail_, context_);
  }
  EndForegroundReceive();
  result_ = ok ? 1 : 0;
}

QvSendTask::QvSendTask(std::vector<unsigned long> ids) : ids_(std::move(ids)) {}
QvSendTask::~QvSendTask() { Join(); }
void QvSendTask::Cancel() { CancelSender(); }

void QvSendTask::Run() {
  const MailTaskOperations ops = Operations();
  // The operation takes its own copy of the ids.
  result_ = ops.sendMessages && ops.sendMessages(owner_, &errorCode_, &errorDetail_, context_, ids_) ? 1 : 0;
}

namespace {

std::wstring CapturedAccountName() {
  MailTaskAccount account;
  return CaptureMailTaskAccount(&account) ? account.name : std::wstring();
}

}  // namespace

QvExportTask::QvExportTask(std::wstring folder, std::vector<unsigned long> ids)
    : folder_(std::move(folder)), ids_(std::move(ids)) {
  taskAccount_ = CapturedAccountName();
}
QvExportTask::~QvExportTask() { Join(); }
void QvExportTask::Cancel() { CancelExporter(); }

void QvExportTask::Run() {
  const MailTaskOperations ops = Operations();
  result_ = ops.exportMessages && ops.exportMessages(ids_, folder_, owner_, &errorCode_) ? 1 : 0;
}

QvImportTask::QvImportTask(DWORD folderId, std::list<std::wstring> files)
    : folderId_(folderId), files_(std::move(files)) {
  taskAccount_ = CapturedAccountName();
}
QvImportTask::~QvImportTask() { Join(); }
void QvImportTask::Cancel() { CancelImporter(); }

void QvImportTask::Run() {
  const MailTaskOperations ops = Operations();
  result_ = ops.importMessages && ops.importMessages(folderId_, files_, owner_, &errorCode_) ? 1 : 0;
}

// ---- event tasks ----

QvEventTask::QvEventTask(DWORD intervalMs, HWND owner) : interval_(intervalMs) {
  owner_ = owner;
  event_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  CreateTaskThread(true);
}

QvEventTask::~QvEventTask() { StopAndJoin(); }

void QvEventTask::Launch() {
  if (launched_) return;
  launched_ = true;
  Resume();
}

void QvEventTask::Stop() {
  if (event_) SetEvent(event_.get());
}

void QvEventTask::StopAndJoin() {
  Stop();
  // A thread never launched still runs once, to find the event set.
  Launch();
  Join();
  // Only now: the thread's last wait was on this very event.
  event_.reset();
}

void QvEventTask::Run() {
  DWORD waited = WAIT_FAILED;
  do {
    Tick();
    waited = WaitForSingleObject(event_.get(), interval_);
  } while (waited == WAIT_TIMEOUT);
  result_ = waited == WAIT_OBJECT_0 ? 1 : 0;
}

QvKeepAwakeTask::QvKeepAwakeTask() : QvEventTask(kIntervalMs) { Launch(); }
QvKeepAwakeTask::~QvKeepAwakeTask() { StopAndJoin(); }
void QvKeepAwakeTask::Tick() { SystemIdleTimerReset(); }

// ---- background receive threads ----

namespace {

struct BackgroundThread {
  // Set by the starter before the thread exists, cleared by the thread as
  // its last act.
  std::atomic<bool> running{false};
  // Not owned: the task state owns it from registration on.
  HANDLE handle = nullptr;
};

BackgroundThread AutoThread;
BackgroundThread PeriodicThread;

HANDLE PauseEvent() {
  static const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  return event;
}

void RunPass(const std::function<bool()>& pass) {
  if (!pass) return;
  try {
    pass();
  } catch (...) {
    OutputDebugStringW(L"exception!!\r\n");
  }
}

DWORD AutoReceiveMain(LPVOID) {
  RunPass(Operations().autoPass);
  AutoThread.running.store(false);
  return 0;
}

DWORD PeriodicReceiveMain(LPVOID) {
  {
    QvKeepAwakeTask keepAwake;
    RunPass(Operations().periodicPass);
    WaitForSingleObject(PauseEvent(), kPeriodicPauseMs);
  }
  PeriodicThread.running.store(false);
  return 0;
}

HANDLE StartBackground(BackgroundThread* thread, LPTHREAD_START_ROUTINE main, void (*registerHandle)(HANDLE)) {
  if (thread->running.load()) return thread->handle;
  thread->running.store(true);
  HANDLE handle = CreateThread(nullptr, 0, main, nullptr, CREATE_SUSPENDED, nullptr);
  if (handle == nullptr) {
    thread->running.store(false);
    thread->handle = nullptr;
    return nullptr;
  }
  thread->handle = handle;
  // Registered before it runs, so the busy state knows the thread from its
  // first step; a handle of an earlier thread that ended is closed here.
  registerHandle(handle);
  ResumeThread(handle);
  return handle;
}

}  // namespace

HANDLE StartAutoReceiveThread() { return StartBackground(&AutoThread, AutoReceiveMain, SetAutoReceiveThread); }
bool IsAutoReceiveRunning() { return AutoThread.running.load(); }

HANDLE StartPeriodicReceiveThread() {
  return StartBackground(&PeriodicThread, PeriodicReceiveMain, SetPeriodicReceiveThread);
}
bool IsPeriodicReceiveRunning() { return PeriodicThread.running.load(); }

void EndPeriodicPauseForTest() { SetEvent(PauseEvent()); }
