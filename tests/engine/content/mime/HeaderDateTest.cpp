// Header fields and the Date value: day, month, year, time and zone rules,
// generated dates, single lookups, the decode entries' own rules.
#include "engine/content/DateField.h"
#include "engine/store/QvMailHeaderDecoder.h"
#include "engine/content/MailDate.h"
#include <map>

#include "tests/engine/content/mime/MimeTestSupport.h"

using namespace mimetest;
using content::parseDate;
using content::parseTime;
using content::parseTimezone;

namespace {

SYSTEMTIME Date(std::string_view value) {
  SYSTEMTIME t{};
  parseDate(value, &t);
  parseTime(value, &t);
  return t;
}

TEST(DateValue, DayMonthYearAndTime) {
  SYSTEMTIME t = Date("Wed, 5 Aug 07 10:20:30 +0900");
  EXPECT_EQ(t.wYear, 2007);
  EXPECT_EQ(t.wMonth, 8);
  EXPECT_EQ(t.wDay, 5);
  EXPECT_EQ(t.wHour, 10);
  EXPECT_EQ(t.wMinute, 20);
  EXPECT_EQ(t.wSecond, 30);
  EXPECT_EQ(Date("1 Jan 50 00:00 +0000").wYear, 1950);
  EXPECT_EQ(Date("1 Jan 107 00:00 +0000").wYear, 2007);
  EXPECT_EQ(Date("1 Jan 2026 00:00 +0000").wYear, 2026);
  const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (int m = 1; m <= 12; ++m)
    EXPECT_EQ(Date(std::string("1 ") + months[m - 1] + " 2026 00:00").wMonth, m) << months[m - 1];
  // Without all three nothing is stored.
  SYSTEMTIME partial{};
  EXPECT_FALSE(parseDate("Tue, 5 Xy", &partial));
  EXPECT_EQ(partial.wDay, 0);
  // No seconds: hour and minute only.
  SYSTEMTIME noSeconds = Date("5 Aug 2026 9:07 +0900");
  EXPECT_EQ(noSeconds.wHour, 9);
  EXPECT_EQ(noSeconds.wMinute, 7);
  EXPECT_EQ(noSeconds.wSecond, 0);
}

TEST(DateValue, HugeNumbersDoNotWrapIntoRange) {
  SYSTEMTIME t = Date("5 Aug 4294969396 10:20:30");
  EXPECT_FALSE(content::DateIsValid(t));
  SYSTEMTIME d = Date("4294967301 Aug 2026 10:20:30");
  EXPECT_NE(d.wDay, 5);
}

TEST(DateValue, Zones) {
  EXPECT_EQ(parseTimezone("5 Aug 2026 10:20:30 +9"), "+0009");
  EXPECT_EQ(parseTimezone("5 Aug 2026 10:20:30 -05"), "-0005");
  EXPECT_EQ(parseTimezone("5 Aug 2026 10:20:30 +900"), "+0900");
  EXPECT_EQ(parseTimezone("5 Aug 2026 10:20:30 +"), "+0000");
  EXPECT_EQ(parseTimezone("5 Aug 2026 10:20:30 (JST)"), "+0000");
  EXPECT_EQ(parseTimezone("5 Aug 2026 10:20:30 +0900 (JST)"), "+0900 (JST)");
  EXPECT_EQ(parseTimezone("5 Aug 2026 10:20:30 +9 (JST)"), "+0009 (JST)");
  EXPECT_EQ(parseTimezone("5 Aug 2026 10:20:30 EDT"), "-0400");
  EXPECT_EQ(parseTimezone("5 Aug 2026 10:20:30 JST"), "+0900");
  EXPECT_EQ(parseTimezone("5 Aug 2026 10:20:30 GMT"), "+0000");
  EXPECT_EQ(parseTimezone("5 Aug 2026 10:20:30 UTC"), "+0000");
  EXPECT_EQ(parseTimezone("5 Aug 2026 10:20:30 Z"), "Z");
  EXPECT_EQ(parseTimezone("5 Aug 2026 10:20:30"), "+0000");  // the start lies past the end
}

TEST(DateValue, ReadsStayInsideTheValue) {
  SYSTEMTIME t{};
  EXPECT_TRUE(parseTime(":", &t));
  EXPECT_TRUE(parseTime("1:", &t));
  EXPECT_TRUE(parseTime("12:3", &t));
  EXPECT_EQ(t.wMinute, 3);
  EXPECT_TRUE(parseTime("12:34:", &t));
  EXPECT_FALSE(parseTime("no time", &t));
  EXPECT_EQ(parseTimezone(":"), "+0000");
  EXPECT_EQ(parseTimezone("ab"), "+0000");
  EXPECT_EQ(parseTimezone(")"), "+0000");
  EXPECT_EQ(parseTimezone("10:20:30 ("), "+0000");
}

class Headers : public MimeTest {};

TEST_F(Headers, MissingOrBadDateIsGeneratedAndRepairedOnSave) {
  std::string raw = "From: a@example.jp\r\nSubject: s\r\n\r\nbody\r\n";
  Email m;
  ASSERT_TRUE(eml_.DecodeForSave(&m, &raw));
  EXPECT_EQ(m.generatedDateLine, "Date: Tue, 08 Dec 2026 19:11:12 +0900\r\n");
  EXPECT_EQ(raw, "Date: Tue, 08 Dec 2026 19:11:12 +0900\r\nFrom: a@example.jp\r\nSubject: s\r\n\r\nbody\r\n");
  EXPECT_EQ(m.date.wHour, 19);
  EXPECT_EQ(m.timeZone, L"+0900");

  // An unusable Date line is replaced; a "Date:" in the body is not.
  std::string bad = "DATE: someday\r\n  continued\r\nSubject: s\r\n\r\nDate: in the body\r\n";
  ASSERT_TRUE(eml_.DecodeForSave(&m, &bad));
  EXPECT_EQ(bad, "Date: Tue, 08 Dec 2026 19:11:12 +0900\r\nSubject: s\r\n\r\nDate: in the body\r\n");

  std::string good = "Date: Wed, 5 Aug 2026 10:20:30 +0900\r\n\r\nx";
  std::string copy = good;
  ASSERT_TRUE(eml_.DecodeForSave(&m, &copy));
  EXPECT_EQ(copy, good);
  EXPECT_TRUE(m.generatedDateLine.empty());
}

TEST_F(Headers, SingleLookupsAndHeaderOnlyText) {
  std::string raw = "Subject: =?iso-2022-jp?B?GyRCJEskWyRzGyhC?=\r\nX-Long: one\r\n two\r\n\r\nX-Body: no\r\n";
  std::string value;
  ASSERT_TRUE(eml_.GetHeaderField(raw, "subject", &value));
  EXPECT_EQ(W(value), L"にほん");
  ASSERT_TRUE(eml_.GetHeaderField(raw, "X-Long:", &value));
  EXPECT_EQ(value, "one two");
  EXPECT_FALSE(eml_.GetHeaderField(raw, "X-Body", &value));
  EXPECT_EQ(eml_.GetErrorInfo(), QVMDL_ERR_EML_NO_HEADER_END);
  EXPECT_FALSE(eml_.GetHeaderField(raw, "Subject", nullptr));
  EXPECT_EQ(eml_.GetErrorInfo(), QVMDL_ERR_EML_NULL_ARGUMENT);

  std::string header;
  ASSERT_TRUE(eml_.GetHeader(raw, &header));
  EXPECT_EQ(header.find("X-Body"), std::string::npos);
  EXPECT_FALSE(eml_.GetHeader("no blank line", &header));

  // Only a header: decodes with an empty body and no error.
  std::string only = "From: a@example.jp\r\nSubject: only";
  Email m;
  ASSERT_TRUE(eml_.Decode(&m, &only));
  EXPECT_EQ(m.subject, L"only");
  EXPECT_TRUE(m.body.empty());
}

TEST_F(Headers, FlagsAndFeedHeaders) {
  std::string raw =
      "X-Kxr-Rivulet\r\nFrom: feed@example.jp\r\nSubject: item\r\nx-ml-name: news\r\n"
      "X-Feed-Download: http://example.jp/a.jpg\r\nX-Qvmail_PictureMail: 1\r\n\r\nline one\r\nline <two>\r\n";
  Email m;
  ASSERT_TRUE(eml_.Decode(&m, &raw));
  EXPECT_EQ(m.isFeed, 1);
  EXPECT_EQ(m.isPictureMail, 1);
  EXPECT_EQ(m.hasFeedDownload, 1);
  EXPECT_EQ(m.feedDownload, L"http://example.jp/a.jpg");
  EXPECT_EQ(m.mailingList, L"news");
  EXPECT_TRUE(m.generatedDateLine.empty());  // a feed item gets no made-up date
  // A feed item gets its HTML page, text escaped.
  EXPECT_NE(m.htmlBody.find(L"line one<br>\r\nline &lt;two&gt;"), std::wstring::npos);
}

TEST_F(Headers, SimpleDecodeStopsAfterTheFirstTextAndCutsTheBody) {
  std::string raw = "Subject: s\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\n" +
                    std::string(400, 'x') + "\r\n--b\r\nContent-Type: text/plain; name=a.txt\r\n\r\nsecond\r\n--b--\r\n";
  Email m;
  ASSERT_TRUE(eml_.DecodeSimple(&m, &raw, -1));
  EXPECT_EQ(m.isSimple, 1u);
  EXPECT_EQ(m.body, std::wstring(281, L'x'));
  EXPECT_TRUE(m.attachments.empty());
  ASSERT_TRUE(eml_.DecodeSimple(&m, &raw, 10));
  EXPECT_EQ(m.body.size(), 10u);
}

TEST_F(Headers, LineEndConversions) {
  std::string lf;
  ASSERT_EQ(eml_.replace0D0Ato0A(std::string("a\r\nb\rc\r\n", 8), lf), static_cast<int>(QVMDL_SUCCESS));
  EXPECT_EQ(lf, "a\nb\rc\n");
  std::string crlf;
  eml_.replace0Ato0D0A_S("a\nb\r\nc\n", crlf);
  EXPECT_EQ(crlf, "a\r\nb\r\nc\r\n");
  std::wstring wide;
  eml_.replace0Ato0D0A(L"\nx", wide);
  EXPECT_EQ(wide, L"\r\nx");
  qv::seams::SetAvailableMemory(1000);
  std::string raw = "Subject: s\r\n\r\nbody";
  Email m;
  EXPECT_FALSE(eml_.Decode(&m, &raw));
  EXPECT_EQ(eml_.GetErrorInfo(), QVMDL_ERR_EML_NOT_ENOUGH_MEMORY);
}

TEST_F(Headers, CharsetConversionByName) {
  std::string jis = "\x1B$B$\"\x1B(B";
  eml_.toSJIS(jis, L"ISO-2022-JP");
  EXPECT_EQ(W(jis), L"あ");
  std::string euc = "\xA4\xA2";
  eml_.toSJIS(euc, L"");  // detected
  EXPECT_EQ(W(euc), L"あ");
  std::string utf = "\xE3\x81\x82";
  eml_.toSJISforHTML(utf, L"UTF-8");
  EXPECT_EQ(W(utf), L"あ");
  std::string sjis = "\x82\xA0";
  eml_.toSJIS(sjis, L"shift_jis");
  EXPECT_EQ(W(sjis), L"あ");
}

// Received mail as the decoder reads it: labelled Shift_JIS stays as it is
// (half-width kana are no EUC-JP pairs), and blanks inside the time of a
// Date do not shift its fields.
TEST_F(Headers, ReceivedMailCharsetLabelsAndDateTimes) {
  const std::wstring kana = L"ｱｲｳｴｵ ﾃｽﾄ";
  const std::string kanaSjis = S(kana);
  struct Case {
    const char* what;
    std::string raw;
    std::wstring subject, body;
    WORD hour, minute, second;
  };
  const std::string date = "Date: Tue, 8 Dec 2026 19:11:12 +0900\r\n";
  const Case cases[] = {
      {"body shift_jis", date + "Content-Type: text/plain; charset=shift_jis\r\n\r\n" + kanaSjis, L"", kana, 19, 11, 12},
      {"body cp932", date + "Content-Type: text/plain; charset=CP932\r\n\r\n" + kanaSjis, L"", kana, 19, 11, 12},
      {"body windows-31j", date + "Content-Type: text/plain; charset=\"Windows-31J\"\r\n\r\n" + kanaSjis, L"", kana,
       19, 11, 12},
      {"part shift_jis",
       date + "Content-Type: multipart/alternative; boundary=b\r\n\r\n--b\r\nContent-Type: text/plain; "
              "charset=shift_jis\r\n\r\n" +
           kanaSjis + "\r\n--b--\r\n",
       L"", kana, 19, 11, 12},
      {"header word shift_jis", date + "Subject: =?Shift_JIS?B?sbKzwg==?=\r\n\r\nx", L"ｱｲｳﾂ", L"x", 19, 11, 12},
      {"time with blanks", "Date: Tue, 8 Dec 2026 12 : 34 : 56 +0900\r\n\r\nx", L"", L"x", 12, 34, 56},
      {"time with blanks, no seconds", "Date: 8 Dec 2026 9 :05 +0900\r\n\r\nx", L"", L"x", 9, 5, 0},
      {"plain time", "Date: 8 Dec 2026 23:59:58 +0900\r\n\r\nx", L"", L"x", 23, 59, 58},
  };
  for (const Case& c : cases) {
    Email m;
    std::string raw = c.raw;
    ASSERT_TRUE(eml_.Decode(&m, &raw)) << c.what;
    EXPECT_EQ(m.subject, c.subject) << c.what;
    std::wstring body = m.body;
    while (!body.empty() && (body.back() == L'\n' || body.back() == L'\r')) body.pop_back();
    EXPECT_EQ(body, c.body) << c.what;
    EXPECT_EQ(m.date.wYear, 2026) << c.what;
    EXPECT_EQ(m.date.wHour, c.hour) << c.what;
    EXPECT_EQ(m.date.wMinute, c.minute) << c.what;
    EXPECT_EQ(m.date.wSecond, c.second) << c.what;
  }
}

TEST_F(Headers, HeaderCacheSourceOverTheDecoder) {
  std::map<uint32_t, std::string> stored = {
      {7, Corpus("iso2022jp_plain.eml")},
      {8, "From: x@example.jp\r\nSubject: none\r\n\r\n"},
  };
  QvMailHeaderDecoder source([&](uint32_t id, std::string* raw) {
    auto it = stored.find(id);
    if (it == stored.end()) {
      SetQvMiddleError(QVMDL_ERR_STG_FILEIO_FILE_READ_EML);
      return false;
    }
    *raw = it->second;
    return true;
  });
  QvMailHeaderFields f;
  ASSERT_TRUE(source.ReadHeaderFields(7, &f));
  EXPECT_EQ(f.toAddress, L"hanako@example.jp");
  EXPECT_EQ(f.fromAddress, L"taro@example.jp");
  EXPECT_EQ(f.fromName, L"山田太郎");
  EXPECT_EQ(f.subject, L"会議のお知らせ");
  EXPECT_EQ(f.date.wDay, 5);
  ASSERT_TRUE(source.ReadHeaderFields(8, &f));
  EXPECT_TRUE(f.toAddress.empty());
  EXPECT_EQ(f.date.wHour, 19);  // no Date: the decoder's own time
  EXPECT_FALSE(source.ReadHeaderFields(9, &f));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_STG_FILEIO_FILE_READ_EML);
}

}  // namespace
