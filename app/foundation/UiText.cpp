#include "app/foundation/UiText.h"

#include <cwchar>

#include "app/foundation/PictureChars.h"

namespace {

bool IsAddressChar(wchar_t c) {
  if (c >= L'a' && c <= L'z') return true;
  if ((c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9')) return true;
  return c != 0 && std::wcschr(L"#$%&'+-./=?_~!()*:;[]^`{|}", c) != nullptr;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\x3000'; }

}  // namespace

bool RemovePictureChars(CString& text, bool lineBreaks) {
  CString kept;
  bool removed = false;
  for (int i = 0; i < text.GetLength(); ++i) {
    const wchar_t c = text[i];
    if (IsPictureChar(c)) {
      removed = true;
    } else if (!(lineBreaks && (c == L'\r' || c == L'\n'))) {
      kept.AppendChar(c);
    }
  }
  text = kept;
  return removed;
}

bool RemovePictureCharsFromArray(CStringArray& texts, bool lineBreaks) {
  bool removed = false;
  for (INT_PTR i = 0; i < texts.GetSize(); ++i) removed = RemovePictureChars(texts[i], lineBreaks) || removed;
  return removed;
}

bool IsPrintableAscii(LPCWSTR text) {
  for (; text && *text; ++text) {
    if (*text < 32 || *text > 126) return false;
  }
  return true;
}

int GetAddressRange(const CString& text, int base, int start, QvAddressRange* range, bool checkLength) {
  const int length = text.GetLength();
  if (start < 0) start = 0;
  int at = -1;
  for (int i = length - 1; i >= start; --i) {
    if (text[i] == L'@') {
      at = i;
      break;
    }
  }
  if (at < 0) return length;
  int first = at;
  while (first > start && IsAddressChar(text[first - 1])) --first;
  int end = at + 1;
  bool dot = false;
  for (; end < length && IsAddressChar(text[end]); ++end) dot = dot || text[end] == L'.';
  // Too long for an address: the caller moves on past it all the same.
  if (checkLength && end - first > kMaxAddressLength) return end;
  if (dot && first < at) *range = QvAddressRange{base + first, end - first, 1};
  return end;
}

int CheckAddressSyntax(const CString& entry, QvAddressRange* found) {
  int lead = 0;
  while (lead < entry.GetLength() && IsBlank(entry[lead])) ++lead;
  CString text = entry.Mid(lead);
  text.TrimRight(L" \x3000");
  QvAddressRange range;
  GetAddressRange(text, lead, 0, &range, true);
  if (range.kind != 1) return kAddressMissing;
  if (found) *found = range;
  const int first = range.start - lead, end = first + range.length;
  if (first == 0 && end == text.GetLength()) return kAddressWellFormed;
  if (first == 0 || text[first - 1] != L'<' || end >= text.GetLength() || text[end] != L'>') {
    return kAddressNotEnclosed;
  }
  for (int i = end + 1; i < text.GetLength(); ++i) {
    if (!IsBlank(text[i])) return kAddressTextAfter;
  }
  return kAddressWellFormed;
}

void SplitAddressList(const CString& text, CArray<QvAddressRange>& ranges) {
  ranges.RemoveAll();
  const int length = text.GetLength();
  if (length == 0) return;
  auto add = [&](int first, int end) {
    while (first < end && IsBlank(text[first])) ++first;
    while (end > first && IsBlank(text[end - 1])) --end;
    ranges.Add(QvAddressRange{first, end - first, 0});
  };
  bool quoted = false;
  int depth = 0;
  int piece = 0;
  for (int i = 0; i < length; ++i) {
    const wchar_t c = text[i];
    if (quoted) {
      if (c == L'\\' && i + 1 < length) ++i;  // a quoted pair never ends the quote
      else if (c == L'"') quoted = false;
    } else if (c == L'"') {
      quoted = true;
    } else if (c == L'(') {
      ++depth;
    } else if (c == L')') {
      if (depth > 0) --depth;
    } else if (depth == 0 && (c == L',' || c == L';')) {
      add(piece, i);
      piece = i + 1;
    }
  }
  add(piece, length);
}
