// The device registry: hives HKCU and HKLM kept in files below the device
// root, written through a temp file and a rename, safe between processes. Key
// and value names ignore case. Text values (REG_SZ, REG_MULTI_SZ,
// REG_EXPAND_SZ) are exchanged as WCHAR buffers whose sizes count 2 bytes per
// UTF-16 unit, as on the device: a 260-byte buffer holds 130 units, that is
// 129 characters and the terminating zero.
#pragma once

#include "platform/base/WinTypes.h"

struct SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

typedef struct HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7

#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u
#define KEY_ALL_ACCESS 0xF003Fu

// A call on a handle whose key has been deleted since it was opened.
#ifndef ERROR_KEY_DELETED
#define ERROR_KEY_DELETED 1018L
#endif

#define REG_OPTION_NON_VOLATILE 0
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2

extern "C" {

QV_PLATFORM_API LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
QV_PLATFORM_API LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options,
                                     REGSAM access, LPSECURITY_ATTRIBUTES sa, PHKEY result, LPDWORD disposition);
QV_PLATFORM_API LONG RegCloseKey(HKEY key);
// `data` is a WCHAR buffer for text types (size in UTF-16 bytes), else bytes.
// A buffer too small gives ERROR_MORE_DATA and the size needed. A text value
// fills up to size/2 WCHARs, that is twice `size` in bytes: a caller that
// cannot be sure of the type asks it first (data NULL) before handing a
// buffer sized for a number.
QV_PLATFORM_API LONG RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                      LPDWORD size);
QV_PLATFORM_API LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                                    DWORD size);
QV_PLATFORM_API LONG RegDeleteValueW(HKEY key, LPCWSTR name);
// Deletes a key and everything below it.
QV_PLATFORM_API LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey);
QV_PLATFORM_API LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved,
                                   LPWSTR className, LPDWORD classChars, LPFILETIME lastWrite);
QV_PLATFORM_API LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved,
                                   LPDWORD type, LPBYTE data, LPDWORD size);

}  // extern "C"
