// Where the header cache's rebuild takes each message's list fields from: the
// folder opens the stored message, reads it and decodes it. The cache itself
// knows nothing of mail decoding; the folder supplies the source.
#pragma once

#include <cstdint>
#include <string>

#include "platform/base/WinTypes.h"

struct QvMailHeaderFields {
  std::wstring toAddress;    // address part of the first To entry; empty when there is none
  std::wstring fromAddress;  // the sender's bare address
  std::wstring fromName;     // the sender's display name
  std::wstring subject;
  SYSTEMTIME date{};  // the mail's date as decoded, in local time
};

class QvMailHeaderSource {
 public:
  virtual ~QvMailHeaderSource() = default;
  // Fields of the stored message `id`; false with the cause in the error word.
  virtual bool ReadHeaderFields(uint32_t id, QvMailHeaderFields* out) = 0;
};
