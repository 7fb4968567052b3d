// Stand-in for the maker's account-extension library. The maker's library
// registers its own components with the device; this one only counts its
// registrations under HKCU "Software\Norvale\QvMailExtAccount"
// ("Registrations") and answers success (0), or the value "Answer" set
// there by a test.
#include "platform/registry/Registry.h"

#define QVMAILEXTACCOUNT_API __attribute__((visibility("default")))

namespace {

constexpr wchar_t kKey[] = L"Software\\Norvale\\QvMailExtAccount";

DWORD ReadDword(HKEY key, const wchar_t* name, DWORD fallback) {
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD) {
    return fallback;
  }
  return value;
}

}  // namespace

extern "C" QVMAILEXTACCOUNT_API long DllRegisterServer() {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, 0, nullptr, &key, &disposition) != ERROR_SUCCESS) {
    return 0;
  }
  const DWORD count = ReadDword(key, L"Registrations", 0) + 1;
  RegSetValueExW(key, L"Registrations", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
  const long answer = static_cast<long>(ReadDword(key, L"Answer", 0));
  RegCloseKey(key);
  return answer;
}
