// The one step function of each transfer codec, base64 and quoted-printable
// in both directions, in the manner of GMime's filters: a small state, the
// rules by which a caller wants faults, padding and line breaks handled, and
// a step that codes a chunk into a buffer of Most() bytes. Feeding a text in
// chunks of any size gives what feeding it whole gives. The codecs of
// Base64.h, MailCodec.h, TransferText.h and HeaderWords.h are thin wrappers
// over these steps; their differences are the presets below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace content {

extern const char kBase64Alphabet[65];
// Value of a base64 character, -1 for any other byte.
int Base64Value(uint8_t c);

// What a fault in the input does to a decoder's run. What becomes of the
// faulty data itself is fixed by the kind of fault (see each rule).
enum class CodecFault : uint8_t {
  kPass,   // nothing
  kCount,  // counted in the state's errors
  kStop,   // ends the text quietly: nothing after it is read
  kFail,   // ends the text and leaves the state failed
};

// ---------------------------------------------------------------- base64 out

struct Base64EncodeRules {
  int lineLength;  // characters before each CR LF (a multiple of 4); 0: no line breaks
};
inline constexpr Base64EncodeRules kBase64EncodeOneLine{.lineLength = 0};
inline constexpr Base64EncodeRules kBase64EncodeLines{.lineLength = 72};

struct Base64EncodeState {
  uint8_t group[3] = {0, 0, 0};  // bytes of a group the last chunk left open
  int size = 0;
  int column = 0;  // characters on the current line

  static size_t Most(const Base64EncodeRules& rules, size_t length);
  static constexpr size_t kFinishMost = 4;
  char* step(const Base64EncodeRules& rules, const uint8_t* in, size_t length, char* out);
  // The padded last group, with no line break after it; the state starts over.
  char* finish(const Base64EncodeRules& rules, char* out);
};

// ----------------------------------------------------------------- base64 in

struct Base64DecodeRules {
  // "=" and the end of the text close the open group, which gives the bytes
  // its characters hold. Otherwise "=" takes its place in a group of four, a
  // group left open at the end gives nothing, and the rules below apply.
  bool closeOpenGroups = false;
  CodecFault stray = CodecFault::kPass;       // a byte outside the alphabet and "=": passed over
  bool lineBreakIsStray = false;              // CR and LF are strays rather than passed over
  CodecFault padInFront = CodecFault::kPass;  // "=" first or second in a group: the group gives nothing
  CodecFault afterPad = CodecFault::kPass;    // a group after a padded one: decoded unless dropAfterPad
  bool dropAfterPad = false;                  // characters after a padded group are checked, never decoded
  CodecFault oddPad = CodecFault::kPass;      // "xx=y": gives its one byte
};
// Mail bodies and B words: every fault is counted, and decoding goes on.
inline constexpr Base64DecodeRules kBase64DecodeMime{.stray = CodecFault::kCount,
                                                     .padInFront = CodecFault::kCount,
                                                     .afterPad = CodecFault::kCount,
                                                     .oddPad = CodecFault::kCount};
// Protocol tokens fed in pieces: a stray or a padded front fails, and padding
// ends the data.
inline constexpr Base64DecodeRules kBase64DecodeStrict{
    .stray = CodecFault::kFail, .padInFront = CodecFault::kFail, .dropAfterPad = true};
// Groups read in place: the first character that does not fit its place ends
// the text.
inline constexpr Base64DecodeRules kBase64DecodeGroups{
    .stray = CodecFault::kStop, .lineBreakIsStray = true, .padInFront = CodecFault::kStop};
// Whole bodies of doubtful make: everything outside the alphabet is passed
// over, and padding closes its group, so that chunks encoded apart
// ("TQ==TWFu") stay aligned.
inline constexpr Base64DecodeRules kBase64DecodeLenient{.closeOpenGroups = true};

struct Base64DecodeState {
  int pending = 0;  // characters of the open group
  char chars[4] = {0, 0, 0, 0};
  bool finished = false;                // a padded group ended the data
  CodecFault halt = CodecFault::kPass;  // kStop or kFail once a fault ended the text
  int errors = 0;                       // faults counted

  static size_t Most(const Base64DecodeRules& rules, size_t length);
  static constexpr size_t kFinishMost = 2;
  char* step(const Base64DecodeRules& rules, const uint8_t* in, size_t length, char* out);
  // Closes the open group where the rules say so; the state starts over but
  // keeps its error count.
  char* finish(const Base64DecodeRules& rules, char* out);
};

// ------------------------------------------------------- quoted-printable out

struct QpEncodeRules {
  // An encoded word: only letters, digits and !*+-/ stand as they are, so
  // nothing can end the word ("?"), split it (blanks) or, in a display name,
  // end the name (quotes, brackets, commas); there are no lines. Otherwise
  // LF-ended text with lines kept under 76 characters.
  bool word;
};
inline constexpr QpEncodeRules kQpEncodeBody{.word = false};
inline constexpr QpEncodeRules kQpEncodeWord{.word = true};

struct QpEncodeState {
  unsigned column = 0;     // characters on the current line
  bool blankLast = false;  // the last byte was a blank or a tab

  static size_t Most(const QpEncodeRules& rules, size_t length);
  static constexpr size_t kFinishMost = 2;
  char* step(const QpEncodeRules& rules, const uint8_t* in, size_t length, char* out);
  // A soft break ends an unfinished line of text; the state starts over.
  char* finish(const QpEncodeRules& rules, char* out);
};

// -------------------------------------------------------- quoted-printable in

enum class QpSoftBreak : uint8_t {
  // "=" then LF in either of the next two places: "=" LF, "=" CR LF, and
  // "=x" LF as well.
  kLfInEscape,
  // "=" then CR or LF, with the other one of the two if it comes next: "="
  // LF LF ends the line softly and keeps the second LF as a line end.
  kBreakPair,
};

struct QpDecodeRules {
  QpSoftBreak softBreak = QpSoftBreak::kLfInEscape;
  // A bad hex digit, or "=00", keeps the two characters after "=" as text;
  // otherwise a bad digit reads as 7F.
  bool badEscapeAsText = false;
  bool dropDecodedCr = false;      // "=0D" gives nothing: the text's line ends are LF
  bool keepCutEscape = false;      // an escape cut by the end of the text stays as text
  bool underscoreIsBlank = false;  // Q words write a blank as "_"
};
// Mail bodies fed in chunks.
inline constexpr QpDecodeRules kQpDecodeStream{.dropDecodedCr = true};
// Whole bodies: nothing of a doubtful escape is lost.
inline constexpr QpDecodeRules kQpDecodeText{
    .softBreak = QpSoftBreak::kBreakPair, .badEscapeAsText = true, .keepCutEscape = true};
// Q words: the stream's rules, and "_" for a blank.
inline constexpr QpDecodeRules kQpDecodeWord{.dropDecodedCr = true, .underscoreIsBlank = true};

struct QpDecodeState {
  enum Escape : uint8_t { kText, kEquals, kDigit, kBreak };
  Escape escape = kText;
  uint8_t held = 0;  // the first digit after "=", or the CR or LF after it

  static size_t Most(const QpDecodeRules& rules, size_t length);
  static constexpr size_t kFinishMost = 2;
  char* step(const QpDecodeRules& rules, const uint8_t* in, size_t length, char* out);
  // What the rules keep of an open escape; the state starts over.
  char* finish(const QpDecodeRules& rules, char* out);
};

// Codes `in` through `state` onto the end of `out`, which grows once to the
// most the step may write and is cut back after: a byte-by-byte push_back
// costs several times the coding itself. With `finish` the state's end
// follows. Returns the bytes written.
template <typename State, typename Rules>
size_t AppendStep(std::string& out, State& state, const Rules& rules, std::string_view in, bool finish) {
  const size_t start = out.size();
  out.resize(start + State::Most(rules, in.size()) + (finish ? State::kFinishMost : 0));
  char* const from = out.data() + start;
  char* w = state.step(rules, reinterpret_cast<const uint8_t*>(in.data()), in.size(), from);
  if (finish) w = state.finish(rules, w);
  const auto written = static_cast<size_t>(w - from);
  out.resize(start + written);
  return written;
}

}  // namespace content
