// The feed parser's only contact with COM: the SAX2 reader, two handler
// objects that forward its events to plain callback tables, and the
// accessors of attributes and positions.
#include "engine/feeds/src/mfd_xmlhandler.h"

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>

#include "engine/feeds/src/mfd_common.h"

#define MFD_SOURCE ".\\src\\mfd_xmlhandler"

namespace {

HRESULT Result(int callbackResult) { return callbackResult == 0 ? S_OK : E_FAIL; }

// The handlers live as long as the reader record: reference counts are not
// kept, and interfaces are answered with the object itself.
template <class Interface>
class Handler : public Interface {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, Iid())) {
      *object = static_cast<Interface*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 0; }
  ULONG Release() override { return 0; }

  MFD_XmlLocatorCell* locatorCell = nullptr;
  void* user = nullptr;

 private:
  static const IID& Iid();
};

template <>
const IID& Handler<ISAXContentHandler>::Iid() {
  return IID_ISAXContentHandler;
}
template <>
const IID& Handler<ISAXErrorHandler>::Iid() {
  return IID_ISAXErrorHandler;
}

// Character data reaches the table whole: the reader may split a text at line
// ends and references ("first line", "\n", "second line"; "<", "a", ">"),
// and the handlers take each call as a text of its own. The text gathered is
// handed over before any other event.
class ContentHandler final : public Handler<ISAXContentHandler> {
 public:
  HRESULT putDocumentLocator(ISAXLocator* locator) override {
    text_.clear();
    if (locatorCell == nullptr) return E_FAIL;
    locatorCell->locator = locator;
    if (table == nullptr || table->setDocumentLocator == nullptr) return S_OK;
    return Result(table->setDocumentLocator(locatorCell, user));
  }
  HRESULT startDocument() override {
    if (table == nullptr || table->startDocument == nullptr) return S_OK;
    return Result(table->startDocument(user));
  }
  HRESULT endDocument() override {
    if (const HRESULT hr = Flush(); hr != S_OK) return hr;
    if (table == nullptr || table->endDocument == nullptr) return S_OK;
    return Result(table->endDocument(user));
  }
  HRESULT startPrefixMapping(const wchar_t*, int, const wchar_t*, int) override { return S_OK; }
  HRESULT endPrefixMapping(const wchar_t*, int) override { return S_OK; }
  HRESULT startElement(const wchar_t* uri, int uriLength, const wchar_t* localName, int localLength,
                       const wchar_t* qName, int qLength, ISAXAttributes* attributes) override {
    if (attributesCell == nullptr) return E_FAIL;
    if (const HRESULT hr = Flush(); hr != S_OK) return hr;
    attributesCell->attributes = attributes;
    HRESULT hr = S_OK;
    if (table != nullptr && table->startElement != nullptr) {
      const Names n(uri, uriLength, localName, localLength, qName, qLength);
      hr = !n.ok ? E_FAIL
                 : Result(table->startElement(n.text[0], uriLength, n.text[1], localLength, n.text[2], qLength,
                                              attributesCell, user));
    }
    // The reader's list is good only during this call.
    attributesCell->attributes = nullptr;
    return hr;
  }
  HRESULT endElement(const wchar_t* uri, int uriLength, const wchar_t* localName, int localLength,
                     const wchar_t* qName, int qLength) override {
    if (const HRESULT hr = Flush(); hr != S_OK) return hr;
    if (table == nullptr || table->endElement == nullptr) return S_OK;
    const Names n(uri, uriLength, localName, localLength, qName, qLength);
    if (!n.ok) return E_FAIL;
    return Result(table->endElement(n.text[0], uriLength, n.text[1], localLength, n.text[2], qLength, user));
  }
  HRESULT characters(const wchar_t* chars, int length) override {
    if (table == nullptr || table->characters == nullptr) return S_OK;
    if (length < 0 || (chars == nullptr && length > 0)) return E_FAIL;
    text_.append(chars, static_cast<size_t>(length));
    return S_OK;
  }
  HRESULT ignorableWhitespace(const wchar_t* chars, int length) override {
    if (const HRESULT hr = Flush(); hr != S_OK) return hr;
    if (table == nullptr || table->ignorableWhitespace == nullptr) return S_OK;
    return Result(table->ignorableWhitespace(chars, 0, length, user));
  }
  HRESULT processingInstruction(const wchar_t*, int, const wchar_t*, int) override { return Flush(); }
  HRESULT skippedEntity(const wchar_t*, int) override { return Flush(); }

  const MFD_XmlContentTable* table = nullptr;
  MFD_XmlAttributesCell* attributesCell = nullptr;

 private:
  HRESULT Flush() {
    if (text_.empty()) return S_OK;
    HRESULT hr = S_OK;
    if (table != nullptr && table->characters != nullptr)
      hr = Result(table->characters(text_.c_str(), 0, static_cast<int>(text_.size()), user));
    text_.clear();
    return hr;
  }
  // An element's three names as the table takes them: the reader's own,
  // which it terminates (Sax.h); an empty name may come as null.
  struct Names {
    Names(const wchar_t* u, int un, const wchar_t* l, int ln, const wchar_t* q, int qn)
        : text{Of(u), Of(l), Of(q)}, ok(Valid(u, un) && Valid(l, ln) && Valid(q, qn)) {}
    static const wchar_t* Of(const wchar_t* t) { return t == nullptr ? L"" : t; }
    static bool Valid(const wchar_t* t, int n) { return n >= 0 && (t != nullptr || n == 0); }
    const wchar_t* text[3];
    bool ok;
  };

  std::wstring text_;
};

class ErrorHandler final : public Handler<ISAXErrorHandler> {
 public:
  HRESULT error(ISAXLocator* locator, const wchar_t* message, HRESULT) override {
    return Forward(locator, message, table != nullptr ? table->error : nullptr);
  }
  HRESULT fatalError(ISAXLocator* locator, const wchar_t* message, HRESULT) override {
    return Forward(locator, message, table != nullptr ? table->fatalError : nullptr);
  }
  HRESULT ignorableWarning(ISAXLocator* locator, const wchar_t* message, HRESULT) override {
    return Forward(locator, message, table != nullptr ? table->warning : nullptr);
  }

  const MFD_XmlErrorTable* table = nullptr;

 private:
  HRESULT Forward(ISAXLocator* locator, const wchar_t* message, MFD_XmlErrorFn slot) {
    if (locatorCell == nullptr) return E_FAIL;
    locatorCell->locator = locator;
    // A missing slot ignores the report; the reader still ends a fatal error.
    return slot == nullptr ? S_OK : Result(slot(message, locatorCell, user));
  }
};

template <class T>
T* MakeObject() {
  void* memory = MFD_MALLOC(sizeof(T));
  return memory == nullptr ? nullptr : new (memory) T();
}

template <class T>
void DeleteObject(T* object) {
  if (object == nullptr) return;
  object->~T();
  MFD_FREE(object);
}

}  // namespace

struct MFD_XmlReaderRecord {
  ISAXXMLReader* reader;
  ContentHandler* content;
  ErrorHandler* errors;
  void* user;
};

namespace {

void DeleteHandlers(MFD_XmlReaderRecord* rec) {
  if (rec->content != nullptr) {
    MFD_FREE(rec->content->locatorCell);
    MFD_FREE(rec->content->attributesCell);
    DeleteObject(rec->content);
  }
  if (rec->errors != nullptr) {
    MFD_FREE(rec->errors->locatorCell);
    DeleteObject(rec->errors);
  }
  rec->content = nullptr;
  rec->errors = nullptr;
}

bool MakeHandlers(MFD_XmlReaderRecord* rec) {
  rec->content = MakeObject<ContentHandler>();
  rec->errors = MakeObject<ErrorHandler>();
  if (rec->content == nullptr || rec->errors == nullptr) return false;
  rec->content->locatorCell = static_cast<MFD_XmlLocatorCell*>(MFD_MALLOC(sizeof(MFD_XmlLocatorCell)));
  rec->content->attributesCell = static_cast<MFD_XmlAttributesCell*>(MFD_MALLOC(sizeof(MFD_XmlAttributesCell)));
  rec->errors->locatorCell = static_cast<MFD_XmlLocatorCell*>(MFD_MALLOC(sizeof(MFD_XmlLocatorCell)));
  return rec->content->locatorCell != nullptr && rec->content->attributesCell != nullptr &&
         rec->errors->locatorCell != nullptr;
}

MFD_XmlReaderRecord* RecordOf(MFD_XmlReader* reader) {
  return reader == nullptr || reader->record == nullptr || reader->record->reader == nullptr ? nullptr
                                                                                               : reader->record;
}

uint16_t UnitAt(const uint8_t* p) {
  uint16_t u;
  std::memcpy(&u, p, sizeof u);
  return u;
}

// Bytes of 16-bit units before the first zero unit, within `size`.
size_t WideBytes(const uint8_t* p, size_t size) {
  size_t n = 0;
  while (n + 2 <= size && UnitAt(p + n) != 0) n += 2;
  return n;
}

size_t NarrowBytes(const uint8_t* p, size_t size) {
  // A document of unknown size (ParseMemory) ends at its terminator.
  if (size == static_cast<size_t>(-1)) return std::strlen(reinterpret_cast<const char*>(p));
  const void* zero = std::memchr(p, 0, size);
  return zero == nullptr ? size : static_cast<size_t>(static_cast<const uint8_t*>(zero) - p);
}

int Run(MFD_XmlReaderRecord* rec, SAFEARRAY* array, bool owned) {
  VARIANT input;
  VariantInit(&input);
  input.vt = VT_ARRAY | VT_UI1;
  input.parray = array;
  HRESULT hr = rec->reader->parse(input);
  if (owned) VariantClear(&input);
  if (hr == QV_XML_E_ABORTED) return MFD_ERR_ABORTED;
  return hr == S_OK ? MFD_OK : MFD_ERR_PARAM;
}

int ParseArray(MFD_XmlReaderRecord* rec, const uint8_t* mark, const uint8_t* data, size_t size) {
  size_t markSize = mark != nullptr ? 2 : 0;
  if (size > 0xFFFFFFFFu - markSize) return MFD_ERR_PARAM;
  if (markSize == 0) {
    // The reader only reads the array, and only during the call: a
    // descriptor of the caller's own bytes spares copying the document.
    SAFEARRAY borrowed{};
    borrowed.cDims = 1;
    borrowed.cbElements = 1;
    borrowed.pvData = const_cast<uint8_t*>(data);
    borrowed.rgsabound[0].cElements = static_cast<ULONG>(size);
    return Run(rec, &borrowed, false);
  }
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size + markSize));
  if (array == nullptr) return MFD_ERR_PARAM;
  void* bytes = nullptr;
  if (FAILED(SafeArrayAccessData(array, &bytes))) {
    SafeArrayDestroy(array);
    return MFD_ERR_PARAM;
  }
  std::memcpy(bytes, mark, markSize);
  if (size != 0) std::memcpy(static_cast<uint8_t*>(bytes) + markSize, data, size);
  SafeArrayUnaccessData(array);
  return Run(rec, array, true);
}

int ParseClassified(MFD_XmlReader* reader, const void* data, size_t size) {
  MFD_XmlReaderRecord* rec = RecordOf(reader);
  if (rec == nullptr || data == nullptr) return MFD_ERR_PARAM;
  static const uint8_t kLittleEndian[] = {0xFF, 0xFE};
  static const uint8_t kBigEndian[] = {0xFE, 0xFF};
  const auto* p = static_cast<const uint8_t*>(data);
  if (size >= 2) {
    uint16_t first = UnitAt(p);
    if (first == 0xFEFF || first == 0xFFFE) return ParseArray(rec, nullptr, p, WideBytes(p, size));
    size_t narrow = NarrowBytes(p, size);
    if (narrow <= 1) return ParseArray(rec, narrow == 1 ? kLittleEndian : kBigEndian, p, WideBytes(p, size));
    return ParseArray(rec, nullptr, p, narrow);
  }
  return ParseArray(rec, nullptr, p, NarrowBytes(p, size));
}

int MapAccessor(HRESULT hr) {
  if (hr == S_OK) return MFD_OK;
  if (hr == E_POINTER) return MFD_ERR_ABSENT;
  if (hr == E_INVALIDARG) return MFD_ERR_VALUE;
  return MFD_ERR_PARAM;
}

}  // namespace

int MFD_XmlReader_Create(MFD_XmlReader** reader) {
  if (reader == nullptr || *reader != nullptr) return MFD_ERR_PARAM;
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return MFD_ERR_PARAM;
  auto* holder = static_cast<MFD_XmlReader*>(MFD_MALLOC(sizeof(MFD_XmlReader)));
  auto* rec = static_cast<MFD_XmlReaderRecord*>(MFD_MALLOC(sizeof(MFD_XmlReaderRecord)));
  int result = MFD_ERR_PARAM;
  if (holder != nullptr && rec != nullptr) {
    HRESULT hr = CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_ISAXXMLReader,
                                  reinterpret_cast<void**>(&rec->reader));
    if (hr == E_NOINTERFACE) result = MFD_ERR_NOINTERFACE;
    if (SUCCEEDED(hr) && MakeHandlers(rec)) {
      holder->record = rec;
      *reader = holder;
      return MFD_OK;
    }
  }
  if (rec != nullptr) {
    DeleteHandlers(rec);
    if (rec->reader != nullptr) rec->reader->Release();
  }
  MFD_FREE(rec);
  MFD_FREE(holder);
  CoUninitialize();
  return result;
}

int MFD_XmlReader_Free(MFD_XmlReader** reader) {
  if (reader == nullptr) return MFD_ERR_PARAM;
  if (*reader == nullptr) return MFD_OK;
  MFD_XmlReaderRecord* rec = (*reader)->record;
  if (rec != nullptr) {
    if (rec->reader != nullptr) rec->reader->Release();
    DeleteHandlers(rec);
    MFD_FREE(rec);
  }
  MFD_FREE(*reader);
  *reader = nullptr;
  CoUninitialize();
  return MFD_OK;
}

int MFD_XmlReader_SetContentHandler(MFD_XmlReader* reader, const MFD_XmlContentTable* table) {
  MFD_XmlReaderRecord* rec = RecordOf(reader);
  if (rec == nullptr || FAILED(rec->reader->putContentHandler(rec->content))) return MFD_ERR_PARAM;
  rec->content->table = table;
  rec->content->user = rec->user;
  return MFD_OK;
}

int MFD_XmlReader_SetErrorHandler(MFD_XmlReader* reader, const MFD_XmlErrorTable* table) {
  MFD_XmlReaderRecord* rec = RecordOf(reader);
  if (rec == nullptr || FAILED(rec->reader->putErrorHandler(rec->errors))) return MFD_ERR_PARAM;
  rec->errors->table = table;
  rec->errors->user = rec->user;
  return MFD_OK;
}

int MFD_XmlReader_SetUserData(MFD_XmlReader* reader, void* data) {
  MFD_XmlReaderRecord* rec = RecordOf(reader);
  if (rec == nullptr) return MFD_ERR_PARAM;
  rec->user = data;
  rec->content->user = data;
  rec->errors->user = data;
  return MFD_OK;
}

int MFD_XmlReader_SetFeature(MFD_XmlReader* reader, const wchar_t* name, int value) {
  MFD_XmlReaderRecord* rec = RecordOf(reader);
  if (rec == nullptr || name == nullptr) return MFD_ERR_PARAM;
  HRESULT hr = rec->reader->putFeature(name, value ? VARIANT_TRUE : VARIANT_FALSE);
  if (hr == E_INVALIDARG) return MFD_ERR_VALUE;
  return hr == S_OK ? MFD_OK : MFD_ERR_PARAM;
}

int MFD_XmlReader_ParseUrl(MFD_XmlReader* reader, const wchar_t* url) {
  MFD_XmlReaderRecord* rec = RecordOf(reader);
  if (rec == nullptr || url == nullptr) return MFD_ERR_PARAM;
  HRESULT hr = rec->reader->parseURL(url);
  if (hr == S_OK) return MFD_OK;
  if (hr == E_INVALIDARG || hr == HRESULT_FROM_WIN32(ERROR_INVALID_NAME)) return MFD_ERR_VALUE;
  if (hr == INET_E_OBJECT_NOT_FOUND) return MFD_ERR_NOTFOUND;
  if (hr == QV_XML_E_ABORTED) return MFD_ERR_ABORTED;
  return MFD_ERR_PARAM;
}

int MFD_XmlReader_ParseMemory(MFD_XmlReader* reader, const void* data) {
  return ParseClassified(reader, data, static_cast<size_t>(-1));
}

int MFD_XmlReader_ParseBytes(MFD_XmlReader* reader, const void* data, size_t size) {
  return ParseClassified(reader, data, size);
}

int MFD_XmlAttributes_GetLength(MFD_XmlAttributesCell* cell, int* length) {
  if (cell == nullptr || cell->attributes == nullptr) return MFD_ERR_PARAM;
  return MapAccessor(cell->attributes->getLength(length));
}

int MFD_XmlAttributes_GetQName(MFD_XmlAttributesCell* cell, int index, const wchar_t** text, int* length) {
  if (cell == nullptr || cell->attributes == nullptr) return MFD_ERR_PARAM;
  return MapAccessor(cell->attributes->getQName(index, text, length));
}

int MFD_XmlAttributes_GetValue(MFD_XmlAttributesCell* cell, int index, const wchar_t** text, int* length) {
  if (cell == nullptr || cell->attributes == nullptr) return MFD_ERR_PARAM;
  return MapAccessor(cell->attributes->getValue(index, text, length));
}

int MFD_XmlLocator_GetColumn(MFD_XmlLocatorCell* cell, int* column) {
  if (cell == nullptr || cell->locator == nullptr) return MFD_ERR_PARAM;
  return MapAccessor(cell->locator->getColumnNumber(column));
}

int MFD_XmlLocator_GetLine(MFD_XmlLocatorCell* cell, int* line) {
  if (cell == nullptr || cell->locator == nullptr) return MFD_ERR_PARAM;
  return MapAccessor(cell->locator->getLineNumber(line));
}
