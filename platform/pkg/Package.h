// Package information: what the device knows of each installed package,
// found by the package's GUID. Installed packages are kept in the registry
// under HKEY_LOCAL_MACHINE "System\Packages\{GUID}" (values "Name",
// "MajorVersion", "MinorVersion", "BuildNumber"), written by the installer.
#pragma once

#include <string>

#include "platform/base/WinTypes.h"

typedef struct HPACKAGE__* HPACKAGE;

struct PACKAGEINFO {
  DWORD cbSize;  // set by the caller to sizeof(PACKAGEINFO)
  GUID guidPackage;
  WCHAR szName[MAX_PATH];
  DWORD dwMajorVersion;  // the pack's version number
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
};

extern "C" {

// A handle to the installed package with that GUID; NULL with
// ERROR_FILE_NOT_FOUND when none is installed.
QV_PLATFORM_API HPACKAGE Pkg_OpenPackageByGUID(const GUID* guid);
// Fills `info` (its cbSize must be sizeof(PACKAGEINFO)); FALSE with
// ERROR_INVALID_PARAMETER for a bad size or handle, ERROR_INVALID_DATA when
// the package's record is damaged.
QV_PLATFORM_API BOOL Pkg_GetPkgInfo(HPACKAGE package, PACKAGEINFO* info);
QV_PLATFORM_API BOOL Pkg_Close(HPACKAGE package);

}  // extern "C"

namespace qv::pkg {

// The installer's side: records a package as installed, or forgets it.
QV_PLATFORM_API bool RegisterPackage(const GUID& guid, const std::wstring& name, DWORD major, DWORD minor,
                                     DWORD build);
QV_PLATFORM_API bool UnregisterPackage(const GUID& guid);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
QV_PLATFORM_API std::wstring GuidText(const GUID& guid);

}  // namespace qv::pkg
