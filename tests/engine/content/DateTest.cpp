// Calendar arithmetic and received dates in device local time.
#include <gtest/gtest.h>

#include "engine/content/MailDate.h"
#include "platform/testing/Seams.h"

using namespace content;

namespace {

SYSTEMTIME At(int y, int mo, int d, int h, int mi, int s, int dow = 0) {
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(y);
  t.wMonth = static_cast<WORD>(mo);
  t.wDay = static_cast<WORD>(d);
  t.wHour = static_cast<WORD>(h);
  t.wMinute = static_cast<WORD>(mi);
  t.wSecond = static_cast<WORD>(s);
  t.wDayOfWeek = static_cast<WORD>(dow);
  return t;
}

class DeviceZone : public ::testing::Test {
 protected:
  void SetUp() override {
    qv::seams::SetClock(At(2008, 6, 1, 12, 0, 0));
    qv::seams::SetTimeZoneBias(-540);
  }
  void TearDown() override { qv::seams::ResetSeams(); }
};

}  // namespace

TEST(Julian, KnownDaysAndInverse) {
  EXPECT_EQ(JulianDay(2000, 1, 1), 2451545);
  EXPECT_EQ(JulianDay(2000, 3, 1), 2451605);
  EXPECT_EQ(JulianDay(7, 5, 1), JulianDay(1907, 5, 1));
  EXPECT_EQ(JulianDay(2000, 3, 1) - JulianDay(2000, 2, 28), 2);  // 2000 is a leap year
  EXPECT_EQ(JulianDay(1900, 3, 1) - JulianDay(1900, 2, 28), 1);  // 1900 is not
  for (long n = JulianDay(1899, 12, 25); n < JulianDay(2101, 1, 5); ++n) {
    int y, m, d;
    JulianDayToDate(n, &y, &m, &d);
    ASSERT_EQ(JulianDay(y, m, d), n);
    ASSERT_TRUE(m >= 1 && m <= 12 && d >= 1 && d <= 31);
  }
  EXPECT_EQ(DaysBetween(At(2008, 3, 1, 0, 0, 0), At(2008, 2, 1, 0, 0, 0)), 29);
}

TEST(Julian, AddSecondsAcrossDays) {
  SYSTEMTIME t = AddSeconds(At(2006, 1, 1, 0, 0, 30, 0), -60);
  EXPECT_EQ(t.wYear, 2005);
  EXPECT_EQ(t.wMonth, 12);
  EXPECT_EQ(t.wDay, 31);
  EXPECT_EQ(t.wHour, 23);
  EXPECT_EQ(t.wMinute, 59);
  EXPECT_EQ(t.wSecond, 30);
  EXPECT_EQ(t.wDayOfWeek, 6);
  t = AddSeconds(At(2008, 2, 27, 10, 0, 0, 3), 86400 * 3 + 5);
  EXPECT_EQ(t.wMonth, 3);
  EXPECT_EQ(t.wDay, 1);
  EXPECT_EQ(t.wSecond, 5);
  EXPECT_EQ(t.wDayOfWeek, 6);
  t = AddSeconds(At(2008, 3, 1, 0, 0, 0, 6), -86400 * 2 - 1);
  EXPECT_EQ(t.wDay, 27);
  EXPECT_EQ(t.wHour, 23);
  EXPECT_EQ(t.wDayOfWeek, 3);
  EXPECT_EQ(TimeToMs(1, 2, 3, 4), 3723004);
  SYSTEMTIME m{};
  MsToTime(3723004, &m);
  EXPECT_EQ(m.wHour * 10000 + m.wMinute * 100 + m.wSecond, 10203);
  EXPECT_EQ(m.wMilliseconds, 4);
}

TEST(Names, DaysMonthsValidity) {
  EXPECT_EQ(DayName(0), "Sun");
  EXPECT_EQ(DayName(6), "Sat");
  EXPECT_EQ(DayName(7), "");
  EXPECT_EQ(MonthName(1), "Jan");
  EXPECT_EQ(MonthName(12), "Dec");
  EXPECT_EQ(MonthName(0), "");
  EXPECT_TRUE(DateIsValid(At(2008, 1, 1, 23, 59, 60)));  // a leap second
  EXPECT_FALSE(DateIsValid(At(2008, 1, 1, 24, 0, 0)));
  EXPECT_FALSE(DateIsValid(At(2008, 1, 1, 60, 0, 0)));
  EXPECT_FALSE(DateIsValid(At(2008, 1, 1, 12, 60, 0)));
  EXPECT_FALSE(DateIsValid(At(2008, 1, 1, 12, 0, 61)));
  EXPECT_FALSE(DateIsValid(At(1899, 1, 1, 0, 0, 0)));
  EXPECT_FALSE(DateIsValid(At(2008, 0, 1, 0, 0, 0)));
  EXPECT_FALSE(DateIsValid(At(2101, 1, 1, 0, 0, 0)));
}

TEST_F(DeviceZone, ReceivedDatesToLocalTime) {
  SYSTEMTIME t = DateToLocal(At(2008, 5, 1, 0, 0, 0, 4), "+0000");
  EXPECT_EQ(t.wHour, 9);
  t = DateToLocal(At(2008, 5, 1, 0, 0, 0, 4), "-0500");
  EXPECT_EQ(t.wHour, 14);
  t = DateToLocal(At(2008, 5, 1, 0, 0, 0, 4), "Z");
  EXPECT_EQ(t.wHour, 0);
  t = DateToLocal(At(2008, 5, 1, 0, 0, 0, 4), L"A");
  EXPECT_EQ(t.wDay, 30);
  EXPECT_EQ(t.wHour, 23);
  EXPECT_EQ(t.wDayOfWeek, 3);
  t = DateToLocal(At(2008, 5, 1, 0, 0, 0, 4), "GMT");  // a name reads as zero
  EXPECT_EQ(t.wHour, 9);
  t = DateToLocal(At(2008, 5, 1, 0, 0, 0, 4), "+09");  // cut short: hours only
  EXPECT_EQ(t.wHour, 0);
  qv::seams::SetTimeZoneBias(300);
  t = DateToLocal(At(2008, 5, 1, 12, 0, 0, 4), "+0900");
  EXPECT_EQ(t.wDay, 30);
  EXPECT_EQ(t.wHour, 22);
}

TEST_F(DeviceZone, ZoneTextOfTheDevice) {
  char z[6] = "?????";
  ASSERT_EQ(GetTimeZoneText(z), 1);
  EXPECT_STREQ(z, "+0900");
  qv::seams::SetTimeZoneBias(330);
  GetTimeZoneText(z);
  EXPECT_STREQ(z, "-0530");
}

TEST(DateText, CompactTime) {
  std::string t = "1 Jan 2008 12 : 34 : 56 +0900";
  CompactTimeText(t, 10);
  EXPECT_EQ(t, "1 Jan 2008 12:34:56 +0900");
  t = "Mon 1 Jan  9 :05 GMT";
  CompactTimeText(t, 10);
  EXPECT_EQ(t, "Mon 1 Jan  9:05 GMT");
  t = "abc";
  CompactTimeText(t, 3);
  EXPECT_EQ(t, "abc");
}
