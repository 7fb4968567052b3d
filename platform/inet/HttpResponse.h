// The header block of one HTTP response, taken line by line as libcurl hands
// it over, and the answers HttpQueryInfoW gives from it:
//
//   HTTP/1.1 200 OK
//   Content-Type: application/rss+xml
//   Content-Length: 5120
//   (empty line)
//
// A new status line (after a 1xx interim answer, or on the next hop of a
// redirect) starts the block again. A hostile server cannot make it grow
// beyond kMaxBytes or kMaxFields.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/base/WinTypes.h"

namespace qv::inet {

class HttpResponse {
 public:
  static constexpr size_t kMaxBytes = 64 * 1024;
  static constexpr size_t kMaxFields = 256;

  enum class Take { More, Complete, Malformed };
  // One line with or without its CR LF.
  Take TakeLine(std::string_view line);
  void Clear();

  bool Complete() const { return complete_; }
  DWORD Status() const { return status_; }
  // The `index`-th field of that name (case ignored), or null.
  const std::string* Field(std::string_view name, size_t index = 0) const;

  // HttpQueryInfoW's answer: ERROR_SUCCESS or the error. `customName` is the
  // field name HTTP_QUERY_CUSTOM asks for.
  DWORD Query(DWORD infoLevel, std::string_view customName, void* buffer, DWORD* bufferLength,
              DWORD* index) const;

 private:
  struct FieldLine {
    std::string name, value;
  };
  bool StatusLine(std::string_view line);
  std::string RawHeaders(std::string_view separator) const;

  std::string version_;
  std::string reason_;
  DWORD status_ = 0;
  std::vector<FieldLine> fields_;
  size_t bytes_ = 0;
  bool started_ = false;
  bool complete_ = false;
};

}  // namespace qv::inet
