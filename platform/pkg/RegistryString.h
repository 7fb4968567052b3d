// The shell library's registry string helpers: one call reads or writes a
// text value by root, sub-key and value name. Kept with the installer's
// services, whose setup libraries are their users.
#pragma once

#include "platform/base/WinTypes.h"
#include "platform/registry/Registry.h"

typedef LONG HRESULT;

#ifndef S_OK
#define S_OK (static_cast<HRESULT>(0))
#define E_FAIL (static_cast<HRESULT>(0x80004005u))
#define E_INVALIDARG (static_cast<HRESULT>(0x80070057u))
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define HRESULT_FROM_WIN32(x) \
  ((x) == 0 ? static_cast<HRESULT>(0) : static_cast<HRESULT>((static_cast<DWORD>(x) & 0xFFFFu) | 0x80070000u))
#endif

extern "C" {

// Reads a text value (REG_SZ or REG_EXPAND_SZ) into `data`, which holds
// `chars` WCHARs with the terminating zero. A longer value fails with
// ERROR_MORE_DATA, a value of another type with ERROR_INVALID_DATA; on any
// failure `data` is left empty.
QV_PLATFORM_API HRESULT RegistryGetString(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPWSTR data, UINT chars);
// Writes a REG_SZ value, creating the sub-key when it is missing.
QV_PLATFORM_API HRESULT RegistrySetString(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPCWSTR data);

}  // extern "C"
