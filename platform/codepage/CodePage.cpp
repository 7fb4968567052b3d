// The Win32 entry points: argument checks as documented, then one
// conversion loop (Conversion.h).
#include "platform/codepage/CodePage.h"

#include <climits>
#include <cstring>
#include <cwchar>

#include "platform/codepage/Conversion.h"

namespace {

using qv::codepage::Result;

enum class Page { kCp932, kUtf8, kUnknown };

Page Resolve(UINT codePage) {
  switch (codePage) {
    case CP_ACP:
    case CP_OEMCP:
    case CP_SHIFTJIS:
      return Page::kCp932;
    case CP_UTF8:
      return Page::kUtf8;
    default:
      return Page::kUnknown;
  }
}

int Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

// The answer of a conversion: its count, or 0 with the error set.
int Finish(const Result& r) {
  if (r.error != 0) return Fail(r.error);
  if (r.count > static_cast<size_t>(INT_MAX)) return Fail(ERROR_INSUFFICIENT_BUFFER);
  return static_cast<int>(r.count);
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR in, int inBytes, LPWSTR out, int outChars) {
  Page page = Resolve(codePage);
  if (page == Page::kUnknown || in == nullptr || inBytes == 0 || inBytes < -1 || outChars < 0 ||
      (outChars > 0 && (out == nullptr || static_cast<const void*>(out) == static_cast<const void*>(in))))
    return Fail(ERROR_INVALID_PARAMETER);
  size_t n = inBytes == -1 ? std::strlen(in) + 1 : static_cast<size_t>(inBytes);
  if (n > static_cast<size_t>(INT_MAX)) return Fail(ERROR_INVALID_PARAMETER);
  const auto* bytes = reinterpret_cast<const uint8_t*>(in);
  wchar_t* dst = outChars > 0 ? out : nullptr;
  bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
  Result r = page == Page::kCp932 ? qv::codepage::Cp932Decode(bytes, n, dst, static_cast<size_t>(outChars), strict)
                                  : qv::codepage::Utf8Decode(bytes, n, dst, static_cast<size_t>(outChars), strict);
  return Finish(r);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR in, int inChars, LPSTR out, int outBytes,
                        LPCSTR defaultChar, LPBOOL usedDefault) {
  Page page = Resolve(codePage);
  if (page == Page::kUnknown || in == nullptr || inChars == 0 || inChars < -1 || outBytes < 0 ||
      (outBytes > 0 && (out == nullptr || static_cast<const void*>(out) == static_cast<const void*>(in))))
    return Fail(ERROR_INVALID_PARAMETER);
  // UTF-8 has no default character: asking for one is an error.
  if (page == Page::kUtf8 && (defaultChar != nullptr || usedDefault != nullptr)) return Fail(ERROR_INVALID_PARAMETER);
  size_t n = inChars == -1 ? std::wcslen(in) + 1 : static_cast<size_t>(inChars);
  if (n > static_cast<size_t>(INT_MAX)) return Fail(ERROR_INVALID_PARAMETER);
  auto* dst = outBytes > 0 ? reinterpret_cast<uint8_t*>(out) : nullptr;
  Result r;
  if (page == Page::kUtf8) {
    r = qv::codepage::Utf8Encode(in, n, dst, static_cast<size_t>(outBytes), (flags & WC_ERR_INVALID_CHARS) != 0);
  } else {
    uint16_t fallback = qv::codepage::kCp932DefaultChar;
    if (defaultChar != nullptr) {
      // One byte, or a lead byte and its trail; a lead byte alone would
      // leave a broken character behind, so it keeps the usual default.
      auto lead = static_cast<uint8_t>(defaultChar[0]);
      if (!qv::codepage::IsCp932LeadByte(lead))
        fallback = lead;
      else if (defaultChar[1] != 0)
        fallback = static_cast<uint16_t>(lead << 8 | static_cast<uint8_t>(defaultChar[1]));
    }
    r = qv::codepage::Cp932Encode(in, n, dst, static_cast<size_t>(outBytes), fallback);
    if (usedDefault) *usedDefault = r.usedDefault ? TRUE : FALSE;
  }
  return Finish(r);
}

BOOL IsDBCSLeadByte(BYTE byte) { return qv::codepage::IsCp932LeadByte(byte) ? TRUE : FALSE; }

BOOL IsDBCSLeadByteEx(UINT codePage, BYTE byte) {
  switch (Resolve(codePage)) {
    case Page::kCp932:
      return IsDBCSLeadByte(byte);
    case Page::kUtf8:
      return FALSE;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
}

UINT GetACP() { return CP_SHIFTJIS; }
