// One parse over expat: turns expat's events into SAX2 calls with namespace
// processing of our own (so that xmlns attributes keep their place in the
// attribute list), and keeps the limits that protect against hostile input.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xml/SaxReader.h"

namespace qv::xml {

// A resolved name: namespace URI, local part and the name as written.
struct SaxName {
  std::wstring uri, localName, qName;
};

struct SaxAttribute {
  std::wstring value;
  const char* raw = nullptr;  // expat's name, for the name cache
  bool declaration = false;   // xmlns or xmlns:p
  // A declaration's names are its own; any other attribute's are those of
  // the name cache, which stays as it is during the element's start.
  SaxName own;
  const SaxName* name = nullptr;

  const SaxName& Names() const { return name != nullptr ? *name : own; }
};

// The current element's attributes, valid during its startElement call. The
// first `count` items are the list; the others keep their storage for the
// next element.
class SaxAttributeList final : public ISAXAttributes {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT getLength(int* length) override;
  HRESULT getURI(int index, const wchar_t** uri, int* uriLength) override;
  HRESULT getLocalName(int index, const wchar_t** localName, int* localLength) override;
  HRESULT getQName(int index, const wchar_t** qName, int* qLength) override;
  HRESULT getName(int index, const wchar_t** uri, int* uriLength, const wchar_t** localName, int* localLength,
                  const wchar_t** qName, int* qLength) override;
  HRESULT getIndexFromName(const wchar_t* uri, int uriLength, const wchar_t* localName, int localLength,
                           int* index) override;
  HRESULT getIndexFromQName(const wchar_t* qName, int qLength, int* index) override;
  HRESULT getType(int index, const wchar_t** type, int* typeLength) override;
  HRESULT getValue(int index, const wchar_t** value, int* valueLength) override;
  HRESULT getValueFromName(const wchar_t* uri, int uriLength, const wchar_t* localName, int localLength,
                           const wchar_t** value, int* valueLength) override;
  HRESULT getValueFromQName(const wchar_t* qName, int qLength, const wchar_t** value, int* valueLength) override;

  std::vector<SaxAttribute> items;
  size_t count = 0;

 private:
  const SaxAttribute* At(int index) const;
};

class SaxParseRun {
 public:
  SaxParseRun(const SaxSettings& settings, SaxLocator& locator);
  ~SaxParseRun();
  SaxParseRun(const SaxParseRun&) = delete;
  SaxParseRun& operator=(const SaxParseRun&) = delete;

  // Each returns S_OK while the parse goes on, else the parse's result (the
  // error handler has then been told). After a final Feed, Finish ends the
  // document.
  HRESULT Begin();
  HRESULT Feed(const char* data, size_t size, bool final);
  HRESULT Finish();
  // Ends the parse with an error of the input source.
  HRESULT Fail(HRESULT code, const std::wstring& message);

 private:
  struct Binding {
    std::wstring prefix, uri;
  };
  using Name = SaxName;
  // Resolved names by expat's UTF-8 name, good while the bindings stay. Open
  // addressing on a key read in one pass: the first sixteen bytes packed in
  // two words, which settle most compares. Every start looks its names up.
  // Entries keep their place until Clear.
  class NameCache {
   public:
    struct Key {
      uint64_t word[2];
      size_t length;
      uint32_t hash;
    };
    static Key KeyOf(const char* name);
    const Name* Find(const char* name, const Key& key) const;
    const Name* Add(const char* name, const Key& key, Name&& resolved);
    void Clear();

   private:
    struct Entry {
      Key key;
      std::string name;
      Name resolved;
    };
    struct Slot {
      uint32_t hash;
      Entry* entry;
    };
    void Grow();

    std::vector<Slot> slots_;  // a power of two long, at most half full
    std::vector<std::unique_ptr<Entry>> entries_;
  };

  static void XMLCALL OnStartElement(void* self, const XML_Char* name, const XML_Char** atts);
  static void XMLCALL OnEndElement(void* self, const XML_Char* name);
  static void XMLCALL OnCharacters(void* self, const XML_Char* text, int length);
  static void XMLCALL OnProcessingInstruction(void* self, const XML_Char* target, const XML_Char* data);
  static void XMLCALL OnSkippedEntity(void* self, const XML_Char* name, int parameterEntity);
  static void XMLCALL OnStartDoctype(void* self, const XML_Char* name, const XML_Char* systemId,
                                     const XML_Char* publicId, int hasInternalSubset);
  static void XMLCALL OnEntityDecl(void* self, const XML_Char* name, int parameterEntity, const XML_Char* value,
                                   int valueLength, const XML_Char* base, const XML_Char* systemId,
                                   const XML_Char* publicId, const XML_Char* notation);

  void StartElement(const XML_Char* name, const XML_Char** atts);
  void EndElement(const XML_Char* name);
  bool Resolve(const std::wstring& qName, bool isElement, Name* out);
  // The resolved name of expat's `name`, from the cache; null when its prefix
  // is not declared.
  const Name* Cached(const char* name, bool isElement);
  void BindingsChanged();
  // Stops expat; the parse then ends with `code` (reported to the error
  // handler unless a content handler asked for the stop).
  void Stop(HRESULT code, const wchar_t* message);
  bool Check(HRESULT handlerResult);
  HRESULT Report(HRESULT code, const std::wstring& message);

  SaxSettings settings_;
  SaxLocator& locator_;
  XML_Parser parser_ = nullptr;
  SaxAttributeList attributes_;
  std::vector<Binding> bindings_;
  // Per open element: the first binding it declared, and its resolved name
  // as long as the caches have not been emptied since (by `generation`).
  struct Scope {
    size_t firstBinding;
    const Name* element;
    unsigned long generation;
  };
  std::vector<Scope> scopes_;
  NameCache elementNames_, attributeNames_;
  unsigned long generation_ = 0;
  std::unique_ptr<wchar_t[]> characters_;  // the current text chunk, its storage kept
  size_t charactersRoom_ = 0;
  unsigned long fed_ = 0;
  bool stopped_ = false;
  HRESULT stopCode_ = S_OK;
  std::wstring stopMessage_;
};

}  // namespace qv::xml
