#include "engine/public/transport/MailSocket.h"

#include <cstring>
#include <type_traits>

#include "engine/public/foundation/QvPlatformHooks.h"
#include "platform/net/SecureSocket.h"
#include "platform/net/Winsock.h"

static_assert(std::is_same_v<SOCKET, uintptr_t>, "MailSocket keeps a SOCKET as uintptr_t");
static_assert(INVALID_SOCKET == ~uintptr_t{0}, "MailSocket's kNoSocket is INVALID_SOCKET");

bool MailSocket::Open(bool secure, const std::string& host, bool deferHandshake) {
  Close();
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  started_ = true;
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    Close();
    return false;
  }
  socket_ = s;
  // Commands and replies are small and each waits for the other: without
  // this, a short write can sit behind the peer's delayed ACK.
  const int noDelay = 1;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
  if (!secure) return true;
  host_ = host;
  DWORD on = SO_SEC_SSL;
  DWORD returned = 0;
  SSLVALIDATECERTHOOK hook = {certificateValidationCallback, host_.data()};
  DWORD flags = SSL_FLAG_DEFER_HANDSHAKE;
  if (setsockopt(s, SOL_SOCKET, SO_SECURE, reinterpret_cast<const char*>(&on), sizeof on) != 0 ||
      WSAIoctl(s, SO_SSL_SET_VALIDATE_CERT_HOOK, &hook, sizeof hook, nullptr, 0, &returned, nullptr, nullptr) != 0 ||
      (deferHandshake &&
       WSAIoctl(s, SO_SSL_SET_FLAGS, &flags, sizeof flags, nullptr, 0, &returned, nullptr, nullptr) != 0)) {
    Close();
    return false;
  }
  return true;
}

bool MailSocket::Resolve(const char* host, int port) {
  ULONG address = inet_addr(host);
  if (address == INADDR_NONE) {
    const hostent* entry = gethostbyname(host);
    if (!entry || !entry->h_addr_list || !entry->h_addr_list[0]) return false;
    std::memcpy(&address, entry->h_addr_list[0], sizeof address);
  }
  address_ = address;
  port_ = htons(static_cast<WORD>(port));
  return true;
}

bool MailSocket::Connect() const {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = port_;
  sa.sin_addr.s_addr = address_;
  return connect(socket_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != SOCKET_ERROR;
}

bool MailSocket::SendAll(const char* data, int length) const {
  int sent = 0;
  while (sent < length) {
    const int n = send(socket_, data + sent, length - sent, 0);
    if (n <= 0) return false;
    sent += n;
  }
  return true;
}

int MailSocket::SendSome(const char* data, int length) const {
  const int n = send(socket_, data, length, 0);
  return n <= 0 ? -1 : n;
}

int MailSocket::WaitReadable(long microseconds) const {
  const SOCKET s = socket_;
  if (s == INVALID_SOCKET) return -1;
  fd_set set;
  FD_ZERO(&set);
  FD_SET(static_cast<int>(s), &set);
  timeval tv{microseconds / 1000000, microseconds % 1000000};
  const int ready = select(0, &set, nullptr, nullptr, &tv);
  return ready < 0 ? -1 : (ready > 0 ? 1 : 0);
}

int MailSocket::Receive(char* buffer, int size) const {
  const int n = recv(socket_, buffer, size, 0);
  return n < 0 ? -1 : n;
}

int MailSocket::ReceiveWaiting(char* buffer, int size) const {
  const SOCKET s = socket_;
  if (s == INVALID_SOCKET) return 0;
  u_long on = 1;
  if (ioctlsocket(s, FIONBIO, &on) != 0) return 0;
  const int n = recv(s, buffer, size, 0);
  u_long off = 0;
  ioctlsocket(s, FIONBIO, &off);
  return n > 0 ? n : 0;
}

int MailSocket::Handshake(const std::string& host) const {
  DWORD returned = 0;
  return WSAIoctl(socket_, SO_SSL_PERFORM_HANDSHAKE, const_cast<char*>(host.c_str()),
                  static_cast<DWORD>(host.size() + 1), nullptr, 0, &returned, nullptr, nullptr);
}

void MailSocket::Release() {
  const SOCKET s = socket_.exchange(INVALID_SOCKET);
  if (s != INVALID_SOCKET) closesocket(s);
}

void MailSocket::Close() {
  Release();
  if (started_.exchange(false)) WSACleanup();
}
