// Response header blocks as a hostile server sends them, line by line, then
// every query the HTTP client makes of them. Whatever the lines, the block
// stays within its bounds, a text answer is terminated inside the caller's
// buffer and fits the size it reports, and a too small buffer is told the
// size it needs.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/inet/HttpResponse.h"
#include "platform/inet/WinInet.h"

namespace {

void Check(const qv::inet::HttpResponse& r, DWORD level, std::string_view custom) {
  for (DWORD room : {0u, 2u, 4u, 8u, 64u, 4096u}) {
    std::vector<WCHAR> buffer(room / 2 + 1, L'\x7777');
    DWORD size = room;
    DWORD index = 0;
    const DWORD rc = r.Query(level, custom, buffer.data(), &size, &index);
    if (rc == ERROR_INSUFFICIENT_BUFFER && size <= room) __builtin_trap();
    if (rc != ERROR_SUCCESS) continue;
    if (level & HTTP_QUERY_FLAG_NUMBER) {
      if (size != sizeof(DWORD) || room < sizeof(DWORD)) __builtin_trap();
    } else {
      // Wide characters here: the size counts 2 bytes a UTF-16 unit.
      if (size + 2 > room) __builtin_trap();
      if (std::find(buffer.begin(), buffer.begin() + size / 2 + 1, L'\0') == buffer.begin() + size / 2 + 1 &&
          level != HTTP_QUERY_RAW_HEADERS)
        __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  qv::inet::HttpResponse response;
  size_t lines = 0;
  while (!input.empty()) {
    const size_t end = input.find('\n');
    const std::string_view line = input.substr(0, end == std::string_view::npos ? input.size() : end + 1);
    input.remove_prefix(line.size());
    ++lines;
    if (response.TakeLine(line) == qv::inet::HttpResponse::Take::Malformed) break;
  }
  if (response.Complete() && (response.Status() < 200 || response.Status() > 999)) __builtin_trap();
  const DWORD levels[] = {HTTP_QUERY_STATUS_CODE,          HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                          HTTP_QUERY_CONTENT_LENGTH,       HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                          HTTP_QUERY_CONTENT_TYPE,         HTTP_QUERY_LOCATION,
                          HTTP_QUERY_STATUS_TEXT,          HTTP_QUERY_VERSION,
                          HTTP_QUERY_RAW_HEADERS,          HTTP_QUERY_RAW_HEADERS_CRLF,
                          HTTP_QUERY_CUSTOM,               HTTP_QUERY_CUSTOM | HTTP_QUERY_FLAG_NUMBER};
  for (DWORD level : levels) Check(response, level, "X-Test");
  (void)lines;
  return 0;
}
