#include "engine/content/Base64.h"

#include <cstring>

namespace content {
namespace {

constexpr int kDefaultDecodeLength = 500;

}  // namespace

void Base64Encode(std::string& out, const uint8_t* in, size_t length) {
  Base64EncodeState state;
  AppendStep(out, state, kBase64EncodeOneLine, std::string_view(reinterpret_cast<const char*>(in), length), true);
}

std::string Base64Encode(std::string_view in) {
  std::string out;
  Base64Encode(out, reinterpret_cast<const uint8_t*>(in.data()), in.size());
  return out;
}

int Base64DecodeGroup(std::string& out, const char* in, int length) {
  if (length < 0) length = kDefaultDecodeLength;
  // The text ends at its NUL, so that a short terminated text is never read
  // past its end (memchr reads no further than the byte it finds).
  const auto size = static_cast<size_t>(length);
  const auto* nul = size > 0 ? static_cast<const char*>(std::memchr(in, '\0', size)) : nullptr;
  const std::string_view text(in, nul != nullptr ? static_cast<size_t>(nul - in) : size);
  Base64DecodeState state;
  return static_cast<int>(AppendStep(out, state, kBase64DecodeGroups, text, false));
}

int Base64DecodeStream(Base64StreamState& state, std::string_view text, std::string& out) {
  text = text.substr(0, text.find('\0'));
  const size_t written = AppendStep(out, state, kBase64DecodeStrict, text, false);
  if (state.halt == CodecFault::kFail) {
    state = Base64StreamState{};
    return -1;
  }
  return static_cast<int>(written);
}

}  // namespace content
