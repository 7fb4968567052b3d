// The WinINet entry points: argument checks, the handle table, and the
// request's transfer.
#include "platform/inet/WinInet.h"

#include <cwchar>

#include "platform/base/WideText.h"
#include "platform/inet/CurlLibrary.h"
#include "platform/inet/InetHandles.h"
#include "platform/inet/InetText.h"

using qv::inet::Connection;
using qv::inet::InetObject;
using qv::inet::Request;
using qv::inet::Session;

namespace {

// libcurl loaded and set up, once, before any transfer of any thread.
bool CurlReady() { return qv::inet::LoadCurl() != nullptr; }

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

HINTERNET FailHandle(DWORD error) {
  SetLastError(error);
  return nullptr;
}

std::wstring_view Text(LPCWSTR text) { return text == nullptr ? std::wstring_view() : std::wstring_view(text); }

// "Name: value" lines separated by CR LF; an empty line is skipped. The name
// is a token and the value holds no control character but TAB.
bool SplitHeaders(std::string_view text, std::vector<std::string>* lines) {
  while (!text.empty()) {
    const size_t end = text.find("\r\n");
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 2);
    if (line.empty()) continue;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    for (size_t i = 0; i < line.size(); ++i) {
      const auto c = static_cast<unsigned char>(line[i]);
      const bool bad = i < colon ? (c <= 0x20 || c >= 0x7F || c == ':') : ((c < 0x20 && c != '\t') || c == 0x7F);
      if (bad) return false;
    }
    lines->emplace_back(line);
  }
  return true;
}

}  // namespace

extern "C" {

HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR, LPCWSTR, DWORD) {
  if (accessType == INTERNET_OPEN_TYPE_PROXY) return FailHandle(ERROR_INVALID_PARAMETER);
  if (!CurlReady()) return FailHandle(ERROR_INTERNET_INTERNAL_ERROR);
  // The agent goes into a header line: no control character may reach it.
  std::string name = qv::WideToUtf8(Text(agent));
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return qv::inet::AddHandle(std::make_shared<Session>(std::move(name)));
}

HINTERNET InternetConnectW(HINTERNET session, LPCWSTR serverName, INTERNET_PORT port, LPCWSTR userName,
                           LPCWSTR password, DWORD service, DWORD, DWORD_PTR) {
  auto owner = qv::inet::Find<Session>(session, InetObject::Kind::Session);
  if (owner == nullptr) return nullptr;
  if (service != INTERNET_SERVICE_HTTP || !Text(userName).empty() || !Text(password).empty())
    return FailHandle(ERROR_INVALID_PARAMETER);
  std::string host;
  if (!qv::inet::WideToUrlBytes(Text(serverName), &host) || !qv::inet::ValidHost(host))
    return FailHandle(ERROR_INTERNET_INVALID_URL);
  const uint16_t p = port == INTERNET_INVALID_PORT_NUMBER ? INTERNET_DEFAULT_HTTP_PORT : port;
  return qv::inet::AddHandle(std::make_shared<Connection>(std::move(owner), std::move(host), p));
}

HINTERNET HttpOpenRequestW(HINTERNET connection, LPCWSTR verb, LPCWSTR objectName, LPCWSTR, LPCWSTR, LPCWSTR*,
                           DWORD flags, DWORD_PTR) {
  auto owner = qv::inet::Find<Connection>(connection, InetObject::Kind::Connection);
  if (owner == nullptr) return nullptr;
  qv::inet::HttpTransfer::Plan plan;
  plan.verb = verb == nullptr || *verb == L'\0' ? std::string("GET") : qv::WideToUtf8(verb);
  for (char c : plan.verb) {
    if (c < 'A' || c > 'Z') return FailHandle(ERROR_INVALID_PARAMETER);
  }
  std::string bytes;
  if (!qv::inet::WideToUrlBytes(Text(objectName), &bytes) || !qv::inet::EncodePath(bytes, &plan.path))
    return FailHandle(ERROR_INTERNET_INVALID_URL);
  const auto* session = static_cast<const Session*>(owner->parent.get());
  plan.agent = session->agent;
  plan.host = owner->host;
  plan.port = owner->port;
  plan.pragmaNoCache = (flags & INTERNET_FLAG_PRAGMA_NOCACHE) != 0;
  plan.followRedirects = (flags & INTERNET_FLAG_NO_AUTO_REDIRECT) == 0 && (plan.verb == "GET" || plan.verb == "HEAD");
  return qv::inet::AddHandle(std::make_shared<Request>(std::move(owner), std::move(plan)));
}

BOOL HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength) {
  auto r = qv::inet::Find<Request>(request, InetObject::Kind::Request);
  if (r == nullptr) return FALSE;
  if (r->sent) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  std::vector<std::string> lines;
  if (headers != nullptr) {
    const size_t n = headersLength == static_cast<DWORD>(-1) ? std::wcslen(headers) : headersLength;
    if (!SplitHeaders(qv::WideToUtf8(std::wstring_view(headers, n)), &lines)) return Fail(ERROR_HTTP_INVALID_HEADER);
  }
  if (optional == nullptr && optionalLength != 0) return Fail(ERROR_INVALID_PARAMETER);
  std::string body(static_cast<const char*>(optional), optional == nullptr ? 0 : optionalLength);
  r->sent = true;
  const DWORD rc = r->transfer.Send(r->plan, std::move(lines), std::move(body));
  return rc == ERROR_SUCCESS ? TRUE : Fail(rc);
}

BOOL HttpQueryInfoW(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength, LPDWORD index) {
  auto r = qv::inet::Find<Request>(request, InetObject::Kind::Request);
  if (r == nullptr) return FALSE;
  std::string custom;
  if ((infoLevel & 0xFFFFu) == HTTP_QUERY_CUSTOM) {
    if (buffer == nullptr) return Fail(ERROR_INVALID_PARAMETER);
    custom = qv::WideToUtf8(static_cast<LPCWSTR>(buffer));
  }
  const DWORD rc = r->transfer.Response().Query(infoLevel, custom, buffer, bufferLength, index);
  return rc == ERROR_SUCCESS ? TRUE : Fail(rc);
}

BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read) {
  if (read == nullptr || (buffer == nullptr && toRead != 0)) return Fail(ERROR_INVALID_PARAMETER);
  *read = 0;
  auto r = qv::inet::Find<Request>(file, InetObject::Kind::Request);
  if (r == nullptr) return FALSE;
  if (!r->sent) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  const DWORD rc = r->transfer.Read(buffer, toRead, read);
  return rc == ERROR_SUCCESS ? TRUE : Fail(rc);
}

BOOL InternetCloseHandle(HINTERNET handle) {
  return qv::inet::RemoveHandle(handle) ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

BOOL InternetCanonicalizeUrlW(LPCWSTR url, LPWSTR buffer, LPDWORD bufferLength, DWORD flags) {
  if (url == nullptr || bufferLength == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::wstring out;
  if (const DWORD rc = qv::inet::CanonicalizeUrl(url, flags, &out); rc != ERROR_SUCCESS) return Fail(rc);
  const size_t units = qv::Utf16Length(out);
  if (buffer == nullptr || *bufferLength < units + 1) {
    *bufferLength = static_cast<DWORD>(units + 1);
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::wmemcpy(buffer, out.c_str(), out.size() + 1);
  *bufferLength = static_cast<DWORD>(units);
  return TRUE;
}

BOOL HttpSetMaxBodyLength(HINTERNET request, ULONGLONG maxBytes) {
  auto r = qv::inet::Find<Request>(request, InetObject::Kind::Request);
  if (r == nullptr) return FALSE;
  r->transfer.SetMaxBody(maxBytes);
  return TRUE;
}

}  // extern "C"
