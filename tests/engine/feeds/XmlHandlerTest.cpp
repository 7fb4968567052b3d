// The XML reader glue: callback tables fed from the platform reader, the
// memory forms of a document, result codes, and the accessors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/feeds/src/mfd_common.h"
#include "engine/feeds/src/mfd_xmlhandler.h"
#include "tests/support/DeviceRootFixture.h"

namespace {

// What the callbacks saw; the parse context of these tests.
struct Seen {
  std::vector<std::wstring> events;
  std::wstring text;
  int failAt = -1;  // the event number whose callback answers non-zero
  int line = 0, column = 0;
  MFD_XmlLocatorCell* locator = nullptr;
  MFD_XmlAttributesCell* attributes = nullptr;

  int Note(const std::wstring& e) {
    events.push_back(e);
    return static_cast<int>(events.size()) - 1 == failAt ? 1 : 0;
  }
};

Seen& Of(void* user) { return *static_cast<Seen*>(user); }

int OnCharacters(const wchar_t* text, int start, int length, void* user) {
  EXPECT_EQ(start, 0);
  EXPECT_EQ(text[length], L'\0');  // a terminated copy
  Of(user).text.append(text, static_cast<size_t>(length));
  return Of(user).Note(L"characters");
}

int OnStart(const wchar_t* uri, int uriLength, const wchar_t* local, int localLength, const wchar_t* q, int qLength,
            MFD_XmlAttributesCell* attributes, void* user) {
  EXPECT_EQ(static_cast<int>(std::wcslen(uri)), uriLength);
  EXPECT_EQ(static_cast<int>(std::wcslen(local)), localLength);
  EXPECT_EQ(static_cast<int>(std::wcslen(q)), qLength);
  std::wstring e = L"start {" + std::wstring(uri) + L"}" + local + L" " + q;
  int count = 0;
  EXPECT_EQ(MFD_XmlAttributes_GetLength(attributes, &count), MFD_OK);
  for (int i = 0; i < count; ++i) {
    const wchar_t *name, *value;
    int nameLength, valueLength;
    EXPECT_EQ(MFD_XmlAttributes_GetQName(attributes, i, &name, &nameLength), MFD_OK);
    EXPECT_EQ(MFD_XmlAttributes_GetValue(attributes, i, &value, &valueLength), MFD_OK);
    e += L" " + std::wstring(name, nameLength) + L"=" + std::wstring(value, valueLength);
  }
  const wchar_t* none;
  int n;
  EXPECT_EQ(MFD_XmlAttributes_GetValue(attributes, count, &none, &n), MFD_ERR_VALUE);
  EXPECT_EQ(MFD_XmlAttributes_GetLength(attributes, nullptr), MFD_ERR_ABSENT);
  Of(user).attributes = attributes;
  MFD_XmlLocator_GetLine(Of(user).locator, &Of(user).line);
  MFD_XmlLocator_GetColumn(Of(user).locator, &Of(user).column);
  return Of(user).Note(e);
}

int OnEnd(const wchar_t* uri, int, const wchar_t* local, int, const wchar_t* q, int, void* user) {
  return Of(user).Note(L"end {" + std::wstring(uri) + L"}" + local + L" " + q);
}

int OnStartDocument(void* user) { return Of(user).Note(L"startDocument"); }
int OnEndDocument(void* user) { return Of(user).Note(L"endDocument"); }
int OnLocator(MFD_XmlLocatorCell* cell, void* user) {
  Of(user).locator = cell;
  return Of(user).Note(L"locator");
}
int OnFatal(const wchar_t* message, MFD_XmlLocatorCell* cell, void* user) {
  MFD_XmlLocator_GetLine(cell, &Of(user).line);
  return Of(user).Note(L"fatal " + std::wstring(message));
}

const MFD_XmlContentTable kContent = {OnCharacters, OnStart,         OnEnd,    nullptr,
                                      OnStartDocument, OnEndDocument, OnLocator};
const MFD_XmlErrorTable kErrors = {OnFatal, OnFatal, OnFatal};

class XmlHandlerTest : public qv::test::DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    balance_ = MFD_MallocCount() - MFD_FreeCount();
    ASSERT_EQ(MFD_XmlReader_Create(&reader), MFD_OK);
    ASSERT_EQ(MFD_XmlReader_SetUserData(reader, &seen), MFD_OK);
    ASSERT_EQ(MFD_XmlReader_SetContentHandler(reader, &kContent), MFD_OK);
    ASSERT_EQ(MFD_XmlReader_SetErrorHandler(reader, &kErrors), MFD_OK);
  }
  void TearDown() override {
    // The order the parser follows: null tables and data, then free.
    EXPECT_EQ(MFD_XmlReader_SetContentHandler(reader, nullptr), MFD_OK);
    EXPECT_EQ(MFD_XmlReader_SetErrorHandler(reader, nullptr), MFD_OK);
    EXPECT_EQ(MFD_XmlReader_SetUserData(reader, nullptr), MFD_OK);
    EXPECT_EQ(MFD_XmlReader_Free(&reader), MFD_OK);
    EXPECT_EQ(reader, nullptr);
    EXPECT_EQ(MFD_MallocCount() - MFD_FreeCount(), balance_);
    MFD_FailAllocationAfter(-1);
    DeviceRootTest::TearDown();
  }

  MFD_XmlReader* reader = nullptr;
  Seen seen;

 private:
  long balance_ = 0;
};

TEST_F(XmlHandlerTest, EventsReachTheTableInOrder) {
  ASSERT_EQ(MFD_XmlReader_ParseMemory(reader, "<rss version=\"2.0\">\n <channel>ab&amp;c</channel></rss>"), MFD_OK);
  // Adjacent character data comes whole, in one call.
  std::vector<std::wstring> want = {L"locator",    L"startDocument",          L"start {}rss rss version=2.0",
                                    L"characters", L"start {}channel channel", L"characters",
                                    L"end {}channel channel",                 L"end {}rss rss",
                                    L"endDocument"};
  EXPECT_EQ(seen.events, want);
  EXPECT_EQ(seen.text, L"\n ab&c");
  EXPECT_EQ(seen.line, 2);  // of the channel element
  EXPECT_GT(seen.column, 1);
  // The attribute list belongs to its start-element call only.
  int count = 0;
  EXPECT_EQ(MFD_XmlAttributes_GetLength(seen.attributes, &count), MFD_ERR_PARAM);
}

TEST_F(XmlHandlerTest, NamespacesAndDeclarationsAsTheVersionDetectionReadsThem) {
  ASSERT_EQ(MFD_XmlReader_ParseMemory(reader,
                                      "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
                                      "xmlns=\"http://purl.org/rss/1.0/\"><channel/></rdf:RDF>"),
            MFD_OK);
  EXPECT_EQ(seen.events[2],
            L"start {http://www.w3.org/1999/02/22-rdf-syntax-ns#}RDF rdf:RDF "
            L"xmlns:rdf=http://www.w3.org/1999/02/22-rdf-syntax-ns# xmlns=http://purl.org/rss/1.0/");
  EXPECT_EQ(seen.events[3], L"start {http://purl.org/rss/1.0/}channel channel");
}

TEST_F(XmlHandlerTest, NullSlotsAreSkipped) {
  static const MFD_XmlContentTable kOnlyText = {OnCharacters, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  ASSERT_EQ(MFD_XmlReader_SetContentHandler(reader, &kOnlyText), MFD_OK);
  ASSERT_EQ(MFD_XmlReader_ParseMemory(reader, "<a>x<b>y</b></a>"), MFD_OK);
  EXPECT_EQ(seen.text, L"xy");
  EXPECT_EQ(seen.events, (std::vector<std::wstring>{L"characters", L"characters"}));
  static const MFD_XmlErrorTable kNoErrors = {nullptr, nullptr, nullptr};
  ASSERT_EQ(MFD_XmlReader_SetErrorHandler(reader, &kNoErrors), MFD_OK);
  EXPECT_EQ(MFD_XmlReader_ParseMemory(reader, "<a>"), MFD_ERR_PARAM);  // reported nowhere, still a failure
}

TEST_F(XmlHandlerTest, ACallbackFailureStopsTheParse) {
  seen.failAt = 2;  // the root's start
  EXPECT_EQ(MFD_XmlReader_ParseMemory(reader, "<a><b/></a>"), MFD_ERR_ABORTED);
  EXPECT_EQ(seen.events.size(), 3u);
}

TEST_F(XmlHandlerTest, MalformedDocumentsReachTheErrorTable) {
  EXPECT_EQ(MFD_XmlReader_ParseMemory(reader, "<a>\n\n<b></a>"), MFD_ERR_PARAM);
  ASSERT_FALSE(seen.events.empty());
  EXPECT_EQ(seen.events.back().rfind(L"fatal ", 0), 0u);
  EXPECT_EQ(seen.line, 3);
}

std::string Utf16(const std::wstring& text, bool bigEndian, bool mark) {
  std::string out;
  auto put = [&](unsigned u) {
    char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  };
  if (mark) put(0xFEFF);
  for (wchar_t c : text) put(static_cast<unsigned>(c));
  put(0);  // the terminating unit
  return out;
}

TEST_F(XmlHandlerTest, MemoryDocumentsInUtf16WithAndWithoutAMark) {
  const std::wstring doc = L"<a>日本</a>";
  EXPECT_EQ(MFD_XmlReader_ParseMemory(reader, Utf16(doc, false, false).data()), MFD_OK);
  EXPECT_EQ(seen.text, L"日本");
  seen.text.clear();
  EXPECT_EQ(MFD_XmlReader_ParseMemory(reader, Utf16(doc, true, false).data()), MFD_OK);
  EXPECT_EQ(seen.text, L"日本");
  seen.text.clear();
  EXPECT_EQ(MFD_XmlReader_ParseMemory(reader, Utf16(doc, false, true).data()), MFD_OK);
  EXPECT_EQ(seen.text, L"日本");
  seen.text.clear();
  EXPECT_EQ(MFD_XmlReader_ParseMemory(reader, "<a>\xE6\x97\xA5</a>"), MFD_OK);
  EXPECT_EQ(seen.text, L"日");
}

TEST_F(XmlHandlerTest, SizedMemoryIsNeverReadPastItsEnd) {
  // No terminator anywhere: the size alone bounds the reads.
  std::string doc = Utf16(L"<a>x</a>", false, false);
  doc.resize(doc.size() - 2);
  std::vector<char> exact(doc.begin(), doc.end());
  EXPECT_EQ(MFD_XmlReader_ParseBytes(reader, exact.data(), exact.size()), MFD_OK);
  EXPECT_EQ(seen.text, L"x");
  std::vector<char> one(1, '<');
  EXPECT_EQ(MFD_XmlReader_ParseBytes(reader, one.data(), one.size()), MFD_ERR_PARAM);
  EXPECT_EQ(MFD_XmlReader_ParseBytes(reader, nullptr, 0), MFD_ERR_PARAM);
}

TEST_F(XmlHandlerTest, FilesByUrl) {
  WriteHost("feed.xml", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a>\x93\xfa\x96\x7b</a>");
  EXPECT_EQ(MFD_XmlReader_ParseUrl(reader, L"file:///feed.xml"), MFD_OK);
  EXPECT_EQ(seen.text, L"日本");
  EXPECT_EQ(MFD_XmlReader_ParseUrl(reader, L"/missing.xml"), MFD_ERR_NOTFOUND);
  EXPECT_EQ(MFD_XmlReader_ParseUrl(reader, L"/"), MFD_ERR_VALUE);
  EXPECT_EQ(MFD_XmlReader_ParseUrl(reader, nullptr), MFD_ERR_PARAM);
  seen.failAt = static_cast<int>(seen.events.size()) + 1;
  EXPECT_EQ(MFD_XmlReader_ParseUrl(reader, L"/feed.xml"), MFD_ERR_ABORTED);
}

TEST_F(XmlHandlerTest, FeaturesAndArguments) {
  EXPECT_EQ(MFD_XmlReader_SetFeature(reader, L"prohibit-dtd", 1), MFD_OK);
  EXPECT_EQ(MFD_XmlReader_SetFeature(reader, L"no-such-feature", 1), MFD_ERR_VALUE);
  EXPECT_EQ(MFD_XmlReader_SetFeature(reader, L"http://xml.org/sax/features/namespaces", 0), MFD_ERR_PARAM);
  EXPECT_EQ(MFD_XmlReader_ParseMemory(reader, "<!DOCTYPE a><a/>"), MFD_ERR_PARAM);
  EXPECT_EQ(MFD_XmlReader_SetFeature(nullptr, L"prohibit-dtd", 1), MFD_ERR_PARAM);
  EXPECT_EQ(MFD_XmlReader_ParseMemory(nullptr, "<a/>"), MFD_ERR_PARAM);
  EXPECT_EQ(MFD_XmlReader_ParseMemory(reader, nullptr), MFD_ERR_PARAM);
  EXPECT_EQ(MFD_XmlLocator_GetLine(nullptr, nullptr), MFD_ERR_PARAM);
  MFD_XmlReader* again = reader;
  EXPECT_EQ(MFD_XmlReader_Create(&again), MFD_ERR_PARAM);
}

TEST(XmlReaderCreate, WithoutTheReaderOrMemoryNothingIsLeftBehind) {
  long balance = MFD_MallocCount() - MFD_FreeCount();
  MFD_XmlReader* reader = nullptr;
  qv::seams::SetSaxReaderAvailable(false);
  EXPECT_EQ(MFD_XmlReader_Create(&reader), MFD_ERR_NOINTERFACE);
  qv::seams::SetSaxReaderAvailable(true);
  EXPECT_EQ(reader, nullptr);
  for (long n = 0; n < 6; ++n) {
    MFD_FailAllocationAfter(n);
    int r = MFD_XmlReader_Create(&reader);
    MFD_FailAllocationAfter(-1);
    if (r == MFD_OK) {
      MFD_XmlReader_Free(&reader);
      continue;
    }
    EXPECT_EQ(r, MFD_ERR_PARAM);
    EXPECT_EQ(reader, nullptr);
  }
  EXPECT_EQ(MFD_MallocCount() - MFD_FreeCount(), balance);
  // COM was undone every time: a thread that never initialised cannot create.
  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_ISAXXMLReader, &object),
            CO_E_NOTINITIALIZED);
  EXPECT_EQ(MFD_XmlReader_Free(nullptr), MFD_ERR_PARAM);
}

}  // namespace
