// The socket of one protocol client session (POP3, SMTP): the network
// library's use, a TCP socket that may be secure (TLS from connect, or a
// deferred handshake for STARTTLS/STLS) with the engine's certificate hook,
// the resolved server address, whole-line sends and the readiness wait of the
// receive workers. Release and Close may be called from another thread: they
// wake every blocked call on the socket at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/net/Winsock.h"

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
  // Blocking connect to the resolved address (for a worker thread): 0 or SOCKET_ERROR.
  int Connect() const;
  // Sends every byte: `length`, or SOCKET_ERROR.
  int SendAll(const char* data, int length) const;
  // One send call: the bytes sent, or SOCKET_ERROR.
  int SendSome(const char* data, int length) const;
  // Waits up to `microseconds` for bytes: 1 readable, 0 not yet, -1 no socket or error.
  int WaitReadable(long microseconds) const;
  int Receive(char* buffer, int size) const;
  // The deferred handshake, SNI and certificate check against `host`.
  int Handshake(const std::string& host) const;

  // Closes the socket (any thread).
  void Release();
  // Release, then ends the network library's use once.
  void Close();
  SOCKET Handle() const { return socket_; }

 private:
  std::atomic<SOCKET> socket_{INVALID_SOCKET};
  std::atomic<bool> started_{false};
  // The hook keeps a pointer to the host name: it lives here.
  std::string host_;
  uint32_t address_ = 0;  // network order
  uint16_t port_ = 0;     // network order
};
