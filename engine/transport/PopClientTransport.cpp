// The transport half of PopClient: socket and TLS, the connect and receive
// workers, the stepped waits, the receive loop and the memory check.
#include <algorithm>
#include <cstring>

#include "engine/foundation/QvMiddleError.h"
#include "engine/transport/PopClient.h"
#include "engine/transport/MailSocket.h"
#include "engine/transport/PopReply.h"
#include "engine/transport/ProtocolLog.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Memory.h"
#include "platform/kernel/Sync.h"
#include "platform/net/ConnMgr.h"
#include "platform/net/NetworkWait.h"

namespace {

// Internal results of recvData beside the engine codes.
constexpr int kOverflow = 1;
constexpr int kCancelledQuiet = 2;

constexpr size_t kListLimit = 16u << 20;     // "UIDL" / "LIST" answers
constexpr size_t kMessageLimit = 64u << 20;  // any one "RETR" / "TOP" answer
constexpr size_t kMessageSlack = 64u << 10;
constexpr size_t kMemoryFloor = 307200;
constexpr uint32_t kMaxWholeSize = 0x300000;
// While the worker waits for the first byte it looks at its stop flag this often.
constexpr long kSliceMicroseconds = 50000;
constexpr long kPauseMicroseconds = 100000;

}  // namespace

void PopClient::cancel() {
  NKDbgPrintfW(L"PopClient::cancel()\r\n");
  cancel_ = true;
  if (wake_) SetEvent(wake_);
}

void PopClient::abort() {
  NKDbgPrintfW(L"PopClient::abort()\r\n");
  abort_ = true;
  state_ = 22;
  // Closing wakes every blocked socket call at once; the session's thread
  // joins its worker and releases the network library itself.
  releaseSocket();
  if (wake_) SetEvent(wake_);
}

void PopClient::releaseSocket() { socket_->Release(); }

int PopClient::closeSocket() {
  socket_->Close();
  return 0;
}

int PopClient::startRecv() {
  NKDbgPrintfW(L"*****PopClient::startRecv()***** \r\n");
  std::string none;
  if (const int r = openSocket()) {
    errorHandling(r, none);
    return r;
  }
  if (const int r = connectServer(host_.c_str(), static_cast<int>(port_))) return r;
  connected_ = true;
  const int r = recvExec();
  if (r) closeSocket();
  return r;
}

// A secure socket that cannot be made is a failure: falling back to plain
// text would send the password in the clear.
int PopClient::openSocket() { return socket_->Open(ssl_, host_) ? 0 : static_cast<int>(QVMDL_ERR_POP_NO_NETWORK); }

int PopClient::connectServer(const char* host, int port) {
  std::string none;
  if (!socket_->Resolve(host, port)) {
    closeSocket();
    errorHandling(QVMDL_ERR_POP_CONNECT, none);
    return QVMDL_ERR_POP_CONNECT;
  }
  const int r = connectServerSub();
  if (r) {
    closeSocket();
    errorHandling(r, none);
  }
  return r;
}

DWORD PopClient::connectServerThread(void* self) {
  return static_cast<DWORD>(static_cast<PopClient*>(self)->socket_->Connect());
}

int PopClient::connectServerSub() {
  HANDLE thread = CreateThread(nullptr, 0, connectServerThread, this, 0, nullptr);
  if (!thread) return QVMDL_ERR_POP_NO_THREAD;
  const WaitEnd end = waitWorker(thread, false);
  if (end != WaitEnd::Done) releaseSocket();  // wakes the connect
  WaitForSingleObject(thread, INFINITE);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  switch (end) {
    case WaitEnd::Done:
      return static_cast<int>(code) == SOCKET_ERROR ? static_cast<int>(QVMDL_ERR_POP_CONNECT) : 0;
    case WaitEnd::Cancelled:
    case WaitEnd::CancelledQuiet:
      NKDbgPrintfW(L" - Server connect Abort !!!\r\n");
      cancel_ = false;  // spent on this session
      return QVMDL_ERR_POP_CANCELLED;
    case WaitEnd::Aborted:
      return QVMDL_ERR_POP_ABORTED;
    default:
      NKDbgPrintfW(L" - Server connect Thread timeout\r\n");
      return QVMDL_ERR_POP_CONNECT;
  }
}

// Waits for a worker in steps of NetworkWaitStep(), at most NetworkWaitSteps()
// of them. Cancel and abort wake the wait at once. While receiving, each step
// also asks the data connection's status. A cancel during login ends the wait
// at once; a later cancel lets the answer in flight arrive, but gives it up as
// soon as one step passes without a byte.
PopClient::WaitEnd PopClient::waitWorker(void* thread, bool receiving) {
  HANDLE handles[2] = {thread, wake_};
  const DWORD count = wake_ ? 2 : 1;
  DWORD steps = 0;
  bool cancelSeen = false;
  uint64_t lastProgress = progress_;
  for (;;) {
    const DWORD r = WaitForMultipleObjects(count, handles, FALSE, qv::NetworkWaitStep());
    if (r == WAIT_OBJECT_0) return WaitEnd::Done;
    const bool stepEnded = r != WAIT_OBJECT_0 + 1;
    if (abort_) return WaitEnd::Aborted;
    if (!receiving) {
      if (cancel_) return WaitEnd::Cancelled;
    } else {
      if (stepEnded && connection_) {
        DWORD status = 0;
        if (FAILED(ConnMgrConnectionStatus(connection_, &status)) || status != CONNMGR_STATUS_CONNECTED) {
          return WaitEnd::LinkLost;
        }
      }
      if (cancel_) {
        if (state_ <= 2) return WaitEnd::Cancelled;
        if (!cancelSeen) {
          cancelSeen = true;
          lastProgress = progress_;
        } else if (stepEnded) {
          if (progress_ == lastProgress) return WaitEnd::CancelledQuiet;
          lastProgress = progress_;
        }
      }
    }
    if (stepEnded && ++steps >= qv::NetworkWaitSteps()) return WaitEnd::TimedOut;
  }
}

int PopClient::sendData(const char* text) {
  const int length = static_cast<int>(std::strlen(text));
  // What comes back decides how the worker reads it.
  if (std::strcmp(text, "UIDL\r\n") == 0 || std::strcmp(text, "LIST\r\n") == 0) {
    reply_ = Reply::List;
    replyLimit_ = kListLimit;
  } else if (std::strncmp(text, "RETR ", 5) == 0 || std::strncmp(text, "TOP ", 4) == 0) {
    reply_ = Reply::Message;
    replyLimit_ = static_cast<size_t>(
        std::min<uint64_t>(uint64_t{currentSize_} * 2 + kMessageSlack, kMessageLimit));
  } else {
    reply_ = Reply::Line;
    replyLimit_ = pop::kMaxLineReply;
  }
  const int sent = socket_->SendAll(text, length);
  log_->write_free("-[OUT(%02d)]", length);
  log_->write(text, static_cast<unsigned>(length));
  return sent;
}

DWORD PopClient::recvThread(void* self) { return static_cast<PopClient*>(self)->receivePiece(); }

// One piece of a reply: reads until the reply is whole, or until the server
// pauses 100 ms after the first byte once a status line is there, or until
// the reply passes its limit.
DWORD PopClient::receivePiece() {
  char chunk[8192];
  bool sawByte = false;
  for (;;) {
    if (workerStop_) return 0;
    const bool lineThere = pop::FirstLineEnd(buffer_) != std::string::npos;
    const bool timed = sawByte && lineThere;
    const int ready = socket_->WaitReadable(timed ? kPauseMicroseconds : kSliceMicroseconds);
    if (ready < 0) {
      socketError_ = true;
      NKDbgPrintfW(L"*** socket Error is Occuered\r\n");
      return QVMDL_ERR_POP_SOCKET;
    }
    if (ready == 0) {
      if (timed) return 0;
      continue;
    }
    const int n = socket_->Receive(chunk, sizeof chunk);
    if (n < 0) {
      socketError_ = true;
      NKDbgPrintfW(L"*** socket Error is Occuered\r\n");
      return QVMDL_ERR_POP_SOCKET;
    }
    if (n == 0) {
      if (state_ < 21) {
        socketError_ = true;
        NKDbgPrintfW(L"!! Socket is closed !!\r\n");
        return QVMDL_ERR_POP_SOCKET;
      }
      return 0;
    }
    if (buffer_.size() + static_cast<size_t>(n) > replyLimit_) {
      overflow_ = true;
      return 0;
    }
    const size_t before = buffer_.size();
    buffer_.append(chunk, static_cast<size_t>(n));
    progress_ += static_cast<uint64_t>(n);
    sawByte = true;
    const size_t eol = pop::FirstLineEnd(buffer_);
    if (eol == std::string::npos) continue;
    if (reply_ == Reply::Line || buffer_[0] != '+') return 0;
    if (pop::ListEnd(buffer_, before >= 4 ? before - 4 : 0) != std::string::npos) return 0;
  }
}

int PopClient::recvData() {
  if (!continues_) {
    buffer_.clear();
    if (reply_ == Reply::Message) {
      const size_t want = std::min<size_t>(size_t{currentSize_} + 1024, replyLimit_);
      NKDbgPrintfW(L"*PopClient::recvData() reserve[%d]\r\n", static_cast<int>(want));
      buffer_.reserve(want);
    }
  }
  socketError_ = false;
  overflow_ = false;
  workerStop_ = false;
  HANDLE thread = CreateThread(nullptr, 0, recvThread, this, 0, nullptr);
  if (!thread) return QVMDL_ERR_POP_NO_THREAD;
  const WaitEnd end = waitWorker(thread, true);
  // The worker is never left behind: it sees its stop flag within a slice
  // (or wakes at once when abort closed the socket).
  workerStop_ = true;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  switch (end) {
    case WaitEnd::Done:
      break;
    case WaitEnd::Aborted:
      return QVMDL_ERR_POP_TIMEOUT;
    case WaitEnd::LinkLost:
      static const char kLost[] = "*** diconnect RAS Connection ***\r\n";
      log_->write(kLost, sizeof kLost - 1);
      return QVMDL_ERR_NET_LINK_LOST;
    case WaitEnd::Cancelled:
      return 0;
    case WaitEnd::CancelledQuiet:
      return kCancelledQuiet;
    case WaitEnd::TimedOut:
      NKDbgPrintfW(L" - Thread timeout\r\n");
      return QVMDL_ERR_POP_TIMEOUT;
  }
  if (overflow_) return kOverflow;
  if (socketError_) return -1;
  return 0;
}

bool PopClient::errorHandling(int code, std::string& /*response*/) {
  connected_ = false;
  lastError_ = code;
  if (code != QVMDL_ERR_POP_CANCELLED) closeSocket();
  notify(MSG_PopErrorOccured, code, 0);
  return true;
}

int PopClient::recvExec() {
  std::string none;
  int pending = 0;
  for (;;) {
    if (!continues_) buffer_.clear();
    if (state_ == 22) return 0;
    if (abort_) return QVMDL_ERR_POP_ABORTED;
    if (pending) {
      errorHandling(pending, buffer_);
      return pending;
    }
    if (expecting_) {
      const bool firstPiece = !continues_;
      const int r = recvData();
      if (firstPiece) {
        log_->write_free("-[IN (%02d)]", static_cast<int>(buffer_.size()));
        log_->write(buffer_.data(), static_cast<unsigned>(buffer_.size()));
      }
      if (abort_) return QVMDL_ERR_POP_ABORTED;
      if (r == -1) {
        NKDbgPrintfW(L"*PopClient notify Socket Fatal Error \r\n");
        errorHandling(QVMDL_ERR_POP_SOCKET, buffer_);
        return QVMDL_ERR_POP_SOCKET;
      }
      if (r == kOverflow) {
        // The rest of the answer is still coming: no "QUIT" can be read back.
        errorHandling(QVMDL_ERR_POP_UNEXPECTED, buffer_);
        return QVMDL_ERR_POP_UNEXPECTED;
      }
      if (r == kCancelledQuiet) {
        // Cancelled while the server stopped sending: say goodbye unheard.
        sendData("QUIT\r\n");
        cancel_ = false;
        endReason_ = 2;
        errorHandling(QVMDL_ERR_POP_CANCELLED, buffer_);
        closeSocket();
        state_ = 22;
        mode_ = 0;
        notify(MSG_PopCanceled, 0, 0);
        return QVMDL_ERR_POP_CANCELLED;
      }
      if (r != 0) {
        errorHandling(r, buffer_);
        return r;
      }
      if (state_ != 3 && !cancel_ && !responseOk()) {
        const int code = failureCode();
        sendData("QUIT\r\n");
        errorHandling(code, buffer_);
        return code;
      }
    }
    const int state = state_;
    if (cancel_ && !continues_ && state != 11 && state != 12 && state != 21 && state != 22) {
      expecting_ = false;
      endReason_ = 2;
      if (state <= 2) {
        sendData("QUIT\r\n");
        cancel_ = false;  // spent on this session
        errorHandling(QVMDL_ERR_POP_CANCELLED, none);
        return QVMDL_ERR_POP_CANCELLED;
      }
      state_ = 19;
      cancel_ = false;
      errorHandling(QVMDL_ERR_POP_CANCELLED, none);
    }
    pending = incomingData();
    if (!continues_) buffer_.clear();
  }
}

// Whether a message may be fetched, and whole or header only.
bool PopClient::checkLimit() {
  headerOnly_ = false;
  MEMORYSTATUS status{};
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  const uint64_t available = status.dwAvailPhys;
  if (available < kMemoryFloor) {
    lastError_ = QVMDL_ERR_POP_NO_MEMORY;
    return false;
  }
  // The raw answer and the unstuffed text are held at once.
  if (available < uint64_t{currentSize_} * 2) {
    headerOnly_ = true;
    return true;
  }
  if ((mode_ == 0 || mode_ == 2) && currentSize_ > kMaxWholeSize) headerOnly_ = true;
  return true;
}
