#include "app/message/links/QvLinkRangeList.h"

#include <cwchar>

namespace {

bool IsAsciiLetterOrDigit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool IsMailChar(wchar_t c) { return IsAsciiLetterOrDigit(c) || (c != 0 && wcschr(L"#$%&'+-./=?_~", c) != nullptr); }

bool IsWebChar(wchar_t c) { return IsMailChar(c) || c == L'@' || c == L':' || c == L'/'; }

bool IsSeparator(wchar_t c) { return !(IsMailChar(c) || c == L':' || c == L'@' || c == L'*'); }

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool StartsWith(const CString& text, int at, const wchar_t* prefix, bool ignoreCase) {
  for (int i = 0; prefix[i] != 0; ++i) {
    if (at + i >= text.GetLength()) return false;
    wchar_t c = text[at + i];
    if (ignoreCase && c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

void QvLinkRangeList::Scan(const wchar_t* text) {
  text_ = text != nullptr ? text : L"";
  ranges_.RemoveAll();
  fullLengths_.RemoveAll();
  const int length = text_.GetLength();
  int tokenStart = 0;
  for (int i = 0; i <= length; ++i) {
    if (i < length && !IsSeparator(text_[i])) continue;
    const int tokenEnd = i;
    for (int offset = 0; tokenStart + offset < tokenEnd;) {
      int used = WebRule(tokenStart, tokenEnd, offset);
      if (used == 0) used = MailRule(tokenStart, tokenEnd, offset);
      if (used == 0) used = TelephoneRule(tokenStart, tokenEnd, offset);
      if (used <= 0) break;
      offset += used;
    }
    tokenStart = i + 1;
  }
}

void QvLinkRangeList::AddRange(int start, int length, int kind, int fullLength) {
  ranges_.Add(QvLinkRange{start, length, kind});
  fullLengths_.Add(fullLength);
}

int QvLinkRangeList::WebRule(int tokenStart, int tokenEnd, int offset) {
  int h = -1;
  int schemeEnd = 0;
  for (int p = tokenStart + offset; p < tokenEnd; ++p) {
    if (text_[p] != L'h') continue;
    if (StartsWith(text_, p, L"http://", false)) {
      h = p;
      schemeEnd = p + 7;
      break;
    }
    if (StartsWith(text_, p, L"https://", false)) {
      h = p;
      schemeEnd = p + 8;
      break;
    }
  }
  if (h < 0 || schemeEnd > tokenEnd) return 0;
  int end = schemeEnd;
  while (end < tokenEnd && IsWebChar(text_[end]) && !Covered(end)) ++end;
  if (end - h <= 8) return 0;
  const int full = end - h;
  AddRange(h, full < kMaxWebLength ? full : kMaxWebLength, QvLinkRange::kWeb, full);
  return end - (tokenStart + offset);
}

int QvLinkRangeList::MailRule(int tokenStart, int tokenEnd, int offset) {
  const int from = tokenStart + offset;
  int at = -1;
  for (int p = from; p < tokenEnd; ++p) {
    if (text_[p] == L'@') {
      at = p;
      break;
    }
  }
  if (at < 0) return 0;
  int local = at;
  while (local > from && IsMailChar(text_[local - 1]) && !Covered(local - 1)) --local;
  int end = at + 1;
  while (end < tokenEnd && IsMailChar(text_[end]) && !Covered(end)) ++end;
  // A full stop that ends the sentence is no part of the domain; it is
  // passed over so that it starts nothing either.
  int domainEnd = end;
  while (domainEnd > at + 1 && text_[domainEnd - 1] == L'.') --domainEnd;
  bool dot = false;
  for (int p = at + 1; p < domainEnd; ++p) dot = dot || text_[p] == L'.';
  if (!dot || local == at) return 0;
  const int full = domainEnd - local;
  AddRange(local, full < kMaxMailLength ? full : kMaxMailLength, QvLinkRange::kMail, full);
  return end - from;
}

int QvLinkRangeList::TelephoneRule(int tokenStart, int tokenEnd, int offset) {
  const int from = tokenStart + offset;
  int found = -1;
  bool prefixed = false;
  for (int p = from; p < tokenEnd; ++p) {
    if (StartsWith(text_, p, L"TEL:", true) && p + 4 <= tokenEnd) {
      found = p;
      prefixed = true;
      break;
    }
    // A number starts where its digits start: a "0" inside a longer run of
    // digits starts nothing.
    if (text_[p] == L'0' && (p == tokenStart || !IsDigit(text_[p - 1]))) {
      found = p;
      break;
    }
  }
  if (found < 0) return tokenEnd - from;
  const int start = prefixed ? found + 4 : found;
  int stop = start;
  int hyphens = 0;
  int others = 0;
  int digits = 0;
  while (stop < tokenEnd && !Covered(stop)) {
    const wchar_t c = text_[stop];
    if (c == L'-') {
      ++hyphens;
    } else if (IsDigit(c)) {
      ++others;
      ++digits;
    } else if (prefixed && (c == L'#' || c == L'*')) {
      ++others;
    } else {
      break;
    }
    ++stop;
  }
  int used = stop - from;
  if (digits == 0) {
    if (others == 0 && hyphens > 0) ++used;
    if (from + used > tokenEnd) used = tokenEnd - from;
    return used > 0 ? used : 1;
  }
  const bool fits = prefixed ? others <= kMaxTelephoneDigits
                             : others >= kMinBareTelephoneDigits && others <= kMaxTelephoneDigits;
  if (fits) AddRange(start, stop - start, QvLinkRange::kTelephone, stop - start);
  return used;
}

int QvLinkRangeList::FindNearestRange(int position) const {
  int lo = 0;
  int hi = GetCount() - 1;
  int mid = 0;
  while (hi >= lo) {
    mid = (lo + hi) / 2;
    const QvLinkRange& r = ranges_[mid];
    if (position < r.start) {
      hi = hi == mid ? mid - 1 : mid;
    } else if (position <= r.start + r.length) {
      break;
    } else {
      lo = lo == mid ? lo + 1 : mid;
    }
  }
  return mid;
}

int QvLinkRangeList::FindRangeAt(int position) const {
  if (GetCount() == 0) return -1;
  const int near = FindNearestRange(position);
  // The search stops on a range whose end equals the position; a range that
  // starts right there is the one that holds it.
  for (int i = near; i <= near + 1 && i < GetCount(); ++i) {
    const QvLinkRange& r = ranges_[i];
    if (r.start <= position && position < r.start + r.length) return i;
  }
  return -1;
}

bool QvLinkRangeList::IsValidIndex(int index) const { return index >= 0 && index < GetCount(); }

const QvLinkRange& QvLinkRangeList::GetRange(int index) const { return ranges_[index]; }

int QvLinkRangeList::GetCount() const { return static_cast<int>(ranges_.GetSize()); }

const CString& QvLinkRangeList::GetText() const { return text_; }

CString QvLinkRangeList::GetLinkText(int index) const {
  if (!IsValidIndex(index)) return CString();
  return text_.Mid(ranges_[index].start, fullLengths_[index]);
}

QvLinkAction ClassifyLinkTarget(const wchar_t* target, CString& argument) {
  CString t = target != nullptr ? target : L"";
  t.Trim();
  argument.Empty();
  for (int i = 0; i < t.GetLength(); ++i) {
    // Control characters and blanks inside a target hide what it really is.
    if (t[i] < 0x21 || t[i] == 0x7F) return QvLinkAction::kRefuse;
  }
  if (StartsWith(t, 0, L"HTTP://", true) || StartsWith(t, 0, L"HTTPS://", true)) {
    const int hostAt = t.Find(L"//") + 2;
    if (hostAt >= t.GetLength() || t[hostAt] == L'/') return QvLinkAction::kRefuse;
    argument = t;
    return QvLinkAction::kOpenWeb;
  }
  if (StartsWith(t, 0, L"MAILTO:", true)) {
    CString rest = t.Mid(7);
    if (rest.IsEmpty() || rest.Find(L'@') < 0) return QvLinkAction::kRefuse;
    argument = rest;
    return QvLinkAction::kCompose;
  }
  if (StartsWith(t, 0, L"TEL:", true)) {
    CString rest = t.Mid(4);
    bool digit = false;
    for (int i = 0; i < rest.GetLength(); ++i) {
      const wchar_t c = rest[i];
      if (IsDigit(c)) digit = true;
      else if (!wcschr(L"#*-+", c)) return QvLinkAction::kRefuse;
    }
    if (!digit) return QvLinkAction::kRefuse;
    argument = rest;
    return QvLinkAction::kDial;
  }
  return QvLinkAction::kRefuse;
}

QvLinkAction ActionForRange(const QvLinkRangeList& list, int index, CString& argument) {
  argument.Empty();
  if (!list.IsValidIndex(index)) return QvLinkAction::kRefuse;
  const CString text = list.GetLinkText(index);
  switch (list.GetRange(index).kind) {
    case QvLinkRange::kMail:
      return ClassifyLinkTarget(CString(L"mailto:") + text, argument);
    case QvLinkRange::kWeb:
      return ClassifyLinkTarget(text, argument);
    case QvLinkRange::kTelephone:
      return ClassifyLinkTarget(CString(L"tel:") + text, argument);
    default:
      return QvLinkAction::kRefuse;
  }
}
