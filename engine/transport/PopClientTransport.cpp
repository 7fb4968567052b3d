// The transport half of PopClient: socket and TLS, the connect and receive
// workers with POP3's wait rules (SessionWorker runs them), the receive loop
// and the memory check.
#include <algorithm>
#include <cstring>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/transport/PopClient.h"
#include "engine/transport/PopReply.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Memory.h"
#include "platform/kernel/Sync.h"
#include "platform/net/NetworkWait.h"

namespace {

// What the workers come to, as POP3 reports it.
constexpr EngineCodes kCodes = {QVMDL_ERR_POP_NO_THREAD,  QVMDL_ERR_POP_CONNECT,   QVMDL_ERR_POP_SOCKET,
                                QVMDL_ERR_POP_UNEXPECTED, QVMDL_ERR_POP_CANCELLED, QVMDL_ERR_POP_ABORTED,
                                QVMDL_ERR_POP_TIMEOUT};

// "UIDL" / "LIST" / "CAPA" answers are read as they come: a piece ends at
// kListPiece bytes, and what is not yet a whole line may not pass kListLimit.
constexpr size_t kListLimit = 1u << 20;
constexpr size_t kListPiece = 256u << 10;
constexpr size_t kMessageLimit = 64u << 20;  // any one "RETR" / "TOP" answer
constexpr size_t kMessageSlack = 64u << 10;
constexpr size_t kMemoryFloor = 307200;
constexpr uint32_t kMaxWholeSize = 0x300000;
// Once a status line is there, a pause this long ends a piece of the answer.
constexpr long kPauseMicroseconds = 100000;
// How long and how often the session's thread itself waits for an answer
// while it holds what others wait for (holdsForServer).
constexpr long kBriefMicroseconds = 5000;
constexpr int kBriefWaits = 8;

}  // namespace

void PopClient::cancel() {
  NKDbgPrintfW(L"PopClient::cancel()\r\n");
  cancel_ = true;
  worker_.Wake();
}

void PopClient::abort() {
  NKDbgPrintfW(L"PopClient::abort()\r\n");
  abort_ = true;
  state_ = PopState::Idle;
  // Closing wakes every blocked socket call at once; the session's thread
  // joins its worker and releases the network library itself.
  socket_.Release();
  worker_.Wake();
}

PopClient::PopClient() = default;

PopClient::~PopClient() { closeSocket(); }

void PopClient::closeSocket() { socket_.Close(); }

uint32_t PopClient::startRecv() {
  NKDbgPrintfW(L"*****PopClient::startRecv()***** \r\n");
  // A secure socket that cannot be made is a failure: falling back to plain
  // text would send the password in the clear. Port 110 gets one whose
  // handshake waits for "STLS".
  if (!socket_.Open(true, host_, !ssl_)) {
    errorHandling(QVMDL_ERR_POP_NO_NETWORK);
    return QVMDL_ERR_POP_NO_NETWORK;
  }
  if (const uint32_t r = connectServer(host_.c_str(), static_cast<int>(port_))) return r;
  connected_ = true;
  const uint32_t r = recvExec();
  if (r) closeSocket();
  return r;
}

uint32_t PopClient::connectServer(const char* host, int port) {
  const uint32_t r = worker_.Connect(host, port, waitRules(false), kCodes);
  if (r == QVMDL_ERR_POP_CANCELLED) cancel_ = false;  // spent on this session
  if (r) {
    closeSocket();
    errorHandling(r);
  }
  return r;
}

// STLS's handshake, on the worker under the connect's rules: a cancel or an
// abort ends it at once, and a peer that stalls it meets the wait steps. 0,
// QVMDL_ERR_POP_NO_NETWORK when it failed (the socket is unusable then), or
// the cancel's or abort's code.
uint32_t PopClient::handshake() {
  int ret = -1;
  const SessionWorker::Work shake = [this, &ret] {
    ret = socket_.Handshake(host_);
    return ret == 0 ? NetResult::Ok : NetResult::SocketError;
  };
  uint32_t r = worker_.Send(shake, waitRules(false), kCodes);
  log_.write_free("[TLS] PopClient STLS handshake (ret:[%d])\r\n", ret);
  if (r == QVMDL_ERR_POP_CANCELLED) cancel_ = false;  // spent on this session
  if (r && r != QVMDL_ERR_POP_CANCELLED && r != QVMDL_ERR_POP_ABORTED) r = QVMDL_ERR_POP_NO_NETWORK;
  return r;
}

// POP3's rules for a worker wait. Abort ends it at once; so does a cancel
// while connecting, and one while logging in cuts the wait short (the receive
// loop then says "QUIT"). Later, a cancel gives the answer in flight up at
// once, a message too (a peer trickling it would never let it end): the
// session ends unheard. Only the answer to "QUIT" is still waited for. While
// receiving, each step also asks the data connection's status.
SessionWorker::Rules PopClient::waitRules(bool receiving) {
  return [this, receiving](WaitWake wake) -> std::optional<NetResult> {
    if (wake == WaitWake::WorkerDone) return NetResult::Ok;  // before a cancel or abort that came meanwhile
    if (abort_) return NetResult::Aborted;
    if (!receiving) {
      if (cancel_) return NetResult::Cancelled;
      return std::nullopt;
    }
    if (wake == WaitWake::StepEnded && SessionWorker::LinkDown(connection_)) return NetResult::LinkLost;
    if (cancel_ && state_ != PopState::QuitAnswer) {
      return IsLogin(state_) ? NetResult::Interrupted : NetResult::Cancelled;
    }
    return std::nullopt;
  };
}

bool PopClient::sendData(const char* text) {
  const int length = static_cast<int>(std::strlen(text));
  // What comes back decides how the worker reads it.
  if (std::strcmp(text, "UIDL\r\n") == 0 || std::strcmp(text, "LIST\r\n") == 0 ||
      std::strcmp(text, "CAPA\r\n") == 0) {
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
  const bool sent = socket_.SendAll(text, length);
  log_.write_free("-[OUT(%02d)]", length);
  log_.write(text, static_cast<unsigned>(length));
  return sent;
}

// One piece of a reply, on the worker: reads until the reply is whole, or
// until the server pauses 100 ms after the piece's first byte (`sawByte`:
// read already) once a status line is there, or until the reply passes its
// limit.
NetResult PopClient::receivePiece(bool sawByte) {
  char chunk[8192];
  for (;;) {
    if (worker_.Stopping()) return NetResult::Ok;
    if (pastDeadline()) return NetResult::TimedOut;
    const bool lineThere = pop::FirstLineEnd(buffer_) != std::string::npos;
    const bool timed = sawByte && lineThere;
    const int ready = socket_.WaitReadable(timed ? kPauseMicroseconds : SessionWorker::kSliceMicroseconds);
    if (ready < 0) {
      NKDbgPrintfW(L"*** socket Error is Occuered\r\n");
      return NetResult::SocketError;
    }
    if (ready == 0) {
      if (timed) return NetResult::Ok;
      continue;
    }
    const int n = socket_.Receive(chunk, sizeof chunk);
    if (n < 0) {
      NKDbgPrintfW(L"*** socket Error is Occuered\r\n");
      return NetResult::SocketError;
    }
    if (n == 0) {
      // The server may close once it answered "QUIT", never before.
      if (state_ < PopState::QuitAnswer) {
        NKDbgPrintfW(L"!! Socket is closed !!\r\n");
        return NetResult::SocketError;
      }
      return NetResult::Ok;
    }
    sawByte = true;
    if (const std::optional<NetResult> end = take(chunk, n)) return *end;
  }
}

// Takes `n` bytes into the reply: Overflow past its limit, Ok once it is
// whole, nothing while more is due. Its end is looked for only around what
// came now, so a long answer is not searched again from its start.
// A list's piece ends at kListPiece bytes, for its lines to be taken out.
// TimedOut when the reply's deadline passed before it was whole.
std::optional<NetResult> PopClient::take(const char* chunk, int n) {
  if (buffer_.size() + static_cast<size_t>(n) > replyLimit_) return NetResult::Overflow;
  if (!replyStarted_) {
    replyStarted_ = true;
    replyStart_ = GetTickCount();
  }
  const size_t before = buffer_.size();
  buffer_.append(chunk, static_cast<size_t>(n));
  progress_ += static_cast<uint64_t>(n);
  replyBytes_ += static_cast<uint64_t>(n);
  if (pop::FirstLineEnd(buffer_) != std::string::npos) {
    if (reply_ == Reply::Line || buffer_[0] != '+') return NetResult::Ok;
    if (pop::ListEnd(buffer_, before >= 4 ? before - 4 : 0) != std::string::npos) return NetResult::Ok;
    if (reply_ == Reply::List && buffer_.size() >= kListPiece) return NetResult::Ok;
  }
  if (pastDeadline()) return NetResult::TimedOut;
  return std::nullopt;
}

// Whether the reply in hand is past its deadline: counted from its first
// byte, by the size announced for it or its bytes so far, whichever is more.
bool PopClient::pastDeadline() const {
  if (!replyStarted_) return false;
  const uint64_t elapsed = static_cast<DWORD>(GetTickCount() - replyStart_);
  return elapsed > qv::ReplyDeadline(std::max(replyAnnounced_, replyBytes_));
}

// What of a reply is in the socket already, on the session's thread: Ok once
// the reply is whole, Interrupted when the rest is still on its way (the
// worker then reads it), Overflow past the reply's limit. `sawByte` tells
// whether any byte came.
NetResult PopClient::receiveWaiting(bool* sawByte) {
  char chunk[8192];
  *sawByte = false;
  while (!cancel_ && !abort_) {
    const int n = socket_.ReceiveWaiting(chunk, sizeof chunk);
    if (n <= 0) break;
    *sawByte = true;
    if (const std::optional<NetResult> end = take(chunk, n)) return *end;
  }
  return NetResult::Interrupted;
}

// Where the reply in the buffer ends, or npos while it is not whole.
size_t PopClient::replyEnd() const {
  const size_t eol = pop::FirstLineEnd(buffer_);
  if (eol == std::string::npos) return eol;
  if (reply_ == Reply::Line || buffer_[0] != '+') return eol + 1;
  const size_t end = pop::ListEnd(buffer_);
  return end == std::string::npos ? end : end + 5;
}

uint32_t PopClient::recvData() {
  // Pipelined replies follow each other without a pause: what came after
  // the reply in hand is the start of the next one.
  const auto keepRest = [this] {
    if (!pipelining_) return;
    const size_t end = replyEnd();
    if (end != std::string::npos && end < buffer_.size()) {
      carry_.assign(buffer_, end, std::string::npos);
      buffer_.resize(end);
    }
  };
  if (!continues_) {
    buffer_.clear();
    // A new reply: its deadline starts with its first byte.
    replyStarted_ = !carry_.empty();
    replyStart_ = GetTickCount();
    replyBytes_ = carry_.size();
    replyAnnounced_ = reply_ == Reply::Message ? currentSize_ : 0;
    if (reply_ == Reply::Message) {
      const size_t want = std::min<size_t>(size_t{currentSize_} + 1024, replyLimit_);
      NKDbgPrintfW(L"*PopClient::recvData() reserve[%d]\r\n", static_cast<int>(want));
      buffer_.reserve(want);
    }
    buffer_.append(carry_);
    carry_.clear();
    if (replyEnd() != std::string::npos) {
      keepRest();
      return 0;
    }
  }
  // Most answers are in the socket by now (a fetch goes out with the one
  // before it): those are read here, since handing a read to the worker and
  // back costs two thread switches.
  bool sawByte = false;
  NetResult waiting = receiveWaiting(&sawByte);
  // While the session holds what others wait for (the store, as it files
  // message after message), an answer a moment away is taken here rather
  // than let go of that hold for it.
  for (int brief = 0; waiting == NetResult::Interrupted && brief < kBriefWaits && !cancel_ && !abort_ &&
                      holdsForServer();
       ++brief) {
    const int ready = socket_.WaitReadable(kBriefMicroseconds);
    if (ready < 0) break;
    if (ready == 0) continue;
    bool more = false;
    waiting = receiveWaiting(&more);
    sawByte = sawByte || more;
  }
  if (waiting == NetResult::Ok) {
    keepRest();
    return 0;
  }
  if (waiting == NetResult::Overflow) return kCodes.unexpected;
  if (waiting == NetResult::TimedOut) return kCodes.timeout;
  beforeServerWait();
  // The worker is never left behind: it sees its stop flag within a slice
  // (or wakes at once when abort closed the socket).
  const uint32_t r = worker_.Read([this, sawByte] { return receivePiece(sawByte); }, waitRules(true), kCodes);
  if (r == 0) keepRest();
  return r;
}

void PopClient::errorHandling(uint32_t code) {
  connected_ = false;
  lastError_ = code;
  if (code != QVMDL_ERR_POP_CANCELLED) closeSocket();
  notify(MSG_PopErrorOccured, static_cast<long>(code), 0);
}

// Cancelled while the server stopped sending: say goodbye unheard.
uint32_t PopClient::cancelUnheard() {
  sendQuit();
  cancel_ = false;
  endReason_ = EndReason::Cancelled;
  errorHandling(QVMDL_ERR_POP_CANCELLED);
  closeSocket();
  state_ = PopState::Idle;
  mode_ = PopMode::Receive;
  notify(MSG_PopCanceled, 0, 0);
  return QVMDL_ERR_POP_CANCELLED;
}

// The receive loop: one answer (or piece of one) per round, handed to the
// state handlers, until the session is idle or ends with a code.
uint32_t PopClient::recvExec() {
  uint32_t pending = 0;
  for (;;) {
    if (!continues_) buffer_.clear();
    if (state_ == PopState::Idle) return 0;
    if (abort_) return QVMDL_ERR_POP_ABORTED;
    if (pending) {
      errorHandling(pending);
      return pending;
    }
    if (expecting_) {
      if (const std::optional<uint32_t> end = readAnswer()) return *end;
    }
    if (const std::optional<uint32_t> end = takeCancel()) return *end;
    pending = incomingData();
    if (!continues_) buffer_.clear();
  }
}

// The answer the state waits for (or its next piece), logged and checked:
// the code the session ends with, or nothing to go on.
std::optional<uint32_t> PopClient::readAnswer() {
  if (cancel_ && !IsLogin(state_) && state_ != PopState::QuitAnswer &&
      (continues_ || state_ == PopState::FetchStatus || state_ == PopState::FetchBody)) {
    // A cancel while an answer or a message is on its way: it is dropped
    // as it stands, and the message stays on the server.
    return cancelUnheard();
  }
  const bool firstPiece = !continues_;
  const uint32_t r = recvData();
  if (firstPiece) {
    log_.write_free("-[IN (%02d)]", static_cast<int>(buffer_.size()));
    log_.write(buffer_.data(), static_cast<unsigned>(buffer_.size()));
  }
  if (abort_) return QVMDL_ERR_POP_ABORTED;
  // A cancel gave the answer up. (One that cut a login's wait short comes
  // back as no code and is handled by takeCancel.)
  if (r == QVMDL_ERR_POP_CANCELLED) return cancelUnheard();
  if (r) {
    errorHandling(r);
    return r;
  }
  // A "-ERR" to "UIDL" or to a header's "TOP" only changes the way.
  if (state_ != PopState::UidlAnswer && state_ != PopState::MadeUidHeader && state_ != PopState::CapaAnswer &&
      state_ != PopState::CapaFirst && state_ != PopState::CapaTls && state_ != PopState::DrainAhead && !cancel_ &&
      !responseOk()) {
    // C: (command)   S: -ERR ...   C: QUIT
    const uint32_t code = failureCode();
    sendQuit();
    errorHandling(code);
    return code;
  }
  return std::nullopt;
}

// A cancel between answers: during the login the session ends at once
// ("QUIT" goes out unheard); later "QUIT" is the next command, and the
// session ends with its answer.
std::optional<uint32_t> PopClient::takeCancel() {
  const PopState state = state_;
  if (!cancel_ || continues_ || state == PopState::FetchStatus || state == PopState::FetchBody ||
      state == PopState::QuitAnswer || state == PopState::Idle) {
    return std::nullopt;
  }
  expecting_ = false;
  endReason_ = EndReason::Cancelled;
  if (IsLogin(state)) {
    sendQuit();
    cancel_ = false;  // spent on this session
    errorHandling(QVMDL_ERR_POP_CANCELLED);
    return QVMDL_ERR_POP_CANCELLED;
  }
  state_ = PopState::Quit;
  cancel_ = false;
  errorHandling(QVMDL_ERR_POP_CANCELLED);
  return std::nullopt;
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
  if ((mode_ == PopMode::Receive || mode_ == PopMode::Select) && currentSize_ > kMaxWholeSize) headerOnly_ = true;
  return true;
}
