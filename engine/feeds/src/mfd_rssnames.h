// The element and namespace names the version handlers act on, as small
// numbers. A name is looked up once when its element starts or ends, so that
// the handlers switch on a number instead of comparing strings one by one.
#pragma once

#include <cstddef>
#include <cstdint>

// Every local name some version handler knows: X(Enumerator, text).
#define MFD_RSS_NAMES(X)                                                                                          \
  X(Rss, "rss") X(Channel, "channel") X(Item, "item") X(Image, "image") X(Textinput, "textinput")                \
  X(SkipHours, "skipHours") X(SkipDays, "skipDays") X(Rdf, "RDF") X(Csd, "csd") X(Channelset, "channelset")     \
  X(Channels, "channels") X(Seq, "Seq") X(Init, "init") X(Portalmenu, "portalmenu") X(Cloud, "cloud")           \
  X(Enclosure, "enclosure") X(Category, "category") X(Guid, "guid") X(Source, "source") X(Title, "title")      \
  X(Link, "link") X(Description, "description") X(Language, "language") X(Copyright, "copyright")              \
  X(ManagingEditor, "managingEditor") X(WebMaster, "webMaster") X(PubDate, "pubDate")                          \
  X(LastBuildDate, "lastBuildDate") X(Generator, "generator") X(Docs, "docs") X(Ttl, "ttl") X(Rating, "rating") \
  X(Hour, "hour") X(Day, "day") X(Url, "url") X(Width, "width") X(Height, "height") X(Name, "name")            \
  X(Author, "author") X(Comments, "comments") X(Cinst, "cinst") X(Template, "template") X(Items, "items")       \
  X(Li, "li") X(Accesskey, "accesskey") X(BackgroundImg, "background-img") X(Touch, "touch") X(Count, "count")  \
  X(Contributor, "contributor") X(Coverage, "coverage") X(Creator, "creator") X(Date, "date")                  \
  X(Format, "format") X(Identifier, "identifier") X(Publisher, "publisher") X(Relation, "relation")             \
  X(Rights, "rights") X(Subject, "subject") X(Type, "type") X(UpdatePeriod, "updatePeriod")                    \
  X(UpdateFrequency, "updateFrequency") X(UpdateBase, "updateBase")

enum class MFD_RssName : uint8_t {
  Other,  // a name no handler knows
#define MFD_RSS_NAME_ENUM(E, text) E,
  MFD_RSS_NAMES(MFD_RSS_NAME_ENUM)
#undef MFD_RSS_NAME_ENUM
};

// The namespaces the handlers tell apart; None for no namespace and for
// every namespace they do not know.
enum class MFD_RssNs : uint8_t {
  None,
  Rdf,
  Rss090,
  Rss100,
  Csd100,
  Csd200,
  DublinCore,
  Syndication,
  Own091,  // the pseudo-namespace of RSS 0.91 documents
  Own200,  // the pseudo-namespace of RSS 2.0 documents
};

// The pseudo-namespaces documents without namespaces resolve to.
extern const wchar_t kMfdNsOwn091[];
extern const wchar_t kMfdNsOwn200[];

// The name `length` characters of `text` spell exactly (case and all);
// Other for any other text.
MFD_RssName MFD_RssNameOf(const wchar_t* text, size_t length);
// The same for a NUL-terminated text; Other for null.
MFD_RssName MFD_RssNameOf(const wchar_t* text);
// A qualified name split at its first colon (the prefix is matched whole),
// and the name its local part spells.
struct MFD_RssQName {
  size_t prefixLength;   // 0 without a prefix
  const wchar_t* local;  // within the qualified name
  MFD_RssName name;
  bool prefixed;
  size_t length;  // of the qualified name; 0 where an end reuses its start
};
MFD_RssQName MFD_RssSplitName(const wchar_t* qName);
// The same for a name the reader has split already: `qLength` characters,
// the last `localLength` of them its local part. A split other than the one
// at the first colon is made again by the scan above.
MFD_RssQName MFD_RssSplitName(const wchar_t* qName, size_t qLength, size_t localLength);
// The name's text; L"" for Other.
extern const wchar_t* const kMfdRssNameTexts[];
inline const wchar_t* MFD_RssNameText(MFD_RssName name) { return kMfdRssNameTexts[static_cast<size_t>(name)]; }
// The length of the name's text.
extern const uint8_t kMfdRssNameLengths[];
inline size_t MFD_RssNameLength(MFD_RssName name) { return kMfdRssNameLengths[static_cast<size_t>(name)]; }
// The namespace the URI names exactly; None for null and unknown URIs.
MFD_RssNs MFD_RssNsOf(const wchar_t* uri);
