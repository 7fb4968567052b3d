// The transport half of SmtpClient: socket and TLS (implicit and STARTTLS),
// the connect, send and receive workers and the stepped waits.
#include <algorithm>
#include <cstring>

#include "engine/foundation/QvMiddleError.h"
#include "engine/transport/MailSocket.h"
#include "engine/transport/ProtocolLog.h"
#include "engine/transport/SmtpClient.h"
#include "engine/transport/SmtpReply.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Sync.h"
#include "platform/net/ConnMgr.h"
#include "platform/net/NetworkWait.h"

namespace {

constexpr int kChunk = 32768;
// While a worker waits for bytes it looks at its stop flag this often.
constexpr long kSliceMicroseconds = 50000;
// The goodbye after "QUIT" is read directly, for at most this many wait steps.
constexpr DWORD kQuitSteps = 10;

}  // namespace

void SmtpClient::cancel() {
  NKDbgPrintfW(L"SmtpClient::cancel()\r\n");
  if (state_ == 10) {
    // The message in hand is finished; the caller ends with quit().
    NKDbgPrintfW(L"SmtpClient::cancel() status is Next & retrun \r\n");
    return;
  }
  cancel_ = true;
  closeSocket();
  if (wake_) SetEvent(wake_);
}

int SmtpClient::closeSocket() {
  socket_->Close();
  return 0;
}

// A secure socket that cannot be made is a failure: going on in plain text
// would send the password and the mail in the clear.
int SmtpClient::openSocket(bool secure) {
  return socket_->Open(secure, smtpServer_, sslMode_ == 2) ? 0 : static_cast<int>(QVMDL_ERR_SMTP_NO_NETWORK);
}

int SmtpClient::connectServer(const char* host, int port) {
  if (!socket_->Resolve(host, port)) {
    closeSocket();
    return QVMDL_ERR_SMTP_CONNECT;
  }
  const int r = connectServerSub();
  if (r) closeSocket();
  return r;
}

DWORD SmtpClient::connectServerThread(void* self) {
  return static_cast<DWORD>(static_cast<SmtpClient*>(self)->socket_->Connect());
}

int SmtpClient::connectServerSub() {
  HANDLE thread = CreateThread(nullptr, 0, connectServerThread, this, 0, nullptr);
  if (!thread) return QVMDL_ERR_SMTP_NO_THREAD;
  const WaitEnd end = waitWorker(thread, false);
  if (end != WaitEnd::Done) socket_->Release();  // wakes the connect
  WaitForSingleObject(thread, INFINITE);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  switch (end) {
    case WaitEnd::Done:
      return static_cast<int>(code) == SOCKET_ERROR ? static_cast<int>(QVMDL_ERR_SMTP_CONNECT) : 0;
    case WaitEnd::Cancelled:
      NKDbgPrintfW(L" - Server connect Abort !!!\r\n");
      return QVMDL_ERR_SMTP_CANCELLED;
    default:
      NKDbgPrintfW(L" - Server connect Thread timeout\r\n");
      return QVMDL_ERR_SMTP_CONNECT;
  }
}

// Waits for a worker in steps of NetworkWaitStep(), at most NetworkWaitSteps()
// of them; cancel wakes the wait at once. With `watchLink` each step also asks
// the data connection's state.
SmtpClient::WaitEnd SmtpClient::waitWorker(void* thread, bool watchLink) {
  HANDLE handles[2] = {thread, wake_};
  const DWORD count = wake_ ? 2 : 1;
  DWORD steps = 0;
  for (;;) {
    const DWORD r = WaitForMultipleObjects(count, handles, FALSE, qv::NetworkWaitStep());
    if (cancel_) return WaitEnd::Cancelled;
    if (r == WAIT_OBJECT_0) return WaitEnd::Done;
    if (r == WAIT_OBJECT_0 + 1) continue;
    if (watchLink && connection_) {
      DWORD status = 0;
      if (FAILED(ConnMgrConnectionStatus(connection_, &status)) || status != CONNMGR_STATUS_CONNECTED) {
        return WaitEnd::LinkLost;
      }
    }
    if (++steps >= qv::NetworkWaitSteps()) return WaitEnd::TimedOut;
  }
}

void SmtpClient::pauseSeconds(uint32_t seconds, bool* cancelled) {
  *cancelled = false;
  for (uint32_t i = 0; i < seconds; ++i) {
    if (wake_) {
      WaitForSingleObject(wake_, qv::NetworkWaitStep());
    } else {
      Sleep(qv::NetworkWaitStep());
    }
    if (cancel_) {
      *cancelled = true;
      return;
    }
  }
}

// STARTTLS (port 587), right after connect:
//   S: 220 mail ESMTP     C: EHLO QvMail_1
//   S: 250-mail / 250-STARTTLS / 250 8BITMIME      C: STARTTLS
//   S: 220 2.0.0 Ready to start TLS                (handshake; EHLO again in TLS)
// A server that offers no STARTTLS keeps the session in plain text.
int SmtpClient::startTlsExec() {
  NKDbgPrintfW(L"[TLS1]SmtpClient::startTls()\r\n");
  state_ = 0;
  keepReading_ = false;
  for (;;) {
    if (!keepReading_) reply_.clear();
    const size_t before = reply_.size();
    if (const int r = recvData()) return r;
    log_->write_free("-[IN (%02d)]", static_cast<int>(reply_.size() - before));
    log_->write(reply_.data() + before, static_cast<unsigned>(reply_.size() - before));
    int sent = 0;
    if (state_ == 0) {
      state_ = 27;
      sent = sendData("EHLO QvMail_1\r\n");
    } else if (state_ == 27) {
      const std::string& r = reply_;
      if (r.compare(0, 3, "500") == 0 || r.compare(0, 3, "502") == 0 || r.compare(0, 3, "530") == 0 ||
          r.compare(0, 3, "550") == 0) {
        return QVMDL_ERR_SMTP_AUTH;
      }
      if (r.find("250 ") == std::string::npos && r.find("250\r\n") == std::string::npos) {
        keepReading_ = true;
        continue;
      }
      keepReading_ = false;
      if (r.find("250-STARTTLS") == std::string::npos && r.find("250 STARTTLS") == std::string::npos) return 0;
      state_ = 28;
      sent = sendData("STARTTLS\r\n");
    } else {
      if (!responseCheck()) {
        NKDbgPrintfW(L"status ResTls ERROR!!\r\n");
        return QVMDL_ERR_SMTP_AUTH;
      }
      state_ = 29;
      return smtp_tls();
    }
    if (sent < 0) return QVMDL_ERR_SMTP_SOCKET;
  }
}

// The deferred handshake. A failed one leaves the socket unusable and ends
// the session: the mail never goes out in plain text after a STARTTLS.
int SmtpClient::smtp_tls() {
  const int ret = socket_->Handshake(smtpServer_);
  log_->write_free("[TLS 3]SmtpClient called WSAIoctl() for HANDSHAKE (ret:[%d])\r\n", ret);
  if (cancel_) return QVMDL_ERR_SMTP_CANCELLED;
  return ret == 0 ? 0 : static_cast<int>(QVMDL_ERR_SMTP_AUTH);
}

int SmtpClient::sendData(const char* text) {
  const int length = static_cast<int>(std::strlen(text));
  const int sent = socket_->SendAll(text, length);
  log_->write_free("-[OUT(%02d)]", length);
  log_->write(text, static_cast<unsigned>(length));
  return sent;
}

// The message text, in chunks of at most 32 KiB, each sent by a worker.
int SmtpClient::sendData() {
  const char* pos = text_ ? text_->data() : nullptr;
  size_t left = text_ ? text_->size() : 0;
  while (left > 0) {
    if (cancel_) return QVMDL_ERR_SMTP_CANCELLED;
    const int length = static_cast<int>(std::min<size_t>(left, kChunk));
    if (const int r = sendExecThread(pos, length)) return r;
    const int n = sentBytes_;
    pos += n;
    left -= static_cast<size_t>(n);
  }
  return 0;
}

int SmtpClient::sendExecThread(const char* data, int length) {
  sendPos_ = data;
  sendLength_ = length;
  sentBytes_ = 0;
  sendFailed_ = false;
  HANDLE thread = CreateThread(nullptr, 0, sendThread, this, 0, nullptr);
  if (!thread) return QVMDL_ERR_SMTP_NO_THREAD;
  const WaitEnd end = waitWorker(thread, true);
  if (end != WaitEnd::Done) socket_->Release();  // wakes the send
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  switch (end) {
    case WaitEnd::Done:
      return sendFailed_ ? static_cast<int>(QVMDL_ERR_SMTP_SOCKET) : 0;
    case WaitEnd::Cancelled:
      return QVMDL_ERR_SMTP_CANCELLED;
    case WaitEnd::LinkLost:
      return QVMDL_ERR_NET_LINK_LOST;
    case WaitEnd::TimedOut:
      return QVMDL_ERR_SMTP_TIMEOUT;
  }
  return QVMDL_ERR_SMTP_NO_THREAD;
}

DWORD SmtpClient::sendThread(void* self) {
  auto* client = static_cast<SmtpClient*>(self);
  const int n = client->socket_->SendSome(client->sendPos_, client->sendLength_);
  if (n <= 0) {
    client->sendFailed_ = true;
    return 1;
  }
  client->sentBytes_ = n;
  return 0;
}

DWORD SmtpClient::recvThread(void* self) { return static_cast<SmtpClient*>(self)->receiveReply(); }

// Reads until the reply's last line is there, the peer closes, or the reply
// passes kMaxReply.
DWORD SmtpClient::receiveReply() {
  char chunk[8192];
  size_t scanned = 0;
  for (;;) {
    if (workerStop_) return 0;
    const int ready = socket_->WaitReadable(kSliceMicroseconds);
    if (ready < 0) {
      recvError_ = QVMDL_ERR_SMTP_SOCKET;
      return 1;
    }
    if (ready == 0) continue;
    const int n = socket_->Receive(chunk, sizeof chunk);
    if (n < 0) {
      recvError_ = QVMDL_ERR_SMTP_SOCKET;
      return 1;
    }
    if (n == 0) {
      if (state_ == 9 || state_ == 24) return 0;
      NKDbgPrintfW(L"!! Socket is closed !!\r\n");
      recvError_ = QVMDL_ERR_SMTP_SOCKET;
      return 1;
    }
    if (reply_.size() + static_cast<size_t>(n) > smtp::kMaxReply) {
      replyOverflow_ = true;
      return 1;
    }
    reply_.append(chunk, static_cast<size_t>(n));
    if (smtp::ReplyComplete(reply_, &scanned)) return 0;
  }
}

int SmtpClient::recvData() {
  if (!keepReading_) reply_.clear();
  recvError_ = 0;
  replyOverflow_ = false;
  workerStop_ = false;
  HANDLE thread = CreateThread(nullptr, 0, recvThread, this, 0, nullptr);
  if (!thread) return QVMDL_ERR_SMTP_NO_THREAD;
  const WaitEnd end = waitWorker(thread, true);
  // The worker never outlives the wait: it sees its stop flag within a slice.
  workerStop_ = true;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  switch (end) {
    case WaitEnd::Done:
      break;
    case WaitEnd::Cancelled:
      return QVMDL_ERR_SMTP_CANCELLED;
    case WaitEnd::LinkLost: {
      static const char kLost[] = "*** diconnect RAS Connection ***\r\n";
      log_->write(kLost, sizeof kLost - 1);
      return QVMDL_ERR_NET_LINK_LOST;
    }
    case WaitEnd::TimedOut:
      NKDbgPrintfW(L" - Thread timeout\r\n");
      return QVMDL_ERR_SMTP_TIMEOUT;
  }
  if (replyOverflow_) return QVMDL_ERR_SMTP_UNEXPECTED;
  return recvError_;
}

// The goodbye after "QUIT", read on the calling thread with a short bound.
int SmtpClient::recvData(char* buffer, int size) {
  if (size <= 0) return SOCKET_ERROR;
  const long wait = static_cast<long>(qv::NetworkWaitStep() * kQuitSteps) * 1000;
  if (socket_->WaitReadable(wait) <= 0) return SOCKET_ERROR;
  const int n = socket_->Receive(buffer, size);
  if (n > 0) {
    log_->write_free("-[IN (%02d)]", n);
    log_->write(buffer, static_cast<unsigned>(n));
  }
  return n;
}
