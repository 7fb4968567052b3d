#include "engine/content/Base64.h"

#include "engine/content/MailCodec.h"

namespace content {
namespace {

constexpr int kDefaultDecodeLength = 500;

// Decodes one group whose first two characters are alphabet characters and
// whose others are alphabet characters or "=". Returns the bytes it gave.
int DecodeQuad(std::string& out, const char* g) {
  int a = Base64Value(static_cast<uint8_t>(g[0])), b = Base64Value(static_cast<uint8_t>(g[1]));
  out.push_back(static_cast<char>(a << 2 | b >> 4));
  if (g[2] == '=') return 1;
  int c = Base64Value(static_cast<uint8_t>(g[2]));
  out.push_back(static_cast<char>((b & 15) << 4 | c >> 2));
  if (g[3] == '=') return 2;
  out.push_back(static_cast<char>((c & 3) << 6 | Base64Value(static_cast<uint8_t>(g[3]))));
  return 3;
}

bool IsAlphabet(char c) { return Base64Value(static_cast<uint8_t>(c)) >= 0; }

}  // namespace

void Base64Encode(std::string& out, const uint8_t* in, size_t length) {
  const size_t start = out.size();
  out.resize(start + (length + 2) / 3 * 4);
  char* w = out.data() + start;
  size_t i = 0;
  for (; i + 3 <= length; i += 3, w += 4) {
    uint32_t v = static_cast<uint32_t>(in[i] << 16 | in[i + 1] << 8 | in[i + 2]);
    w[0] = kBase64Alphabet[v >> 18];
    w[1] = kBase64Alphabet[(v >> 12) & 63];
    w[2] = kBase64Alphabet[(v >> 6) & 63];
    w[3] = kBase64Alphabet[v & 63];
  }
  if (i < length) {
    bool two = i + 1 < length;
    uint32_t v = static_cast<uint32_t>(in[i] << 16 | (two ? in[i + 1] << 8 : 0));
    w[0] = kBase64Alphabet[v >> 18];
    w[1] = kBase64Alphabet[(v >> 12) & 63];
    w[2] = two ? kBase64Alphabet[(v >> 6) & 63] : '=';
    w[3] = '=';
  }
}

std::string Base64Encode(std::string_view in) {
  std::string out;
  Base64Encode(out, reinterpret_cast<const uint8_t*>(in.data()), in.size());
  return out;
}

int Base64DecodeGroup(std::string& out, const char* in, int length) {
  if (length < 0) length = kDefaultDecodeLength;
  int written = 0;
  for (int i = 0; length - i >= 4; i += 4) {
    const char* g = in + i;
    if (g[0] == '\0') break;
    // A NUL stops the walk inside the group as well, so that a short
    // terminated text is never read past its end.
    if (!IsAlphabet(g[0]) || !IsAlphabet(g[1])) break;
    if (!(IsAlphabet(g[2]) || g[2] == '=') || !(IsAlphabet(g[3]) || g[3] == '=')) break;
    written += DecodeQuad(out, g);
  }
  return written;
}

int Base64DecodeStream(Base64StreamState& state, std::string_view text, std::string& out) {
  int written = 0;
  for (char c : text) {
    if (c == '\0') break;
    if (c == '\r' || c == '\n') continue;
    if (c != '=' && !IsAlphabet(c)) {
      state = Base64StreamState{};
      return -1;
    }
    if (state.finished) continue;  // nothing counts after the padding
    state.chars[state.pending++] = c;
    if (state.pending < 4) continue;
    state.pending = 0;
    const char* g = state.chars;
    if (g[0] == '=' || g[1] == '=') {
      state = Base64StreamState{};
      return -1;
    }
    int made = DecodeQuad(out, g);
    written += made;
    if (made < 3) state.finished = true;
  }
  return written;
}

}  // namespace content
