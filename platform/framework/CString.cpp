#include "platform/framework/CString.h"

#include <algorithm>
#include <cwchar>

#include "platform/framework/AfxResource.h"
#include "platform/framework/CException.h"
#include "platform/kernel/Resource.h"

namespace {

bool IsSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r') || c == 0x3000; }

wchar_t Lower(wchar_t c) {
  if ((c >= L'A' && c <= L'Z') || (c >= 0xFF21 && c <= 0xFF3A)) return static_cast<wchar_t>(c + 0x20);
  return c;
}

wchar_t Upper(wchar_t c) {
  if ((c >= L'a' && c <= L'z') || (c >= 0xFF41 && c <= 0xFF5A)) return static_cast<wchar_t>(c - 0x20);
  return c;
}

std::wstring_view View(LPCTSTR text) { return text ? std::wstring_view(text) : std::wstring_view(); }

int Sign(int v) { return (v > 0) - (v < 0); }

template <class Drop>
size_t LeadingCount(const std::wstring& s, Drop drop) {
  size_t n = 0;
  while (n < s.size() && drop(s[n])) ++n;
  return n;
}

template <class Drop>
size_t TrailingStart(const std::wstring& s, Drop drop) {
  size_t n = s.size();
  while (n > 0 && drop(s[n - 1])) --n;
  return n;
}

auto InSet(LPCTSTR set) {
  return [v = View(set)](wchar_t c) { return v.find(c) != std::wstring_view::npos; };
}

auto Is(TCHAR ch) {
  return [ch](wchar_t c) { return c == ch; };
}

int AtOrMinusOne(size_t at) { return at == std::wstring::npos ? -1 : static_cast<int>(at); }

}  // namespace

CString::CString(LPCTSTR text) {
  if (text && IS_INTRESOURCE(text)) {
    LoadString(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(text)));
  } else if (text) {
    s_ = text;
  }
}

CString::CString(LPCTSTR text, int length) { Append(text, length); }

CString::CString(TCHAR ch, int repeat) : s_(static_cast<size_t>(std::max(repeat, 0)), ch) {}

CString& CString::operator=(LPCTSTR text) {
  *this = CString(text);
  return *this;
}

CString& CString::operator=(TCHAR ch) {
  s_.assign(1, ch);
  return *this;
}

TCHAR CString::GetAt(int index) const {
  if (index < 0 || index >= GetLength()) AfxThrowInvalidArgException();
  return s_[static_cast<size_t>(index)];
}

void CString::SetAt(int index, TCHAR ch) {
  if (index < 0 || index >= GetLength()) AfxThrowInvalidArgException();
  s_[static_cast<size_t>(index)] = ch;
}

CString& CString::operator+=(const CString& text) {
  s_ += text.s_;
  return *this;
}

CString& CString::operator+=(LPCTSTR text) {
  s_ += View(text);
  return *this;
}

CString& CString::operator+=(TCHAR ch) {
  s_.push_back(ch);
  return *this;
}

void CString::Append(LPCTSTR text, int length) {
  if (length < 0 || (!text && length > 0)) AfxThrowInvalidArgException();
  if (text) s_.append(text, static_cast<size_t>(length));
}

int CString::Compare(LPCTSTR other) const { return Sign(std::wstring_view(s_).compare(View(other))); }

int CString::CompareNoCase(LPCTSTR other) const {
  const std::wstring_view a = s_, b = View(other);
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    const wchar_t x = Lower(a[i]), y = Lower(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return Sign(static_cast<int>(a.size()) - static_cast<int>(b.size()));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
  first = std::clamp(first, 0, GetLength());
  count = std::clamp(count, 0, GetLength() - first);
  return CString(std::wstring_view(s_).substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Left(int count) const { return Mid(0, count); }

CString CString::Right(int count) const {
  count = std::clamp(count, 0, GetLength());
  return Mid(GetLength() - count, count);
}

CString CString::SpanIncluding(LPCTSTR set) const { return Left(static_cast<int>(LeadingCount(s_, InSet(set)))); }

CString CString::SpanExcluding(LPCTSTR set) const {
  const auto in = InSet(set);
  return Left(static_cast<int>(LeadingCount(s_, [&](wchar_t c) { return !in(c); })));
}

int CString::Find(TCHAR ch, int start) const {
  if (start < 0 || start >= GetLength()) return -1;
  return AtOrMinusOne(s_.find(ch, static_cast<size_t>(start)));
}

int CString::Find(LPCTSTR sub, int start) const {
  if (!sub) AfxThrowInvalidArgException();
  if (start < 0 || start > GetLength()) return -1;
  return AtOrMinusOne(s_.find(sub, static_cast<size_t>(start)));
}

int CString::ReverseFind(TCHAR ch) const { return AtOrMinusOne(s_.rfind(ch)); }

int CString::FindOneOf(LPCTSTR set) const { return AtOrMinusOne(s_.find_first_of(View(set))); }

CString& CString::MakeUpper() {
  std::transform(s_.begin(), s_.end(), s_.begin(), Upper);
  return *this;
}

CString& CString::MakeLower() {
  std::transform(s_.begin(), s_.end(), s_.begin(), Lower);
  return *this;
}

CString& CString::MakeReverse() {
  std::reverse(s_.begin(), s_.end());
  return *this;
}

int CString::Replace(TCHAR from, TCHAR to) {
  int n = 0;
  for (wchar_t& c : s_) {
    if (c == from) {
      c = to;
      ++n;
    }
  }
  return n;
}

int CString::Replace(LPCTSTR from, LPCTSTR to) {
  const std::wstring_view f = View(from), t = View(to);
  if (f.empty()) return 0;
  std::wstring out;
  int n = 0;
  size_t at = 0;
  for (size_t hit; (hit = s_.find(f, at)) != std::wstring::npos; at = hit + f.size(), ++n) {
    out.append(s_, at, hit - at);
    out += t;
  }
  out.append(s_, at);
  s_.swap(out);
  return n;
}

int CString::Remove(TCHAR ch) {
  const auto end = std::remove(s_.begin(), s_.end(), ch);
  const int n = static_cast<int>(s_.end() - end);
  s_.erase(end, s_.end());
  return n;
}

int CString::Insert(int index, TCHAR ch) { return Insert(index, std::wstring(1, ch).c_str()); }

int CString::Insert(int index, LPCTSTR text) {
  index = std::clamp(index, 0, GetLength());
  s_.insert(static_cast<size_t>(index), View(text));
  return GetLength();
}

int CString::Delete(int index, int count) {
  index = std::max(index, 0);
  if (index < GetLength() && count > 0) {
    s_.erase(static_cast<size_t>(index), static_cast<size_t>(std::min(count, GetLength() - index)));
  }
  return GetLength();
}

CString& CString::TrimLeft() {
  s_.erase(0, LeadingCount(s_, IsSpace));
  return *this;
}

CString& CString::TrimLeft(TCHAR ch) {
  s_.erase(0, LeadingCount(s_, Is(ch)));
  return *this;
}

CString& CString::TrimLeft(LPCTSTR set) {
  s_.erase(0, LeadingCount(s_, InSet(set)));
  return *this;
}

CString& CString::TrimRight() {
  s_.erase(TrailingStart(s_, IsSpace));
  return *this;
}

CString& CString::TrimRight(TCHAR ch) {
  s_.erase(TrailingStart(s_, Is(ch)));
  return *this;
}

CString& CString::TrimRight(LPCTSTR set) {
  s_.erase(TrailingStart(s_, InSet(set)));
  return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }
CString& CString::Trim(TCHAR ch) { return TrimRight(ch).TrimLeft(ch); }
CString& CString::Trim(LPCTSTR set) { return TrimRight(set).TrimLeft(set); }

CString CString::Tokenize(LPCTSTR delimiters, int& start) const {
  if (start >= 0 && start < GetLength()) {
    const std::wstring_view d = View(delimiters);
    const size_t from = s_.find_first_not_of(d, static_cast<size_t>(start));
    if (from != std::wstring::npos) {
      const size_t to = std::min(s_.find_first_of(d, from), s_.size());
      start = static_cast<int>(to + 1);
      return Mid(static_cast<int>(from), static_cast<int>(to - from));
    }
  }
  start = -1;
  return CString();
}

void CString::FormatV(LPCTSTR format, va_list args) {
  CheckFormat(format);
  s_ = qv::VFormatW(format, args);
}

void CString::CheckFormat(LPCTSTR format) {
  if (!format) AfxThrowInvalidArgException();
}

BOOL CString::LoadString(UINT id) {
  LPCWSTR text = nullptr;
  const int length = LoadStringW(AfxGetResourceHandle(), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || !text) return FALSE;
  s_.assign(text, static_cast<size_t>(length));
  return TRUE;
}

LPTSTR CString::GetBuffer(int minLength) {
  if (minLength < 0) AfxThrowInvalidArgException();
  if (static_cast<size_t>(minLength) > s_.size()) s_.resize(static_cast<size_t>(minLength));
  return s_.data();
}

LPTSTR CString::GetBufferSetLength(int length) {
  if (length < 0) AfxThrowInvalidArgException();
  s_.resize(static_cast<size_t>(length));
  return s_.data();
}

void CString::ReleaseBuffer(int newLength) {
  if (newLength < 0) newLength = static_cast<int>(wcsnlen(s_.c_str(), s_.size()));
  s_.resize(std::min(static_cast<size_t>(newLength), s_.size()));
}

CString operator+(const CString& a, const CString& b) { return CString(a.str() + b.str()); }
CString operator+(const CString& a, LPCTSTR b) { return CString(a) += b; }
CString operator+(LPCTSTR a, const CString& b) { return CString(a) += b; }
CString operator+(const CString& a, TCHAR b) { return CString(a) += b; }
CString operator+(TCHAR a, const CString& b) { return CString(a) += b; }
