#include "engine/public/foundation/QvRegistryValue.h"

#include "engine/public/foundation/QvMiddleError.h"
#include "platform/base/WideText.h"

namespace {

// The buffer callers have always read values into: 260 bytes, that is 129
// UTF-16 characters and the terminating zero.
constexpr DWORD kValueBufferBytes = 260;

bool OpenOrCreateKey(HKEY root, const std::wstring& key, HKEY* out) {
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_WRITE, out) == ERROR_SUCCESS) return true;
  DWORD disposition = 0;
  return RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, out,
                         &disposition) == ERROR_SUCCESS;
}

bool SetValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const BYTE* data,
              DWORD size) {
  HKEY handle = nullptr;
  if (!OpenOrCreateKey(root, key, &handle)) {
    SetQvMiddleError(QVMDL_ERR_REG_KEY);
    return false;
  }
  const bool written = RegSetValueExW(handle, name.c_str(), 0, type, data, size) == ERROR_SUCCESS;
  RegCloseKey(handle);
  if (!written) SetQvMiddleError(QVMDL_ERR_REG_VALUE);
  return written;
}

}  // namespace

bool GetRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name, std::wstring* out) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    SetQvMiddleError(QVMDL_ERR_REG_KEY);
    return false;
  }
  WCHAR buffer[kValueBufferBytes / 2 + 1] = {};
  DWORD type = REG_NONE;
  DWORD size = kValueBufferBytes;
  const LONG rc = RegQueryValueExW(handle, name.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
  RegCloseKey(handle);
  // Only text fits the text buffer; a number read as text would be garbage.
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ)) {
    SetQvMiddleError(QVMDL_ERR_REG_VALUE);
    return false;
  }
  buffer[kValueBufferBytes / 2] = 0;
  out->assign(buffer);
  return true;
}

bool GetRegistryDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD* out) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  // Ask the type first: a text value would be written as WCHARs, which need
  // more room than the four bytes of a DWORD.
  DWORD type = REG_NONE;
  DWORD size = 0;
  LONG rc = RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &size);
  DWORD value = 0;
  if (rc == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(value)) {
    rc = RegQueryValueExW(handle, name.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
  } else {
    rc = ERROR_INVALID_DATA;
  }
  RegCloseKey(handle);
  if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value)) return false;
  *out = value;
  return true;
}

bool SetRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text) {
  const DWORD bytes = static_cast<DWORD>((qv::Utf16Length(text) + 1) * 2);
  return SetValue(root, key, name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
}

bool SetRegistryDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
  return SetValue(root, key, name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

