// The Win32-shaped front of the sockets: the handle table, argument checks,
// the host table seam and name look-ups. The host work is in SocketPosix.cpp
// and TlsChannel.cpp.
#include "platform/net/Winsock.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/net/SecureSocket.h"
#include "platform/net/SocketCore.h"
#include "platform/net/NetSeam.h"

namespace {

using qv::net::Socket;
using SocketPtr = std::shared_ptr<Socket>;
namespace seam = qv::net_seam;

// SOCKET values stay below FD_SETSIZE so the host's fd_set macros hold them.
constexpr SOCKET kFirstHandle = 1;
constexpr SOCKET kHandleLimit = FD_SETSIZE;

struct Table {
  std::mutex lock;
  std::vector<SocketPtr> slots = std::vector<SocketPtr>(kHandleLimit);
  SOCKET next = kFirstHandle;
  // The name each address was last looked up by: the SNI of an implicit
  // handshake, which has no name of its own.
  std::map<uint32_t, std::string> names;
};

Table& T() {
  static Table* t = new Table;  // sockets may outlive static destruction
  return *t;
}

std::atomic<int> g_startups{0};

int Fail(int error) {
  WSASetLastError(error);
  return SOCKET_ERROR;
}

SocketPtr Find(SOCKET s) {
  if (s < kFirstHandle || s >= kHandleLimit) return nullptr;
  Table& t = T();
  std::lock_guard<std::mutex> g(t.lock);
  return t.slots[s];
}

void RememberName(uint32_t address, const std::string& name) {
  Table& t = T();
  std::lock_guard<std::mutex> g(t.lock);
  t.names[address] = name;
}

std::string NameOf(uint32_t address) {
  Table& t = T();
  std::lock_guard<std::mutex> g(t.lock);
  auto it = t.names.find(address);
  return it == t.names.end() ? std::string() : it->second;
}

int Fault(qv::net_seam::NetCall call) { return seam::TakeNetFault(call); }

std::string AddressText(uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xff, (address >> 8) & 0xff,
                address & 0xff);
  return text;
}

// Resolves through the host table, then the host's resolver.
int Resolve(const std::string& name, std::vector<uint32_t>* addresses) {
  if (const int f = Fault(qv::net_seam::NetCall::Resolve)) return f;
  uint32_t address = 0;
  if (qv::net::ParseDottedAddress(name.c_str(), &address)) {
    addresses->push_back(address);
    return 0;
  }
  switch (seam::LookupHost(name, &address)) {
    case seam::Lookup::Found:
      addresses->push_back(address);
      break;
    case seam::Lookup::Blocked:
      return WSAHOST_NOT_FOUND;
    case seam::Lookup::NotInTable:
      if (const int e = qv::net::ResolveHost(name, addresses)) return e;
      break;
  }
  for (uint32_t a : *addresses) RememberName(a, name);
  return 0;
}

// The record gethostbyname hands out, one per thread.
struct HostRecord {
  std::string name;
  std::vector<in_addr> addresses;
  std::vector<char*> addressList;
  char* aliases[1] = {nullptr};
  hostent entry{};
};

int SetOptionResult(int result) { return result ? Fail(result) : 0; }

bool ReadInt(const char* value, int length, int* out) {
  if (!value || length < static_cast<int>(sizeof(int))) return false;
  std::memcpy(out, value, sizeof(int));
  return true;
}

bool WriteInt(char* value, int* length, int v) {
  if (!value || !length || *length < static_cast<int>(sizeof(int))) return false;
  std::memcpy(value, &v, sizeof v);
  *length = sizeof v;
  return true;
}

bool SocketOption(int level, int name, Socket::Option* option) {
  if (level == IPPROTO_TCP && name == TCP_NODELAY) {
    *option = Socket::Option::NoDelay;
    return true;
  }
  if (level != SOL_SOCKET) return false;
  switch (name) {
    case SO_KEEPALIVE: *option = Socket::Option::KeepAlive; return true;
    case SO_REUSEADDR: *option = Socket::Option::ReuseAddress; return true;
    case SO_SNDBUF: *option = Socket::Option::SendBuffer; return true;
    case SO_RCVBUF: *option = Socket::Option::ReceiveBuffer; return true;
    default: return false;
  }
}

}  // namespace

int WSAStartup(WORD versionRequested, LPWSADATA data) {
  const BYTE major = versionRequested & 0xff, minor = versionRequested >> 8;
  if (!data) return WSAEFAULT;
  if (const int f = Fault(qv::net_seam::NetCall::Startup)) return f;
  if (major < 1 || (major == 1 && minor < 1)) return WSAVERNOTSUPPORTED;
  std::memset(data, 0, sizeof *data);
  data->wVersion = major >= 2 ? MAKEWORD(2, 2) : MAKEWORD(1, 1);
  data->wHighVersion = MAKEWORD(2, 2);
  std::strcpy(data->szDescription, "QvMail Winsock 2.2");
  std::strcpy(data->szSystemStatus, "Running");
  data->iMaxSockets = static_cast<unsigned short>(kHandleLimit - kFirstHandle);
  ++g_startups;
  return 0;
}

int WSACleanup() {
  int count = g_startups.load();
  while (count > 0 && !g_startups.compare_exchange_weak(count, count - 1)) {
  }
  return count > 0 ? 0 : Fail(WSANOTINITIALISED);
}

int WSAGetLastError() { return static_cast<int>(GetLastError()); }
void WSASetLastError(int error) { SetLastError(static_cast<DWORD>(error)); }

SOCKET socket(int af, int type, int protocol) {
  auto fail = [](int e) {
    WSASetLastError(e);
    return INVALID_SOCKET;
  };
  if (g_startups <= 0) return fail(WSANOTINITIALISED);
  if (af != AF_INET) return fail(WSAEAFNOSUPPORT);
  if (type != SOCK_STREAM) return fail(WSAESOCKTNOSUPPORT);
  if (protocol != 0 && protocol != IPPROTO_TCP) return fail(WSAEPROTONOSUPPORT);
  if (const int f = Fault(qv::net_seam::NetCall::Socket)) return fail(f);
  SocketPtr made;
  if (const int e = Socket::Create(&made)) return fail(e);
  Table& t = T();
  std::lock_guard<std::mutex> g(t.lock);
  // Handles go round the table so a stale one is not reused at once.
  for (SOCKET i = 0; i < kHandleLimit - kFirstHandle; ++i) {
    const SOCKET h = t.next;
    t.next = t.next + 1 >= kHandleLimit ? kFirstHandle : t.next + 1;
    if (!t.slots[h]) {
      t.slots[h] = made;
      return h;
    }
  }
  return fail(WSAEMFILE);
}

int closesocket(SOCKET s) {
  SocketPtr sock;
  if (s >= kFirstHandle && s < kHandleLimit) {
    Table& t = T();
    std::lock_guard<std::mutex> g(t.lock);
    sock = std::move(t.slots[s]);
  }
  if (!sock) return Fail(WSAENOTSOCK);
  sock->Cancel();
  return 0;
}

int connect(SOCKET s, const sockaddr* name, int nameLength) {
  SocketPtr sock = Find(s);
  if (!sock) return Fail(WSAENOTSOCK);
  if (!name || nameLength < static_cast<int>(sizeof(sockaddr_in))) return Fail(WSAEFAULT);
  const auto* in = reinterpret_cast<const sockaddr_in*>(name);
  if (in->sin_family != AF_INET) return Fail(WSAEAFNOSUPPORT);
  uint32_t address = ntohl(in->sin_addr.s_addr);
  uint16_t port = ntohs(in->sin_port);
  if (address == INADDR_ANY || port == 0) return Fail(WSAEADDRNOTAVAIL);
  if (const int f = Fault(qv::net_seam::NetCall::Connect)) return Fail(f);
  std::string peer = NameOf(address);
  uint32_t targetAddress = 0;
  uint16_t targetPort = 0;
  std::string mappedName;
  switch (seam::RouteConnect(address, port, &targetAddress, &targetPort, &mappedName)) {
    case seam::Route::Refused:
      return Fail(WSAECONNREFUSED);
    case seam::Route::Mapped:
      if (!mappedName.empty()) peer = mappedName;
      if (peer.empty()) peer = AddressText(address);
      address = targetAddress;
      port = targetPort;
      break;
    case seam::Route::Direct:
      break;
  }
  const int e = sock->Connect(address, port, peer);
  return e ? Fail(e) : 0;
}

int send(SOCKET s, const char* buffer, int length, int flags) {
  SocketPtr sock = Find(s);
  if (!sock) return Fail(WSAENOTSOCK);
  if (length < 0 || (length > 0 && !buffer)) return Fail(WSAEFAULT);
  if (flags & MSG_OOB) return Fail(WSAEOPNOTSUPP);
  if (const int f = Fault(qv::net_seam::NetCall::Send)) return Fail(f);
  int sent = 0;
  const int e = sock->Send(buffer, length, &sent);
  return e ? Fail(e) : sent;
}

int recv(SOCKET s, char* buffer, int length, int flags) {
  SocketPtr sock = Find(s);
  if (!sock) return Fail(WSAENOTSOCK);
  if (length < 0 || (length > 0 && !buffer)) return Fail(WSAEFAULT);
  if (flags & MSG_OOB) return Fail(WSAEOPNOTSUPP);
  if (const int f = Fault(qv::net_seam::NetCall::Recv)) return Fail(f);
  int received = 0;
  const int e = sock->Recv(buffer, length, (flags & MSG_PEEK) != 0, &received);
  return e ? Fail(e) : received;
}

int shutdown(SOCKET s, int how) {
  SocketPtr sock = Find(s);
  if (!sock) return Fail(WSAENOTSOCK);
  if (how < SD_RECEIVE || how > SD_BOTH) return Fail(WSAEINVAL);
  const int e = sock->Shutdown(how != SD_SEND, how != SD_RECEIVE);
  return e ? Fail(e) : 0;
}

int setsockopt(SOCKET s, int level, int name, const char* value, int length) {
  SocketPtr sock = Find(s);
  if (!sock) return Fail(WSAENOTSOCK);
  int v = 0;
  if (level == SOL_SOCKET && name == SO_LINGER) {
    if (!value || length < static_cast<int>(sizeof(linger))) return Fail(WSAEFAULT);
    linger l;
    std::memcpy(&l, value, sizeof l);
    return SetOptionResult(sock->SetOption(Socket::Option::Linger, l.l_onoff, l.l_linger));
  }
  if (!ReadInt(value, length, &v)) return Fail(WSAEFAULT);
  if (level == SOL_SOCKET) {
    switch (name) {
      case SO_DONTLINGER:
        return SetOptionResult(sock->SetOption(Socket::Option::Linger, v ? 0 : 1, 0));
      case SO_RCVTIMEO:
        sock->SetTimeouts(static_cast<uint32_t>(v), sock->SendTimeout());
        return 0;
      case SO_SNDTIMEO:
        sock->SetTimeouts(sock->ReceiveTimeout(), static_cast<uint32_t>(v));
        return 0;
      case SO_SECURE:
        if (v != SO_SEC_SSL && v != 0) return Fail(WSAEINVAL);
        return SetOptionResult(sock->SetSecure(v == SO_SEC_SSL));
      default:
        break;
    }
  }
  Socket::Option option;
  if (!SocketOption(level, name, &option)) return Fail(WSAENOPROTOOPT);
  return SetOptionResult(sock->SetOption(option, v));
}

int getsockopt(SOCKET s, int level, int name, char* value, int* length) {
  SocketPtr sock = Find(s);
  if (!sock) return Fail(WSAENOTSOCK);
  if (!value || !length) return Fail(WSAEFAULT);
  int v = 0;
  if (level == SOL_SOCKET && name == SO_LINGER) {
    if (*length < static_cast<int>(sizeof(linger))) return Fail(WSAEFAULT);
    if (const int e = sock->GetOption(Socket::Option::Linger, &v)) return Fail(e);
    linger l{static_cast<WORD>(v >= 0), static_cast<WORD>(v >= 0 ? v : 0)};
    std::memcpy(value, &l, sizeof l);
    *length = sizeof l;
    return 0;
  }
  if (level == SOL_SOCKET) {
    bool handled = true;
    switch (name) {
      case SO_RCVTIMEO: v = static_cast<int>(sock->ReceiveTimeout()); break;
      case SO_SNDTIMEO: v = static_cast<int>(sock->SendTimeout()); break;
      case SO_ERROR: v = sock->TakePendingError(); break;
      case SO_TYPE: v = SOCK_STREAM; break;
      case SO_SECURE: v = sock->Secure() ? SO_SEC_SSL : 0; break;
      default: handled = false; break;
    }
    if (handled) return WriteInt(value, length, v) ? 0 : Fail(WSAEFAULT);
  }
  Socket::Option option;
  if (!SocketOption(level, name, &option)) return Fail(WSAENOPROTOOPT);
  if (const int e = sock->GetOption(option, &v)) return Fail(e);
  return WriteInt(value, length, v) ? 0 : Fail(WSAEFAULT);
}

int getpeername(SOCKET s, sockaddr* name, int* nameLength) {
  SocketPtr sock = Find(s);
  if (!sock) return Fail(WSAENOTSOCK);
  if (!name || !nameLength || *nameLength < static_cast<int>(sizeof(sockaddr_in))) return Fail(WSAEFAULT);
  uint32_t address = 0;
  uint16_t port = 0;
  if (const int e = sock->PeerAddress(&address, &port)) return Fail(e);
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_port = htons(port);
  in.sin_addr.s_addr = htonl(address);
  std::memcpy(name, &in, sizeof in);
  *nameLength = sizeof in;
  return 0;
}

int ioctlsocket(SOCKET s, long command, u_long* argument) {
  SocketPtr sock = Find(s);
  if (!sock) return Fail(WSAENOTSOCK);
  if (!argument) return Fail(WSAEFAULT);
  switch (static_cast<uint32_t>(command)) {
    case FIONBIO:
      return SetOptionResult(sock->SetNonBlocking(*argument != 0));
    case FIONREAD: {
      uint32_t n = 0;
      if (const int e = sock->Available(&n)) return Fail(e);
      *argument = n;
      return 0;
    }
    default:
      return Fail(WSAEINVAL);
  }
}

int WSAIoctl(SOCKET s, DWORD code, LPVOID inBuffer, DWORD inLength, LPVOID outBuffer, DWORD outLength,
             LPDWORD bytesReturned, LPWSAOVERLAPPED overlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE completion) {
  SocketPtr sock = Find(s);
  if (!sock) return Fail(WSAENOTSOCK);
  if (overlapped || completion) return Fail(WSAEOPNOTSUPP);
  if (bytesReturned) *bytesReturned = 0;
  switch (code) {
    case SO_SSL_SET_VALIDATE_CERT_HOOK: {
      if (!inBuffer || inLength < sizeof(SSLVALIDATECERTHOOK)) return Fail(WSAEFAULT);
      SSLVALIDATECERTHOOK hook;
      std::memcpy(&hook, inBuffer, sizeof hook);
      return SetOptionResult(sock->SetCertHook(hook.HookFunc, hook.pvArg));
    }
    case SO_SSL_SET_FLAGS: {
      if (!inBuffer || inLength < sizeof(DWORD)) return Fail(WSAEFAULT);
      DWORD flags;
      std::memcpy(&flags, inBuffer, sizeof flags);
      return SetOptionResult(sock->SetTlsFlags(flags));
    }
    case SO_SSL_PERFORM_HANDSHAKE: {
      // The host name, NUL-terminated within inLength (or not at all).
      std::string name;
      if (inBuffer && inLength) {
        const char* text = static_cast<const char*>(inBuffer);
        name.assign(text, strnlen(text, inLength));
      }
      const int e = sock->Handshake(name);
      return e ? Fail(e) : 0;
    }
    case FIONBIO:
    case FIONREAD: {
      u_long value = 0;
      if (code == FIONBIO) {
        if (!inBuffer || inLength < sizeof(ULONG)) return Fail(WSAEFAULT);
        ULONG on;
        std::memcpy(&on, inBuffer, sizeof on);
        value = on;
      }
      if (ioctlsocket(s, static_cast<long>(code), &value) != 0) return SOCKET_ERROR;
      if (code == FIONREAD) {
        if (!outBuffer || outLength < sizeof(ULONG)) return Fail(WSAEFAULT);
        const ULONG n = static_cast<ULONG>(value);
        std::memcpy(outBuffer, &n, sizeof n);
        if (bytesReturned) *bytesReturned = sizeof n;
      }
      return 0;
    }
    default:
      return Fail(WSAEINVAL);
  }
}

int WinsockSelect(int, fd_set* readSet, fd_set* writeSet, fd_set* exceptSet, const timeval* timeout) {
  std::vector<Socket::Interest> interests;
  std::vector<SocketPtr> held;  // keeps every socket alive through the wait
  std::vector<SOCKET> handles;
  for (SOCKET h = kFirstHandle; h < kHandleLimit; ++h) {
    const bool r = readSet && FD_ISSET(h, readSet);
    const bool w = writeSet && FD_ISSET(h, writeSet);
    const bool x = exceptSet && FD_ISSET(h, exceptSet);
    if (!r && !w && !x) continue;
    SocketPtr sock = Find(h);
    if (!sock) return Fail(WSAENOTSOCK);
    interests.push_back({sock.get(), r, w, x});
    held.push_back(std::move(sock));
    handles.push_back(h);
  }
  if (interests.empty()) return Fail(WSAEINVAL);
  int timeoutMs = -1;
  if (timeout) {
    if (timeout->tv_sec < 0 || timeout->tv_usec < 0) return Fail(WSAEINVAL);
    const long long ms = static_cast<long long>(timeout->tv_sec) * 1000 + (timeout->tv_usec + 999) / 1000;
    timeoutMs = static_cast<int>(std::min<long long>(ms, 0x7fffffff));
  }
  int ready = 0;
  if (const int e = Socket::Select(interests, timeoutMs, &ready)) return Fail(e);
  if (readSet) FD_ZERO(readSet);
  if (writeSet) FD_ZERO(writeSet);
  if (exceptSet) FD_ZERO(exceptSet);
  for (size_t i = 0; i < interests.size(); ++i) {
    if (interests[i].readReady) FD_SET(handles[i], readSet);
    if (interests[i].writeReady) FD_SET(handles[i], writeSet);
    if (interests[i].exceptReady) FD_SET(handles[i], exceptSet);
  }
  return ready;
}

hostent* gethostbyname(const char* name) {
  static thread_local HostRecord record;
  if (g_startups <= 0) {
    WSASetLastError(WSANOTINITIALISED);
    return nullptr;
  }
  if (!name) {
    WSASetLastError(WSAEFAULT);
    return nullptr;
  }
  std::vector<uint32_t> addresses;
  if (const int e = Resolve(name, &addresses)) {
    WSASetLastError(e);
    return nullptr;
  }
  if (addresses.size() > 35) addresses.resize(35);  // as many as the device's record holds
  record.name = name;
  record.addresses.clear();
  for (uint32_t a : addresses) {
    in_addr in{};
    in.s_addr = htonl(a);
    record.addresses.push_back(in);
  }
  record.addressList.clear();
  for (in_addr& in : record.addresses) record.addressList.push_back(reinterpret_cast<char*>(&in));
  record.addressList.push_back(nullptr);
  record.entry.h_name = record.name.data();
  record.entry.h_aliases = record.aliases;
  record.entry.h_addrtype = AF_INET;
  record.entry.h_length = sizeof(in_addr);
  record.entry.h_addr_list = record.addressList.data();
  return &record.entry;
}

int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result) {
  if (!result) return WSAEINVAL;
  *result = nullptr;
  if (g_startups <= 0) return WSANOTINITIALISED;
  if (!node && !service) return WSAHOST_NOT_FOUND;
  const int family = hints ? hints->ai_family : AF_UNSPEC;
  if (family != AF_UNSPEC && family != AF_INET) return WSAEAFNOSUPPORT;
  if (hints && hints->ai_socktype != 0 && hints->ai_socktype != SOCK_STREAM) return WSAESOCKTNOSUPPORT;
  const int flags = hints ? hints->ai_flags : 0;
  unsigned long port = 0;
  if (service && *service) {
    char* end = nullptr;
    port = std::strtoul(service, &end, 10);
    if (*end || port > 0xffff) return WSATYPE_NOT_FOUND;
  }
  std::vector<uint32_t> addresses;
  if (!node) {
    addresses.push_back((flags & AI_PASSIVE) ? INADDR_ANY : INADDR_LOOPBACK);
  } else if (flags & AI_NUMERICHOST) {
    uint32_t a = 0;
    if (!qv::net::ParseDottedAddress(node, &a)) return WSAHOST_NOT_FOUND;
    addresses.push_back(a);
  } else if (const int e = Resolve(node, &addresses)) {
    return e;
  }
  addrinfo** tail = result;
  for (uint32_t a : addresses) {
    auto* info = new addrinfo{};
    auto* in = new sockaddr_in{};
    in->sin_family = AF_INET;
    in->sin_port = htons(static_cast<WORD>(port));
    in->sin_addr.s_addr = htonl(a);
    info->ai_family = AF_INET;
    info->ai_socktype = SOCK_STREAM;
    info->ai_protocol = IPPROTO_TCP;
    info->ai_addrlen = sizeof(sockaddr_in);
    info->ai_addr = reinterpret_cast<sockaddr*>(in);
    if ((flags & AI_CANONNAME) && tail == result && node) {
      info->ai_canonname = new char[std::strlen(node) + 1];
      std::strcpy(info->ai_canonname, node);
    }
    *tail = info;
    tail = &info->ai_next;
  }
  return 0;
}

void freeaddrinfo(addrinfo* info) {
  while (info) {
    addrinfo* next = info->ai_next;
    delete reinterpret_cast<sockaddr_in*>(info->ai_addr);
    delete[] info->ai_canonname;
    delete info;
    info = next;
  }
}

ULONG inet_addr(const char* text) {
  uint32_t address = 0;
  return text && qv::net::ParseDottedAddress(text, &address) ? htonl(address) : INADDR_NONE;
}

char* inet_ntoa(in_addr address) {
  static thread_local char text[16];
  const std::string s = AddressText(ntohl(address.s_addr));
  std::memcpy(text, s.c_str(), s.size() + 1);
  return text;
}
