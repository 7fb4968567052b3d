// The Winsock subset the mail, SMTP and feed clients use, Win32-shaped:
// WSAStartup/WSACleanup, TCP stream sockets over IPv4, blocking calls by
// default, errors through WSAGetLastError with the WSA codes.
//
// On top of the device's behaviour:
// - every blocking call (connect, send, recv, select, the TLS handshake) wakes
//   at once with WSAEINTR when another thread closes the socket;
// - SO_RCVTIMEO / SO_SNDTIMEO (milliseconds) bound recv and send; connect and
//   the TLS handshake always have a deadline (60 s, or SO_RCVTIMEO when set);
//   recv, send and select asked to wait without limit still end (WSAETIMEDOUT,
//   or 0 from select) after twice the protocol clients' whole wait
//   (NetworkWait.h: 2 x 600 x 1000 ms), long after those have given up;
// - fd_set, FD_ZERO/FD_SET/FD_ISSET/FD_CLR and timeval are the host's; SOCKET
//   values are always below FD_SETSIZE, so the macros are safe with them;
// - WSACleanup never closes sockets still open.
// Like the device's header it defines s_addr, h_addr and select as macros:
// include no host socket header after it.
// The secure-socket option (SO_SECURE) is in SecureSocket.h. Tests reach their
// servers through the host table of platform/testing/Seams.h.
#pragma once

#include <sys/select.h>
#include <sys/types.h>

#include "platform/base/WinTypes.h"
#include "platform/net/WinsockErrors.h"

typedef uintptr_t SOCKET;
#define INVALID_SOCKET (~static_cast<SOCKET>(0))
#define SOCKET_ERROR (-1)

#ifndef MAKEWORD
#define MAKEWORD(low, high) static_cast<WORD>((static_cast<BYTE>(low)) | (static_cast<WORD>(static_cast<BYTE>(high)) << 8))
#endif

#define AF_UNSPEC 0
#define AF_INET 2
#define PF_INET AF_INET
#define SOCK_STREAM 1
#define SOCK_DGRAM 2
#define IPPROTO_IP 0
#define IPPROTO_TCP 6
#define IPPROTO_UDP 17

#define INADDR_ANY 0x00000000u
#define INADDR_LOOPBACK 0x7f000001u
#define INADDR_NONE 0xffffffffu

#define SOL_SOCKET 0xffff
#define SO_DEBUG 0x0001
#define SO_REUSEADDR 0x0004
#define SO_KEEPALIVE 0x0008
#define SO_DONTROUTE 0x0010
#define SO_BROADCAST 0x0020
#define SO_LINGER 0x0080
#define SO_OOBINLINE 0x0100
#define SO_DONTLINGER (~SO_LINGER)
#define SO_SNDBUF 0x1001
#define SO_RCVBUF 0x1002
#define SO_SNDTIMEO 0x1005
#define SO_RCVTIMEO 0x1006
#define SO_ERROR 0x1007
#define SO_TYPE 0x1008
#define TCP_NODELAY 0x0001

#define MSG_OOB 0x1
#define MSG_PEEK 0x2

#define SD_RECEIVE 0
#define SD_SEND 1
#define SD_BOTH 2

#define FIONREAD 0x4004667Fu
#define FIONBIO 0x8004667Eu

#define AI_PASSIVE 0x01
#define AI_CANONNAME 0x02
#define AI_NUMERICHOST 0x04

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128

struct in_addr {
  union {
    struct {
      BYTE s_b1, s_b2, s_b3, s_b4;
    } S_un_b;
    struct {
      WORD s_w1, s_w2;
    } S_un_w;
    ULONG S_addr;  // network order
  } S_un;
};
#define s_addr S_un.S_addr

struct sockaddr {
  WORD sa_family;
  char sa_data[14];
};

struct sockaddr_in {
  short sin_family;
  WORD sin_port;  // network order
  in_addr sin_addr;
  char sin_zero[8];
};

struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;  // in_addr records, network order, null-terminated
};
#define h_addr h_addr_list[0]

struct linger {
  WORD l_onoff;
  WORD l_linger;
};

struct addrinfo {
  int ai_flags;
  int ai_family;
  int ai_socktype;
  int ai_protocol;
  size_t ai_addrlen;
  char* ai_canonname;
  sockaddr* ai_addr;
  addrinfo* ai_next;
};

struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
};
typedef WSADATA* LPWSADATA;

struct WSAOVERLAPPED;
typedef WSAOVERLAPPED* LPWSAOVERLAPPED;
typedef void (*LPWSAOVERLAPPED_COMPLETION_ROUTINE)(DWORD error, DWORD transferred, LPWSAOVERLAPPED overlapped,
                                                   DWORD flags);

// Byte order: the device and this host are little-endian; network order is big-endian.
inline constexpr WORD htons(WORD v) { return static_cast<WORD>((v << 8) | (v >> 8)); }
inline constexpr WORD ntohs(WORD v) { return htons(v); }
inline constexpr ULONG htonl(ULONG v) {
  return (v >> 24) | ((v >> 8) & 0xff00u) | ((v << 8) & 0xff0000u) | (v << 24);
}
inline constexpr ULONG ntohl(ULONG v) { return htonl(v); }

// C++ linkage on purpose: these must never stand in for the host C library's
// functions of the same names.
QV_PLATFORM_API int WSAStartup(WORD versionRequested, LPWSADATA data);
QV_PLATFORM_API int WSACleanup();
QV_PLATFORM_API int WSAGetLastError();
QV_PLATFORM_API void WSASetLastError(int error);

QV_PLATFORM_API SOCKET socket(int af, int type, int protocol);
QV_PLATFORM_API int connect(SOCKET s, const sockaddr* name, int nameLength);
QV_PLATFORM_API int send(SOCKET s, const char* buffer, int length, int flags);
QV_PLATFORM_API int recv(SOCKET s, char* buffer, int length, int flags);
QV_PLATFORM_API int shutdown(SOCKET s, int how);
QV_PLATFORM_API int closesocket(SOCKET s);
QV_PLATFORM_API int setsockopt(SOCKET s, int level, int name, const char* value, int length);
QV_PLATFORM_API int getsockopt(SOCKET s, int level, int name, char* value, int* length);
QV_PLATFORM_API int getpeername(SOCKET s, sockaddr* name, int* nameLength);
QV_PLATFORM_API int ioctlsocket(SOCKET s, long command, u_long* argument);
QV_PLATFORM_API int WSAIoctl(SOCKET s, DWORD code, LPVOID inBuffer, DWORD inLength, LPVOID outBuffer,
                             DWORD outLength, LPDWORD bytesReturned, LPWSAOVERLAPPED overlapped,
                             LPWSAOVERLAPPED_COMPLETION_ROUTINE completion);

// `nfds` is ignored, as on Win32. A null timeout waits without limit. Named
// WinsockSelect so that it never meets the host's select() of the same shape;
// `select` below maps to it.
QV_PLATFORM_API int WinsockSelect(int nfds, fd_set* readSet, fd_set* writeSet, fd_set* exceptSet,
                                  const timeval* timeout);
#define select WinsockSelect

// Name look-ups, IPv4 only. gethostbyname's record lives in the calling thread
// until its next call.
QV_PLATFORM_API hostent* gethostbyname(const char* name);
QV_PLATFORM_API int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result);
QV_PLATFORM_API void freeaddrinfo(addrinfo* info);
QV_PLATFORM_API ULONG inet_addr(const char* text);
QV_PLATFORM_API char* inet_ntoa(in_addr address);
