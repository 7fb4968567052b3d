// The retriever against a real dovecot, into a real store on disk: filing by
// the rules, what the account's UID files hold after each kind of run, mail
// left, deleted or kept on the server, the message limit, and runs that end
// badly (a lost link, a killed process).
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <set>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/public/store/QvPhoneStatus.h"
#include "engine/public/store/QvSystemInfoInterface.h"
#include "engine/public/transport/QvAutoRetriever.h"
#include "engine/store/QvStorageSet.h"
#include "engine/transport/QvUidJournal.h"
#include "platform/base/WideText.h"
#include "platform/codepage/CodePage.h"
#include "platform/kernel/DeviceFs.h"
#include "tests/engine/transport/retrieval/RetrieverFixture.h"
#include "tests/engine/transport/retrieval/CuttingRelay.h"
#include "tests/support/SelfProcess.h"
#include "tests/support/TestServer.h"

namespace qv::test {
namespace {

size_t Count(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + 1)) ++count;
  return count;
}

TEST_F(RetrieverTest, TwoHundredFiledByRulesThenOnlyNewOnes) {
  // 50, 30 and 20 go to the three folders by subject, 100 stay in the box.
  SetRules({{L"a", L"件名", L"alpha", static_cast<uint32_t>(inboxChildren_[0]), 1, 0},
            {L"b", L"件名", L"beta", static_cast<uint32_t>(inboxChildren_[1]), 1, 0},
            {L"c", L"件名", L"gamma", static_cast<uint32_t>(inboxChildren_[2]), 1, 0}});
  const auto subjectOf = [](int n) { return n <= 50 ? "alpha" : n <= 80 ? "beta" : n <= 100 ? "gamma" : "plain"; };
  long total = 0;
  for (int n = 1; n <= 200; ++n) {
    Deliver(NumberedMail(n, subjectOf(n)));
    total += static_cast<long>(delivered_.back().size());
  }
  RetrieverRecorder recorder;
  ASSERT_TRUE(Receive(recorder)) << std::hex << recorder.Error() << peer_.Log();

  std::vector<NotifyEvent> expected = {{11, 1, 0}, {11, 2, 0}, {7, 200, total}};
  for (int n = 0; n < 200; ++n) {
    expected.push_back({10, 1, 0});
    expected.push_back({0, 0, 0});
  }
  expected.push_back({4, 200, 0});
  EXPECT_EQ(recorder.events, expected);

  const auto stored = StoredByUid();
  ASSERT_EQ(stored.size(), 200u);
  const std::string any = stored.begin()->first;
  std::wstring list;
  std::map<unsigned long, int> perFolder;
  for (int n = 1; n <= 200; ++n) {
    const std::string uid = DovecotUid(n, any);
    list += qv::Cp932ToWide(uid) + L"\r\n";
    const auto it = stored.find(uid);
    ASSERT_NE(it, stored.end()) << n << " " << uid;
    EXPECT_EQ(it->second.raw, delivered_[n - 1]) << n;
    const size_t rule = n <= 50 ? 0 : n <= 80 ? 1 : n <= 100 ? 2 : 3;
    EXPECT_EQ(it->second.folder, rule < 3 ? inboxChildren_[rule] : inbox_) << n;
  }
  EXPECT_EQ(ReadHost(AccountFile("Acc", "UID.list")), qv::WideToUtf16LE(list));
  EXPECT_EQ(ReadHost(AccountFile("Acc", "LastUID.ini")), qv::WideToUtf16LE(qv::Cp932ToWide(DovecotUid(200, any))));
  const std::string history = ReadHost(AccountFile("Acc", "recvhistory.dat"));
  EXPECT_NE(history.find("sender200@example.jp\n"), std::string::npos);
  EXPECT_EQ(std::count(history.begin(), history.end(), '\n'), static_cast<long>(2 * MailHistory::kMaxEntries));
  EXPECT_EQ(peer_.MessageCount(user_), 200);

  // Nothing new: no fetch at all, and "no new mail".
  size_t from = LogSize();
  RetrieverRecorder again;
  EXPECT_FALSE(Receive(again));
  EXPECT_EQ(again.events, (std::vector<NotifyEvent>{{11, 1, 0}, {11, 2, 0}, {3, QVMDL_ERR_RECV_NO_NEW_MAIL, 0}}));
  EXPECT_EQ(LogTail(from).find("RETR"), std::string::npos);

  for (int n = 201; n <= 205; ++n) Deliver(NumberedMail(n, "plain"));
  from = LogSize();
  RetrieverRecorder fresh;
  ASSERT_TRUE(Receive(fresh)) << std::hex << fresh.Error();
  EXPECT_EQ(fresh.whole, 5);
  const auto after = StoredByUid();
  EXPECT_EQ(after.size(), 205u);
  for (int n = 201; n <= 205; ++n) {
    const auto it = after.find(DovecotUid(n, any));
    ASSERT_NE(it, after.end());
    EXPECT_EQ(it->second.raw, delivered_[n - 1]);
  }
  EXPECT_EQ(KnownUids().size(), 205u);
  EXPECT_EQ(Count(LogTail(from), "RETR "), 5u);
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

class RetrieverBrokenRun : public RetrieverTest {
 protected:
  void SetUp() override {
    RetrieverTest::SetUp();
    for (int n = 1; n <= 200; ++n) Deliver(NumberedMail(n, "plain"));
  }
  // Every message stored exactly once, and the account knows exactly those
  // (after a crash, only once the next run folded its journal in).
  void ExpectStoredOnce(size_t count, bool listed = true) {
    const auto stored = StoredByUid();
    std::set<std::string> uids;
    for (const auto& [uid, copy] : stored) uids.insert(uid);
    EXPECT_EQ(uids.size(), stored.size());
    EXPECT_EQ(stored.size(), count);
    if (!listed) return;
    std::set<std::string> known;
    for (const std::wstring& w : KnownUids()) known.insert(qv::WideToCp932(w));
    EXPECT_EQ(known, uids);
  }
};

TEST_F(RetrieverBrokenRun, LinkLostAtTheHundredAndFirstKeepsTheFirstHundred) {
  qv::seams::SetNetworkWait(20, 600);
  {
    CuttingRelay relay(peer_.PlainPort(), "RETR 101\r\n");
    qv::seams::MapHost("pop.example.com", 110, relay.Port());
    RetrieverRecorder recorder;
    EXPECT_FALSE(Receive(recorder));
    EXPECT_TRUE(relay.Cut());
    EXPECT_EQ(recorder.Error(), QVMDL_ERR_NET_LINK_LOST);
    EXPECT_EQ(recorder.whole, 100);
  }
  ExpectStoredOnce(100);
  EXPECT_EQ(peer_.MessageCount(user_), 200);
  const auto first = StoredByUid();
  for (int n = 1; n <= 100; ++n) EXPECT_EQ(first.count(DovecotUid(n, first.begin()->first)), 1u) << n;

  qv::seams::SetConnMgrStatus(CONNMGR_STATUS_CONNECTED);
  qv::seams::MapHost("pop.example.com", 110, peer_.PlainPort());
  RetrieverRecorder again;
  ASSERT_TRUE(Receive(again)) << std::hex << again.Error();
  EXPECT_EQ(again.whole, 100);
  ExpectStoredOnce(200);
}

// The child: receives into the same device root and dies by SIGKILL right
// after the 50th message was stored.
int KilledReceiver(const char* port) {
  qv::seams::MapHost("pop.example.com", 110, static_cast<WORD>(std::atoi(port)));
  if (const char* ca = ::getenv("QV_POP_CA")) qv::seams::SetTrustedCaFile(ca);
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(L"Acc", L""));
  if (!account) return 2;
  QvRASController ras;
  QvRetriever retriever;
  RetrieverRecorder recorder;
  recorder.hook = [&](unsigned message, long, long) {
    if (message == QvRetriever::MSG_NewMessage && recorder.whole == 50) ::kill(::getpid(), SIGKILL);
  };
  retriever.registerNotify(&recorder);
  retriever.RetrieveMessages(account.get(), &ras, std::getenv("QV_RETRIEVER_PASSWORD"));
  return 3;  // never killed
}

const bool g_child = [] {
  if (const char* port = ::getenv("QV_RETRIEVER_CHILD")) std::exit(KilledReceiver(port));
  return false;
}();

TEST_F(RetrieverBrokenRun, ProcessKilledAfterTheFiftiethStoresNoDuplicate) {
  storage_.reset();
  account_.reset();
  const pid_t child = SpawnSelf({"QV_RETRIEVER_CHILD=" + std::to_string(peer_.PlainPort()), "QV_POP_CA=" + peer_.CaFile(),
                                 "QV_RETRIEVER_PASSWORD=" + peer_.Password(), "QVMAIL_DEVICE_ROOT=" + root_});
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  account_ = Open(L"Acc");
  storage_.reset(account_->OpenStorage());
  ASSERT_TRUE(storage_);
  ExpectStoredOnce(50, false);

  RetrieverRecorder recorder;
  ASSERT_TRUE(Receive(recorder)) << std::hex << recorder.Error();
  EXPECT_EQ(recorder.whole, 150);
  ExpectStoredOnce(200);
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

TEST_F(RetrieverTest, PartialCopiesStayOnTheServerUntilFetchedWhole) {
  Set(Settings::kMessageLeavingEnabled, true);
  Set(Settings::kPartialRetrievingEnabled, true);
  Set(Settings::kPartialRetrievingLines, true, 10);
  // Two short mails come whole; eight long ones in part, one of them 4 MB.
  Deliver(NumberedMail(1, "short", 2));
  Deliver(NumberedMail(2, "short", 2));
  for (int n = 3; n <= 9; ++n) Deliver(NumberedMail(n, "long", 40));
  Deliver(NumberedMail(10, "huge", 4 * 1024 * 1024 / 24));
  const auto serverHolds = [&] { return peer_.MessageCount(user_); };

  RetrieverRecorder first;
  ASSERT_TRUE(Receive(first)) << std::hex << first.Error();
  auto stored = StoredByUid();
  ASSERT_EQ(stored.size(), 10u);
  const std::string any = stored.begin()->first;
  for (int n = 1; n <= 10; ++n) {
    const Stored& copy = stored.find(DovecotUid(n, any))->second;
    EXPECT_EQ(copy.state, n <= 2 ? 0 : 1) << n;
    // A partial copy is the start of the mail.
    const std::string expected = n <= 2 ? delivered_[n - 1] : delivered_[n - 1].substr(0, copy.raw.size());
    EXPECT_EQ(copy.raw, expected) << n;
  }
  EXPECT_EQ(serverHolds(), 10);  // the "TOP" session deletes nothing

  // Later runs delete what came whole, never a partial copy.
  RetrieverRecorder second;
  EXPECT_FALSE(Receive(second));
  EXPECT_EQ(second.Error(), QVMDL_ERR_RECV_NO_NEW_MAIL);
  EXPECT_EQ(serverHolds(), 8);
  {
    QvRetriever clearing;
    EXPECT_TRUE(clearing.ClearMessagesOnPopServer(account_.get(), &ras_, peer_.Password()));
  }
  EXPECT_EQ(serverHolds(), 8);

  // Completing them: each is replaced whole and only then deleted; the
  // 4 MB one comes as its header only and stays.
  std::list<unsigned long> partial;
  for (int n = 3; n <= 10; ++n) partial.push_back(stored.find(DovecotUid(n, any))->second.id);
  {
    QvRetriever completing;
    RetrieverRecorder recorder;
    ASSERT_TRUE(completing.registerNotify(&recorder));
    EXPECT_TRUE(completing.RetrieveSelectedMessages(partial, account_.get(), &ras_, peer_.Password()))
        << std::hex << recorder.Error();
    EXPECT_EQ(recorder.whole, 7);
  }
  stored = StoredByUid();
  for (int n = 3; n <= 9; ++n) {
    const Stored& copy = stored.find(DovecotUid(n, any))->second;
    EXPECT_EQ(std::make_pair(copy.state, copy.raw), std::make_pair(0, delivered_[n - 1])) << n;
    EXPECT_EQ(Attributes(copy.id, QvMessageInterface::kUnread).unread, 1);
  }
  const Stored& huge = stored.find(DovecotUid(10, any))->second;
  EXPECT_EQ(huge.state, 1);
  const size_t headerEnd = huge.raw.find("\r\n\r\n");
  EXPECT_EQ(huge.raw.substr(headerEnd - 18, 20), "X-Oversize-Qvmail:\r\n");
  EXPECT_EQ(serverHolds(), 1);
  RetrieverRecorder later;
  Receive(later);
  EXPECT_EQ(serverHolds(), 1);
  EXPECT_EQ(KnownUids(), std::list<std::wstring>{qv::Cp932ToWide(DovecotUid(10, any))});
}

TEST_F(RetrieverTest, MessageLimitStoresWhatFits) {
  Set(Settings::kRemoveOldMessageEnabled, true);
  Set(Settings::kRemoveOldMessageCnt, true, 2);
  for (int n = 1; n <= 5; ++n) Deliver(NumberedMail(n, "plain"));
  RetrieverRecorder recorder;
  EXPECT_FALSE(Receive(recorder));
  EXPECT_EQ(recorder.whole, 2);
  EXPECT_EQ(recorder.LastError(), (NotifyEvent{3, QVMDL_ERR_RECV_MESSAGE_LIMIT, 3}));
  EXPECT_EQ(StoredByUid().size(), 2u);
  EXPECT_EQ(KnownUids().size(), 2u);
  // No room at all: nothing is fetched.
  const size_t from = LogSize();
  RetrieverRecorder full;
  EXPECT_FALSE(Receive(full));
  EXPECT_EQ(full.LastError(), (NotifyEvent{3, QVMDL_ERR_RECV_MESSAGE_LIMIT, 3}));
  EXPECT_EQ(Count(LogTail(from), "RETR"), 0u);
}

TEST_F(RetrieverTest, AutomaticReceiveOfTheCarrierAccount) {
  QvAutoRetriever automatic;
  EXPECT_FALSE(automatic.StartWaiting(&ras_));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_RECV_NO_CARRIER_ACCOUNT);

  Install("outside/KxPhoneStatus/libKxPhoneStatus.so", "Windows/KxPhoneStatus.so");
  Install("outside/QvMailDynCall/libQvMailDynCall.so", "Windows/QvMailDynCall.so");
  ASSERT_TRUE(CreateDirectoryW(L"\\Application Data\\QuvoMail\\System", nullptr));
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"SystemInfoPath",
                               L"\\Application Data\\QuvoMail\\System\\"));
  ASSERT_TRUE(QvSystemInfoInterface::SetSystemInfo(L"Acc"));
  Settings s;
  s.strPopPasswd = std::wstring(peer_.Password().begin(), peer_.Password().end());
  s.Select(Settings::kPopPasswd);
  ASSERT_TRUE(account_->SetAccountInfoAttributes(s));
  const auto item = [](int n) { return GetPhoneStatus(static_cast<unsigned>(n)); };
  const auto ring = [](const wchar_t* name) {
    DWORD value = 0;
    return GetRegistryDword(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMailDynCall", name, &value) ? value : 99;
  };
  struct Case {
    const char* what;
    int mails;
    bool linkUp;
    unsigned receiveItem;
  };
  const Case cases[] = {{"new mail", 3, true, 0}, {"no new mail", 0, true, 3}, {"no connection", 0, false, 4}};
  for (const Case& c : cases) {
    for (int n = 0; n < c.mails; ++n) Deliver(NumberedMail(n, "carrier"));
    SetPhoneStatus(10, 0u);
    long status = 0;
    if (!c.linkUp) ras_.ReleaseConnection(&status);
    qv::seams::SetConnMgrEstablishHandler(
        [&](const GUID&, DWORD) -> DWORD { return c.linkUp ? CONNMGR_STATUS_CONNECTED : CONNMGR_STATUS_CONNECTIONFAILED; });
    RetrieverRecorder recorder;
    ASSERT_TRUE(automatic.Retriever()->registerNotify(&recorder));
    EXPECT_EQ(automatic.StartWaiting(&ras_), c.mails > 0) << c.what;
    automatic.Retriever()->registerNotify(nullptr);
    EXPECT_EQ(recorder.whole, c.mails) << c.what;
    EXPECT_EQ(item(13), c.receiveItem) << c.what;
    EXPECT_EQ(item(10), c.mails > 0 ? 1u : 0u) << c.what;
    // The ring is off while the account's connection is held, on once released.
    EXPECT_EQ(ring(L"Last2ndRing"), c.linkUp ? 0u : 1u) << c.what;
  }
}

// A cancel that comes before the run starts stops it only when the caller
// announced the run; a cancel after an announced run ended is dropped.
TEST_F(RetrieverTest, CancelBeforeAnnouncedRunEndsItAtItsStart) {
  struct Case {
    const char* what;
    bool announce, cancelAhead, firstStores;
  };
  const Case cases[] = {
      {"announced, cancelled ahead", true, true, false},
      {"announced, not cancelled", true, false, true},
      {"not announced, cancelled ahead", false, true, true},
  };
  int n = 0;
  for (const Case& c : cases) {
    Deliver(NumberedMail(++n, "ahead"));
    const int onServer = peer_.MessageCount(user_);
    QvRetriever retriever;
    if (c.announce) retriever.ExpectRun();
    if (c.cancelAhead) retriever.CancelRetrieveMessages();
    RetrieverRecorder first;
    const size_t logBefore = LogSize();
    EXPECT_EQ(Receive(first, retriever), c.firstStores) << c.what << std::hex << first.Error();
    EXPECT_EQ(first.whole, c.firstStores ? 1 : 0) << c.what;
    if (!c.firstStores) {
      EXPECT_EQ(first.Error(), static_cast<long>(QVMDL_ERR_POP_CANCELLED)) << c.what;
      // Never connected: the server was not touched.
      EXPECT_EQ(LogTail(logBefore).find("USER"), std::string::npos) << c.what;
      EXPECT_EQ(peer_.MessageCount(user_), onServer) << c.what;
    }
    retriever.registerNotify(nullptr);
    // The word is spent by that run: a cancel now is dropped.
    retriever.CancelRetrieveMessages();
    Deliver(NumberedMail(++n, "ahead"));
    RetrieverRecorder second;
    EXPECT_TRUE(Receive(second, retriever)) << c.what << std::hex << second.Error();
    EXPECT_EQ(second.whole, c.firstStores ? 1 : 2) << c.what;
  }
}

TEST_F(RetrieverTest, CancelWhileIdleDoesNotCancelTheNextRun) {
  Deliver(NumberedMail(1, "plain"));
  QvRetriever retriever;
  retriever.CancelRetrieveMessages();
  RetrieverRecorder recorder;
  EXPECT_TRUE(Receive(recorder, retriever)) << std::hex << recorder.Error();
  EXPECT_EQ(recorder.whole, 1);
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

// A server without UIDL (dovecot always has it): the UID made from the
// header is the same in the next session, so nothing is fetched twice.
TEST_F(RetrieverTest, ServerWithoutUidlIsNotFetchedTwice) {
  const std::string mail = NumberedMail(1, "plain");
  const std::string size = std::to_string(mail.size());
  const std::string header = mail.substr(0, mail.find("\r\n\r\n") + 2);
  const auto session = [&](TestServer& server, bool fetch) {
    // C: CAPA (-ERR) / USER / PASS / CAPA / UIDL (-ERR) / LIST / TOP 1 0, then, the first
    // time, STAT / LIST 1 / RETR 1; QUIT.
    server.Send("+OK ready\r\n").ExpectLine("CAPA").Send("-ERR\r\n");
    server.ReadLine().Send("+OK\r\n").ReadLine().Send("+OK\r\n");
    server.ExpectLine("CAPA").Send("-ERR\r\n").ExpectLine("UIDL").Send("-ERR\r\n");
    server.ExpectLine("LIST").Send("+OK\r\n1 " + size + "\r\n.\r\n");
    server.ExpectLine("TOP 1 0").Send("+OK\r\n" + header + ".\r\n");
    if (fetch) {
      server.ExpectLine("STAT").Send("+OK 1 " + size + "\r\n").ExpectLine("LIST 1").Send("+OK 1 " + size + "\r\n");
      server.ExpectLine("RETR 1").Send("+OK\r\n" + mail + ".\r\n");
    }
    server.ExpectLine("QUIT").Send("+OK\r\n");
    server.Start();
    qv::seams::MapHost("pop.example.com", 110, server.Port());
  };
  for (bool first : {true, false}) {
    TestServer server;
    session(server, first);
    RetrieverRecorder recorder;
    EXPECT_EQ(Receive(recorder), first) << std::hex << recorder.Error();
    EXPECT_TRUE(server.Finish()) << server.Error();
    EXPECT_EQ(recorder.whole, first ? 1 : 0);
    EXPECT_EQ(StoredByUid().size(), 1u);
  }
}

// A UID the server lists twice is known once: the account's list takes the
// server's UID list in its order, each UID at its first place.
TEST_F(RetrieverTest, AUidListedTwiceIsSavedOnce) {
  Set(Settings::kMessageLeavingEnabled, false);  // nothing is deleted
  const std::string mail = NumberedMail(2, "plain");
  const std::string size = std::to_string(mail.size());
  struct Case {
    const char* what;
    std::string uidl;  // the listing's lines
    std::function<void(TestServer&)> fetch;
    bool received;
    std::wstring list;
  };
  const Case cases[] = {
      // Nothing new: C: LIST   S: (sizes)   C: QUIT
      {"nothing new", "1 a\r\n2 b\r\n3 a\r\n4 b\r\n",
       [&](TestServer& s) { s.ExpectLine("LIST").Send("+OK\r\n1 9\r\n2 9\r\n3 9\r\n4 9\r\n.\r\n"); }, false,
       L"a\r\nb\r\n"},
      // c is new: C: LIST   C: LIST 2 / RETR 2   C: UIDL 2   C: QUIT
      {"one new", "1 a\r\n2 c\r\n3 a\r\n",
       [&](TestServer& s) {
         s.ExpectLine("LIST").Send("+OK\r\n1 9\r\n2 " + size + "\r\n3 9\r\n.\r\n");
         s.ExpectLine("LIST 2").Send("+OK 2 " + size + "\r\n").ExpectLine("RETR 2").Send("+OK\r\n" + mail + ".\r\n");
         s.ExpectLine("UIDL 2").Send("+OK 2 c\r\n");
       },
       true, L"a\r\nc\r\n"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(account_->SaveUIDL({L"a", L"b"}));
    // C: CAPA (-ERR) / USER / PASS / CAPA (-ERR) / UIDL   S: +OK / (the listing) / .   ...   C: QUIT
    TestServer server;
    server.Send("+OK ready\r\n").ExpectLine("CAPA").Send("-ERR\r\n");
    server.ReadLine().Send("+OK\r\n").ReadLine().Send("+OK\r\n");
    server.ExpectLine("CAPA").Send("-ERR\r\n").ExpectLine("UIDL").Send("+OK\r\n" + c.uidl + ".\r\n");
    c.fetch(server);
    server.ExpectLine("QUIT").Send("+OK\r\n");
    server.Start();
    qv::seams::MapHost("pop.example.com", 110, server.Port());
    RetrieverRecorder recorder;
    EXPECT_EQ(Receive(recorder), c.received) << c.what << std::hex << recorder.Error();
    EXPECT_TRUE(server.Finish()) << c.what << ": " << server.Error();
    EXPECT_EQ(ReadHost(AccountFile("Acc", "UID.list")), qv::WideToUtf16LE(c.list)) << c.what;
  }
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

TEST_F(RetrieverTest, StorageThatWillNotOpenIsASaveFailure) {
  Deliver(NumberedMail(1, "plain"));
  std::wstring root;
  ASSERT_EQ(account_->Account()->SubFolderPath(QvAccountInfo::kStorageFolder, &root), QVMDL_SUCCESS);
  storage_.reset();
  qv::seams::InjectFileFault(root + L"\\TREE\\Status.txt", ERROR_SHARING_VIOLATION);
  RetrieverRecorder recorder;
  EXPECT_FALSE(Receive(recorder));
  qv::seams::ClearFileFaults();
  EXPECT_EQ(recorder.FirstError(), (NotifyEvent{3, QVMDL_ERR_STG_FILEIO_FILE_OPEN_TREESTATUS, 0}));
  EXPECT_EQ(recorder.whole, 0);
  EXPECT_TRUE(KnownUids().empty());
  EXPECT_EQ(peer_.MessageCount(user_), 1);
}

// An account that deletes what it received and fetches long mail in part:
// when a run cannot read what the device holds in part (the storage, the
// partial tray or a partial copy's UID), it cannot tell the partial copies
// from the whole ones, so it deletes nothing on the server and reports the
// storage's failure. Read again, the holdings let the whole one go.
enum class Unreadable { Storage, PartialTray, PartialCopy };
struct HoldingsCase {
  Unreadable what;
  bool clear;  // ClearMessagesOnPopServer, else RetrieveMessages
};

void PrintTo(const HoldingsCase& c, std::ostream* out) {
  *out << static_cast<int>(c.what) << (c.clear ? " clearing" : " receiving");
}

class RetrieverHoldings : public RetrieverTest, public ::testing::WithParamInterface<HoldingsCase> {};

TEST_P(RetrieverHoldings, ThatCannotBeReadDeleteNothingOnTheServer) {
  const HoldingsCase c = GetParam();
  Set(Settings::kMessageLeavingEnabled, true);
  Set(Settings::kPartialRetrievingEnabled, true);
  Set(Settings::kPartialRetrievingLines, true, 10);
  Deliver(NumberedMail(1, "short", 2));
  Deliver(NumberedMail(2, "long", 40));
  Deliver(NumberedMail(3, "long", 40));
  RetrieverRecorder first;
  ASSERT_TRUE(Receive(first)) << std::hex << first.Error();
  const auto stored = StoredByUid();
  ASSERT_EQ(stored.size(), 3u);
  const std::string any = stored.begin()->first;
  ASSERT_EQ(stored.find(DovecotUid(2, any))->second.state, 1);
  ASSERT_EQ(peer_.MessageCount(user_), 3);
  const std::list<std::wstring> known = KnownUids();
  ASSERT_EQ(known.size(), 3u);

  std::wstring root;
  ASSERT_EQ(account_->Account()->SubFolderPath(QvAccountInfo::kStorageFolder, &root), QVMDL_SUCCESS);
  const struct {
    std::wstring path;  // opens of it fail
    uint32_t code;
  } faults[] = {
      {root + L"\\TREE\\Status.txt", QVMDL_ERR_STG_FILEIO_FILE_OPEN_TREESTATUS},
      // A folder the tray looks through, apart from the one the storage's open checks.
      {StoreFile(L"TREE", inboxChildren_[0], L".msg"), QVMDL_ERR_STG_FILEIO_FILE_OPEN_MSG},
      // Not the message made last, which the storage's open checks itself.
      {EmlPathOf(stored.find(DovecotUid(2, any))->second.id), QVMDL_ERR_STG_FILEIO_FILE_OPEN_EML},
  };
  const auto& fault = faults[static_cast<int>(c.what)];
  storage_.reset();
  const size_t from = LogSize();
  qv::seams::InjectFileFault(fault.path, ERROR_SHARING_VIOLATION);
  RetrieverRecorder recorder;
  bool done = false;
  {
    QvRetriever retriever;
    ASSERT_TRUE(retriever.registerNotify(&recorder));
    done = c.clear ? retriever.ClearMessagesOnPopServer(account_.get(), &ras_, peer_.Password())
                   : retriever.RetrieveMessages(account_.get(), &ras_, peer_.Password());
  }
  const uint32_t word = GetQvMiddleError();
  qv::seams::ClearFileFaults();
  storage_.reset(account_->OpenStorage());
  ASSERT_TRUE(storage_);
  EXPECT_FALSE(done);
  EXPECT_EQ(recorder.FirstError(), (NotifyEvent{3, static_cast<long>(fault.code), 0})) << std::hex << recorder.Error();
  EXPECT_EQ(word, fault.code) << std::hex << word;
  EXPECT_EQ(Count(LogTail(from), "DELE"), 0u) << LogTail(from);
  EXPECT_EQ(peer_.MessageCount(user_), 3);
  EXPECT_EQ(KnownUids(), known);
  EXPECT_EQ(StoredByUid().size(), 3u);

  RetrieverRecorder clean;
  EXPECT_FALSE(Receive(clean));
  EXPECT_EQ(clean.Error(), QVMDL_ERR_RECV_NO_NEW_MAIL);
  EXPECT_EQ(peer_.MessageCount(user_), 2);
}

std::string HoldingsCaseName(const ::testing::TestParamInfo<HoldingsCase>& info) {
  static const char* const kNames[] = {"Storage", "PartialTray", "PartialCopy"};
  return std::string(kNames[static_cast<int>(info.param.what)]) + (info.param.clear ? "Clearing" : "Receiving");
}

INSTANTIATE_TEST_SUITE_P(Cases, RetrieverHoldings,
                         ::testing::Values(HoldingsCase{Unreadable::Storage, false},
                                           HoldingsCase{Unreadable::Storage, true},
                                           HoldingsCase{Unreadable::PartialTray, false},
                                           HoldingsCase{Unreadable::PartialTray, true},
                                           HoldingsCase{Unreadable::PartialCopy, false},
                                           HoldingsCase{Unreadable::PartialCopy, true}),
                         HoldingsCaseName);

// A run keeps the account's storage open from its start to its end, however
// it ends: afterwards the process holds it no more, so that the next open
// reads and settles it anew (after a kill or a power cut of another process
// that shares the device, or a fault that has passed).
enum class RunEnd { Stored, NothingNew, StorageUnopenable, LoginRefused };

class RetrieverRunEnd : public RetrieverTest, public ::testing::WithParamInterface<RunEnd> {};

TEST_P(RetrieverRunEnd, LeavesTheStorageClosed) {
  const RunEnd end = GetParam();
  if (end != RunEnd::NothingNew) Deliver(NumberedMail(1, "plain"));
  std::wstring root;
  ASSERT_EQ(account_->Account()->SubFolderPath(QvAccountInfo::kStorageFolder, &root), QVMDL_SUCCESS);
  storage_.reset();
  ASSERT_EQ(QvStorageSet::Instance().Users(root), 0u);
  if (end == RunEnd::StorageUnopenable) {
    qv::seams::InjectFileFault(root + L"\\TREE\\Status.txt", ERROR_SHARING_VIOLATION);
  }
  RetrieverRecorder recorder;
  uint32_t heldDuringRun = 0;
  recorder.hook = [&](unsigned message, long, long) {
    if (message != QvRetriever::MSG_Connection) return;
    heldDuringRun = std::max(heldDuringRun, QvStorageSet::Instance().Users(root));
  };
  bool done = false;
  {
    QvRetriever retriever;
    ASSERT_TRUE(retriever.registerNotify(&recorder));
    done = retriever.RetrieveMessages(account_.get(), &ras_,
                                      end == RunEnd::LoginRefused ? std::string("not-the-password") : peer_.Password());
  }
  qv::seams::ClearFileFaults();
  EXPECT_EQ(done, end == RunEnd::Stored) << std::hex << recorder.Error();
  EXPECT_EQ(QvStorageSet::Instance().Users(root), 0u);
  EXPECT_EQ(heldDuringRun, end == RunEnd::StorageUnopenable ? 0u : 1u);
  EXPECT_EQ(recorder.whole, end == RunEnd::Stored ? 1 : 0);
  storage_.reset(account_->OpenStorage());
  ASSERT_TRUE(storage_);
  EXPECT_EQ(StoredByUid().size(), end == RunEnd::Stored ? 1u : 0u);
}

std::string RunEndName(const ::testing::TestParamInfo<RunEnd>& info) {
  static const char* const kNames[] = {"Stored", "NothingNew", "StorageUnopenable", "LoginRefused"};
  return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Cases, RetrieverRunEnd,
                         ::testing::Values(RunEnd::Stored, RunEnd::NothingNew, RunEnd::StorageUnopenable,
                                           RunEnd::LoginRefused),
                         RunEndName);

// A mail whose text could not be synced was stored, but is not taken as
// received: the run reports the failure and the next one fetches it again.
// The mails stored around it count as usual.
TEST_F(RetrieverTest, AMailWhoseSyncFailedIsFetchedAgain) {
  Set(Settings::kMessageLeavingEnabled, false);  // mail stays on the server: syncs run beside the session
  Deliver(NumberedMail(1, "plain"));
  RetrieverRecorder first;
  ASSERT_TRUE(Receive(first)) << std::hex << first.Error();
  const auto stored = StoredByUid();
  ASSERT_EQ(stored.size(), 1u);
  const unsigned long next = stored.begin()->second.id + 1;
  for (int n = 2; n <= 4; ++n) Deliver(NumberedMail(n, "plain"));
  std::wstring root;
  ASSERT_EQ(account_->Account()->SubFolderPath(QvAccountInfo::kStorageFolder, &root), QVMDL_SUCCESS);
  qv::seams::InjectFileFault(
      qv::FormatW(L"%s\\DATA\\%02lX\\%02lX.eml", root.c_str(), next & 0xFF, (next >> 8) & 0xFF), ERROR_WRITE_FAULT);
  RetrieverRecorder second;
  EXPECT_FALSE(Receive(second));
  qv::seams::ClearFileFaults();
  EXPECT_EQ(second.FirstError(), (NotifyEvent{3, QVMDL_ERR_STG_FILEIO_FILE_WRITE_EML, 0}));
  EXPECT_EQ(second.whole, 3);
  const std::string any = stored.begin()->first;
  const std::list<std::wstring> known = KnownUids();
  const std::set<std::wstring> knownSet(known.begin(), known.end());
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(knownSet.count(qv::Cp932ToWide(DovecotUid(n, any))), n == 2 ? 0u : 1u) << n;
  }
  RetrieverRecorder third;
  ASSERT_TRUE(Receive(third)) << std::hex << third.Error();
  EXPECT_EQ(third.whole, 1);
  EXPECT_EQ(StoredByUid().count(DovecotUid(2, any)), 2u);
  EXPECT_EQ(KnownUids().size(), 4u);
}

// What a run left in its journal: plain lines always count, and pending ones
// of the host's same boot. A pending line of an earlier boot counts only when
// its message's stored text is the one it was given; a copy whose text did
// not reach the disk goes, and its mail is fetched again.
TEST_F(RetrieverTest, PendingJournalLinesAfterAKillAndAfterARestart) {
  Set(Settings::kMessageLeavingEnabled, false);
  for (int n = 1; n <= 3; ++n) Deliver(NumberedMail(n, "plain"));
  RetrieverRecorder first;
  ASSERT_TRUE(Receive(first)) << std::hex << first.Error();
  const auto stored = StoredByUid();
  ASSERT_EQ(stored.size(), 3u);
  // As a cut mid-run leaves it: none of the three known, each pending from
  // another boot, and the last one's text not on the disk.
  ASSERT_TRUE(account_->SaveUIDL({}));
  const std::wstring path = account_->Account()->FolderPath() + L"\\UID.journal";
  {
    QvUidJournal journal(account_.get());
    ASSERT_TRUE(journal.Append("whole"));
    ASSERT_TRUE(journal.AppendPending("pending", 0, "text"));
  }
  std::wstring lines = L"earlier\tanother-boot\r\n";
  std::string torn;
  for (const auto& [uid, copy] : stored) {
    lines += qv::FormatW(L"%s\tanother-boot\t%lu\t%s\r\n", qv::Cp932ToWide(uid).c_str(), copy.id, QvUidJournal::Digest(copy.raw).c_str());
    torn = uid;
  }
  WriteBytes(path, ReadBytes(path) + qv::WideToUtf16LE(lines + L"cut\tanother"));
  const unsigned long tornId = stored.find(torn)->second.id;
  std::string eml = ReadBytes(EmlPathOf(tornId));
  eml.replace(eml.size() - 8, 8, std::string(8, '\0'));
  WriteBytes(EmlPathOf(tornId), eml);

  ASSERT_TRUE(QvUidJournal(account_.get()).FoldIn());
  std::set<std::wstring> expected{L"whole", L"pending"};
  for (const auto& [uid, copy] : stored) {
    if (uid != torn) expected.insert(qv::Cp932ToWide(uid));
  }
  const std::list<std::wstring> known = KnownUids();
  EXPECT_EQ(std::set<std::wstring>(known.begin(), known.end()), expected);
  EXPECT_EQ(known.size(), expected.size());
  EXPECT_TRUE(ReadBytes(path).empty());
  EXPECT_EQ(StoredByUid().count(torn), 0u);

  RetrieverRecorder again;
  ASSERT_TRUE(Receive(again)) << std::hex << again.Error();
  EXPECT_EQ(again.whole, 1);
  const auto after = StoredByUid();
  EXPECT_EQ(after.size(), 3u);
  EXPECT_EQ(after.find(torn)->second.raw, stored.find(torn)->second.raw);
}

// The journal is made by an account's first run; its start line outlives a
// power cut right after it is written, then as in every later run, without a
// flush of the whole volume for it.
TEST_F(RetrieverTest, TheStartLineOutlivesAPowerCutInTheFirstRunToo) {
  const std::wstring journal = account_->Account()->FolderPath() + L"\\UID.journal";
  for (const bool named : {false, true}) {
    SCOPED_TRACE(named ? "a journal kept from an earlier run" : "the account's first run");
    storage_.reset();
    DeleteFileW(journal.c_str());
    if (named) WriteBytes(journal, "");
    seams::ArmPowerCut();
    {
      QvUidJournal started(account_.get());
      ASSERT_EQ(started.Begin(), static_cast<uint32_t>(QVMDL_SUCCESS));
    }
    seams::CutPower(1, seams::PowerCutMode::kDropAll);
    seams::DisarmPowerCut();
    account_ = Open(L"Acc");
    ASSERT_TRUE(account_);
    const std::string bytes = ReadBytes(journal);
    EXPECT_NE(qv::Utf16LEToWide(bytes).find(L"\tstart\t"), std::wstring::npos) << bytes.size();
  }
  storage_.reset(account_->OpenStorage());
}

// A run cut short leaves its synced start line and whatever else reached the
// disk. Killed: the journal holds nothing but that line and the UID list
// none of the four. Power cut: besides, the second message's slot and the
// counter's advance are gone, and the third one's text is torn. The next run
// settles from the store: what is whole counts as received and stays listed
// once, the torn one is fetched again.
TEST_F(RetrieverTest, ARunCutShortIsSettledFromTheStore) {
  Set(Settings::kMessageLeavingEnabled, false);
  for (int n = 1; n <= 4; ++n) Deliver(NumberedMail(n, "plain"));
  RetrieverRecorder first;
  ASSERT_TRUE(Receive(first)) << std::hex << first.Error();
  const auto stored = StoredByUid();
  ASSERT_EQ(stored.size(), 4u);
  std::vector<std::pair<unsigned long, std::string>> byId;
  for (const auto& [uid, copy] : stored) byId.emplace_back(copy.id, uid);
  std::sort(byId.begin(), byId.end());
  std::wstring root;
  ASSERT_EQ(account_->Account()->SubFolderPath(QvAccountInfo::kStorageFolder, &root), QVMDL_SUCCESS);
  const std::wstring journal = account_->Account()->FolderPath() + L"\\UID.journal";

  for (const bool powerCut : {false, true}) {
    SCOPED_TRACE(powerCut ? "power cut" : "kill");
    storage_.reset();
    ASSERT_TRUE(account_->SaveUIDL({}));
    const std::wstring boot = powerCut ? L"another-boot" : qv::Utf8ToWide(qv::BootId());
    WriteBytes(journal, qv::WideToUtf16LE(qv::FormatW(L"\tstart\t%s\t%04lX\r\n", boot.c_str(), byId[0].first)));
    std::string torn;
    if (powerCut) {
      std::string table = ReadBytes(root + L"\\DATA\\Entry.dat");
      table.replace(4 * byId[1].first, 4, std::string(4, '\xFF'));
      WriteBytes(root + L"\\DATA\\Entry.dat", table);
      WriteBytes(root + L"\\DATA\\Status.txt", qv::FormatA("%04lX\t%X", byId[0].first, 0));
      torn = byId[2].second;
      std::string eml = ReadBytes(EmlPathOf(byId[2].first));
      eml.replace(eml.size() - 8, 8, std::string(8, '\0'));
      WriteBytes(EmlPathOf(byId[2].first), eml);
    }
    storage_.reset(account_->OpenStorage());
    ASSERT_NE(storage_, nullptr);
    storage_.reset();

    RetrieverRecorder again;
    Receive(again);
    EXPECT_EQ(again.whole, powerCut ? 1 : 0);
    storage_.reset(account_->OpenStorage());
    const auto after = StoredByUid();
    EXPECT_EQ(after.size(), 4u);
    for (const auto& [uid, copy] : stored) {
      ASSERT_EQ(after.count(uid), 1u) << uid;
      EXPECT_EQ(after.find(uid)->second.raw, copy.raw) << uid;
      if (uid != torn) {
        EXPECT_EQ(after.find(uid)->second.id, copy.id) << uid;
      }
    }
    const std::list<std::wstring> known = KnownUids();
    EXPECT_EQ(std::set<std::wstring>(known.begin(), known.end()).size(), 4u);
    EXPECT_TRUE(ReadBytes(journal).empty());
  }
}

}  // namespace
}  // namespace qv::test
