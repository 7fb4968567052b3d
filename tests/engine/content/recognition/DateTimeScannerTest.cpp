// Dates, times, ranges and places picked out of Japanese mail text, on a
// device whose clock stands at 2008-06-10 12:00 JST.
#include <gtest/gtest.h>

#include <string>

#include "engine/public/content/CharsetText.h"
#include "engine/content/DateTimeScanner.h"
#include "platform/testing/Seams.h"

using namespace content;

namespace {

class Recognition : public ::testing::Test {
 protected:
  void SetUp() override {
    SYSTEMTIME utc{};
    utc.wYear = 2008;
    utc.wMonth = 6;
    utc.wDay = 10;
    utc.wHour = 3;  // 12:00 in Japan
    qv::seams::SetClock(utc);
    qv::seams::SetTimeZoneBias(-540);
  }
  void TearDown() override { qv::seams::ResetSeams(); }

  static DateTimeScanner Scan(std::wstring_view text) {
    DateTimeScanner s;
    s.Scan(text);
    return s;
  }
};

#define EXPECT_START(s, y, mo, d, h, mi)            \
  do {                                              \
    ASSERT_TRUE((s).startFound);                    \
    EXPECT_EQ((s).start.wYear, (y));                \
    EXPECT_EQ((s).start.wMonth, (mo));              \
    EXPECT_EQ((s).start.wDay, (d));                 \
    EXPECT_EQ((s).start.wHour, (h));                \
    EXPECT_EQ((s).start.wMinute, (mi));             \
  } while (0)

#define EXPECT_END(s, y, mo, d, h, mi)  \
  do {                                  \
    ASSERT_TRUE((s).endFound);          \
    EXPECT_EQ((s).endYear, (y));        \
    EXPECT_EQ((s).endMonth, (mo));      \
    EXPECT_EQ((s).endDay, (d));         \
    EXPECT_EQ((s).endHour, (h));        \
    EXPECT_EQ((s).endMinute, (mi));     \
  } while (0)

}  // namespace

TEST_F(Recognition, WholeDatesInEveryDigitForm) {
  struct Case {
    const wchar_t* text;
    int y, m, d;
  } cases[] = {
      {L"会議は2008年6月1日です", 2008, 6, 1},
      {L"２００８年１２月２４日", 2008, 12, 24},
      {L"二〇〇七年十二月二十五日", 2007, 12, 25},
      {L"日付 2009/07/31", 2009, 7, 31},
      {L"2009．7．31", 2009, 7, 31},
      {L"2009-01-02", 2009, 1, 2},
      {L"'09/3/4", 2009, 3, 4},
      {L"平成20年6月1日", 2008, 6, 1},
      {L"昭和50年1月2日", 1975, 1, 2},
      {L"08年6月1日", 2008, 6, 1},
      {L"69/1/2", 2069, 1, 2},
      {L"70/1/2", 1970, 1, 2},
      {L"2008年 6月 1日", 2008, 6, 1},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(i);
    DateTimeScanner s = Scan(c.text);
    EXPECT_START(s, c.y, c.m, c.d, 0, 0);
    EXPECT_FALSE(s.startHasTime);
  }
  // The day of week comes from the calendar: 1 June 2008 was a Sunday.
  EXPECT_EQ(Scan(L"2008年6月1日").start.wDayOfWeek, 0);
}

TEST_F(Recognition, YearBoundsRefuseTheWholeDate) {
  EXPECT_START(Scan(L"2084年12月31日"), 2084, 12, 31, 0, 0);
  EXPECT_START(Scan(L"1950年1月1日"), 1950, 1, 1, 0, 0);
  // Refused dates are not read again as a month and day of this year.
  for (const wchar_t* text : {L"2085年1月1日", L"1949年12月31日 10:00", L"平成97年1月1日", L"昭和24年5月5日",
                              L"500年6月1日", L"99999999999999年6月1日"}) {
    DateTimeScanner s = Scan(text);
    EXPECT_FALSE(s.startFound);
    EXPECT_TRUE(s.Items().empty());
  }
  // A later valid date on the line is still found.
  EXPECT_START(Scan(L"2085年1月1日ではなく2008年7月7日"), 2008, 7, 7, 0, 0);
}

TEST_F(Recognition, MonthAndDayTakeTheCurrentYear) {
  EXPECT_START(Scan(L"6月15日"), 2008, 6, 15, 0, 0);
  EXPECT_START(Scan(L"十二月二十五日"), 2008, 12, 25, 0, 0);
  EXPECT_START(Scan(L"6/15(日) 締切"), 2008, 6, 15, 0, 0);
  EXPECT_START(Scan(L"２０日"), 2008, 6, 20, 0, 0);
  EXPECT_START(Scan(L"三十日"), 2008, 6, 30, 0, 0);
  EXPECT_START(Scan(L"6月15日（日曜日） 午後3時半"), 2008, 6, 15, 15, 30);
  EXPECT_TRUE(Scan(L"6月15日（日）10時").startHasTime);
}

TEST_F(Recognition, ImpossibleDatesAreRefused) {
  for (const wchar_t* text : {L"6月31日", L"2009年2月29日", L"2008/4/31", L"13月1日", L"0日", L"32日", L"31日",
                              L"6月0日", L"2008年0月5日"}) {
    DateTimeScanner s = Scan(text);
    EXPECT_FALSE(s.startFound) << s.start.wMonth << "/" << s.start.wDay;
  }
  EXPECT_START(Scan(L"2008年2月29日"), 2008, 2, 29, 0, 0);
  EXPECT_START(Scan(L"2000年2月29日"), 2000, 2, 29, 0, 0);
}

TEST_F(Recognition, TimesAlone) {
  EXPECT_START(Scan(L"23:59 集合"), 2008, 6, 10, 23, 59);
  EXPECT_START(Scan(L"１０：３０"), 2008, 6, 10, 10, 30);
  EXPECT_START(Scan(L"午後3時"), 2008, 6, 10, 15, 0);
  EXPECT_START(Scan(L"午前10時15分"), 2008, 6, 10, 10, 15);
  EXPECT_START(Scan(L"午後12時"), 2008, 6, 10, 12, 0);
  EXPECT_START(Scan(L"3PM"), 2008, 6, 10, 15, 0);
  EXPECT_START(Scan(L"PM 3:30"), 2008, 6, 10, 15, 30);
  EXPECT_START(Scan(L"10:00 pm"), 2008, 6, 10, 22, 0);
  EXPECT_START(Scan(L"十時半"), 2008, 6, 10, 10, 30);
  EXPECT_START(Scan(L"10時30"), 2008, 6, 10, 10, 30);
  // Around a colon the hour is 0-23 and the minute 0-59.
  for (const wchar_t* text : {L"25:00", L"24:00", L"10:60", L"123:45", L"10:5", L"2時間", L"一時的", L"3日間",
                              L"6.5時間", L"1.5倍", L"AMAZON", L"CAMERA 10"}) {
    EXPECT_FALSE(Scan(text).startFound) << ::testing::PrintToString(std::wstring(text));
  }
}

TEST_F(Recognition, HoursOfTheNextDay) {
  DateTimeScanner s = Scan(L"6月1日 25時");
  EXPECT_START(s, 2008, 6, 2, 1, 0);
  EXPECT_TRUE(s.nextDay);
  s = Scan(L"2008年12月31日 25:30");
  EXPECT_START(s, 2009, 1, 1, 1, 30);
  EXPECT_EQ(s.start.wDayOfWeek, 4);  // a Thursday
  // Past 29 the hour is dropped and the date stands alone.
  s = Scan(L"6月1日 30時");
  EXPECT_START(s, 2008, 6, 1, 0, 0);
  EXPECT_FALSE(s.startHasTime);
  EXPECT_FALSE(s.nextDay);
  // After a date a minute out of range counts as 0.
  EXPECT_START(Scan(L"6月1日 10時75分"), 2008, 6, 1, 10, 0);
}

TEST_F(Recognition, RangesAndTheirEnds) {
  DateTimeScanner s = Scan(L"日時：2008年6月1日（日）13:00～17:30");
  EXPECT_START(s, 2008, 6, 1, 13, 0);
  EXPECT_END(s, 2008, 6, 1, 17, 30);
  EXPECT_TRUE(s.endHasTime);

  s = Scan(L"6月28日～3日");
  EXPECT_END(s, 2008, 7, 3, 0, 0);
  EXPECT_FALSE(s.endHasTime);
  s = Scan(L"12月28日～5日");
  EXPECT_END(s, 2009, 1, 5, 0, 0);
  s = Scan(L"12月30日から1月2日まで");
  EXPECT_END(s, 2009, 1, 2, 0, 0);
  s = Scan(L"6月20日～6月5日");
  EXPECT_END(s, 2009, 6, 5, 0, 0);
  s = Scan(L"2008年6月20日～2008年6月5日");
  EXPECT_END(s, 2008, 6, 5, 0, 0);
  s = Scan(L"6/1-6/3");
  EXPECT_END(s, 2008, 6, 3, 0, 0);
  s = Scan(L"6月1日10時 ー 6月2日17時");
  EXPECT_END(s, 2008, 6, 2, 17, 0);
  s = Scan(L"10時から12時");
  EXPECT_START(s, 2008, 6, 10, 10, 0);
  EXPECT_END(s, 2008, 6, 10, 12, 0);
  // A range mark that leads nowhere ends nothing; a range on another item
  // is not the start's.
  EXPECT_FALSE(Scan(L"6月1日～").endFound);
  s = Scan(L"6月1日に。\n10時～11時");
  EXPECT_FALSE(s.endFound);
  // An end that does not exist is refused, the start stays.
  s = Scan(L"1月31日～30日");
  EXPECT_START(s, 2008, 1, 31, 0, 0);
  EXPECT_FALSE(s.endFound);
}

TEST_F(Recognition, RangesPastMidnight) {
  // The end takes the start's date, which is already the next day.
  DateTimeScanner s = Scan(L"6月1日 25:00～26:00");
  EXPECT_START(s, 2008, 6, 2, 1, 0);
  EXPECT_END(s, 2008, 6, 2, 2, 0);
  // An end with a date of its own moves on from that date.
  s = Scan(L"6月1日 25:00～6月2日 26:00");
  EXPECT_END(s, 2008, 6, 3, 2, 0);
  s = Scan(L"6月1日 23:00～25:00");
  EXPECT_FALSE(s.nextDay);
  EXPECT_END(s, 2008, 6, 2, 1, 0);
  // Alone, 25:00 is no time; after a range mark it is.
  s = Scan(L"23:00 - 25:00");
  EXPECT_END(s, 2008, 6, 11, 1, 0);
}

TEST_F(Recognition, TimeLaterOnTheStartLine) {
  DateTimeScanner s = Scan(L"6月5日（木） 定例会議 10時～12時");
  EXPECT_START(s, 2008, 6, 5, 10, 0);
  EXPECT_TRUE(s.startHasTime);
  EXPECT_END(s, 2008, 6, 5, 12, 0);
  ASSERT_EQ(s.Items().size(), 3u);
  EXPECT_TRUE(s.Items()[1].hasTime);
  EXPECT_FALSE(s.Items()[1].hasDate);
  EXPECT_EQ(s.Items()[1].day, 5);  // the start's date
  // On a later line a time is its own item.
  s = Scan(L"6月5日\n10時");
  EXPECT_FALSE(s.startHasTime);
  EXPECT_EQ(s.Items().size(), 2u);
}

TEST_F(Recognition, ItemsAccumulateAcrossScans) {
  DateTimeScanner s;
  s.Scan(L"7月1日");
  s.Scan(L"8月2日 9:15");
  ASSERT_EQ(s.Items().size(), 2u);
  EXPECT_EQ(s.Items()[1].month, 8);
  EXPECT_EQ(s.Items()[1].hour, 9);
  EXPECT_START(s, 2008, 7, 1, 0, 0);
}

TEST_F(Recognition, Places) {
  EXPECT_EQ(Scan(L"場所：第一会議室").place, L"第一会議室");
  EXPECT_EQ(Scan(L"会場は　東京ビッグサイト  ").place, L"東京ビッグサイト");
  EXPECT_EQ(Scan(L"【場所】大阪支社；3階").place, L"大阪支社");
  EXPECT_EQ(Scan(L"於 本社ビル:8F").place, L"本社ビル");
  EXPECT_EQ(Scan(L"会場の\t大ホール").place, L"大ホール");
  // Keywords inside words, or with nothing after them, name nothing.
  EXPECT_EQ(Scan(L"場所柄ですね").place, L"");
  EXPECT_EQ(Scan(L"場所：").place, L"");
  // "於" only when neither keyword names a place; the first line wins.
  EXPECT_EQ(Scan(L"於 A棟\n場所: B棟").place, L"A棟");
  EXPECT_EQ(Scan(L"於 A棟、場所: B棟").place, L"B棟");
  EXPECT_EQ(Scan(L"場所：\r\n会場：C室\r\n場所：D室").place, L"C室");
}

TEST_F(Recognition, LinesAndForwardedHeaders) {
  DateTimeScanner s = Scan(L"送信日時: 2008/05/01 10:00\r\n転送者：山田\r\n打合せは6月5日 14:00です\r\n");
  EXPECT_START(s, 2008, 6, 5, 14, 0);
  EXPECT_EQ(s.Items().size(), 1u);
  // A sentence that mentions sending is not a header.
  EXPECT_START(Scan(L"資料を6月3日までに送信してください"), 2008, 6, 3, 0, 0);
  // A CR inside a line ends nothing of a date.
  EXPECT_START(Scan(L"\r\r6月3日\r"), 2008, 6, 3, 0, 0);
}

TEST_F(Recognition, GroupLinesPutsOwnTextFirst) {
  DateTimeScanner s;
  std::wstring out = L"old";
  s.GroupLines(out, L"了解です\r\n> 6月1日 10時\n\n> 場所：A\n送信日時: 2008/05/01\n 転送者: X\n本文\n\nおわり");
  EXPECT_EQ(out, L"了解です\n本文\n\nおわり\n> 6月1日 10時\n\n> 場所：A\n送信日時: 2008/05/01\n 転送者: X\n");
  // Scanning the regrouped text finds the writer's date before the quoted one.
  std::wstring mail = L"> 5月1日 9時からでは？\n5月2日 10時～11時でお願いします\n";
  s.GroupLines(out, mail);
  DateTimeScanner grouped;
  grouped.Scan(out);
  EXPECT_START(grouped, 2008, 5, 2, 10, 0);
  EXPECT_END(grouped, 2008, 5, 2, 11, 0);
  EXPECT_START(Scan(mail), 2008, 5, 1, 9, 0);
  s.GroupLines(out, L"");
  EXPECT_EQ(out, L"");
  s.GroupLines(out, L"\n\n");
  EXPECT_EQ(out, L"\n\n");
}

TEST_F(Recognition, TextEndingMidExpression) {
  for (const wchar_t* text : {L"2008年6月", L"2008年6月1", L"2008/6/", L"10:", L"10:3", L"午後", L"'0", L"平成",
                              L"6月1日（", L"6月1日（月", L"10時～", L"場所", L"会場は", L"PM", L"６月１"}) {
    DateTimeScanner s = Scan(text);
    EXPECT_FALSE(s.endFound);
    EXPECT_TRUE(s.place.empty());
  }
  EXPECT_FALSE(Scan(L"2008年6月").startFound);
  // Shift_JIS text cut after a lead byte.
  std::wstring wide;
  ASSERT_GT(MultiByteToWString("6\x8c\x8e" "1\x93\xfa\x82", wide), 0);  // 6月1日 and a lone lead byte
  EXPECT_START(Scan(wide), 2008, 6, 1, 0, 0);
}

TEST_F(Recognition, HostileTextStaysLinear) {
  // Each case is large enough that rereading per character would not finish
  // in the test's time; under ASan any read past the text fails.
  const size_t n = 100000;
  DateTimeScanner s = Scan(std::wstring(n, L'1'));
  EXPECT_TRUE(s.Items().empty());
  s = Scan(std::wstring(n, L'９') + L"年1月1日");
  EXPECT_FALSE(s.startFound);
  std::wstring blanks = L"1" + std::wstring(n, L' ') + L"月";
  EXPECT_FALSE(Scan(blanks).startFound);
  std::wstring slashes;
  for (size_t i = 0; i < n / 2; ++i) slashes += L"1/";
  s = Scan(slashes);
  EXPECT_START(s, 2001, 1, 1, 0, 0);
  std::wstring marks;
  for (size_t i = 0; i < n / 4; ++i) marks += L"場所～年月日時:：";
  s = Scan(marks);
  EXPECT_FALSE(s.startFound);
  EXPECT_TRUE(s.place.empty());
  std::wstring ranges;
  for (size_t i = 0; i < n / 8; ++i) ranges += L"1日～2日～";
  s = Scan(ranges);
  EXPECT_END(s, 2008, 6, 2, 0, 0);
  EXPECT_EQ(s.Items().size(), n / 4);
  std::wstring tens(n, L'十');
  EXPECT_FALSE(Scan(tens + L"日").startFound);
  std::wstring kanji = L"二十" + std::wstring(n, L'〇') + L"年六月一日";
  EXPECT_FALSE(Scan(kanji).startFound);
}
