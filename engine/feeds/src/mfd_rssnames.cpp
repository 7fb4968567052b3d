// Name lookup of the version handlers: an open-addressed table built at
// compile time, one hash and one compare for a known name.
#include "engine/feeds/src/mfd_rssnames.h"

#include <array>
#include <cstdint>
#include <cwchar>

#include "engine/feeds/src/mfd_rsshandler.h"

const wchar_t kMfdNsOwn091[] = L"rss0.91";
const wchar_t kMfdNsOwn200[] = L"rss2.0";

namespace {

// Every known name is ASCII and at most 16 characters long, so that it packs
// into two 64-bit words, a byte a character: a name is read once, packed as
// it is read, and found with one hash and two word compares.
struct Packed {
  uint64_t word[2];
  size_t length;
};

constexpr Packed Pack(const wchar_t* text, size_t length) {
  Packed p{{0, 0}, length};
  for (size_t i = 0; i < length && i < 16; ++i) p.word[i / 8] |= static_cast<uint64_t>(text[i]) << (i % 8 * 8);
  return p;
}

struct Known {
  const wchar_t* text;
  Packed packed;
};

constexpr Known kNames[] = {
    {L"", {{0, 0}, 0}},
#define MFD_RSS_NAME_ENTRY(E, text) \
  {L"" text, Pack(L"" text, sizeof(L"" text) / sizeof(wchar_t) - 1)},
    MFD_RSS_NAMES(MFD_RSS_NAME_ENTRY)
#undef MFD_RSS_NAME_ENTRY
};
constexpr size_t kCount = sizeof(kNames) / sizeof(kNames[0]);
static_assert(kCount <= 256, "names are numbered in a byte");

constexpr size_t kLongest = [] {
  size_t n = 0;
  for (const Known& k : kNames) {
    n = k.packed.length > n ? k.packed.length : n;
    for (size_t i = 0; i < k.packed.length; ++i) {
      if (k.text[i] <= 0 || k.text[i] >= 0x80 || k.text[i] == L':') throw "a known name is plain ASCII";
    }
  }
  if (n > 16) throw "a known name fits two words";
  return n;
}();

// Twice as many slots as names or more keeps the probes short.
constexpr size_t kSlots = 256;
static_assert(kSlots >= 2 * kCount && (kSlots & (kSlots - 1)) == 0);

constexpr size_t Slot(const Packed& p) {
  uint64_t h = p.word[0] * 0x9E3779B97F4A7C15u ^ (p.word[1] + p.length) * 0xC2B2AE3D27D4EB4Fu;
  return static_cast<size_t>(h >> 56) & (kSlots - 1);
}

constexpr std::array<uint8_t, kSlots> kTable = [] {
  std::array<uint8_t, kSlots> table{};
  for (size_t i = 1; i < kCount; ++i) {
    size_t at = Slot(kNames[i].packed);
    while (table[at] != 0) at = (at + 1) & (kSlots - 1);
    table[at] = static_cast<uint8_t>(i);
  }
  return table;
}();

MFD_RssName Find(const Packed& p) {
  for (size_t at = Slot(p); kTable[at] != 0; at = (at + 1) & (kSlots - 1)) {
    const Packed& k = kNames[kTable[at]].packed;
    if (k.word[0] == p.word[0] && k.word[1] == p.word[1] && k.length == p.length)
      return static_cast<MFD_RssName>(kTable[at]);
  }
  return MFD_RssName::Other;
}

// The name of a text of at most `limit` characters (to its NUL when it
// ends sooner): packed into two words, a byte a character, while it is
// read, and looked up once. A text longer than every known name is none.
// `measured` receives the text's length when it ends before `limit`.
MFD_RssName Lookup(const wchar_t* text, size_t limit, size_t* measured) {
  uint64_t word[2] = {0, 0};
  uint32_t seen = 0;  // every character or'ed: above 0x7F when one is not ASCII
  size_t n = 0;
  for (; n < 8; ++n) {
    if (n == limit || text[n] == L'\0') goto measured;
    seen |= static_cast<uint32_t>(text[n]);
    word[0] |= static_cast<uint64_t>(static_cast<unsigned char>(text[n])) << (n * 8);
  }
  for (; n < 16; ++n) {
    if (n == limit || text[n] == L'\0') goto measured;
    seen |= static_cast<uint32_t>(text[n]);
    word[1] |= static_cast<uint64_t>(static_cast<unsigned char>(text[n])) << ((n - 8) * 8);
  }
  if (limit == SIZE_MAX) *measured = n + std::wcslen(text + n);
  return MFD_RssName::Other;
measured:
  *measured = n;
  if (n == 0 || n > kLongest || seen >= 0x80) return MFD_RssName::Other;
  return Find({{word[0], word[1]}, n});
}

// The name of a text of exactly `n` characters, none of them NUL; `colon`
// is set when one of them is a colon.
MFD_RssName LookupN(const wchar_t* text, size_t n, bool* colon) {
  *colon = false;
  MFD_RssName name = MFD_RssName::Other;
  if (n > 0 && n <= kLongest) {
    uint64_t word[2] = {0, 0};
    uint32_t seen = 0;
    const size_t low = n < 8 ? n : 8;
    for (size_t i = 0; i < low; ++i) {
      seen |= static_cast<uint32_t>(text[i]);
      word[0] |= static_cast<uint64_t>(static_cast<unsigned char>(text[i])) << (i * 8);
    }
    for (size_t i = 8; i < n; ++i) {
      seen |= static_cast<uint32_t>(text[i]);
      word[1] |= static_cast<uint64_t>(static_cast<unsigned char>(text[i])) << ((i - 8) * 8);
    }
    if (seen < 0x80) name = Find({{word[0], word[1]}, n});
  }
  // No known name holds a colon: only a name not found is searched for one.
  if (name == MFD_RssName::Other) *colon = std::wmemchr(text, L':', n) != nullptr;
  return name;
}

struct KnownNs {
  const wchar_t* uri;
  MFD_RssNs ns;
};
const KnownNs kNamespaces[] = {
    {kMfdNsOwn200, MFD_RssNs::Own200},        {kMfdNsOwn091, MFD_RssNs::Own091},
    {kMfdNsRdf, MFD_RssNs::Rdf},              {kMfdNsRss090, MFD_RssNs::Rss090},
    {kMfdNsRss100, MFD_RssNs::Rss100},        {kMfdNsCsd100, MFD_RssNs::Csd100},
    {kMfdNsCsd200, MFD_RssNs::Csd200},        {kMfdNsDublinCore, MFD_RssNs::DublinCore},
    {kMfdNsSyndication, MFD_RssNs::Syndication},
};

}  // namespace

MFD_RssName MFD_RssNameOf(const wchar_t* text, size_t length) {
  if (text == nullptr || length > kLongest) return MFD_RssName::Other;
  // A NUL within the length is no character of a known name.
  if (std::wmemchr(text, L'\0', length) != nullptr) return MFD_RssName::Other;
  size_t measured = 0;
  return Lookup(text, length, &measured);
}

MFD_RssName MFD_RssNameOf(const wchar_t* text) {
  size_t measured = 0;
  return text == nullptr ? MFD_RssName::Other : Lookup(text, SIZE_MAX, &measured);
}

MFD_RssQName MFD_RssSplitName(const wchar_t* qName) {
  const wchar_t* colon = std::wcschr(qName, L':');
  MFD_RssQName q{0, qName, MFD_RssName::Other, colon != nullptr, 0};
  if (colon != nullptr) {
    q.prefixLength = static_cast<size_t>(colon - qName);
    q.local = colon + 1;
  }
  size_t localLength = 0;
  q.name = Lookup(q.local, SIZE_MAX, &localLength);
  q.length = static_cast<size_t>(q.local - qName) + localLength;
  return q;
}

MFD_RssQName MFD_RssSplitName(const wchar_t* qName, size_t qLength, size_t localLength) {
  if (localLength > qLength) return MFD_RssSplitName(qName);
  const size_t skip = qLength - localLength;
  bool colon = false;
  MFD_RssQName q{0, qName + skip, MFD_RssName::Other, skip > 0, qLength};
  if (skip > 0) {
    // The colon ends the prefix, which holds none.
    q.prefixLength = skip - 1;
    if (qName[q.prefixLength] != L':' || std::wmemchr(qName, L':', q.prefixLength) != nullptr)
      return MFD_RssSplitName(qName);
    q.name = LookupN(q.local, localLength, &colon);
    return q;
  }
  q.name = LookupN(qName, qLength, &colon);
  return colon ? MFD_RssSplitName(qName) : q;
}

const wchar_t* const kMfdRssNameTexts[] = {
    L"",
#define MFD_RSS_NAME_TEXT(E, text) L"" text,
    MFD_RSS_NAMES(MFD_RSS_NAME_TEXT)
#undef MFD_RSS_NAME_TEXT
};
static_assert(sizeof(kMfdRssNameTexts) / sizeof(kMfdRssNameTexts[0]) == kCount);

const uint8_t kMfdRssNameLengths[] = {
    0,
#define MFD_RSS_NAME_LENGTH(E, text) static_cast<uint8_t>(sizeof(L"" text) / sizeof(wchar_t) - 1),
    MFD_RSS_NAMES(MFD_RSS_NAME_LENGTH)
#undef MFD_RSS_NAME_LENGTH
};

MFD_RssNs MFD_RssNsOf(const wchar_t* uri) {
  if (uri == nullptr) return MFD_RssNs::None;
  for (const KnownNs& k : kNamespaces) {
    if (std::wcscmp(uri, k.uri) == 0) return k.ns;
  }
  return MFD_RssNs::None;
}
