// The feed parser beside expat's raw parse of the same documents: an RSS 2.0
// feed of many items and an RSS 1.0 feed with Dublin Core, UTF-8 and
// Shift_JIS. The ratio of the two times is the cost of the model and the
// version handlers over reading the XML alone.
//
// A whole feed run beside what one would write by hand: the feed client (and
// the feed retriever around it) fetching a 100-item feed from nginx, parsing
// it and storing every item as a message of a feed account (old items
// removed), against a bare libcurl transfer of the same document, expat's
// parse and one fsynced file per item (maildir style). All report items per
// second. Interleaved alternates a stored feed run and the by-hand path in
// rounds (so that a change of the machine's load falls on both) and reports
// the minimum and median of their ratio.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <expat.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/BenchDeviceRoot.h"
#include "engine/public/feeds/QvRssRetriever.h"
#include "engine/public/feeds/RssClient.h"
#include "engine/public/feeds/RssOldItems.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvClassificationParamInterface.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "engine/public/store/QvStoreBatch.h"
#include "platform/kernel/Files.h"
#include "platform/testing/Seams.h"
#include "tests/support/NginxPeer.h"

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

constexpr int kRunItems = 100;
constexpr wchar_t kFeedKey[] = L"Software\\Norvale\\Rivulet";

// Files every item into the receive box and removes the run's old items, as
// the feed retriever does.
class Store : public RssClient::NotifyRss {
 public:
  Store(RssClient& client, QvAccountInfoInterface* account, bool keep)
      : client_(client), account_(account), keep_(keep) {
    QvAccountInfoInterface::Attributes a;
    a.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
    account_->GetAccountInfoAttributes(&a);
    storage_.reset(account_->OpenStorage());
    std::unique_ptr<QvFolderInterface> box(storage_->OpenFolder(a.ulJusinTrayID));
    box->CreateFolder(L"news", &folder_);
    folder_open_.reset(storage_->OpenFolder(folder_));
    client_.registerNotifyRss(this);
  }
  ~Store() override { client_.registerNotifyRss(nullptr); }
  void notify(int message, long, long) override {
    if (message == RssClient::MSG_RssDeleteOldData) old_.Note(account_);
    if (message == RssClient::MSG_RssOldDataExpired) old_.Remove(account_);
    if (message == RssClient::MSG_RssErrorOccured) failed = true;
    if (message == RssClient::MSG_RssFetchingParts) batch_.reset();
    if (message != RssClient::MSG_RssNewMessage) return;
    ++stored;
    if (!keep_) return;
    std::string raw, uid;
    client_.getData(&raw, &uid);
    // Made whole in one step into the folder kept open, under one hold of
    // the store for up to 64 items, as the retriever's classifier files an item.
    if (!batch_) {
      batch_.emplace();
      batchStored_ = 0;
      if (!batch_->Held()) batch_.reset();
    }
    QvMessageInterface::Attributes attributes;
    attributes.unread = 1;
    attributes.uidl = uid;
    unsigned long id = 0;
    if (!folder_open_ || !folder_open_->CreateMessage(&id, attributes, raw)) failed = true;
    if (batch_ && ++batchStored_ >= 64) batch_.reset();
  }
  // The run's hold ends with its session.
  void EndRun() { batch_.reset(); }
  bool failed = false;
  int stored = 0;

 private:
  RssClient& client_;
  QvAccountInfoInterface* account_;
  std::unique_ptr<QvStorageInterface> storage_;
  bool keep_;
  unsigned long folder_ = 0;
  std::unique_ptr<QvFolderInterface> folder_open_;
  std::optional<QvStoreBatch> batch_;
  unsigned batchStored_ = 0;
  RssOldItems old_;
};

qv::test::NginxPeer& Peer() {
  static qv::test::NginxPeer& peer = [] () -> qv::test::NginxPeer& {
    auto& p = qv::test::NginxPeer::Shared();
    p.PutFile("/run.xml", Rss200(kRunItems, false));
    return p;
  }();
  return peer;
}

// The feed account of a run, with nginx behind "feeds.example.jp"; null
// (and the run skipped) when either is missing.
std::unique_ptr<QvAccountInfoInterface> FeedAccount(benchmark::State& state) {
  if (!Peer().Ready()) {
    state.SkipWithError("nginx did not start");
    return nullptr;
  }
  qv::seams::MapHost("feeds.example.jp", 80, Peer().Port());
  CreateDirectoryW(L"\\Application Data", nullptr);
  CreateDirectoryW(L"\\Application Data\\Rivulet", nullptr);
  CreateDirectoryW(L"\\Application Data\\Rivulet\\Accounts", nullptr);
  SetRegistryValue(HKEY_CURRENT_USER, kFeedKey, L"DataPath", L"\\Application Data\\Rivulet\\Accounts\\");
  QvAccountCreator().CreateFeedFolders(L"feed", kFeedKey);
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(L"feed", kFeedKey));
  if (!account) state.SkipWithError("no feed account");
  return account;
}

void FeedRun(benchmark::State& state) {
  BenchDeviceRoot root("feeds");
  std::unique_ptr<QvAccountInfoInterface> account = FeedAccount(state);
  if (!account) return;
  RssClient client;
  Store store(client, account.get(), state.range(0) != 0);
  MailAccount record;
  record.popServerName = L"feeds.example.jp";
  record.smtpServerName = L"http://feeds.example.jp/run.xml";
  for (auto _ : state) {
    client.setAccount(&record, nullptr);
    client.GetRDF();
    store.EndRun();
  }
  if (store.failed || store.stored != kRunItems * static_cast<int>(state.iterations()))
    state.SkipWithError("items were lost");
  qv::seams::ClearHostTable();
  state.counters["items/s"] = benchmark::Counter(store.stored, benchmark::Counter::kIsRate);
}

// The same run through the feed retriever: the connection controller, the
// classifier's rule to the item's folder, the store held for up to 64 items,
// the last UID saved ahead of the items it covers.
class Counted : public QvRssRetriever::Notify {
 public:
  void notify(unsigned int message, long, long) override {
    if (message == QvRssRetriever::MSG_NewMessage) ++stored;
    if (message == QvRssRetriever::MSG_Error) failed = true;
  }
  void isActive(bool* active, QvRssRetriever*) override { *active = true; }
  bool failed = false;
  int stored = 0;
};

void RetrieverRun(benchmark::State& state) {
  BenchDeviceRoot root("feeds");
  std::unique_ptr<QvAccountInfoInterface> account = FeedAccount(state);
  if (!account) return;
  QvAccountInfoInterface::Attributes a;
  a.Select(QvAccountInfoInterface::Attributes::kJusinTrayID);
  account->GetAccountInfoAttributes(&a);
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  QvClassificationParamInterface::Attributes rule;
  rule.name = L"c";
  rule.field = L"X-ML-name";
  rule.keyword = L"c";
  rule.direction = 1;
  unsigned long folder = 0;
  std::unique_ptr<QvFolderInterface>(storage->OpenFolder(a.ulJusinTrayID))->CreateFolder(L"c", &folder);
  rule.folderId = static_cast<uint32_t>(folder);
  std::unique_ptr<QvClassificationParamInterface>(account->OpenClassificationParamInterface())->SetAttributes({rule});
  a.ClearMask();
  a.Select(QvAccountInfoInterface::Attributes::kPopServerName);
  a.Select(QvAccountInfoInterface::Attributes::kSmtpServerName);
  a.strPopServerName = L"feeds.example.jp";
  a.strSmtpServerName = L"http://feeds.example.jp/run.xml";
  account->SetAccountInfoAttributes(a);
  QvRASController ras;
  QvRssRetriever retriever;
  Counted counted;
  retriever.registerNotify(&counted);
  for (auto _ : state) {
    if (!retriever.RetrieveMessages(account.get(), &ras, 0)) state.SkipWithError("the run failed");
  }
  std::vector<unsigned long> left;
  std::unique_ptr<QvFolderInterface>(storage->OpenFolder(folder))->GetMessageIds(&left);
  if (counted.failed || counted.stored != kRunItems * static_cast<int>(state.iterations()) ||
      left.size() != static_cast<size_t>(kRunItems))
    state.SkipWithError("items were lost or kept twice");
  qv::seams::ClearHostTable();
  state.counters["items/s"] = benchmark::Counter(counted.stored, benchmark::Counter::kIsRate);
}

// By hand: libcurl, expat, and one fsynced file per item; the items of one
// pass, -1 on a failure. Files are numbered on from `first`.
int64_t ByHandOnce(const std::string& url, const std::string& dir, int64_t first) {
  std::string doc;
  CURL* easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROXY, "");
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &doc);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
  });
  const bool fetched = curl_easy_perform(easy) == CURLE_OK;
  curl_easy_cleanup(easy);
  if (!fetched) return -1;
  struct Walk {
    std::string text;
    int depth = 0;
    std::vector<std::string> items;
  } walk;
  XML_Parser p = XML_ParserCreateNS(nullptr, ' ');
  XML_SetUserData(p, &walk);
  XML_SetCharacterDataHandler(p, [](void* user, const XML_Char* s, int len) {
    static_cast<Walk*>(user)->text.append(s, static_cast<size_t>(len));
  });
  XML_SetElementHandler(
      p, [](void*, const XML_Char*, const XML_Char**) {},
      [](void* user, const XML_Char* name) {
        auto* w = static_cast<Walk*>(user);
        if (std::string(name) == "item") {
          w->items.push_back(w->text);
          w->text.clear();
        }
      });
  const bool parsed = XML_Parse(p, doc.data(), static_cast<int>(doc.size()), 1) == XML_STATUS_OK;
  XML_ParserFree(p);
  if (!parsed) return -1;
  for (size_t i = 0; i < walk.items.size(); ++i) {
    const std::string path = dir + "/" + std::to_string(first + static_cast<int64_t>(i));
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    if (fd < 0 || ::write(fd, walk.items[i].data(), walk.items[i].size()) < 0) return -1;
    ::fsync(fd);
    ::close(fd);
    ::unlink(path.c_str());
  }
  return static_cast<int64_t>(walk.items.size());
}

// The by-hand path's folder, below $TMPDIR like the device root, so that
// both write to the same file system; empty when it could not be made.
std::string ByHandFolder() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/qvbench-maildir-XXXXXX";
  return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

std::string ByHandUrl() { return "http://127.0.0.1:" + std::to_string(Peer().Port()) + "/run.xml?mode=push"; }

void CurlExpatFiles(benchmark::State& state) {
  if (!Peer().Ready()) return state.SkipWithError("nginx did not start");
  const std::string dir = ByHandFolder();
  if (dir.empty()) return state.SkipWithError("no folder");
  const std::string url = ByHandUrl();
  curl_global_init(CURL_GLOBAL_DEFAULT);
  int64_t items = 0;
  for (auto _ : state) {
    const int64_t n = ByHandOnce(url, dir, items);
    if (n < 0) state.SkipWithError("the pass failed");
    items += std::max<int64_t>(n, 0);
  }
  std::filesystem::remove_all(dir);
  state.counters["items/s"] = benchmark::Counter(static_cast<double>(items), benchmark::Counter::kIsRate);
}

// Rounds of a stored feed run and a by-hand pass of the same feed,
// alternating; the feed run's time over the by-hand pass's per round.
void Interleaved(benchmark::State& state) {
  constexpr int kRounds = 21;
  BenchDeviceRoot root("feeds");
  std::unique_ptr<QvAccountInfoInterface> account = FeedAccount(state);
  if (!account) return;
  const std::string dir = ByHandFolder();
  if (dir.empty()) return state.SkipWithError("no folder");
  const std::string url = ByHandUrl();
  curl_global_init(CURL_GLOBAL_DEFAULT);
  RssClient client;
  Store store(client, account.get(), true);
  MailAccount record;
  record.popServerName = L"feeds.example.jp";
  record.smtpServerName = L"http://feeds.example.jp/run.xml";
  std::vector<double> ratios;
  int64_t byHand = 0;
  for (auto _ : state) {
    for (int round = 0; round < kRounds; ++round) {
      using Clock = std::chrono::steady_clock;
      const auto a = Clock::now();
      client.setAccount(&record, nullptr);
      client.GetRDF();
      store.EndRun();
      const auto b = Clock::now();
      const int64_t n = ByHandOnce(url, dir, byHand);
      const auto c = Clock::now();
      if (n != kRunItems) state.SkipWithError("the by-hand pass failed");
      byHand += n;
      ratios.push_back(std::chrono::duration<double>(b - a).count() / std::chrono::duration<double>(c - b).count());
    }
  }
  std::filesystem::remove_all(dir);
  if (store.failed || store.stored != kRunItems * kRounds * static_cast<int>(state.iterations()))
    state.SkipWithError("items were lost");
  qv::seams::ClearHostTable();
  std::sort(ratios.begin(), ratios.end());
  state.counters["ratio_min"] = ratios.front();
  state.counters["ratio_median"] = ratios[ratios.size() / 2];
}

}  // namespace

// 0: fetched, parsed and built, the messages dropped; 1: stored as well.
BENCHMARK(FeedRun)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(RetrieverRun)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(CurlExpatFiles)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Interleaved)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// 0: RSS 2.0 UTF-8, 1: RSS 2.0 Shift_JIS, 2: RSS 1.0 with Dublin Core; 1000 items each.
// expat alone has no Shift_JIS: the reader adds it, so 1 is timed for the parser only.
BENCHMARK(Feed)->DenseRange(0, 2);
BENCHMARK(Expat)->Arg(0)->Arg(2);
BENCHMARK_MAIN();
