// POP3 replies and fetched mail come from the server as they are: every
// reader of them must stay inside the bytes and agree with itself on where a
// reply ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/transport/PopReply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  pop::StatusOk(reply);
  const size_t lineEnd = pop::FirstLineEnd(reply);
  if (lineEnd != std::string_view::npos && (lineEnd >= size || reply[lineEnd] != '\n')) abort();
  const size_t end = pop::ListEnd(reply);
  if (end != std::string_view::npos && reply.substr(end, 5) != "\r\n.\r\n") abort();
  pop::Complete(reply, true);
  pop::Complete(reply, false);

  uint32_t a = 0;
  uint32_t b = 0;
  pop::ParseTwoNumbers(reply, &a, &b);
  // Every line of the reply as a UIDL and a LIST line.
  size_t start = 0;
  while (start < size) {
    size_t nl = reply.find('\n', start);
    const std::string_view line = reply.substr(start, nl == std::string_view::npos ? size - start : nl - start);
    std::string_view uid;
    if (pop::ParseUidlLine(line, &a, &uid)) {
      if (uid.empty() || uid.size() > pop::kMaxUidLength) abort();
    }
    pop::ParseListLine(line, &a, &b);
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  const std::string plain = pop::Unstuff(reply);
  if (plain.size() > size) abort();

  // A header read for a made-up UID, and the header-only mark: the digest
  // is always 32 hex digits, and the mark lands once with the text kept.
  pop::HeaderField(reply, "from");
  if (pop::MadeUid(reply, static_cast<uint32_t>(size)).size() != 32) abort();
  std::string marked(reply);
  pop::InsertOversizeMark(marked);
  if (marked.size() < size + pop::kOversizeMark.size() || marked.size() > size + pop::kOversizeMark.size() + 2) abort();
  if (marked.find(pop::kOversizeMark) == std::string::npos) abort();
  return 0;
}
