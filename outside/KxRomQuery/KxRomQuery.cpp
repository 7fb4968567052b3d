// Stand-in for the maker's ROM-version provider. The maker's library reads
// its own records; this one answers the texts configured under HKLM
// "Software\Norvale\KxRomQuery" ("RomVer", "FlashVer"), or fixed ones.
#include "platform/pkg/RegistryString.h"

#define KXROMQUERY_API __attribute__((visibility("default")))

namespace {

// Callers hand a buffer of 64 WCHARs; the answer never fills more.
constexpr UINT kAnswerChars = 64;

void Answer(LPCWSTR valueName, LPCWSTR fallback, LPWSTR buffer) {
  if (FAILED(RegistryGetString(HKEY_LOCAL_MACHINE, L"Software\\Norvale\\KxRomQuery", valueName, buffer,
                               kAnswerChars))) {
    UINT i = 0;
    for (; fallback[i] != 0 && i + 1 < kAnswerChars; ++i) buffer[i] = fallback[i];
    buffer[i] = 0;
  }
}

}  // namespace

extern "C" {

KXROMQUERY_API int GetRomVer(LPWSTR buffer) {
  if (buffer == nullptr) return 0;
  Answer(L"RomVer", L"1.05a", buffer);
  return 1;
}

KXROMQUERY_API int GetFlashVer(LPWSTR buffer) {
  if (buffer == nullptr) return 0;
  Answer(L"FlashVer", L"1.05.00", buffer);
  return 1;
}

}  // extern "C"
