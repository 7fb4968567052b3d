// The notify sinks: the engine tells them each step of a receive, a send, an
// import or an export on the thread that runs it, and they turn the steps
// into messages posted to the progress window. They never touch a window
// themselves, and without an owner window they count but post nothing.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/public/store/QvMailFileRun.h"
#include "engine/public/transport/QvRetriever.h"
#include "engine/public/transport/Sender.h"
#include "platform/base/WinTypes.h"

// Whether the user is at the program: kept by the UI thread (the main frame
// sets it as its windows are activated and deactivated) and read by any
// thread, so a task never has to ask the UI thread, which may be waiting
// for that very task.
void SetProgramInUse(bool inUse);
bool IsProgramInUse();

// Counts and part progress of a receive or a send reach the progress window
// at most once per this many milliseconds (50 unless set); the first step,
// the totals and the last count always do. Each post wakes the window's
// thread, and small mail comes faster than a person reads a count. Tests
// that follow every step set 0.
void SetProgressPostSpacing(DWORD milliseconds);

// Says whether a step is to be posted now, by the spacing above.
class ProgressPacer {
 public:
  bool Due();

 private:
  DWORD last_ = 0;
  bool started_ = false;
};

// Engine connection state (1 connecting, 2 connected, 3 released) as the
// progress window's kind (0, 1, 2; 3 anything else).
WPARAM ConnectionKind(long engineState);

class QvRecvNotifySink : public QvRetriever::Notify {
 public:
  enum : unsigned int {
    kReceived = 0,
    kReceivedPart = 1,
    kError = 3,
    kEnd = 4,
    kTotals = 7,
    kPartProgress = 8,
    kConnection = 11,
  };

  explicit QvRecvNotifySink(HWND owner) : owner_(owner) {}
  // Posts the last count when the pacing held it back.
  ~QvRecvNotifySink() override;
  QvRecvNotifySink(const QvRecvNotifySink&) = delete;
  QvRecvNotifySink& operator=(const QvRecvNotifySink&) = delete;
  bool notify(unsigned int message, long w, long l) override;
  void isActive(bool* answer, QvRetriever* retriever) override;
  // True unless `flag` is null; the flag is true when the device runs
  // unattended or the user is at the program.
  bool IsActiveNow(bool* flag) const;

  int Count() const { return count_; }
  int Total() const { return total_; }
  uint32_t ErrorCode() const { return errorCode_; }
  int32_t ErrorDetail() const { return errorDetail_; }

 private:
  void Post(UINT message, WPARAM w, LPARAM l) const;

  HWND owner_;
  int count_ = 0;
  int total_ = 1;
  int partTotal_ = 1;
  ProgressPacer countPacer_, partPacer_;
  bool countHeld_ = false;
  uint32_t errorCode_ = 0;
  int32_t errorDetail_ = -1;
};

class QvSendNotifySink : public Sender::Notify {
 public:
  enum : int { kFailed = 0, kSent = 1, kQueueFailed = 2, kClosing = 3, kConnection = 4 };

  // Posts the count 0 of `total` at once, before anything is sent.
  QvSendNotifySink(HWND owner, int total);
  // Posts the last count when the pacing held it back.
  ~QvSendNotifySink() override;
  QvSendNotifySink(const QvSendNotifySink&) = delete;
  QvSendNotifySink& operator=(const QvSendNotifySink&) = delete;
  void notify(int message, long w, long l) override;

  int Count() const { return count_; }
  uint32_t ErrorCode() const { return errorCode_; }
  int32_t ErrorDetail() const { return errorDetail_; }

 private:
  void Post(UINT message, WPARAM w, LPARAM l) const;

  HWND owner_;
  int count_ = 0;
  int total_;
  ProgressPacer pacer_;
  bool countHeld_ = false;
  uint32_t errorCode_ = 0;
  int32_t errorDetail_ = -1;
};

// Export and import: each item done pauses a little so the progress window
// repaints while the engine works (not without a window).
class QvFileRunNotifySink : public QvMailFileRun::Notification {
 public:
  void Start(uint32_t total) override;
  void Progress(uint32_t done) override;
  void End(uint32_t cancelled) override;
  int Count() const { return count_; }

 protected:
  QvFileRunNotifySink(HWND owner, DWORD pauseMs) : owner_(owner), pauseMs_(pauseMs) {}
  ~QvFileRunNotifySink() = default;

 private:
  HWND owner_;
  DWORD pauseMs_;
  int count_ = 0;
  int total_ = 0;
};

class QvExportNotifySink : public QvFileRunNotifySink {
 public:
  explicit QvExportNotifySink(HWND owner) : QvFileRunNotifySink(owner, 10) {}
};

class QvImportNotifySink : public QvFileRunNotifySink {
 public:
  explicit QvImportNotifySink(HWND owner) : QvFileRunNotifySink(owner, 100) {}
};
