// The SAX2 reader: events in order, namespaces, input sources, errors with
// their positions, and the bounds on hostile documents.
#include <string>

#include "platform/base/WideText.h"
#include "platform/testing/Seams.h"
#include "platform/xml/Sax.h"
#include "tests/platform/xml/SaxRecorder.h"
#include "tests/support/DeviceRootFixture.h"

namespace qv::test {
namespace {

using Events = std::vector<std::wstring>;

TEST_F(SaxTest, EventsComeInDocumentOrderWithNamespacesAndAttributes) {
  const char* doc =
      "<?xml version=\"1.0\"?>\n"
      "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xmlns=\"http://purl.org/rss/1.0/\">"
      "<channel rdf:about=\"http://x/\" lang=\"ja\"><title>T&amp;U</title></channel><?pi data?></rdf:RDF>";
  ASSERT_EQ(Parse(doc), S_OK);
  Events want = {
      L"locator",
      L"startDocument",
      L"prefix+ rdf=http://www.w3.org/1999/02/22-rdf-syntax-ns#",
      L"prefix+ =http://purl.org/rss/1.0/",
      L"start {http://www.w3.org/1999/02/22-rdf-syntax-ns#}RDF rdf:RDF"
      L" [{}rdf xmlns:rdf=http://www.w3.org/1999/02/22-rdf-syntax-ns#] [{}xmlns xmlns=http://purl.org/rss/1.0/]",
      L"start {http://purl.org/rss/1.0/}channel channel [{http://www.w3.org/1999/02/22-rdf-syntax-ns#}about "
      L"rdf:about=http://x/] [{}lang lang=ja]",
      L"start {http://purl.org/rss/1.0/}title title",
      L"end {http://purl.org/rss/1.0/}title title",
      L"end {http://purl.org/rss/1.0/}channel channel",
      L"pi pi data",
      L"end {http://www.w3.org/1999/02/22-rdf-syntax-ns#}RDF rdf:RDF",
      L"prefix- ",
      L"prefix- rdf",
      L"endDocument",
  };
  EXPECT_EQ(rec.events, want);
  EXPECT_EQ(rec.text, L"T&U");
}

TEST_F(SaxTest, NamespacePrefixesOffLeavesDeclarationsOutOfTheAttributes) {
  ASSERT_EQ(reader->putFeature(L"http://xml.org/sax/features/namespace-prefixes", VARIANT_FALSE), S_OK);
  ASSERT_EQ(Parse("<a xmlns:p=\"urn:p\" p:x=\"1\"/>"), S_OK);
  EXPECT_EQ(rec.events[3], L"start {}a a [{urn:p}x p:x=1]");
}

TEST_F(SaxTest, FeaturesAndProperties) {
  VARIANT_BOOL on = VARIANT_FALSE;
  EXPECT_EQ(reader->getFeature(L"http://xml.org/sax/features/namespace-prefixes", &on), S_OK);
  EXPECT_EQ(on, VARIANT_TRUE);
  EXPECT_EQ(reader->putFeature(L"http://xml.org/sax/features/namespaces", VARIANT_FALSE), E_FAIL);
  EXPECT_EQ(reader->putFeature(L"http://xml.org/sax/features/validation", VARIANT_TRUE), E_FAIL);
  EXPECT_EQ(reader->putFeature(L"no-such-feature", VARIANT_TRUE), E_INVALIDARG);
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = 12;
  EXPECT_EQ(reader->putProperty(L"max-element-depth", v), S_OK);
  VARIANT back;
  EXPECT_EQ(reader->getProperty(L"max-element-depth", &back), S_OK);
  EXPECT_EQ(back.lVal, 12);
  v.vt = VT_BOOL;
  EXPECT_EQ(reader->putProperty(L"max-element-depth", v), E_INVALIDARG);
  EXPECT_EQ(reader->putProperty(L"other", v), E_INVALIDARG);
}

TEST_F(SaxTest, ByReferenceVariantsAreFollowedAndOtherInputRefused) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 4);
  void* data = nullptr;
  SafeArrayAccessData(array, &data);
  memcpy(data, "<a/>", 4);
  SafeArrayUnaccessData(array);
  VARIANT inner;
  VariantInit(&inner);
  inner.vt = VT_ARRAY | VT_UI1;
  inner.parray = array;
  VARIANT outer;
  VariantInit(&outer);
  outer.vt = VT_BYREF | VT_VARIANT;
  outer.pvarVal = &inner;
  EXPECT_EQ(reader->parse(outer), S_OK);
  EXPECT_EQ(rec.events.back(), L"endDocument");
  VariantClear(&inner);
  VARIANT number;
  VariantInit(&number);
  number.vt = VT_I4;
  EXPECT_EQ(reader->parse(number), E_INVALIDARG);
}

TEST_F(SaxTest, MalformedDocumentIsAFatalErrorWithItsPosition) {
  HRESULT hr = Parse("<a>\n  <b></a>");
  EXPECT_TRUE(FAILED(hr));
  EXPECT_EQ(hr & 0xFFFFFF00, QV_XML_E_SYNTAX_BASE);
  EXPECT_EQ(rec.errorCode, hr);
  EXPECT_EQ(rec.errorLine, 2);
  EXPECT_EQ(rec.errorColumn, 8);  // the "</" of the mismatched end tag
  EXPECT_FALSE(rec.errorMessage.empty());
  EXPECT_EQ(rec.events.back(), L"fatal");  // and no end of document after it
  int line = 0;
  EXPECT_EQ(rec.locator->getLineNumber(&line), S_OK);  // the locator outlives the parse
  EXPECT_EQ(line, 2);
}

TEST_F(SaxTest, TheLocatorKeepsWhereEachFinishedParseEnded) {
  // The position of a parse that ran to its end is read from it only when
  // asked, and a later parse replaces it.
  struct Case {
    const char* doc;
    int line, column;
  };
  const Case kCases[] = {
      {"<a>\n\n<b/></a>", 3, 9},
      {"<a/>", 1, 5},
      {"<a>\xE6\x97\xA5\xE6\x9C\xAC\n\xE8\xAA\x9E</a>", 2, 6},  // a column counts characters
  };
  for (const Case& c : kCases) {
    ASSERT_EQ(Parse(c.doc), S_OK) << c.doc;
    int line = 0, column = 0;
    EXPECT_EQ(rec.locator->getLineNumber(&line), S_OK);
    EXPECT_EQ(rec.locator->getColumnNumber(&column), S_OK);
    EXPECT_EQ(line, c.line) << c.doc;
    EXPECT_EQ(column, c.column) << c.doc;
  }
}

// Checks that every element name, attribute name and attribute value it is
// given is followed by a NUL.
class TerminationRecorder : public SaxRecorder {
 public:
  HRESULT startElement(const wchar_t* u, int un, const wchar_t* l, int ln, const wchar_t* q, int qn,
                       ISAXAttributes* attributes) override {
    Check(u, un), Check(l, ln), Check(q, qn);
    int count = 0;
    attributes->getLength(&count);
    for (int i = 0; i < count; ++i) {
      const wchar_t *au, *al, *aq, *av;
      int aun, aln, aqn, avn;
      attributes->getName(i, &au, &aun, &al, &aln, &aq, &aqn);
      attributes->getValue(i, &av, &avn);
      Check(au, aun), Check(al, aln), Check(aq, aqn), Check(av, avn);
      ++attributesSeen;
    }
    return SaxRecorder::startElement(u, un, l, ln, q, qn, attributes);
  }
  HRESULT endElement(const wchar_t* u, int un, const wchar_t* l, int ln, const wchar_t* q, int qn) override {
    Check(u, un), Check(l, ln), Check(q, qn);
    return SaxRecorder::endElement(u, un, l, ln, q, qn);
  }
  int unterminated = 0;
  int attributesSeen = 0;

 private:
  void Check(const wchar_t* text, int length) {
    if (text == nullptr || length < 0 || text[length] != L'\0') ++unterminated;
  }
};

TEST_F(SaxTest, NamesAndAttributeValuesAreTerminated) {
  TerminationRecorder names;
  ASSERT_EQ(reader->putContentHandler(&names), S_OK);
  // Plain and prefixed names, a default namespace, and declarations inside
  // that change how the names around them resolve.
  EXPECT_EQ(Parse("<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xmlns=\"urn:d\">"
                  "<channel rdf:about=\"a\" v=\"\"><title>t</title><x:item xmlns:x=\"urn:x\" x:n=\"1\"><x:title/>"
                  "</x:item><title/></channel>"
                  "<plain xmlns=\"\"><title/></plain></rdf:RDF>"),
            S_OK);
  EXPECT_EQ(names.unterminated, 0);
  int elements = 0;
  for (const std::wstring& e : names.events) elements += e.rfind(L"start ", 0) == 0 || e.rfind(L"end ", 0) == 0;
  EXPECT_EQ(elements, 16);  // eight starts and their ends, each checked
  EXPECT_EQ(names.attributesSeen, 7);  // four declarations, three others
  ASSERT_EQ(reader->putContentHandler(&rec), S_OK);
}

TEST_F(SaxTest, NamesValuesAndTextOfEveryLengthArriveIntact) {
  // ASCII runs broken by two-, three- and four-byte characters (names take
  // no four-byte ones) at every length around eight and sixteen bytes; two
  // names alike in their first twenty bytes, each seen twice.
  const char* const others[] = {"é", "日", "😀"};
  const std::string alike(20, 'q');
  std::string doc = "<r>";
  Events want = {L"locator", L"startDocument", L"start {}r r"};
  std::wstring text;
  auto element = [&](const std::string& name, const std::string& run) {
    doc += "<" + name + " v=\"" + run + "\">" + run + "日本" + run + "</" + name + ">";
    const std::wstring n = qv::Utf8ToWide(name), r = qv::Utf8ToWide(run);
    want.push_back(L"start {}" + n + L" " + n + L" [{}v v=" + r + L"]");
    want.push_back(L"end {}" + n + L" " + n);
    text += r + L"日本" + r;
  };
  for (int n = 0; n < 40; ++n) {
    std::string run, name = "e";
    for (int i = 0; i < n; ++i) {
      run += i % 7 == 6 ? others[(n + i) % 3] : "x";
      name += i % 7 == 6 ? others[(n + i) % 2] : "x";
    }
    element(name, run);
  }
  for (int twice = 0; twice < 2; ++twice) {
    element(alike + "1", "one");
    element(alike + "2", "two");
  }
  want.push_back(L"end {}r r");
  want.push_back(L"endDocument");
  ASSERT_EQ(Parse(doc + "</r>"), S_OK);
  EXPECT_EQ(rec.events, want);
  EXPECT_EQ(rec.text, text);
}

TEST_F(SaxTest, AnErrorHandlerFailureBecomesTheResult) {
  rec.errorAnswer = static_cast<HRESULT>(0x80001234u);
  EXPECT_EQ(Parse("<a>"), static_cast<HRESULT>(0x80001234u));
}

TEST_F(SaxTest, AContentHandlerFailureAbandonsTheParse) {
  rec.failOn = L"start {}b";
  EXPECT_EQ(Parse("<a><b/><c/></a>"), QV_XML_E_ABORTED);
  EXPECT_EQ(rec.events.back(), L"start {}b b");
  rec.events.clear();
  rec.failOn = L"characters";
  EXPECT_EQ(Parse("<a>x<c/></a>"), QV_XML_E_ABORTED);
  EXPECT_EQ(rec.events.back(), L"start {}a a");  // no fatal error: the handler knows
}

TEST_F(SaxTest, UndeclaredPrefixIsRefused) {
  EXPECT_EQ(Parse("<p:a/>"), QV_XML_E_PREFIX);
  EXPECT_EQ(rec.events.back(), L"fatal");
  EXPECT_EQ(Parse("<a q:x=\"1\"/>"), QV_XML_E_PREFIX);
}

TEST_F(SaxTest, NestingIsBounded) {
  std::string deep;
  for (int i = 0; i < 300; ++i) deep += "<e>";
  for (int i = 0; i < 300; ++i) deep += "</e>";
  EXPECT_EQ(Parse(deep), QV_XML_E_TOO_DEEP);
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = 3;
  ASSERT_EQ(reader->putProperty(L"max-element-depth", v), S_OK);
  EXPECT_EQ(Parse("<a><b><c/></b></a>"), S_OK);
  EXPECT_EQ(Parse("<a><b><c><d/></c></b></a>"), QV_XML_E_TOO_DEEP);
}

TEST_F(SaxTest, InputSizeIsBoundedWhenAsked) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = 1;  // KiB
  ASSERT_EQ(reader->putProperty(L"max-xml-size", v), S_OK);
  EXPECT_EQ(Parse("<a>" + std::string(1000, 'x') + "</a>"), S_OK);
  EXPECT_EQ(Parse("<a>" + std::string(1100, 'x') + "</a>"), QV_XML_E_TOO_LARGE);
}

TEST_F(SaxTest, NestedEntityDefinitionsAreRefused) {
  std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY l0 \"lol\">";
  for (int i = 1; i < 10; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) laughs += "&l" + std::to_string(i - 1) + ";";
    laughs += "\">";
  }
  laughs += "]><l>&l9;</l>";
  EXPECT_EQ(Parse(laughs), QV_XML_E_ENTITY);
  EXPECT_TRUE(rec.text.empty());
  // Predefined references and character references may stand in entities.
  rec.text.clear();
  EXPECT_EQ(Parse("<!DOCTYPE a [<!ENTITY e \"x&#38;#60;&lt;\">]><a>&e;</a>"), S_OK);
  EXPECT_EQ(rec.text, L"x<<");
}

TEST_F(SaxTest, EntityExpansionMayNotBlowUpTheDocument) {
  // One large entity used many times: no nesting, but 40 KiB per reference.
  std::string doc = "<!DOCTYPE a [<!ENTITY big \"" + std::string(40000, 'x') + "\">]><a>";
  for (int i = 0; i < 2000; ++i) doc += "&big;";
  doc += "</a>";
  HRESULT hr = Parse(doc);
  EXPECT_TRUE(FAILED(hr));
  EXPECT_LT(rec.text.size(), 16u << 20);
  // A few uses are fine.
  rec.text.clear();
  EXPECT_EQ(Parse("<!DOCTYPE a [<!ENTITY e \"abc\">]><a>&e;&e;</a>"), S_OK);
  EXPECT_EQ(rec.text, L"abcabc");
}

TEST_F(SaxTest, DtdsCanBeProhibitedAndExternalEntitiesAreNeverRead) {
  const char* external =
      "<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS 0.91//EN\" "
      "\"http://my.netscape.com/publish/formats/rss-0.91.dtd\"><rss>&eacute;</rss>";
  EXPECT_EQ(Parse(external), S_OK);
  EXPECT_NE(std::find(rec.events.begin(), rec.events.end(), L"skipped eacute"), rec.events.end());
  rec.text.clear();
  EXPECT_EQ(Parse("<!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/hostname\">]><a>&x;</a>"), S_OK);
  EXPECT_TRUE(rec.text.empty());
  ASSERT_EQ(reader->putFeature(L"prohibit-dtd", VARIANT_TRUE), S_OK);
  EXPECT_EQ(Parse(external), QV_XML_E_DTD_PROHIBITED);
}

TEST_F(SaxTest, JapaneseEncodingsNamedInTheDeclaration) {
  // 日本語, half-width ｱ, and a user-defined character of CP932.
  ASSERT_EQ(Parse("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a t=\"\x93\xfa\">\x93\xfa\x96\x7b\x8c\xea\xb1"
                  "\xf0\x40</a>"),
            S_OK);
  EXPECT_EQ(rec.text, std::wstring(L"日本語ｱ") + wchar_t(0xE000));
  EXPECT_EQ(rec.events[2], L"start {}a a [{}t t=日]");
  rec.text.clear();
  ASSERT_EQ(Parse("<?xml version=\"1.0\" encoding=\"euc-jp\"?><a>\xc6\xfc\xcb\xdc\xb8\xec\x8e\xb1</a>"), S_OK);
  EXPECT_EQ(rec.text, L"日本語ｱ");
  rec.text.clear();
  ASSERT_EQ(Parse("<?xml version=\"1.0\" encoding=\"Windows-31J\"?><a>\x82\xa0</a>"), S_OK);
  EXPECT_EQ(rec.text, L"あ");
}

TEST_F(SaxTest, BrokenMultiByteSequencesAreErrorsNotSwallowedMarkup) {
  // A lead byte before "<" may not take the "<" as its second byte.
  EXPECT_TRUE(FAILED(Parse("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a>\x93</a>")));
  EXPECT_EQ(rec.events.back(), L"fatal");
  EXPECT_TRUE(FAILED(Parse("<?xml version=\"1.0\" encoding=\"EUC-JP\"?><a>\xc6\x41</a>")));
  EXPECT_TRUE(FAILED(Parse("<?xml version=\"1.0\" encoding=\"ISO-2022-JP\"?><a/>")));
}

TEST_F(SaxTest, Utf16WithAMark) {
  std::string le("\xFF\xFE", 2);
  for (wchar_t c : std::wstring(L"<a>あ</a>")) {
    le += static_cast<char>(c & 0xFF);
    le += static_cast<char>(c >> 8);
  }
  ASSERT_EQ(Parse(le), S_OK);
  EXPECT_EQ(rec.text, L"あ");
}

// Looks attributes up by name and tries to start a second parse from inside
// the first.
class LookupHandler : public SaxRecorder {
 public:
  HRESULT startElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*, int,
                       ISAXAttributes* attributes) override {
    const wchar_t* v = nullptr;
    int n = 0;
    if (attributes->getValueFromQName(L"p:x", -1, &v, &n) == S_OK) byQName.assign(v, n);
    if (attributes->getValueFromName(L"urn:p", 5, L"x", 1, &v, &n) == S_OK) byName.assign(v, n);
    int index = 0;
    missing = attributes->getIndexFromQName(L"nope", 4, &index);
    const wchar_t* type = nullptr;
    if (attributes->getType(0, &type, &n) == S_OK) typeName.assign(type, n);
    VARIANT input;
    VariantInit(&input);
    nested = reader->parse(input);
    return S_OK;
  }
  ISAXXMLReader* reader = nullptr;
  std::wstring byQName, byName, typeName;
  HRESULT missing = S_OK, nested = S_OK;
};

TEST_F(SaxTest, AttributeLookupsAndNoParseInsideAParse) {
  LookupHandler lookup;
  lookup.reader = reader;
  ASSERT_EQ(reader->putContentHandler(&lookup), S_OK);
  ASSERT_EQ(Parse("<a xmlns:p=\"urn:p\" p:x=\"v\"/>"), S_OK);
  EXPECT_EQ(lookup.byQName, L"v");
  EXPECT_EQ(lookup.byName, L"v");
  EXPECT_EQ(lookup.typeName, L"CDATA");
  EXPECT_EQ(lookup.missing, E_INVALIDARG);
  EXPECT_EQ(lookup.nested, E_FAIL);
  ASSERT_EQ(reader->putContentHandler(&rec), S_OK);  // gives the lookup handler back
}

class SaxFileTest : public DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_INPROC_SERVER, IID_ISAXXMLReader,
                               reinterpret_cast<void**>(&reader)),
              S_OK);
    reader->putContentHandler(&rec);
    reader->putErrorHandler(&rec);
  }
  void TearDown() override {
    reader->Release();
    CoUninitialize();
    DeviceRootTest::TearDown();
  }
  ISAXXMLReader* reader = nullptr;
  SaxRecorder rec;
};

TEST_F(SaxFileTest, DeviceFilesByUrlOrPath) {
  std::filesystem::create_directories(Host("Application Data/Rivulet/Tmp"));
  WriteHost("Application Data/Rivulet/Tmp/recv.rss", "<rss version=\"2.0\"><channel/></rss>");
  EXPECT_EQ(reader->parseURL(L"file:///Application Data/Rivulet/Tmp/recv.rss"), S_OK);
  EXPECT_EQ(reader->parseURL(L"/Application Data/Rivulet/Tmp/recv.rss"), S_OK);
  EXPECT_EQ(reader->parseURL(L"\\Application Data\\Rivulet\\Tmp\\recv.rss"), S_OK);
  EXPECT_EQ(rec.events.back(), L"endDocument");
  EXPECT_EQ(reader->parseURL(L"/Application Data/Rivulet/Tmp/none.rss"), INET_E_OBJECT_NOT_FOUND);
  EXPECT_EQ(reader->parseURL(L"http://example.com/feed"), INET_E_UNKNOWN_PROTOCOL);
  EXPECT_EQ(reader->parseURL(L"/Application Data/"), HRESULT_FROM_WIN32(ERROR_INVALID_NAME));
  EXPECT_EQ(reader->parseURL(nullptr), E_INVALIDARG);
}

TEST_F(SaxFileTest, TextSplitAcrossReadSlicesArrivesWhole) {
  // Three-byte characters run over the 64 KiB read boundary at every offset.
  std::wstring body;
  for (int i = 0; i < 30000; ++i) body += (i % 97 == 0) ? L'\n' : (i % 2 != 0) ? L'語' : L'a';
  std::string utf8 = "<a>";
  for (wchar_t c : body) utf8 += c == L'語' ? std::string("\xE8\xAA\x9E") : std::string(1, static_cast<char>(c));
  utf8 += "</a>";
  WriteHost("big.xml", utf8);
  ASSERT_EQ(reader->parseURL(L"\\big.xml"), S_OK);
  EXPECT_EQ(rec.text, body);
  EXPECT_GT(rec.chunks, 1);
}

TEST_F(SaxFileTest, ErrorsInLaterSlicesKeepTheirLine) {
  std::string doc = "<a>";
  for (int i = 0; i < 20000; ++i) doc += "<b>line</b>\n";
  doc += "<b></a>";
  WriteHost("bad.xml", doc);
  EXPECT_TRUE(FAILED(reader->parseURL(L"\\bad.xml")));
  EXPECT_EQ(rec.errorLine, 20001);
}

TEST(SaxCom, CreationNeedsInitialisationAndAnAvailableReader) {
  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_ISAXXMLReader, &object),
            CO_E_NOTINITIALIZED);
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
  EXPECT_EQ(CoCreateInstance(IID_IUnknown, nullptr, CLSCTX_ALL, IID_ISAXXMLReader, &object), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_ISAXContentHandler, &object),
            E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  qv::seams::SetSaxReaderAvailable(false);
  EXPECT_EQ(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_ISAXXMLReader, &object), E_NOINTERFACE);
  qv::seams::SetSaxReaderAvailable(true);
  ASSERT_EQ(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_IUnknown, &object), S_OK);
  EXPECT_EQ(static_cast<IUnknown*>(object)->Release(), 0u);
  CoUninitialize();
  CoUninitialize();
}

TEST(SaxCom, ArraysCannotBeDestroyedWhileAccessed) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 3);
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(SafeArrayCreateVector(VT_I4, 0, 3), nullptr);
  void* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
  EXPECT_TRUE(FAILED(SafeArrayDestroy(array)));
  EXPECT_EQ(SafeArrayUnaccessData(array), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(array), E_UNEXPECTED);
  EXPECT_EQ(SafeArrayDestroy(array), S_OK);
}

}  // namespace
}  // namespace qv::test
