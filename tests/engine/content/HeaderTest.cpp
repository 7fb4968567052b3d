// Header words, header lines and parameters, address fields, file names,
// mailto links, MIME types and the composer's records.
#include <gtest/gtest.h>

#include "engine/content/AddressField.h"
#include "engine/content/Base64.h"
#include "engine/public/content/CharsetText.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/content/HeaderText.h"
#include "engine/content/HeaderWords.h"
#include "engine/foundation/MailMemory.h"
#include "engine/public/foundation/QvMiddleError.h"

using namespace content;

namespace {

std::string Sjis(const std::wstring& w) {
  std::string s;
  WStringToSjis(w, s);
  return s;
}

}  // namespace

TEST(HeaderWords, EncodeSplitsIntoBalancedWordsThatDecodeBack) {
  EXPECT_EQ(EncodeHeaderWord(L"Plain subject", true), "Plain subject");
  std::wstring text = L"日本語の件名がとても長い場合には複数の語に分けて送ります。ABC";
  for (bool b : {true, false}) {
    std::string coded = EncodeHeaderWord(text, b);
    size_t words = 0, pos = 0;
    while ((pos = coded.find(b ? "=?iso-2022-jp?b?" : "=?iso-2022-jp?q?", pos)) != std::string::npos) {
      if (words) {
        EXPECT_EQ(coded.substr(pos - 2, 2), "\n ");
      }
      size_t close = coded.find("?=", pos + 16);
      ASSERT_NE(close, std::string::npos);
      std::string payload = coded.substr(pos + 16, close - pos - 16);
      EXPECT_EQ(payload.find_first_of(" ?\n"), std::string::npos) << payload;
      ++words;
      pos = close;
    }
    EXPECT_GT(words, 2u);
    std::string unfolded = coded;
    UnfoldHeader(unfolded, true, true);
    EXPECT_EQ(unfolded, Sjis(text)) << b;
  }
}

TEST(HeaderWords, QWordsHoldOnlyPlainCharactersAndEscapes) {
  // あ is "$\"" in JIS: a bare quote or bracket would end a display name.
  std::wstring text = L"あ「（山）」, <x>?_ ";
  std::string coded = EncodeHeaderWord(text, false);
  ASSERT_EQ(coded.rfind("=?iso-2022-jp?q?", 0), 0u);
  std::string payload = coded.substr(16, coded.size() - 18);
  EXPECT_EQ(payload.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!*+-/="),
            std::string::npos)
      << payload;
  EXPECT_EQ(DecodeHeaderWords(coded, false), Sjis(text));
  std::string field = MakeAddressField(L"a@x", L"山\"田, 太郎", false);
  std::list<std::string> fields = SplitCommaList(field + ", b@x");
  ASSERT_EQ(fields.size(), 2u) << field;
  EXPECT_EQ(AddressOf(fields.front()), "a@x");
}

TEST(HeaderWords, EncodeDropsLineBreaks) {
  EXPECT_EQ(EncodeHeaderWord(L"a\r\nBcc: x@y\0z", true), "aBcc: x@y");
  std::string coded = EncodeHeaderWord(std::wstring(L"件名\r\nBcc: evil@x"), true);
  EXPECT_EQ(coded.find('\r'), std::string::npos);
  EXPECT_EQ(DecodeHeaderWords(coded, true).find("\n"), std::string::npos);
}

TEST(HeaderWords, DecodeJoinsRunsAndDropsBlanksBetweenWords) {
  std::string a = "=?iso-2022-jp?B?" + Base64Encode("\x1B$B$\"\x1B(B") + "?=";
  EXPECT_EQ(DecodeHeaderWords(a + " " + a, false), "\x82\xA0\x82\xA0");
  // "あ" in UTF-8 split over two words.
  std::string split = "=?utf-8?b?" + Base64Encode("\xE3\x81") + "?= =?UTF-8?B?" + Base64Encode("\x82") + "?=";
  EXPECT_EQ(DecodeHeaderWords(split, false), "\x82\xA0");
  EXPECT_EQ(DecodeHeaderWords("Re: " + a + " end", true), "Re: \x82\xA0 end");
  EXPECT_EQ(DecodeHeaderWords("=?ISO-2022-JP?Q?=1B$B$\"=1B(B?=", false), "\x82\xA0");
  EXPECT_EQ(DecodeHeaderWords("=?us-ascii?q?a_b?=", false), "a b");
  EXPECT_EQ(DecodeHeaderWords("=?iso-2022-jp?x?abc?= z", false), "=?iso-2022-jp?x?abc?= z");
  EXPECT_EQ(DecodeHeaderWords("x =?iso-2022-jp?b?abc", false), "x =?iso-2022-jp?b?abc");
  EXPECT_EQ(DecodeHeaderWords(a + " x =?iso-2022-jp?b?abc", false), "\x82\xA0 x =?iso-2022-jp?b?abc");
  // Plain text between words keeps the blanks that separate it from them.
  EXPECT_EQ(DecodeHeaderWords(a + " and\t " + a, false), "\x82\xA0 and \x82\xA0");
  EXPECT_EQ(DecodeHeaderWords(a + " and " + a, true), "\x82\xA0 and \x82\xA0");
  EXPECT_EQ(DecodeHeaderWords(a + "and" + a, false), "\x82\xA0" "and\x82\xA0");
  EXPECT_EQ(DecodeHeaderWords(a + "and" + a, true), "\x82\xA0" "and \x82\xA0");
  // Without words the raw value is converted by its look.
  EXPECT_EQ(DecodeHeaderWords("\xA4\xA2\xA4\xA4", false), "\x82\xA0\x82\xA2");
  EXPECT_EQ(DecodeHeaderWords("\x1B$B$\"\x1B(B", false), "\x82\xA0");
  EXPECT_EQ(DecodeHeaderWords("\x82\xA0 raw", false), "\x82\xA0 raw");
}

TEST(HeaderLines, UnfoldAndNextLine) {
  std::string v = "a\n b\n\tc";
  UnfoldHeader(v, true, false);
  EXPECT_EQ(v, "a b c");
  v = "a\n b";
  UnfoldHeader(v, false, false);
  EXPECT_EQ(v, "ab");
  std::string text = "Subject: one\n two \nTo: x\n\nbody";
  size_t pos = 0;
  std::string line;
  EXPECT_EQ(NextHeaderLine(text, pos, line), 1);
  EXPECT_EQ(line, "Subject: one\n two");
  EXPECT_EQ(NextHeaderLine(text, pos, line), 1);
  EXPECT_EQ(line, "To: x");
  EXPECT_EQ(NextHeaderLine(text, pos, line), 0);
  EXPECT_EQ(text.substr(pos), "body");
  pos = text.size();
  EXPECT_EQ(NextHeaderLine(text, pos, line), 0);
}

TEST(HeaderLines, ParametersAndComments) {
  std::string ct = "text/plain; charset=\"ISO-2022-JP\" (comment); name = ab (c (d)) ; x";
  size_t pos = ct.find(';') + 1;
  std::string name, value;
  ASSERT_EQ(ParseHeaderParam(ct, pos, name, value), 1);
  EXPECT_EQ(name, "charset");
  EXPECT_EQ(value, "ISO-2022-JP");
  ASSERT_EQ(ParseHeaderParam(ct, pos, name, value), 1);
  EXPECT_EQ(name, "name");
  EXPECT_EQ(value, "ab");
  EXPECT_EQ(ParseHeaderParam(ct, pos, name, value), 0);
  pos = 0;
  GetHeaderParamValueLower("\"Q\\\"X\" tail", pos, value);
  EXPECT_EQ(value, "q\"x");
  pos = 0;
  GetHeaderParamValue(" a (c) \"b c\" d; e", pos, value);  // text before the quote stays, after it goes
  EXPECT_EQ(value, "a  b c");
  EXPECT_EQ(pos, 15u);
  std::string out;
  EXPECT_EQ(StripComments("a (b (c) d) \"q\" e)", out), QVMDL_SUCCESS);
  EXPECT_EQ(out, "a   e)");
  StripComments("no comments \"kept\"", out);
  EXPECT_EQ(out, "no comments \"kept\"");
  pos = 3;
  UnquoteHeaderValue("To:  \"a, b\" ", pos, out);
  EXPECT_EQ(out, "a, b");
  CleanHeaderValue("X:  1.0 (x) ", 2, out);
  EXPECT_EQ(out, "1.0 ");
  std::string r = "a-b-c";
  ReplaceAll(r, "-", "--");
  EXPECT_EQ(r, "a--b--c");
  EXPECT_EQ(CollapseBlanks("a  \t b"), "a b");
}

TEST(Addresses, SplitFields) {
  std::string a, n;
  SplitAddress(" \"Taro\" <taro@example.jp> ", a, n);
  EXPECT_EQ(a, "taro@example.jp");
  EXPECT_EQ(n, "Taro");
  SplitAddress("(Jiro) <j@x>", a, n);
  EXPECT_EQ(n, "Jiro");
  SplitAddress("j@x (Jiro Y)", a, n);
  EXPECT_EQ(a, "j@x");
  EXPECT_EQ(n, "Jiro Y");
  SplitAddress("\"Hanako\" h@x", a, n);
  EXPECT_EQ(n, "Hanako");
  SplitAddress("plain@x", a, n);
  EXPECT_EQ(a, "plain@x");
  EXPECT_EQ(n, "");
  // Brackets and quotes in the wrong order or alone.
  SplitAddress("a>b<c", a, n);
  EXPECT_EQ(a, "a>b<c");
  EXPECT_EQ(n, "a>b");
  SplitAddress("x) y (z", a, n);
  EXPECT_EQ(a, "x) y");
  EXPECT_EQ(n, "");
  SplitAddress("\"one quote@x", a, n);
  EXPECT_EQ(a, "\"one quote@x");
  EXPECT_EQ(n, "");
  SplitAddress("", a, n);
  EXPECT_EQ(a, "");
  std::wstring wa, wn;
  SplitAddressW(L"山田 <y@x>", wa, wn);
  EXPECT_EQ(wa, L"y@x");
  EXPECT_EQ(wn, L"山田");
  EXPECT_EQ(SplitCommaList("\"a, b\" <a@x>, c@x, ,"), (std::list<std::string>{"\"a, b\" <a@x>", " c@x"}));
  EXPECT_EQ(AddressListOfW({L"A <a@x>", L"b@x"}), (std::list<std::string>{"a@x", "b@x"}));
}

TEST(Addresses, MakeFieldQuotesAsciiAndEncodesTheRest) {
  EXPECT_EQ(MakeAddressField(L"a@x", L"", true), "a@x");
  EXPECT_EQ(MakeAddressField(L"a@x", L"Taro Y", true), "\"Taro Y\" <a@x>");
  EXPECT_EQ(MakeAddressField(L"Old <a@x>", L"Say \"hi\"", true), "Say \"hi\" <a@x>");
  std::string jp = MakeAddressField(L"a@x", L"山田", true);
  EXPECT_EQ(jp.rfind("=?iso-2022-jp?b?", 0), 0u);
  EXPECT_EQ(jp.substr(jp.size() - 6), " <a@x>");
  std::string evil = MakeAddressField(L"a@x\r\nBcc: e@x", L"N\r\nBcc: e@x", true);
  EXPECT_EQ(evil.find_first_of("\r\n"), std::string::npos);
}

TEST(FileNames, UnsafeCharactersDropped) {
  std::wstring out;
  EXPECT_EQ(MakeFileName("???", out), QVMDL_SUCCESS);
  EXPECT_EQ(out, L"NoName");
  MakeFileName(std::string(250, 'n'), out);
  EXPECT_EQ(out.size(), 200u);
  MakeFileName("a/b\\c:d*e?f\"g<h>i|j.txt", out);
  EXPECT_EQ(out, L"abcdefghij.txt");
  MakeFileName("\x95\x5C.txt", out);  // 表: its trail byte is "\"
  EXPECT_EQ(out, L"表.txt");
}

TEST(Mailto, LinksBecomeMail) {
  EmlCompose c;
  Email mail;
  ASSERT_TRUE(c.ParseMailto("mailto:a@x?subject=%41&cc=b@x", &mail));
  EXPECT_EQ(mail.to, std::list<std::wstring>{L"a@x"});
  EXPECT_EQ(mail.cc, std::list<std::wstring>{L"b@x"});
  EXPECT_EQ(mail.subject, L"A");
  Email m2;
  ASSERT_TRUE(c.ParseMailto("MAILTO:?to=a@x,%22B%2C%20C%22%20%3Cbc@x%3E&BODY=l1%0D%0Al2", &m2));
  EXPECT_EQ(m2.to, (std::list<std::wstring>{L"a@x", L"bc@x"}));
  EXPECT_EQ(m2.body, L"l1\r\nl2");
  Email m3;
  EXPECT_FALSE(c.ParseMailto("http://x", &m3));
  EXPECT_EQ(c.GetErrorInfo(), QVMDL_ERR_EML_BAD_CONTENT);
  EXPECT_FALSE(c.ParseMailto("mailto:a@x", nullptr));
  EXPECT_EQ(c.GetErrorInfo(), QVMDL_ERR_EML_NULL_ARGUMENT);
  Email m4;
  ASSERT_TRUE(c.ParseMailto("mailto:a@x%0D%0ABcc:e@x?subject=S%0D%0ABcc:%20e@x%00&to=%82%A0@x", &m4));
  EXPECT_EQ(m4.subject, L"SBcc: e@x");
  EXPECT_EQ(m4.to, (std::list<std::wstring>{L"a@xBcc:e@x", L"あ@x"}));
  // Escapes that spell UTF-8, as links written today do, read as UTF-8; the
  // device's Shift_JIS escapes and broken UTF-8 read as Shift_JIS bytes.
  const struct {
    const char* link;
    std::string bytes;       // the escapes' bytes
    const wchar_t* utf8;     // null: read as Shift_JIS
  } codes[] = {
      {"mailto:a@x?subject=%E3%81%82%E6%97%A5", "", L"あ日"},
      {"mailto:a@x?subject=%82%A0%93%FA", "\x82\xA0\x93\xFA", nullptr},
      {"mailto:a@x?subject=%E3%81", "\xE3\x81", nullptr},                      // cut short
      {"mailto:a@x?subject=%C0%81%82%A0", "\xC0\x81\x82\xA0", nullptr},      // overlong form
      {"mailto:a@x?subject=%ED%A0%80%82%A0", "\xED\xA0\x80\x82\xA0", nullptr},  // a surrogate
  };
  for (const auto& code : codes) {
    Email m;
    ASSERT_TRUE(c.ParseMailto(code.link, &m)) << code.link;
    std::wstring expected = code.utf8 ? code.utf8 : L"";
    if (!code.utf8) content::MultiByteToWString(code.bytes, expected);
    EXPECT_EQ(m.subject, expected) << code.link;
  }
  Email m5;
  ASSERT_TRUE(c.ParseMailto("mailto:%E5%B1%B1%E7%94%B0%3Cy@x%3E?cc=%E5%B7%9D%3Cz@x%3E", &m5));
  EXPECT_EQ(m5.to, std::list<std::wstring>{L"y@x"});
  EXPECT_EQ(m5.cc, std::list<std::wstring>{L"z@x"});
  std::string s = "%4a%zz%4";
  std::string out;
  c.replacePercent(s, out);
  EXPECT_EQ(out, "J%zz%4");
}

TEST(MimeTypes, ByExtension) {
  EmlCompose c;
  EXPECT_EQ(c.MimeTypeId(L"photo.JPG"), L"image/jpeg");
  EXPECT_EQ(c.MimeTypeId(L"a.tar.gz"), L"application/x-gzip");
  EXPECT_EQ(c.MimeTypeId(L"README"), L"application/octet-stream");
  EXPECT_EQ(c.MimeTypeId(L"Text/Plain"), L"text/plain");
  EXPECT_EQ(c.MimeTypeId(L"x.exe"), L"application/x-msdos-program");
  EXPECT_EQ(c.MimeTypeId(L"x.pgp"), L"application/pgp-signature");
  EXPECT_EQ(c.MimeTypeId(L"x.mp2"), L"video/mpeg");
  EXPECT_EQ(c.MimeTypeId(L"x.Z"), L"application/x-compress");  // folded to "z"
  EXPECT_EQ(c.MimeTypeId(L"txt"), L"text/plain");
  EXPECT_EQ(c.MimeTypeId(L"/dir.d/file"), L"application/octet-stream");
}

TEST(Records, ClearEmailAndErrorWord) {
  EmlCompose c;
  Email m;
  m.subject = L"s";
  m.to.push_back(L"t");
  m.date.wYear = 2008;
  m.isSimple = 1;
  m.mailingList = L"list";
  m.inlineParts.push_back(Enclosure{});
  c.clearEmail(&m);
  EXPECT_TRUE(m.subject.empty());
  EXPECT_TRUE(m.to.empty());
  EXPECT_EQ(m.date.wYear, 0);
  EXPECT_EQ(m.isSimple, 0u);
  EXPECT_EQ(m.mailingList, L"list");
  EXPECT_EQ(m.inlineParts.size(), 1u);

  std::wstring field = L"名前 <n@x>", address, name;
  EXPECT_FALSE(c.ParseAddress(field, &address, nullptr));
  EXPECT_EQ(c.GetErrorInfo(), QVMDL_ERR_EML_NULL_ARGUMENT);
  EXPECT_TRUE(c.ParseAddress(field, &address, &name));
  EXPECT_EQ(c.GetErrorInfo(), QVMDL_SUCCESS);
  EXPECT_EQ(address, L"n@x");
  EXPECT_EQ(name, L"名前");
  std::string f = "a <b@x>", a = "old", n = "old";
  EXPECT_TRUE(c.ParseAddress_S(f, &a, &n));
  EXPECT_EQ(a, "b@x");

  EXPECT_EQ(foundation::CheckHeapRoom(51199), QVMDL_SUCCESS);
  EXPECT_EQ(foundation::CheckHeapRoom(51200), QVMDL_SUCCESS);
  // Sizes no heap holds fail, also where size + 100 would wrap around.
  EXPECT_EQ(foundation::CheckHeapRoom(SIZE_MAX), QVMDL_ERR_EML_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(foundation::CheckHeapRoom(SIZE_MAX - 60), QVMDL_ERR_EML_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(foundation::HexDigitValue('f'), 15);
  EXPECT_EQ(foundation::HexDigitValue('g'), -1);
  EXPECT_EQ(foundation::DigitValue('7'), 7);
  EXPECT_EQ(foundation::DigitValue('a'), -1);
}
