// Streaming transfer codecs of mail bodies and header words. Each keeps what
// a chunk left unfinished, so feeding the input in chunks of any size gives
// the same output as feeding it whole. Output is appended to a growable
// string, so no caller has to guess a size.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/content/TransferCodec.h"

namespace content {

class MailCodecState {
 public:
  virtual ~MailCodecState() = default;
  // Codes [begin, end) onto `out`; with `flush` it then calls flush(). No
  // codec reads the line flag: the quoted-printable encoder ends a line at
  // every LF either way.
  virtual void put(const uint8_t* begin, const uint8_t* end, std::string& out, bool flush, bool lineFlag) = 0;
  // Writes what the state still holds and resets it.
  virtual void flush(std::string& out) = 0;

  void put(std::string_view in, std::string& out, bool flush, bool lineFlag = false) {
    const auto* p = reinterpret_cast<const uint8_t*>(in.data());
    put(p, p + in.size(), out, flush, lineFlag);
  }
};

// A codec over one step of TransferCodec.h with the rules it is kept to.
template <typename State, const auto& kRules>
class StepCodec : public MailCodecState {
 public:
  using MailCodecState::put;
  void put(const uint8_t* begin, const uint8_t* end, std::string& out, bool flush, bool) override {
    AppendStep(out, state_, kRules, {reinterpret_cast<const char*>(begin), static_cast<size_t>(end - begin)}, flush);
  }
  void flush(std::string& out) override { AppendStep(out, state_, kRules, {}, true); }

 protected:
  State state_;
};

// Base64 with a CR LF after every 72 characters.
class Base64Encoder : public StepCodec<Base64EncodeState, kBase64EncodeLines> {};

// Quoted-printable of LF-ended text; lines are kept under 76 characters.
class QpEncoder : public StepCodec<QpEncodeState, kQpEncodeBody> {};

// Base64 of mail bodies: a character outside the alphabet (CR and LF aside),
// a misplaced "=" and data after the padding each count as an error, and
// decoding goes on.
class Base64Decoder : public StepCodec<Base64DecodeState, kBase64DecodeMime> {
 public:
  int errors() const { return state_.errors; }
};

// Quoted-printable of mail bodies: bad digits read as 7F, a decoded CR goes,
// an escape open at the flush is forgotten.
class QpDecoder : public StepCodec<QpDecodeState, kQpDecodeStream> {};

}  // namespace content
