// The secure-socket option, as the device offers it on a Winsock socket:
//
//   DWORD on = SO_SEC_SSL;
//   setsockopt(s, SOL_SOCKET, SO_SECURE, (char*)&on, sizeof on);      // before connect
//   SSLVALIDATECERTHOOK hook = {certificateValidationCallback, hostName};
//   WSAIoctl(s, SO_SSL_SET_VALIDATE_CERT_HOOK, &hook, sizeof hook, NULL, 0, &n, NULL, NULL);
//   connect(s, ...);                                                   // handshake runs inside
//
// STARTTLS: set SO_SSL_SET_FLAGS to SSL_FLAG_DEFER_HANDSHAKE before connect;
// the socket then starts in plain text until
//   WSAIoctl(s, SO_SSL_PERFORM_HANDSHAKE, hostName, strlen(hostName) + 1, NULL, 0, &n, NULL, NULL);
//
// TLS 1.2 or later; SNI is the handshake's host name, else the name the
// address was looked up by (or mapped by the test host table). The chain is
// verified against the system trust store plus the test CA file (Seams.h).
// The hook receives SSL_CERT_X509, its argument, chain length 1, a BLOB with
// the DER leaf certificate, and SSL_CERT_FLAG_ISSUER_UNKNOWN when the chain
// does not verify (the leaf's own validity period and host name are left to
// the hook). Any result but SSL_ERR_OKAY aborts the handshake. Without a hook,
// only a fully verified chain naming the host is accepted.
//
// A failed handshake (refused certificate, protocol error, time-out, pending
// plain text before a deferred handshake) fails the call with WSAECONNABORTED
// (WSAETIMEDOUT, WSAEINTR for those) and leaves the socket unusable: every
// later send and recv fails, so nothing falls back to plain text.
#pragma once

#include "platform/net/Winsock.h"

#define SO_SECURE 0x2001
#define SO_SEC_SSL 0x2004

#define SO_SSL_SET_FLAGS 0x90730002u
#define SO_SSL_SET_VALIDATE_CERT_HOOK 0x90730008u
#define SO_SSL_PERFORM_HANDSHAKE 0x1073000du

#define SSL_FLAG_DEFER_HANDSHAKE 0x0008

#define SSL_CERT_X509 1
#define SSL_CERT_FLAG_ISSUER_UNKNOWN 0x0001
#define SSL_ERR_OKAY 0

struct BLOB {
  ULONG cbSize;
  BYTE* pBlobData;
};
typedef BLOB* LPBLOB;

// `certChain` points to a BLOB holding the DER leaf certificate.
typedef DWORD (*SSLVALIDATECERTFUNC)(DWORD type, LPVOID argument, DWORD chainLength, LPVOID certChain,
                                     DWORD flags);

struct SSLVALIDATECERTHOOK {
  SSLVALIDATECERTFUNC HookFunc;
  LPVOID pvArg;
};
typedef SSLVALIDATECERTHOOK* PSSLVALIDATECERTHOOK;
