// One TLS client session over a connected non-blocking descriptor (OpenSSL).
// Internal to the platform library. Every call is a single non-blocking step;
// the socket drives the loop, waits between steps and serialises the calls.
#pragma once

#include <string>

#include "platform/net/SocketCore.h"

struct ssl_st;
struct ssl_ctx_st;

namespace qv::net {

class TlsChannel {
 public:
  enum class Step { Done, WantRead, WantWrite, Closed, Failed };

  // `peerName`: SNI and, without a hook, the name the certificate must carry.
  TlsChannel(int fd, const std::string& peerName, CertHook hook, void* hookArgument);
  ~TlsChannel();
  TlsChannel(const TlsChannel&) = delete;
  TlsChannel& operator=(const TlsChannel&) = delete;

  // False when OpenSSL could not set the session up.
  bool Ready() const { return ssl_ != nullptr; }
  Step Handshake();
  Step Read(char* data, int length, bool peek, int* received);
  Step Write(const char* data, int length, int* sent);
  // Plain text already decrypted and waiting.
  bool Pending() const { return PendingBytes() > 0; }
  uint32_t PendingBytes() const;
  // Sends close_notify once, without waiting for the answer.
  void Close();

  // The verification callback's view of this session.
  int VerifyChain(void* storeContext);

 private:
  Step Classify(int result);

  ssl_ctx_st* ctx_ = nullptr;
  ssl_st* ssl_ = nullptr;
  std::string peerName_;
  CertHook hook_;
  void* hookArgument_;
  bool closed_ = false;
};

}  // namespace qv::net
