// Host side of the sockets: non-blocking descriptors, every wait a poll on the
// descriptor and the socket's wake event, so that a close from another thread
// ends it at once.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>

#include "platform/net/SocketCore.h"
#include "platform/net/TlsChannel.h"
#include "platform/net/WinsockErrors.h"
#include "platform/net/NetSeam.h"

namespace qv::net {
namespace {

// Connect and handshake never wait longer than this unless SO_RCVTIMEO says less.
constexpr uint32_t kConnectTimeoutMs = 60000;

int PollMs(Deadline deadline) {
  if (deadline == kNoDeadline) return -1;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return 0;
  return static_cast<int>(std::min<long long>(left, INT_MAX));
}

// A call asked to wait without limit still ends, well after the protocol
// clients' own whole wait (twice its steps) has given up on it.
Deadline Ceiling() {
  const uint64_t ms = 2ull * net_seam::NetworkWaitStep() * net_seam::NetworkWaitSteps();
  return Clock::now() + std::chrono::milliseconds(ms);
}

Deadline OperationDeadline(uint32_t timeoutMs) { return timeoutMs ? DeadlineAfter(timeoutMs) : Ceiling(); }

}  // namespace

Deadline DeadlineAfter(uint32_t milliseconds) { return Clock::now() + std::chrono::milliseconds(milliseconds); }

int WsaErrorFromErrno(int error) {
  switch (error) {
    case EINTR: return WSAEINTR;
    case EBADF: return WSAENOTSOCK;
    case EACCES: case EPERM: return WSAEACCES;
    case EFAULT: return WSAEFAULT;
    case EINVAL: return WSAEINVAL;
    case EMFILE: case ENFILE: return WSAEMFILE;
    case EAGAIN: return WSAEWOULDBLOCK;
    case EINPROGRESS: return WSAEINPROGRESS;
    case EALREADY: return WSAEALREADY;
    case ENOTSOCK: return WSAENOTSOCK;
    case EMSGSIZE: return WSAEMSGSIZE;
    case ENOPROTOOPT: return WSAENOPROTOOPT;
    case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
    case EOPNOTSUPP: return WSAEOPNOTSUPP;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ENETRESET: return WSAENETRESET;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET: case EPIPE: return WSAECONNRESET;
    case ENOBUFS: case ENOMEM: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case ESHUTDOWN: return WSAESHUTDOWN;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case EHOSTDOWN: return WSAEHOSTDOWN;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    default: return WSAENETDOWN;
  }
}

Socket::Socket(int fd, int wake) : fd_(fd), wake_(wake) {}

Socket::~Socket() {
  tls_.reset();
  ::close(fd_);
  ::close(wake_);
}

int Socket::Create(std::shared_ptr<Socket>* out) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) return WsaErrorFromErrno(errno);
  const int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake < 0) {
    const int e = errno;
    ::close(fd);
    return WsaErrorFromErrno(e);
  }
  out->reset(new Socket(fd, wake));
  return 0;
}

void Socket::Cancel() {
  if (cancelled_.exchange(true)) return;
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
  // Ends the connection now (the peer sees it, blocked calls return); the
  // descriptor itself closes when the last call using it has left.
  ::shutdown(fd_, SHUT_RDWR);
}

int Socket::WaitIo(bool forWrite, Deadline deadline) {
  for (;;) {
    if (cancelled_) return WSAEINTR;
    pollfd p[2] = {{fd_, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0}, {wake_, POLLIN, 0}};
    const int r = ::poll(p, 2, PollMs(deadline));
    if (cancelled_) return WSAEINTR;
    if (r < 0) {
      if (errno == EINTR) continue;
      return WsaErrorFromErrno(errno);
    }
    if (r == 0) return WSAETIMEDOUT;
    if (p[0].revents) return 0;
  }
}

int Socket::FinishConnect(Deadline deadline) {
  const int w = WaitIo(true, deadline);
  if (w) return w;
  int error = 0;
  socklen_t len = sizeof error;
  if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) < 0) return WsaErrorFromErrno(errno);
  if (cancelled_) return WSAEINTR;
  return error ? WsaErrorFromErrno(error) : 0;
}

int Socket::Connect(uint32_t address, uint16_t port, const std::string& peerName) {
  {
    std::lock_guard<std::mutex> g(lock_);
    if (state_ == State::Connected) return WSAEISCONN;
    if (state_ == State::Connecting) return WSAEALREADY;
    if (state_ == State::Broken) return WSAEINVAL;
    connectPeerName_ = peerName;
  }
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(address);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) < 0 && errno != EINPROGRESS) {
    return WsaErrorFromErrno(errno);
  }
  const bool implicitTls = secure_ && !deferred_;
  if (nonBlocking_ && !implicitTls) {
    std::lock_guard<std::mutex> g(lock_);
    state_ = State::Connecting;
    return WSAEWOULDBLOCK;
  }
  const uint32_t limit = receiveTimeoutMs_ ? std::min(receiveTimeoutMs_.load(), kConnectTimeoutMs) : kConnectTimeoutMs;
  const int c = FinishConnect(DeadlineAfter(limit));
  if (c) return c;
  {
    std::lock_guard<std::mutex> g(lock_);
    state_ = State::Connected;
  }
  return implicitTls ? RunHandshake(peerName) : 0;
}

int Socket::Handshake(const std::string& peerName) {
  {
    std::lock_guard<std::mutex> g(lock_);
    if (state_ == State::Connecting) {
      // A non-blocking connect must be finished first.
      state_ = State::Broken;
      return WSAENOTCONN;
    }
    const bool ready = state_ == State::Connected && secure_ && !tls_;
    if (!ready) {
      // Asked for TLS and not getting it: nothing may go on in plain text.
      if (state_ == State::Connected) state_ = State::Broken;
      return state_ == State::Idle ? WSAENOTCONN : WSAECONNABORTED;
    }
  }
  // The server speaks only after our hello: bytes waiting now were injected
  // into the plain-text phase.
  if (ReadableNow()) {
    std::lock_guard<std::mutex> g(lock_);
    state_ = State::Broken;
    ::shutdown(fd_, SHUT_RDWR);
    return WSAECONNABORTED;
  }
  std::string name = peerName;
  if (name.empty()) {
    std::lock_guard<std::mutex> g(lock_);
    name = connectPeerName_;
  }
  return RunHandshake(name);
}

bool Socket::ReadableNow() {
  pollfd p = {fd_, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR));
}

int Socket::RunHandshake(const std::string& peerName) {
  std::unique_lock<std::mutex> g(lock_);
  tls_ = std::make_unique<TlsChannel>(fd_, peerName, hook_, hookArgument_);
  int result = tls_->Ready() ? 0 : WSAENOBUFS;
  const uint32_t limit = receiveTimeoutMs_ ? std::min(receiveTimeoutMs_.load(), kConnectTimeoutMs) : kConnectTimeoutMs;
  const Deadline deadline = DeadlineAfter(limit);
  while (result == 0) {
    if (cancelled_) {
      result = WSAEINTR;
      break;
    }
    // The hook may ask the user; the lock stays held so no other call sees a
    // half-made session, but a close still wakes every waiter.
    const TlsChannel::Step step = tls_->Handshake();
    if (step == TlsChannel::Step::Done) {
      tlsReady_ = true;
      break;
    }
    if (step != TlsChannel::Step::WantRead && step != TlsChannel::Step::WantWrite) {
      // A close from another thread shows here as the connection's end.
      result = cancelled_ ? WSAEINTR : WSAECONNABORTED;
      break;
    }
    g.unlock();
    result = WaitIo(step == TlsChannel::Step::WantWrite, deadline);
    g.lock();
  }
  if (result) {
    state_ = State::Broken;
    ::shutdown(fd_, SHUT_RDWR);
  }
  return result;
}

int Socket::Send(const char* data, int length, int* sent) {
  *sent = 0;
  const Deadline deadline = OperationDeadline(sendTimeoutMs_);
  std::unique_lock<std::mutex> g(lock_);
  while (*sent < length || length == 0) {
    if (cancelled_) return WSAEINTR;
    if (state_ == State::Broken) return WSAECONNABORTED;
    if (state_ != State::Connected) return WSAENOTCONN;
    if (sendShut_) return WSAESHUTDOWN;
    if (tls_ && !tlsReady_) return WSAEINPROGRESS;
    if (length == 0) return 0;
    bool wantWrite = true;
    if (tls_) {
      int n = 0;
      const TlsChannel::Step step = tls_->Write(data + *sent, length - *sent, &n);
      if (step == TlsChannel::Step::Done) {
        *sent += n;
        continue;
      }
      if (step == TlsChannel::Step::Closed || step == TlsChannel::Step::Failed) {
        return cancelled_ ? WSAEINTR : WSAECONNRESET;
      }
      wantWrite = step == TlsChannel::Step::WantWrite;
    } else {
      const ssize_t n = ::send(fd_, data + *sent, static_cast<size_t>(length - *sent), MSG_NOSIGNAL);
      if (n >= 0) {
        *sent += static_cast<int>(n);
        continue;
      }
      if (errno == EINTR) continue;
      if (errno != EAGAIN) return cancelled_ ? WSAEINTR : WsaErrorFromErrno(errno);
    }
    if (nonBlocking_) return *sent ? 0 : WSAEWOULDBLOCK;
    g.unlock();
    const int w = WaitIo(wantWrite, deadline);
    g.lock();
    if (w) return *sent && w == WSAETIMEDOUT ? 0 : w;
  }
  return 0;
}

int Socket::Recv(char* data, int length, bool peek, int* received) {
  *received = 0;
  const Deadline deadline = OperationDeadline(receiveTimeoutMs_);
  std::unique_lock<std::mutex> g(lock_);
  for (;;) {
    if (cancelled_) return WSAEINTR;
    if (state_ == State::Broken) return WSAECONNABORTED;
    if (state_ != State::Connected) return WSAENOTCONN;
    if (tls_ && !tlsReady_) return WSAEINPROGRESS;
    if (length == 0) return 0;
    bool wantWrite = false;
    if (tls_) {
      const TlsChannel::Step step = tls_->Read(data, length, peek, received);
      if (step == TlsChannel::Step::Done) return 0;
      if (cancelled_ && step != TlsChannel::Step::WantRead && step != TlsChannel::Step::WantWrite) return WSAEINTR;
      // A peer that closes without the TLS goodbye ends the stream like a
      // plain close: the protocol above judges whether its answer was whole.
      if (step == TlsChannel::Step::Closed) return 0;
      if (step == TlsChannel::Step::Failed) return WSAECONNRESET;
      wantWrite = step == TlsChannel::Step::WantWrite;
    } else {
      const ssize_t n = ::recv(fd_, data, static_cast<size_t>(length), peek ? MSG_PEEK : 0);
      if (n > 0) {
        *received = static_cast<int>(n);
        return 0;
      }
      // Our own close ends the stream too: report it as the cancel it is.
      if (cancelled_ && (n == 0 || errno != EAGAIN)) return WSAEINTR;
      if (n == 0) return 0;
      if (errno == EINTR) continue;
      if (errno != EAGAIN) return WsaErrorFromErrno(errno);
    }
    if (nonBlocking_) return WSAEWOULDBLOCK;
    g.unlock();
    const int w = WaitIo(wantWrite, deadline);
    g.lock();
    if (w) return w;
  }
}

int Socket::Shutdown(bool receive, bool send) {
  std::lock_guard<std::mutex> g(lock_);
  if (state_ != State::Connected) return WSAENOTCONN;
  if (send) {
    if (tls_) tls_->Close();
    sendShut_ = true;
  }
  const int how = receive && send ? SHUT_RDWR : (send ? SHUT_WR : SHUT_RD);
  if (::shutdown(fd_, how) < 0) return WsaErrorFromErrno(errno);
  return 0;
}

int Socket::SetNonBlocking(bool on) {
  nonBlocking_ = on;
  return 0;
}

int Socket::Available(uint32_t* bytes) {
  std::lock_guard<std::mutex> g(lock_);
  if (tls_) {
    // Only what is decrypted already counts; more may be on the wire.
    *bytes = tlsReady_ ? tls_->PendingBytes() : 0;
    return 0;
  }
  int n = 0;
  if (::ioctl(fd_, FIONREAD, &n) < 0) return WsaErrorFromErrno(errno);
  *bytes = static_cast<uint32_t>(n);
  return 0;
}

int Socket::SetSecure(bool on) {
  std::lock_guard<std::mutex> g(lock_);
  if (state_ != State::Idle) return WSAEISCONN;
  secure_ = on;
  return 0;
}

int Socket::SetTlsFlags(uint32_t flags) {
  std::lock_guard<std::mutex> g(lock_);
  if (state_ != State::Idle) return WSAEISCONN;
  deferred_ = (flags & 0x8) != 0;
  return 0;
}

int Socket::SetCertHook(CertHook hook, void* argument) {
  std::lock_guard<std::mutex> g(lock_);
  if (tls_) return WSAEISCONN;
  hook_ = hook;
  hookArgument_ = argument;
  return 0;
}

namespace {

// The host's level and name of an integer option (not Linger, which has a
// structure of its own).
void HostOption(Socket::Option option, int* level, int* name) {
  *level = SOL_SOCKET;
  switch (option) {
    case Socket::Option::KeepAlive: *name = SO_KEEPALIVE; break;
    case Socket::Option::ReuseAddress: *name = SO_REUSEADDR; break;
    case Socket::Option::SendBuffer: *name = SO_SNDBUF; break;
    case Socket::Option::ReceiveBuffer: *name = SO_RCVBUF; break;
    case Socket::Option::NoDelay: *level = IPPROTO_TCP; *name = TCP_NODELAY; break;
    case Socket::Option::Linger: *name = SO_LINGER; break;
  }
}

}  // namespace

int Socket::SetOption(Option option, int value, int lingerSeconds) {
  int r;
  if (option == Option::Linger) {
    ::linger l{value ? 1 : 0, lingerSeconds};
    r = ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  } else {
    int level = 0, name = 0;
    HostOption(option, &level, &name);
    r = ::setsockopt(fd_, level, name, &value, sizeof value);
  }
  return r < 0 ? WsaErrorFromErrno(errno) : 0;
}

int Socket::GetOption(Option option, int* value) {
  if (option == Option::Linger) {
    ::linger l{};
    socklen_t len = sizeof l;
    if (::getsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, &len) < 0) return WsaErrorFromErrno(errno);
    *value = l.l_onoff ? l.l_linger : -1;
    return 0;
  }
  int level = 0, name = 0;
  HostOption(option, &level, &name);
  socklen_t len = sizeof *value;
  return ::getsockopt(fd_, level, name, value, &len) < 0 ? WsaErrorFromErrno(errno) : 0;
}

int Socket::TakePendingError() {
  std::lock_guard<std::mutex> g(lock_);
  int error = pendingError_;
  pendingError_ = 0;
  if (error == 0 && state_ == State::Connecting) {
    int e = 0;
    socklen_t len = sizeof e;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &e, &len) == 0 && e) error = WsaErrorFromErrno(e);
  }
  return error;
}

int Socket::PeerAddress(uint32_t* address, uint16_t* port) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&sa), &len) < 0) return WsaErrorFromErrno(errno);
  *address = ntohl(sa.sin_addr.s_addr);
  *port = ntohs(sa.sin_port);
  return 0;
}

int Socket::Select(std::vector<Interest>& interests, int timeoutMs, int* readyCount) {
  *readyCount = 0;
  const Deadline deadline = timeoutMs < 0 ? Ceiling() : DeadlineAfter(static_cast<uint32_t>(timeoutMs));
  for (;;) {
    std::vector<pollfd> p;
    p.reserve(interests.size() * 2);
    bool immediate = false;
    for (Interest& in : interests) {
      if (in.socket->cancelled_) return WSAEINTR;
      Socket& s = *in.socket;
      short events = 0;
      {
        std::lock_guard<std::mutex> g(s.lock_);
        if (s.state_ == State::Connecting) {
          // A non-blocking connect: writable once made, "except" once failed.
          pollfd q = {s.fd_, POLLOUT, 0};
          if (::poll(&q, 1, 0) > 0) {
            int e = 0;
            socklen_t len = sizeof e;
            ::getsockopt(s.fd_, SOL_SOCKET, SO_ERROR, &e, &len);
            if (e) {
              s.pendingError_ = WsaErrorFromErrno(e);
              s.state_ = State::Idle;
              in.exceptReady = in.except;
            } else {
              s.state_ = State::Connected;
              in.writeReady = in.write;
            }
            immediate = immediate || in.exceptReady || in.writeReady;
          }
        }
        if (in.read && s.tlsReady_ && s.tls_->Pending()) {
          in.readReady = true;
          immediate = true;
        }
      }
      if (in.read) events |= POLLIN;
      if (in.write) events |= POLLOUT;
      p.push_back({s.fd_, events, 0});
      p.push_back({s.wake_, POLLIN, 0});
    }
    if (!immediate) {
      const int r = ::poll(p.data(), p.size(), PollMs(deadline));
      if (r < 0) {
        if (errno == EINTR) continue;
        return WsaErrorFromErrno(errno);
      }
      for (size_t i = 0; i < interests.size(); ++i) {
        Interest& in = interests[i];
        if (in.socket->cancelled_) return WSAEINTR;
        const short re = p[i * 2].revents;
        if (in.read && (re & (POLLIN | POLLHUP | POLLERR))) {
          Socket& s = *in.socket;
          std::lock_guard<std::mutex> g(s.lock_);
          if (s.tlsReady_ && s.state_ == State::Connected) {
            // Readable bytes may be a TLS record with no data for the caller.
            char probe;
            int n = 0;
            in.readReady = s.tls_->Read(&probe, 1, true, &n) != TlsChannel::Step::WantRead;
          } else {
            in.readReady = true;
          }
        }
        if (in.write && (re & (POLLOUT | POLLERR | POLLHUP))) {
          std::lock_guard<std::mutex> g(in.socket->lock_);
          in.writeReady = in.socket->state_ != State::Connecting;
        }
      }
    }
    int count = 0;
    for (const Interest& in : interests) count += in.readReady + in.writeReady + in.exceptReady;
    if (count || PollMs(deadline) == 0) {
      *readyCount = count;
      return 0;
    }
  }
}

int ResolveHost(const std::string& name, std::vector<uint32_t>* addresses) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  const int r = ::getaddrinfo(name.c_str(), nullptr, &hints, &list);
  if (r != 0) {
    if (r == EAI_AGAIN) return WSATRY_AGAIN;
    if (r == EAI_FAIL) return WSANO_RECOVERY;
    return WSAHOST_NOT_FOUND;
  }
  for (addrinfo* a = list; a; a = a->ai_next) {
    if (a->ai_family != AF_INET) continue;
    const uint32_t address = ntohl(reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
    if (std::find(addresses->begin(), addresses->end(), address) == addresses->end()) addresses->push_back(address);
  }
  ::freeaddrinfo(list);
  return addresses->empty() ? WSANO_DATA : 0;
}

bool ParseDottedAddress(const char* text, uint32_t* address) {
  in_addr a{};
  if (!text || !*text) return false;
  // inet_aton lets trailing blanks and words through; an address is digits,
  // dots and hex letters only.
  for (const char* p = text; *p; ++p) {
    if (!std::isxdigit(static_cast<unsigned char>(*p)) && *p != '.' && *p != 'x' && *p != 'X') return false;
  }
  if (::inet_aton(text, &a) == 0) return false;
  *address = ntohl(a.s_addr);
  return true;
}

}  // namespace qv::net
