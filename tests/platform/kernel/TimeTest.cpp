#include "platform/kernel/Time.h"

#include <gtest/gtest.h>

#include "platform/testing/Seams.h"

namespace {

ULONGLONG Value(const FILETIME& ft) { return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }

FILETIME Make(ULONGLONG v) { return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)}; }

class Time : public ::testing::Test {
 protected:
  void TearDown() override { qv::seams::ResetSeams(); }
};

TEST_F(Time, KnownMoments) {
  SYSTEMTIME epoch{1970, 1, 0, 1, 0, 0, 0, 0};
  FILETIME ft{};
  ASSERT_TRUE(SystemTimeToFileTime(&epoch, &ft));
  EXPECT_EQ(Value(ft), 116444736000000000ULL);
  SYSTEMTIME first{1601, 1, 0, 1, 0, 0, 0, 0};
  ASSERT_TRUE(SystemTimeToFileTime(&first, &ft));
  EXPECT_EQ(Value(ft), 0u);
  // 2000-02-29 12:34:56.789 UTC, a Tuesday.
  SYSTEMTIME leap{2000, 2, 0, 29, 12, 34, 56, 789};
  ASSERT_TRUE(SystemTimeToFileTime(&leap, &ft));
  EXPECT_EQ(Value(ft), 116444736000000000ULL + 951827696789ULL * 10000);
  SYSTEMTIME back{};
  ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
  EXPECT_EQ(back.wYear, 2000);
  EXPECT_EQ(back.wMonth, 2);
  EXPECT_EQ(back.wDay, 29);
  EXPECT_EQ(back.wDayOfWeek, 2);
  EXPECT_EQ(back.wHour, 12);
  EXPECT_EQ(back.wMinute, 34);
  EXPECT_EQ(back.wSecond, 56);
  EXPECT_EQ(back.wMilliseconds, 789);
}

TEST_F(Time, InvalidSystemTimesAreRefused) {
  FILETIME ft{};
  const SYSTEMTIME bad[] = {
      {2023, 2, 0, 29, 0, 0, 0, 0},  {1900, 2, 0, 29, 0, 0, 0, 0}, {2024, 13, 0, 1, 0, 0, 0, 0},
      {2024, 0, 0, 1, 0, 0, 0, 0},   {2024, 4, 0, 31, 0, 0, 0, 0}, {2024, 1, 0, 0, 0, 0, 0, 0},
      {2024, 1, 0, 1, 24, 0, 0, 0},  {2024, 1, 0, 1, 0, 60, 0, 0}, {2024, 1, 0, 1, 0, 0, 60, 0},
      {2024, 1, 0, 1, 0, 0, 0, 1000}, {1600, 12, 0, 31, 0, 0, 0, 0}};
  for (const SYSTEMTIME& st : bad) {
    SetLastError(0);
    EXPECT_FALSE(SystemTimeToFileTime(&st, &ft)) << st.wYear << "-" << st.wMonth << "-" << st.wDay;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  const SYSTEMTIME leap{2024, 2, 0, 29, 23, 59, 59, 999};
  EXPECT_TRUE(SystemTimeToFileTime(&leap, &ft));
  SYSTEMTIME out{};
  const FILETIME tooLarge = Make(0x8000000000000000ULL);
  EXPECT_FALSE(FileTimeToSystemTime(&tooLarge, &out));
}

TEST_F(Time, LocalTimeIsJapanUnlessTheSeamSaysOtherwise) {
  TIME_ZONE_INFORMATION tz{};
  EXPECT_EQ(GetTimeZoneInformation(&tz), static_cast<DWORD>(TIME_ZONE_ID_UNKNOWN));
  EXPECT_EQ(tz.Bias, -540);
  const FILETIME utc = Make(116444736000000000ULL);
  FILETIME local{}, again{};
  ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
  EXPECT_EQ(Value(local) - Value(utc), 9ULL * 3600 * 10000000);
  ASSERT_TRUE(LocalFileTimeToFileTime(&local, &again));
  EXPECT_EQ(Value(again), Value(utc));

  qv::seams::SetTimeZoneBias(300);  // UTC-5
  GetTimeZoneInformation(&tz);
  EXPECT_EQ(tz.Bias, 300);
  ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
  EXPECT_EQ(Value(utc) - Value(local), 5ULL * 3600 * 10000000);
}

TEST_F(Time, FixedAndAdvancedClock) {
  const SYSTEMTIME at{2026, 12, 0, 31, 20, 30, 0, 0};  // 05:30 next day in Japan
  qv::seams::SetClock(at);
  SYSTEMTIME utc{}, local{};
  GetSystemTime(&utc);
  EXPECT_EQ(utc.wDay, 31);
  EXPECT_EQ(utc.wHour, 20);
  GetLocalTime(&local);
  EXPECT_EQ(local.wYear, 2027);
  EXPECT_EQ(local.wMonth, 1);
  EXPECT_EQ(local.wDay, 1);
  EXPECT_EQ(local.wHour, 5);
  EXPECT_EQ(local.wDayOfWeek, 5);  // a Friday
  FILETIME a{}, b{};
  GetSystemTimeAsFileTime(&a);
  qv::seams::AdvanceClock(90 * 1000);
  GetSystemTimeAsFileTime(&b);
  EXPECT_EQ(Value(b) - Value(a), 90ULL * 10000000);
  EXPECT_EQ(CompareFileTime(&a, &b), -1);
  EXPECT_EQ(CompareFileTime(&b, &a), 1);
  EXPECT_EQ(CompareFileTime(&a, &a), 0);
  qv::seams::ClearClock();
  GetSystemTime(&utc);
  EXPECT_GE(utc.wYear, 2024);
}

}  // namespace
