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

// Wide text decoded from expat's UTF-8 into storage that is kept and only
// ever grown, so that events after the first few allocate nothing. The text
// is followed by a NUL.
class SaxWideText {
 public:
  inline void Assign(const char* utf8, size_t bytes);
  const wchar_t* data() const { return text_ != nullptr ? text_.get() : L""; }
  size_t size() const { return size_; }

 private:
  std::unique_ptr<wchar_t[]> text_;
  size_t size_ = 0;
  size_t room_ = 0;  // characters, the NUL included
};

struct SaxAttribute {
  SaxWideText value;
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
  inline const SaxAttribute* At(int index) const;
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
  // addressing on a key of two words read without a loop: a name of up to
  // sixteen bytes is wholly in its key (with its length), so most compares
  // never reach the name itself. Every start looks its names up, hence the
  // inline lookups (a shared library's other members may be interposed and
  // so stay out of line). Entries keep their place until Clear.
  class NameCache {
   public:
    struct Key {
      uint64_t word[2];
      size_t length;
      uint32_t hash;
    };
    static inline Key KeyOf(const char* name);
    inline const Name* Find(const char* name, const Key& key) const;
    const Name* Add(const char* name, const Key& key, Name&& resolved);
    void Clear();

   private:
    struct Entry {
      std::string name;
      Name resolved;
    };
    struct Slot {
      Key key{};
      Entry* entry = nullptr;
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
  inline void EndElement(const XML_Char* name);
  bool Resolve(const std::wstring& qName, bool isElement, Name* out);
  // The resolved name of expat's `name`, from the cache; null when its prefix
  // is not declared.
  inline const Name* Cached(const char* name, bool isElement);
  void BindingsChanged();
  // Stops expat; the parse then ends with `code` (reported to the error
  // handler unless a content handler asked for the stop).
  void Stop(HRESULT code, const wchar_t* message);
  inline bool Check(HRESULT handlerResult);
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
  SaxWideText characters_;  // the current text chunk
  unsigned long fed_ = 0;
  bool stopped_ = false;
  HRESULT stopCode_ = S_OK;
  std::wstring stopMessage_;
};

}  // namespace qv::xml
