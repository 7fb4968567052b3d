// The one document model the control shows and edits. The text is a flat
// sequence of characters, each with a tag: a text character carries its
// format, an object character (U+FFFC: an image or a rule) its object, and a
// paragraph end ('\r') its paragraph style. '\v' is a line break inside a
// paragraph. The last character is always a paragraph end that the text
// length does not count. Character indexes are positions in this sequence,
// so caret, selection and links all speak the same index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace markwright {

inline constexpr wchar_t kParagraphEnd = L'\r';
inline constexpr wchar_t kLineBreak = L'\v';
inline constexpr wchar_t kObject = 0xFFFC;
// No colour given: the document's text colour.
inline constexpr uint32_t kNoColor = 0xFFFFFFFFu;
// Bounds that keep any document's memory and time in hand.
inline constexpr size_t kMaxChars = 2u * 1024 * 1024;
inline constexpr size_t kMaxObjects = 4096;

enum Attr : uint32_t { kBold = 4, kItalic = 8, kUnderline = 16, kStrike = 32, kBlink = 128 };
inline constexpr uint32_t kAttrMask = kBold | kItalic | kUnderline | kStrike | kBlink;

struct Format {
  int size = 3;  // 1..7, as HTML sizes
  uint32_t attrs = 0;
  uint32_t color = kNoColor;  // COLORREF
  std::wstring link;
  auto operator<=>(const Format&) const = default;
  bool operator==(const Format&) const = default;
};

// Alignment 1 left, 2 centre, 3 right; the two paragraph properties 4
// (scrolling text) and 5 (swinging text).
struct ParagraphStyle {
  int align = 1;
  bool scroll = false;
  bool swing = false;
  auto operator<=>(const ParagraphStyle&) const = default;
  bool operator==(const ParagraphStyle&) const = default;
};

struct Object {
  enum Kind { kImage, kRule } kind = kImage;
  std::wstring source;  // "cid:..." or a file name of the message's folder
  int width = 0;        // as the HTML asked, 0 for the picture's own
  int height = 0;
  bool operator==(const Object&) const = default;
};

class Document {
 public:
  Document();

  // Parses HTML (any text: hostile mail included) into the model.
  void LoadHtml(std::string_view utf8);
  void LoadHtml(const std::wstring& html);
  // Plain text: lines become paragraphs.
  void LoadText(const std::wstring& text);
  // The HTML subset the compose side writes.
  std::wstring ToHtml() const;
  // The text with CR LF between paragraphs, an object as U+FFFC.
  std::wstring PlainText(size_t from = 0, size_t to = SIZE_MAX) const;

  const std::wstring& Chars() const { return text_; }
  size_t Length() const { return text_.size() - 1; }
  wchar_t At(size_t i) const { return text_[i]; }
  uint32_t Tag(size_t i) const { return tags_[i]; }
  const Format& FormatAt(size_t i) const;  // of a text character (the default for others)
  const Format& FormatOf(uint32_t id) const { return formats_[id]; }
  const ParagraphStyle& StyleOf(uint32_t id) const { return styles_[id]; }
  const Object& ObjectOf(uint32_t id) const { return objects_[id]; }
  size_t ObjectCount() const { return objects_.size(); }
  uint32_t background() const { return background_; }
  void SetBackground(uint32_t color) { background_ = color; }

  // The paragraph around `pos`: its first character and its end mark.
  size_t ParagraphStart(size_t pos) const;
  size_t ParagraphEnd(size_t pos) const;
  const ParagraphStyle& ParagraphAt(size_t pos) const { return styles_[tags_[ParagraphEnd(pos)]]; }

  uint32_t Intern(const Format& format);
  uint32_t Intern(const ParagraphStyle& style);

  // Edits; each returns how many characters went in (the limits may refuse).
  // '\r' and "\r\n" in text make paragraphs, '\n' alone too; tabs become
  // blanks and other control characters are dropped.
  size_t InsertText(size_t pos, std::wstring_view text, uint32_t format);
  size_t InsertObject(size_t pos, const Object& object);
  // A rule on a paragraph of its own after the paragraph of `pos`; answers
  // the index after it.
  size_t InsertRule(size_t pos);
  size_t InsertLineBreak(size_t pos);
  size_t InsertParagraph(size_t pos);
  // Removes [from, to); the final paragraph end stays. Paragraphs that come
  // together keep the style of the first.
  void Erase(size_t from, size_t to);
  // Formats of the text characters in [from, to).
  void ApplyFormat(size_t from, size_t to, uint32_t mask, const Format& value);
  // Style of every paragraph that [from, to] touches.
  void SetParagraphKind(size_t from, size_t to, int kind, bool on);
  // A format with the mask's fields taken from `value`.
  static Format Merge(const Format& base, uint32_t mask, const Format& value);

  void set_limit(size_t limit) { limit_ = limit; }
  size_t limit() const { return limit_; }

  // Same text, formats, styles and objects (ids aside).
  bool SameAs(const Document& other) const;

 private:
  friend class HtmlBuilder;
  void Clear();
  std::wstring text_;
  std::vector<uint32_t> tags_;
  std::vector<Format> formats_;
  std::map<Format, uint32_t> formatIds_;
  std::vector<ParagraphStyle> styles_;
  std::vector<Object> objects_;
  uint32_t background_ = 0xFFFFFF;
  size_t limit_ = kMaxChars;
};

// An image source the control may show: "cid:..." or a bare file name of
// the message's own folder (no scheme, no folder, no way up).
bool IsLocalImageSource(const std::wstring& source);

// Link kinds by prefix, compared without regard to case.
int LinkKind(const std::wstring& link);

}  // namespace markwright
