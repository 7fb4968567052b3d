// expat driver of one SAX2 parse.
#include "platform/xml/SaxParseRun.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

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

// Writes expat's UTF-8 (always well formed) as wide text to `out`, which
// has room for `length` characters (never more characters than bytes), and
// returns the count. A lead byte without the bytes it announces, or a stray
// continuation byte, becomes U+FFFD.
size_t DecodeUtf8(wchar_t* out, const char* text, size_t length) {
  wchar_t* w = out;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* end = p + length;
  while (p < end) {
    const unsigned c = *p;
    const ptrdiff_t left = end - p;
    if (c < 0x80) {
      *w++ = static_cast<wchar_t>(c);
      p += 1;
      // The rest of an ASCII run eight bytes a step.
      while (end - p >= 8) {
        uint64_t eight;
        std::memcpy(&eight, p, sizeof eight);
        if ((eight & 0x8080808080808080u) != 0) break;
        for (int i = 0; i < 8; ++i) w[i] = static_cast<wchar_t>(p[i]);
        w += 8;
        p += 8;
      }
    } else if (c < 0xC0) {
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
      *w++ = static_cast<wchar_t>(((c & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu));
      p += 3;
      // The rest of a run of three-byte characters: kana and kanji.
      while (end - p >= 3 && (p[0] & 0xF0u) == 0xE0u) {
        *w++ = static_cast<wchar_t>(((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu));
        p += 3;
      }
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

// Appends expat's UTF-8 as wide text, without the allocations of a fresh
// string per event: the room is made once and the unused part cut off.
void AppendUtf8(std::wstring* out, const char* text, size_t length) {
  const size_t at = out->size();
  out->resize(at + length);
  out->resize(at + DecodeUtf8(out->data() + at, text, length));
}

void AssignUtf8(std::wstring* out, const char* text) {
  out->clear();
  if (text != nullptr) AppendUtf8(out, text, std::strlen(text));
}

}  // namespace

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

const SaxAttribute* SaxAttributeList::At(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= count) return nullptr;
  return &items[static_cast<size_t>(index)];
}

namespace {
HRESULT HandOut(const std::wstring& text, const wchar_t** out, int* length) {
  if (out == nullptr || length == nullptr) return E_POINTER;
  *out = text.c_str();
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
  Key k{{0, 0}, 0, 0};
  size_t n = 0;
  for (; n < 8 && name[n] != '\0'; ++n) k.word[0] |= static_cast<uint64_t>(static_cast<unsigned char>(name[n])) << (n * 8);
  if (n == 8) {
    for (; n < 16 && name[n] != '\0'; ++n)
      k.word[1] |= static_cast<uint64_t>(static_cast<unsigned char>(name[n])) << ((n - 8) * 8);
  }
  if (n == 16) n += std::strlen(name + 16);
  k.length = n;
  const uint64_t h = (k.word[0] * 0x9E3779B97F4A7C15u) ^ ((k.word[1] + n) * 0xC2B2AE3D27D4EB4Fu);
  k.hash = static_cast<uint32_t>(h >> 32) ^ static_cast<uint32_t>(h);
  return k;
}

const SaxParseRun::Name* SaxParseRun::NameCache::Find(const char* name, const Key& key) const {
  if (slots_.empty()) return nullptr;
  const size_t mask = slots_.size() - 1;
  for (size_t at = key.hash & mask; slots_[at].entry != nullptr; at = (at + 1) & mask) {
    const Entry& e = *slots_[at].entry;
    if (slots_[at].hash == key.hash && e.key.length == key.length && e.key.word[0] == key.word[0] &&
        e.key.word[1] == key.word[1] &&
        (key.length <= 16 || std::memcmp(e.name.data() + 16, name + 16, key.length - 16) == 0))
      return &e.resolved;
  }
  return nullptr;
}

const SaxParseRun::Name* SaxParseRun::NameCache::Add(const char* name, const Key& key, Name&& resolved) {
  if (2 * (entries_.size() + 1) > slots_.size()) Grow();
  entries_.push_back(std::make_unique<Entry>(Entry{key, std::string(name, key.length), std::move(resolved)}));
  Entry* entry = entries_.back().get();
  const size_t mask = slots_.size() - 1;
  size_t at = key.hash & mask;
  while (slots_[at].entry != nullptr) at = (at + 1) & mask;
  slots_[at] = {key.hash, entry};
  return &entry->resolved;
}

void SaxParseRun::NameCache::Grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{0, nullptr});
  const size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.entry == nullptr) continue;
    size_t at = slot.hash & mask;
    while (slots_[at].entry != nullptr) at = (at + 1) & mask;
    slots_[at] = slot;
  }
}

void SaxParseRun::NameCache::Clear() {
  if (entries_.empty()) return;
  entries_.clear();
  std::fill(slots_.begin(), slots_.end(), Slot{0, nullptr});
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
    AssignUtf8(&a.value, atts[i + 1]);
    a.raw = atts[i];
    a.name = nullptr;
    a.declaration = IsXmlnsName(atts[i]);
    if (a.declaration) {
      AssignUtf8(&a.own.qName, atts[i]);
      std::wstring prefix = a.own.qName.size() > 5 ? a.own.qName.substr(6) : std::wstring();
      if (!prefix.empty() && a.value.empty()) {
        Stop(QV_XML_E_PREFIX, L"a namespace prefix is bound to an empty name");
        return;
      }
      bindings_.push_back({prefix, a.value});
      BindingsChanged();
      if (settings_.content != nullptr &&
          !Check(settings_.content->startPrefixMapping(prefix.c_str(), static_cast<int>(prefix.size()),
                                                        a.value.c_str(), static_cast<int>(a.value.size()))))
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
  // Never more characters than bytes; the storage is only ever grown.
  const auto bytes = static_cast<size_t>(length);
  if (run->charactersRoom_ < bytes) {
    run->characters_ = std::make_unique_for_overwrite<wchar_t[]>(bytes);
    run->charactersRoom_ = bytes;
  }
  const size_t n = DecodeUtf8(run->characters_.get(), text, bytes);
  run->Check(run->settings_.content->characters(run->characters_.get(), static_cast<int>(n)));
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
