// The feed parser beside expat's raw parse of the same documents: an RSS 2.0
// feed of many items and an RSS 1.0 feed with Dublin Core, UTF-8 and
// Shift_JIS. The ratio of the two times is the cost of the model and the
// version handlers over reading the XML alone.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <string>

#include "engine/feeds/src/mfd_common.h"
#include "engine/feeds/src/mfd_rssdocument.h"

namespace {

std::string Rss200(int items, bool sjis) {
  // 日本語の記事 in the document's encoding.
  std::string title = sjis ? "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x8B\x4C\x8E\x96" : "日本語の記事";
  std::string doc = std::string("<?xml version=\"1.0\" encoding=\"") + (sjis ? "Shift_JIS" : "UTF-8") +
                    "\"?><rss version=\"2.0\"><channel><title>" + title + "</title><link>http://example.jp/</link>";
  for (int i = 0; i < items; ++i) {
    std::string n = std::to_string(i);
    doc += "<item><title>" + title + n + "</title><link>http://example.jp/" + n + "</link><description>" + title +
           " " + title + " " + title + "</description><pubDate>Tue, 08 Dec 2026 09:00:00 +0900</pubDate>"
           "<guid isPermaLink=\"false\">id-" + n + "</guid><category domain=\"d\">c</category></item>";
  }
  return doc + "</channel></rss>";
}

std::string Rss100(int items) {
  std::string doc =
      "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xmlns=\"http://purl.org/rss/1.0/\" "
      "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><channel rdf:about=\"http://example.jp/\"><title>一覧</title>"
      "</channel>";
  for (int i = 0; i < items; ++i) {
    std::string n = std::to_string(i);
    doc += "<item rdf:about=\"http://example.jp/" + n + "\"><title>記事" + n + "</title><link>http://example.jp/" + n +
           "</link><description>本文です</description><dc:date>2026-12-08</dc:date><dc:creator>編集部</dc:creator></item>";
  }
  return doc + "</rdf:RDF>";
}

const std::string& Document(int kind) {
  static const std::string docs[] = {Rss200(1000, false), Rss200(1000, true), Rss100(1000)};
  return docs[kind];
}

void Feed(benchmark::State& state) {
  const std::string& doc = Document(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    MFD_RssDocument* d = nullptr;
    MFD_RssDocument_Create(&d);
    if (MFD_RssDocument_ParseBytes(d, doc.data(), doc.size()) != MFD_OK) state.SkipWithError("parse failed");
    MFD_RssDocument_Free(&d);
  }
  MFD_RssChannel_FreeTemplate();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

// expat alone, with namespaces and a character handler, as the reader runs it.
void Expat(benchmark::State& state) {
  const std::string& doc = Document(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    XML_Parser p = XML_ParserCreateNS(nullptr, ' ');
    size_t chars = 0;
    XML_SetUserData(p, &chars);
    XML_SetCharacterDataHandler(p, [](void* user, const XML_Char*, int len) { *static_cast<size_t*>(user) += len; });
    XML_SetElementHandler(p, [](void*, const XML_Char*, const XML_Char**) {}, [](void*, const XML_Char*) {});
    if (XML_Parse(p, doc.data(), static_cast<int>(doc.size()), 1) != XML_STATUS_OK) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(chars);
    XML_ParserFree(p);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

}  // namespace

// 0: RSS 2.0 UTF-8, 1: RSS 2.0 Shift_JIS, 2: RSS 1.0 with Dublin Core; 1000 items each.
// expat alone has no Shift_JIS: the reader adds it, so 1 is timed for the parser only.
BENCHMARK(Feed)->DenseRange(0, 2);
BENCHMARK(Expat)->Arg(0)->Arg(2);
BENCHMARK_MAIN();
