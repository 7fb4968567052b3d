// String functions of the feed parser.
#include "engine/feeds/src/mfd_str.h"

#include <climits>
#include <cstring>
#include <cwchar>

#include "engine/feeds/src/mfd_common.h"

#define MFD_SOURCE ".\\src\\mfd_str"

namespace {

constexpr int kMaxDigits = 128;

// The C library's own, which reads many characters a step: the model
// measures every text it stores.
template <class Ch>
size_t Len(const Ch* s) {
  if (s == nullptr) return 0;
  if constexpr (sizeof(Ch) == sizeof(char)) return std::strlen(s);
  else return std::wcslen(s);
}

template <class Ch>
long IndexOf(const Ch* text, const Ch* part, bool last) {
  size_t n = Len(text), m = Len(part);
  if (n == 0 || m == 0 || m > n) return -1;
  long found = -1;
  for (size_t i = 0; i + m <= n; ++i) {
    if (std::memcmp(text + i, part, m * sizeof(Ch)) == 0) {
      found = static_cast<long>(i);
      if (!last) break;
    }
  }
  return found;
}

int DigitValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return 99;
}

}  // namespace

long MFD_Str_IndexOf(const char* text, const char* part) { return IndexOf(text, part, false); }
long MFD_Str_LastIndexOf(const char* text, const char* part) { return IndexOf(text, part, true); }

long MFD_Str_LastIndexOfAny(const char* text, const char* set) {
  size_t n = Len(text);
  if (n == 0) return -1;
  if (Len(set) == 0) return static_cast<long>(n - 1);
  for (size_t i = n; i-- > 0;) {
    if (std::strchr(set, text[i]) != nullptr) return static_cast<long>(i);
  }
  return -1;
}

long MFD_WStr_IndexOf(const wchar_t* text, const wchar_t* part) { return IndexOf(text, part, false); }
long MFD_WStr_LastIndexOf(const wchar_t* text, const wchar_t* part) { return IndexOf(text, part, true); }
size_t MFD_WStr_Length(const wchar_t* text) { return Len(text); }

wchar_t* MFD_WStr_Copy(wchar_t* target, const wchar_t* text) {
  if (target == nullptr) return nullptr;
  size_t n = Len(text);
  if (n > 0) std::wmemmove(target, text, n);
  target[n] = 0;
  return target;
}

wchar_t* MFD_WStr_CopyN(wchar_t* target, const wchar_t* text, size_t n) {
  if (target == nullptr) return nullptr;
  if (text == nullptr || n == 0) {
    target[0] = 0;
    return target;
  }
  for (size_t i = 0; i < n; ++i) {
    target[i] = text[i];
    if (text[i] == 0) break;
  }
  return target;
}

wchar_t* MFD_WStr_SubCopy(wchar_t* target, const wchar_t* text, size_t start, size_t n) {
  size_t len = Len(text);
  if (target == nullptr || n == 0 || start >= len) return nullptr;
  if (n > len - start) n = len - start;  // never read past the terminator
  std::wmemmove(target, text + start, n);
  target[n] = 0;
  return target;
}

wchar_t* MFD_WStr_Cat(wchar_t* target, const wchar_t* text) {
  if (target == nullptr) return nullptr;
  MFD_WStr_Copy(target + Len(target), text);
  return target;
}

int MFD_WStr_Compare(const wchar_t* a, const wchar_t* b) { return MFD_WStr_CompareN(a, b, static_cast<size_t>(-1)); }

int MFD_WStr_CompareN(const wchar_t* a, const wchar_t* b, size_t n) {
  static const wchar_t kEmpty[] = L"";
  if (a == nullptr) a = kEmpty;
  if (b == nullptr) b = kEmpty;
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return static_cast<int>(a[i]) - static_cast<int>(b[i]);
    if (a[i] == 0) break;
  }
  return 0;
}

size_t MFD_WStr_Span(const wchar_t* text, const wchar_t* set) {
  size_t n = Len(text);
  if (Len(set) == 0) return n;
  size_t i = 0;
  while (i < n && std::wcschr(set, text[i]) == nullptr) ++i;
  return i;
}

long MFD_WStr_ToLong(const wchar_t* text, const wchar_t** end, int base) {
  if (end != nullptr) *end = text;
  if (text == nullptr || (base != 10 && base != 16)) return 0;
  const wchar_t* p = text;
  if (base == 16 && p[0] == L'0' && (p[1] == L'x' || p[1] == L'X') && DigitValue(p[2]) < 16) p += 2;
  unsigned long long value = 0;
  bool saturated = false;
  int digits = 0;
  for (; digits < kMaxDigits && DigitValue(*p) < base; ++digits, ++p) {
    unsigned long long d = static_cast<unsigned>(DigitValue(*p));
    if (saturated || value > (static_cast<unsigned long long>(LONG_MAX) - d) / static_cast<unsigned>(base))
      saturated = true;
    else
      value = value * static_cast<unsigned>(base) + d;
  }
  if (digits == 0) return 0;
  if (end != nullptr) *end = p;
  return saturated ? LONG_MAX : static_cast<long>(value);
}

wchar_t* MFD_WStr_Replace(wchar_t* text, size_t start, size_t n, const wchar_t* replacement) {
  size_t len = Len(text);
  if (text == nullptr || start > len) return text;
  if (n > len - start) n = len - start;
  size_t r = Len(replacement);
  // Move the tail (with its terminator) first, then write the replacement.
  std::wmemmove(text + start + r, text + start + n, len - start - n + 1);
  if (r > 0) std::wmemcpy(text + start, replacement, r);
  return text;
}

wchar_t* MFD_WStr_Dup(const wchar_t* text) {
  if (text == nullptr) return nullptr;
  size_t n = Len(text);
  auto* copy = static_cast<wchar_t*>(MFD_MallocUnfilled((n + 1) * sizeof(wchar_t), MFD_SOURCE, __LINE__));
  if (copy == nullptr) return nullptr;
  std::wmemcpy(copy, text, n + 1);  // the terminator with the text
  return copy;
}
