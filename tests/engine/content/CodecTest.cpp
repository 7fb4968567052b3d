// Transfer codecs: the plain base64 codec, the four streaming codecs (also
// fed in chunks of every size), and the whole-text decoders.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "engine/content/Base64.h"
#include "engine/content/MailCodec.h"
#include "engine/content/TransferText.h"

using namespace content;

namespace {

std::string Code(MailCodecState& codec, const std::string& in, bool line = false) {
  std::string out;
  codec.put(in, out, true, line);
  return out;
}

// Feeds `in` in chunks of every size and expects the same output as a whole.
void ExpectChunkInvariant(const std::function<std::unique_ptr<MailCodecState>()>& make, const std::string& in) {
  auto whole = make();
  std::string expect = Code(*whole, in);
  for (size_t size = 1; size <= in.size(); ++size) {
    auto codec = make();
    std::string out;
    for (size_t at = 0; at < in.size(); at += size) codec->put(std::string_view(in).substr(at, size), out, false);
    codec->flush(out);
    ASSERT_EQ(out, expect) << "chunk size " << size;
  }
}

std::string Bytes(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>(i * 37 + 11));
  return s;
}

}  // namespace

TEST(Base64Plain, EncodeAndDecodeGroups) {
  EXPECT_EQ(Base64Encode("M"), "TQ==");
  EXPECT_EQ(Base64Encode("Ma"), "TWE=");
  EXPECT_EQ(Base64Encode("Man"), "TWFu");
  std::string out;
  EXPECT_EQ(Base64DecodeGroup(out, "TWFuTWE=", 8), 5);
  EXPECT_EQ(out, "ManMa");
  out.clear();
  EXPECT_EQ(Base64DecodeGroup(out, "TWFu*WFu", 8), 3);  // stops silently
  EXPECT_EQ(out, "Man");
  std::string long_text(600, 'Q');
  out.clear();
  EXPECT_EQ(Base64DecodeGroup(out, long_text.c_str(), -1), 375);  // 500 characters at most
  out.clear();
  EXPECT_EQ(Base64DecodeGroup(out, "TW", -1), 0);
}

TEST(Base64Plain, StreamRejectsPaddingAtTheFrontOfAGroup) {
  Base64StreamState st;
  std::string out;
  EXPECT_EQ(Base64DecodeStream(st, "TW", out), 0);
  EXPECT_EQ(Base64DecodeStream(st, "Fu\r\nTQ", out), 3);
  EXPECT_EQ(Base64DecodeStream(st, "==TWFu", out), 1);  // the padded group ends the data
  EXPECT_EQ(out, "ManM");
  Base64StreamState bad;
  out.clear();
  EXPECT_EQ(Base64DecodeStream(bad, "T=Fu", out), -1);
  EXPECT_EQ(out, "");
  EXPECT_EQ(bad.pending, 0);
  EXPECT_EQ(Base64DecodeStream(bad, "=WFu", out), -1);
  EXPECT_EQ(Base64DecodeStream(bad, "TWFu", out), 3);  // reset, so the next group decodes
  EXPECT_EQ(Base64DecodeStream(bad, "TW*u", out), -1);
}

TEST(Codecs, Base64EncoderBreaksLinesAt72) {
  Base64Encoder a;
  std::string one = Code(a, Bytes(54));
  EXPECT_EQ(one.size(), 74u);
  EXPECT_EQ(one.substr(72), "\r\n");
  Base64Encoder b;
  std::string two = Code(b, Bytes(55));
  EXPECT_EQ(two.substr(0, 74), one);
  EXPECT_EQ(two.size(), 78u);
  EXPECT_EQ(two.substr(76), "==");
}

TEST(Codecs, QpEncoderLines) {
  QpEncoder a;
  EXPECT_EQ(Code(a, "plain words\n"), "plain words\n");
  QpEncoder b;
  EXPECT_EQ(Code(b, "end \nx"), "end =\n\nx=\n");
  QpEncoder c;
  EXPECT_EQ(Code(c, "end \nx", true), "end =\n\nx=\n");  // the line break survives either way
  QpEncoder d;
  EXPECT_EQ(Code(d, ".a\n.b\r\n"), "=2Ea\n=2Eb=0D\n");
  QpEncoder e;
  std::string out = Code(e, std::string(80, 'a') + "\n");
  EXPECT_EQ(out, std::string(73, 'a') + "=\n" + std::string(7, 'a') + "\n");
  QpEncoder f;
  EXPECT_EQ(Code(f, "a=b\x82\xA0"), "a=3Db=82=A0=\n");
}

TEST(Codecs, QpDecoderEscapes) {
  QpDecoder a;
  EXPECT_EQ(Code(a, "a=0Db"), "ab");
  QpDecoder b;
  EXPECT_EQ(Code(b, "=3d=3D"), "==");
  QpDecoder c;
  EXPECT_EQ(Code(c, "one=\r\ntwo=\nthree"), "onetwothree");
  QpDecoder d;
  EXPECT_EQ(Code(d, "=ZZ"), "\xFF");
  QpDecoder e;
  EXPECT_EQ(Code(e, "x=4"), "x");  // flush forgets the open escape
}

TEST(Codecs, Base64DecoderCountsErrors) {
  Base64Decoder a;
  EXPECT_EQ(Code(a, "TW\r\nFu TQ=="), "ManM");
  EXPECT_EQ(a.errors(), 1);  // the blank
  Base64Decoder b;
  EXPECT_EQ(Code(b, "=QFuTWFu"), "Man");
  EXPECT_EQ(b.errors(), 1);
  Base64Decoder c;
  EXPECT_EQ(Code(c, "TQ=uTWFu"), "MMan");
  EXPECT_EQ(c.errors(), 2);  // "x x = y", then data after padding
}

TEST(Codecs, ChunksOfEverySizeGiveTheWholeOutput) {
  std::string text = "Line one =\n.dot\tTab \n\x82\xA0\x1B$B\r\nend" + std::string(90, 'z') + "\n";
  ExpectChunkInvariant([] { return std::make_unique<Base64Encoder>(); }, Bytes(200));
  ExpectChunkInvariant([] { return std::make_unique<QpEncoder>(); }, text);
  Base64Encoder enc;
  std::string b64 = Code(enc, Bytes(200)) + "==TQ=" + "\r\n*";
  ExpectChunkInvariant([] { return std::make_unique<Base64Decoder>(); }, b64);
  QpEncoder qenc;
  std::string qp = Code(qenc, text) + "=4=\r\n=ZZ=3";
  ExpectChunkInvariant([] { return std::make_unique<QpDecoder>(); }, qp);

  // The plain streaming decoder as well.
  std::string plain = Code(enc, Bytes(100));
  Base64StreamState whole;
  std::string expect;
  Base64DecodeStream(whole, plain, expect);
  EXPECT_EQ(expect, Bytes(100));
  for (size_t size = 1; size <= plain.size(); ++size) {
    Base64StreamState st;
    std::string out;
    for (size_t at = 0; at < plain.size(); at += size) Base64DecodeStream(st, plain.substr(at, size), out);
    ASSERT_EQ(out, expect) << size;
  }
}

TEST(WholeText, Base64SkipsEverythingElse) {
  std::string out;
  DecodeBase64Text("TW Fu\r\nTWE", out);
  EXPECT_EQ(out, "ManMa");  // a final group of three characters gives two bytes
  DecodeBase64Text("TWFu\nTQ==", out);
  EXPECT_EQ(out, "ManM");
  DecodeBase64Text("TWFuT", out);
  EXPECT_EQ(out, "Man");  // a final single character gives nothing
  // Separately encoded chunks: the data after each padding stays aligned.
  DecodeBase64Text("TQ==\r\nTWE=\r\nTWFu", out);
  EXPECT_EQ(out, "MMaMan");
  DecodeBase64Text("=TWFu==T=", out);
  EXPECT_EQ(out, "Man");
}

TEST(WholeText, Uuencode) {
  std::string out;
  EXPECT_EQ(DecodeUuText("x\nbegin 644 cat.txt\n#0V%T\n`\nend\n", out), 1);
  EXPECT_EQ(out, "Cat");
  EXPECT_EQ(DecodeUuText("begin 644 a\n#0V%T\nM0V%T\n#0V%T\n", out), 1);
  EXPECT_EQ(out, "Cat");  // the second line claims 45 bytes and holds 3: it ends the data
  EXPECT_EQ(DecodeUuText("no header", out), 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(DecodeUuText("begin 644 a", out), 0);
  std::string line;
  EXPECT_EQ(DecodeUuLine(line, "#0V%T"), 3);
  EXPECT_EQ(DecodeUuLine(line, "`"), 0);
  EXPECT_EQ(DecodeUuLine(line, "#0V\x7FT"), -1);
  EXPECT_EQ(DecodeUuLine(line, "\x7F" "abc"), -2);
  EXPECT_EQ(DecodeUuLine(line, "M0V%T"), -3);
  EXPECT_EQ(line, "Cat");
}

TEST(WholeText, QuotedPrintable) {
  EXPECT_EQ(DecodeQuotedPrintableText("a=3Db=\r\nc=\n\rd=\ne=\rf"), "a=bcdef");
  EXPECT_EQ(DecodeQuotedPrintableText("=00=G1x"), "00G1x");  // bad escapes stay as text
  EXPECT_EQ(DecodeQuotedPrintableText("=0D"), "\r");
  EXPECT_EQ(DecodeQuotedPrintableText("end="), "end=");
  EXPECT_EQ(DecodeQuotedPrintableText("end=4"), "end=4");
  std::string out;
  EncodeQuotedPrintableJis(out, L"あ \n");
  EXPECT_EQ(out, "=1B$B$\"=1B(B =\n\n");
}
