#include "engine/public/feeds/RssHttp.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <new>

#include "platform/base/ScopedHandle.h"
#include "platform/inet/WinInet.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Sync.h"
#include "platform/net/ConnMgr.h"
#include "platform/net/NetworkWait.h"

namespace {

// The transfer's parameter block, handed to the worker as an array of slots.
enum Slot {
  kSelf,        // RssHttp*
  kSession,     // HINTERNET*
  kHost,        // const std::wstring*
  kPath,        // const std::wstring*
  kParams,      // const std::wstring*
  kAbortWatch,  // const std::wstring* of the caller, or null for text
  kLength,      // the watched text's length at the call
  kStatus,      // DWORD* for the connection query
  kAbortFlag,   // std::atomic<bool>*: what the worker sees of the abort watch
  kSlots
};

constexpr DWORD kChunk = 1023;

enum class WaitEnd { Finished, LinkLost, StillRunning };

struct InternetHandle {
  explicit InternetHandle(HINTERNET h) : handle(h) {}
  ~InternetHandle() {
    if (handle != nullptr) InternetCloseHandle(handle);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  HINTERNET handle;
};

// The data connection is down, or its state cannot be read.
bool LinkDown(void* connection, DWORD* status) {
  return FAILED(ConnMgrConnectionStatus(connection, status)) || *status != CONNMGR_STATUS_CONNECTED;
}

DWORD StartWorker(void* params) { return static_cast<DWORD>(RssHttp::OpenURLThread(static_cast<void**>(params))); }

// "feeds.example.jp:8080" -> name and port; the default port is 80. Only
// digits make a port, and only 1 to 65535.
bool SplitHost(const std::wstring& host, std::wstring* name, INTERNET_PORT* port) {
  const size_t colon = host.find(L':');
  *name = host.substr(0, colon);
  *port = INTERNET_DEFAULT_HTTP_PORT;
  if (colon == std::wstring::npos) return true;
  const std::wstring digits = host.substr(colon + 1);
  if (digits.empty() || digits.size() > 5) return false;
  DWORD value = 0;
  for (wchar_t c : digits) {
    if (c < L'0' || c > L'9') return false;
    value = value * 10 + static_cast<DWORD>(c - L'0');
  }
  if (value < 1 || value > 65535) return false;
  *port = static_cast<INTERNET_PORT>(value);
  return true;
}

// The status as a number; asked again while the platform has no header yet,
// but never past the transfer's own deadline.
bool ReadStatus(HINTERNET request, DWORD* status) {
  const DWORD deadline = GetTickCount() + qv::NetworkWaitStep() * qv::NetworkWaitSteps();
  for (;;) {
    DWORD size = sizeof(DWORD);
    if (HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, status, &size, nullptr)) return true;
    if (GetLastError() != ERROR_HTTP_HEADER_NOT_FOUND || static_cast<LONG>(GetTickCount() - deadline) >= 0)
      return false;
    Sleep(10);
  }
}

}  // namespace

RssHttp::RssHttp() : wake(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

RssHttp::RssHttp(const std::wstring& agentName) : agent(agentName), wake(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

RssHttp::~RssHttp() {
  ClearBuf();
  if (wake != nullptr) CloseHandle(wake);
}

void RssHttp::Interrupt() {
  if (wake != nullptr) SetEvent(wake);
}

void RssHttp::ClearInterrupt() {
  if (wake != nullptr) ResetEvent(wake);
}

void RssHttp::ClearBuf() {
  delete[] buffer;
  buffer = nullptr;
  bufferLength = 0;
}

int RssHttp::OpenURL(void* conn, const std::wstring& host, const std::wstring& path, const std::wstring& params,
                     void* abortWatch, int length) {
  connection = conn;
  return OpenURL(host, path, params, abortWatch, length);
}

int RssHttp::OpenURL(const std::wstring& host, const std::wstring& path, const std::wstring& params,
                     void* abortWatch, int length) {
  HINTERNET session = InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (session == nullptr) return -2;
  ClearBuf();

  DWORD status = 0;
  std::atomic<bool> abortFlag{false};
  void* block[kSlots] = {};
  block[kSelf] = this;
  block[kSession] = &session;
  block[kHost] = const_cast<std::wstring*>(&host);
  block[kPath] = const_cast<std::wstring*>(&path);
  block[kParams] = const_cast<std::wstring*>(&params);
  block[kAbortWatch] = abortWatch;
  block[kLength] = reinterpret_cast<void*>(static_cast<intptr_t>(length));
  block[kStatus] = &status;
  block[kAbortFlag] = &abortFlag;
  const qv::ScopedHandle thread(CreateThread(nullptr, 0, StartWorker, block, 0, nullptr));
  if (!thread) {
    InternetCloseHandle(session);
    return -3;
  }
  NKDbgPrintfW(L"*** RssHttp Http Recv Thread START ***\r\n");

  // Closing the session makes the worker's pending calls fail at once.
  bool sessionOpen = true;
  auto stopWorker = [&] {
    if (sessionOpen) InternetCloseHandle(session);
    sessionOpen = false;
  };
  const auto* watched = static_cast<const std::wstring*>(abortWatch);
  WaitEnd end = WaitEnd::Finished;
  for (DWORD steps = 0;;) {
    // Once the worker was told to stop, only its end is waited for.
    const HANDLE waits[2] = {thread.get(), wake};
    const DWORD count = abortFlag || wake == nullptr ? 1 : 2;
    const DWORD woke = WaitForMultipleObjects(count, waits, FALSE, qv::NetworkWaitStep());
    if (woke == WAIT_OBJECT_0) break;
    const bool stopAsked = (watched != nullptr && watched->empty()) || (cancelWatch != nullptr && *cancelWatch);
    if (stopAsked && !abortFlag) {
      abortFlag = true;
      stopWorker();
    }
    if (woke == WAIT_OBJECT_0 + 1) {
      // An interrupt is no wait step; one without a raised flag is stale.
      if (!stopAsked) ClearInterrupt();
      continue;
    }
    if (connection != nullptr && LinkDown(connection, &status)) {
      end = WaitEnd::LinkLost;
      break;
    }
    if (++steps >= qv::NetworkWaitSteps()) {
      end = WaitEnd::StillRunning;
      break;
    }
  }
  if (end != WaitEnd::Finished) {
    stopWorker();
    WaitForSingleObject(thread.get(), INFINITE);
  }
  NKDbgPrintfW(L"*** RssHttp Http Recv Thread END ***\r\n");

  DWORD exitCode = 0;
  if (!GetExitCodeThread(thread.get(), &exitCode)) {
    stopWorker();
    return -9;
  }
  const int code = static_cast<int>(exitCode);
  if ((code == -7 || code == -6 || code == -5) && connection != nullptr && LinkDown(connection, &status))
    end = WaitEnd::LinkLost;
  stopWorker();

  if (end == WaitEnd::StillRunning) return -8;
  const int result = end == WaitEnd::LinkLost ? -10 : code;
  if (end == WaitEnd::LinkLost) NKDbgPrintfW(L"*** RAS Connection is disconnet***\r\n");
  NKDbgPrintfW(L" OpenURL ret:[%d] \r\n", result);
  if (result != HTTP_STATUS_OK) ClearBuf();
  return result;
}

//   GET /feed.rdf?mode=push HTTP/1.1        HTTP/1.1 200 OK
//   Host: feeds.example.jp                  Content-Length: 5120
//   User-Agent: Rivulet Middle (...)        (empty line)
//   (empty line)                            <5120 bytes, read 1023 at a time>
int RssHttp::OpenURLThread(void** params) {
  auto* self = static_cast<RssHttp*>(params[kSelf]);
  const HINTERNET session = *static_cast<HINTERNET*>(params[kSession]);
  const auto& host = *static_cast<const std::wstring*>(params[kHost]);
  const auto& path = *static_cast<const std::wstring*>(params[kPath]);
  const auto& form = *static_cast<const std::wstring*>(params[kParams]);
  const bool binary = params[kAbortWatch] != nullptr;
  const auto& aborted = *static_cast<const std::atomic<bool>*>(params[kAbortFlag]);
  // A failure of a download that was asked to stop is the stop.
  auto failed = [&](int code) {
    if (!aborted) return code;
    NKDbgPrintfW(L"*** RssHttp Http Recv Thread ABORT ***\r\n");
    return -12;
  };

  std::wstring name;
  INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
  InternetHandle connect(SplitHost(host, &name, &port) ? InternetConnectW(session, name.c_str(), port, nullptr,
                                                                          nullptr, INTERNET_SERVICE_HTTP, 0, 0)
                                                       : nullptr);
  if (connect.handle == nullptr) {
    NKDbgPrintfW(L"RssHttp HTTP_THREAD_INTERNET_OPEN_ERR\r\n");
    return failed(-4);
  }
  const bool post = !form.empty();
  const DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE | (post ? 0 : INTERNET_FLAG_RELOAD);
  InternetHandle request(
      HttpOpenRequestW(connect.handle, post ? L"POST" : L"GET", path.c_str(), nullptr, nullptr, nullptr, flags, 0));
  if (request.handle == nullptr) {
    NKDbgPrintfW(L"RssHttp HTTP_THREAD_REQUEST_ERR\r\n");
    return failed(-5);
  }
  HttpSetMaxBodyLength(request.handle, kMaxBody);
  const BOOL sent = post ? HttpSendRequestW(request.handle, form.c_str(), static_cast<DWORD>(form.size()), nullptr, 0)
                         : HttpSendRequestW(request.handle, nullptr, 0, nullptr, 0);
  if (!sent) return failed(GetLastError() == ERROR_INTERNET_TIMEOUT ? -8 : -6);

  DWORD status = 0;
  if (!ReadStatus(request.handle, &status)) return failed(-7);
  if (status == HTTP_STATUS_NOT_FOUND) return -11;
  if (status >= 300) return static_cast<int>(status);

  DWORD length = 0;
  DWORD size = sizeof length;
  if (!HttpQueryInfoW(request.handle, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr))
    length = 0;
  if (length == 0) {
    if (binary) {
      NKDbgPrintfW(L"*** RssHttp::OpenURLThread HTTP_QUERY_CONTENT_LENGTH ERROR!!!\r\n");
      return failed(-7);
    }
    length = kTextBuffer;
  }
  if (length > kMaxBody) return failed(-7);
  self->buffer = new (std::nothrow) char[length]();
  if (self->buffer == nullptr) return failed(-7);
  self->bufferLength = length;
  self->responseText.clear();
  // Not a byte more than the buffer holds: a longer body fails the read.
  HttpSetMaxBodyLength(request.handle, length);

  for (DWORD total = 0;;) {
    const DWORD want = std::min(kChunk, length - total);
    char probe = 0;
    DWORD got = 0;
    if (!InternetReadFile(request.handle, want > 0 ? self->buffer + total : &probe, want > 0 ? want : 1, &got))
      return failed(GetLastError() == ERROR_INTERNET_TIMEOUT ? -8 : -7);
    if (got == 0) break;
    if (want == 0) return failed(-7);  // more than the buffer holds
    total += got;
    if (aborted) {
      NKDbgPrintfW(L"*** RssHttp Http Recv Thread ABORT ***\r\n");
      return -12;
    }
  }
  return static_cast<int>(status);
}

std::wstring RssHttp::Escape(const std::wstring& text) {
  static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (std::wcschr(L"?&=% <>\r\n", c) != nullptr && c != L'\0') {
      out += L'%';
      out += kHex[(c >> 4) & 0xF];
      out += kHex[c & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

void RssHttp::AddParam(std::wstring& query, const std::wstring& name, const std::wstring& value) {
  query += query.find(L'?') == std::wstring::npos ? L'?' : L'&';
  query += Escape(name);
  query += L'=';
  query += Escape(value);
}
