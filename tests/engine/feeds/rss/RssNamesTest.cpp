// The name table of the version handlers: every name a handler acts on is
// found as exactly itself, and texts that merely resemble one are not; the
// split of qualified names; the namespaces told apart.
#include <gtest/gtest.h>

#include <cwchar>

#include <string>
#include <vector>

#include "engine/feeds/src/mfd_rsshandler.h"

namespace {

struct Known {
  MFD_RssName name;
  const wchar_t* text;
};

// The names as the handlers compared them, one by one.
const Known kKnown[] = {
#define MFD_TEST_NAME(E, text) {MFD_RssName::E, L"" text},
    MFD_RSS_NAMES(MFD_TEST_NAME)
#undef MFD_TEST_NAME
};

TEST(RssNamesTest, EveryNameOfEveryVersionIsFoundAsItself) {
  // The names each version and module reads, written out apart from the
  // table so that a name dropped from it is caught.
  const std::vector<std::wstring> used = {
      L"rss", L"channel", L"item", L"image", L"textinput", L"skipHours", L"skipDays", L"RDF", L"csd",
      L"channelset", L"channels", L"Seq", L"init", L"portalmenu", L"cloud", L"enclosure", L"category", L"guid",
      L"source", L"title", L"link", L"description", L"language", L"copyright", L"managingEditor", L"webMaster",
      L"pubDate", L"lastBuildDate", L"generator", L"docs", L"ttl", L"rating", L"hour", L"day", L"url", L"width",
      L"height", L"name", L"author", L"comments", L"cinst", L"template", L"items", L"li", L"accesskey",
      L"background-img", L"touch", L"count", L"contributor", L"coverage", L"creator", L"date", L"format",
      L"identifier", L"publisher", L"relation", L"rights", L"subject", L"type", L"updatePeriod",
      L"updateFrequency", L"updateBase"};
  ASSERT_EQ(std::size(kKnown), used.size());
  for (const std::wstring& text : used) {
    MFD_RssName n = MFD_RssNameOf(text.c_str());
    EXPECT_NE(n, MFD_RssName::Other) << std::string(text.begin(), text.end());
    EXPECT_EQ(MFD_RssNameText(n), text);
    EXPECT_EQ(MFD_RssNameOf(text.c_str(), text.size()), n);
    MFD_RssQName q = MFD_RssSplitName((L"p:" + text).c_str());
    EXPECT_EQ(q.name, n);
  }
  for (const Known& k : kKnown) EXPECT_EQ(MFD_RssNameOf(k.text), k.name);
  EXPECT_EQ(MFD_RssNameText(MFD_RssName::Other), std::wstring());
}

TEST(RssNamesTest, NamesThatOnlyResembleAKnownOneAreNone) {
  const wchar_t* const kNone[] = {
      L"",                 // empty
      L"Title",            // case counts
      L"TITLE",
      L"titl",             // a prefix of a name
      L"titles",           // a name and more
      L"title ",           // trailing blank
      L"t\u00EDtle",       // one character not ASCII
      L"t\u0169tle",       // ...whose low byte is that of the letter it replaces
      L"ti\u0174le",
      L"updateFrequencyX", // longer than every name, first part known
      L"updateFrequencyXY",
      L"descriptiondescription",
      L"rdf",              // the prefix, not the root's local name
      L"skiphours",
      L"backgroundimg",
      L"channel\u0100",
  };
  for (const wchar_t* text : kNone) {
    EXPECT_EQ(MFD_RssNameOf(text), MFD_RssName::Other) << static_cast<int>(std::wstring(text).size());
    EXPECT_EQ(MFD_RssNameOf(text, std::wstring(text).size()), MFD_RssName::Other);
  }
  EXPECT_EQ(MFD_RssNameOf(nullptr), MFD_RssName::Other);
  // A length that stops short of the text, or runs past a NUL in it.
  EXPECT_EQ(MFD_RssNameOf(L"titles", 5), MFD_RssName::Title);
  EXPECT_EQ(MFD_RssNameOf(L"ti\0le", 5), MFD_RssName::Other);
}

TEST(RssNamesTest, QualifiedNamesSplitAtTheirFirstColon) {
  struct Case {
    const wchar_t* qName;
    bool prefixed;
    size_t prefixLength;
    const wchar_t* local;
    MFD_RssName name;
  };
  const Case kCases[] = {
      {L"title", false, 0, L"title", MFD_RssName::Title},
      {L"dc:date", true, 2, L"date", MFD_RssName::Date},
      {L"rdf:RDF", true, 3, L"RDF", MFD_RssName::Rdf},
      {L":title", true, 0, L"title", MFD_RssName::Title},
      {L"x:", true, 1, L"", MFD_RssName::Other},
      {L"a:b:title", true, 1, L"b:title", MFD_RssName::Other},
      {L"longprefix:updateBase", true, 10, L"updateBase", MFD_RssName::UpdateBase},
      {L"", false, 0, L"", MFD_RssName::Other},
  };
  for (const Case& c : kCases) {
    const size_t n = std::wcslen(c.qName), local = std::wcslen(c.local);
    // Scanned, split by the reader, and given a local length that does not
    // fit (all of it, none of it, one more): always the split at the first colon.
    const MFD_RssQName splits[] = {MFD_RssSplitName(c.qName), MFD_RssSplitName(c.qName, n, local),
                                   MFD_RssSplitName(c.qName, n, n), MFD_RssSplitName(c.qName, n, 0),
                                   MFD_RssSplitName(c.qName, n, local + 1)};
    for (const MFD_RssQName& q : splits) {
      EXPECT_EQ(q.prefixed, c.prefixed) << n;
      EXPECT_EQ(q.prefixLength, c.prefixLength);
      EXPECT_EQ(std::wstring(q.local), c.local);
      EXPECT_EQ(q.name, c.name);
    }
  }
}

TEST(RssNamesTest, NamespacesAreToldApartByTheirWholeUri) {
  struct Case {
    const wchar_t* uri;
    MFD_RssNs ns;
  };
  const Case kCases[] = {
      {kMfdNsRdf, MFD_RssNs::Rdf},
      {kMfdNsRss090, MFD_RssNs::Rss090},
      {kMfdNsRss100, MFD_RssNs::Rss100},
      {kMfdNsCsd100, MFD_RssNs::Csd100},
      {kMfdNsCsd200, MFD_RssNs::Csd200},
      {kMfdNsDublinCore, MFD_RssNs::DublinCore},
      {kMfdNsSyndication, MFD_RssNs::Syndication},
      {L"rss0.91", MFD_RssNs::Own091},
      {L"rss2.0", MFD_RssNs::Own200},
      {L"http://purl.org/rss/1.0", MFD_RssNs::None},  // no closing slash
      {L"http://purl.org/rss/1.0/x", MFD_RssNs::None},
      {L"HTTP://purl.org/rss/1.0/", MFD_RssNs::None},
      {L"rss2.0 ", MFD_RssNs::None},
      {L"", MFD_RssNs::None},
      {nullptr, MFD_RssNs::None},
  };
  for (const Case& c : kCases) EXPECT_EQ(MFD_RssNsOf(c.uri), c.ns) << (c.uri ? std::wstring(c.uri).size() : 0);
}

TEST(RssNamesTest, ADeclarationsNamespaceFollowsItsUri) {
  MFD_RssNamespace* ns = nullptr;
  ASSERT_EQ(MFD_RssNamespace_Create(&ns), MFD_OK);
  ASSERT_EQ(MFD_RssNamespace_SetUri(ns, kMfdNsDublinCore), MFD_OK);
  ns->kind = static_cast<uint8_t>(MFD_RssNs::DublinCore) + 1;  // worked out once
  ASSERT_EQ(MFD_RssNamespace_SetUri(ns, kMfdNsSyndication), MFD_OK);
  EXPECT_EQ(ns->kind, 0);  // to be worked out anew
  MFD_RssNamespace* copy = nullptr;
  ns->kind = static_cast<uint8_t>(MFD_RssNs::Syndication) + 1;
  ASSERT_EQ(MFD_RssNamespace_Copy(&copy, ns), MFD_OK);
  EXPECT_EQ(copy->kind, ns->kind);
  MFD_RssNamespace_Free(&copy);
  MFD_RssNamespace_Free(&ns);
}

}  // namespace
