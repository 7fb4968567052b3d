#include "engine/content/MailCodec.h"

#include "engine/content/Base64.h"
#include "engine/foundation/MailMemory.h"

namespace content {

constexpr char kBase64Alphabet[65] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

namespace {

constexpr int kBase64LineLength = 72;
constexpr int kQpLineLength = 72;
const char kHex[] = "0123456789ABCDEF";

struct Base64Table {
  int8_t value[256];
  constexpr Base64Table() : value() {
    for (int i = 0; i < 256; ++i) value[i] = -1;
    for (int i = 0; i < 64; ++i) value[static_cast<uint8_t>(kBase64Alphabet[i])] = static_cast<int8_t>(i);
  }
};
constexpr Base64Table kBase64Table;

}  // namespace

int Base64Value(uint8_t c) { return kBase64Table.value[c]; }

namespace {

// Output is written through a pointer into a string grown once to the most a
// call can write, then cut back: a byte-by-byte push_back costs several times
// the coding itself.
class OutCursor {
 public:
  OutCursor(std::string& out, size_t most) : out_(out), start_(out.size()) {
    out_.resize(start_ + most);
    w_ = out_.data() + start_;
  }
  ~OutCursor() { out_.resize(static_cast<size_t>(w_ - out_.data())); }
  OutCursor(const OutCursor&) = delete;
  OutCursor& operator=(const OutCursor&) = delete;
  void put(char c) { *w_++ = c; }
  void put(char a, char b) {
    w_[0] = a;
    w_[1] = b;
    w_ += 2;
  }

 private:
  std::string& out_;
  size_t start_;
  char* w_;
};

}  // namespace

void Base64Encoder::put(const uint8_t* begin, const uint8_t* end, std::string& out, bool flush, bool) {
  size_t groups = (static_cast<size_t>(end - begin) + 2) / 3 + 1;
  {
    OutCursor w(out, groups * 4 + (groups / 18 + 1) * 2);
    auto emit = [&](uint8_t a, uint8_t b, uint8_t c) {
      uint32_t v = static_cast<uint32_t>(a << 16 | b << 8 | c);
      w.put(kBase64Alphabet[v >> 18], kBase64Alphabet[(v >> 12) & 63]);
      w.put(kBase64Alphabet[(v >> 6) & 63], kBase64Alphabet[v & 63]);
      lineLength_ += 4;
      if (lineLength_ >= kBase64LineLength) {
        w.put('\r', '\n');
        lineLength_ = 0;
      }
    };
    const uint8_t* p = begin;
    while (groupSize_ > 0 && groupSize_ < 3 && p < end) group_[groupSize_++] = *p++;
    if (groupSize_ == 3) {
      emit(group_[0], group_[1], group_[2]);
      groupSize_ = 0;
    }
    for (; end - p >= 3; p += 3) emit(p[0], p[1], p[2]);
    while (p < end) group_[groupSize_++] = *p++;
  }
  if (flush) this->flush(out);
}

void Base64Encoder::flush(std::string& out) {
  Base64Encode(out, group_, static_cast<size_t>(groupSize_));  // the padded last group
  groupSize_ = 0;
  lineLength_ = 0;
}

void QpEncoder::put(const uint8_t* begin, const uint8_t* end, std::string& out, bool flush, bool) {
  {
    // At most "=XX" per byte, or "=" LF LF per line end, plus a soft break.
    OutCursor w(out, static_cast<size_t>(end - begin) * 5 + 4);
    for (const uint8_t* p = begin; p < end; ++p) {
      uint8_t c = *p;
      if (c == '\n') {
        // A blank before the line end would be lost in transit: a soft break
        // after it keeps it, and the hard line end follows.
        if (last_ == ' ' || last_ == '\t') w.put('=', '\n');
        w.put('\n');
        last_ = c;
        lineLength_ = 0;
        continue;
      }
      bool plain = (c == '\t' || (c >= 0x20 && c <= 0x7E)) && c != '=' && !(c == '.' && lineLength_ == 0);
      if (plain) {
        w.put(static_cast<char>(c));
        lineLength_ += 1;
      } else {
        w.put('=');
        w.put(kHex[c >> 4], kHex[c & 15]);
        lineLength_ += 3;
      }
      last_ = c;
      if (lineLength_ > kQpLineLength) {
        w.put('=', '\n');
        lineLength_ = 0;
      }
    }
  }
  if (flush) this->flush(out);
}

void QpEncoder::flush(std::string& out) {
  if (lineLength_ != 0) out.append("=\n");
  lineLength_ = 0;
  last_ = 'x';
}

void Base64Decoder::put(const uint8_t* begin, const uint8_t* end, std::string& out, bool flush, bool) {
  {
    OutCursor w(out, (static_cast<size_t>(end - begin) / 4 + 2) * 3);
    for (const uint8_t* p = begin; p < end; ++p) {
      // Whole groups of alphabet characters, the common case, in one step.
      while (groupSize_ == 0 && !endSeen_ && end - p >= 4) {
        int a = Base64Value(p[0]), b = Base64Value(p[1]), c = Base64Value(p[2]), d = Base64Value(p[3]);
        if ((a | b | c | d) < 0) break;
        w.put(static_cast<char>(a << 2 | b >> 4));
        w.put(static_cast<char>((b & 15) << 4 | c >> 2), static_cast<char>((c & 3) << 6 | d));
        p += 4;
      }
      if (p == end) break;
      uint8_t c = *p;
      if (Base64Value(c) < 0 && c != '=') {
        if (c != '\r' && c != '\n') ++errors_;
        continue;
      }
      group_[groupSize_++] = c;
      if (groupSize_ < 4) continue;
      groupSize_ = 0;
      if (endSeen_) ++errors_;  // data after the padding
      const uint8_t* g = group_;
      if (g[0] == '=' || g[1] == '=') {
        ++errors_;
        continue;
      }
      int a = Base64Value(g[0]), b = Base64Value(g[1]);
      w.put(static_cast<char>(a << 2 | b >> 4));
      if (g[2] == '=') {
        if (g[3] != '=') ++errors_;
        endSeen_ = true;
        continue;
      }
      int c2 = Base64Value(g[2]);
      w.put(static_cast<char>((b & 15) << 4 | c2 >> 2));
      if (g[3] == '=') {
        endSeen_ = true;
        continue;
      }
      w.put(static_cast<char>((c2 & 3) << 6 | Base64Value(g[3])));
    }
  }
  if (flush) this->flush(out);
}

void Base64Decoder::flush(std::string&) {
  groupSize_ = 0;
  endSeen_ = false;
}

void QpDecoder::put(const uint8_t* begin, const uint8_t* end, std::string& out, bool flush, bool) {
  {
    OutCursor w(out, static_cast<size_t>(end - begin));
    for (const uint8_t* p = begin; p < end; ++p) {
      uint8_t c = *p;
      if (escape_ == 0) {
        if (c == '=')
          escape_ = 1;
        else
          w.put(static_cast<char>(c));
        continue;
      }
      if (c == '\n') {  // soft line break ("=" LF, or "=" CR LF)
        escape_ = 0;
        continue;
      }
      digits_[escape_ - 1] = c;
      if (escape_ == 1) {
        escape_ = 2;
        continue;
      }
      escape_ = 0;
      int hi = foundation::HexDigitValue(digits_[0]), lo = foundation::HexDigitValue(digits_[1]);
      if (hi < 0) hi = 0x7F;
      if (lo < 0) lo = 0x7F;
      auto byte = static_cast<uint8_t>((hi << 4 | lo) & 0xFF);
      if (byte != '\r') w.put(static_cast<char>(byte));
    }
  }
  if (flush) this->flush(out);
}

void QpDecoder::flush(std::string&) { escape_ = 0; }

}  // namespace content
