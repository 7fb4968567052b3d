// The feed client against a real nginx: documents in the three RSS versions
// and their charsets, pictures and contents, stored as the messages of a feed
// account by an observer that files them the way a retriever does.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "engine/public/content/EmlCompose.h"
#include "engine/content/MimeSupport.h"
#include "engine/public/feeds/RssClient.h"
#include "engine/public/feeds/RssOldItems.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/public/store/QvAccountCreator.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "engine/public/transport/QvRetriever.h"
#include "platform/codepage/CodePage.h"
#include "platform/imaging/Imaging.h"
#include "platform/net/ConnMgr.h"
#include "platform/testing/Seams.h"
#include "tests/engine/feeds/FeedFixtures.h"

namespace {

using namespace qv::test::feeds;

// One account's store as the observer files it, and what the client said.
class Filing : public RssClient::NotifyRss {
 public:
  Filing(RssClient& client, QvAccountInfoInterface* account) : client_(client), account_(account) {
    client_.registerNotifyRss(this);
  }
  ~Filing() override { client_.registerNotifyRss(nullptr); }

  void notify(int message, long w, long) override {
    heard.push_back(message);
    std::unique_ptr<QvStorageInterface> storage(account_->OpenStorage());
    std::string raw, uid;
    client_.getData(&raw, &uid);
    const bool known = stored.count(uid) != 0;
    if (message == RssClient::MSG_RssDeleteOldData) {
      old_.Note(account_);
      stored.clear();  // only a re-fetch replaces messages
    } else if (message == RssClient::MSG_RssOldDataExpired) {
      old_.Remove(account_);
    } else if (message == RssClient::MSG_RssErrorOccured) {
      errors.push_back(static_cast<uint32_t>(w));
    } else if (message == RssClient::MSG_RssNeedStoredData && known) {
      std::string text;
      std::unique_ptr<QvMessageInterface>(storage->OpenMessage(stored[uid]))->Read(&text);
      client_.setRawMailData(&text);
    } else if (message == RssClient::MSG_RssNewMessage && known) {
      std::unique_ptr<QvMessageInterface>(storage->OpenMessage(stored[uid]))->Write(raw);
    } else if (message == RssClient::MSG_RssNewMessage || message == RssClient::MSG_RssNewPartMessage) {
      ++items;
      Email mail;
      EmlCompose().DecodeHeader(&mail, &raw);
      std::unique_ptr<QvFolderInterface> folder(storage->OpenFolder(Folder(storage.get(), mail.mailingList)));
      unsigned long id = 0;
      ASSERT_TRUE(folder->CreateMessage(&id));
      ASSERT_TRUE(std::unique_ptr<QvMessageInterface>(storage->OpenMessage(id))->Write(raw));
      stored[uid] = id;
    }
  }

  unsigned long Folder(QvStorageInterface* storage, const std::wstring& name) {
    return ReceiveBoxFolders(account_, storage, name)[name];
  }
  std::multimap<std::wstring, StoredItem> Messages() { return StoredItems(account_); }

  std::vector<int> heard;
  std::vector<uint32_t> errors;
  std::atomic<int> items{0};
  std::map<std::string, unsigned long> stored;

 private:
  RssClient& client_;
  QvAccountInfoInterface* account_;
  RssOldItems old_;
};

class RssClientTest : public FeedAccountTest {
 protected:
  // One fetch of `url`, filed into the account.
  static void Fetch(RssClient& client, const std::wstring& url, int mode = 0) {
    MailAccount record;
    record.popServerName = L"feeds.example.jp";
    record.smtpServerName = url;
    record.lastUid = L"0000000009";
    client.setRssMode(mode);
    client.setAccount(&record, nullptr);
    client.GetRDF();
  }
};

TEST_F(RssClientTest, ThreeFeedsBecomeMessages) {
  RssClient client;
  Filing filing(client, account_.get());
  for (const FeedRun& run : ThreeFeeds(peer_)) {
    SCOPED_TRACE(testing::Message() << run.request);
    Fetch(client, run.url, run.mode);
    EXPECT_TRUE(filing.errors.empty());
    // Each run replaced the items of the one before.
    ExpectStored(peer_, run, filing.Messages());
  }
  // UIDs count on from the account's last one.
  EXPECT_EQ(filing.stored.count("000000000A"), 1u);
}

TEST_F(RssClientTest, ACancelStopsTheRunningTransfer) {
  peer_.PutFile("/c.xml", Rss20("UTF-8", Item20("one", "http://feeds.example.jp/1", "") +
                                             Item20("two", "http://feeds.example.jp/2",
                                                    Image("http://feeds.example.jp/slow/big.jpg"))));
  peer_.PutFile("/slow/big.jpg", std::string(400000, 'x'));  // 25 s at the server's 16 KiB/s
  peer_.PutFile("/ok.xml", Rss20("UTF-8", Item20("three", "http://feeds.example.jp/3", "")));
  // Wait steps far longer than the bound below: the cancel must wake the
  // transfer's wait at once, not at its next step.
  qv::seams::SetNetworkWait(30000, 600);
  RssClient client;
  Filing filing(client, account_.get());
  std::chrono::steady_clock::time_point asked;
  std::thread canceller([&] {
    // The first item is filed and the picture's transfer runs.
    while (filing.items == 0 || qv::seams::InetLiveObjects() == 0) std::this_thread::yield();
    asked = std::chrono::steady_clock::now();
    client.cancel();
  });
  Fetch(client, L"http://feeds.example.jp/c.xml");
  const auto took = std::chrono::steady_clock::now() - asked;
  canceller.join();
  // The picture would take 25 s and a wait step 30 s: a bound far from what
  // load can reach still proves the cancel stopped it at once.
  EXPECT_LE(took, std::chrono::milliseconds(5000));
  EXPECT_EQ(filing.errors, std::vector<uint32_t>{0x2002310});
  EXPECT_EQ(filing.heard.back(), RssClient::MSG_RssCancelled);
  EXPECT_EQ(std::count(filing.heard.begin(), filing.heard.end(), RssClient::MSG_RssOldDataExpired), 0);
  EXPECT_EQ(filing.Messages().size(), 1u);
  EXPECT_EQ(qv::seams::InetLiveObjects(), 0);

  // Spent by that session: the next one runs in full and replaces the item.
  qv::seams::SetNetworkWait(kStep, 600);
  filing.errors.clear();
  Fetch(client, L"http://feeds.example.jp/ok.xml");
  EXPECT_TRUE(filing.errors.empty());
  auto left = filing.Messages();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left.begin()->second.subject, L"three");
  // The sessions took their downloads with them.
  EXPECT_TRUE(std::filesystem::is_empty(HostOf(L"\\Application Data\\Rivulet\\Tmp")));
}

TEST_F(RssClientTest, SessionsKeepTheirOwnDownloads) {
  const DWORD colours[] = {qv::test::kRed, qv::test::kGreen, qv::test::kBlue, kYellow};
  std::vector<std::unique_ptr<QvAccountInfoInterface>> accounts;
  for (int i = 0; i < 4; ++i) {
    const std::string n = std::to_string(i);
    peer_.PutFile("/p" + n + ".png", Picture(colours[i], true));
    peer_.PutFile("/f" + n + ".xml", Rss20("UTF-8", Item20("item" + n, "http://feeds.example.jp/" + n,
                                                          Image("http://feeds.example.jp/p" + n + ".png"))));
    ASSERT_TRUE(QvAccountCreator().CreateFeedFolders(L"feed" + W(n), kFeedKey));
    accounts.emplace_back(QvAccountInfoInterface::OpenAccountInfo(L"feed" + W(n), kFeedKey));
  }
  std::vector<std::thread> runs;
  std::vector<std::multimap<std::wstring, StoredItem>> results(4);
  for (int i = 0; i < 4; ++i)
    runs.emplace_back([&, i] {
      RssClient client;
      Filing filing(client, accounts[i].get());
      Fetch(client, L"http://feeds.example.jp/f" + W(std::to_string(i)) + L".xml");
      results[i] = filing.Messages();
    });
  for (auto& t : runs) t.join();
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(results[i].size(), 1u);
    const auto pictures = Pictures(results[i].begin()->second.raw);
    ASSERT_EQ(pictures.size(), 3u);
    for (const auto& p : pictures) EXPECT_LT(qv::test::ColorDistance(std::get<2>(p), colours[i]), 40) << i;
  }
}

// Re-fetches, the registry's push address, single downloads, the charsets of
// the document and the old items of other accounts.
TEST_F(RssClientTest, RunsAndTheirOutcomes) {
  peer_.PutFile("/two.xml", Rss20("UTF-8", Item20("a", "http://feeds.example.jp/a", "") +
                                               Item20("b", "http://feeds.example.jp/b", "")));
  peer_.PutFile("/push.xml", Rss20("UTF-8", Item20("pushed", "http://feeds.example.jp/p", "")));
  peer_.PutFile("/slowpic.xml", Rss20("UTF-8", Item20("c", "http://feeds.example.jp/c", "") +
                                                   Item20("d", "http://feeds.example.jp/d",
                                                          Image("http://feeds.example.jp/slow/big2.jpg"))));
  peer_.PutFile("/slow/big2.jpg", std::string(100000, 'x'));
  peer_.PutFile("/euc.xml", "<?xml version=\"1.0\" encoding=\"EUC-JP\"?><rss version=\"2.0\"><channel><title>e"
                            "</title><item><title>\xB7\xD0\xBA\xD1\xA5\xCB\xA5\xE5\xA1\xBC\xA5\xB9</title>"
                            "<link>http://feeds.example.jp/e</link></item></channel></rss>");
  peer_.PutFile("/pic/green.png", Picture(qv::test::kGreen, true));
  const std::string partial =
      "X-Kxr-Rivulet\r\nSubject: later\r\nx-ml-name: news\r\nReply-To: http://feeds.example.jp/l\r\n"
      "X-Feed-Contents: \r\nX-Feed-Image: http://feeds.example.jp/pic/green.png\r\nMime-Version: 1.0\r\n\r\nbody\r\n";
  const std::string lost = "X-Kxr-Rivulet\r\nSubject: lost\r\nX-Feed-Image: http://feeds.example.jp/none.png\r\n\r\nb\r\n";
  const std::string plain = "X-Kxr-Rivulet\r\nSubject: plain\r\nx-ml-name: news\r\n\r\nbody\r\n";

  // nginx logs a request after answering it: a count waits for the lines due.
  auto pushes = [&](long expected) {
    return peer_.CountLines("GET /push.xml?mode=push HTTP/1.1 | Rivulet Middle (TV-4100) | 200", expected);
  };
  const long pushedBefore = pushes(0);
  // A message of another account that no run here may touch.
  ASSERT_TRUE(QvAccountCreator().CreateFeedFolders(L"Server", kFeedKey));
  std::unique_ptr<QvAccountInfoInterface> server(QvAccountInfoInterface::OpenAccountInfo(L"Server", kFeedKey));
  RssClient other;
  Filing serverFiling(other, server.get());
  Fetch(other, L"http://feeds.example.jp/push.xml");
  ASSERT_EQ(serverFiling.Messages().size(), 1u);

  RssClient client;
  Filing filing(client, account_.get());
  auto refetch = [&](std::list<std::string> uids) {
    MailAccount record;
    record.popServerName = L"feeds.example.jp";
    client.setAccount(&record, nullptr);
    client.setDownloadList(uids);
    client.ReGet();
  };
  auto keep = [&](const std::string& uid, const std::string& raw) {
    std::unique_ptr<QvStorageInterface> storage(account_->OpenStorage());
    std::unique_ptr<QvFolderInterface> folder(storage->OpenFolder(filing.Folder(storage.get(), L"news")));
    unsigned long id = 0;
    ASSERT_TRUE(folder->CreateMessage(&id));
    ASSERT_TRUE(std::unique_ptr<QvMessageInterface>(storage->OpenMessage(id))->Write(raw));
    filing.stored[uid] = id;
  };
  struct Case {
    const char* name;
    std::function<void()> run;
    std::vector<uint32_t> errors;
    std::vector<const char*> subjects;  // what the account holds afterwards
  } cases[] = {
      {"a fetch", [&] { Fetch(client, L"http://feeds.example.jp/two.xml"); }, {}, {"a", "b"}},
      {"a cancel while idle is dropped",
       [&] {
         client.cancel();
         Fetch(client, L"http://feeds.example.jp/two.xml");
       },
       {}, {"a", "b"}},
      {"a time-out keeps the old items",
       [&] {
         qv::seams::SetNetworkWait(kStep, 2);
         Fetch(client, L"http://feeds.example.jp/slowpic.xml");
         qv::seams::SetNetworkWait(kStep, 600);
       },
       {0x200230d}, {"a", "b", "c"}},
      {"the push address of the registry wins",
       [&] {
         SetRegistryValue(HKEY_CURRENT_USER, L"Software\\NORVALE\\Rivulet", L"PushUrl",
                          L"http://feeds.example.jp/push.xml");
         Fetch(client, L"http://feeds.example.jp/two.xml");
         SetRegistryValue(HKEY_CURRENT_USER, L"Software\\NORVALE\\Rivulet", L"PushUrl", L"0");
       },
       {}, {"pushed"}},
      {"an EUC-JP document", [&] { Fetch(client, L"http://feeds.example.jp/euc.xml"); }, {}, {"経済ニュース"}},
      {"a re-fetch of nothing", [&] { refetch({}); }, {0x200230f}, {"経済ニュース"}},
      {"a re-fetch of an item not stored", [&] { refetch({"00000000FF"}); }, {0x200230f}, {"経済ニュース"}},
      {"a re-fetch of an item without feed headers",
       [&] {
         keep("0000000100", plain);
         refetch({"0000000100"});
       },
       {0x200230e}, {"経済ニュース", "plain"}},
      {"a re-fetch whose picture is gone keeps the item",
       [&] {
         keep("0000000101", lost);
         refetch({"0000000101"});
       },
       {0x200230f}, {"経済ニュース", "plain", "lost"}},
      {"a re-fetch completes a partial item",
       [&] {
         keep("0000000102", partial);
         refetch({"0000000102"});
       },
       {}, {"経済ニュース", "plain", "lost", "later"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    filing.errors.clear();
    c.run();
    EXPECT_EQ(filing.errors, c.errors);
    std::multiset<std::wstring> held, want;
    for (const auto& m : filing.Messages()) held.insert(m.second.subject);
    for (const char* subject : c.subjects) want.insert(W(subject));
    EXPECT_EQ(held, want);
  }
  EXPECT_EQ(pushes(pushedBefore + 2), pushedBefore + 2);
  // The completed item: its picture and thumbnails in place of the address.
  for (const auto& [list, m] : filing.Messages()) {
    if (m.subject != L"later") continue;
    EXPECT_EQ(m.raw.find("X-Feed-Image: http"), std::string::npos);
    EXPECT_NE(m.raw.find("Reply-To: http://feeds.example.jp/l\r\n"), std::string::npos);
    const auto pictures = Pictures(m.raw);
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_LT(qv::test::ColorDistance(std::get<2>(pictures[1]), qv::test::kGreen), 40);
  }
  EXPECT_EQ(serverFiling.Messages().size(), 1u);

  // One download for the mail side: the bytes as they came, or the error.
  peer_.PutFile("/file.bin", std::string("\x00\x01\xFF\r\n", 5));
  struct Download {
    const wchar_t* url;
    int result;
  } downloads[] = {{L"http://feeds.example.jp/file.bin", 0}, {L"http://feeds.example.jp/none.bin", 0x200230a}};
  for (const Download& d : downloads) {
    std::wstring url = d.url, file = L"\\Application Data\\got.bin";
    DeleteFileW(file.c_str());
    EXPECT_EQ(client.HttpReceive(&url, &file, true), d.result);
    EXPECT_EQ(GetQvMiddleError(), d.result == 0 ? 0x2000000u : static_cast<uint32_t>(d.result));
    if (d.result == 0) {
      EXPECT_EQ(ReadBytes(file), std::string("\x00\x01\xFF\r\n", 5));
    }
  }
}

// The retriever's one fetch for a feed account: the file as it came, or the
// code; the data connection it brings up for the fetch is never left held.
TEST_F(RssClientTest, TheRetrieversOneFetch) {
  const std::string text = "見出し\r\nline two\n";
  std::string binary;
  for (int n = 0; n < 3000; ++n) binary.push_back(static_cast<char>(n * 7));  // NULs, CR LF, 0xFF
  peer_.PutFile("/h/text.txt", text);
  peer_.PutFile("/h/data.bin", binary);

  struct Case {
    const char* name;
    bool hasAccount;
    DWORD network;
    const char* path;
    bool asBinary;
    int result;
    uint32_t errorWord;
    std::string file;  // what the result file holds afterwards
    long requests;
    int establishes;
  } cases[] = {
      {"a text file", true, CONNMGR_STATUS_CONNECTED, "/h/text.txt", false, 0, 0x2000000, text, 1, 1},
      {"a binary file", true, CONNMGR_STATUS_CONNECTED, "/h/data.bin", true, 0, 0x2000000, binary, 1, 1},
      {"a missing file", true, CONNMGR_STATUS_CONNECTED, "/h/none.bin", true, 0x200230a, 0x200230a, "<missing>", 1, 1},
      {"no account", false, CONNMGR_STATUS_CONNECTED, "/h/data.bin", true, 0x2002311, 0x2002019, "<missing>", 0, 0},
      {"no connection", true, CONNMGR_STATUS_CONNECTIONFAILED, "/h/data.bin", true, 0x2002311, 0x200201a,
       "<missing>", 0, 1},
  };
  // The requests nginx logged for a path, once it has logged `expected`.
  auto requests = [&](const std::string& path, long expected = 0) {
    return peer_.CountRequests("GET " + path + " ", expected);
  };
  QvRetriever retriever;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qv::seams::SetConnMgrStatus(c.network);
    const qv::seams::ConnMgrRecord before = qv::seams::ConnMgrCalls();
    const long requestsBefore = requests(c.path);
    std::wstring url = L"http://feeds.example.jp" + std::wstring(c.path, c.path + strlen(c.path));
    std::wstring file = L"\\Application Data\\got";
    DeleteFileW(file.c_str());
    EXPECT_EQ(retriever.HttpReceive(c.hasAccount ? account_.get() : nullptr, &url, &file, c.asBinary), c.result);
    EXPECT_EQ(GetQvMiddleError(), c.errorWord);
    EXPECT_EQ(ReadBytes(file), c.file);
    EXPECT_EQ(requests(c.path, requestsBefore + c.requests) - requestsBefore, c.requests);
    const qv::seams::ConnMgrRecord after = qv::seams::ConnMgrCalls();
    EXPECT_EQ(after.establishCalls - before.establishCalls, c.establishes);
    EXPECT_EQ(after.openConnections, 0);
  }
}

}  // namespace
