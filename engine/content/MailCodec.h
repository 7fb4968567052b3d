// Streaming transfer codecs of mail bodies and header words. Each keeps what
// a chunk left unfinished, so feeding the input in chunks of any size gives
// the same output as feeding it whole. Output is appended to a growable
// string, so no caller has to guess a size.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace content {

class MailCodecState {
 public:
  virtual ~MailCodecState() = default;
  // Codes [begin, end) onto `out`; with `flush` it then calls flush(). The
  // line flag only matters to the quoted-printable encoder.
  virtual void put(const uint8_t* begin, const uint8_t* end, std::string& out, bool flush, bool lineFlag) = 0;
  // Writes what the state still holds and resets it.
  virtual void flush(std::string& out) = 0;

  void put(std::string_view in, std::string& out, bool flush, bool lineFlag = false) {
    const auto* p = reinterpret_cast<const uint8_t*>(in.data());
    put(p, p + in.size(), out, flush, lineFlag);
  }
};

// Base64 with a CR LF after every 72 characters.
class Base64Encoder : public MailCodecState {
 public:
  using MailCodecState::put;
  void put(const uint8_t* begin, const uint8_t* end, std::string& out, bool flush, bool lineFlag) override;
  void flush(std::string& out) override;

 private:
  int lineLength_ = 0;
  uint8_t group_[3] = {0, 0, 0};
  int groupSize_ = 0;
};

// Quoted-printable of LF-ended text; lines are kept under 76 characters.
class QpEncoder : public MailCodecState {
 public:
  using MailCodecState::put;
  void put(const uint8_t* begin, const uint8_t* end, std::string& out, bool flush, bool lineFlag) override;
  void flush(std::string& out) override;

 private:
  int lineLength_ = 0;
  uint8_t last_ = 'x';
};

class Base64Decoder : public MailCodecState {
 public:
  using MailCodecState::put;
  void put(const uint8_t* begin, const uint8_t* end, std::string& out, bool flush, bool lineFlag) override;
  void flush(std::string& out) override;
  int errors() const { return errors_; }

 private:
  bool endSeen_ = false;
  uint8_t group_[4] = {0, 0, 0, 0};
  int groupSize_ = 0;
  int errors_ = 0;
};

class QpDecoder : public MailCodecState {
 public:
  using MailCodecState::put;
  void put(const uint8_t* begin, const uint8_t* end, std::string& out, bool flush, bool lineFlag) override;
  void flush(std::string& out) override;

 private:
  int escape_ = 0;  // 0 none, 1 after "=", 2 after the first digit
  uint8_t digits_[2] = {0, 0};
};

// Value of a base64 character, -1 for any other byte.
int Base64Value(uint8_t c);
extern const char kBase64Alphabet[65];

}  // namespace content
