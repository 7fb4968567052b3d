#include "platform/pkg/RegistryString.h"

#include <algorithm>

#include "platform/base/WideText.h"

extern "C" {

HRESULT RegistryGetString(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPWSTR data, UINT chars) {
  if (data == nullptr || chars == 0) return E_INVALIDARG;
  data[0] = 0;
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExW(root, subKey, 0, KEY_READ, &key);
  if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  DWORD type = REG_NONE;
  DWORD size = 0;
  // The type first: a value of another kind must never be copied into a
  // buffer sized for text.
  rc = RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &size);
  if (rc == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ) rc = ERROR_INVALID_DATA;
  if (rc == ERROR_SUCCESS) {
    // Zero-filled first, so a value stored without its terminator still ends
    // inside the buffer or is found too long.
    std::fill_n(data, chars, L'\0');
    size = chars * 2;
    rc = RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(data), &size);
    if (rc == ERROR_SUCCESS && data[chars - 1] != 0) rc = ERROR_MORE_DATA;
  }
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) {
    data[0] = 0;
    return HRESULT_FROM_WIN32(rc);
  }
  return S_OK;
}

HRESULT RegistrySetString(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPCWSTR data) {
  if (data == nullptr) return E_INVALIDARG;
  HKEY key = nullptr;
  DWORD disposition = 0;
  LONG rc = RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                            &disposition);
  if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
  const DWORD bytes = static_cast<DWORD>((qv::Utf16Length(data) + 1) * 2);
  rc = RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), bytes);
  RegCloseKey(key);
  return HRESULT_FROM_WIN32(rc);
}

}  // extern "C"
