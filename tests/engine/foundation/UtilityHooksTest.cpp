// Registry helpers, the dialling hand-off and the receive-timer notification.
#include <filesystem>
#include <string>
#include <vector>

#include "FoundationFixture.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/public/foundation/QvPlatformHooks.h"
#include "platform/kernel/Notify.h"
#include "platform/kernel/Sync.h"
#include "platform/kernel/Time.h"
#include "platform/registry/Registry.h"

namespace {

const std::wstring kKey = L"Software\\Norvale\\QvMail";

using UtilityTest = FoundationTest;

TEST_F(UtilityTest, RegistryTextFitsIn129Characters) {
  const std::wstring fits(129, L'あ');
  const std::wstring tooLong(130, L'a');
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, kKey, L"DataPath", fits));
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, kKey, L"Long", tooLong));
  std::wstring read;
  EXPECT_TRUE(GetRegistryValue(HKEY_CURRENT_USER, L"software\\NORVALE\\qvmail", L"datapath", &read));
  EXPECT_EQ(read, fits);
  SetQvMiddleError(0);
  read = L"unchanged";
  EXPECT_FALSE(GetRegistryValue(HKEY_CURRENT_USER, kKey, L"Long", &read));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_REG_VALUE);
  EXPECT_EQ(read, L"unchanged");
}

TEST_F(UtilityTest, RegistryHelperCodes) {
  std::wstring read;
  EXPECT_FALSE(GetRegistryValue(HKEY_CURRENT_USER, L"Software\\Absent", L"DataPath", &read));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_REG_KEY);
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, kKey, L"Other", L"x"));
  EXPECT_FALSE(GetRegistryValue(HKEY_CURRENT_USER, kKey, L"DataPath", &read));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_REG_VALUE);
  // A number is no text.
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, kKey, L"Number", 7));
  EXPECT_FALSE(GetRegistryValue(HKEY_CURRENT_USER, kKey, L"Number", &read));

  // A key that can be neither opened nor created.
  const HKEY bogus = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1234));
  SetQvMiddleError(0);
  EXPECT_FALSE(SetRegistryValue(bogus, kKey, L"DataPath", L"x"));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_REG_KEY);
  SetQvMiddleError(0);
  EXPECT_FALSE(SetRegistryDword(bogus, kKey, L"Number", 1));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_REG_KEY);
}

TEST_F(UtilityTest, RegistryDwordSetsNoCode) {
  DWORD value = 99;
  EXPECT_FALSE(GetRegistryDword(HKEY_CURRENT_USER, kKey, L"Number", &value));
  EXPECT_EQ(value, 99u);
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, kKey, L"Number", 0xDEADBEEF));
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, kKey, L"Text", L"abc"));
  EXPECT_TRUE(GetRegistryDword(HKEY_CURRENT_USER, kKey, L"Number", &value));
  EXPECT_EQ(value, 0xDEADBEEFu);
  EXPECT_EQ(GetQvMiddleError(), 0u);
}

TEST_F(UtilityTest, DiallingTable) {
  const struct {
    int mode;
    const wchar_t* call;
  } rows[] = {{0, L"tel:0312345678"},     {1, L"tel:1840312345678"},  {2, L"tel:1860312345678"},
              {3, L"tel:B0312345678"},    {4, L"tel:B1840312345678"}, {5, L"tel:B1860312345678"},
              {9, L"tel:"},               {-1, L"tel:"}};
  const std::wstring phoneKey = L"Software\\NORVALE\\KxPhoneLib";
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, L"kxcprog_telto");
  ASSERT_NE(event, nullptr);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.mode);
    EXPECT_EQ(ExecDialing(row.mode, L"0312345678"), 0);
    std::wstring text;
    EXPECT_TRUE(GetRegistryValue(HKEY_CURRENT_USER, phoneKey, L"kxcprog_opt", &text));
    EXPECT_EQ(text, row.call);
    EXPECT_TRUE(GetRegistryValue(HKEY_CURRENT_USER, phoneKey, L"kxcprog_cmd", &text));
    EXPECT_EQ(text, L"-url");
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << "the phone program is signalled";
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "auto-reset";
  }
  CloseHandle(event);
}

struct Notification {
  std::wstring application;
  std::wstring arguments;
  DWORD type;
  SYSTEMTIME start;
};

std::vector<Notification> Notifications() {
  HANDLE handles[100];
  DWORD count = 0;
  std::vector<Notification> out;
  if (!CeGetUserNotificationHandles(handles, 100, &count)) return out;
  for (DWORD i = 0; i < count && i < 100; ++i) {
    DWORD needed = 0;
    CeGetUserNotification(handles[i], 0, &needed, nullptr);
    std::vector<uint64_t> buffer(needed / 8 + 1);
    if (!CeGetUserNotification(handles[i], needed, &needed, reinterpret_cast<LPBYTE>(buffer.data()))) continue;
    const auto* info = reinterpret_cast<const CE_NOTIFICATION_INFO_HEADER*>(buffer.data());
    Notification n;
    n.application = info->pcent->lpszApplication ? info->pcent->lpszApplication : L"";
    n.arguments = info->pcent->lpszArguments ? info->pcent->lpszArguments : L"";
    n.type = info->pcent->dwType;
    n.start = info->pcent->stStartTime;
    out.push_back(n);
  }
  return out;
}

void AddOtherNotification() {
  std::wstring app = L"\\Windows\\Other.exe";
  CE_NOTIFICATION_TRIGGER trigger = {};
  trigger.dwSize = sizeof(trigger);
  trigger.dwType = CNT_TIME;
  trigger.lpszApplication = app.data();
  GetLocalTime(&trigger.stStartTime);
  ASSERT_NE(CeSetUserNotificationEx(nullptr, &trigger, nullptr), nullptr);
}

TEST_F(UtilityTest, RecvTimerSetsOneNotificationAtTheNextTime) {
  SYSTEMTIME utc = {2026, 12, 0, 8, 14, 50, 0, 0};  // 23:50 JST
  qv::seams::SetClock(utc);
  AddOtherNotification();
  EXPECT_EQ(SetRecvTimer(true, 30), 0u);
  EXPECT_EQ(SetRecvTimer(true, 15), 0u);  // replaces the first
  const std::vector<Notification> all = Notifications();
  ASSERT_EQ(all.size(), 2u);
  const Notification& timer = all[0].application == L"\\Windows\\QvRecvTimer.exe" ? all[0] : all[1];
  EXPECT_EQ(timer.application, L"\\Windows\\QvRecvTimer.exe");
  EXPECT_EQ(timer.arguments, L"-t");
  EXPECT_EQ(timer.type, static_cast<DWORD>(CNT_TIME));
  // Local time plus the minutes, across midnight.
  EXPECT_EQ(timer.start.wYear, 2026);
  EXPECT_EQ(timer.start.wMonth, 12);
  EXPECT_EQ(timer.start.wDay, 9);
  EXPECT_EQ(timer.start.wHour, 0);
  EXPECT_EQ(timer.start.wMinute, 5);
}

TEST_F(UtilityTest, RecvTimerOffOnlyRemoves) {
  AddOtherNotification();
  ASSERT_EQ(SetRecvTimer(true, 10), 0u);
  EXPECT_EQ(SetRecvTimer(false, 10), 0u);
  const std::vector<Notification> all = Notifications();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].application, L"\\Windows\\Other.exe");
}

TEST_F(UtilityTest, RecvTimerRefusedByThePlatformReportsIt) {
  const std::string debug = CaptureDebug();
  // Where the platform keeps notifications is taken by a plain file.
  std::filesystem::create_directories(root_ + "/.qvkernel");
  WriteHost(".qvkernel/notify", "not a folder");
  EXPECT_EQ(SetRecvTimer(true, 5), 0x2002201u);
  EXPECT_EQ(GetQvMiddleError(), 0u) << "reported as the value, not through the error word";
  const std::string lines = ReadHostFile(debug);
  EXPECT_NE(lines.find("[[ SetRecvTimer(1, 5) ]]\r\n"), std::string::npos);
  EXPECT_NE(lines.find("CeSetUserNotificationEx false  "), std::string::npos);
}

}  // namespace
