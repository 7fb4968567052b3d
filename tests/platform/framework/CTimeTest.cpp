// The framework's time: the clock read through the platform, local time by
// the platform's time zone, and strftime's conversions as the framework
// formats them.
#include "platform/framework/CTime.h"
#include "platform/testing/Seams.h"
#include "tests/platform/framework/FrameworkTest.h"

namespace qv::test {
namespace {

using CTimeTest = FrameworkTest;

TEST_F(CTimeTest, FormatsLocalTime) {
  // 2026-12-09 22:04:05 UTC is Thursday 2026-12-10 07:04:05 in Japan.
  qv::seams::SetClock(SYSTEMTIME{2026, 12, 3, 9, 22, 4, 5, 0});
  const CTime now = CTime::GetCurrentTime();
  const struct {
    const wchar_t* format;
    const wchar_t* expected;
  } cases[] = {
      {L"%Y%m%d%H%M%S", L"20261210070405"},
      {L"%#m/%#d %#H:%M", L"12/10 7:04"},
      {L"%a %A %b %B", L"Thu Thursday Dec December"},
      {L"%y %j %w %I%p", L"26 344 4 07AM"},
      {L"%c", L"12/10/26 07:04:05"},
      {L"%z 100%% %Q", L"+0900 100% %Q"},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_STREQ(now.Format(c.format).GetString(), c.expected) << c.format;
  EXPECT_STREQ(now.FormatGmt(L"%H:%M %z").GetString(), L"22:04 +0000");
  EXPECT_EQ(now.GetDayOfWeek(), 5);
  EXPECT_EQ(CTime(2026, 12, 10, 7, 4, 5), now) << "a local date and time names the same point";
  EXPECT_EQ(CTime(1970, 1, 1, 9, 0, 0).GetTime(), 0);
  qv::seams::SetTimeZoneBias(0);
  EXPECT_STREQ(now.Format(L"%H %z").GetString(), L"22 +0000");
}

}  // namespace
}  // namespace qv::test
