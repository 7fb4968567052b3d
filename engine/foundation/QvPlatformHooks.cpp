// Hand-offs to programs outside the engine: the receive-timer program started
// by a user notification, and the phone program that places a call.
#include "engine/public/foundation/QvPlatformHooks.h"

#include <string>
#include <vector>

#include "engine/public/foundation/QvMiddleError.h"
#include "platform/base/ScopedHandle.h"
#include "platform/base/WideText.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Notify.h"
#include "platform/kernel/Sync.h"
#include "platform/kernel/Time.h"
#include "platform/registry/Registry.h"

namespace {

constexpr wchar_t kRecvTimerProgram[] = L"\\Windows\\QvRecvTimer.exe";
constexpr DWORD kMaxNotifications = 100;
constexpr ULONGLONG kFileTimeUnitsPerMinute = 600000000ULL;

void RemoveRecvTimerNotifications() {
  HANDLE handles[kMaxNotifications] = {};
  DWORD count = 0;
  if (!CeGetUserNotificationHandles(handles, kMaxNotifications, &count)) return;
  if (count > kMaxNotifications) count = kMaxNotifications;
  for (DWORD i = 0; i < count; ++i) {
    DWORD needed = 0;
    CeGetUserNotification(handles[i], 0, &needed, nullptr);
    if (needed < sizeof(CE_NOTIFICATION_INFO_HEADER)) continue;
    // The record holds pointers into itself, so the buffer must be aligned for them.
    std::vector<uint64_t> storage((needed + sizeof(uint64_t) - 1) / sizeof(uint64_t));
    auto* buffer = reinterpret_cast<LPBYTE>(storage.data());
    if (!CeGetUserNotification(handles[i], needed, &needed, buffer)) continue;
    const auto* info = reinterpret_cast<const CE_NOTIFICATION_INFO_HEADER*>(buffer);
    if (info->pcent && info->pcent->lpszApplication &&
        std::wstring(info->pcent->lpszApplication) == kRecvTimerProgram) {
      CeClearUserNotification(handles[i]);
    }
  }
}

}  // namespace

uint32_t SetRecvTimer(bool on, int minutes) {
  NKDbgPrintfW(L"[[ SetRecvTimer(%d, %d) ]]\r\n", on ? 1 : 0, minutes);
  RemoveRecvTimerNotifications();
  if (!on) return 0;

  SYSTEMTIME now = {};
  GetLocalTime(&now);
  FILETIME start = {};
  SystemTimeToFileTime(&now, &start);
  ULARGE_INTEGER when;
  when.u.LowPart = start.dwLowDateTime;
  when.u.HighPart = start.dwHighDateTime;
  when.QuadPart += static_cast<ULONGLONG>(static_cast<LONGLONG>(minutes)) * kFileTimeUnitsPerMinute;
  start.dwLowDateTime = when.u.LowPart;
  start.dwHighDateTime = when.u.HighPart;

  std::wstring application = kRecvTimerProgram;
  std::wstring arguments = L"-t";
  CE_NOTIFICATION_TRIGGER trigger = {};
  trigger.dwSize = sizeof(trigger);
  trigger.dwType = CNT_TIME;
  trigger.lpszApplication = application.data();
  trigger.lpszArguments = arguments.data();
  FileTimeToSystemTime(&start, &trigger.stStartTime);
  trigger.stEndTime = trigger.stStartTime;
  if (!CeSetUserNotificationEx(nullptr, &trigger, nullptr)) {
    NKDbgPrintfW(L"CeSetUserNotificationEx false  ");
    return QVMDL_ERR_RECV_TIMER;
  }
  return 0;
}

int ExecDialing(int mode, const std::wstring& number) {
  std::wstring call = L"tel:";
  switch (mode) {
    case 0: call += number; break;
    case 1: call += L"184" + number; break;
    case 2: call += L"186" + number; break;
    case 3: call += L"B" + number; break;
    case 4: call += L"B184" + number; break;
    case 5: call += L"B186" + number; break;
    default: break;
  }

  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\NORVALE\\KxPhoneLib", 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, &key, &disposition) != ERROR_SUCCESS) {
    return -1;
  }
  const auto setText = [key](const wchar_t* name, const std::wstring& text) {
    const DWORD bytes = static_cast<DWORD>((qv::Utf16Length(text) + 1) * 2);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
  };
  setText(L"kxcprog_cmd", L"-url");
  setText(L"kxcprog_opt", call);
  RegCloseKey(key);

  // The phone program reads the values when this event is set.
  qv::ScopedHandle event(CreateEventW(nullptr, FALSE, FALSE, L"kxcprog_telto"));
  if (event) SetEvent(event.get());
  return 0;
}
