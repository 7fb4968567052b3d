// The ROM-version library: two exports that write a version text of the
// device into the caller's buffer. The maker's provider library KxRomQuery
// answers when it is there; otherwise the text comes from the ROM header and
// the update pack installed over it.
#pragma once

#include "platform/base/WinTypes.h"

#define ROMQUERY_API __attribute__((visibility("default")))

namespace romquery {

// The ROM header: 16 bytes at this kernel address. Bytes 0-5 hold the
// maker's mark, bytes 6-12 the version characters ("1.02.00").
inline constexpr DWORD kRomHeaderAddress = 0x9CAF4000u;
inline constexpr DWORD kRomHeaderSize = 16;
inline constexpr char kMakerMark[6] = {'N', 'O', 'R', 'V', 'A', 'L'};
// The package of the update pack; its major version is the pack's number.
inline constexpr GUID kUpdatePackGuid = {0x6A1F3C52, 0x9D0B, 0x4E27, {0x8B, 0x41, 0x2C, 0x7E, 0x5F, 0x90, 0xA3, 0xD8}};

}  // namespace romquery

extern "C" {

ROMQUERY_API BOOL DllMain(HANDLE module, DWORD reason, LPVOID reserved);
// Each fills `buffer`, which must hold 64 WCHARs, and answers 1; 0 for a
// null buffer.
ROMQUERY_API int GetRomVer(LPWSTR buffer);
ROMQUERY_API int GetFlashVer(LPWSTR buffer);

}  // extern "C"
