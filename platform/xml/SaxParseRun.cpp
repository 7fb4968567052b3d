// expat driver of one SAX2 parse.
#include "platform/xml/SaxParseRun.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/base/WideText.h"
#include "platform/xml/SaxEncoding.h"

namespace qv::xml {
namespace {

constexpr wchar_t kXmlNamespace[] = L"http://www.w3.org/XML/1998/namespace";
// Entity expansion may not make the document more than this many times
// larger once it passes the threshold (expat's own guard); nested entity
// definitions are refused outright.
constexpr float kMaxAmplification = 8.0f;
constexpr unsigned long long kAmplificationThreshold = 1u << 20;

std::wstring Wide(const XML_Char* text) { return qv::Utf8ToWide(text == nullptr ? "" : text); }

// True when a replacement text holds a reference to an entity other than the
// five predefined ones (character references are already expanded in it).
bool RefersToEntity(std::string_view text) {
  static constexpr std::string_view kPredefined[] = {"lt;", "gt;", "amp;", "apos;", "quot;"};
  for (size_t at = text.find('&'); at != std::string_view::npos; at = text.find('&', at + 1)) {
    std::string_view rest = text.substr(at + 1);
    if (!rest.empty() && rest[0] == '#') continue;
    bool predefined = false;
    for (std::string_view p : kPredefined) predefined = predefined || rest.substr(0, p.size()) == p;
    if (!predefined) return true;
  }
  return false;
}

// "xmlns" or "xmlns:" and a prefix, on expat's UTF-8 name.
bool IsXmlnsName(const char* name) {
  return name[0] == 'x' && name[1] == 'm' && name[2] == 'l' && name[3] == 'n' && name[4] == 's' &&
         (name[5] == '\0' || name[5] == ':');
}

// Sixteen ASCII bytes as sixteen characters.
void WidenAscii16(wchar_t* out, const unsigned char* in) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
  const __m128i low = _mm_unpacklo_epi8(bytes, zero);
  const __m128i high = _mm_unpackhi_epi8(bytes, zero);
  auto* units = reinterpret_cast<__m128i*>(out);
  _mm_storeu_si128(units, _mm_unpacklo_epi16(low, zero));
  _mm_storeu_si128(units + 1, _mm_unpackhi_epi16(low, zero));
  _mm_storeu_si128(units + 2, _mm_unpacklo_epi16(high, zero));
  _mm_storeu_si128(units + 3, _mm_unpackhi_epi16(high, zero));
#else
  for (int i = 0; i < 16; ++i) out[i] = static_cast<wchar_t>(in[i]);
#endif
}

// Eight ASCII bytes as eight characters.
void WidenAscii8(wchar_t* out, const unsigned char* in) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in));
  const __m128i low = _mm_unpacklo_epi8(bytes, zero);
  auto* units = reinterpret_cast<__m128i*>(out);
  _mm_storeu_si128(units, _mm_unpacklo_epi16(low, zero));
  _mm_storeu_si128(units + 1, _mm_unpackhi_epi16(low, zero));
#else
  for (int i = 0; i < 8; ++i) out[i] = static_cast<wchar_t>(in[i]);
#endif
}

constexpr uint64_t kHighBits = 0x8080808080808080u;

uint64_t Load64(const unsigned char* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Writes expat's UTF-8 (always well formed) as wide text to `out`, which
// has room for `length` characters (never more characters than bytes), and
// returns the count. A lead byte without the bytes it announces, or a stray
// continuation byte, becomes U+FFFD.
size_t DecodeUtf8(wchar_t* out, const char* text, size_t length) {
  wchar_t* w = out;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* end = p + length;
  while (p < end) {
    // A run of ASCII sixteen bytes a step, then eight, then one by one.
    while (end - p >= 16 && ((Load64(p) | Load64(p + 8)) & kHighBits) == 0) {
      WidenAscii16(w, p);
      w += 16;
      p += 16;
    }
    if (end - p >= 8 && (Load64(p) & kHighBits) == 0) {
      WidenAscii8(w, p);
      w += 8;
      p += 8;
    }
    while (p < end && *p < 0x80) *w++ = static_cast<wchar_t>(*p++);
    if (p == end) break;
    const unsigned c = *p;
    const ptrdiff_t left = end - p;
    if (c < 0xC0) {
      *w++ = L'\xFFFD';
      p += 1;
    } else if (c < 0xE0) {
      if (left < 2) {
        *w++ = L'\xFFFD';
        p += 1;
        continue;
      }
      *w++ = static_cast<wchar_t>(((c & 0x1Fu) << 6) | (p[1] & 0x3Fu));
      p += 2;
    } else if (c < 0xF0) {
      if (left < 3) {
        *w++ = L'\xFFFD';
        p += 1;
        continue;
      }
      // A run of three-byte characters: kana and kanji.
      const unsigned char* const lastLead = end - 3;
      do {
        *w++ = static_cast<wchar_t>(((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu));
        p += 3;
      } while (p <= lastLead && (p[0] & 0xF0u) == 0xE0u);
    } else {
      if (left < 4) {
        *w++ = L'\xFFFD';
        p += 1;
        continue;
      }
      *w++ = static_cast<wchar_t>(((c & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) |
                                  (p[3] & 0x3Fu));
      p += 4;
    }
  }
  return static_cast<size_t>(w - out);
}

void AssignUtf8(std::wstring* out, const char* text) {
  const size_t length = text != nullptr ? std::strlen(text) : 0;
  out->resize(length);
  out->resize(DecodeUtf8(out->data(), text, length));
}

}  // namespace

inline void SaxWideText::Assign(const char* utf8, size_t bytes) {
  // Never more characters than bytes.
  if (room_ < bytes + 1) {
    text_ = std::make_unique_for_overwrite<wchar_t[]>(bytes + 1);
    room_ = bytes + 1;
  }
  size_ = DecodeUtf8(text_.get(), utf8, bytes);
  text_[size_] = L'\0';
}

// --- locator -----------------------------------------------------------------

HRESULT SaxLocator::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_ISAXLocator)) {
    *object = static_cast<ISAXLocator*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT SaxLocator::getColumnNumber(int* column) {
  if (column == nullptr) return E_POINTER;
  *column = parser_ != nullptr ? static_cast<int>(XML_GetCurrentColumnNumber(parser_)) + 1 : column_;
  return S_OK;
}

HRESULT SaxLocator::getLineNumber(int* line) {
  if (line == nullptr) return E_POINTER;
  *line = parser_ != nullptr ? static_cast<int>(XML_GetCurrentLineNumber(parser_)) : line_;
  return S_OK;
}

HRESULT SaxLocator::getPublicId(const wchar_t** publicId) {
  if (publicId == nullptr) return E_POINTER;
  *publicId = nullptr;
  return S_OK;
}

HRESULT SaxLocator::getSystemId(const wchar_t** systemId) {
  if (systemId == nullptr) return E_POINTER;
  *systemId = nullptr;
  return S_OK;
}

namespace {
// Whether expat copies what it is given into a buffer of its own, which a
// parser kept after its parse still holds.
bool ParserHoldsItsInput() {
  static const bool holds = [] {
    for (const XML_Feature* f = XML_GetFeatureList(); f != nullptr && f->feature != XML_FEATURE_END; ++f) {
      if (f->feature == XML_FEATURE_CONTEXT_BYTES) return f->value > 0;
    }
    return false;
  }();
  return holds;
}
}  // namespace

SaxLocator::~SaxLocator() { FreeKept(); }

void SaxLocator::FreeKept() {
  if (owned_ && parser_ != nullptr) XML_ParserFree(parser_);
  parser_ = nullptr;
  owned_ = false;
}

void SaxLocator::Attach(XML_Parser parser) {
  FreeKept();
  parser_ = parser;
}

void SaxLocator::Keep(XML_Parser parser) {
  if (parser == nullptr) return;  // no parse ran: the last position stays
  if (parser != parser_) Attach(parser);
  if (ParserHoldsItsInput()) {
    owned_ = true;
    return;
  }
  getLineNumber(&line_);
  getColumnNumber(&column_);
  XML_ParserFree(parser_);
  parser_ = nullptr;
}

// --- attributes --------------------------------------------------------------

HRESULT SaxAttributeList::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_ISAXAttributes)) {
    *object = static_cast<ISAXAttributes*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

inline const SaxAttribute* SaxAttributeList::At(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= count) return nullptr;
  return &items[static_cast<size_t>(index)];
}

namespace {
template <class Text>
HRESULT HandOut(const Text& text, const wchar_t** out, int* length) {
  if (out == nullptr || length == nullptr) return E_POINTER;
  *out = text.data();
  *length = static_cast<int>(text.size());
  return S_OK;
}
bool Same(const std::wstring& a, const wchar_t* b, int length) {
  if (b == nullptr) return a.empty();
  size_t n = length < 0 ? std::wcslen(b) : static_cast<size_t>(length);
  return a.size() == n && a.compare(0, n, b, n) == 0;
}
}  // namespace

HRESULT SaxAttributeList::getLength(int* length) {
  if (length == nullptr) return E_POINTER;
  *length = static_cast<int>(count);
  return S_OK;
}

HRESULT SaxAttributeList::getURI(int index, const wchar_t** uri, int* uriLength) {
  const SaxAttribute* a = At(index);
  return a == nullptr ? E_INVALIDARG : HandOut(a->Names().uri, uri, uriLength);
}

HRESULT SaxAttributeList::getLocalName(int index, const wchar_t** localName, int* localLength) {
  const SaxAttribute* a = At(index);
  return a == nullptr ? E_INVALIDARG : HandOut(a->Names().localName, localName, localLength);
}

HRESULT SaxAttributeList::getQName(int index, const wchar_t** qName, int* qLength) {
  const SaxAttribute* a = At(index);
  return a == nullptr ? E_INVALIDARG : HandOut(a->Names().qName, qName, qLength);
}

HRESULT SaxAttributeList::getName(int index, const wchar_t** uri, int* uriLength, const wchar_t** localName,
                                  int* localLength, const wchar_t** qName, int* qLength) {
  const SaxAttribute* a = At(index);
  if (a == nullptr) return E_INVALIDARG;
  const SaxName& n = a->Names();
  HRESULT hr = HandOut(n.uri, uri, uriLength);
  if (SUCCEEDED(hr)) hr = HandOut(n.localName, localName, localLength);
  if (SUCCEEDED(hr)) hr = HandOut(n.qName, qName, qLength);
  return hr;
}

HRESULT SaxAttributeList::getIndexFromName(const wchar_t* uri, int uriLength, const wchar_t* localName,
                                           int localLength, int* index) {
  if (index == nullptr || localName == nullptr) return E_POINTER;
  for (size_t i = 0; i < count; ++i) {
    const SaxName& n = items[i].Names();
    if (Same(n.uri, uri, uriLength) && Same(n.localName, localName, localLength)) {
      *index = static_cast<int>(i);
      return S_OK;
    }
  }
  *index = -1;
  return E_INVALIDARG;
}

HRESULT SaxAttributeList::getIndexFromQName(const wchar_t* qName, int qLength, int* index) {
  if (index == nullptr || qName == nullptr) return E_POINTER;
  for (size_t i = 0; i < count; ++i) {
    if (Same(items[i].Names().qName, qName, qLength)) {
      *index = static_cast<int>(i);
      return S_OK;
    }
  }
  *index = -1;
  return E_INVALIDARG;
}

HRESULT SaxAttributeList::getType(int index, const wchar_t** type, int* typeLength) {
  static const std::wstring kCdata = L"CDATA";
  if (At(index) == nullptr) return E_INVALIDARG;
  return HandOut(kCdata, type, typeLength);
}

HRESULT SaxAttributeList::getValue(int index, const wchar_t** value, int* valueLength) {
  const SaxAttribute* a = At(index);
  return a == nullptr ? E_INVALIDARG : HandOut(a->value, value, valueLength);
}

HRESULT SaxAttributeList::getValueFromName(const wchar_t* uri, int uriLength, const wchar_t* localName,
                                           int localLength, const wchar_t** value, int* valueLength) {
  int index = -1;
  HRESULT hr = getIndexFromName(uri, uriLength, localName, localLength, &index);
  return FAILED(hr) ? hr : getValue(index, value, valueLength);
}

HRESULT SaxAttributeList::getValueFromQName(const wchar_t* qName, int qLength, const wchar_t** value,
                                            int* valueLength) {
  int index = -1;
  HRESULT hr = getIndexFromQName(qName, qLength, &index);
  return FAILED(hr) ? hr : getValue(index, value, valueLength);
}

// --- the run -----------------------------------------------------------------

SaxParseRun::SaxParseRun(const SaxSettings& settings, SaxLocator& locator)
    : settings_(settings), locator_(locator) {}

SaxParseRun::~SaxParseRun() { locator_.Keep(parser_); }

HRESULT SaxParseRun::Begin() {
  parser_ = XML_ParserCreate(nullptr);
  if (parser_ == nullptr) return E_OUTOFMEMORY;
  XML_SetUserData(parser_, this);
  XML_SetElementHandler(parser_, OnStartElement, OnEndElement);
  XML_SetCharacterDataHandler(parser_, OnCharacters);
  XML_SetProcessingInstructionHandler(parser_, OnProcessingInstruction);
  XML_SetSkippedEntityHandler(parser_, OnSkippedEntity);
  XML_SetStartDoctypeDeclHandler(parser_, OnStartDoctype);
  XML_SetEntityDeclHandler(parser_, OnEntityDecl);
  XML_SetUnknownEncodingHandler(parser_, UnknownEncodingHandler, nullptr);
  XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
  XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser_, kMaxAmplification);
  XML_SetBillionLaughsAttackProtectionActivationThreshold(parser_, kAmplificationThreshold);
  locator_.Attach(parser_);
  if (settings_.content != nullptr) {
    if (!Check(settings_.content->putDocumentLocator(&locator_)) || !Check(settings_.content->startDocument()))
      return stopCode_;
  }
  return S_OK;
}

HRESULT SaxParseRun::Feed(const char* data, size_t size, bool final) {
  if (stopped_) return stopCode_;
  fed_ += size;
  if (settings_.maxBytes != 0 && fed_ > settings_.maxBytes)
    return Report(QV_XML_E_TOO_LARGE, L"the document is larger than the reader allows");
  // expat takes an int length: hand over large inputs in slices.
  constexpr size_t kSlice = 1u << 30;
  do {
    size_t n = size < kSlice ? size : kSlice;
    bool last = final && n == size;
    if (XML_Parse(parser_, data, static_cast<int>(n), last ? XML_TRUE : XML_FALSE) != XML_STATUS_OK) {
      if (stopped_) return stopCode_ == QV_XML_E_ABORTED ? stopCode_ : Report(stopCode_, stopMessage_);
      XML_Error e = XML_GetErrorCode(parser_);
      return Report(QV_XML_E_SYNTAX_BASE + (static_cast<int>(e) & 0x7F), Wide(XML_ErrorString(e)));
    }
    data += n;
    size -= n;
  } while (size > 0);
  return S_OK;
}

HRESULT SaxParseRun::Finish() {
  if (stopped_) return stopCode_;
  if (settings_.content != nullptr && !Check(settings_.content->endDocument())) return stopCode_;
  return S_OK;
}

HRESULT SaxParseRun::Fail(HRESULT code, const std::wstring& message) { return Report(code, message); }

HRESULT SaxParseRun::Report(HRESULT code, const std::wstring& message) {
  stopped_ = true;
  stopCode_ = code;
  if (settings_.errors != nullptr) {
    HRESULT hr = settings_.errors->fatalError(&locator_, message.c_str(), code);
    if (hr != S_OK) stopCode_ = hr;
  }
  return stopCode_;
}

void SaxParseRun::Stop(HRESULT code, const wchar_t* message) {
  if (stopped_) return;
  stopped_ = true;
  stopCode_ = code;
  stopMessage_ = message;
  XML_StopParser(parser_, XML_FALSE);
}

bool SaxParseRun::Check(HRESULT handlerResult) {
  if (handlerResult == S_OK) return true;
  Stop(QV_XML_E_ABORTED, L"the parse was abandoned by its handler");
  return false;
}

void SaxParseRun::BindingsChanged() {
  ++generation_;
  elementNames_.Clear();
  attributeNames_.Clear();
}

SaxParseRun::NameCache::Key SaxParseRun::NameCache::KeyOf(const char* name) {
  const auto* p = reinterpret_cast<const unsigned char*>(name);
  const size_t n = std::strlen(name);
  Key k{{0, 0}, n, 0};
  // Two loads that may overlap cover a name of up to sixteen bytes; a longer
  // one keeps its first sixteen and is compared in full on a match.
  if (n >= 8) {
    k.word[0] = Load64(p);
    k.word[1] = Load64(p + (n < 16 ? n - 8 : 8));
  } else if (n >= 4) {
    uint32_t head, tail;
    std::memcpy(&head, p, sizeof head);
    std::memcpy(&tail, p + n - 4, sizeof tail);
    k.word[0] = head | static_cast<uint64_t>(tail) << 32;
  } else if (n > 0) {
    k.word[0] = p[0] | static_cast<uint64_t>(p[n / 2]) << 8 | static_cast<uint64_t>(p[n - 1]) << 16;
  }
  const uint64_t h = (k.word[0] * 0x9E3779B97F4A7C15u) ^ ((k.word[1] + n) * 0xC2B2AE3D27D4EB4Fu);
  k.hash = static_cast<uint32_t>(h >> 32) ^ static_cast<uint32_t>(h);
  return k;
}

const SaxParseRun::Name* SaxParseRun::NameCache::Find(const char* name, const Key& key) const {
  if (slots_.empty()) return nullptr;
  const size_t mask = slots_.size() - 1;
  for (size_t at = key.hash & mask; slots_[at].entry != nullptr; at = (at + 1) & mask) {
    const Slot& slot = slots_[at];
    if (slot.key.hash == key.hash && slot.key.length == key.length && slot.key.word[0] == key.word[0] &&
        slot.key.word[1] == key.word[1] &&
        (key.length <= 16 || std::memcmp(slot.entry->name.data() + 16, name + 16, key.length - 16) == 0))
      return &slot.entry->resolved;
  }
  return nullptr;
}

const SaxParseRun::Name* SaxParseRun::NameCache::Add(const char* name, const Key& key, Name&& resolved) {
  if (2 * (entries_.size() + 1) > slots_.size()) Grow();
  entries_.push_back(std::make_unique<Entry>(Entry{std::string(name, key.length), std::move(resolved)}));
  Entry* entry = entries_.back().get();
  const size_t mask = slots_.size() - 1;
  size_t at = key.hash & mask;
  while (slots_[at].entry != nullptr) at = (at + 1) & mask;
  slots_[at] = {key, entry};
  return &entry->resolved;
}

void SaxParseRun::NameCache::Grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
  const size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.entry == nullptr) continue;
    size_t at = slot.key.hash & mask;
    while (slots_[at].entry != nullptr) at = (at + 1) & mask;
    slots_[at] = slot;
  }
}

void SaxParseRun::NameCache::Clear() {
  if (entries_.empty()) return;
  entries_.clear();
  std::fill(slots_.begin(), slots_.end(), Slot{});
}

const SaxParseRun::Name* SaxParseRun::Cached(const char* name, bool isElement) {
  NameCache& cache = isElement ? elementNames_ : attributeNames_;
  if (name == nullptr) name = "";
  const NameCache::Key key = NameCache::KeyOf(name);
  if (const Name* found = cache.Find(name, key)) return found;
  Name resolved;
  if (!Resolve(Wide(name), isElement, &resolved)) return nullptr;
  return cache.Add(name, key, std::move(resolved));
}

bool SaxParseRun::Resolve(const std::wstring& qName, bool isElement, Name* out) {
  out->qName = qName;
  size_t colon = qName.find(L':');
  std::wstring prefix = colon == std::wstring::npos ? std::wstring() : qName.substr(0, colon);
  out->localName = colon == std::wstring::npos ? qName : qName.substr(colon + 1);
  out->uri.clear();
  if (prefix.empty() && !isElement) return true;  // unprefixed attributes have no namespace
  if (prefix == L"xml") {
    out->uri = kXmlNamespace;
    return true;
  }
  for (size_t i = bindings_.size(); i-- > 0;) {
    if (bindings_[i].prefix == prefix) {
      out->uri = bindings_[i].uri;
      return true;
    }
  }
  return prefix.empty();  // no default namespace: none
}

void XMLCALL SaxParseRun::OnStartElement(void* self, const XML_Char* name, const XML_Char** atts) {
  static_cast<SaxParseRun*>(self)->StartElement(name, atts);
}

void XMLCALL SaxParseRun::OnEndElement(void* self, const XML_Char* name) {
  static_cast<SaxParseRun*>(self)->EndElement(name);
}

void SaxParseRun::StartElement(const XML_Char* name, const XML_Char** atts) {
  if (stopped_) return;
  if (scopes_.size() >= static_cast<size_t>(settings_.maxDepth)) {
    Stop(QV_XML_E_TOO_DEEP, L"elements are nested deeper than the reader allows");
    return;
  }
  // Declarations first: they apply to the element's own name and attributes.
  scopes_.push_back({bindings_.size(), nullptr, 0});
  attributes_.count = 0;
  for (size_t i = 0; atts[i] != nullptr; i += 2) {
    if (attributes_.count == attributes_.items.size()) attributes_.items.emplace_back();
    SaxAttribute& a = attributes_.items[attributes_.count];
    a.value.Assign(atts[i + 1], std::strlen(atts[i + 1]));
    a.raw = atts[i];
    a.name = nullptr;
    a.declaration = IsXmlnsName(atts[i]);
    if (a.declaration) {
      AssignUtf8(&a.own.qName, atts[i]);
      std::wstring prefix = a.own.qName.size() > 5 ? a.own.qName.substr(6) : std::wstring();
      if (!prefix.empty() && a.value.size() == 0) {
        Stop(QV_XML_E_PREFIX, L"a namespace prefix is bound to an empty name");
        return;
      }
      bindings_.push_back({prefix, std::wstring(a.value.data(), a.value.size())});
      BindingsChanged();
      if (settings_.content != nullptr &&
          !Check(settings_.content->startPrefixMapping(prefix.c_str(), static_cast<int>(prefix.size()),
                                                        a.value.data(), static_cast<int>(a.value.size()))))
        return;
      if (!settings_.namespacePrefixes) continue;
      a.own.localName = prefix.empty() ? a.own.qName : prefix;
      a.own.uri.clear();
    }
    ++attributes_.count;
  }
  for (size_t i = 0; i < attributes_.count; ++i) {
    SaxAttribute& a = attributes_.items[i];
    if (a.declaration) continue;
    const Name* n = Cached(a.raw, false);
    if (n == nullptr) {
      Stop(QV_XML_E_PREFIX, L"an attribute name uses an undeclared namespace prefix");
      return;
    }
    a.name = n;
  }
  const Name* element = Cached(name, true);
  if (element == nullptr) {
    Stop(QV_XML_E_PREFIX, L"an element name uses an undeclared namespace prefix");
    return;
  }
  scopes_.back().element = element;
  scopes_.back().generation = generation_;
  if (settings_.content == nullptr) return;
  Check(settings_.content->startElement(element->uri.c_str(), static_cast<int>(element->uri.size()),
                                        element->localName.c_str(), static_cast<int>(element->localName.size()),
                                        element->qName.c_str(), static_cast<int>(element->qName.size()),
                                        &attributes_));
}

void SaxParseRun::EndElement(const XML_Char* name) {
  if (stopped_ || scopes_.empty()) return;
  // Resolved at its start already, under the bindings in force again now.
  const Scope& scope = scopes_.back();
  const Name* element =
      scope.element != nullptr && scope.generation == generation_ ? scope.element : Cached(name, true);
  if (element != nullptr && settings_.content != nullptr &&
      !Check(settings_.content->endElement(element->uri.c_str(), static_cast<int>(element->uri.size()),
                                           element->localName.c_str(), static_cast<int>(element->localName.size()),
                                           element->qName.c_str(), static_cast<int>(element->qName.size()))))
    return;
  size_t first = scopes_.back().firstBinding;
  scopes_.pop_back();
  if (bindings_.size() > first) BindingsChanged();
  while (bindings_.size() > first) {
    const std::wstring& prefix = bindings_.back().prefix;
    if (settings_.content != nullptr &&
        !Check(settings_.content->endPrefixMapping(prefix.c_str(), static_cast<int>(prefix.size()))))
      return;
    bindings_.pop_back();
  }
}

void XMLCALL SaxParseRun::OnCharacters(void* self, const XML_Char* text, int length) {
  auto* run = static_cast<SaxParseRun*>(self);
  if (run->stopped_ || run->settings_.content == nullptr || length < 0) return;
  run->characters_.Assign(text, static_cast<size_t>(length));
  run->Check(run->settings_.content->characters(run->characters_.data(),
                                                static_cast<int>(run->characters_.size())));
}

void XMLCALL SaxParseRun::OnProcessingInstruction(void* self, const XML_Char* target, const XML_Char* data) {
  auto* run = static_cast<SaxParseRun*>(self);
  if (run->stopped_ || run->settings_.content == nullptr) return;
  std::wstring t = Wide(target), d = Wide(data);
  run->Check(run->settings_.content->processingInstruction(t.c_str(), static_cast<int>(t.size()), d.c_str(),
                                                           static_cast<int>(d.size())));
}

void XMLCALL SaxParseRun::OnSkippedEntity(void* self, const XML_Char* name, int parameterEntity) {
  auto* run = static_cast<SaxParseRun*>(self);
  if (run->stopped_ || run->settings_.content == nullptr || parameterEntity) return;
  std::wstring n = Wide(name);
  run->Check(run->settings_.content->skippedEntity(n.c_str(), static_cast<int>(n.size())));
}

void XMLCALL SaxParseRun::OnStartDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  auto* run = static_cast<SaxParseRun*>(self);
  if (run->settings_.prohibitDtd) run->Stop(QV_XML_E_DTD_PROHIBITED, L"the document has a DTD");
}

void XMLCALL SaxParseRun::OnEntityDecl(void* self, const XML_Char*, int, const XML_Char* value, int valueLength,
                                       const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*) {
  auto* run = static_cast<SaxParseRun*>(self);
  // An entity whose text refers to another entity is how expansion bombs
  // are built; feeds have no use for it.
  if (value != nullptr && RefersToEntity(std::string_view(value, static_cast<size_t>(valueLength))))
    run->Stop(QV_XML_E_ENTITY, L"an entity refers to another entity");
}

}  // namespace qv::xml
