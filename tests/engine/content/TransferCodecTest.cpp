// The one step of each transfer codec (TransferCodec.h): the cases where its
// callers' rules differ, one column per public entry; and every rule set fed
// in two pieces split at every point, and in pieces of every size, giving
// what its whole-text entry gives the text whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "engine/content/Base64.h"
#include "engine/content/HeaderWords.h"
#include "engine/content/MailCodec.h"
#include "engine/content/TransferCodec.h"
#include "engine/content/TransferText.h"

using namespace content;
using namespace std::string_literals;

namespace {

// Base64: DecodeBase64Text, Base64Decoder (with its error count),
// Base64DecodeStream (its return and output) and Base64DecodeGroup.
struct Base64Row {
  std::string in;
  std::string lenient;
  std::string mime;
  int mimeErrors;
  int strict;
  std::string strictOut;
  std::string groups;
};
// clang-format off
const Base64Row kBase64Rows[] = {
    // in             lenient              mime      errors strict out    groups
    {"TWFu",          "Man",               "Man",    0,     3,    "Man", "Man"},
    // Padding then data: closes its group, is counted, ends the data, or is read on.
    {"TQ==TWFu",      "MMan",              "MMan",   1,     1,    "M",   "MMan"},
    {"=TWFu",         "Man",               "",       1,     -1,   "",    ""},
    {"TQ=uTWFu",      "M\xB9\x35\x85",     "MMan",   2,     1,    "M",   "MMan"},
    {"TW\r\nFu",      "Man",               "Man",    0,     3,    "Man", ""},
    {"TWFu*TWFu",     "ManMan",            "ManMan", 1,     -1,   "Man", "Man"},
    {"TWFu\0TWFu"s,   "ManMan",            "ManMan", 1,     3,    "Man", "Man"},
    // An open group at the end: what it holds, or nothing.
    {"TWFuTWE",       "ManMa",             "Man",    0,     3,    "Man", "Man"},
};
// clang-format on

// Quoted-printable: DecodeQuotedPrintableText, QpDecoder and a Q word.
struct QpRow {
  std::string in;
  std::string text;
  std::string stream;
  std::string word;
};
// clang-format off
const QpRow kQpRows[] = {
    // in           text      stream     word
    {"a=\nb",       "ab",     "ab",      "ab"},
    {"a=\r\nb",     "ab",     "ab",      "ab"},
    {"a=\n\nb",     "a\nb",   "a\nb",    "a\nb"},  // the second LF ends the line
    {"a=\n\rb",     "ab",     "a\rb",    "a\rb"},
    {"a=\rb",       "ab",     "a\xFB",   "a\xFB"},
    {"a=4\nb",      "a4\nb",  "ab",      "ab"},
    {"=0D",         "\r",     "",        ""},
    {"=00",         "00",     "\0"s,     "\0"s},
    {"x=ZZ",        "xZZ",    "x\xFF",   "x\xFF"},
    {"end=4",       "end=4",  "end",     "end"},
    {"a_b=5F=3d",   "a_b_=",  "a_b_=",   "a b_="},
};
// clang-format on

// Feeds `in` to a step in pieces ending at `cuts`.
template <typename State, typename Rules>
std::pair<std::string, State> Feed(const Rules& rules, std::string_view in, const std::vector<size_t>& cuts,
                                   bool finish) {
  std::pair<std::string, State> fed;
  size_t at = 0;
  for (size_t cut : cuts) {
    AppendStep(fed.first, fed.second, rules, in.substr(at, cut - at), false);
    at = cut;
  }
  if (finish) AppendStep(fed.first, fed.second, rules, {}, true);
  return fed;
}

// Two pieces split at every point, then pieces of every size.
std::vector<std::vector<size_t>> Splits(size_t length) {
  std::vector<std::vector<size_t>> all;
  for (size_t at = 0; at <= length; ++at) all.push_back({at, length});
  for (size_t size = 1; size < length; ++size) {
    all.emplace_back();
    for (size_t at = size; at < length + size; at += size) all.back().push_back(std::min(at, length));
  }
  return all;
}

// Each split of `in` must give `whole`, and a final state that `same` accepts.
template <typename State, typename Rules, typename Same>
void ExpectEverySplit(const Rules& rules, const std::string& in, bool finish, const std::string& whole, Same same) {
  for (const auto& cuts : Splits(in.size())) {
    auto [out, state] = Feed<State>(rules, in, cuts, finish);
    ASSERT_EQ(out, whole) << testing::PrintToString(in) << " first piece " << cuts.front();
    ASSERT_TRUE(same(state)) << testing::PrintToString(in) << " first piece " << cuts.front();
  }
}
template <typename State, typename Rules>
void ExpectEverySplit(const Rules& rules, const std::string& in, bool finish, const std::string& whole) {
  ExpectEverySplit<State>(rules, in, finish, whole, [](const State&) { return true; });
}

std::string Coded(MailCodecState&& codec, const std::string& in) {
  std::string out;
  codec.put(in, out, true);
  return out;
}

std::string Encoded(size_t bytes) {
  std::string raw;
  for (size_t i = 0; i < bytes; ++i) raw.push_back(static_cast<char>(i * 37 + 11));
  return Coded(Base64Encoder(), raw);
}

}  // namespace

TEST(TransferCodec, Base64RulesOfEachEntry) {
  for (const auto& row : kBase64Rows) {
    SCOPED_TRACE(testing::PrintToString(row.in));
    std::string out;
    DecodeBase64Text(row.in, out);
    EXPECT_EQ(out, row.lenient);
    Base64Decoder mime;
    out.clear();
    mime.put(row.in, out, true);
    EXPECT_EQ(out, row.mime);
    EXPECT_EQ(mime.errors(), row.mimeErrors);
    Base64StreamState state;
    out.clear();
    EXPECT_EQ(Base64DecodeStream(state, row.in, out), row.strict);
    EXPECT_EQ(out, row.strictOut);
    out.clear();
    Base64DecodeGroup(out, row.in.c_str(), static_cast<int>(row.in.size()));
    EXPECT_EQ(out, row.groups);
  }
}

TEST(TransferCodec, QuotedPrintableRulesOfEachEntry) {
  for (const auto& row : kQpRows) {
    SCOPED_TRACE(testing::PrintToString(row.in));
    EXPECT_EQ(DecodeQuotedPrintableText(row.in), row.text);
    std::string out;
    QpDecoder().put(row.in, out, true);
    EXPECT_EQ(out, row.stream);
    out.clear();
    DecodeEncodedPayload(out, row.in, 'q', "us-ascii");
    EXPECT_EQ(out, row.word);
  }
}

TEST(TransferCodec, Base64StepInPiecesGivesTheWholeText) {
  std::vector<std::string> texts = {Encoded(100) + "==TQ=\r\n", "TQ==\r\nTWE=\r\nTWFu", "TW\r\nFu TQ=="};
  for (const auto& row : kBase64Rows)
    if (row.in.find('\0') == std::string::npos) texts.push_back(row.in);  // a NUL ends the text before the step
  for (const auto& in : texts) {
    std::string whole;
    DecodeBase64Text(in, whole);
    ExpectEverySplit<Base64DecodeState>(kBase64DecodeLenient, in, true, whole);

    Base64Decoder mime;
    whole.clear();
    mime.put(in, whole, true);
    ExpectEverySplit<Base64DecodeState>(kBase64DecodeMime, in, true, whole,
                                        [&](const Base64DecodeState& s) { return s.errors == mime.errors(); });

    Base64StreamState stream;
    whole.clear();
    const bool failed = Base64DecodeStream(stream, in, whole) < 0;
    ExpectEverySplit<Base64DecodeState>(kBase64DecodeStrict, in, false, whole, [&](const Base64DecodeState& s) {
      return (s.halt == CodecFault::kFail) == failed;
    });

    whole.clear();
    Base64DecodeGroup(whole, in.c_str(), static_cast<int>(in.size()));
    ExpectEverySplit<Base64DecodeState>(kBase64DecodeGroups, in, false, whole);
  }
}

TEST(TransferCodec, QuotedPrintableStepInPiecesGivesTheWholeText) {
  const std::string body =
      Coded(QpEncoder(), "Line one =\n.dot\tTab \n\x82\xA0\x1B$B\r\nend" + std::string(90, 'z') + "\n");
  std::vector<std::string> texts = {body + "=4=\r\n=ZZ=3", "a=\n\nb=\n\rc=\r\rd=\r", "=00=0D=0d_x_=5F=", "=A"};
  for (const auto& row : kQpRows) texts.push_back(row.in);
  for (const auto& in : texts) {
    ExpectEverySplit<QpDecodeState>(kQpDecodeText, in, true, DecodeQuotedPrintableText(in));
    ExpectEverySplit<QpDecodeState>(kQpDecodeStream, in, true, Coded(QpDecoder(), in));
    std::string word;
    DecodeEncodedPayload(word, in, 'q', "us-ascii");
    ExpectEverySplit<QpDecodeState>(kQpDecodeWord, in, true, word);
  }
}

TEST(TransferCodec, EncodersInPiecesGiveTheWholeText) {
  const std::string raw = "\x1B$B$\"\x1B(B a=b?_\t.\n\r" + Encoded(30);
  ExpectEverySplit<Base64EncodeState>(kBase64EncodeOneLine, raw, true, Base64Encode(raw));
  ExpectEverySplit<Base64EncodeState>(kBase64EncodeLines, raw, true, Coded(Base64Encoder(), raw));
  ExpectEverySplit<QpEncodeState>(kQpEncodeBody, raw, true, Coded(QpEncoder(), raw));
  // A Q word escapes all but letters, digits and !*+-/, and breaks no line.
  const std::string word = "\x1B$B$\"\x1B(B a=b?_\t.\n";
  EXPECT_EQ(Feed<QpEncodeState>(kQpEncodeWord, word, {word.size()}, true).first,
            "=1B=24B=24=22=1B=28B=20a=3Db=3F=5F=09=2E=0A");
  const std::string longWord = raw + std::string(100, 'x');
  ExpectEverySplit<QpEncodeState>(kQpEncodeWord, longWord, true,
                                  Feed<QpEncodeState>(kQpEncodeWord, longWord, {longWord.size()}, true).first);
}
