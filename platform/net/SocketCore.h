// The host side of the Winsock layer: one TCP socket over a non-blocking
// POSIX descriptor, with an optional TLS channel. Internal to the platform
// library. Neutral types only: this header is seen both by the Win32-shaped
// front (which must not see POSIX names) and by the host code (which must not
// see the Win32 records). Every result is 0 or a WSA error code.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qv::net {

using Clock = std::chrono::steady_clock;
// A wait's end; Clock::time_point::max() waits without limit.
using Deadline = Clock::time_point;
inline constexpr Deadline kNoDeadline = Deadline::max();
Deadline DeadlineAfter(uint32_t milliseconds);

// The certificate hook, as SSLVALIDATECERTFUNC.
using CertHook = uint32_t (*)(uint32_t type, void* argument, uint32_t chainLength, void* chain, uint32_t flags);

class TlsChannel;

class Socket {
 public:
  // A new TCP socket; 0 or the WSA error.
  static int Create(std::shared_ptr<Socket>* out);
  ~Socket();
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Blocking (or non-blocking with FIONBIO) connect to an IPv4 address in host
  // order, then the implicit TLS handshake when the socket is secure and not
  // deferred. `peerName` is the SNI name (may be empty).
  int Connect(uint32_t address, uint16_t port, const std::string& peerName);
  // SO_SSL_PERFORM_HANDSHAKE.
  int Handshake(const std::string& peerName);
  int Send(const char* data, int length, int* sent);
  int Recv(char* data, int length, bool peek, int* received);
  int Shutdown(bool receive, bool send);
  // Wakes every wait on the socket at once and ends the connection; every
  // later call fails.
  void Cancel();
  bool Cancelled() const { return cancelled_.load(); }

  int SetNonBlocking(bool on);
  int Available(uint32_t* bytes);
  int SetSecure(bool on);
  int SetTlsFlags(uint32_t flags);
  int SetCertHook(CertHook hook, void* argument);
  // SOL_SOCKET / IPPROTO_TCP options carried by the host: keep-alive, linger,
  // buffers, no-delay. `name` is one of the Option values.
  enum class Option { KeepAlive, ReuseAddress, Linger, SendBuffer, ReceiveBuffer, NoDelay };
  int SetOption(Option option, int value, int lingerSeconds = 0);
  int GetOption(Option option, int* value);
  void SetTimeouts(uint32_t receiveMs, uint32_t sendMs) {
    receiveTimeoutMs_ = receiveMs;
    sendTimeoutMs_ = sendMs;
  }
  uint32_t ReceiveTimeout() const { return receiveTimeoutMs_; }
  uint32_t SendTimeout() const { return sendTimeoutMs_; }
  bool Secure() const { return secure_; }
  // The pending error of a non-blocking connect (SO_ERROR), cleared by reading.
  int TakePendingError();
  int PeerAddress(uint32_t* address, uint16_t* port);

  // select(): readiness of several sockets at once. `timeoutMs` < 0 waits
  // without limit. Fills the ready flags; returns 0 or the WSA error
  // (WSAEINTR when one of the sockets was closed meanwhile).
  struct Interest {
    Socket* socket;
    bool read, write, except;
    bool readReady = false, writeReady = false, exceptReady = false;
  };
  static int Select(std::vector<Interest>& interests, int timeoutMs, int* readyCount);

  // Waits for the descriptor (POLLIN / POLLOUT as `forWrite`) or a cancel, up
  // to the deadline: 0, WSAEINTR or WSAETIMEDOUT. Used by the TLS channel.
  int WaitIo(bool forWrite, Deadline deadline);

 private:
  Socket(int fd, int wake);
  int FinishConnect(Deadline deadline);
  int RunHandshake(const std::string& peerName);
  // True once readable data (or the end) is there without blocking.
  bool ReadableNow();

  const int fd_;
  const int wake_;
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> nonBlocking_{false};
  std::atomic<uint32_t> receiveTimeoutMs_{0};
  std::atomic<uint32_t> sendTimeoutMs_{0};

  std::mutex lock_;  // guards the fields below and every call into the TLS channel
  enum class State { Idle, Connecting, Connected, Broken } state_ = State::Idle;
  int pendingError_ = 0;
  bool secure_ = false;
  bool deferred_ = false;
  bool sendShut_ = false;
  CertHook hook_ = nullptr;
  void* hookArgument_ = nullptr;
  std::string connectPeerName_;
  std::unique_ptr<TlsChannel> tls_;
  bool tlsReady_ = false;  // the handshake has ended well
};

// Host errno to WSA code.
int WsaErrorFromErrno(int error);

// Name look-up through the host resolver: IPv4 addresses in host order.
int ResolveHost(const std::string& name, std::vector<uint32_t>* addresses);
// inet_aton's forms ("a.b.c.d", "a.b.c", "a.b", "a"; decimal, octal, hex).
bool ParseDottedAddress(const char* text, uint32_t* address);

}  // namespace qv::net
