// Stand-in for the maker's phone-application bridge. The second-ring setting
// the mail program switches is not the phone's here: each call is recorded
// under HKCU "Software\Norvale\QvMailDynCall" as the last argument
// ("Last2ndRing") and the number of calls ("Calls2ndRing").
#include "platform/registry/Registry.h"

#define QVMAILDYNCALL_API __attribute__((visibility("default")))

namespace {

constexpr wchar_t kKey[] = L"Software\\Norvale\\QvMailDynCall";

}  // namespace

extern "C" {

QVMAILDYNCALL_API int PhonelibSet2ndRingFrEmailApp(int on) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      &disposition) != ERROR_SUCCESS) {
    return 0;
  }
  DWORD calls = 0;
  DWORD type = REG_NONE;
  DWORD size = sizeof calls;
  if (RegQueryValueExW(key, L"Calls2ndRing", nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_DWORD ||
      size != sizeof calls ||
      RegQueryValueExW(key, L"Calls2ndRing", nullptr, &type, reinterpret_cast<BYTE*>(&calls), &size) != ERROR_SUCCESS) {
    calls = 0;
  }
  ++calls;
  const DWORD last = static_cast<DWORD>(on);
  const bool recorded =
      RegSetValueExW(key, L"Last2ndRing", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&last), sizeof last) ==
          ERROR_SUCCESS &&
      RegSetValueExW(key, L"Calls2ndRing", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&calls), sizeof calls) ==
          ERROR_SUCCESS;
  RegCloseKey(key);
  return recorded ? 1 : 0;
}

}  // extern "C"
