// The framework's string of wide characters. Positions and lengths count
// wchar_t units. Format goes through the platform's Windows-style formatter
// (platform/base/WinFormat.h): "%s" takes a wide string, and a CString or a
// std::wstring passed to it is taken as its text, as the framework allows.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

#include "platform/base/WinFormat.h"
#include "platform/framework/AfxTypes.h"

class CString;

namespace qv::afx {

// What a Format argument becomes on its way to the formatter.
template <class T>
auto FormatArg(const T& value) {
  if constexpr (std::is_same_v<T, CString>) return static_cast<LPCTSTR>(value);
  else if constexpr (std::is_same_v<T, std::wstring>) return value.c_str();
  else if constexpr (std::is_array_v<T>) return static_cast<const std::remove_extent_t<T>*>(value);
  else return value;
}

}  // namespace qv::afx

class QV_PLATFORM_API CString {
 public:
  CString() = default;
  // A null pointer is the empty string; MAKEINTRESOURCE(id) loads string id.
  CString(LPCTSTR text);  // NOLINT: converts as the framework's does
  CString(LPCTSTR text, int length);
  explicit CString(TCHAR ch, int repeat = 1);
  CString(std::wstring_view text) : s_(text) {}  // NOLINT
  CString(const CString&) = default;
  CString(CString&&) noexcept = default;
  CString& operator=(const CString&) = default;
  CString& operator=(CString&&) noexcept = default;
  CString& operator=(LPCTSTR text);
  CString& operator=(TCHAR ch);

  int GetLength() const { return static_cast<int>(s_.size()); }
  BOOL IsEmpty() const { return s_.empty(); }
  void Empty() { s_.clear(); }
  operator LPCTSTR() const { return s_.c_str(); }  // NOLINT
  LPCTSTR GetString() const { return s_.c_str(); }
  const std::wstring& str() const { return s_; }

  // Out-of-range positions throw CInvalidArgException.
  TCHAR GetAt(int index) const;
  TCHAR operator[](int index) const { return GetAt(index); }
  void SetAt(int index, TCHAR ch);

  CString& operator+=(const CString& text);
  CString& operator+=(LPCTSTR text);
  CString& operator+=(TCHAR ch);
  void Append(LPCTSTR text, int length);
  void AppendChar(TCHAR ch) { s_.push_back(ch); }

  int Compare(LPCTSTR other) const;
  // Ignores the case of the Latin letters, also the full-width ones.
  int CompareNoCase(LPCTSTR other) const;

  // Clamped: a start past the end gives the empty string.
  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  CString Left(int count) const;
  CString Right(int count) const;
  CString SpanIncluding(LPCTSTR set) const;
  CString SpanExcluding(LPCTSTR set) const;

  // -1 when not found.
  int Find(TCHAR ch, int start = 0) const;
  int Find(LPCTSTR sub, int start = 0) const;
  int ReverseFind(TCHAR ch) const;
  int FindOneOf(LPCTSTR set) const;

  CString& MakeUpper();
  CString& MakeLower();
  CString& MakeReverse();
  // The number of replacements or removals.
  int Replace(TCHAR from, TCHAR to);
  int Replace(LPCTSTR from, LPCTSTR to);
  int Remove(TCHAR ch);
  // The new length.
  int Insert(int index, TCHAR ch);
  int Insert(int index, LPCTSTR text);
  int Delete(int index, int count = 1);

  // White space is the ASCII spaces and the ideographic space.
  CString& Trim();
  CString& Trim(TCHAR ch);
  CString& Trim(LPCTSTR set);
  CString& TrimLeft();
  CString& TrimLeft(TCHAR ch);
  CString& TrimLeft(LPCTSTR set);
  CString& TrimRight();
  CString& TrimRight(TCHAR ch);
  CString& TrimRight(LPCTSTR set);

  // The next token from `start` split at any of `delimiters`; `start`
  // moves past it, and becomes -1 (with an empty result) at the end.
  CString Tokenize(LPCTSTR delimiters, int& start) const;

  template <class... Args>
  void Format(LPCTSTR format, const Args&... args) {
    CheckFormat(format);
    s_ = qv::FormatW(format, qv::afx::FormatArg(args)...);
  }
  template <class... Args>
  void Format(UINT formatId, const Args&... args) {
    CString format;
    format.LoadString(formatId);
    Format(static_cast<LPCTSTR>(format), args...);
  }
  template <class... Args>
  void AppendFormat(LPCTSTR format, const Args&... args) {
    CheckFormat(format);
    s_ += qv::FormatW(format, qv::afx::FormatArg(args)...);
  }
  void FormatV(LPCTSTR format, va_list args);

  // From the current resource handle; FALSE (and unchanged) when it has no such string.
  BOOL LoadString(UINT id);

  // A writable buffer of at least `minLength` units and a terminator; after
  // writing, ReleaseBuffer sets the length (-1: up to the first zero).
  LPTSTR GetBuffer(int minLength);
  LPTSTR GetBuffer() { return GetBuffer(0); }
  LPTSTR GetBufferSetLength(int length);
  void ReleaseBuffer(int newLength = -1);

 private:
  static void CheckFormat(LPCTSTR format);

  std::wstring s_;
};

QV_PLATFORM_API CString operator+(const CString& a, const CString& b);
QV_PLATFORM_API CString operator+(const CString& a, LPCTSTR b);
QV_PLATFORM_API CString operator+(LPCTSTR a, const CString& b);
QV_PLATFORM_API CString operator+(const CString& a, TCHAR b);
QV_PLATFORM_API CString operator+(TCHAR a, const CString& b);
inline bool operator==(const CString& a, const CString& b) { return a.str() == b.str(); }
inline bool operator==(const CString& a, LPCTSTR b) { return a.Compare(b) == 0; }
inline bool operator<(const CString& a, const CString& b) { return a.str() < b.str(); }
inline bool operator>(const CString& a, const CString& b) { return b < a; }

typedef CString CStringW;
