// The model back to the HTML subset the compose side writes: one <div> a
// paragraph (align for centre and right, <marquee> for the two paragraph
// properties), <font size color>, <b> <i> <u> <s> <blink>, <a href>, <br>,
// <hr> and <img src>. Every run writes its own tags, so reading the text
// back gives the same model. Blanks that the parser would fold away are
// written as &nbsp;.
#include "outside/Markwright/HtmlDocument.h"

namespace markwright {

namespace {

void Escape(std::wstring* out, wchar_t c, bool attribute) {
  switch (c) {
    case L'&': *out += L"&amp;"; break;
    case L'<': *out += L"&lt;"; break;
    case L'>': *out += L"&gt;"; break;
    case L'"':
      if (attribute) *out += L"&quot;";
      else *out += c;
      break;
    default: *out += c;
  }
}

void EscapeAll(std::wstring* out, const std::wstring& text) {
  for (wchar_t c : text) Escape(out, c, true);
}

// "#rrggbb" of a COLORREF (its bytes are red, green, blue from the low end).
std::wstring Hex(uint32_t colorRef) {
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring out = L"#";
  for (int shift : {0, 8, 16}) {
    const uint32_t byte = (colorRef >> shift) & 0xFF;
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
  }
  return out;
}

bool IsPlain(wchar_t c) { return c != L' ' && c != kLineBreak && c != kParagraphEnd && c != kObject; }

void OpenRun(std::wstring* out, const Format& f) {
  if (!f.link.empty()) {
    *out += L"<a href=\"";
    EscapeAll(out, f.link);
    *out += L"\">";
  }
  if (f.size != 3 || f.color != kNoColor) {
    *out += L"<font";
    if (f.size != 3) *out += L" size=\"" + std::to_wstring(f.size) + L"\"";
    if (f.color != kNoColor) *out += L" color=\"" + Hex(f.color) + L"\"";
    *out += L">";
  }
  if (f.attrs & kBold) *out += L"<b>";
  if (f.attrs & kItalic) *out += L"<i>";
  if (f.attrs & kUnderline) *out += L"<u>";
  if (f.attrs & kStrike) *out += L"<s>";
  if (f.attrs & kBlink) *out += L"<blink>";
}

void CloseRun(std::wstring* out, const Format& f) {
  if (f.attrs & kBlink) *out += L"</blink>";
  if (f.attrs & kStrike) *out += L"</s>";
  if (f.attrs & kUnderline) *out += L"</u>";
  if (f.attrs & kItalic) *out += L"</i>";
  if (f.attrs & kBold) *out += L"</b>";
  if (f.size != 3 || f.color != kNoColor) *out += L"</font>";
  if (!f.link.empty()) *out += L"</a>";
}

}  // namespace

std::wstring Document::ToHtml() const {
  std::wstring out;
  out.reserve(text_.size() * 2);
  const bool body = background_ != 0xFFFFFF;
  if (body) out += L"<body bgcolor=\"" + Hex(background_) + L"\">";
  // A document that is one empty plain paragraph is no HTML at all.
  const bool empty = text_.size() == 1 && styles_[tags_[0]] == ParagraphStyle{};
  size_t start = 0;
  while (!empty && start < text_.size()) {
    const size_t end = text_.find(kParagraphEnd, start);
    const ParagraphStyle& style = styles_[tags_[end]];
    if (end == start + 1 && text_[start] == kObject && objects_[tags_[start]].kind == Object::kRule) {
      out += L"<hr>";
      start = end + 1;
      continue;
    }
    out += L"<div";
    if (style.align == 2) out += L" align=\"center\"";
    if (style.align == 3) out += L" align=\"right\"";
    out += L">";
    if (style.swing) out += L"<marquee behavior=\"alternate\">";
    else if (style.scroll) out += L"<marquee>";
    size_t i = start;
    while (i < end) {
      const wchar_t c = text_[i];
      if (c == kLineBreak) {
        out += L"<br>";
        ++i;
        continue;
      }
      if (c == kObject) {
        const Object& o = objects_[tags_[i]];
        if (o.kind == Object::kRule) {
          out += L"<hr>";
        } else {
          out += L"<img src=\"";
          EscapeAll(&out, o.source);
          out += L"\"";
          if (o.width > 0) out += L" width=\"" + std::to_wstring(o.width) + L"\"";
          if (o.height > 0) out += L" height=\"" + std::to_wstring(o.height) + L"\"";
          out += L">";
        }
        ++i;
        continue;
      }
      const uint32_t tag = tags_[i];
      const Format& f = formats_[tag];
      OpenRun(&out, f);
      for (; i < end && tags_[i] == tag && text_[i] != kLineBreak && text_[i] != kObject; ++i) {
        const wchar_t ch = text_[i];
        if (ch == L' ') {
          const bool loose = i == start || !IsPlain(text_[i - 1]) || i + 1 >= end || !IsPlain(text_[i + 1]);
          out += loose ? L"&nbsp;" : L" ";
        } else {
          Escape(&out, ch, false);
        }
      }
      CloseRun(&out, f);
    }
    // An empty paragraph, or one that ends in a line break, needs one more
    // <br> to keep its last line.
    if (end == start || text_[end - 1] == kLineBreak) out += L"<br>";
    if (style.swing || style.scroll) out += L"</marquee>";
    out += L"</div>";
    start = end + 1;
  }
  if (body) out += L"</body>";
  return out;
}

}  // namespace markwright
