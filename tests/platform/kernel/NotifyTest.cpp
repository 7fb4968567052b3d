#include "platform/kernel/Notify.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/kernel/DevicePath.h"

#include "tests/support/DeviceRootFixture.h"

namespace {

using Notify = qv::test::DeviceRootTest;

CE_NOTIFICATION_TRIGGER Trigger(LPCWSTR app, LPCWSTR args, WORD hour) {
  CE_NOTIFICATION_TRIGGER t{};
  t.dwSize = sizeof t;
  t.dwType = CNT_TIME;
  t.lpszApplication = const_cast<LPWSTR>(app);
  t.lpszArguments = const_cast<LPWSTR>(args);
  t.stStartTime = SYSTEMTIME{2026, 12, 2, 8, hour, 0, 0, 0};
  t.stEndTime = t.stStartTime;
  return t;
}

std::vector<HANDLE> Handles() {
  DWORD needed = 0;
  CeGetUserNotificationHandles(nullptr, 0, &needed);
  std::vector<HANDLE> handles(needed);
  if (needed) {
    EXPECT_TRUE(CeGetUserNotificationHandles(handles.data(), needed, &needed));
  }
  return handles;
}

TEST_F(Notify, RecordsPersistAndAreListedAndCleared) {
  EXPECT_TRUE(Handles().empty());
  auto t1 = Trigger(L"\\Windows\\QvRecvTimer.exe", L"-recv \u53D7\u4FE1", 6);
  auto t2 = Trigger(L"\\Windows\\Other.exe", nullptr, 7);
  HANDLE h1 = CeSetUserNotificationEx(nullptr, &t1, nullptr);
  HANDLE h2 = CeSetUserNotificationEx(nullptr, &t2, nullptr);
  ASSERT_NE(h1, nullptr);
  ASSERT_NE(h2, nullptr);
  EXPECT_NE(h1, h2);
  // Records are files under the root: a later process (here: the same one
  // reading them back) sees them.
  EXPECT_EQ(Handles(), (std::vector<HANDLE>{h1, h2}));
  DWORD needed = 0;
  HANDLE one = nullptr;
  EXPECT_FALSE(CeGetUserNotificationHandles(&one, 1, &needed));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(needed, 2u);

  // Replacing keeps the handle.
  auto t3 = Trigger(L"\\Windows\\QvRecvTimer.exe", L"-again", 8);
  EXPECT_EQ(CeSetUserNotificationEx(h1, &t3, nullptr), h1);
  EXPECT_EQ(Handles().size(), 2u);

  ASSERT_TRUE(CeClearUserNotification(h2));
  EXPECT_FALSE(CeClearUserNotification(h2));
  EXPECT_EQ(Handles(), (std::vector<HANDLE>{h1}));
}

TEST_F(Notify, GetFillsHeaderTriggerAndStrings) {
  auto t = Trigger(L"\\Windows\\QvRecvTimer.exe", L"\u53D7\u4FE1", 6);
  CE_USER_NOTIFICATION user{};
  user.ActionFlags = 0x10;
  user.pwszDialogTitle = const_cast<LPWSTR>(L"Title");
  HANDLE h = CeSetUserNotificationEx(nullptr, &t, &user);
  ASSERT_NE(h, nullptr);
  DWORD needed = 0;
  EXPECT_FALSE(CeGetUserNotification(h, 0, &needed, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_GT(needed, sizeof(CE_NOTIFICATION_INFO_HEADER) + sizeof(CE_NOTIFICATION_TRIGGER));
  std::vector<BYTE> small(needed - 1);
  EXPECT_FALSE(CeGetUserNotification(h, needed - 1, &needed, small.data()));
  alignas(8) BYTE buffer[1024];
  ASSERT_LE(needed, sizeof buffer);
  ASSERT_TRUE(CeGetUserNotification(h, sizeof buffer, &needed, buffer));
  const auto* info = reinterpret_cast<const CE_NOTIFICATION_INFO_HEADER*>(buffer);
  EXPECT_EQ(info->hNotification, h);
  ASSERT_NE(info->pcent, nullptr);
  // Everything points inside the caller's buffer.
  EXPECT_GE(reinterpret_cast<const BYTE*>(info->pcent), buffer);
  EXPECT_LT(reinterpret_cast<const BYTE*>(info->pcent->lpszApplication), buffer + needed);
  EXPECT_EQ(info->pcent->dwType, static_cast<DWORD>(CNT_TIME));
  EXPECT_STREQ(info->pcent->lpszApplication, L"\\Windows\\QvRecvTimer.exe");
  EXPECT_STREQ(info->pcent->lpszArguments, L"\u53D7\u4FE1");
  EXPECT_EQ(info->pcent->stStartTime.wHour, 6);
  ASSERT_NE(info->pceun, nullptr);
  EXPECT_EQ(info->pceun->ActionFlags, 0x10u);
  EXPECT_STREQ(info->pceun->pwszDialogTitle, L"Title");
  EXPECT_EQ(info->pceun->pwszDialogText, nullptr);
}

TEST_F(Notify, RefusesIncompleteTriggers) {
  EXPECT_EQ(CeSetUserNotificationEx(nullptr, nullptr, nullptr), nullptr);
  auto t = Trigger(nullptr, nullptr, 1);
  t.dwType = CNT_EVENT;
  EXPECT_EQ(CeSetUserNotificationEx(nullptr, &t, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  t.dwType = 99;
  EXPECT_EQ(CeSetUserNotificationEx(nullptr, &t, nullptr), nullptr);
}

TEST_F(Notify, DamagedRecordFilesReadAsNoRecord) {
  auto t = Trigger(L"\\Windows\\QvRecvTimer.exe", L"-t", 6);
  HANDLE good = CeSetUserNotificationEx(nullptr, &t, nullptr);
  ASSERT_NE(good, nullptr);
  const std::string dir = std::string(qv::kernel::kKernelFolder) + "/notify/";
  const std::string whole = ReadHost(dir + std::to_string(reinterpret_cast<uintptr_t>(good)) + ".ntf");
  ASSERT_FALSE(whole.empty());
  // A text field that is not hex, one cut in the middle of a byte, a file
  // cut short, and a name whose number does not fit 32 bits.
  std::string notHex = whole;
  notHex.replace(notHex.find("=5c"), 3, "=zz");
  std::string oddHex = whole;
  oddHex.replace(oddHex.find("=5c"), 3, "=5");
  WriteHost(dir + "7.ntf", notHex);
  WriteHost(dir + "8.ntf", oddHex);
  WriteHost(dir + "9.ntf", whole.substr(0, whole.size() / 2));
  WriteHost(dir + "99999999999999999999.ntf", whole);
  const std::vector<HANDLE> handles = Handles();
  EXPECT_EQ(handles.size(), 4u) << "the over-long name is no record";
  for (HANDLE h : handles) {
    DWORD needed = 0;
    const BOOL read = CeGetUserNotification(h, 0, &needed, nullptr);
    EXPECT_FALSE(read);
    if (h == good) {
      EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    } else {
      EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
  }
}

}  // namespace
