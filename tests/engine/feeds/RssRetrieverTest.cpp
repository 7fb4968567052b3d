// The feed retriever against a real nginx, as the feed reader drives it: an
// account with one rule per category, a connection controller, an observer.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <set>
#include <thread>
#include <tuple>
#include <utility>

#include "engine/foundation/QvAccountInfo.h"
#include "engine/public/feeds/QvRssRetriever.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvClassificationParamInterface.h"
#include "platform/base/WideText.h"
#include "platform/base/WinFormat.h"
#include "platform/net/ConnMgr.h"
#include "tests/engine/feeds/FeedFixtures.h"
#include "tests/support/SelfProcess.h"

namespace {

using namespace qv::test::feeds;
using Settings = QvAccountInfoInterface::Attributes;

constexpr GUID kOtherNetwork = {0xADB0B001, 0x10B5, 0x3F39, {0x27, 0xC6, 0x9E, 0xA9, 0x74, 0xE0, 0x0E, 0x5A}};
constexpr DWORD kPalette[] = {qv::test::kRed, qv::test::kGreen, qv::test::kBlue, kYellow, 0xFFFF00FFu, 0xFFFF8000u};

std::string Uid(unsigned n) {
  char text[16];
  snprintf(text, sizeof text, "00%08X", n);
  return text;
}

bool SetFeedUrl(QvAccountInfoInterface* account, const std::wstring& url) {
  Settings s;
  s.Select(Settings::kPopServerName);
  s.Select(Settings::kSmtpServerName);
  s.strPopServerName = L"feeds.example.jp";
  s.strSmtpServerName = url;
  return account->SetAccountInfoAttributes(s);
}

// One folder below the receive box per category, as the feed reader sets it up.
void AddCategoryRules(QvAccountInfoInterface* account) {
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  std::vector<QvClassificationParamInterface::Attributes> rules;
  for (const char* category : {"経済", "スポーツ", "写真", "tellaro", "news"}) {
    QvClassificationParamInterface::Attributes rule;
    rule.name = W(category);
    rule.field = L"X-ML-name";
    rule.keyword = W(category);
    rule.folderId = static_cast<uint32_t>(ReceiveBoxFolders(account, storage.get(), W(category))[W(category)]);
    rule.direction = 1;
    rules.push_back(rule);
  }
  std::unique_ptr<QvClassificationParamInterface> param(account->OpenClassificationParamInterface());
  ASSERT_TRUE(param && param->SetAttributes(rules));
  ASSERT_TRUE(account->SaveLastUID(Uid(9)));
}

std::multiset<std::wstring> Subjects(QvAccountInfoInterface* account) {
  std::multiset<std::wstring> subjects;
  for (const auto& [folder, item] : StoredItems(account)) subjects.insert(item.subject);
  return subjects;
}

struct Heard : QvRssRetriever::Notify {
  void notify(unsigned int message, long w, long) override {
    messages.push_back(message);
    if (message == QvRssRetriever::MSG_Error) errors.push_back(static_cast<uint32_t>(w));
    if (hook) hook(message);
  }
  void isActive(bool* active, QvRssRetriever*) override { *active = true; }
  long Count(unsigned int message) const { return std::count(messages.begin(), messages.end(), message); }
  void Clear() {
    messages.clear();
    errors.clear();
    hook = nullptr;
  }
  std::vector<unsigned int> messages;
  std::vector<uint32_t> errors;
  std::function<void(unsigned int)> hook;
};

// The two feeds of the runs at once: three items each, every picture in a
// colour of its own, named by the item's title.
void PutColourFeeds(qv::test::NginxPeer& peer) {
  for (int feed = 0; feed < 2; ++feed) {
    std::string items;
    for (int k = feed * 3; k < feed * 3 + 3; ++k) {
      const std::string n = std::to_string(k);
      const std::string file = "/colour/" + n + (k % 2 ? ".png" : ".jpg");
      peer.PutFile(file, Picture(kPalette[k], k % 2 != 0));
      items += Item20("c" + n, "http://feeds.example.jp/" + n,
                      "<category>写真</category>" + Image("http://feeds.example.jp" + file));
    }
    peer.PutFile("/colour" + std::to_string(feed) + ".xml", Rss20("UTF-8", items));
  }
}

// Each picture of the account's items is of its item's colour.
void ExpectOwnColours(QvAccountInfoInterface* account, int feed) {
  const auto all = StoredItems(account);
  ASSERT_EQ(all.size(), 3u);
  for (const auto& [folder, item] : all) {
    const int k = std::stoi(std::string(item.subject.begin() + 1, item.subject.end()));
    EXPECT_EQ(k / 3, feed) << "an item of the other run";
    ExpectPictures(item.raw, kPalette[k]);
  }
}

class RssRetrieverTest : public FeedAccountTest {
 protected:
  void SetUp() override {
    FeedAccountTest::SetUp();
    AddCategoryRules(account_.get());
  }

  bool Fetch(QvRssRetriever& retriever, QvAccountInfoInterface* account, const std::wstring& url, int mode = 0) {
    EXPECT_TRUE(SetFeedUrl(account, url));
    return retriever.RetrieveMessages(account, &ras_, mode);
  }

  QvRASController ras_;
};

TEST_F(RssRetrieverTest, ThreeFeedsBecomeStoredItems) {
  QvRssRetriever retriever;
  Heard heard;
  ASSERT_TRUE(retriever.registerNotify(&heard));
  unsigned next = 0xA;  // on from the account's last UID
  for (const FeedRun& run : ThreeFeeds(peer_)) {
    SCOPED_TRACE(testing::Message() << run.request);
    heard.Clear();
    EXPECT_TRUE(Fetch(retriever, account_.get(), run.url, run.mode));
    EXPECT_TRUE(heard.errors.empty());
    EXPECT_EQ(heard.Count(QvRssRetriever::MSG_NewMessage), static_cast<long>(run.messages.size()));
    // Each run replaced the items of the one before.
    const auto all = StoredItems(account_.get());
    ExpectStored(peer_, run, all);
    for (const StoredExpect& e : run.messages) {
      auto it = std::find_if(all.begin(), all.end(), [&](const auto& m) { return m.second.subject == W(e.subject); });
      ASSERT_NE(it, all.end());
      EXPECT_EQ(it->second.uid, Uid(next++)) << e.subject;
    }
    EXPECT_EQ(ReadBytes(L"\\Application Data\\Rivulet\\Accounts\\feed\\LastUID.ini"),
              qv::WideToUtf16LE(W(Uid(next - 1))));
    std::list<std::wstring> uids{L"x"};
    ASSERT_TRUE(account_->GetUIDL(&uids));
    EXPECT_TRUE(uids.empty());
  }
  for (const char* request : {"GET /pic/red.jpg HTTP/1.1", "GET /pic/blue.png HTTP/1.1", "GET /contents/1.eml HTTP/1.1"})
    EXPECT_GE(peer_.CountLines(std::string(request) + " | Rivulet Middle (TV-4100) | 200", 1), 1) << request;
}

// The account's last UID on the disk covers every item the moment the store
// lists it, so that a run cut off after any item never numbers a later item
// with a UID a stored one carries; once the run is over it names the last.
TEST_F(RssRetrieverTest, TheLastUidOnTheDiskCoversEveryStoredItem) {
  std::string items;
  for (int k = 0; k < 5; ++k)
    items += Item20("u" + std::to_string(k), "http://feeds.example.jp/u" + std::to_string(k), "<category>news</category>");
  peer_.PutFile("/uids.xml", Rss20("UTF-8", items));
  std::unique_ptr<QvStorageInterface> storage(account_->OpenStorage());
  ASSERT_TRUE(storage);
  std::unique_ptr<QvFolderInterface> news(
      storage->OpenFolder(ReceiveBoxFolders(account_.get(), storage.get())[L"news"]));
  ASSERT_TRUE(news);
  struct Watch : QvFolderInterface::Notify {
    void FolderChanged(uint32_t) override {}
    void MessageChanged(uint32_t id) override {
      std::unique_ptr<QvMessageInterface> message(storage->OpenMessage(id));
      QvMessageInterface::Attributes a;
      a.mask = QvMessageInterface::kUidl;
      std::wstring last;
      if (!message || !message->GetAttributes(&a) || !account->GetLastUID(&last)) {
        failures.push_back("unreadable at message " + std::to_string(id));
        return;
      }
      const unsigned long stored = std::stoul(a.uidl, nullptr, 16);
      const unsigned long covered = last.empty() ? 0 : std::stoul(std::string(last.begin(), last.end()), nullptr, 16);
      seen.push_back(stored);
      if (covered < stored) failures.push_back("item " + a.uidl + " stored while the disk said " + std::to_string(covered));
    }
    QvStorageInterface* storage = nullptr;
    QvAccountInfoInterface* account = nullptr;
    std::vector<unsigned long> seen;
    std::vector<std::string> failures;
  } watch;
  watch.storage = storage.get();
  watch.account = account_.get();
  ASSERT_TRUE(news->RegisterNotify(&watch));
  QvRssRetriever retriever;
  EXPECT_TRUE(Fetch(retriever, account_.get(), L"http://feeds.example.jp/uids.xml"));
  news->UnregisterNotify(&watch);
  EXPECT_EQ(watch.seen, (std::vector<unsigned long>{0xA, 0xB, 0xC, 0xD, 0xE}));
  EXPECT_EQ(watch.failures, std::vector<std::string>{});
  std::wstring last;
  ASSERT_TRUE(account_->GetLastUID(&last));
  EXPECT_EQ(last, W(Uid(0xE)));
}

// The items of the run before go only once the new ones are in; a run that
// breaks off keeps every one of them.
TEST_F(RssRetrieverTest, OldItemsGoOnlyAfterTheNewAreStored) {
  peer_.PutFile("/old.xml", Rss20("UTF-8", Item20("o1", "http://feeds.example.jp/o1", "<category>news</category>") +
                                               Item20("o2", "http://feeds.example.jp/o2", "<category>写真</category>")));
  peer_.PutFile("/pic/small.png", Picture(qv::test::kGreen, true));
  peer_.PutFile("/new.xml", Rss20("UTF-8", Item20("n1", "http://feeds.example.jp/n1", "<category>news</category>") +
                                               Item20("n2", "http://feeds.example.jp/n2",
                                                      "<category>news</category>" +
                                                          Image("http://feeds.example.jp/pic/small.png"))));
  peer_.PutFile("/slow/pic.jpg", std::string(400000, 'x'));  // 25 s at the server's 16 KiB/s
  peer_.PutFile("/slow.xml", Rss20("UTF-8", Item20("n1", "http://feeds.example.jp/n1", "<category>news</category>") +
                                                Item20("n2", "http://feeds.example.jp/n2",
                                                       "<category>news</category>" +
                                                           Image("http://feeds.example.jp/slow/pic.jpg"))));
  enum Action { kNone, kDropLink, kCancel };
  struct Case {
    const char* name;
    const wchar_t* url;
    Action action;  // once the second item's picture is on its way
    DWORD steps;
    bool result;
    std::vector<uint32_t> errors;
    std::vector<const char*> subjects;  // what the account holds afterwards
  } cases[] = {
      {"a run that goes well", L"http://feeds.example.jp/new.xml", kNone, 600, true, {}, {"n1", "n2"}},
      {"the link drops during a picture", L"http://feeds.example.jp/slow.xml", kDropLink, 600, false,
       {0x200230c}, {"o1", "o2", "n1"}},
      {"a picture times out", L"http://feeds.example.jp/slow.xml", kNone, 3, false, {0x200230d}, {"o1", "o2", "n1"}},
      {"a cancel during a picture", L"http://feeds.example.jp/slow.xml", kCancel, 600, false, {0x2002310},
       {"o1", "o2", "n1"}},
      {"no document", L"http://feeds.example.jp/none.xml", kNone, 600, false, {0x200230a}, {"o1", "o2"}},
  };
  QvRssRetriever retriever;
  Heard heard;
  retriever.registerNotify(&heard);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    heard.Clear();
    ASSERT_TRUE(Fetch(retriever, account_.get(), L"http://feeds.example.jp/old.xml"));
    ASSERT_EQ(Subjects(account_.get()), (std::multiset<std::wstring>{L"o1", L"o2"}));
    qv::seams::SetNetworkWait(kStep, c.steps);
    bool oldKept = true;
    std::thread actor;
    std::chrono::steady_clock::time_point asked;
    heard.hook = [&](unsigned int message) {
      if (message != QvRssRetriever::MSG_NewMessage) return;
      const auto held = Subjects(account_.get());
      oldKept = oldKept && held.count(L"o1") == 1 && held.count(L"o2") == 1;
      if (c.action == kNone || actor.joinable()) return;
      actor = std::thread([&] {
        while (qv::seams::InetLiveObjects() == 0) std::this_thread::yield();
        asked = std::chrono::steady_clock::now();
        if (c.action == kCancel) retriever.CancelRetrieveMessages();
        else qv::seams::SetConnMgrStatus(CONNMGR_STATUS_DISCONNECTED);
      });
    };
    EXPECT_EQ(Fetch(retriever, account_.get(), c.url), c.result);
    const auto took = std::chrono::steady_clock::now() - asked;
    if (actor.joinable()) actor.join();
    heard.hook = nullptr;
    if (c.action == kCancel) {
      // The picture would take 25 s: a bound far from what load can reach
      // still proves the cancel stopped it.
      EXPECT_LE(took, std::chrono::milliseconds(5000));
    }
    qv::seams::SetConnMgrStatus(CONNMGR_STATUS_CONNECTED);
    qv::seams::SetNetworkWait(kStep, 600);
    EXPECT_TRUE(oldKept) << "an old item went before the new ones were in";
    EXPECT_EQ(heard.errors, c.errors);
    std::multiset<std::wstring> want;
    for (const char* subject : c.subjects) want.insert(W(subject));
    EXPECT_EQ(Subjects(account_.get()), want);
  }
  // A cancel while no run is on is dropped.
  retriever.CancelRetrieveMessages();
  EXPECT_TRUE(Fetch(retriever, account_.get(), L"http://feeds.example.jp/new.xml"));

  // The server stops once the document is served: its pictures find no one.
  // (A picture on a host that never answered is only left out.)
  ASSERT_TRUE(Fetch(retriever, account_.get(), L"http://feeds.example.jp/old.xml"));
  auto own = std::make_unique<qv::test::NginxPeer>();
  ASSERT_TRUE(own->Ready()) << own->Error();
  own->PutFile("/new.xml", Rss20("UTF-8", Item20("n0", "http://feeds.example.jp/n0",
                                                 "<category>news</category>" + Image("http://dead.example.jp/p.png")) +
                                              Item20("n1", "http://feeds.example.jp/n1", "<category>news</category>") +
                                               Item20("n2", "http://feeds.example.jp/n2",
                                                      "<category>news</category>" +
                                                          Image("http://feeds.example.jp/pic/small.png"))));
  qv::seams::MapHost("feeds.example.jp", 80, own->Port());
  heard.Clear();
  heard.hook = [&](unsigned int message) {
    if (message == QvRssRetriever::MSG_NewMessage) own.reset();
  };
  EXPECT_FALSE(Fetch(retriever, account_.get(), L"http://feeds.example.jp/new.xml"));
  heard.hook = nullptr;
  EXPECT_EQ(heard.errors, std::vector<uint32_t>{0x200230c});
  EXPECT_EQ(Subjects(account_.get()), (std::multiset<std::wstring>{L"o1", L"o2", L"n0", L"n1"}));
}

// A new item whose text could not be synced stays stored, but the run
// reports it and keeps the old items: after a power cut the new one might not
// be there, and the account would have neither.
TEST_F(RssRetrieverTest, AnItemWhoseTextCouldNotBeSyncedKeepsTheOldItems) {
  peer_.PutFile("/old.xml", Rss20("UTF-8", Item20("o1", "http://feeds.example.jp/o1", "<category>news</category>") +
                                               Item20("o2", "http://feeds.example.jp/o2", "<category>写真</category>")));
  peer_.PutFile("/new.xml", Rss20("UTF-8", Item20("n1", "http://feeds.example.jp/n1", "<category>news</category>") +
                                               Item20("n2", "http://feeds.example.jp/n2", "<category>news</category>") +
                                               Item20("n3", "http://feeds.example.jp/n3", "<category>news</category>")));
  QvRssRetriever retriever;
  Heard heard;
  retriever.registerNotify(&heard);
  ASSERT_TRUE(Fetch(retriever, account_.get(), L"http://feeds.example.jp/old.xml"));
  unsigned long highest = 0;
  {
    std::unique_ptr<QvStorageInterface> storage(account_->OpenStorage());
    for (const auto& [name, f] : ReceiveBoxFolders(account_.get(), storage.get())) {
      std::vector<unsigned long> ids;
      std::unique_ptr<QvFolderInterface>(storage->OpenFolder(f))->GetMessageIds(&ids);
      for (unsigned long id : ids) highest = std::max(highest, id);
    }
  }
  ASSERT_GT(highest, 0u);
  std::wstring root;
  ASSERT_EQ(account_->Account()->SubFolderPath(QvAccountInfo::kStorageFolder, &root), QVMDL_SUCCESS);
  struct Case {
    const char* name;
    unsigned long offset;  // the new item whose text fails to sync, after the highest old id
  } cases[] = {{"the first new item", 1}, {"the last new item", 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    heard.Clear();
    const unsigned long id = highest + c.offset;
    qv::seams::InjectFileFault(qv::FormatW(L"%s\\DATA\\%02lX\\%02lX.eml", root.c_str(), id & 0xFF, (id >> 8) & 0xFF),
                               ERROR_WRITE_FAULT);
    EXPECT_FALSE(Fetch(retriever, account_.get(), L"http://feeds.example.jp/new.xml"));
    qv::seams::ClearFileFaults();
    EXPECT_EQ(heard.errors, std::vector<uint32_t>{QVMDL_ERR_STG_FILEIO_FILE_WRITE_EML});
    EXPECT_EQ(heard.Count(QvRssRetriever::MSG_NewMessage), 3);
    EXPECT_EQ(Subjects(account_.get()), (std::multiset<std::wstring>{L"o1", L"o2", L"n1", L"n2", L"n3"}));
    // The next run that goes well replaces them all.
    ASSERT_TRUE(Fetch(retriever, account_.get(), L"http://feeds.example.jp/old.xml"));
    EXPECT_EQ(Subjects(account_.get()), (std::multiset<std::wstring>{L"o1", L"o2"}));
    highest += 5;  // three new items, then two old ones again
  }
}

// A re-fetch completes a stored item in place: the client's whole text with
// its feed header lines, the picture and its thumbnails; the last UID stays.
TEST_F(RssRetrieverTest, ARefetchCompletesStoredItems) {
  peer_.PutFile("/pic/green.png", Picture(qv::test::kGreen, true));
  const std::string partial =
      "X-Kxr-Rivulet\r\nSubject: later\r\nx-ml-name: news\r\nReply-To: http://feeds.example.jp/l\r\n"
      "X-Feed-Contents: \r\nX-Feed-Image: http://feeds.example.jp/pic/green.png\r\nMime-Version: 1.0\r\n\r\nbody\r\n";
  std::unique_ptr<QvStorageInterface> storage(account_->OpenStorage());
  auto keep = [&](const std::string& uid) {
    std::unique_ptr<QvFolderInterface> folder(
        storage->OpenFolder(ReceiveBoxFolders(account_.get(), storage.get(), L"news")[L"news"]));
    unsigned long id = 0;
    EXPECT_TRUE(folder->CreateMessage(&id));
    std::unique_ptr<QvMessageInterface> message(storage->OpenMessage(id));
    QvMessageInterface::Attributes a;
    a.mask = QvMessageInterface::kUidl | QvMessageInterface::kState;
    a.uidl = uid;
    a.state = 1;
    EXPECT_TRUE(message->Write(partial) && message->SetAttributes(a));
    return id;
  };
  const unsigned long first = keep("0000000100");
  const unsigned long second = keep("0000000101");
  QvRssRetriever retriever;
  Heard heard;
  retriever.registerNotify(&heard);
  EXPECT_TRUE(retriever.RetrieveSelectedMessages({first, second}, account_.get(), &ras_, ""));
  EXPECT_TRUE(heard.errors.empty());
  const auto all = StoredItems(account_.get());
  ASSERT_EQ(all.size(), 2u);
  for (const auto& [folder, item] : all) {
    EXPECT_EQ(item.raw.find("X-Feed-Image: http"), std::string::npos);
    EXPECT_EQ(item.raw.rfind("X-Kxr-Rivulet", 0), 0u);
    EXPECT_NE(item.raw.find("Reply-To: http://feeds.example.jp/l\r\n"), std::string::npos);
    ExpectPictures(item.raw, qv::test::kGreen);
  }
  std::unique_ptr<QvMessageInterface> message(storage->OpenMessage(first));
  QvMessageInterface::Attributes a;
  a.mask = QvMessageInterface::kUnread | QvMessageInterface::kHasAttachments | QvMessageInterface::kState;
  ASSERT_TRUE(message->GetAttributes(&a));
  EXPECT_EQ(std::make_tuple(a.unread, a.hasAttachments, a.state), std::make_tuple(1, 1, 0));
  std::wstring last;
  ASSERT_TRUE(account_->GetLastUID(&last));
  EXPECT_EQ(last, W(Uid(9)));
}

// What the entry points refuse, and how the caller hears of it.
TEST_F(RssRetrieverTest, RunsThatCannotStart) {
  QvRssRetriever retriever;
  Heard heard, second;
  ASSERT_TRUE(retriever.registerNotify(&heard));
  EXPECT_FALSE(retriever.registerNotify(&second));
  EXPECT_EQ(GetQvMiddleError(), 0x20000d8u);
  SetQvMiddleError(0x2000000);
  EXPECT_FALSE(retriever.RetrieveMessages(nullptr, &ras_, 0));
  EXPECT_EQ(GetQvMiddleError(), 0x2000000u) << "an observer hears it instead";
  qv::seams::SetConnMgrStatus(CONNMGR_STATUS_CONNECTIONFAILED);
  EXPECT_FALSE(retriever.ClearMessagesOnPopServer(account_.get(), &ras_, ""));
  EXPECT_EQ(heard.errors, (std::vector<uint32_t>{0x2002019, 0x200201a}));
  EXPECT_TRUE(retriever.registerNotify(nullptr));
  EXPECT_FALSE(retriever.RetrieveMessages(account_.get(), &ras_, 0));
  EXPECT_EQ(GetQvMiddleError(), 0x200201au);
}

// The clearing mode asks the server with "mode=manual" and files what comes
// back like a fetch, so its items are never dropped.
TEST_F(RssRetrieverTest, AClearingRunFilesWhatItFetches) {
  peer_.PutFile("/clear.xml", Rss20("UTF-8", Item20("kept", "http://feeds.example.jp/k", "<category>news</category>")));
  ASSERT_TRUE(SetFeedUrl(account_.get(), L"http://feeds.example.jp/clear.xml"));
  QvRssRetriever retriever;
  EXPECT_TRUE(retriever.ClearMessagesOnPopServer(account_.get(), &ras_, ""));
  EXPECT_EQ(Subjects(account_.get()), (std::multiset<std::wstring>{L"kept"}));
  EXPECT_GE(peer_.CountLines("GET /clear.xml?mode=manual HTTP/1.1 | Rivulet Middle (TV-4100) | 200", 1), 1);
}

// The child of the two-process case: one run into the shared device root.
int ChildRun(const char* port) {
  qv::seams::MapHost("feeds.example.jp", 80, static_cast<WORD>(std::atoi(port)));
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(L"feed3", kFeedKey));
  if (!account || !SetFeedUrl(account.get(), L"http://feeds.example.jp/colour1.xml")) return 2;
  QvRASController ras;
  QvRssRetriever retriever;
  return retriever.RetrieveMessages(account.get(), &ras, 0) ? 0 : 1;
}

const bool g_child = [] {
  if (const char* port = std::getenv("QV_FEED_CHILD")) std::exit(ChildRun(port));
  return false;
}();

TEST_F(RssRetrieverTest, TwoRunsAtOnceKeepTheirOwnPictures) {
  PutColourFeeds(peer_);
  std::vector<std::unique_ptr<QvAccountInfoInterface>> accounts;
  for (int i = 0; i < 4; ++i) {
    accounts.push_back(MakeAccount(L"feed" + std::to_wstring(i)));
    AddCategoryRules(accounts.back().get());
    ASSERT_TRUE(SetFeedUrl(accounts.back().get(), L"http://feeds.example.jp/colour" + std::to_wstring(i % 2) + L".xml"));
  }
  // Two threads, each with its own retriever and controller.
  std::vector<std::thread> runs;
  std::atomic<int> succeeded{0};
  for (int i = 0; i < 2; ++i)
    runs.emplace_back([&, i] {
      QvRASController ras;
      QvRssRetriever retriever;
      if (retriever.RetrieveMessages(accounts[i].get(), &ras, 0)) ++succeeded;
    });
  for (auto& t : runs) t.join();
  EXPECT_EQ(succeeded, 2);
  // Two processes: this one and a child of the same program.
  const pid_t child = qv::test::SpawnSelf({"QV_FEED_CHILD=" + std::to_string(peer_.Port()), "QVMAIL_DEVICE_ROOT=" + root_});
  QvRssRetriever retriever;
  EXPECT_TRUE(retriever.RetrieveMessages(accounts[2].get(), &ras_, 0));
  EXPECT_EQ(qv::test::WaitExit(child), 0);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    ExpectOwnColours(accounts[i].get(), i % 2);
  }
}

// While a run of the account is on, a second one, from the observer or from
// another thread, is refused at once and fetches nothing; another account
// runs. Once the run ended, the account runs again.
TEST_F(RssRetrieverTest, ASecondRunOfTheAccountIsRefusedWhileOneRuns) {
  peer_.PutFile("/two.xml", Rss20("UTF-8", Item20("t1", "http://feeds.example.jp/t1", "<category>news</category>") +
                                               Item20("t2", "http://feeds.example.jp/t2", "<category>news</category>")));
  ASSERT_TRUE(SetFeedUrl(account_.get(), L"http://feeds.example.jp/two.xml"));
  std::unique_ptr<QvAccountInfoInterface> other = MakeAccount(L"other");
  AddCategoryRules(other.get());
  ASSERT_TRUE(SetFeedUrl(other.get(), L"http://feeds.example.jp/two.xml"));
  struct Second {
    bool result = true;
    Heard heard;
  };
  Second nested, threaded, otherAccount;
  const auto run = [this](QvAccountInfoInterface* account, Second* second) {
    QvRASController ras;
    QvRssRetriever retriever;
    retriever.registerNotify(&second->heard);
    second->result = retriever.RetrieveMessages(account, &ras, 0);
  };
  const long before = peer_.CountRequests("GET /two.xml", 0);
  QvRssRetriever retriever;
  Heard heard;
  retriever.registerNotify(&heard);
  int tries = 0;
  heard.hook = [&](unsigned int message) {
    if (message != QvRssRetriever::MSG_NewMessage || tries++ != 0) return;
    run(account_.get(), &nested);
    std::thread([&] { run(account_.get(), &threaded); }).join();
    run(other.get(), &otherAccount);
  };
  EXPECT_TRUE(retriever.RetrieveMessages(account_.get(), &ras_, 0));
  EXPECT_TRUE(heard.errors.empty());
  for (const Second* second : {&nested, &threaded}) {
    EXPECT_FALSE(second->result);
    EXPECT_EQ(second->heard.messages, std::vector<unsigned int>{QvRssRetriever::MSG_Error});
    EXPECT_EQ(second->heard.errors, std::vector<uint32_t>{QVMDL_ERR_RECV_ACCOUNT_BUSY});
  }
  EXPECT_TRUE(otherAccount.result);
  EXPECT_EQ(Subjects(account_.get()), (std::multiset<std::wstring>{L"t1", L"t2"}));
  EXPECT_EQ(Subjects(other.get()), (std::multiset<std::wstring>{L"t1", L"t2"}));
  EXPECT_EQ(peer_.CountRequests("GET /two.xml", before + 2), before + 2) << "one fetch per account";

  // Without an observer the error word tells it.
  bool asked = false;
  heard.hook = [&](unsigned int message) {
    if (message != QvRssRetriever::MSG_NewMessage || std::exchange(asked, true)) return;
    QvRASController ras;
    QvRssRetriever second;
    SetQvMiddleError(0);
    nested.result = second.RetrieveMessages(account_.get(), &ras, 0);
    EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_RECV_ACCOUNT_BUSY);
  };
  EXPECT_TRUE(retriever.RetrieveMessages(account_.get(), &ras_, 0));
  EXPECT_TRUE(asked);
  EXPECT_FALSE(nested.result);
}

// The controller calls the retriever only while a run is on, and never once
// it is gone.
TEST_F(RssRetrieverTest, TheControllerHearsTheRetrieverOnlyDuringARun) {
  peer_.PutFile("/one.xml", Rss20("UTF-8", Item20("one", "http://feeds.example.jp/1", "<category>news</category>")));
  std::unique_ptr<QvAccountInfoInterface> other = MakeAccount(L"other");
  Settings s;
  s.Select(Settings::kNetworkSetting);
  s.guidNetworkSetting = kOtherNetwork;
  ASSERT_TRUE(other->SetAccountInfoAttributes(s));
  long status = 0;
  auto retriever = std::make_unique<QvRssRetriever>();
  Heard heard;
  retriever->registerNotify(&heard);
  // The run switches the controller to the feed's network and hears it.
  ASSERT_NE(ras_.EstablishConnection(&status, other.get()), nullptr);
  EXPECT_TRUE(Fetch(*retriever, account_.get(), L"http://feeds.example.jp/one.xml"));
  EXPECT_EQ(heard.Count(QvRssRetriever::MSG_Connection), 5);
  ASSERT_NE(ras_.EstablishConnection(&status, other.get()), nullptr);
  EXPECT_EQ(heard.Count(QvRssRetriever::MSG_Connection), 5);
  retriever.reset();
  // Gone and unregistered: a switch now calls no one (the sanitizer would see it).
  ASSERT_NE(ras_.EstablishConnection(&status, account_.get()), nullptr);
}

}  // namespace
