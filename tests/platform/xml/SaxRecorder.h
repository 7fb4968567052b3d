// Content and error handlers that write every event down as a line of text,
// and a reader made through COM the way device code makes it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/xml/Sax.h"

namespace qv::test {

class SaxRecorder : public ISAXContentHandler, public ISAXErrorHandler {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (IsEqualGUID(iid, IID_ISAXErrorHandler)) {
      *object = static_cast<ISAXErrorHandler*>(this);
      return S_OK;
    }
    *object = static_cast<ISAXContentHandler*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }

  HRESULT putDocumentLocator(ISAXLocator* l) override {
    locator = l;
    return Note(L"locator");
  }
  HRESULT startDocument() override { return Note(L"startDocument"); }
  HRESULT endDocument() override { return Note(L"endDocument"); }
  HRESULT startPrefixMapping(const wchar_t* p, int pn, const wchar_t* u, int un) override {
    return Note(L"prefix+ " + std::wstring(p, pn) + L"=" + std::wstring(u, un));
  }
  HRESULT endPrefixMapping(const wchar_t* p, int pn) override { return Note(L"prefix- " + std::wstring(p, pn)); }
  HRESULT startElement(const wchar_t* u, int un, const wchar_t* l, int ln, const wchar_t* q, int qn,
                       ISAXAttributes* attributes) override {
    std::wstring line = L"start {" + std::wstring(u, un) + L"}" + std::wstring(l, ln) + L" " + std::wstring(q, qn);
    int count = 0;
    attributes->getLength(&count);
    for (int i = 0; i < count; ++i) {
      const wchar_t *au, *al, *aq, *av;
      int aun, aln, aqn, avn;
      attributes->getName(i, &au, &aun, &al, &aln, &aq, &aqn);
      attributes->getValue(i, &av, &avn);
      line += L" [{" + std::wstring(au, aun) + L"}" + std::wstring(al, aln) + L" " + std::wstring(aq, aqn) + L"=" +
              std::wstring(av, avn) + L"]";
    }
    return Note(line);
  }
  HRESULT endElement(const wchar_t* u, int un, const wchar_t* l, int ln, const wchar_t* q, int qn) override {
    return Note(L"end {" + std::wstring(u, un) + L"}" + std::wstring(l, ln) + L" " + std::wstring(q, qn));
  }
  HRESULT characters(const wchar_t* c, int n) override {
    ++chunks;
    text.append(c, static_cast<size_t>(n));
    return failOn == L"characters" ? E_FAIL : S_OK;
  }
  HRESULT ignorableWhitespace(const wchar_t*, int) override { return Note(L"whitespace"); }
  HRESULT processingInstruction(const wchar_t* t, int tn, const wchar_t* d, int dn) override {
    return Note(L"pi " + std::wstring(t, tn) + L" " + std::wstring(d, dn));
  }
  HRESULT skippedEntity(const wchar_t* n, int nn) override { return Note(L"skipped " + std::wstring(n, nn)); }

  HRESULT error(ISAXLocator* l, const wchar_t* m, HRESULT code) override { return Error(L"error", l, m, code); }
  HRESULT fatalError(ISAXLocator* l, const wchar_t* m, HRESULT code) override { return Error(L"fatal", l, m, code); }
  HRESULT ignorableWarning(ISAXLocator* l, const wchar_t* m, HRESULT code) override {
    return Error(L"warning", l, m, code);
  }

  // Events other than characters, in order.
  std::vector<std::wstring> events;
  std::wstring text;  // all character data
  int chunks = 0;
  ISAXLocator* locator = nullptr;
  int refs = 0;
  // An event (its first word) that answers E_FAIL.
  std::wstring failOn;
  HRESULT errorAnswer = S_OK;
  int errorLine = 0, errorColumn = 0;
  HRESULT errorCode = S_OK;
  std::wstring errorMessage;

 private:
  HRESULT Note(const std::wstring& line) {
    events.push_back(line);
    return !failOn.empty() && line.rfind(failOn, 0) == 0 ? E_FAIL : S_OK;
  }
  HRESULT Error(const wchar_t* kind, ISAXLocator* l, const wchar_t* m, HRESULT code) {
    events.push_back(kind);
    l->getLineNumber(&errorLine);
    l->getColumnNumber(&errorColumn);
    errorCode = code;
    errorMessage = m;
    return errorAnswer;
  }
};

class SaxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_ISAXXMLReader,
                               reinterpret_cast<void**>(&reader)),
              S_OK);
    ASSERT_EQ(reader->putContentHandler(&rec), S_OK);
    ASSERT_EQ(reader->putErrorHandler(&rec), S_OK);
  }
  void TearDown() override {
    if (reader != nullptr) reader->Release();
    EXPECT_EQ(rec.refs, 0);  // the reader gave back what it held
    CoUninitialize();
  }

  HRESULT Parse(const std::string& bytes) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    if (!bytes.empty()) memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = array;
    HRESULT hr = reader->parse(v);
    VariantClear(&v);
    return hr;
  }

  ISAXXMLReader* reader = nullptr;
  SaxRecorder rec;
};

}  // namespace qv::test
