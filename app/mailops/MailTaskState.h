// The busy state that keeps the long operations apart, the engine objects
// of the running operations (set and cleared by the task threads, cancelled
// from the UI thread) and the two background receive threads.
#pragma once

#include "platform/base/WinTypes.h"
#include "platform/framework/CWnd.h"

class QvAutoRetriever;
class QvMessageExporter;
class QvMessageImporter;
class QvRetriever;
class Sender;

enum MailTaskState : int {
  kMailTaskIdle = 0,
  kMailTaskAutoReceive = 1,
  kMailTaskPeriodicReceive = 2,
  kMailTaskReceive = 3,
  kMailTaskSend = 4,
};

int GetMailTaskState();
// True when a long operation runs; with a parent, the automatic and the
// periodic receive say so in an error box (strings 20146, 20147).
bool CheckMailTaskBusy(CWnd* parent);

// Set by the thread that runs the operation, cleared (null) by it before it
// deletes the object; a cancel never meets a deleted object.
void SetRunningAutoRetriever(QvAutoRetriever* retriever);
void SetRunningRetriever(QvRetriever* retriever);
void SetRunningSender(Sender* sender);
// Set only into an empty slot: false when another run holds it, so two runs
// that both found the slot empty never share it.
bool ClaimRunningRetriever(QvRetriever* retriever);
bool ClaimRunningSender(Sender* sender);
// The engine said sending can no longer be cancelled.
void SetSendFinished(bool finished);
void SetRunningImporter(QvMessageImporter* importer);
void SetRunningExporter(QvMessageExporter* exporter);
bool IsImportOrExportRunning();
// Sets the object only while no import or export runs (one check and set,
// so two tasks never both win); false leaves everything as it was.
bool ClaimRunningImporter(QvMessageImporter* importer);
bool ClaimRunningExporter(QvMessageExporter* exporter);
// An import runs as several engine runs when files fail; the engine forgets
// a cancel at the start of each run, so the cancel is also kept here until
// the next import is claimed.
bool IsImportCancelRequested();

// Each false when its object is not set; safe from the UI thread while the
// object works on another.
bool StopAutoRetriever();
bool CancelRetriever();
// The abort of a foreground receive. It may come before the receive has made
// its retriever (while the account opens or the password is read), so it is
// kept until the task ends, and a retriever made meanwhile hears it before
// its run starts.
void CancelForegroundReceive();
void EndForegroundReceive();
bool IsForegroundReceiveCancelled();
bool CancelSender();
bool CancelImporter();
bool CancelExporter();

// A task that works on the current account holds a lease for its run: the
// account is neither switched nor closed while one is held.
class MailTaskLease {
 public:
  MailTaskLease();
  ~MailTaskLease();
  MailTaskLease(const MailTaskLease&) = delete;
  MailTaskLease& operator=(const MailTaskLease&) = delete;
};
// True while a lease is held or a foreground receive, a send, an import or
// an export runs.
bool IsAccountTaskRunning();

// The background receive threads, registered by whoever starts them (the
// handle is then owned here and closed when the thread is stopped).
void SetAutoReceiveThread(HANDLE thread);
void SetPeriodicReceiveThread(HANDLE thread);
bool IsAutoReceiveThreadRunning();
bool IsPeriodicReceiveThreadRunning();
// Cancel the thread's engine object, then wait for the thread without limit.
// A stop that comes before the thread made its engine object is kept as a
// request, which the pass reads before each receive it would start, until
// the stop has joined the thread.
void StopAutoReceiveThread();
void StopPeriodicReceiveThread();
bool IsAutoReceiveStopRequested();
bool IsPeriodicReceiveStopRequested();
