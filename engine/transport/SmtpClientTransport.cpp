// The transport half of SmtpClient: socket and TLS (implicit and STARTTLS's
// handshake), the connect, send and receive workers with SMTP's wait rules
// (SessionWorker runs them), and the protocol log of what came in.
#include <algorithm>
#include <cstring>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/transport/SmtpClient.h"
#include "engine/transport/PopBeforeSmtp.h"
#include "engine/transport/SmtpReply.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Sync.h"
#include "platform/net/NetworkWait.h"

namespace {

// What the workers come to, as SMTP reports it (it has no abort of its own).
constexpr EngineCodes kCodes = {QVMDL_ERR_SMTP_NO_THREAD,  QVMDL_ERR_SMTP_CONNECT,   QVMDL_ERR_SMTP_SOCKET,
                                QVMDL_ERR_SMTP_UNEXPECTED, QVMDL_ERR_SMTP_CANCELLED, QVMDL_ERR_SMTP_CANCELLED,
                                QVMDL_ERR_SMTP_TIMEOUT};

constexpr size_t kChunk = 32768;
// The goodbye after "QUIT" is read directly, for at most this many wait steps.
constexpr DWORD kQuitSteps = 10;

}  // namespace

void SmtpClient::cancel() {
  NKDbgPrintfW(L"SmtpClient::cancel()\r\n");
  if (state_ == SmtpState::Accepted) {
    // The message in hand is finished; no further one goes out, and the
    // caller still ends with quit().
    NKDbgPrintfW(L"SmtpClient::cancel() status is Next & retrun \r\n");
    idleCancel_ = true;
    return;
  }
  cancel_ = true;
  popLogin_->Cancel();
  closeSocket();
  worker_.Wake();
}

SmtpClient::SmtpClient() : popLogin_(std::make_unique<PopBeforeSmtp>()) {}

SmtpClient::~SmtpClient() { closeSocket(); }

void SmtpClient::closeSocket() { socket_.Close(); }

// A secure socket that cannot be made is a failure: going on in plain text
// would send the password and the mail in the clear.
uint32_t SmtpClient::openSocket(bool secure) {
  if (socket_.Open(secure, smtpServer_, secure && tls_ != Tls::Implicit)) return 0;
  return QVMDL_ERR_SMTP_NO_NETWORK;
}

uint32_t SmtpClient::connectServer(const char* host, int port) {
  const uint32_t r = worker_.Connect(host, port, waitRules(false), kCodes);
  if (r) closeSocket();
  return r;
}

// SMTP's rules for a worker wait: a cancel ends it at once, even when the
// worker has just finished. With `watchLink` each step also asks the data
// connection's state.
SessionWorker::Rules SmtpClient::waitRules(bool watchLink) {
  return [this, watchLink](WaitWake wake) -> std::optional<NetResult> {
    if (cancel_) return NetResult::Cancelled;
    if (wake == WaitWake::StepEnded && watchLink && SessionWorker::LinkDown(connection_)) return NetResult::LinkLost;
    return std::nullopt;
  };
}

// The deferred handshake, on the worker under SMTP's wait rules: a cancel
// ends it at once, and a peer that stalls it meets the wait's deadline (the
// socket is closed to wake it). A failed one leaves the socket unusable and
// ends the session: the mail never goes out in plain text after a STARTTLS.
uint32_t SmtpClient::smtp_tls() {
  int ret = -1;
  const SessionWorker::Work shake = [this, &ret] {
    ret = socket_.Handshake(smtpServer_);
    return ret == 0 ? NetResult::Ok : NetResult::SocketError;
  };
  const uint32_t r = worker_.Send(shake, waitRules(true), kCodes);
  log_.write_free("[TLS 3]SmtpClient called WSAIoctl() for HANDSHAKE (ret:[%d])\r\n", ret);
  if (cancel_) return QVMDL_ERR_SMTP_CANCELLED;
  if (r == QVMDL_ERR_SMTP_SOCKET) return QVMDL_ERR_SMTP_AUTH;  // the handshake itself failed
  return r;
}

bool SmtpClient::sendData(const char* text) {
  const int length = static_cast<int>(std::strlen(text));
  const bool sent = socket_.SendAll(text, length);
  log_.write_free("-[OUT(%02d)]", length);
  log_.write(text, static_cast<unsigned>(length));
  return sent;
}

// The message text and the end of data, in chunks of at most 32 KiB, each
// sent by a worker. The last piece of text and the end of data go out as one
// write: sent apart, the small end would wait for the server's delayed ACK.
uint32_t SmtpClient::sendData() {
  const std::string_view text = text_ ? std::string_view(*text_) : std::string_view();
  const std::string_view end = smtp::EndOfData(text);
  const size_t bulk = text.size() > kChunk ? text.size() - kChunk : 0;
  std::string tail(text.substr(bulk));
  tail.append(end);
  for (const std::string_view piece : {text.substr(0, bulk), std::string_view(tail)}) {
    const char* pos = piece.data();
    size_t left = piece.size();
    while (left > 0) {
      if (cancel_) return QVMDL_ERR_SMTP_CANCELLED;
      const int length = static_cast<int>(std::min<size_t>(left, kChunk));
      int sent = 0;  // read once the worker is joined
      const SessionWorker::Work send = [this, pos, length, &sent] {
        sent = socket_.SendSome(pos, length);
        return sent < 0 ? NetResult::SocketError : NetResult::Ok;
      };
      if (const uint32_t r = worker_.Send(send, waitRules(true), kCodes)) return r;
      pos += sent;
      left -= static_cast<size_t>(sent);
    }
  }
  log_.write_free("-[OUT(%02d)]", static_cast<int>(end.size()));
  log_.write(end.data(), static_cast<unsigned>(end.size()));
  return 0;
}

// Reads until the reply's last line is there, the peer closes, the reply
// passes kMaxReply, or its deadline (from its first byte) passes: a peer
// that trickles a reply byte by byte is not waited for (on the worker).
NetResult SmtpClient::receiveReply() {
  char chunk[8192];
  size_t scanned = 0;
  DWORD firstByte = 0;
  bool started = !reply_.empty();
  if (started) firstByte = GetTickCount();
  for (;;) {
    if (worker_.Stopping()) return NetResult::Ok;
    if (started && GetTickCount() - firstByte > qv::ReplyDeadline(reply_.size())) {
      NKDbgPrintfW(L"!! reply deadline passed !!\r\n");
      return NetResult::TimedOut;
    }
    const int ready = socket_.WaitReadable(SessionWorker::kSliceMicroseconds);
    if (ready < 0) return NetResult::SocketError;
    if (ready == 0) continue;
    if (!started) {
      started = true;
      firstByte = GetTickCount();
    }
    const int n = socket_.Receive(chunk, sizeof chunk);
    if (n < 0) return NetResult::SocketError;
    if (n == 0) {
      // Only a goodbye may end with the close.
      if (state_ == SmtpState::Closed) return NetResult::Ok;
      NKDbgPrintfW(L"!! Socket is closed !!\r\n");
      return NetResult::SocketError;
    }
    if (reply_.size() + static_cast<size_t>(n) > smtp::kMaxReply) return NetResult::Overflow;
    reply_.append(chunk, static_cast<size_t>(n));
    if (smtp::ReplyComplete(reply_, &scanned)) return NetResult::Ok;
  }
}

uint32_t SmtpClient::recvData() {
  if (!keepReading_) reply_.clear();
  // The worker never outlives the wait: it sees its stop flag within a slice.
  return worker_.Read([this] { return receiveReply(); }, waitRules(true), kCodes);
}

// The goodbye after "QUIT", read on the calling thread with a short bound
// and only logged: S: 221 Bye
void SmtpClient::readGoodbye() {
  char buffer[1024];
  const long wait = static_cast<long>(qv::NetworkWaitStep() * kQuitSteps) * 1000;
  if (socket_.WaitReadable(wait) <= 0) return;
  const int n = socket_.Receive(buffer, sizeof buffer);
  if (n > 0) {
    log_.write_free("-[IN (%02d)]", n);
    log_.write(buffer, static_cast<unsigned>(n));
  }
}

// What the last read added to the reply, from `from` on.
void SmtpClient::logReceived(size_t from) {
  log_.write_free("-[IN (%02d)]", static_cast<int>(reply_.size() - from));
  log_.write(reply_.data() + from, static_cast<unsigned>(reply_.size() - from));
}
