#include "app/mailops/NotifySinks.h"

#include "app/mailops/MailTaskState.h"
#include "app/protocol/WindowMessages.h"
#include "platform/kernel/Sync.h"
#include "platform/shell/DeviceServices.h"

namespace {

std::atomic<bool> ProgramInUse{false};
std::atomic<DWORD> PostSpacing{50};

// The platform's unattended state and its sub-states.
bool DeviceUnattended() {
  DWORD flags = 0;
  if (GetSystemPowerState(nullptr, 0, &flags) != ERROR_SUCCESS) return false;
  return (flags & 0xFFFF0000u) == POWER_STATE_UNATTENDED;
}

void PostTo(HWND owner, UINT message, WPARAM w, LPARAM l) {
  if (owner != nullptr) PostMessageW(owner, message, w, l);
}

}  // namespace

void SetProgressPostSpacing(DWORD milliseconds) { PostSpacing.store(milliseconds); }

bool ProgressPacer::Due() {
  const DWORD now = GetTickCount();
  if (started_ && now - last_ < PostSpacing.load()) return false;
  started_ = true;
  last_ = now;
  return true;
}

void SetProgramInUse(bool inUse) { ProgramInUse.store(inUse); }
bool IsProgramInUse() { return ProgramInUse.load(); }

WPARAM ConnectionKind(long engineState) {
  switch (engineState) {
    case 1:
      return 0;
    case 2:
      return 1;
    case 3:
      return 2;
    default:
      return 3;
  }
}

// ---- receive ----

void QvRecvNotifySink::Post(UINT message, WPARAM w, LPARAM l) const { PostTo(owner_, message, w, l); }

bool QvRecvNotifySink::notify(unsigned int message, long w, long l) {
  switch (message) {
    case kReceived:
    case kReceivedPart:
      ++count_;
      countHeld_ = !countPacer_.Due();
      if (!countHeld_) Post(kProgressCountMessage, count_, total_);
      break;
    case kError:
      errorCode_ = static_cast<uint32_t>(w);
      errorDetail_ = static_cast<int32_t>(l);
      break;
    case kEnd:
      count_ = total_;
      countHeld_ = false;
      Post(kProgressCountMessage, total_, total_);
      Post(kPartProgressMessage, partTotal_, partTotal_);
      break;
    case kTotals:
      total_ = static_cast<int>(w);
      partTotal_ = static_cast<int>(l);
      Post(kProgressCountMessage, count_, w);
      Post(kPartProgressMessage, 0, partTotal_);
      break;
    case kPartProgress:
      if (partPacer_.Due()) Post(kPartProgressMessage, w, partTotal_);
      break;
    case kConnection:
      Post(kConnectionStateMessage, ConnectionKind(w), 0);
      break;
    default:
      break;
  }
  return true;
}

QvRecvNotifySink::~QvRecvNotifySink() {
  if (countHeld_) Post(kProgressCountMessage, count_, total_);
}

bool QvRecvNotifySink::IsActiveNow(bool* flag) const {
  if (flag == nullptr) return false;
  *flag = DeviceUnattended() || IsProgramInUse();
  return true;
}

void QvRecvNotifySink::isActive(bool* answer, QvRetriever*) { IsActiveNow(answer); }

// ---- send ----

QvSendNotifySink::QvSendNotifySink(HWND owner, int total) : owner_(owner), total_(total) {
  Post(kProgressCountMessage, 0, total_);
}

QvSendNotifySink::~QvSendNotifySink() {
  if (countHeld_) Post(kProgressCountMessage, count_, total_);
}

void QvSendNotifySink::Post(UINT message, WPARAM w, LPARAM l) const { PostTo(owner_, message, w, l); }

void QvSendNotifySink::notify(int message, long w, long l) {
  switch (message) {
    case kFailed:
    case kQueueFailed:
      errorCode_ = static_cast<uint32_t>(w);
      errorDetail_ = static_cast<int32_t>(l);
      break;
    case kSent:
      ++count_;
      countHeld_ = !pacer_.Due();
      if (!countHeld_) Post(kProgressCountMessage, count_, total_);
      break;
    case kClosing:
      // From here on a cancel would lose track of what went out.
      SetSendFinished(true);
      break;
    case kConnection:
      Post(kConnectionStateMessage, ConnectionKind(w), 0);
      break;
    default:
      break;
  }
}

// ---- export and import ----

void QvFileRunNotifySink::Start(uint32_t total) {
  count_ = 0;
  total_ = static_cast<int>(total);
  PostTo(owner_, kProgressCountMessage, 0, total_);
}

void QvFileRunNotifySink::Progress(uint32_t) {
  // The pause lets the progress window repaint; with no window there is
  // nothing to wait for.
  if (owner_ != nullptr) Sleep(pauseMs_);
  ++count_;
  PostTo(owner_, kProgressCountMessage, count_, total_);
}

void QvFileRunNotifySink::End(uint32_t) {
  if (count_ == total_) PostTo(owner_, kProgressCountMessage, count_, total_);
}
