// URLs from feeds through InternetCanonicalizeUrlW under every flag set the
// first byte picks. The size asked for is the size used; an encoded result
// holds no control character, space or DEL, and canonicalizing it again
// (without decoding or encoding percent signs) changes nothing.
#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/base/WideText.h"
#include "platform/inet/WinInet.h"

namespace {

constexpr DWORD kFlags[] = {0,
                            ICU_BROWSER_MODE,
                            ICU_NO_META,
                            ICU_DECODE,
                            ICU_ENCODE_PERCENT,
                            ICU_ENCODE_SPACES_ONLY,
                            ICU_NO_ENCODE,
                            ICU_DECODE | ICU_NO_ENCODE,
                            ICU_BROWSER_MODE | ICU_ENCODE_PERCENT};

bool Canonical(const std::wstring& url, DWORD flags, std::wstring* out) {
  DWORD size = 0;
  if (InternetCanonicalizeUrlW(url.c_str(), nullptr, &size, flags)) __builtin_trap();
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
  std::vector<wchar_t> buffer(size);
  DWORD used = size;
  if (!InternetCanonicalizeUrlW(url.c_str(), buffer.data(), &used, flags)) __builtin_trap();
  if (used + 1 != size || buffer[used] != L'\0') __builtin_trap();
  out->assign(buffer.data(), used);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const DWORD flags = kFlags[data[0] % (sizeof kFlags / sizeof kFlags[0])];
  std::wstring url = qv::Utf8ToWide(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  url.erase(std::remove(url.begin(), url.end(), L'\0'), url.end());
  std::wstring once;
  if (!Canonical(url, flags, &once)) return 0;
  // Browser mode leaves the query and fragment as they came.
  if ((flags & (ICU_NO_ENCODE | ICU_ENCODE_SPACES_ONLY | ICU_BROWSER_MODE)) != 0) return 0;
  for (wchar_t c : once) {
    if (c < 0x21 || c >= 0x7F) __builtin_trap();
  }
  // Decoding, or encoding the percent signs, changes the text each time.
  if ((flags & (ICU_DECODE | ICU_ENCODE_PERCENT)) == 0) {
    std::wstring twice;
    if (!Canonical(once, flags, &twice) || twice != once) __builtin_trap();
  }
  return 0;
}
