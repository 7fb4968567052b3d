#include "engine/content/MailCodec.h"

#include "engine/content/MailMemory.h"

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

void Base64Encoder::put(const uint8_t* begin, const uint8_t* end, std::string& out, bool flush, bool) {
  for (const uint8_t* p = begin; p < end; ++p) {
    group_[groupSize_++] = *p;
    if (groupSize_ < 3) continue;
    uint32_t v = static_cast<uint32_t>(group_[0] << 16 | group_[1] << 8 | group_[2]);
    out.push_back(kBase64Alphabet[v >> 18]);
    out.push_back(kBase64Alphabet[(v >> 12) & 63]);
    out.push_back(kBase64Alphabet[(v >> 6) & 63]);
    out.push_back(kBase64Alphabet[v & 63]);
    groupSize_ = 0;
    lineLength_ += 4;
    if (lineLength_ >= kBase64LineLength) {
      out.append("\r\n");
      lineLength_ = 0;
    }
  }
  if (flush) this->flush(out);
}

void Base64Encoder::flush(std::string& out) {
  if (groupSize_ > 0) {
    uint32_t v = static_cast<uint32_t>(group_[0] << 16 | (groupSize_ > 1 ? group_[1] << 8 : 0));
    out.push_back(kBase64Alphabet[v >> 18]);
    out.push_back(kBase64Alphabet[(v >> 12) & 63]);
    out.push_back(groupSize_ > 1 ? kBase64Alphabet[(v >> 6) & 63] : '=');
    out.push_back('=');
  }
  groupSize_ = 0;
  lineLength_ = 0;
}

void QpEncoder::put(const uint8_t* begin, const uint8_t* end, std::string& out, bool flush, bool) {
  for (const uint8_t* p = begin; p < end; ++p) {
    uint8_t c = *p;
    if (c == '\n') {
      // A blank before the line end would be lost in transit: a soft break
      // after it keeps it, and the hard line end follows.
      if (last_ == ' ' || last_ == '\t') out.append("=\n");
      out.push_back('\n');
      last_ = c;
      lineLength_ = 0;
      continue;
    }
    bool plain = (c == '\t' || (c >= 0x20 && c <= 0x7E)) && c != '=' && !(c == '.' && lineLength_ == 0);
    if (plain) {
      out.push_back(static_cast<char>(c));
      lineLength_ += 1;
    } else {
      out.push_back('=');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
      lineLength_ += 3;
    }
    last_ = c;
    if (lineLength_ > kQpLineLength) {
      out.append("=\n");
      lineLength_ = 0;
    }
  }
  if (flush) this->flush(out);
}

void QpEncoder::flush(std::string& out) {
  if (lineLength_ != 0) out.append("=\n");
  lineLength_ = 0;
  last_ = 'x';
}

void Base64Decoder::decodeGroup(std::string& out) {
  groupSize_ = 0;
  if (endSeen_) ++errors_;  // data after the padding
  const uint8_t* g = group_;
  if (g[0] == '=' || g[1] == '=') {
    ++errors_;
    return;
  }
  int a = Base64Value(g[0]), b = Base64Value(g[1]);
  out.push_back(static_cast<char>(a << 2 | b >> 4));
  if (g[2] == '=') {
    if (g[3] != '=') ++errors_;
    endSeen_ = true;
    return;
  }
  int c = Base64Value(g[2]);
  out.push_back(static_cast<char>((b & 15) << 4 | c >> 2));
  if (g[3] == '=') {
    endSeen_ = true;
    return;
  }
  out.push_back(static_cast<char>((c & 3) << 6 | Base64Value(g[3])));
}

void Base64Decoder::put(const uint8_t* begin, const uint8_t* end, std::string& out, bool flush, bool) {
  for (const uint8_t* p = begin; p < end; ++p) {
    uint8_t c = *p;
    if (c == '\r' || c == '\n') continue;
    if (c != '=' && Base64Value(c) < 0) {
      ++errors_;
      continue;
    }
    group_[groupSize_++] = c;
    if (groupSize_ == 4) decodeGroup(out);
  }
  if (flush) this->flush(out);
}

void Base64Decoder::flush(std::string&) {
  groupSize_ = 0;
  endSeen_ = false;
}

void QpDecoder::put(const uint8_t* begin, const uint8_t* end, std::string& out, bool flush, bool) {
  for (const uint8_t* p = begin; p < end; ++p) {
    uint8_t c = *p;
    if (escape_ == 0) {
      if (c == '=')
        escape_ = 1;
      else
        out.push_back(static_cast<char>(c));
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
    int hi = HexDigitValue(digits_[0]), lo = HexDigitValue(digits_[1]);
    if (hi < 0) hi = 0x7F;
    if (lo < 0) lo = 0x7F;
    auto byte = static_cast<uint8_t>((hi << 4 | lo) & 0xFF);
    if (byte != '\r') out.push_back(static_cast<char>(byte));
  }
  if (flush) this->flush(out);
}

void QpDecoder::flush(std::string&) { escape_ = 0; }

}  // namespace content
