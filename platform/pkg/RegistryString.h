// The shell library's registry string helpers: one call reads or writes a
// text value by root, sub-key and value name. Kept with the installer's
// services, whose setup libraries are their users.
#pragma once

#include "platform/base/WinTypes.h"
#include "platform/registry/Registry.h"

extern "C" {

// Reads a text value (REG_SZ or REG_EXPAND_SZ) into `data`, which holds
// `chars` WCHARs with the terminating zero. A longer value fails with
// ERROR_MORE_DATA, a value of another type with ERROR_INVALID_DATA; on any
// failure `data` is left empty.
QV_PLATFORM_API HRESULT RegistryGetString(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPWSTR data, UINT chars);
// Writes a REG_SZ value, creating the sub-key when it is missing.
QV_PLATFORM_API HRESULT RegistrySetString(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPCWSTR data);

}  // extern "C"
