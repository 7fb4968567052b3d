#include "platform/pkg/Package.h"

#include <algorithm>

#include "platform/base/WideText.h"
#include "platform/base/WinFormat.h"
#include "platform/registry/Registry.h"

namespace {

constexpr wchar_t kPackagesKey[] = L"System\\Packages";

struct OpenPackage {
  std::wstring key;
  GUID guid;
};

std::wstring KeyOf(const GUID& guid) { return std::wstring(kPackagesKey) + L"\\" + qv::pkg::GuidText(guid); }

bool ReadDword(HKEY key, const wchar_t* name, DWORD* out) {
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_DWORD ||
      size != sizeof(DWORD)) {
    return false;
  }
  return RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(out), &size) == ERROR_SUCCESS;
}

bool ReadName(HKEY key, WCHAR* out, DWORD chars) {
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExW(key, L"Name", nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ ||
      size > chars * 2) {
    return false;
  }
  std::fill_n(out, chars, L'\0');
  if (RegQueryValueExW(key, L"Name", nullptr, &type, reinterpret_cast<LPBYTE>(out), &size) != ERROR_SUCCESS) {
    return false;
  }
  out[chars - 1] = 0;
  return true;
}

bool WriteDword(HKEY key, const wchar_t* name, DWORD value) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
         ERROR_SUCCESS;
}

}  // namespace

namespace qv::pkg {

std::wstring GuidText(const GUID& g) {
  return qv::FormatW(L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3, g.Data4[0],
                     g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}

bool RegisterPackage(const GUID& guid, const std::wstring& name, DWORD major, DWORD minor, DWORD build) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, KeyOf(guid).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                      nullptr, &key, &disposition) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring shortName = qv::TruncateUtf16(name, MAX_PATH - 1);
  bool ok = RegSetValueExW(key, L"Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(shortName.c_str()),
                           static_cast<DWORD>((qv::Utf16Length(shortName) + 1) * 2)) == ERROR_SUCCESS;
  ok = ok && WriteDword(key, L"MajorVersion", major) && WriteDword(key, L"MinorVersion", minor) &&
       WriteDword(key, L"BuildNumber", build);
  RegCloseKey(key);
  return ok;
}

bool UnregisterPackage(const GUID& guid) {
  return RegDeleteKeyW(HKEY_LOCAL_MACHINE, KeyOf(guid).c_str()) == ERROR_SUCCESS;
}

}  // namespace qv::pkg

extern "C" {

HPACKAGE Pkg_OpenPackageByGUID(const GUID* guid) {
  if (guid == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HKEY key = nullptr;
  const std::wstring path = KeyOf(*guid);
  const LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key);
  if (rc != ERROR_SUCCESS) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  RegCloseKey(key);
  return reinterpret_cast<HPACKAGE>(new OpenPackage{path, *guid});
}

BOOL Pkg_GetPkgInfo(HPACKAGE package, PACKAGEINFO* info) {
  if (package == nullptr || info == nullptr || info->cbSize != sizeof(PACKAGEINFO)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto* open = reinterpret_cast<const OpenPackage*>(package);
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, open->key.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    SetLastError(ERROR_FILE_NOT_FOUND);  // removed since it was opened
    return FALSE;
  }
  PACKAGEINFO read{};
  read.cbSize = sizeof(PACKAGEINFO);
  read.guidPackage = open->guid;
  const bool ok = ReadName(key, read.szName, MAX_PATH) && ReadDword(key, L"MajorVersion", &read.dwMajorVersion) &&
                  ReadDword(key, L"MinorVersion", &read.dwMinorVersion) &&
                  ReadDword(key, L"BuildNumber", &read.dwBuildNumber);
  RegCloseKey(key);
  if (!ok) {
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  *info = read;
  return TRUE;
}

BOOL Pkg_Close(HPACKAGE package) {
  if (package == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  delete reinterpret_cast<OpenPackage*>(package);
  return TRUE;
}

}  // extern "C"
