// Channel-set documents of both versions: the set fills the one channel and
// each member channel an item; malformed and hostile documents, and failing
// allocations.
#include <gtest/gtest.h>

#include <string>

#include "engine/feeds/src/mfd_rsshandler.h"
#include "tests/engine/feeds/rss/RssTestSupport.h"
#include "tests/support/DeviceRootFixture.h"

using rsstest::Outstanding;
using rsstest::Parsed;
using rsstest::Text;

namespace {

const char kNs100[] = "http://www.norvale.co.jp/2005/csd/1.0/";
const char kNs200[] = "http://www.norvale.co.jp/2006/csd/2.0/";

std::string Doc(const char* ns, const std::string& body) {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<csd xmlns=\"") + ns +
         "\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
         "xmlns:sy=\"http://purl.org/rss/1.0/modules/syndication/\">\n" +
         body + "</csd>\n";
}

// A portal's channel list with everything the set and its members carry.
const char kFullBody[] =
    " <channelset about=\"http://portal.example.jp/set\">\n"
    "  <title>ポータル</title>\n"
    "  <link>http://portal.example.jp/</link>\n"
    "  <description>おすすめの一覧</description>\n"
    "  <image>http://portal.example.jp/logo.gif</image>\n"
    "  <touch>20261208</touch>\n"
    "  <init ch=\"3\" menu=\"on\"/>\n"
    "  <portalmenu style=\"grid\"><background-img>http://portal.example.jp/bg.png</background-img>"
    "<template>tile</template><touch>not here</touch></portalmenu>\n"
    "  <dc:creator>編集部</dc:creator><dc:date>2026-12-08</dc:date><dc:relation>r</dc:relation>"
    "<dc:type>list</dc:type><dc:identifier>set-1</dc:identifier><dc:subject>dropped</dc:subject>\n"
    "  <sy:updatePeriod>daily</sy:updatePeriod><sy:updateFrequency>2</sy:updateFrequency>"
    "<sy:updateBase>2026-01-01T00:00+09:00</sy:updateBase>\n"
    "  <channels><count>2</count><title>not the set's</title><Seq><li>x</li><count>9</count></Seq></channels>\n"
    " </channelset>\n"
    " <channel class=\"k\">\n"
    "  <title>天気</title><link>http://portal.example.jp/weather</link>\n"
    "  <description>今日の天気</description><accesskey>1</accesskey>\n"
    "  <image>http://portal.example.jp/w.gif</image>\n"
    "  <dc:subject>天気予報</dc:subject><dc:type>news</dc:type><dc:creator>dropped</dc:creator>\n"
    "  <sy:updatePeriod>hourly</sy:updatePeriod>\n"
    " </channel>\n"
    " <channel class=\"k\">\n"
    "  <title>経済</title><link>http://portal.example.jp/economy</link><accesskey>2</accesskey>\n"
    " </channel>\n";

class ChannelSetTest : public qv::test::DeviceRootTest, public ::testing::WithParamInterface<const char*> {
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
  int32_t ExpectedVersion() const {
    return std::string(GetParam()) == kNs200 ? MFD_RSS_CSD_200 : MFD_RSS_CSD_100;
  }
  long before_ = 0;
};

TEST_P(ChannelSetTest, SetFillsTheChannelAndMembersBecomeItems) {
  Parsed p(Doc(GetParam(), kFullBody));
  ASSERT_EQ(p.result, MFD_OK);
  EXPECT_EQ(p.Version(), ExpectedVersion());
  EXPECT_TRUE(p.Errors().empty());
  ASSERT_EQ(MFD_List_Count(p.doc->channels), 1u);
  MFD_RssChannel* ch = p.Channel();
  EXPECT_EQ(Text(ch->about), L"http://portal.example.jp/set");
  EXPECT_EQ(Text(ch->title), L"ポータル");
  EXPECT_EQ(Text(ch->link), L"http://portal.example.jp/");
  EXPECT_EQ(Text(ch->description), L"おすすめの一覧");
  ASSERT_NE(ch->image, nullptr);
  EXPECT_EQ(Text(ch->image->url), L"http://portal.example.jp/logo.gif");
  EXPECT_EQ(ch->image->title, nullptr);
  EXPECT_EQ(Text(ch->touch), L"20261208");  // the one inside portalmenu is not the set's
  EXPECT_EQ(Text(ch->ch), L"3");
  EXPECT_EQ(ch->menu, 1);
  EXPECT_EQ(Text(ch->style), L"grid");
  EXPECT_EQ(Text(ch->backgroundImg), L"http://portal.example.jp/bg.png");
  EXPECT_EQ(Text(ch->templ), L"tile");
  EXPECT_EQ(Text(ch->count), L"2");  // the count inside Seq is not taken
  ASSERT_NE(ch->dublinCore, nullptr);
  EXPECT_EQ(Text(ch->dublinCore->creator), L"編集部");
  EXPECT_EQ(Text(ch->dublinCore->date), L"2026-12-08");
  EXPECT_EQ(Text(ch->dublinCore->relation), L"r");
  EXPECT_EQ(Text(ch->dublinCore->type), L"list");
  EXPECT_EQ(Text(ch->dublinCore->identifier), L"set-1");
  EXPECT_EQ(ch->dublinCore->subject, nullptr);
  ASSERT_NE(ch->syndication, nullptr);
  EXPECT_EQ(Text(ch->syndication->updatePeriod), L"daily");  // a member's is not the set's
  EXPECT_EQ(Text(ch->syndication->updateFrequency), L"2");
  EXPECT_EQ(Text(ch->syndication->updateBase), L"2026-01-01T00:00+09:00");

  ASSERT_EQ(p.ItemCount(), 2u);
  MFD_RssChannelItem* weather = p.Item(0);
  EXPECT_EQ(Text(weather->cls), L"k");
  EXPECT_EQ(Text(weather->title), L"天気");
  EXPECT_EQ(Text(weather->link), L"http://portal.example.jp/weather");
  EXPECT_EQ(Text(weather->description), L"今日の天気");
  ASSERT_NE(weather->channelSet, nullptr);
  EXPECT_EQ(Text(weather->channelSet->accesskey), L"1");
  EXPECT_EQ(Text(weather->channelSet->image), L"http://portal.example.jp/w.gif");
  EXPECT_EQ(weather->image, nullptr);
  ASSERT_NE(weather->dublinCore, nullptr);
  EXPECT_EQ(Text(weather->dublinCore->subject), L"天気予報");
  EXPECT_EQ(Text(weather->dublinCore->type), L"news");
  EXPECT_EQ(weather->dublinCore->creator, nullptr);
  MFD_RssChannelItem* economy = p.Item(1);
  EXPECT_EQ(Text(economy->cls), L"k");
  EXPECT_EQ(Text(economy->title), L"経済");
  EXPECT_EQ(Text(economy->link), L"http://portal.example.jp/economy");
  ASSERT_NE(economy->channelSet, nullptr);
  EXPECT_EQ(Text(economy->channelSet->accesskey), L"2");
  EXPECT_EQ(economy->channelSet->image, nullptr);
  EXPECT_EQ(economy->dublinCore, nullptr);
}

TEST_P(ChannelSetTest, InitTakesOnlyOnAndOffForTheMenu) {
  Parsed off(Doc(GetParam(), "<channelset><init menu=\"off\" ch=\"7\"/></channelset>"));
  ASSERT_EQ(off.result, MFD_OK);
  EXPECT_EQ(off.Channel()->menu, 0);
  EXPECT_EQ(Text(off.Channel()->ch), L"7");

  // A later init with an unknown menu value leaves the earlier one.
  Parsed odd(Doc(GetParam(), "<channelset><init menu=\"on\"/><init menu=\"maybe\" ch=\"4\"/></channelset>"));
  ASSERT_EQ(odd.result, MFD_OK);
  EXPECT_EQ(odd.Channel()->menu, 1);
  EXPECT_EQ(Text(odd.Channel()->ch), L"4");

  // Outside the set, or inside its lists, init and portalmenu change nothing.
  Parsed outside(Doc(GetParam(),
                     "<init ch=\"1\" menu=\"on\"/><portalmenu style=\"s\"><template>t</template></portalmenu>"
                     "<channelset><channels><init ch=\"2\"/><portalmenu style=\"s\"/></channels></channelset>"));
  ASSERT_EQ(outside.result, MFD_OK);
  EXPECT_EQ(outside.Channel()->ch, nullptr);
  EXPECT_EQ(outside.Channel()->menu, 0);
  EXPECT_EQ(outside.Channel()->style, nullptr);
  EXPECT_EQ(outside.Channel()->templ, nullptr);
}

TEST_P(ChannelSetTest, NestedSetAndChannelElementsAreNotMembers) {
  Parsed p(Doc(GetParam(),
               "<channelset about=\"A\"><title>T</title><channel class=\"inner\"/>"
               "<dc:subject>set subject</dc:subject></channelset>"
               "<channel class=\"m\"><title>member</title><channelset about=\"B\"/>"
               "<dc:subject>member subject</dc:subject></channel>"));
  ASSERT_EQ(p.result, MFD_OK);
  MFD_RssChannel* ch = p.Channel();
  EXPECT_EQ(Text(ch->about), L"A");  // the channelset inside the member is not the set
  EXPECT_EQ(Text(ch->title), L"T");
  EXPECT_EQ(ch->dublinCore, nullptr);  // the set takes no subject
  ASSERT_EQ(p.ItemCount(), 1u);  // the channel inside the set is no member
  EXPECT_EQ(Text(p.Item(0)->cls), L"m");
  EXPECT_EQ(Text(p.Item(0)->title), L"member");
  ASSERT_NE(p.Item(0)->dublinCore, nullptr);
  EXPECT_EQ(Text(p.Item(0)->dublinCore->subject), L"member subject");
  EXPECT_EQ(p.Item(0)->channelSet, nullptr);
}

TEST_P(ChannelSetTest, PrefixedElementsAndSplitTextResolveAsTheirOwn) {
  std::string body = std::string("<c:channelset xmlns:c=\"") + GetParam() +
                     "\"><c:title>a&#32;b</c:title><c:image>http://x/</c:image>"
                     "<c:image>http://y/&amp;z</c:image><other xmlns=\"urn:other\"><title>no</title></other>"
                     "</c:channelset>";
  Parsed p(Doc(GetParam(), body));
  ASSERT_EQ(p.result, MFD_OK);
  EXPECT_EQ(Text(p.Channel()->title), L"a b");  // the reference's blank stays: the text arrives whole
  ASSERT_NE(p.Channel()->image, nullptr);
  EXPECT_EQ(Text(p.Channel()->image->url), L"http://y/&z");  // each image replaces the last
}

INSTANTIATE_TEST_SUITE_P(BothVersions, ChannelSetTest, ::testing::Values(kNs100, kNs200),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param) == kNs200 ? "v2" : "v1";
                         });

class ChannelSetFailureTest : public ChannelSetTest {};

TEST_F(ChannelSetFailureTest, UndeclaredPrefixFailsAndKeepsClosedMembers) {
  // The reader itself refuses the undeclared prefix.
  Parsed p(Doc(kNs100, "<channel><title>kept</title></channel><channel><x:title>lost</x:title></channel>"));
  EXPECT_EQ(p.result, MFD_ERR_NOMEM);
  auto errors = p.Errors();
  ASSERT_FALSE(errors.empty());
  EXPECT_NE(errors[0].find(L"fatalError: "), std::wstring::npos);

  // The handlers refuse it when a reader lets it through.
  MFD_RssDocument* doc = nullptr;
  ASSERT_EQ(MFD_RssDocument_Create(&doc), MFD_OK);
  MFD_RssParser* ctx = nullptr;
  ASSERT_EQ(MFD_RssParser_Create(&ctx, doc), MFD_OK);
  const MFD_XmlContentTable* t = &ctx->handler->content;
  MFD_RssParser_StartDocument(ctx);
  std::wstring ns(kNs200, kNs200 + sizeof(kNs200) - 1);
  EXPECT_EQ(t->startElement(ns.c_str(), -1, L"csd", -1, L"csd", -1, nullptr, ctx), 0);
  EXPECT_EQ(doc->version, MFD_RSS_CSD_200);
  t = &ctx->handler->content;  // the version's table from here on
  auto start = [&](const wchar_t* q) { t->startElement(L"", 0, q, -1, q, -1, nullptr, ctx); };
  auto end = [&](const wchar_t* q) { t->endElement(L"", 0, q, -1, q, -1, ctx); };
  auto text = [&](const wchar_t* s) { t->characters(s, 0, -1, ctx); };
  // The root's declaration came with the reader's event, not as an attribute:
  // declare it the way a document does.
  MFD_RssNamespace* decl = nullptr;
  ASSERT_EQ(MFD_RssNamespace_Create(&decl), MFD_OK);
  MFD_RssNamespace_SetPrefix(decl, L"");
  MFD_RssNamespace_SetUri(decl, ns.c_str());
  MFD_RssNamespace_SetElement(decl, L"root");
  ASSERT_EQ(MFD_List_Append(ctx->declarations, &decl), 0);
  start(L"channel"), start(L"title"), text(L"first"), end(L"title"), end(L"channel");
  start(L"channel"), start(L"y:title");
  EXPECT_EQ(ctx->error, 1);
  text(L"lost"), end(L"y:title"), end(L"channel"), end(L"csd");
  t->endDocument(ctx);
  MFD_RssParser_Free(&ctx);
  std::vector<std::wstring> messages;
  MFD_RssError* e = nullptr;
  while (MFD_RssDocument_PopError(doc, &e) == MFD_OK) {
    messages.push_back(Text(e->message));
    MFD_RssError_Free(&e);
  }
  ASSERT_GE(messages.size(), 3u);
  EXPECT_EQ(messages[0], L"startElement (namespace error): no namespace matched");
  EXPECT_EQ(messages[1], L"endElement (namespace error): element name has unknown namespace prefix.");
  EXPECT_EQ(messages[2], L"endElement (parse error): channel");
  // End elements still run: both members are committed, the second empty.
  MFD_RssChannel* ch = *static_cast<MFD_RssChannel**>(MFD_List_GetFirst(doc->channels));
  ASSERT_EQ(MFD_List_Count(ch->items), 2u);
  EXPECT_EQ(Text((*static_cast<MFD_RssChannelItem**>(MFD_List_GetFirst(ch->items)))->title), L"first");
  EXPECT_EQ((*static_cast<MFD_RssChannelItem**>(MFD_List_GetLast(ch->items)))->title, nullptr);
  MFD_RssDocument_Free(&doc);
}

TEST_F(ChannelSetFailureTest, TruncatedDocumentFailsAndFreesTheOpenMember) {
  // The reader stops at the cut; the set and the member still open are
  // released with the parse (the fixture checks the balance).
  Parsed p(Doc(kNs200, "<channelset><title>s</title></channelset><channel><title>done</title></channel>"
                       "<channel><title>cut<accesskey>k"));
  EXPECT_NE(p.result, MFD_OK);
  auto errors = p.Errors();
  ASSERT_FALSE(errors.empty());
  EXPECT_NE(errors[0].find(L"fatalError: "), std::wstring::npos);
  EXPECT_EQ(errors[0].rfind(L"3:", 0), 0u) << errors[0];
}

TEST_F(ChannelSetFailureTest, EveryFailingAllocationEndsCleanly) {
  const std::string doc = Doc(kNs100, kFullBody);
  int failed = 0;
  bool finished = false;
  for (long n = 0; n < 20000 && !finished; ++n) {
    MFD_FailAllocationAfter(n);
    {
      Parsed p(doc);
      MFD_FailAllocationAfter(-1);
      if (p.result == MFD_OK && n > 50) finished = true;
      if (p.result != MFD_OK) ++failed;
      p.Errors();
    }
    MFD_RssChannel_FreeTemplate();
    ASSERT_EQ(Outstanding(), before_) << "after failing allocation " << n;
  }
  EXPECT_TRUE(finished);
  EXPECT_GT(failed, 20);
}

TEST_F(ChannelSetFailureTest, HostileSetsStayBounded) {
  // Thousands of members are all kept; deep nesting of members ends.
  std::string many;
  for (int i = 0; i < 3000; ++i) many += "<channel><title>" + std::to_string(i) + "</title><accesskey>k</accesskey></channel>";
  Parsed p(Doc(kNs200, many));
  ASSERT_EQ(p.result, MFD_OK);
  ASSERT_EQ(p.ItemCount(), 3000u);
  EXPECT_EQ(Text(p.Item(2999)->title), L"2999");

  // Members nested in members: each start begins a new item, and only the
  // innermost reaches its end with the member still open.
  auto nested = [](int depth) {
    std::string deep;
    for (int i = 0; i < depth; ++i) deep += "<channel><image>u</image>";
    for (int i = 0; i < depth; ++i) deep += "</channel>";
    return Doc(kNs100, deep);
  };
  Parsed q(nested(200));
  ASSERT_EQ(q.result, MFD_OK);
  ASSERT_EQ(q.ItemCount(), 1u);
  EXPECT_EQ(Text(q.Item(0)->channelSet->image), L"u");
  Parsed tooDeep(nested(5000));  // beyond what the reader nests
  EXPECT_NE(tooDeep.result, MFD_OK);

  std::string images = "<channelset>";
  for (int i = 0; i < 2000; ++i) images += "<image>http://x/" + std::to_string(i) + "</image>";
  Parsed r(Doc(kNs100, images + "</channelset>"));
  ASSERT_EQ(r.result, MFD_OK);
  EXPECT_EQ(Text(r.Channel()->image->url), L"http://x/1999");
}

}  // namespace
