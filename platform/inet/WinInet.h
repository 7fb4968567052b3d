// The WinINet subset the feed side calls: a session, a connection to an HTTP
// server, one request on it, its status and header fields, its body, and URL
// canonicalization. Transfers run over libcurl, synchronously on the calling
// thread; only InternetCloseHandle may come from another thread, and it makes
// the pending and later calls on that handle and every handle below it fail
// (ERROR_INTERNET_OPERATION_CANCELLED, then ERROR_INVALID_HANDLE).
//
// What this host adds to the device's behaviour:
// - no proxy, whatever the environment says; only http;
// - a GET or HEAD follows at most 10 redirects, to http only
//   (ERROR_HTTP_REDIRECT_FAILED beyond); other verbs never follow;
// - hosts and paths holding a byte below 0x21 or 0x7F are refused
//   (ERROR_INTERNET_INVALID_URL): no CR, LF or NUL reaches a request line;
//   other bytes of the device's code page are sent percent-encoded;
// - a body is capped (8 MiB unless HttpSetMaxBodyLength says otherwise): an
//   announced length beyond the cap fails the send, a body that grows beyond
//   it fails the read, both with ERROR_INSUFFICIENT_BUFFER;
// - the host table of the network seams decides where a host name connects;
// - every response has deadlines of its own (inet_seam::Deadlines): headers
//   that do not come in time fail the send, a body that trickles below a
//   floor rate of its length or stalls fails the read, both with
//   ERROR_INTERNET_TIMEOUT.
// Header texts are exchanged as WCHAR buffers whose byte sizes count 2 bytes
// per UTF-16 unit, as on the device.
#pragma once

#include "platform/base/WinTypes.h"

typedef void* HINTERNET;
typedef HINTERNET* LPHINTERNET;
typedef WORD INTERNET_PORT;
typedef ULONG_PTR DWORD_PTR;

#define INTERNET_OPEN_TYPE_PRECONFIG 0
#define INTERNET_OPEN_TYPE_DIRECT 1
#define INTERNET_OPEN_TYPE_PROXY 3

#define INTERNET_INVALID_PORT_NUMBER 0
#define INTERNET_DEFAULT_HTTP_PORT 80

#define INTERNET_SERVICE_HTTP 3

#define INTERNET_FLAG_RELOAD 0x80000000u
#define INTERNET_FLAG_NO_CACHE_WRITE 0x04000000u
#define INTERNET_FLAG_KEEP_CONNECTION 0x00400000u
#define INTERNET_FLAG_NO_AUTO_REDIRECT 0x00200000u
#define INTERNET_FLAG_PRAGMA_NOCACHE 0x00000100u

// HttpQueryInfoW: attributes (low 16 bits) and modifiers.
#define HTTP_QUERY_CONTENT_TYPE 1
#define HTTP_QUERY_CONTENT_LENGTH 5
#define HTTP_QUERY_DATE 9
#define HTTP_QUERY_EXPIRES 10
#define HTTP_QUERY_LAST_MODIFIED 11
#define HTTP_QUERY_VERSION 18
#define HTTP_QUERY_STATUS_CODE 19
#define HTTP_QUERY_STATUS_TEXT 20
#define HTTP_QUERY_RAW_HEADERS 21
#define HTTP_QUERY_RAW_HEADERS_CRLF 22
#define HTTP_QUERY_CONNECTION 23
#define HTTP_QUERY_CONTENT_ENCODING 29
#define HTTP_QUERY_LOCATION 33
#define HTTP_QUERY_SERVER 37
#define HTTP_QUERY_CUSTOM 65
#define HTTP_QUERY_MODIFIER_FLAGS_MASK 0xF0000000u
#define HTTP_QUERY_FLAG_REQUEST_HEADERS 0x80000000u
#define HTTP_QUERY_FLAG_SYSTEMTIME 0x40000000u
#define HTTP_QUERY_FLAG_NUMBER 0x20000000u

#define HTTP_STATUS_OK 200
#define HTTP_STATUS_NOT_FOUND 404

// InternetCanonicalizeUrlW.
#define ICU_NO_ENCODE 0x20000000u
#define ICU_DECODE 0x10000000u
#define ICU_NO_META 0x08000000u
#define ICU_ENCODE_SPACES_ONLY 0x04000000u
#define ICU_BROWSER_MODE 0x02000000u
#define ICU_ENCODE_PERCENT 0x00001000u

#define INTERNET_ERROR_BASE 12000
#define ERROR_INTERNET_TIMEOUT 12002L
#define ERROR_INTERNET_INTERNAL_ERROR 12004L
#define ERROR_INTERNET_INVALID_URL 12005L
#define ERROR_INTERNET_UNRECOGNIZED_SCHEME 12006L
#define ERROR_INTERNET_NAME_NOT_RESOLVED 12007L
#define ERROR_INTERNET_INVALID_OPERATION 12016L
#define ERROR_INTERNET_OPERATION_CANCELLED 12017L
#define ERROR_INTERNET_INCORRECT_HANDLE_TYPE 12018L
#define ERROR_INTERNET_INCORRECT_HANDLE_STATE 12019L
#define ERROR_INTERNET_CANNOT_CONNECT 12029L
#define ERROR_INTERNET_CONNECTION_ABORTED 12030L
#define ERROR_INTERNET_CONNECTION_RESET 12031L
#define ERROR_HTTP_HEADER_NOT_FOUND 12150L
#define ERROR_HTTP_INVALID_SERVER_RESPONSE 12152L
#define ERROR_HTTP_INVALID_HEADER 12153L
#define ERROR_HTTP_INVALID_QUERY_REQUEST 12154L
#define ERROR_HTTP_REDIRECT_FAILED 12156L

extern "C" {

// `accessType` INTERNET_OPEN_TYPE_PROXY is refused (ERROR_INVALID_PARAMETER);
// the others go direct.
QV_PLATFORM_API HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass,
                                        DWORD flags);
// HTTP only; port 0 is the service's default (80). User name and password are
// not supported (ERROR_INVALID_PARAMETER when given).
QV_PLATFORM_API HINTERNET InternetConnectW(HINTERNET session, LPCWSTR serverName, INTERNET_PORT port,
                                           LPCWSTR userName, LPCWSTR password, DWORD service, DWORD flags,
                                           DWORD_PTR context);
// A null verb is "GET"; a null or empty object name is "/".
QV_PLATFORM_API HINTERNET HttpOpenRequestW(HINTERNET connection, LPCWSTR verb, LPCWSTR objectName,
                                           LPCWSTR version, LPCWSTR referrer, LPCWSTR* acceptTypes, DWORD flags,
                                           DWORD_PTR context);
// Sends the request and waits for the final header block. `headers` are
// "Name: value" lines separated by CR LF (length in characters, or -1 for a
// terminated text); a line of another form fails with ERROR_HTTP_INVALID_HEADER.
QV_PLATFORM_API BOOL HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID optional,
                                      DWORD optionalLength);
// Before the header block has arrived: ERROR_HTTP_HEADER_NOT_FOUND.
QV_PLATFORM_API BOOL HttpQueryInfoW(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength,
                                    LPDWORD index);
// TRUE with *read 0 at the end of the body.
QV_PLATFORM_API BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read);
QV_PLATFORM_API BOOL InternetCloseHandle(HINTERNET handle);
// Sizes in characters. Characters beyond ASCII are encoded as the %XX of
// their bytes in the device's code page (CP932); one it cannot hold fails
// with ERROR_BAD_PATHNAME. A text without a scheme is ERROR_INTERNET_INVALID_URL.
QV_PLATFORM_API BOOL InternetCanonicalizeUrlW(LPCWSTR url, LPWSTR buffer, LPDWORD bufferLength, DWORD flags);

// This platform's own: the largest body the caller takes from `request`
// (before the send: also refuses a larger announced length).
QV_PLATFORM_API BOOL HttpSetMaxBodyLength(HINTERNET request, ULONGLONG maxBytes);

}  // extern "C"
