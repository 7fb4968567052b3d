// Code pages of the device: CP932 (the ANSI code page, CP_ACP) and UTF-8.
// A WCHAR is one code point. Characters CP932 cannot hold become the default
// character 81 AC unless the caller gives another.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/WinTypes.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_SHIFTJIS 932
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001u
#define MB_ERR_INVALID_CHARS 0x00000008u
#define WC_NO_BEST_FIT_CHARS 0x00000400u
// UTF-8 only: fail with ERROR_NO_UNICODE_TRANSLATION on a lone surrogate.
#define WC_ERR_INVALID_CHARS 0x00000080u

extern "C" {

// Win32 semantics: a length of -1 means "up to and including the terminator";
// an output size of 0 asks for the size needed; a too small output fails with
// ERROR_INSUFFICIENT_BUFFER. With MB_ERR_INVALID_CHARS an invalid sequence
// fails with ERROR_NO_UNICODE_TRANSLATION; without it an invalid or unmapped
// sequence becomes the code page's replacement character, as Windows does.
QV_PLATFORM_API int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR in, int inBytes, LPWSTR out,
                                        int outChars);
QV_PLATFORM_API int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR in, int inChars, LPSTR out,
                                        int outBytes, LPCSTR defaultChar, LPBOOL usedDefault);
QV_PLATFORM_API BOOL IsDBCSLeadByte(BYTE byte);
QV_PLATFORM_API BOOL IsDBCSLeadByteEx(UINT codePage, BYTE byte);
QV_PLATFORM_API UINT GetACP();

}  // extern "C"

namespace qv {

// Whole-string forms of the above for CP932.
QV_PLATFORM_API std::wstring Cp932ToWide(std::string_view bytes);
QV_PLATFORM_API std::string WideToCp932(std::wstring_view text, bool* usedDefault = nullptr);
// One CP932 character (lead and trail byte, or one byte) to its code point;
// returns false when unmapped.
QV_PLATFORM_API bool Cp932DecodeChar(uint16_t code, wchar_t* out);
// One code point to CP932 (one or two bytes packed high-first); false when unmapped.
QV_PLATFORM_API bool Cp932EncodeChar(wchar_t c, uint16_t* out);

}  // namespace qv
