// The system's texts for its error codes (FormatMessageW from the system
// table, in Japanese as the device has them, each ending in CR LF) and the
// local heap that FORMAT_MESSAGE_ALLOCATE_BUFFER hands them out from.
#pragma once

#include <cstdarg>
#include <string>

#include "platform/base/WinTypes.h"

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100u
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200u
#define FORMAT_MESSAGE_FROM_STRING 0x00000400u
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800u
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000u
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000u
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FFu

#define LMEM_FIXED 0x0000u
#define LMEM_ZEROINIT 0x0040u
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

#define ERROR_MR_MID_NOT_FOUND 317L

typedef void* HLOCAL;

extern "C" {

QV_PLATFORM_API HLOCAL LocalAlloc(UINT flags, size_t bytes);
// Null on success, as the system's.
QV_PLATFORM_API HLOCAL LocalFree(HLOCAL memory);

// From the system's table (FROM_SYSTEM) or a string (FROM_STRING), with
// inserts %1..%99 taken as wide strings (from the array with ARGUMENT_ARRAY,
// else from `arguments`), "%%", "%n" (a line end) and "%0" (the end). With
// ALLOCATE_BUFFER, `buffer` is an LPWSTR* that receives a LocalAlloc block
// (at least `size` units). Returns the length without the zero; 0 with
// ERROR_MR_MID_NOT_FOUND for a code the system has no text for,
// ERROR_INSUFFICIENT_BUFFER when it does not fit.
QV_PLATFORM_API DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                                     DWORD size, va_list* arguments);

}  // extern "C"

namespace qv::kernel {
// The system's text of an error code with its line end, empty when it has none.
QV_PLATFORM_API std::wstring SystemErrorText(DWORD code);
}  // namespace qv::kernel
