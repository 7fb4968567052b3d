// Hostile mail text: cut escapes, lone lead bytes, giant and broken encoded
// words, invalid UTF-8, endless "<#". Run under the sanitizers, every function
// must stay inside its input and finish.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "engine/content/AddressField.h"
#include "engine/content/Base64.h"
#include "engine/public/content/CharsetText.h"
#include "engine/content/HeaderText.h"
#include "engine/content/HeaderWords.h"
#include "engine/content/JapaneseCharset.h"
#include "engine/content/MailCodec.h"
#include "engine/content/MailDate.h"
#include "engine/content/Pictograph.h"
#include "engine/content/TransferText.h"

using namespace content;

namespace {

// Every reader of received text over one input; returns the total output so
// that nothing is optimised away and growth stays bounded. `in` views an
// exact-size heap block without a terminator, so a read one byte past the
// end is caught by the address sanitizer.
size_t Chew(std::string_view in) {
  size_t total = 0;
  DetectCharset(in);
  DetectCharsetHtml(in);
  total += WidenedKanaLength(in);
  int pairs = 0;
  if (PictographTokenLength(in, &pairs) > 0) {
    std::string tokens;
    PictographsToTokens(in, tokens, pairs);
    total += tokens.size();
  }
  std::string t(in);
  JisToSjis(t);
  total += t.size();
  t = in;
  EucToSjis(t);
  total += t.size();
  t = in;
  SjisToEuc(t);
  total += t.size();
  t = in;
  ReplaceUnmappableSjis(t);
  TokensToPictographs(t);
  total += t.size();
  std::string jis;
  SjisToJis(in, jis);
  total += jis.size();
  t = in;
  Utf8ToSjis(t);
  total += t.size();
  total += DecodeHeaderWords(in, true).size();
  std::string u(in);
  UnfoldHeader(u, false, true);
  total += u.size();
  std::string out;
  SjisToEucAppend(in, out);
  DecodeEncodedPayload(out, in, 'b', "iso-2022-jp");
  DecodeEncodedPayload(out, in, 'q', "euc-jp");
  total += out.size();
  DecodeBase64Text(in, out);
  DecodeUuText(in, out);
  total += DecodeQuotedPrintableText(in).size();
  Base64Decoder b64;
  QpDecoder qp;
  b64.put(in, out, true);
  qp.put(in, out, true);
  Base64DecodeGroup(out, in.data(), static_cast<int>(in.size()));
  Base64StreamState stream;
  Base64DecodeStream(stream, in, out);
  std::string a, n;
  SplitAddress(in, a, n);
  total += SplitCommaList(in).size();
  size_t pos = 0;
  std::string line, name, value;
  while (NextHeaderLine(in, pos, line)) total += line.size();
  pos = 0;
  while (ParseHeaderParam(in, pos, name, value)) total += value.size();
  pos = 0;
  GetHeaderParamValue(in, pos, value);
  StripComments(in, value);
  pos = 0;
  UnquoteHeaderValue(in, pos, value);
  CleanHeaderValue(in, 0, value);
  total += CollapseBlanks(in).size();
  DateToLocal(SYSTEMTIME{}, in);
  std::wstring file;
  MakeFileName(in, file);
  return total + out.size();
}

// A copy of the bytes in a block of exactly their size.
class ExactBytes {
 public:
  explicit ExactBytes(const std::string& s) : bytes_(new char[s.size()]), size_(s.size()) {
    std::copy(s.begin(), s.end(), bytes_.get());
  }
  std::string_view view() const { return {bytes_.get(), size_}; }

 private:
  std::unique_ptr<char[]> bytes_;
  size_t size_;
};

}  // namespace

TEST(Hostile, FixedNasties) {
  const std::string cases[] = {
      "\x1B", "\x1B$", "\x1B(", "\x1B$B", "\x1B$B\x30", "\x1B(I", "\x0E\xFF", "\x82", "a\x82", "\x8F", "\x8F\xA1",
      "\x8E", "\xF8", "=", "==", "=?", "=?x", "=?x?", "=?x?b", "=?x?b?", "=?x?b?=", "=?x?b?" "?=", "=?=?=?", "<", "<#",
      "<#>", "\"", "(", ")", "<", ">", ">a<", ")(", "begin ", "begin \n", "begin \nM", "begin \n\x7F",
      "\xC0\x80\xED\xA0\x80\xF4\x90\x80\x80\xFF", std::string("\0\x1B$B", 4), "%", "a;b=\"c",
  };
  for (const auto& c : cases) {
    size_t total = Chew(ExactBytes(c).view());
    EXPECT_LT(total, 64u * (c.size() + 1)) << c;
  }
}

TEST(Hostile, EndlessTokenStartsAndGiantWords) {
  std::string lt;
  for (int i = 0; i < 100000; ++i) lt += "<#";
  std::string t = lt;
  TokensToPictographs(t);
  EXPECT_EQ(t.size(), lt.size());
  std::string lts(200000, '<');
  TokensToPictographs(lts);
  EXPECT_EQ(lts.size(), 100000u);

  std::string giant = "=?iso-2022-jp?b?" + std::string(1 << 20, 'G') + "?=";
  EXPECT_EQ(DecodeHeaderWords(giant, false).size(), 3u << 18);
  std::string broken;
  for (int i = 0; i < 20000; ++i) broken += "=?a?b?";
  EXPECT_LE(DecodeHeaderWords(broken, false).size(), broken.size());
  std::string unclosed;
  for (int i = 0; i < 20000; ++i) unclosed += "=?iso-2022-jp?q?=1B$B";
  EXPECT_LE(DecodeHeaderWords(unclosed, true).size(), unclosed.size());
}

TEST(Hostile, RandomBytesNeverOverrun) {
  std::mt19937 rng(20081208);
  const char parts[][6] = {"\x1B$B", "\x1B(B", "\x1B(I", "=?", "?=", "?b?", "?q?", "<#", ">", "=", "\n ", "\x8E",
                            "\x8F", "\xF8\xA0", "\xF0\x40", "\xFA", "\xE3\x81", "\"", "(", "<"};
  for (int round = 0; round < 3000; ++round) {
    std::string s;
    size_t len = rng() % 64;
    while (s.size() < len) {
      if (rng() % 3 == 0)
        s += parts[rng() % (sizeof(parts) / sizeof(parts[0]))];
      else
        s.push_back(static_cast<char>(rng() & 0xFF));
    }
    size_t total = Chew(ExactBytes(s).view());
    ASSERT_LT(total, 64u * (s.size() + 1));
  }
}
