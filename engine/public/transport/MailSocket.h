// The socket of one protocol client session (POP3, SMTP): the network
// library's use, a TCP socket that may be secure (TLS from connect, or a
// deferred handshake for STARTTLS/STLS) with the engine's certificate hook,
// the resolved server address, whole-line sends and the readiness wait of the
// receive workers. Release and Close may be called from another thread: they
// wake every blocked call on the socket at once.
//
// The clients hold it as a member, so this header keeps the network library
// (platform/net/Winsock.h) out of their public headers.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

class MailSocket {
 public:
  MailSocket() = default;
  ~MailSocket() { Close(); }
  MailSocket(const MailSocket&) = delete;
  MailSocket& operator=(const MailSocket&) = delete;

  // Starts the network library and makes the socket. With `secure`, the
  // secure-socket option and the certificate hook for `host` are set (and the
  // deferred handshake with `deferHandshake`); a secure socket that cannot be
  // made is a failure, never a plain one. False leaves nothing open.
  bool Open(bool secure, const std::string& host, bool deferHandshake = false);
  // The server's address: dotted, else looked up by name (first address).
  bool Resolve(const char* host, int port);
  // Blocking connect to the resolved address (for a worker thread).
  bool Connect() const;
  // Sends every byte.
  bool SendAll(const char* data, int length) const;
  // One send call: the bytes sent (at least one), or -1.
  int SendSome(const char* data, int length) const;
  // Waits up to `microseconds` for bytes: 1 readable, 0 not yet, -1 no socket or error.
  int WaitReadable(long microseconds) const;
  // The bytes read, 0 when the peer closed, or -1.
  int Receive(char* buffer, int size) const;
  // Only what can be read without waiting (on any thread while no worker
  // reads): the bytes read, or 0 when there are none yet, the peer closed or
  // the read failed (a blocking read then meets it again).
  int ReceiveWaiting(char* buffer, int size) const;
  // The deferred handshake, SNI and certificate check against `host`: 0, or
  // the network library's failure result.
  int Handshake(const std::string& host) const;

  // Closes the socket (any thread).
  void Release();
  // Release, then ends the network library's use once.
  void Close();
  bool IsOpen() const { return socket_ != kNoSocket; }

 private:
  // The library's SOCKET, an integer of this width; kNoSocket is its INVALID_SOCKET.
  static constexpr uintptr_t kNoSocket = ~uintptr_t{0};
  std::atomic<uintptr_t> socket_{kNoSocket};
  std::atomic<bool> started_{false};
  // The hook keeps a pointer to the host name: it lives here.
  std::string host_;
  uint32_t address_ = 0;  // network order
  uint16_t port_ = 0;     // network order
};
