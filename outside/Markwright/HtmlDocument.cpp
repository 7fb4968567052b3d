#include "outside/Markwright/HtmlDocument.h"

#include <algorithm>
#include <cwctype>

namespace markwright {

namespace {

bool StartsNoCase(const std::wstring& text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (static_cast<wchar_t>(std::towlower(static_cast<wint_t>(text[i]))) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

int LinkKind(const std::wstring& link) {
  if (link.empty()) return 0;
  if (StartsNoCase(link, L"mailto:")) return 1;
  if (StartsNoCase(link, L"tel:")) return 3;
  if (StartsNoCase(link, L"image:")) return 6;
  return 2;
}

Document::Document() { Clear(); }

void Document::Clear() {
  text_.assign(1, kParagraphEnd);
  formats_.clear();
  formatIds_.clear();
  styles_.clear();
  objects_.clear();
  Intern(Format{});
  Intern(ParagraphStyle{});
  tags_.assign(1, 0);
  background_ = 0xFFFFFF;
}

uint32_t Document::Intern(const Format& format) {
  auto it = formatIds_.find(format);
  if (it != formatIds_.end()) return it->second;
  const auto id = static_cast<uint32_t>(formats_.size());
  formats_.push_back(format);
  formatIds_.emplace(format, id);
  return id;
}

uint32_t Document::Intern(const ParagraphStyle& style) {
  // Only six styles can exist: a linear look is enough.
  for (size_t i = 0; i < styles_.size(); ++i) {
    if (styles_[i] == style) return static_cast<uint32_t>(i);
  }
  styles_.push_back(style);
  return static_cast<uint32_t>(styles_.size() - 1);
}

const Format& Document::FormatAt(size_t i) const {
  if (i < text_.size() && text_[i] != kParagraphEnd && text_[i] != kObject) return formats_[tags_[i]];
  return formats_[0];
}

size_t Document::ParagraphStart(size_t pos) const {
  pos = std::min(pos, text_.size() - 1);
  while (pos > 0 && text_[pos - 1] != kParagraphEnd) --pos;
  return pos;
}

size_t Document::ParagraphEnd(size_t pos) const {
  pos = std::min(pos, text_.size() - 1);
  const size_t end = text_.find(kParagraphEnd, pos);
  return end == std::wstring::npos ? text_.size() - 1 : end;
}

size_t Document::InsertText(size_t pos, std::wstring_view text, uint32_t format) {
  pos = std::min(pos, Length());
  std::wstring chars;
  std::vector<uint32_t> tags;
  const uint32_t style = tags_[ParagraphEnd(pos)];
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\r' || c == L'\n') {
      if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
      chars.push_back(kParagraphEnd);
      tags.push_back(style);
      continue;
    }
    if (c == L'\t') c = L' ';
    if (c < 0x20 || c == 0x7F || c == kObject) continue;
    chars.push_back(c);
    tags.push_back(format);
  }
  const size_t room = Length() < limit_ ? limit_ - Length() : 0;
  if (chars.size() > room) {
    chars.resize(room);
    tags.resize(room);
  }
  text_.insert(pos, chars);
  tags_.insert(tags_.begin() + static_cast<std::ptrdiff_t>(pos), tags.begin(), tags.end());
  return chars.size();
}

size_t Document::InsertObject(size_t pos, const Object& object) {
  if (Length() >= limit_ || objects_.size() >= kMaxObjects) return 0;
  pos = std::min(pos, Length());
  objects_.push_back(object);
  text_.insert(text_.begin() + static_cast<std::ptrdiff_t>(pos), kObject);
  tags_.insert(tags_.begin() + static_cast<std::ptrdiff_t>(pos), static_cast<uint32_t>(objects_.size() - 1));
  return 1;
}

size_t Document::InsertLineBreak(size_t pos) {
  if (Length() >= limit_) return 0;
  pos = std::min(pos, Length());
  text_.insert(text_.begin() + static_cast<std::ptrdiff_t>(pos), kLineBreak);
  tags_.insert(tags_.begin() + static_cast<std::ptrdiff_t>(pos), 0);
  return 1;
}

size_t Document::InsertParagraph(size_t pos) { return InsertText(pos, L"\r", 0); }

size_t Document::InsertRule(size_t pos) {
  if (Length() + 3 > limit_ || objects_.size() >= kMaxObjects) return pos;
  // The rule stands alone: break the paragraph at pos unless already at a start.
  pos = std::min(pos, Length());
  const uint32_t style = tags_[ParagraphEnd(pos)];
  if (pos != ParagraphStart(pos)) {
    text_.insert(text_.begin() + static_cast<std::ptrdiff_t>(pos), kParagraphEnd);
    tags_.insert(tags_.begin() + static_cast<std::ptrdiff_t>(pos), style);
    ++pos;
  }
  Object rule;
  rule.kind = Object::kRule;
  objects_.push_back(rule);
  const wchar_t add[] = {kObject, kParagraphEnd};
  const uint32_t addTags[] = {static_cast<uint32_t>(objects_.size() - 1), Intern(ParagraphStyle{})};
  text_.insert(pos, add, 2);
  tags_.insert(tags_.begin() + static_cast<std::ptrdiff_t>(pos), addTags, addTags + 2);
  return pos + 2;
}

void Document::Erase(size_t from, size_t to) {
  to = std::min(to, Length());
  if (from >= to) return;
  const size_t lastEnd = ParagraphEnd(to);
  const bool joins = text_.find(kParagraphEnd, from) < to;
  const uint32_t firstStyle = tags_[ParagraphEnd(from)];
  text_.erase(from, to - from);
  tags_.erase(tags_.begin() + static_cast<std::ptrdiff_t>(from), tags_.begin() + static_cast<std::ptrdiff_t>(to));
  if (joins) tags_[lastEnd - (to - from)] = firstStyle;
}

Format Document::Merge(const Format& base, uint32_t mask, const Format& value) {
  Format out = base;
  if (mask & 3u) out.size = std::clamp(value.size, 1, 7);
  for (uint32_t bit : {kBold, kItalic, kUnderline, kStrike, kBlink}) {
    if (mask & bit) out.attrs = (out.attrs & ~bit) | (value.attrs & bit);
  }
  if (mask & 0x40u) out.link = value.link;
  if (mask & 0x100u) out.color = value.color;
  return out;
}

void Document::ApplyFormat(size_t from, size_t to, uint32_t mask, const Format& value) {
  to = std::min(to, Length());
  // Runs share one merge: a long selection of one format costs one lookup.
  uint32_t lastIn = UINT32_MAX, lastOut = 0;
  for (size_t i = from; i < to; ++i) {
    const wchar_t c = text_[i];
    if (c == kParagraphEnd || c == kObject) continue;
    if (tags_[i] != lastIn) {
      lastIn = tags_[i];
      lastOut = Intern(Merge(formats_[lastIn], mask, value));
    }
    tags_[i] = lastOut;
  }
}

void Document::SetParagraphKind(size_t from, size_t to, int kind, bool on) {
  to = std::min(std::max(from, to), Length());
  for (size_t end = ParagraphEnd(from);; end = ParagraphEnd(end + 1)) {
    ParagraphStyle s = styles_[tags_[end]];
    if (kind >= 1 && kind <= 3) {
      s.align = on ? kind : 1;
    } else if (kind == 4) {
      s.scroll = on;
    } else if (kind == 5) {
      s.swing = on;
    }
    tags_[end] = Intern(s);
    if (end >= to || end + 1 >= text_.size()) break;
  }
}

std::wstring Document::PlainText(size_t from, size_t to) const {
  to = std::min(to, Length());
  std::wstring out;
  out.reserve(to > from ? to - from : 0);
  for (size_t i = from; i < to; ++i) {
    const wchar_t c = text_[i];
    if (c == kParagraphEnd) {
      out += L"\r\n";
    } else if (c == kLineBreak) {
      out += L"\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

void Document::LoadText(const std::wstring& text) {
  Clear();
  std::wstring_view rest(text);
  InsertText(0, rest, 0);
}

bool Document::SameAs(const Document& other) const {
  if (text_ != other.text_ || background_ != other.background_) return false;
  for (size_t i = 0; i < text_.size(); ++i) {
    const wchar_t c = text_[i];
    if (c == kParagraphEnd) {
      if (!(styles_[tags_[i]] == other.styles_[other.tags_[i]])) return false;
    } else if (c == kObject) {
      if (!(objects_[tags_[i]] == other.objects_[other.tags_[i]])) return false;
    } else if (!(formats_[tags_[i]] == other.formats_[other.tags_[i]])) {
      return false;
    }
  }
  return true;
}

}  // namespace markwright
