// The SAX2 reader class behind CLSID_SAXXMLReader: the COM face (handlers,
// features, properties, input sources). One parse at a time runs in a
// SaxParseRun over expat.
#pragma once

// The system expat is built with DTD support; its guard against entity
// amplification is declared only under this name.
#ifndef XML_DTD
#define XML_DTD 1
#endif
#include <expat.h>

#include <atomic>
#include <string>

#include "platform/xml/Sax.h"

namespace qv::xml {

// What one parse needs from its reader.
struct SaxSettings {
  ISAXContentHandler* content = nullptr;
  ISAXErrorHandler* errors = nullptr;
  bool namespacePrefixes = true;
  bool prohibitDtd = false;
  int maxDepth = 256;          // element nesting allowed
  unsigned long maxBytes = 0;  // input bytes allowed; 0: no limit
};

inline constexpr int kDefaultMaxDepth = 256;

// Line and column of the running parse; after it ends, of where it ended.
class SaxLocator final : public ISAXLocator {
 public:
  SaxLocator() = default;
  SaxLocator(const SaxLocator&) = delete;
  SaxLocator& operator=(const SaxLocator&) = delete;
  ~SaxLocator();
  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT getColumnNumber(int* column) override;
  HRESULT getLineNumber(int* line) override;
  HRESULT getPublicId(const wchar_t** publicId) override;
  HRESULT getSystemId(const wchar_t** systemId) override;

  // The running parse's parser; one kept from an earlier parse is freed.
  void Attach(XML_Parser parser);
  // The parse of `parser` is over: the locator keeps its last position. expat
  // works a position out by reading the document up to it, so the locator
  // takes the parser over and reads the position only when asked; where
  // expat parses the caller's own bytes, it reads it at once.
  void Keep(XML_Parser parser);

 private:
  void FreeKept();

  XML_Parser parser_ = nullptr;
  bool owned_ = false;
  int line_ = 0;
  int column_ = 0;
};


class SaxReader final : public ISAXXMLReader {
 public:
  SaxReader() = default;
  SaxReader(const SaxReader&) = delete;
  SaxReader& operator=(const SaxReader&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT getFeature(const wchar_t* name, VARIANT_BOOL* value) override;
  HRESULT putFeature(const wchar_t* name, VARIANT_BOOL value) override;
  HRESULT getProperty(const wchar_t* name, VARIANT* value) override;
  HRESULT putProperty(const wchar_t* name, VARIANT value) override;
  HRESULT getContentHandler(ISAXContentHandler** handler) override;
  HRESULT putContentHandler(ISAXContentHandler* handler) override;
  HRESULT getErrorHandler(ISAXErrorHandler** handler) override;
  HRESULT putErrorHandler(ISAXErrorHandler* handler) override;
  HRESULT getBaseURL(const wchar_t** baseUrl) override;
  HRESULT putBaseURL(const wchar_t* baseUrl) override;
  HRESULT parse(VARIANT input) override;
  HRESULT parseURL(const wchar_t* url) override;

 private:
  ~SaxReader();
  template <class T>
  HRESULT Hold(T*& slot, T* handler);
  SaxSettings Settings() const;
  HRESULT ParseBytes(const char* bytes, size_t size);
  HRESULT ParseFile(const std::wstring& devicePath);

  std::atomic<ULONG> refs_{1};
  ISAXContentHandler* content_ = nullptr;  // each held with a reference
  ISAXErrorHandler* errors_ = nullptr;
  std::wstring baseUrl_;
  bool parsing_ = false;
  bool namespacePrefixes_ = true;
  bool prohibitDtd_ = false;
  bool externalGeneral_ = false;
  bool externalParameter_ = false;
  bool normalizeLineBreaks_ = true;
  LONG maxDepth_ = 0;
  LONG maxSizeKb_ = 0;
  // Lives with the reader: handlers may keep it past the parse.
  SaxLocator locator_;
};

}  // namespace qv::xml
