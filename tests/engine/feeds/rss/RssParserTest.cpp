// Parsing feeds: version detection, RSS 0.90 and 0.91 documents to their
// exact fields (Japanese text in UTF-8 and Shift_JIS), malformed feeds and
// their error messages, failing allocations and hostile documents.
#include <gtest/gtest.h>

#include <string>

#include "engine/feeds/src/mfd_rsshandler.h"
#include "tests/engine/feeds/rss/RssTestSupport.h"
#include "tests/support/DeviceRootFixture.h"

using rsstest::Outstanding;
using rsstest::Parsed;
using rsstest::Text;

namespace {

// A news channel of a Japanese site, with every element RSS 0.91 knows.
const char kRss091[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<rss version=\"0.91\">\n"
    " <channel>\n"
    "  <title>日本語のニュース</title>\n"
    "  <link>http://news.example.jp/</link>\n"
    "  <description>毎日の話題</description>\n"
    "  <language>ja</language>\n"
    "  <copyright>(c) 2026 例</copyright>\n"
    "  <managingEditor>editor@example.jp</managingEditor>\n"
    "  <webMaster>web@example.jp</webMaster>\n"
    "  <pubDate>Tue, 08 Dec 2026 09:00:00 +0900</pubDate>\n"
    "  <lastBuildDate>Tue, 08 Dec 2026 10:00:00 +0900</lastBuildDate>\n"
    "  <docs>http://example.jp/docs</docs>\n"
    "  <rating>none</rating>\n"
    "  <image><title>ロゴ</title><url>http://news.example.jp/logo.gif</url>"
    "<link>http://news.example.jp/</link><width>88</width><height>31</height>"
    "<description>画像</description></image>\n"
    "  <textinput><title>検索</title><description>記事を探す</description><name>q</name>"
    "<link>http://news.example.jp/search</link></textinput>\n"
    "  <skipHours><hour>1</hour><hour>2</hour></skipHours>\n"
    "  <skipDays><day>Saturday</day><day>Feiertag</day><day>Sunday</day></skipDays>\n"
    "  <item><title>新着記事</title><link>http://news.example.jp/1</link>"
    "<description>説明です</description></item>\n"
    "  <item><title>二番目<title>入れ子</title></title><link>http://news.example.jp/2</link></item>\n"
    " </channel>\n"
    "</rss>\n";

// A Shift_JIS feed: 日本語のニュース, 新着記事, 説明です.
const char kRss091Sjis[] =
    "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>"
    "<rss version=\"0.91\"><channel><title>\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x6A\x83\x85\x81\x5B\x83\x58</title>"
    "<item><title>\x90\x56\x92\x85\x8B\x4C\x8E\x96</title><description>\x90\xE0\x96\xBE\x82\xC5\x82\xB7</description>"
    "</item></channel></rss>";

const char kRss090[] =
    "<?xml version=\"1.0\"?>\n"
    "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
    "xmlns=\"http://my.netscape.com/rdf/simple/0.9/\">\n"
    " <channel><title>古い形式</title><link>http://old.example.jp/</link>"
    "<description>RSS 0.90 の例</description></channel>\n"
    " <image><title>ロゴ</title><url>http://old.example.jp/i.gif</url><link>http://old.example.jp/</link></image>\n"
    " <item><title>一つ目</title><link>http://old.example.jp/a</link></item>\n"
    " <item><title>二つ目</title><link>http://old.example.jp/b</link></item>\n"
    " <textinput><title>探す</title><description>語句</description><name>w</name>"
    "<link>http://old.example.jp/s</link></textinput>\n"
    "</rdf:RDF>\n";

class RssParserTest : public qv::test::DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    before_ = Outstanding();
  }
  void TearDown() override {
    MFD_FailAllocationAfter(-1);
    MFD_RssChannel_FreeTemplate();
    EXPECT_EQ(Outstanding(), before_) << "allocations left behind";
    DeviceRootTest::TearDown();
  }
  long before_ = 0;
};

std::wstring SkipText(MFD_Vector* v, long i) {
  return Text(static_cast<wchar_t*>(MFD_Vector_Get(v, i, 0, nullptr)));
}

TEST_F(RssParserTest, Rss091FillsEveryFieldItKnows) {
  Parsed p(kRss091);
  ASSERT_EQ(p.result, MFD_OK);
  EXPECT_EQ(p.Version(), MFD_RSS_091);
  EXPECT_TRUE(p.Errors().empty());
  ASSERT_EQ(MFD_List_Count(p.doc->channels), 1u);
  MFD_RssChannel* ch = p.Channel();
  EXPECT_EQ(Text(ch->title), L"日本語のニュース");
  EXPECT_EQ(Text(ch->link), L"http://news.example.jp/");
  EXPECT_EQ(Text(ch->description), L"毎日の話題");
  EXPECT_EQ(Text(ch->language), L"ja");
  EXPECT_EQ(Text(ch->copyright), L"(c) 2026 例");
  EXPECT_EQ(Text(ch->managingEditor), L"editor@example.jp");
  EXPECT_EQ(Text(ch->webMaster), L"web@example.jp");
  EXPECT_EQ(Text(ch->pubDate), L"Tue, 08 Dec 2026 09:00:00 +0900");
  EXPECT_EQ(Text(ch->lastBuildDate), L"Tue, 08 Dec 2026 10:00:00 +0900");
  EXPECT_EQ(Text(ch->docs), L"http://example.jp/docs");
  EXPECT_EQ(Text(ch->rating), L"none");
  ASSERT_NE(ch->image, nullptr);
  EXPECT_EQ(Text(ch->image->title), L"ロゴ");
  EXPECT_EQ(Text(ch->image->url), L"http://news.example.jp/logo.gif");
  EXPECT_EQ(Text(ch->image->link), L"http://news.example.jp/");
  EXPECT_EQ(Text(ch->image->width), L"88");
  EXPECT_EQ(Text(ch->image->height), L"31");
  EXPECT_EQ(Text(ch->image->description), L"画像");
  ASSERT_NE(ch->textInput, nullptr);
  EXPECT_EQ(Text(ch->textInput->title), L"検索");
  EXPECT_EQ(Text(ch->textInput->description), L"記事を探す");
  EXPECT_EQ(Text(ch->textInput->name), L"q");
  EXPECT_EQ(Text(ch->textInput->link), L"http://news.example.jp/search");
  ASSERT_EQ(MFD_Vector_Count(ch->skipHours), 2u);
  EXPECT_EQ(SkipText(ch->skipHours, 1), L"2");
  ASSERT_EQ(MFD_Vector_Count(ch->skipDays), 2u);  // "Feiertag" is no day name
  EXPECT_EQ(SkipText(ch->skipDays, 0), L"Saturday");
  EXPECT_EQ(SkipText(ch->skipDays, 1), L"Sunday");

  ASSERT_EQ(p.ItemCount(), 2u);
  EXPECT_EQ(Text(p.Item(0)->title), L"新着記事");
  EXPECT_EQ(Text(p.Item(0)->link), L"http://news.example.jp/1");
  EXPECT_EQ(Text(p.Item(0)->description), L"説明です");
  // The nested title is a second-level leaf: its text is not taken.
  EXPECT_EQ(Text(p.Item(1)->title), L"二番目");
  EXPECT_EQ(p.Item(1)->description, nullptr);
}

TEST_F(RssParserTest, ShiftJisFeedReadsAsTheSameText) {
  Parsed p(kRss091Sjis);
  ASSERT_EQ(p.result, MFD_OK);
  EXPECT_EQ(Text(p.Channel()->title), L"日本語のニュース");
  ASSERT_EQ(p.ItemCount(), 1u);
  EXPECT_EQ(Text(p.Item(0)->title), L"新着記事");
  EXPECT_EQ(Text(p.Item(0)->description), L"説明です");
}

TEST_F(RssParserTest, Rss090ItemsBesideTheChannelJoinIt) {
  Parsed p(kRss090);
  ASSERT_EQ(p.result, MFD_OK);
  EXPECT_EQ(p.Version(), MFD_RSS_090);
  MFD_RssChannel* ch = p.Channel();
  ASSERT_NE(ch, nullptr);
  EXPECT_EQ(Text(ch->title), L"古い形式");
  EXPECT_EQ(Text(ch->link), L"http://old.example.jp/");
  EXPECT_EQ(Text(ch->description), L"RSS 0.90 の例");
  EXPECT_EQ(Text(ch->image->title), L"ロゴ");
  EXPECT_EQ(Text(ch->image->url), L"http://old.example.jp/i.gif");
  EXPECT_EQ(Text(ch->image->link), L"http://old.example.jp/");
  EXPECT_EQ(Text(ch->textInput->title), L"探す");
  EXPECT_EQ(Text(ch->textInput->description), L"語句");
  EXPECT_EQ(Text(ch->textInput->name), L"w");
  EXPECT_EQ(Text(ch->textInput->link), L"http://old.example.jp/s");
  ASSERT_EQ(p.ItemCount(), 2u);
  EXPECT_EQ(Text(p.Item(0)->title), L"一つ目");
  EXPECT_EQ(Text(p.Item(1)->link), L"http://old.example.jp/b");
}

TEST_F(RssParserTest, Rss200FillsAttributesItemImagesAndCategories) {
  Parsed p(
      "<rss version=\"2.0\" xmlns:cs=\"http://www.norvale.co.jp/2005/csd/1.0/\"><channel>"
      "<title>二・〇</title><category domain=\"http://cat.example.jp/\">技術</category>"
      "<cloud domain=\"rpc.example.jp\" port=\"80\" path=\"/RPC2\" registerProcedure=\"notify\" protocol=\"xml-rpc\"/>"
      "<ttl>60</ttl><generator>gen</generator><pubDate>Mon, 07 Dec 2026</pubDate>"
      "<cs:channelset about=\"http://set.example.jp/\"/>"
      "<image><url>http://example.jp/c.png</url><title>ch</title></image>"
      "<item><title>記事</title><author>a@example.jp</author><category domain=\"d\">分類</category>"
      "<enclosure url=\"http://example.jp/a.mp3\" length=\"12345\" type=\"audio/mpeg\"/>"
      "<guid isPermaLink=\"false\">id-1</guid><source url=\"http://src.example.jp/\">元</source>"
      "<comments>http://example.jp/c</comments><cinst>x</cinst><pubDate>Tue, 08 Dec 2026</pubDate>"
      "<image><url>http://example.jp/i.png</url><width>10</width><height>20</height><title>it</title></image>"
      "</item></channel></rss>");
  ASSERT_EQ(p.result, MFD_OK);
  EXPECT_EQ(p.Version(), MFD_RSS_200);
  MFD_RssChannel* ch = p.Channel();
  EXPECT_EQ(Text(ch->title), L"二・〇");
  EXPECT_EQ(Text(ch->category), L"技術");
  EXPECT_EQ(Text(ch->categoryDomain), L"http://cat.example.jp/");
  EXPECT_EQ(Text(ch->cloudDomain), L"rpc.example.jp");
  EXPECT_EQ(Text(ch->cloudPort), L"80");
  EXPECT_EQ(Text(ch->cloudPath), L"/RPC2");
  EXPECT_EQ(Text(ch->cloudRegisterProcedure), L"notify");
  EXPECT_EQ(Text(ch->cloudProtocol), L"xml-rpc");
  EXPECT_EQ(Text(ch->ttl), L"60");
  EXPECT_EQ(Text(ch->generator), L"gen");
  EXPECT_EQ(Text(ch->pubDate), L"Mon, 07 Dec 2026");
  EXPECT_EQ(Text(ch->about), L"http://set.example.jp/");
  EXPECT_EQ(Text(ch->image->url), L"http://example.jp/c.png");
  EXPECT_EQ(Text(ch->image->title), L"ch");
  ASSERT_EQ(p.ItemCount(), 1u);
  MFD_RssChannelItem* it = p.Item(0);
  EXPECT_EQ(Text(it->title), L"記事");
  EXPECT_EQ(Text(it->author), L"a@example.jp");
  EXPECT_EQ(Text(it->category), L"分類");
  EXPECT_EQ(Text(it->categoryDomain), L"d");
  EXPECT_EQ(Text(it->enclosureUrl), L"http://example.jp/a.mp3");
  EXPECT_EQ(Text(it->enclosureLength), L"12345");
  EXPECT_EQ(Text(it->enclosureType), L"audio/mpeg");
  EXPECT_EQ(Text(it->guid), L"id-1");
  EXPECT_EQ(Text(it->isPermaLink), L"false");
  EXPECT_EQ(Text(it->source), L"元");
  EXPECT_EQ(Text(it->sourceUrl), L"http://src.example.jp/");
  EXPECT_EQ(Text(it->comments), L"http://example.jp/c");
  EXPECT_EQ(Text(it->cinst), L"x");
  EXPECT_EQ(Text(it->pubDate), L"Tue, 08 Dec 2026");
  ASSERT_NE(it->image, nullptr);
  EXPECT_EQ(Text(it->image->url), L"http://example.jp/i.png");
  EXPECT_EQ(Text(it->image->width), L"10");
  EXPECT_EQ(Text(it->image->height), L"20");
  EXPECT_EQ(Text(it->image->title), L"it");
  EXPECT_EQ(Text(ch->image->url), L"http://example.jp/c.png");  // the channel's image is untouched

  // A declared default namespace takes the elements out of the version's own.
  Parsed other("<rss version=\"2.0\" xmlns=\"http://other.example/\"><channel><title>t</title>"
               "<item><title>i</title></item></channel></rss>");
  ASSERT_EQ(other.result, MFD_OK);
  EXPECT_EQ(other.Channel()->title, nullptr);
  EXPECT_EQ(other.ItemCount(), 0u);
}

TEST_F(RssParserTest, Rss100FillsDublinCoreAndSyndication) {
  Parsed p(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
      "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xmlns=\"http://purl.org/rss/1.0/\" "
      "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:sy=\"http://purl.org/rss/1.0/modules/syndication/\">"
      "<channel rdf:about=\"http://example.jp/rss\"><title>一・〇</title><link>http://example.jp/</link>"
      "<description>説明</description><dc:date>2026-12-08</dc:date><dc:creator>編集部</dc:creator>"
      "<sy:updatePeriod>fortnightly</sy:updatePeriod><sy:updateFrequency>2</sy:updateFrequency>"
      "<items><rdf:Seq><rdf:li rdf:resource=\"http://example.jp/1\"/></rdf:Seq><title>not the channel's</title></items>"
      "</channel>"
      "<item rdf:about=\"http://example.jp/1\"><title>記事</title><link>http://example.jp/1</link>"
      "<description>本文</description><dc:date>2026-12-07</dc:date></item>"
      "</rdf:RDF>");
  ASSERT_EQ(p.result, MFD_OK);
  EXPECT_EQ(p.Version(), MFD_RSS_100);
  MFD_RssChannel* ch = p.Channel();
  EXPECT_EQ(Text(ch->about), L"http://example.jp/rss");
  EXPECT_EQ(Text(ch->title), L"一・〇");
  EXPECT_EQ(Text(ch->link), L"http://example.jp/");
  EXPECT_EQ(Text(ch->description), L"説明");
  ASSERT_NE(ch->dublinCore, nullptr);
  EXPECT_EQ(Text(ch->dublinCore->date), L"2026-12-08");
  EXPECT_EQ(Text(ch->dublinCore->creator), L"編集部");
  ASSERT_NE(ch->syndication, nullptr);
  EXPECT_EQ(ch->syndication->updatePeriod, nullptr);  // not one of the five periods
  EXPECT_EQ(Text(ch->syndication->updateFrequency), L"2");
  ASSERT_EQ(p.ItemCount(), 1u);
  MFD_RssChannelItem* it = p.Item(0);
  EXPECT_EQ(Text(it->title), L"記事");
  EXPECT_EQ(Text(it->description), L"本文");
  ASSERT_NE(it->dublinCore, nullptr);
  EXPECT_EQ(Text(it->dublinCore->date), L"2026-12-07");
}

TEST_F(RssParserTest, FeedFileIsReadThroughItsUrl) {
  WriteHost("feed.xml", kRss091Sjis);
  MFD_Url* url = nullptr;
  ASSERT_EQ(MFD_Url_Create(&url), MFD_OK);
  ASSERT_EQ(MFD_Url_SetUrl(url, L"http://news.example.jp/feed.xml"), MFD_OK);
  MFD_RssDocument* doc = nullptr;
  MFD_RssDocument_Create(&doc);
  EXPECT_EQ(MFD_RssDocument_ParseFile(doc, url), MFD_OK);
  ASSERT_NE(doc->channels, nullptr);
  EXPECT_EQ(Text((*static_cast<MFD_RssChannel**>(MFD_List_GetFirst(doc->channels)))->title), L"日本語のニュース");
  MFD_RssDocument_Free(&doc);
  MFD_Url_Free(&url);

  MFD_RssDocument_Create(&doc);
  MFD_Url* none = nullptr;
  MFD_Url_Create(&none);  // no path
  EXPECT_EQ(MFD_RssDocument_ParseFile(doc, none), MFD_ERR_PARAM);
  MFD_RssError* e = nullptr;
  ASSERT_EQ(MFD_RssDocument_PopError(doc, &e), MFD_OK);
  EXPECT_EQ(Text(e->message), L"invalid url path: ");
  MFD_RssError_Free(&e);
  MFD_Url_Free(&none);
  MFD_RssDocument_Free(&doc);
}

TEST_F(RssParserTest, TextSplitByTheReaderArrivesWholeAndBlankTextIsDropped) {
  // The reader splits text at line ends and at entity and character
  // references; the handlers must still see each text whole.
  Parsed p("<rss version=\"2.0\"><channel><title>first line\nsecond line</title>"
           "<description>&lt;a&gt; &lt;b&gt;</description><link>x &amp; y</link>"
           "<copyright>a&#32;b&#10;c\r\nd</copyright><language> \n\t</language>"
           "<item><title>one\n two</title><description><![CDATA[<p>]]> &amp;\n<![CDATA[</p>]]></description>"
           "</item></channel></rss>");
  ASSERT_EQ(p.result, MFD_OK);
  EXPECT_EQ(Text(p.Channel()->title), L"first line\nsecond line");
  EXPECT_EQ(Text(p.Channel()->description), L"<a> <b>");
  EXPECT_EQ(Text(p.Channel()->link), L"x & y");
  EXPECT_EQ(Text(p.Channel()->copyright), L"a b\nc\nd");
  EXPECT_EQ(Text(p.Channel()->language), L"<null>");
  ASSERT_NE(p.Item(0), nullptr);
  EXPECT_EQ(Text(p.Item(0)->title), L"one\n two");
  EXPECT_EQ(Text(p.Item(0)->description), L"<p> &\n</p>");
}

TEST_F(RssParserTest, UnknownVersionsFailWithVersionErrors) {
  Parsed p("<rss version=\"0.92\"><channel><title>t</title></channel></rss>");
  EXPECT_EQ(p.result, MFD_ERR_NOMEM);
  EXPECT_EQ(p.Version(), MFD_RSS_PENDING);
  ASSERT_NE(p.Channel(), nullptr);  // only the empty channel of the document start
  EXPECT_EQ(p.Channel()->title, nullptr);
  auto errors = p.Errors();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0], L"1:21 defaultStartElement: version error (no namespace): channel");
  EXPECT_EQ(errors[1].substr(errors[1].find(L' ')), L" defaultStartElement: version error (no namespace): title");

  Parsed csd("<csd xmlns=\"http://elsewhere.example/\"/>");
  EXPECT_EQ(csd.result, MFD_ERR_NOMEM);
  errors = csd.Errors();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_NE(errors[0].find(L"defaultStartElement: version error: csd"), std::wstring::npos);
  EXPECT_NE(errors[1].find(L"defaultStartElement: version error: http://elsewhere.example/"), std::wstring::npos);

  Parsed plain("<feed><entry/></feed>");
  EXPECT_EQ(plain.result, MFD_ERR_NOMEM);
  EXPECT_EQ(plain.Version(), MFD_RSS_UNKNOWN);
}

TEST_F(RssParserTest, UndeclaredPrefixFailsTheParseButKeepsClosedItems) {
  // The reader refuses such a name itself.
  Parsed p("<rss version=\"0.91\"><channel><item><x:title>lost</x:title></item></channel></rss>");
  EXPECT_EQ(p.result, MFD_ERR_NOMEM);
  auto errors = p.Errors();
  ASSERT_FALSE(errors.empty());
  EXPECT_NE(errors[0].find(L"fatalError: "), std::wstring::npos);

  // The handlers refuse it too, when a reader lets it through.
  MFD_RssDocument* doc = nullptr;
  MFD_RssDocument_Create(&doc);
  MFD_RssParser* ctx = nullptr;
  ASSERT_EQ(MFD_RssParser_Create(&ctx, doc), MFD_OK);
  const MFD_XmlContentTable& t = ctx->handler->content;
  t.startDocument(ctx);
  EXPECT_EQ(t.startElement(L"", 0, L"rss", 3, L"rss", 3, nullptr, ctx), 0);
  EXPECT_EQ(doc->version, MFD_RSS_PENDING);  // no version attribute
  ASSERT_EQ(MFD_RssParser_InstallVersion(ctx, MFD_RSS_091), MFD_OK);
  ASSERT_EQ(MFD_RssHandler_SetVersion(ctx->handler, MFD_RSS_091), MFD_OK);
  auto start = [&](const wchar_t* q) { t.startElement(L"", 0, q, 0, q, 0, nullptr, ctx); };
  auto end = [&](const wchar_t* q) { t.endElement(L"", 0, q, 0, q, 0, ctx); };
  auto text = [&](const wchar_t* s) { t.characters(s, 0, -1, ctx); };
  start(L"rss"), start(L"channel"), start(L"item"), start(L"title"), text(L"kept"), end(L"title"), end(L"item");
  start(L"item"), start(L"x:title");
  EXPECT_EQ(ctx->error, 1);
  text(L"lost"), end(L"x:title"), end(L"item"), end(L"channel"), end(L"rss");
  t.endDocument(ctx);
  MFD_RssParser_Free(&ctx);
  MFD_RssError* e = nullptr;
  std::vector<std::wstring> messages;
  while (MFD_RssDocument_PopError(doc, &e) == MFD_OK) {
    messages.push_back(Text(e->message));
    MFD_RssError_Free(&e);
  }
  ASSERT_GE(messages.size(), 3u);
  EXPECT_EQ(messages[0], L"startElement (namespace error): no namespace matched");
  EXPECT_EQ(messages[1], L"endElement (namespace error): element name has unknown namespace prefix.");
  EXPECT_EQ(messages[2], L"endElement (parse error): item");
  // End elements still run: both items are committed.
  MFD_RssChannel* ch = *static_cast<MFD_RssChannel**>(MFD_List_GetFirst(doc->channels));
  ASSERT_EQ(MFD_List_Count(ch->items), 2u);
  EXPECT_EQ(Text((*static_cast<MFD_RssChannelItem**>(MFD_List_GetFirst(ch->items)))->title), L"kept");
  EXPECT_EQ((*static_cast<MFD_RssChannelItem**>(MFD_List_GetLast(ch->items)))->title, nullptr);
  MFD_RssDocument_Free(&doc);
}

TEST_F(RssParserTest, MalformedXmlQueuesTheReadersErrorWithPosition) {
  Parsed p("<rss version=\"0.91\"><channel><item><title>t</title></item>\n<item><title>broken</item>");
  EXPECT_NE(p.result, MFD_OK);
  auto errors = p.Errors();
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0].rfind(L"2:", 0), 0u) << errors[0];
  EXPECT_NE(errors[0].find(L"fatalError: "), std::wstring::npos);
}

TEST_F(RssParserTest, NamespacedDocumentStillResolvesPlainElements) {
  // A declaration of another prefix on the root leaves unprefixed elements
  // in the version's own namespace.
  Parsed p("<rss version=\"0.91\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><channel><title>t</title>"
           "<dc:creator>c</dc:creator><item><title>i</title></item></channel></rss>");
  ASSERT_EQ(p.result, MFD_OK);
  EXPECT_EQ(Text(p.Channel()->title), L"t");
  ASSERT_EQ(p.ItemCount(), 1u);
  EXPECT_EQ(Text(p.Item(0)->title), L"i");
}

TEST_F(RssParserTest, EveryFailingAllocationEndsCleanly) {
  int failed = 0;
  for (long n = 0; n < 5000; ++n) {
    MFD_FailAllocationAfter(n);
    int result;
    {
      Parsed p(kRss091);
      result = p.result;
      MFD_FailAllocationAfter(-1);
      p.Errors();
    }
    MFD_RssChannel_FreeTemplate();
    EXPECT_EQ(Outstanding(), before_) << "after failing allocation " << n;
    if (result == MFD_OK && n > 50) break;
    if (result != MFD_OK) ++failed;
  }
  EXPECT_GT(failed, 20);
}

// Everything a parse stored, for comparing two parses.
std::wstring Contents(const Parsed& p) {
  std::wstring out;
  MFD_RssChannel* ch = p.Channel();
  if (ch == nullptr) return out;
#define MFD_TEST_TEXT(Name, member) out += Text(ch->member) + L'|';
  MFD_RSSCHANNEL_TEXTS(MFD_TEST_TEXT)
#undef MFD_TEST_TEXT
  for (uint32_t i = 0; i < p.ItemCount(); ++i) {
    MFD_RssChannelItem* it = p.Item(i);
#define MFD_TEST_TEXT(Name, member) out += Text(it->member) + L'|';
    MFD_RSSCHANNELITEM_TEXTS(MFD_TEST_TEXT)
#undef MFD_TEST_TEXT
  }
  out += std::to_wstring(MFD_Vector_Count(ch->skipHours)) + L"," + std::to_wstring(MFD_Vector_Count(ch->skipDays));
  return out;
}

TEST_F(RssParserTest, AParseThatRanOutOfMemorySaysSo) {
  // The handlers go on past a field they could not store, but the parse
  // never reports success with a field missing.
  std::wstring whole;
  {
    Parsed p(kRss091);
    ASSERT_EQ(p.result, MFD_OK);
    whole = Contents(p);
  }
  int complete = 0;
  for (long n = 0; n < 400; ++n) {
    MFD_FailAllocationAfter(n);
    Parsed p(kRss091);
    MFD_FailAllocationAfter(-1);
    if (p.result != MFD_OK) continue;
    EXPECT_EQ(Contents(p), whole) << "after failing allocation " << n;
    ++complete;
  }
  EXPECT_GT(complete, 0);  // the parse needs fewer allocations than tried
}

TEST_F(RssParserTest, ThousandsOfItemsAreAllKept) {
  std::string feed = "<rss version=\"0.91\"><channel><title>many</title>";
  for (int i = 0; i < 5000; ++i) feed += "<item><title>" + std::to_string(i) + "</title></item>";
  feed += "</channel></rss>";
  Parsed p(feed);
  ASSERT_EQ(p.result, MFD_OK);
  ASSERT_EQ(p.ItemCount(), 5000u);
  EXPECT_EQ(Text(p.Item(4999)->title), L"4999");
}

TEST_F(RssParserTest, HugeTextIsCutAtTheElementLimit) {
  std::string big(3 * kMfdMaxElementText, 'A');
  for (size_t i = 1000; i < big.size(); i += 1000) big[i] = '\n';  // many chunks
  Parsed p("<rss version=\"0.91\"><channel><description>" + big + "</description><title>after</title></channel></rss>");
  ASSERT_EQ(p.result, MFD_OK);
  EXPECT_EQ(MFD_WStr_Length(p.Channel()->description), kMfdMaxElementText);
  EXPECT_EQ(Text(p.Channel()->title), L"after");
}

TEST_F(RssParserTest, DeepNestingAndErrorFloodsStayBounded) {
  std::string deep = "<rss version=\"0.91\"><channel>";
  for (int i = 0; i < 20000; ++i) deep += "<title>";
  Parsed p(deep);
  EXPECT_NE(p.result, MFD_OK);

  std::string flood = "<rss version=\"0.92\"><channel>";
  for (int i = 0; i < 10000; ++i) flood += "<item/>";
  flood += "</channel></rss>";
  Parsed q(flood);
  EXPECT_EQ(q.result, MFD_ERR_NOMEM);
  EXPECT_EQ(q.Errors().size(), static_cast<size_t>(kMfdMaxReports));
}

TEST_F(RssParserTest, HandlerTablesAndReaderReports) {
  MFD_RssHandler* h = nullptr;
  ASSERT_EQ(MFD_RssHandler_Create(&h), MFD_OK);
  EXPECT_EQ(MFD_RssHandler_SetVersion(h, 9), MFD_ERR_PARAM);
  EXPECT_EQ(MFD_RssHandler_SetVersion(h, -1), MFD_ERR_PARAM);
  ASSERT_EQ(MFD_RssHandler_SetVersion(h, 0), MFD_OK);
  MFD_XmlStartElementFn detection = h->content.startElement;
  EXPECT_EQ(MFD_RssHandler_SetVersion(h, 7), MFD_ERR_NOMEM);
  EXPECT_EQ(h->content.startElement, detection);  // unchanged
  ASSERT_EQ(MFD_RssHandler_SetVersion(h, MFD_RSS_200), MFD_OK);
  EXPECT_NE(h->content.startElement, detection);
  EXPECT_EQ(h->content.ignorableWhitespace, nullptr);
  ASSERT_NE(h->errors.warning, nullptr);
  MFD_RssHandler_Free(&h);

  // A reader's warning is queued and does not fail the parse.
  MFD_RssDocument* doc = nullptr;
  MFD_RssDocument_Create(&doc);
  MFD_RssParser* ctx = nullptr;
  ASSERT_EQ(MFD_RssParser_Create(&ctx, doc), MFD_OK);
  EXPECT_EQ(ctx->handler->errors.warning(L"odd but readable", nullptr, ctx), 0);
  EXPECT_EQ(ctx->error, 0);
  EXPECT_EQ(MFD_RssParser_CommitItem(ctx), MFD_ERR_VALUE);  // no channel, no item
  MFD_RssParser_Free(&ctx);
  MFD_RssError* e = nullptr;
  ASSERT_EQ(MFD_RssDocument_PopError(doc, &e), MFD_OK);
  EXPECT_EQ(Text(e->message), L"warning: odd but readable");
  MFD_RssError_Free(&e);
  MFD_RssDocument_Free(&doc);
}

TEST_F(RssParserTest, Rss090ElementInAnRss100DocumentHandsOverToRss090) {
  Parsed p("<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xmlns=\"http://purl.org/rss/1.0/\">"
           "<channel><title>c</title></channel>"
           "<o:item xmlns:o=\"http://my.netscape.com/rdf/simple/0.9/\"><o:title>old</o:title></o:item>"
           "</rdf:RDF>");
  ASSERT_EQ(p.result, MFD_OK);
  EXPECT_EQ(p.Version(), MFD_RSS_090);
  EXPECT_EQ(Text(p.Channel()->title), L"c");
  ASSERT_EQ(p.ItemCount(), 1u);
  EXPECT_EQ(Text(p.Item(0)->title), L"old");
}

TEST_F(RssParserTest, DeclarationsStopAtTheirBound) {
  std::string root = "<rss version=\"2.0\"";
  for (int i = 0; i < 1000; ++i) root += " xmlns:p" + std::to_string(i) + "=\"urn:" + std::to_string(i) + "\"";
  Parsed p(root + "><channel><title>t</title><p3:x>y</p3:x></channel></rss>");
  ASSERT_EQ(p.result, MFD_OK);
  EXPECT_EQ(Text(p.Channel()->title), L"t");

  MFD_RssDocument* doc = nullptr;
  MFD_RssDocument_Create(&doc);
  MFD_RssParser* ctx = nullptr;
  ASSERT_EQ(MFD_RssParser_Create(&ctx, doc), MFD_OK);
  MFD_Vector* pairs = nullptr;
  MFD_Vector_Create(&pairs);
  for (int i = 0; i < 1000; ++i) {
    std::wstring pair = L"xmlns:p" + std::to_wstring(i) + L'\0' + L"urn:x";
    MFD_Vector_Append(pairs, pair.c_str(), static_cast<uint32_t>((pair.size() + 1) * sizeof(wchar_t)));
  }
  MFD_RssParser_RegisterDeclarations(ctx, pairs, L"rss");
  EXPECT_EQ(MFD_List_Count(ctx->declarations), kMfdMaxDeclarations);
  MFD_Vector_Free(&pairs);
  MFD_RssParser_Free(&ctx);
  MFD_RssDocument_Free(&doc);
}

}  // namespace
