// Long mail operations off the UI thread. A task runs one operation on a
// thread of its own and, when it ends, posts WM_COMMAND to the window that
// shows its progress (kTaskSucceededCommand when the result is non-zero,
// else kTaskFailedCommand, with that window's handle as lParam). An event
// task ticks on its own thread until stopped. Beside them run the two
// long-lived background threads: the automatic receive of the carrier
// account and the periodic receive pass.
//
// The operations themselves (receive, send, import, export and the two
// background passes) belong to the receive, send and file operations; they
// are reached through one table, MailTaskOperations, that those operations
// install. An entry left empty refuses (result false, no code).
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <vector>

#include "platform/base/ScopedHandle.h"
#include "platform/base/WinTypes.h"

class QvRasHolder;

struct MailTaskOperations {
  std::function<bool(const std::wstring& account, HWND owner, uint32_t* code, int32_t* detail, QvRasHolder* holder)>
      receiveAccountByName;
  std::function<bool(const std::list<unsigned long>& ids, HWND owner, uint32_t* code, int32_t* detail,
                     QvRasHolder* holder)>
      receiveSelectedMessages;
  std::function<bool(HWND owner, uint32_t* code, int32_t* detail, QvRasHolder* holder,
                     std::vector<unsigned long> ids)>
      sendMessages;
  std::function<bool(const std::vector<unsigned long>& ids, const std::wstring& folder, HWND owner, uint32_t* code)>
      exportMessages;
  std::function<bool(DWORD folderId, const std::list<std::wstring>& files, HWND owner, uint32_t* code)>
      importMessages;
  // The two background passes run on threads the UI thread never waits for
  // but to stop them: each opens its own accounts and storages
  // (TaskAccountObjects) and posts what the windows must know, touching
  // nothing the UI thread owns.
  // Run on the periodic-receive thread: one pass over the accounts.
  std::function<bool()> periodicPass;
  // Run on the automatic-receive thread: one receive of the carrier account.
  std::function<bool()> autoPass;
};

// Installs the operations (an empty table puts the refusing ones back). Set
// while no task runs.
void SetMailTaskOperations(MailTaskOperations operations);

// On the thread of an import or an export task: the name of the account
// that was current when the task was made (the operation opens its own
// objects of it); empty on any other thread.
std::wstring RunningTaskAccountName();
// The table as installed, so that each kind of operation adds its own.
MailTaskOperations GetMailTaskOperations();

class QvTask {
 public:
  QvTask(const QvTask&) = delete;
  QvTask& operator=(const QvTask&) = delete;
  // Waits without limit for the thread, then closes its handle.
  virtual ~QvTask();

  // Called on the UI thread while Run works on the task's thread; it only
  // asks the engine to stop.
  virtual void Cancel() = 0;

  // Keeps both and starts the thread, which runs the operation and then
  // tells the owner. False when the thread cannot be made (nothing is
  // posted then) or was started already.
  bool Start(HWND owner, QvRasHolder* context);

  int Result() const { return result_; }
  uint32_t ErrorCode() const { return errorCode_; }
  int32_t ErrorDetail() const { return errorDetail_; }

 protected:
  QvTask() = default;
  virtual void Run() = 0;
  // Posts the end to the owner window, when there is one.
  void NotifyOwner() const;
  // Makes the thread, held back when `suspended` until Resume.
  bool CreateTaskThread(bool suspended);
  void Resume();
  // Waits for the thread to end (at once when there is none). Each class
  // that Run reaches into calls it first in its destructor, so the thread
  // never meets a member already gone.
  void Join();

  uint32_t errorCode_ = 0;
  int32_t errorDetail_ = -1;
  uint32_t aux_ = 0;
  HWND owner_ = nullptr;
  // Taken on the UI thread when an import or an export task is made.
  std::wstring taskAccount_;
  int result_ = 0;
  QvRasHolder* context_ = nullptr;

 private:
  static DWORD ThreadMain(LPVOID task);
  qv::ScopedHandle thread_;
};

class QvReceiveTask : public QvTask {
 public:
  // An account receive by name.
  explicit QvReceiveTask(std::wstring account);
  // The rest of partially received messages of the current account; the
  // list stays the caller's and must outlive the task's run.
  explicit QvReceiveTask(const std::list<unsigned long>* ids);
  ~QvReceiveTask() override;
  void Cancel() override;

 protected:
  void Run() override;

 private:
  const std::list<unsigned long>* ids_ = nullptr;
  std::wstring account_;
};

class QvSendTask : public QvTask {
 public:
  // Empty: the whole outbox.
  explicit QvSendTask(std::vector<unsigned long> ids);
  ~QvSendTask() override;
  void Cancel() override;

 protected:
  void Run() override;

 private:
  std::vector<unsigned long> ids_;
};

class QvExportTask : public QvTask {
 public:
  // Made on the UI thread: it takes the current account's name then.
  QvExportTask(std::wstring folder, std::vector<unsigned long> ids);
  ~QvExportTask() override;
  void Cancel() override;

 protected:
  void Run() override;

 private:
  std::wstring folder_;
  std::vector<unsigned long> ids_;
};

class QvImportTask : public QvTask {
 public:
  // Made on the UI thread: it takes the current account's name then.
  QvImportTask(DWORD folderId, std::list<std::wstring> files);
  ~QvImportTask() override;
  void Cancel() override;

 protected:
  void Run() override;

 private:
  DWORD folderId_;
  std::list<std::wstring> files_;
};

// Ticks, then waits on its event for the interval, and again while the
// wait times out. Its result is 1 when its own event ended the loop, 0 when
// the wait failed.
class QvEventTask : public QvTask {
 public:
  // Sets the event, waits for the thread, and only then closes the event.
  ~QvEventTask() override;
  void Cancel() override { Stop(); }
  void Stop();

 protected:
  // The thread is made held back; the most derived class's constructor
  // calls Launch once the object is complete, and its destructor calls
  // StopAndJoin before its own members go. An owner hears the end.
  explicit QvEventTask(DWORD intervalMs = 1000, HWND owner = nullptr);
  void Launch();
  void StopAndJoin();
  virtual void Tick() {}
  void Run() override;

 private:
  qv::ScopedHandle event_;
  DWORD interval_;
  bool launched_ = false;
};

// Keeps the device awake beside an unattended periodic pass.
class QvKeepAwakeTask : public QvEventTask {
 public:
  static constexpr DWORD kIntervalMs = 8000;
  QvKeepAwakeTask();
  ~QvKeepAwakeTask() override;

 protected:
  void Tick() override;
};

// The background receive threads. Start returns the thread's handle, which
// stays valid until the stopper (StopAutoReceiveThread and
// StopPeriodicReceiveThread of the task state, or the next Start after the
// thread ended) joins and closes it; the thread itself only clears its
// running flag, as the very last thing it does. Null when the thread could
// not be made; while it runs, the handle it runs under.
HANDLE StartAutoReceiveThread();
bool IsAutoReceiveRunning();
HANDLE StartPeriodicReceiveThread();
bool IsPeriodicReceiveRunning();

// After its pass the periodic thread pauses 6000 ms before it clears its
// running flag, so the main frame sees the pass end only once the data
// connection has settled; a stop waits for the pause. The pause is a wait on
// an event that production never sets; a test ends one pause early with it.
constexpr DWORD kPeriodicPauseMs = 6000;
void EndPeriodicPauseForTest();
