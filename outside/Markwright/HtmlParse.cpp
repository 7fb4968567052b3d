// HTML into the document model through gumbo. Received mail is hostile: no
// script, style sheet, form, frame or object is ever acted on; their content
// is dropped. Only "cid:" images and bare file names (a file of the message's
// own folder) become images; every other source is ignored. Tables, lists and
// the styles of newsletters come out as flowed paragraphs. The walk keeps its
// own stack, and nesting deeper than gumbo should see is cut before parsing,
// so a document of any depth costs bounded stack, memory and time.
#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "outside/Markwright/HtmlDocument.h"
#include "platform/base/WideText.h"

namespace markwright {

namespace {

constexpr int kMaxDepth = 400;
// gumbo checks each attribute against the ones before it: a tag with a huge
// number of them costs quadratic time, so a tag this long keeps only its name.
constexpr size_t kMaxTagBytes = 16 * 1024;

bool IEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

bool IStarts(std::string_view a, std::string_view prefix) {
  return a.size() >= prefix.size() && IEquals(a.substr(0, prefix.size()), prefix);
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

bool IsVoid(std::string_view name) {
  static const char* const kVoid[] = {"area", "base", "br", "col", "embed", "hr", "img", "input", "keygen", "link",
                                      "meta", "param", "source", "track", "wbr", "basefont", "bgsound", "frame"};
  for (const char* v : kVoid) {
    if (IEquals(name, v)) return true;
  }
  return false;
}

// Drops the start tags that would nest deeper than kMaxDepth (their end tags
// then close nothing and are ignored), so gumbo never builds a deep tree, and
// strips the attributes of start tags longer than kMaxTagBytes.
std::string BoundDepth(std::string_view html) {
  std::string out;
  out.reserve(html.size());
  int depth = 0;
  size_t i = 0;
  while (i < html.size()) {
    const char c = html[i];
    if (c != '<' || i + 1 >= html.size()) {
      out += c;
      ++i;
      continue;
    }
    const bool end = html[i + 1] == '/';
    const size_t nameAt = i + (end ? 2 : 1);
    if (nameAt >= html.size() || !std::isalpha(static_cast<unsigned char>(html[nameAt]))) {
      out += c;
      ++i;
      continue;
    }
    size_t nameEnd = nameAt;
    while (nameEnd < html.size() && std::isalnum(static_cast<unsigned char>(html[nameEnd]))) ++nameEnd;
    size_t close = html.find('>', nameEnd);
    if (close == std::string_view::npos) close = html.size() - 1;
    const std::string_view name = html.substr(nameAt, nameEnd - nameAt);
    const bool selfClosed = html[close] == '>' && close > 0 && html[close - 1] == '/';
    if (end) {
      if (depth > 0) --depth;
    } else if (!IsVoid(name) && !selfClosed) {
      if (depth >= kMaxDepth) {
        i = close + 1;  // the tag goes, its text stays
        continue;
      }
      ++depth;
    }
    if (!end && close + 1 - i > kMaxTagBytes) {
      out += '<';
      out.append(name);
      out += '>';
    } else {
      out.append(html.substr(i, close + 1 - i));
    }
    i = close + 1;
  }
  return out;
}

struct NamedColor {
  const char* name;
  uint32_t rgb;
};
constexpr NamedColor kColors[] = {
    {"black", 0x000000},  {"white", 0xFFFFFF},   {"red", 0xFF0000},    {"green", 0x008000},  {"blue", 0x0000FF},
    {"yellow", 0xFFFF00}, {"orange", 0xFFA500},  {"purple", 0x800080}, {"gray", 0x808080},   {"grey", 0x808080},
    {"silver", 0xC0C0C0}, {"maroon", 0x800000},  {"navy", 0x000080},   {"teal", 0x008080},   {"olive", 0x808000},
    {"lime", 0x00FF00},   {"aqua", 0x00FFFF},    {"fuchsia", 0xFF00FF}, {"pink", 0xFFC0CB},  {"brown", 0xA52A2A},
    {"magenta", 0xFF00FF}, {"cyan", 0x00FFFF},   {"darkred", 0x8B0000}, {"darkblue", 0x00008B},
    {"darkgreen", 0x006400}, {"skyblue", 0x87CEEB}, {"gold", 0xFFD700}, {"hotpink", 0xFF69B4}};

uint32_t ToColorRef(uint32_t rgb) { return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF); }

// "#rgb", "#rrggbb", "rrggbb", "rgb(r, g, b)" or a colour name; kNoColor when none.
uint32_t ParseColor(std::string_view text) {
  std::string s = Trim(text);
  if (s.empty()) return kNoColor;
  if (IStarts(s, "rgb(")) {
    int v[3] = {0, 0, 0};
    size_t at = 4;
    for (int k = 0; k < 3; ++k) {
      while (at < s.size() && !std::isdigit(static_cast<unsigned char>(s[at]))) ++at;
      int n = 0;
      while (at < s.size() && std::isdigit(static_cast<unsigned char>(s[at]))) n = std::min(255, n * 10 + (s[at++] - '0'));
      v[k] = n;
    }
    return static_cast<uint32_t>(v[0] | (v[1] << 8) | (v[2] << 16));
  }
  for (const NamedColor& c : kColors) {
    if (IEquals(s, c.name)) return ToColorRef(c.rgb);
  }
  if (s[0] == '#') s.erase(0, 1);
  if (s.size() != 3 && s.size() != 6) return kNoColor;
  uint32_t rgb = 0;
  for (char ch : s) {
    if (!std::isxdigit(static_cast<unsigned char>(ch))) return kNoColor;
    const uint32_t d = static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(ch)) ? ch - '0' : (std::tolower(ch) - 'a' + 10));
    rgb = rgb * (s.size() == 3 ? 256 : 16) + (s.size() == 3 ? d * 17 : d);
  }
  return ToColorRef(rgb);
}

int ParseSize(std::string_view text, int current) {
  std::string s = Trim(text);
  if (s.empty()) return current;
  int sign = 0;
  if (s[0] == '+' || s[0] == '-') {
    sign = s[0] == '+' ? 1 : -1;
    s.erase(0, 1);
  }
  if (s.empty() || !std::isdigit(static_cast<unsigned char>(s[0]))) return current;
  const int n = std::min(9, s[0] - '0');
  return std::clamp(sign == 0 ? n : 3 + sign * n, 1, 7);
}

// A CSS size to one of the seven: keywords, px and pt.
int CssSize(std::string_view value, int current) {
  static const char* const kWords[] = {"xx-small", "x-small", "small", "medium", "large", "x-large", "xx-large"};
  static const int kWordSize[] = {1, 1, 2, 3, 4, 5, 6};
  for (int i = 0; i < 7; ++i) {
    if (IEquals(value, kWords[i])) return kWordSize[i];
  }
  double n = 0;
  size_t at = 0;
  while (at < value.size() && (std::isdigit(static_cast<unsigned char>(value[at])) || value[at] == '.')) ++at;
  if (at == 0) return current;
  n = std::atof(std::string(value.substr(0, at)).c_str());
  std::string_view unit = value.substr(at);
  if (IEquals(unit, "pt")) n = n * 4 / 3;
  else if (IEquals(unit, "em") || IEquals(unit, "rem")) n *= 16;
  else if (unit == "%") n = n * 16 / 100;
  else if (!IEquals(unit, "px")) return current;
  static const int kPx[] = {11, 14, 17, 20, 26, 34};
  int size = 1;
  while (size < 7 && n >= kPx[size - 1]) ++size;
  return size;
}

struct State {
  Format format;
  ParagraphStyle style;
  bool pre = false;
  bool hidden = false;
  bool gridCell = false;  // in a cell of a row of several: its line breaks flow
};

// Cells of the row a cell stands in.
int CellsInRow(const GumboNode* cell) {
  const GumboNode* row = cell->parent;
  if (!row || row->type != GUMBO_NODE_ELEMENT) return 1;
  int cells = 0;
  const GumboVector& children = row->v.element.children;
  for (unsigned i = 0; i < children.length; ++i) {
    const auto* child = static_cast<const GumboNode*>(children.data[i]);
    if (child->type == GUMBO_NODE_ELEMENT && (child->v.element.tag == GUMBO_TAG_TD || child->v.element.tag == GUMBO_TAG_TH))
      ++cells;
  }
  return cells;
}

}  // namespace

class HtmlBuilder {
 public:
  explicit HtmlBuilder(Document* doc) : doc_(doc) {
    doc_->text_.clear();
    doc_->tags_.clear();
  }

  void Walk(GumboNode* root);
  void Finish() {
    EndParagraph(true);
    if (doc_->text_.empty()) {
      doc_->text_.push_back(kParagraphEnd);
      doc_->tags_.push_back(0);
    }
  }

 private:
  struct Frame {
    GumboNode* node;
    size_t next;
    State saved;
    int kind;  // what closing the element does (see Close)
  };
  enum { kInline = 0, kBlock = 1, kListItem = 2, kRow = 3, kList = 4, kCell = 5 };

  bool Full() const { return doc_->text_.size() + 2 >= kMaxChars; }

  void Put(wchar_t c, uint32_t tag) {
    if (Full()) return;
    doc_->text_.push_back(c);
    doc_->tags_.push_back(tag);
    touched_ = true;
    atLineStart_ = false;
  }

  void FlushSpace() {
    if (pendingSpace_ && !atLineStart_) Put(L' ', doc_->Intern(spaceFormat_));
    pendingSpace_ = false;
  }

  void AddText(const char* utf8) {
    if (state_.hidden) return;
    const std::wstring text = qv::Utf8ToWide(utf8);
    const uint32_t tag = doc_->Intern(state_.format);
    for (wchar_t c : text) {
      if (state_.pre) {
        if (c == L'\n') {
          EndParagraph(true);
          continue;
        }
        if (c == L'\r') continue;
        if (c == L'\t') c = L' ';
      } else if (c == L' ' || c == L'\n' || c == L'\r' || c == L'\t' || c == L'\f') {
        if (!pendingSpace_) spaceFormat_ = state_.format;
        pendingSpace_ = true;
        continue;
      }
      if (c == 0xA0) c = L' ';
      if (c < 0x20 || c == 0x7F || c == kObject || (c >= 0xD800 && c <= 0xDFFF)) continue;
      if (!state_.pre) FlushSpace();
      if (!touched_) paraStyle_ = state_.style;
      if (prefix_.size()) {
        const std::wstring p = std::move(prefix_);
        prefix_.clear();
        for (wchar_t q : p) Put(q, doc_->Intern(Format{}));
      }
      Put(c, tag);
    }
  }

  void LineBreak() {
    if (state_.hidden) return;
    if (state_.gridCell) {
      // A picture grid's captions stay beside their pictures.
      if (!pendingSpace_) spaceFormat_ = state_.format;
      pendingSpace_ = true;
      return;
    }
    pendingSpace_ = false;
    if (!touched_) paraStyle_ = state_.style;
    Put(kLineBreak, 0);
    atLineStart_ = true;
  }

  // Closes the paragraph being filled. A last line break of a block shows no
  // empty line, so it goes (this is what makes "<div><br></div>" an empty
  // paragraph).
  void EndParagraph(bool) {
    pendingSpace_ = false;
    if (!touched_) return;  // a list mark waits for the item's first text
    prefix_.clear();
    if (!doc_->text_.empty() && doc_->text_.back() == kLineBreak) {
      doc_->text_.pop_back();
      doc_->tags_.pop_back();
    }
    doc_->text_.push_back(kParagraphEnd);
    doc_->tags_.push_back(doc_->Intern(paraStyle_));
    touched_ = false;
    atLineStart_ = true;
  }

  void AddImage(GumboElement& e) {
    if (state_.hidden) return;
    GumboAttribute* src = gumbo_get_attribute(&e.attributes, "src");
    const std::string source = src ? Trim(src->value) : std::string();
    if (!IsLocalSource(source)) {
      GumboAttribute* alt = gumbo_get_attribute(&e.attributes, "alt");
      if (alt && *alt->value) AddText(alt->value);
      return;
    }
    FlushSpace();
    if (!touched_) paraStyle_ = state_.style;
    if (Full() || doc_->objects_.size() >= kMaxObjects) return;
    Object o;
    o.source = qv::Utf8ToWide(source);
    if (GumboAttribute* w = gumbo_get_attribute(&e.attributes, "width")) o.width = std::clamp(std::atoi(w->value), 0, 4096);
    if (GumboAttribute* h = gumbo_get_attribute(&e.attributes, "height")) o.height = std::clamp(std::atoi(h->value), 0, 4096);
    doc_->objects_.push_back(o);
    Put(kObject, static_cast<uint32_t>(doc_->objects_.size() - 1));
  }

  void AddRule() {
    if (state_.hidden) return;
    EndParagraph(true);
    if (Full() || doc_->objects_.size() >= kMaxObjects) return;
    Object o;
    o.kind = Object::kRule;
    doc_->objects_.push_back(o);
    paraStyle_ = ParagraphStyle{};
    Put(kObject, static_cast<uint32_t>(doc_->objects_.size() - 1));
    EndParagraph(true);
  }

 public:
  // "cid:..." or a plain file name: no scheme, no folder, no way up.
  static bool IsLocalSource(const std::string& source) {
    if (source.empty()) return false;
    if (IStarts(source, "cid:")) return source.size() > 4;
    for (char c : source) {
      if (c == ':' || c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) return false;
    }
    return source != "." && source != ".." && source.find("..") == std::string::npos;
  }

 private:
  void ApplyStyleAttribute(const char* css) {
    std::string_view rest(css);
    while (!rest.empty()) {
      const size_t semi = rest.find(';');
      const std::string_view decl = rest.substr(0, semi);
      rest = semi == std::string_view::npos ? std::string_view() : rest.substr(semi + 1);
      const size_t colon = decl.find(':');
      if (colon == std::string_view::npos) continue;
      const std::string key = Trim(decl.substr(0, colon));
      const std::string value = Trim(decl.substr(colon + 1));
      if (IEquals(key, "color")) {
        const uint32_t c = ParseColor(value);
        if (c != kNoColor) state_.format.color = c;
      } else if (IEquals(key, "font-weight")) {
        if (IEquals(value, "bold") || IEquals(value, "bolder") || std::atoi(value.c_str()) >= 600) state_.format.attrs |= kBold;
        else if (IEquals(value, "normal")) state_.format.attrs &= ~kBold;
      } else if (IEquals(key, "font-style")) {
        if (IEquals(value, "italic") || IEquals(value, "oblique")) state_.format.attrs |= kItalic;
      } else if (IEquals(key, "text-decoration") || IEquals(key, "text-decoration-line")) {
        if (value.find("underline") != std::string::npos) state_.format.attrs |= kUnderline;
        if (value.find("line-through") != std::string::npos) state_.format.attrs |= kStrike;
        if (value.find("blink") != std::string::npos) state_.format.attrs |= kBlink;
      } else if (IEquals(key, "text-align")) {
        SetAlign(value);
      } else if (IEquals(key, "font-size")) {
        state_.format.size = CssSize(value, state_.format.size);
      } else if ((IEquals(key, "display") && IEquals(value, "none")) ||
                 (IEquals(key, "visibility") && IEquals(value, "hidden"))) {
        state_.hidden = true;
      }
    }
  }

  void SetAlign(std::string_view value) {
    if (IEquals(value, "center") || IEquals(value, "middle")) state_.style.align = 2;
    else if (IEquals(value, "right")) state_.style.align = 3;
    else if (IEquals(value, "left") || IEquals(value, "justify")) state_.style.align = 1;
  }

  // Sets up an element; answers whether its children are walked, and how it closes.
  bool Open(GumboNode* node, int* kind);

  Document* doc_;
  State state_;
  ParagraphStyle paraStyle_;
  Format spaceFormat_;
  bool touched_ = false;
  bool pendingSpace_ = false;
  bool atLineStart_ = true;
  std::wstring prefix_;  // a list mark waiting for its item's first text
  struct List {
    bool ordered;
    int counter;
  };
  std::vector<List> lists_;
  std::vector<bool> rowHasCell_;
};

bool HtmlBuilder::Open(GumboNode* node, int* kind) {
  GumboElement& e = node->v.element;
  *kind = kInline;
  if (e.tag_namespace != GUMBO_NAMESPACE_HTML) return false;  // SVG and MathML: not shown
  switch (e.tag) {
    // Never run, fetched or shown.
    case GUMBO_TAG_HEAD: case GUMBO_TAG_SCRIPT: case GUMBO_TAG_STYLE: case GUMBO_TAG_TITLE:
    case GUMBO_TAG_TEMPLATE: case GUMBO_TAG_NOSCRIPT: case GUMBO_TAG_IFRAME: case GUMBO_TAG_FRAME:
    case GUMBO_TAG_FRAMESET: case GUMBO_TAG_NOFRAMES: case GUMBO_TAG_OBJECT: case GUMBO_TAG_EMBED:
    case GUMBO_TAG_APPLET: case GUMBO_TAG_PARAM: case GUMBO_TAG_INPUT: case GUMBO_TAG_SELECT:
    case GUMBO_TAG_TEXTAREA: case GUMBO_TAG_BUTTON: case GUMBO_TAG_OPTION: case GUMBO_TAG_OPTGROUP:
    case GUMBO_TAG_CANVAS: case GUMBO_TAG_AUDIO: case GUMBO_TAG_VIDEO: case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_TRACK: case GUMBO_TAG_LINK: case GUMBO_TAG_META: case GUMBO_TAG_BASE:
    case GUMBO_TAG_AREA: case GUMBO_TAG_MAP: case GUMBO_TAG_KEYGEN: case GUMBO_TAG_BGSOUND:
    case GUMBO_TAG_ISINDEX: case GUMBO_TAG_DATALIST:
      return false;
    case GUMBO_TAG_BR:
      LineBreak();
      return false;
    case GUMBO_TAG_HR:
      AddRule();
      return false;
    case GUMBO_TAG_IMG: case GUMBO_TAG_IMAGE:
      AddImage(e);
      return false;
    default:
      break;
  }
  if (e.tag == GUMBO_TAG_BLINK) state_.format.attrs |= kBlink;
  if (GumboAttribute* a = gumbo_get_attribute(&e.attributes, "align")) SetAlign(Trim(a->value));
  switch (e.tag) {
    case GUMBO_TAG_BODY:
      if (GumboAttribute* bg = gumbo_get_attribute(&e.attributes, "bgcolor")) {
        const uint32_t c = ParseColor(bg->value);
        if (c != kNoColor) doc_->background_ = c;
      }
      if (GumboAttribute* t = gumbo_get_attribute(&e.attributes, "text")) state_.format.color = ParseColor(t->value);
      *kind = kBlock;
      break;
    case GUMBO_TAG_B: case GUMBO_TAG_STRONG: state_.format.attrs |= kBold; break;
    case GUMBO_TAG_I: case GUMBO_TAG_EM: case GUMBO_TAG_CITE: case GUMBO_TAG_VAR: case GUMBO_TAG_DFN:
    case GUMBO_TAG_ADDRESS:
      state_.format.attrs |= kItalic;
      if (e.tag == GUMBO_TAG_ADDRESS) *kind = kBlock;
      break;
    case GUMBO_TAG_U: case GUMBO_TAG_INS: state_.format.attrs |= kUnderline; break;
    case GUMBO_TAG_S: case GUMBO_TAG_STRIKE: case GUMBO_TAG_DEL: state_.format.attrs |= kStrike; break;
    case GUMBO_TAG_BIG: state_.format.size = std::min(7, state_.format.size + 1); break;
    case GUMBO_TAG_SMALL: state_.format.size = std::max(1, state_.format.size - 1); break;
    case GUMBO_TAG_FONT:
      if (GumboAttribute* s = gumbo_get_attribute(&e.attributes, "size")) state_.format.size = ParseSize(s->value, state_.format.size);
      if (GumboAttribute* c = gumbo_get_attribute(&e.attributes, "color")) {
        const uint32_t color = ParseColor(c->value);
        if (color != kNoColor) state_.format.color = color;
      }
      break;
    case GUMBO_TAG_A:
      if (GumboAttribute* h = gumbo_get_attribute(&e.attributes, "href")) {
        const std::string href = Trim(h->value);
        // A script address is no link: its text stays plain.
        if (!href.empty() && !IStarts(href, "javascript:") && !IStarts(href, "vbscript:") && !IStarts(href, "data:"))
          state_.format.link = qv::Utf8ToWide(href).substr(0, 2048);
      }
      break;
    case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3: case GUMBO_TAG_H4: case GUMBO_TAG_H5: case GUMBO_TAG_H6:
      state_.format.attrs |= kBold;
      state_.format.size = 6 - (e.tag - GUMBO_TAG_H1);
      *kind = kBlock;
      break;
    case GUMBO_TAG_CENTER: state_.style.align = 2; *kind = kBlock; break;
    case GUMBO_TAG_MARQUEE: {
      GumboAttribute* b = gumbo_get_attribute(&e.attributes, "behavior");
      if (b && IEquals(Trim(b->value), "alternate")) state_.style.swing = true;
      else state_.style.scroll = true;
      *kind = kBlock;
      break;
    }
    case GUMBO_TAG_PRE: case GUMBO_TAG_LISTING: case GUMBO_TAG_XMP: case GUMBO_TAG_PLAINTEXT:
      state_.pre = true;
      *kind = kBlock;
      break;
    case GUMBO_TAG_UL: case GUMBO_TAG_OL: case GUMBO_TAG_DIR: case GUMBO_TAG_MENU:
      lists_.push_back({e.tag == GUMBO_TAG_OL, 0});
      *kind = kList;
      break;
    case GUMBO_TAG_LI: {
      EndParagraph(true);
      if (lists_.empty()) lists_.push_back({false, 0});
      List& l = lists_.back();
      prefix_.assign(lists_.size() - 1, 0x3000);
      prefix_ += l.ordered ? std::to_wstring(++l.counter) + L". " : std::wstring(L"・");
      *kind = kListItem;
      break;
    }
    case GUMBO_TAG_DD:
      EndParagraph(true);
      prefix_ = L"\u3000";
      *kind = kListItem;
      break;
    case GUMBO_TAG_TR:
      rowHasCell_.push_back(false);
      *kind = kRow;
      break;
    case GUMBO_TAG_TD: case GUMBO_TAG_TH:
      if (!rowHasCell_.empty() && rowHasCell_.back()) {
        spaceFormat_ = Format{};
        pendingSpace_ = true;
      }
      if (!rowHasCell_.empty()) rowHasCell_.back() = true;
      if (e.tag == GUMBO_TAG_TH) state_.format.attrs |= kBold;
      state_.gridCell = CellsInRow(node) > 1;
      *kind = kCell;
      break;
    case GUMBO_TAG_P: case GUMBO_TAG_DIV: case GUMBO_TAG_BLOCKQUOTE: case GUMBO_TAG_DL: case GUMBO_TAG_DT:
    case GUMBO_TAG_TABLE: case GUMBO_TAG_CAPTION: case GUMBO_TAG_SECTION: case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_ASIDE: case GUMBO_TAG_HEADER: case GUMBO_TAG_FOOTER: case GUMBO_TAG_NAV: case GUMBO_TAG_MAIN:
    case GUMBO_TAG_FIGURE: case GUMBO_TAG_FIGCAPTION: case GUMBO_TAG_FIELDSET: case GUMBO_TAG_LEGEND:
    case GUMBO_TAG_FORM: case GUMBO_TAG_DETAILS: case GUMBO_TAG_SUMMARY: case GUMBO_TAG_HGROUP:
    case GUMBO_TAG_HTML:
      *kind = kBlock;
      break;
    default:
      break;
  }
  if (GumboAttribute* style = gumbo_get_attribute(&e.attributes, "style")) ApplyStyleAttribute(style->value);
  if (gumbo_get_attribute(&e.attributes, "hidden")) state_.hidden = true;
  if (*kind != kInline && *kind != kCell) EndParagraph(true);
  return true;
}

void HtmlBuilder::Walk(GumboNode* root) {
  std::vector<Frame> stack;
  stack.push_back({root, 0, state_, kBlock});
  while (!stack.empty()) {
    Frame& top = stack.back();
    const GumboVector* children = top.node->type == GUMBO_NODE_DOCUMENT ? &top.node->v.document.children
                                                                         : &top.node->v.element.children;
    if (top.next >= children->length) {
      switch (top.kind) {
        case kBlock: EndParagraph(true); break;
        case kListItem: EndParagraph(true); prefix_.clear(); break;
        case kRow: EndParagraph(true); if (!rowHasCell_.empty()) rowHasCell_.pop_back(); break;
        case kList: EndParagraph(true); if (!lists_.empty()) lists_.pop_back(); break;
        default: break;
      }
      state_ = top.saved;
      stack.pop_back();
      continue;
    }
    GumboNode* child = static_cast<GumboNode*>(children->data[top.next++]);
    switch (child->type) {
      case GUMBO_NODE_TEXT: case GUMBO_NODE_WHITESPACE: case GUMBO_NODE_CDATA:
        AddText(child->v.text.text);
        break;
      case GUMBO_NODE_ELEMENT: case GUMBO_NODE_TEMPLATE: {
        const State saved = state_;
        int kind = kInline;
        if (Open(child, &kind)) {
          stack.push_back({child, 0, saved, kind});
        } else {
          state_ = saved;
        }
        break;
      }
      default:
        break;
    }
  }
}

void Document::LoadHtml(std::string_view utf8) {
  Clear();
  const std::string bounded = BoundDepth(utf8.substr(0, std::min<size_t>(utf8.size(), 16u * 1024 * 1024)));
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;  // errors are not collected: only the tree counts
  GumboOutput* out = gumbo_parse_with_options(&options, bounded.data(), bounded.size());
  if (!out) return;
  HtmlBuilder builder(this);
  builder.Walk(out->document);
  builder.Finish();
  gumbo_destroy_output(&options, out);
}

void Document::LoadHtml(const std::wstring& html) { LoadHtml(qv::WideToUtf8(html)); }

bool IsLocalImageSource(const std::wstring& source) { return HtmlBuilder::IsLocalSource(qv::WideToUtf8(source)); }

}  // namespace markwright
