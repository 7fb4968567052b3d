// The POP3 client against scripted servers, for what a real server will not
// do: malformed and split replies, replies that never end, stalls, drops,
// bogus list lines and numbers out of range. Each script's wire transcript
// stands beside it.
#include <algorithm>
#include <chrono>
#include <functional>
#include <list>
#include <memory>
#include <thread>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/transport/PopReply.h"
#include "tests/engine/transport/pop3/PopTestSupport.h"
#include "tests/support/TestServer.h"

namespace qv::test {
namespace {

using Clock = std::chrono::steady_clock;

class PopScripted : public PopTest {
 protected:
  void SetUp() override {
    PopTest::SetUp();
    // Made after the log file exists, so that the session is logged.
    client_ = std::make_unique<PopClient>();
    recorder_ = std::make_unique<PopRecorder>(client_.get());
    ASSERT_TRUE(client_->registerNotifyPop(recorder_.get()));
  }

  // Starts the server and runs one session against it on port 110.
  void Run(TestServer& server, int mode = 0) {
    server.Start();
    seams::MapHost("pop.example.com", 110, server.Port());
    client_->setAccount(&account_, connection_);
    client_->setPopMode(mode);
    client_->newConnection();
  }

  // C: UIDL  S: -ERR   C: LIST  S: +OK / 1 10 / .   C: TOP 1 0  S: -ERR
  static TestServer& NoUidlNoTop(TestServer& server) {
    return server.ExpectLine("UIDL").Send("-ERR no UIDL\r\n").ExpectLine("LIST").Send("+OK\r\n1 10\r\n.\r\n").ExpectLine(
        "TOP 1 0").Send("-ERR no TOP\r\n");
  }

  std::vector<std::string> Latest() const {
    std::list<std::wstring> wide;
    client_->getUidlList(wide);
    std::vector<std::string> out;
    for (const std::wstring& uid : wide) out.emplace_back(uid.begin(), uid.end());
    return out;
  }

  // Greeting and USER/PASS login; the server lists no capabilities, so
  // every command waits for its answer.
  static TestServer& Login(TestServer& server) {
    return server.Send("+OK ready\r\n").ExpectLine("CAPA").Send("-ERR\r\n").ExpectLine("USER user").Send("+OK\r\n").ExpectLine("PASS pw").Send(
        "+OK logged in\r\n").ExpectLine("CAPA").Send("-ERR\r\n");
  }

  std::unique_ptr<PopClient> client_;
  std::unique_ptr<PopRecorder> recorder_;
};

TEST_F(PopScripted, MalformedGreetingOrStatusLineEndsWithQuitAndUnexpectedAnswer) {
  // S: * OK IMAP4 ready     C: QUIT
  TestServer imap;
  imap.Send("* OK IMAP4 ready\r\n").ExpectLine("QUIT").Close();
  Run(imap);
  EXPECT_TRUE(imap.Finish()) << imap.Error();
  EXPECT_EQ(recorder_->Messages(), (std::vector<int>{3}));
  EXPECT_EQ(recorder_->Error(), static_cast<long>(QVMDL_ERR_POP_UNEXPECTED));

  // S: +OK ready   C: USER user   S: +OKAY   C: QUIT
  recorder_->events.clear();
  TestServer okay;
  okay.Send("+OK ready\r\n").ExpectLine("CAPA").Send("-ERR\r\n").ExpectLine("USER user").Send("+OKAY\r\n").ExpectLine("QUIT").Close();
  Run(okay);
  EXPECT_TRUE(okay.Finish()) << okay.Error();
  EXPECT_EQ(recorder_->Error(), static_cast<long>(QVMDL_ERR_POP_LOGIN));
}

TEST_F(PopScripted, StatusLineThatNeverEndsStopsAtItsLimit) {
  // S: AAAA... (200 KB, no line end, then silence)
  TestServer server;
  server.Send(std::string(200 * 1024, 'A')).Stall();
  Run(server);
  EXPECT_EQ(recorder_->Messages(), (std::vector<int>{3}));
  EXPECT_EQ(recorder_->Error(), static_cast<long>(QVMDL_ERR_POP_UNEXPECTED));
}

TEST_F(PopScripted, RepliesSplitAcrossPiecesAndBytesAreJoined) {
  // The greeting byte by byte with pauses longer than a piece's 100 ms, the
  // UIDL list and a message cut mid-line by pauses:
  //   S: + O K   r e a d y \r \n      (pauses)
  //   C: USER user  S: +OK   C: PASS pw  S: +OK   C: CAPA  S: +OK / TOP / UIDL / .
  //   C: UIDL       S: +OK\r\n1 ab | c\r\n2 d | ef\r\n.\r\n
  //   C: STAT       S: +OK 2 50
  //   C: LIST 1     S: +OK 1 38
  //   C: RETR 1     S: +OK\r\nSubj | ect: x\r\n\r\n..dot\r\nbody\r | \n.\r\n
  //   C: LIST 2     S: +OK 2 12
  //   C: RETR 2     S: +OK\r\nshort\r\n.\r\n
  //   C: UIDL 2     S: +OK 2 def
  //   C: QUIT       S: +OK bye
  TestServer server;
  server.Send("+").Pause(150).Send("O").Pause(150).Send("K re").Pause(150).Send("ady\r").Pause(150).Send("\n");
  server.ExpectLine("CAPA").Send("-ERR\r\n").ExpectLine("USER user").Send("+OK\r\n").ExpectLine("PASS pw").Send("+OK\r\n");
  server.ExpectLine("CAPA").Send("+OK\r\nTOP\r\nUIDL\r\n.\r\n");
  server.ExpectLine("UIDL").Send("+OK\r\n1 ab").Pause(150).Send("c\r\n2 d").Pause(150).Send("ef\r\n.\r\n");
  server.ExpectLine("STAT").Send("+OK 2 50\r\n");
  server.ExpectLine("LIST 1").Send("+OK 1 38\r\n");
  server.ExpectLine("RETR 1").Send("+OK\r\nSubj").Pause(150).Send("ect: x\r\n\r\n..dot\r\nbody\r").Pause(150).Send(
      "\n.\r\n");
  server.ExpectLine("LIST 2").Send("+OK 2 12\r\n");
  server.ExpectLine("RETR 2").Send("+OK\r\nshort\r\n.\r\n");
  server.ExpectLine("UIDL 2").Send("+OK 2 def\r\n");
  server.ExpectLine("QUIT").Send("+OK bye\r\n").Close();
  Run(server);
  EXPECT_TRUE(server.Finish()) << server.Error();
  ASSERT_EQ(recorder_->Error(), 0) << Log();
  ASSERT_EQ(recorder_->mails.size(), 2u);
  EXPECT_EQ(recorder_->mails[0].text, "Subject: x\r\n\r\n.dot\r\nbody\r\n");
  EXPECT_EQ(recorder_->mails[0].uid, "abc");
  EXPECT_EQ(recorder_->mails[1].text, "short\r\n");
  EXPECT_EQ(recorder_->mails[1].uid, "def");
  EXPECT_EQ(client_->getLastRecvUid(), "def");
  // The cut message reported its progress before it was whole.
  const std::vector<int> all = recorder_->Messages(true);
  const auto firstMail = std::find(all.begin(), all.end(), 0);
  EXPECT_GE(std::count(all.begin(), firstMail, PopClient::MSG_PopRecvSize), 2);
  EXPECT_EQ(recorder_->events.back(), (PopEvent{4, 2, 0}));
}

TEST_F(PopScripted, MessageThatNeverEndsStopsAtItsLimitWithoutGrowing) {
  // C: LIST 1  S: +OK 1 100   C: RETR 1   S: +OK / 1 MB of lines, no "." / silence
  TestServer server;
  Login(server).ExpectLine("UIDL").Send("+OK\r\n1 a\r\n.\r\n").ExpectLine("STAT").Send("+OK 1 100\r\n");
  std::string flood;
  while (flood.size() < (1u << 20)) flood += "Filler line without end of the message\r\n";
  server.ExpectLine("LIST 1").Send("+OK 1 100\r\n").ExpectLine("RETR 1").Send("+OK\r\n").Send(flood).Stall();
  Run(server);
  EXPECT_EQ(recorder_->Error(), static_cast<long>(QVMDL_ERR_POP_UNEXPECTED));
  EXPECT_TRUE(recorder_->mails.empty());
  EXPECT_EQ(recorder_->events.back().message, PopClient::MSG_PopErrorOccured);
}

TEST_F(PopScripted, StallEndsAfterTheWaitStepsWithTimeOut) {
  // S: +OK ready   C: USER user   (silence)
  seams::SetNetworkWait(20, 10);
  TestServer server;
  server.Send("+OK ready\r\n").ExpectLine("CAPA").Send("-ERR\r\n").ExpectLine("USER user").Stall();
  Run(server);
  EXPECT_EQ(recorder_->Messages(), (std::vector<int>{3}));
  EXPECT_EQ(recorder_->Error(), static_cast<long>(QVMDL_ERR_POP_TIMEOUT));
}

TEST_F(PopScripted, CancelFromAnotherThreadEndsAStalledLoginAtOnce) {
  // S: +OK ready   C: USER user   (silence)   ... cancel ...   C: QUIT
  TestServer server;
  server.Send("+OK ready\r\n").ExpectLine("CAPA").Send("-ERR\r\n").ExpectLine("USER user").ExpectLine("QUIT").Stall();
  std::thread canceller([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    client_->cancel();
  });
  const auto start = Clock::now();
  Run(server);  // production wait: 600 steps of a second
  canceller.join();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(recorder_->Messages(), (std::vector<int>{3}));
  EXPECT_EQ(recorder_->Error(), static_cast<long>(QVMDL_ERR_POP_CANCELLED));
  EXPECT_TRUE(server.Finish()) << server.Error();  // "QUIT" came, then the close
  EXPECT_EQ(server.Lines(), (std::vector<std::string>{"CAPA", "USER user", "QUIT"}));
}

TEST_F(PopScripted, CancelWhileAMessageStallsEndsTheSessionAsCancelled) {
  // C: RETR 1   S: +OK / half a message / (silence)   ... cancel ...   C: QUIT
  seams::SetNetworkWait(50, 600);
  TestServer server;
  Login(server).ExpectLine("UIDL").Send("+OK\r\n1 a\r\n.\r\n").ExpectLine("STAT").Send("+OK 1 100\r\n");
  server.ExpectLine("LIST 1").Send("+OK 1 100\r\n").ExpectLine("RETR 1").Send("+OK\r\nSubject: half\r\n").Stall();
  std::thread canceller([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    client_->cancel();
  });
  Run(server);
  canceller.join();
  EXPECT_TRUE(recorder_->mails.empty());
  const std::vector<int> expected = {7, 10, 3, 6};
  EXPECT_EQ(recorder_->Messages(), expected);
  EXPECT_EQ(recorder_->Error(), static_cast<long>(QVMDL_ERR_POP_CANCELLED));
}

TEST_F(PopScripted, CancelWhileAMessageArrivesDropsItAtOnce) {
  // C: RETR 1   S: +OK / Subject: x | (pause; the observer cancels)
  // C: QUIT     (unheard, at once: the message is dropped; no "LIST 2")
  recorder_->answer = [this](int message, long, long) {
    if (message == PopClient::MSG_PopRecvSize) client_->cancel();
    return true;
  };
  TestServer server;
  Login(server).ExpectLine("UIDL").Send("+OK\r\n1 a\r\n2 b\r\n.\r\n").ExpectLine("STAT").Send("+OK 2 100\r\n");
  server.ExpectLine("LIST 1").Send("+OK 1 50\r\n").ExpectLine("RETR 1").Send("+OK\r\nSubject: x\r\n").Pause(150);
  server.ExpectLine("QUIT").Close();
  Run(server);
  EXPECT_TRUE(server.Finish()) << server.Error();
  EXPECT_TRUE(recorder_->mails.empty());
  EXPECT_EQ(recorder_->Messages(), (std::vector<int>{7, 10, 3, 6}));
  EXPECT_EQ(recorder_->Error(), static_cast<long>(QVMDL_ERR_POP_CANCELLED));
  EXPECT_TRUE(client_->getLastRecvUid().empty());
}

TEST_F(PopScripted, AbortFromAnotherThreadEndsAStallSilently) {
  // S: +OK ready   C: USER user   (silence)   ... abort: the socket closes ...
  TestServer server;
  server.Send("+OK ready\r\n").ExpectLine("CAPA").Send("-ERR\r\n").ExpectLine("USER user").Stall();
  std::thread aborter([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    client_->abort();
  });
  const auto start = Clock::now();
  Run(server);
  aborter.join();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(recorder_->events.empty());
  EXPECT_TRUE(server.Finish()) << server.Error();
}

TEST_F(PopScripted, CancelBeforeTheStartSendsNothingAndIsSpentOnThatSession) {
  // First session: nothing on the wire. Second: S: +OK  C: USER  S: -ERR  C: QUIT
  client_->cancel();
  client_->setAccount(&account_, connection_);
  client_->newConnection();
  EXPECT_EQ(recorder_->events, (std::vector<PopEvent>{{3, static_cast<long>(QVMDL_ERR_POP_CANCELLED), 0}, {6, 0, 0}}));
  recorder_->events.clear();
  TestServer server;
  server.Send("+OK ready\r\n").ExpectLine("CAPA").Send("-ERR\r\n").ExpectLine("USER user").Send("-ERR no\r\n").ExpectLine("QUIT").Close();
  Run(server);
  EXPECT_TRUE(server.Finish()) << server.Error();
  EXPECT_EQ(recorder_->Error(), static_cast<long>(QVMDL_ERR_POP_LOGIN));
}

TEST_F(PopScripted, DropInTheMiddleOfAMessageIsASocketError) {
  // C: RETR 1   S: +OK / Subject: cut / (reset)
  TestServer server;
  Login(server).ExpectLine("UIDL").Send("+OK\r\n1 a\r\n.\r\n").ExpectLine("STAT").Send("+OK 1 100\r\n");
  server.ExpectLine("LIST 1").Send("+OK 1 100\r\n").ExpectLine("RETR 1").Send("+OK\r\nSubject: cut\r\n").Pause(150).Drop();
  Run(server);
  EXPECT_TRUE(recorder_->mails.empty());
  EXPECT_EQ(recorder_->Error(), static_cast<long>(QVMDL_ERR_POP_SOCKET));
}

// (Bogus UIDL lines skip only their own message: HostilePeerTest.cpp.)
TEST_F(PopScripted, BogusListLineEndsTheSession) {
  // A known UID leads to "LIST"; its answer has a line without a size.
  // C: UIDL  S: +OK / 1 a / 2 b / .   C: LIST   S: +OK / 1 10 / 2 big / .   C: QUIT
  recorder_->events.clear();
  account_.uidList = {L"a"};
  TestServer server;
  Login(server).ExpectLine("UIDL").Send("+OK\r\n1 a\r\n2 b\r\n.\r\n").ExpectLine("LIST");
  server.Send("+OK\r\n1 10\r\n2 big\r\n.\r\n").ExpectLine("QUIT").Close();
  Run(server);
  EXPECT_TRUE(server.Finish()) << server.Error();
  EXPECT_EQ(recorder_->Error(), static_cast<long>(QVMDL_ERR_POP_UNEXPECTED));
}

TEST_F(PopScripted, HugeNumbersAreRefusedOrKeptWithinBounds) {
  {
    // Past 32 bits (a server with neither UIDL nor TOP, so STAT counts).
    // C: UIDL S: -ERR  C: LIST  S: +OK / 1 10 / .  C: TOP 1 0  S: -ERR
    // C: STAT  S: +OK 4294967296 10  C: QUIT
    TestServer server;
    NoUidlNoTop(Login(server)).ExpectLine("STAT").Send("+OK 4294967296 10\r\n");
    server.ExpectLine("QUIT").Close();
    Run(server);
    EXPECT_TRUE(server.Finish()) << server.Error();
    EXPECT_EQ(recorder_->Error(), static_cast<long>(QVMDL_ERR_POP_STAT));
  }
  {
    // Four billion messages are counted, not listed; the observer declines.
    // C: STAT  S: +OK 4000000000 1000  C: QUIT  S: +OK
    recorder_->events.clear();
    recorder_->answer = [](int message, long, long) { return message != PopClient::MSG_PopMailBoxSize; };
    TestServer server;
    NoUidlNoTop(Login(server)).ExpectLine("STAT").Send("+OK 4000000000 1000\r\n");
    server.ExpectLine("QUIT").Send("+OK\r\n").Close();
    Run(server);
    EXPECT_TRUE(server.Finish()) << server.Error();
    EXPECT_EQ(recorder_->events, (std::vector<PopEvent>{{7, 4000000000L, 1000}, {5, 0, 0}}));
    recorder_->answer = nullptr;
  }
  {
    // A size of 4 GB reserves nothing of that size: the header alone comes.
    // C: LIST 1  S: +OK 1 4294967295  C: TOP 1 0  S: +OK / Subject: big / (blank) / .
    recorder_->events.clear();
    TestServer server;
    Login(server).ExpectLine("UIDL").Send("+OK\r\n1 big\r\n.\r\n").ExpectLine("STAT").Send("+OK 1 4294967295\r\n");
    server.ExpectLine("LIST 1").Send("+OK 1 4294967295\r\n").ExpectLine("TOP 1 0");
    server.Send("+OK\r\nSubject: big\r\n\r\n.\r\n").ExpectLine("UIDL 1").Send("+OK 1 big\r\n");
    server.ExpectLine("QUIT").Send("+OK\r\n").Close();
    Run(server);
    EXPECT_TRUE(server.Finish()) << server.Error();
    ASSERT_EQ(recorder_->mails.size(), 1u);
    EXPECT_EQ(recorder_->mails[0].kind, PopClient::MSG_PopNewHeader);
    EXPECT_EQ(recorder_->mails[0].text, "Subject: big\r\n\r\n");
  }
}

TEST_F(PopScripted, UseUidlListAlwaysIgnoresTheLastUid) {
  // The last UID "a" would make "b" new; with the setting the known list
  // decides, and both are known:
  // C: UIDL  S: +OK / 1 a / 2 b / .   C: LIST  S: +OK / 1 10 / 2 20 / .   C: QUIT  S: +OK
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"UseUidlListAlways", 1));
  account_.lastUid = L"a";
  account_.uidList = {L"a", L"b"};
  TestServer server;
  Login(server).ExpectLine("UIDL").Send("+OK\r\n1 a\r\n2 b\r\n.\r\n").ExpectLine("LIST");
  server.Send("+OK\r\n1 10\r\n2 20\r\n.\r\n").ExpectLine("QUIT").Send("+OK\r\n").Close();
  Run(server);
  EXPECT_TRUE(server.Finish()) << server.Error();
  EXPECT_EQ(recorder_->events, (std::vector<PopEvent>{{7, 0, 0}, {4, 0, 0}}));
  std::list<std::wstring> uids;
  client_->getUidlList(uids);
  EXPECT_EQ(uids, (std::list<std::wstring>{L"a", L"b"}));
}

TEST_F(PopScripted, FreeMemoryDecidesBetweenWholeHeaderOnlyAndNothing) {
  {
    // Room for the header only: C: LIST 1  S: +OK 1 300000  C: TOP 1 0
    seams::SetAvailableMemory(400000);
    TestServer server;
    Login(server).ExpectLine("UIDL").Send("+OK\r\n1 a\r\n.\r\n").ExpectLine("STAT").Send("+OK 1 300000\r\n");
    server.ExpectLine("LIST 1").Send("+OK 1 300000\r\n").ExpectLine("TOP 1 0").Send("+OK\r\nSubject: s\r\n\r\n.\r\n");
    server.ExpectLine("UIDL 1").Send("+OK 1 a\r\n").ExpectLine("QUIT").Send("+OK\r\n").Close();
    Run(server);
    EXPECT_TRUE(server.Finish()) << server.Error();
    ASSERT_EQ(recorder_->mails.size(), 1u);
    EXPECT_EQ(recorder_->mails[0].kind, PopClient::MSG_PopNewHeader);
  }
  {
    // Below the floor nothing is fetched, and with the delete flag nothing
    // is deleted either: C: LIST 1  S: +OK 1 10  C: QUIT
    recorder_->events.clear();
    recorder_->mails.clear();
    seams::SetAvailableMemory(100000);
    account_.deleteOnServer = 1;
    TestServer server;
    Login(server).ExpectLine("UIDL").Send("+OK\r\n1 a\r\n.\r\n").ExpectLine("STAT").Send("+OK 1 10\r\n");
    server.ExpectLine("LIST 1").Send("+OK 1 10\r\n").ExpectLine("QUIT").Close();
    Run(server);
    EXPECT_TRUE(server.Finish()) << server.Error();
    EXPECT_TRUE(recorder_->mails.empty());
    EXPECT_EQ(recorder_->Error(), static_cast<long>(QVMDL_ERR_POP_NO_MEMORY));
  }
}

TEST_F(PopScripted, ServerWithoutUidlGetsUidsFromTheHeaderTheSameInEverySession) {
  const std::string one = "Message-ID: <1@x>\r\nDate: Tue, 8 Dec 2026 10:00:00 +0900\r\nFrom: a@x\r\n\r\n";
  const std::string two = "Message-ID: <2@x>\r\nDate: Tue, 8 Dec 2026 11:00:00 +0900\r\nFrom: b@x\r\n\r\n";
  // C: UIDL  S: -ERR   C: LIST  S: +OK / 1 60 / 2 70 / .
  // C: TOP 1 0  S: +OK / (header 1) / .   C: TOP 2 0  S: +OK / (header 2) / .
  // (nothing known)  C: STAT  S: +OK 2 130   C: LIST 1 / RETR 1 / LIST 2 / RETR 2   C: QUIT
  auto headers = [&](TestServer& server) -> TestServer& {
    server.ExpectLine("UIDL").Send("-ERR\r\n").ExpectLine("LIST").Send("+OK\r\n1 60\r\n2 70\r\n.\r\n");
    return server.ExpectLine("TOP 1 0").Send("+OK\r\n" + one + ".\r\n").ExpectLine("TOP 2 0").Send(
        "+OK\r\n" + two + ".\r\n");
  };
  TestServer first;
  headers(Login(first)).ExpectLine("STAT").Send("+OK 2 130\r\n");
  first.ExpectLine("LIST 1").Send("+OK 1 60\r\n").ExpectLine("RETR 1").Send("+OK\r\n" + one + "x\r\n.\r\n");
  first.ExpectLine("LIST 2").Send("+OK 2 70\r\n").ExpectLine("RETR 2").Send("+OK\r\n" + two + "y\r\n.\r\n");
  first.ExpectLine("QUIT").Send("+OK\r\n").Close();
  Run(first);
  EXPECT_TRUE(first.Finish()) << first.Error();
  ASSERT_EQ(recorder_->mails.size(), 2u) << Log();
  const std::string uid1 = recorder_->mails[0].uid, uid2 = recorder_->mails[1].uid;
  EXPECT_EQ(uid1, pop::MadeUid(one, 60));
  EXPECT_EQ(uid2, pop::MadeUid(two, 70));
  EXPECT_NE(uid1, uid2);
  EXPECT_TRUE(client_->uidlListComplete());

  // The device kept the first: the second session fetches only the second,
  // under the same UID.   ... C: LIST  S: +OK / 1 60 / 2 70 / .  C: LIST 2 / RETR 2
  recorder_->mails.clear();
  account_.uidList = {Wide(uid1)};
  TestServer second;
  headers(Login(second)).ExpectLine("LIST").Send("+OK\r\n1 60\r\n2 70\r\n.\r\n");
  second.ExpectLine("LIST 2").Send("+OK 2 70\r\n").ExpectLine("RETR 2").Send("+OK\r\n" + two + "y\r\n.\r\n");
  second.ExpectLine("QUIT").Send("+OK\r\n").Close();
  Run(second);
  EXPECT_TRUE(second.Finish()) << second.Error();
  ASSERT_EQ(recorder_->mails.size(), 1u);
  EXPECT_EQ(recorder_->mails[0].uid, uid2);
  EXPECT_EQ(Latest(), (std::vector<std::string>{uid1, uid2}));

  // Without TOP either: made-up UIDs of the time, as a last resort.
  // ... C: TOP 1 0  S: -ERR   C: STAT  S: +OK 1 10   C: LIST 1 / RETR 1   C: QUIT
  recorder_->mails.clear();
  account_.uidList.clear();
  TestServer bare;
  NoUidlNoTop(Login(bare)).ExpectLine("STAT").Send("+OK 1 10\r\n");
  bare.ExpectLine("LIST 1").Send("+OK 1 10\r\n").ExpectLine("RETR 1").Send("+OK\r\nSubject: a\r\n\r\nx\r\n.\r\n");
  bare.ExpectLine("QUIT").Send("+OK\r\n").Close();
  Run(bare);
  EXPECT_TRUE(bare.Finish()) << bare.Error();
  ASSERT_EQ(recorder_->mails.size(), 1u);
  EXPECT_EQ(recorder_->mails[0].uid.size(), 26u);
  EXPECT_EQ(recorder_->mails[0].uid.find_first_not_of("0123456789"), std::string::npos);
}

// What is deleted and what the latest list says afterwards. "DELE" goes only
// for a message stored whole from "RETR" (never after "TOP"), never for a UID
// the device holds in part, and a deleted UID leaves the list only with the
// "+OK" to "QUIT". The known list decides what is new; the last UID is a hint.
// One new message "a" of `size` bytes, fetched by `fetch`:
//   C: UIDL  S: +OK / 1 a / .   C: STAT   C: LIST 1   C: (fetch)  S: (text)   [C: DELE 1]   C: QUIT
std::function<void(TestServer&)> OneMessage(uint32_t size, std::string fetch, std::string text, bool dele) {
  return [=](TestServer& s) {
    const std::string sized = std::to_string(size);
    s.ExpectLine("UIDL").Send("+OK\r\n1 a\r\n.\r\n").ExpectLine("STAT").Send("+OK 1 " + sized + "\r\n");
    s.ExpectLine("LIST 1").Send("+OK 1 " + sized + "\r\n").ExpectLine(fetch).Send("+OK\r\n" + text + ".\r\n");
    if (dele) s.ExpectLine("DELE 1").Send("+OK\r\n");
    s.ExpectLine("QUIT").Send("+OK\r\n").Close();
  };
}

TEST_F(PopScripted, DeletesAndTheLatestListFollowWhatTheDeviceStored) {
  struct Case {
    const char* what;
    int mode;
    bool deleteOnServer;
    std::list<std::wstring> known;
    std::wstring lastUid;
    std::list<std::string> partial;
    std::function<void(TestServer&)> script;  // after the login
    std::vector<std::string> latest;
    bool complete;
  };
  const Case cases[] = {
      {"partial TOP", 1, true, {}, L"", {}, OneMessage(100, "TOP 1 1", "S: s\r\n\r\nl1\r\n", false), {"a"}, true},
      // A "TOP" that happened to bring the whole of a short message: still no DELE.
      {"whole TOP", 1, true, {}, L"", {}, OneMessage(10, "TOP 1 1", "S: s\r\n\r\n", false), {"a"}, true},
      // Over 3 MB: the header only, C: TOP 1 0, and no DELE.
      {"header only", 0, true, {}, L"", {}, OneMessage(4000000, "TOP 1 0", "S: s\r\n\r\n", false), {"a"}, true},
      // Whole by RETR: C: DELE 1, and "a" leaves with the "+OK" to QUIT.
      {"whole RETR", 0, true, {}, L"", {}, OneMessage(10, "RETR 1", "S: s\r\n\r\n", true), {}, true},
      // Clearing the server: C: DELE 1 / DELE 3 (b is held in part)   C: QUIT
      {"clear, partial kept", 4, false, {L"a", L"b", L"c"}, L"", {"b"},
       [](TestServer& s) {
         s.ExpectLine("UIDL").Send("+OK\r\n1 a\r\n2 b\r\n3 c\r\n.\r\n");
         s.ExpectLine("DELE 1").Send("+OK\r\n").ExpectLine("DELE 3").Send("+OK\r\n");
         s.ExpectLine("QUIT").Send("+OK\r\n").Close();
       },
       {"b"}, true},
      // The same, but the QUIT fails: the server keeps a and c, and so does the list.
      {"clear, QUIT refused", 4, false, {L"a", L"b", L"c"}, L"", {"b"},
       [](TestServer& s) {
         s.ExpectLine("UIDL").Send("+OK\r\n1 a\r\n2 b\r\n3 c\r\n.\r\n");
         s.ExpectLine("DELE 1").Send("+OK\r\n").ExpectLine("DELE 3").Send("+OK\r\n");
         s.ExpectLine("QUIT").Send("-ERR cannot\r\n").Close();
       },
       {"a", "b", "c"}, true},
      // Last UID c, but b was never stored: b and d are new.
      // C: LIST 2 / LIST 4 (sizes)  C: LIST 2 / RETR 2 / LIST 4 / RETR 4   C: UIDL 4   C: QUIT
      {"known list over last UID", 0, false, {L"a", L"c"}, L"c", {},
       [](TestServer& s) {
         s.ExpectLine("UIDL").Send("+OK\r\n1 a\r\n2 b\r\n3 c\r\n4 d\r\n.\r\n");
         s.ExpectLine("LIST 2").Send("+OK 2 10\r\n").ExpectLine("LIST 4").Send("+OK 4 10\r\n");
         s.ExpectLine("LIST 2").Send("+OK 2 10\r\n").ExpectLine("RETR 2").Send("+OK\r\nb\r\n.\r\n");
         s.ExpectLine("LIST 4").Send("+OK 4 10\r\n").ExpectLine("RETR 4").Send("+OK\r\nd\r\n.\r\n");
         s.ExpectLine("UIDL 4").Send("+OK 4 d\r\n").ExpectLine("QUIT").Send("+OK\r\n").Close();
       },
       {"a", "c", "b", "d"}, true},
      // Refused before the UID list: the latest list stands on nothing.
      {"no UID list read", 0, false, {L"a"}, L"", {},
       [](TestServer& s) { s.ExpectLine("UIDL").Send("+OK\r\n1 a").Drop(); }, {}, false},
  };
  account_.partialLines = 1;
  for (const Case& c : cases) {
    recorder_->events.clear();
    recorder_->mails.clear();
    account_.deleteOnServer = c.deleteOnServer;
    account_.uidList = c.known;
    account_.lastUid = c.lastUid;
    TestServer server;
    c.script(Login(server));
    server.Start();
    seams::MapHost("pop.example.com", 110, server.Port());
    client_->setAccount(&account_, connection_);
    client_->setPartialList(c.partial);
    client_->setPopMode(c.mode);
    client_->newConnection();
    EXPECT_TRUE(server.Finish()) << c.what << ": " << server.Error();
    EXPECT_EQ(Latest(), c.latest) << c.what;
    EXPECT_EQ(client_->uidlListComplete(), c.complete) << c.what;
  }
}

// With no known UID, the lines up to the last UID count as received: they
// are not fetched, and since the device may never have held them, not
// deleted either. A line the known list names is deleted as before.
TEST_F(PopScripted, LinesReceivedOnlyByTheLastUidAreNeitherFetchedNorDeleted) {
  struct Case {
    const char* what;
    int mode;
    bool pipelining;
    std::list<std::wstring> known;
    std::list<std::string> download;
    std::function<void(TestServer&)> script;  // after "CAPA"
    std::vector<std::string> fetched;
    std::vector<std::string> latest;
  };
  const std::string uidl = "+OK\r\n1 a\r\n2 b\r\n3 c\r\n.\r\n";
  const Case cases[] = {
      // C: UIDL   C: LIST 3 (size)   C: LIST 3 / RETR 3 / DELE 3   C: QUIT
      {"receive", 0, false, {}, {},
       [&](TestServer& s) {
         s.ExpectLine("UIDL").Send(uidl).ExpectLine("LIST 3").Send("+OK 3 10\r\n");
         s.ExpectLine("LIST 3").Send("+OK 3 10\r\n").ExpectLine("RETR 3").Send("+OK\r\nc\r\n.\r\n");
         s.ExpectLine("DELE 3").Send("+OK\r\n").ExpectLine("QUIT").Send("+OK\r\n").Close();
       },
       {"c"}, {"a", "b"}},
      // C: UIDL   C: LIST (all sizes)   C: RETR 3 / DELE 3   C: QUIT
      {"receive, pipelined", 0, true, {}, {},
       [&](TestServer& s) {
         s.ExpectLine("UIDL").Send(uidl).ExpectLine("LIST").Send("+OK\r\n1 10\r\n2 10\r\n3 10\r\n.\r\n");
         s.ExpectLine("RETR 3").Send("+OK\r\nc\r\n.\r\n");
         s.ExpectLine("DELE 3").Send("+OK\r\n").ExpectLine("QUIT").Send("+OK\r\n").Close();
       },
       {"c"}, {"a", "b"}},
      // Clearing the server: C: UIDL   C: QUIT
      {"clear", 4, false, {}, {},
       [&](TestServer& s) { s.ExpectLine("UIDL").Send(uidl).ExpectLine("QUIT").Send("+OK\r\n").Close(); },
       {}, {"a", "b"}},
      // Completing c: C: UIDL   C: LIST 3 (size)   C: LIST 3 / RETR 3 / DELE 3   C: QUIT
      {"select", 2, false, {}, {"c"},
       [&](TestServer& s) {
         s.ExpectLine("UIDL").Send(uidl).ExpectLine("LIST 3").Send("+OK 3 10\r\n");
         s.ExpectLine("LIST 3").Send("+OK 3 10\r\n").ExpectLine("RETR 3").Send("+OK\r\nc\r\n.\r\n");
         s.ExpectLine("DELE 3").Send("+OK\r\n").ExpectLine("QUIT").Send("+OK\r\n").Close();
       },
       {"c"}, {"a", "b"}},
      // Known a and b: the known list decides, and both go.
      // C: UIDL   C: LIST 3 (size)   C: DELE 1 / DELE 2   C: LIST 3 / RETR 3 / DELE 3   C: QUIT
      {"known", 0, false, {L"a", L"b"}, {},
       [&](TestServer& s) {
         s.ExpectLine("UIDL").Send(uidl).ExpectLine("LIST 3").Send("+OK 3 10\r\n");
         s.ExpectLine("DELE 1").Send("+OK\r\n").ExpectLine("DELE 2").Send("+OK\r\n");
         s.ExpectLine("LIST 3").Send("+OK 3 10\r\n").ExpectLine("RETR 3").Send("+OK\r\nc\r\n.\r\n");
         s.ExpectLine("DELE 3").Send("+OK\r\n").ExpectLine("QUIT").Send("+OK\r\n").Close();
       },
       {"c"}, {}},
      // Clearing with a known: C: UIDL   C: DELE 1   C: QUIT
      {"clear, known", 4, false, {L"a"}, {},
       [&](TestServer& s) {
         s.ExpectLine("UIDL").Send(uidl).ExpectLine("DELE 1").Send("+OK\r\n");
         s.ExpectLine("QUIT").Send("+OK\r\n").Close();
       },
       {}, {}},
  };
  for (const Case& c : cases) {
    recorder_->events.clear();
    recorder_->mails.clear();
    account_.deleteOnServer = true;
    account_.uidList = c.known;
    account_.lastUid = L"b";
    TestServer server;
    server.Send("+OK ready\r\n").ExpectLine("CAPA").Send("-ERR\r\n").ExpectLine("USER user").Send("+OK\r\n").ExpectLine("PASS pw").Send("+OK\r\n");
    server.ExpectLine("CAPA").Send(c.pipelining ? "+OK\r\nPIPELINING\r\n.\r\n" : "-ERR\r\n");
    c.script(server);
    server.Start();
    seams::MapHost("pop.example.com", 110, server.Port());
    client_->setAccount(&account_, connection_);
    std::list<std::string> download = c.download;
    client_->setDownloadList(download);
    client_->setPopMode(c.mode);
    client_->newConnection();
    EXPECT_TRUE(server.Finish()) << c.what << ": " << server.Error();
    std::vector<std::string> fetched;
    for (const FetchedMail& mail : recorder_->mails) fetched.push_back(mail.uid);
    EXPECT_EQ(fetched, c.fetched) << c.what;
    EXPECT_EQ(Latest(), c.latest) << c.what;
    EXPECT_EQ(recorder_->Error(), 0) << c.what;
    const std::vector<std::string> lines = server.Lines();
    for (const char* untouched : {"DELE 1", "DELE 2"}) {
      const bool sent = std::find(lines.begin(), lines.end(), untouched) != lines.end();
      EXPECT_EQ(sent, !c.known.empty() && (c.known.size() == 2 || std::string(untouched) == "DELE 1"))
          << c.what << ": " << untouched;
    }
  }
}

// With PIPELINING the fetches go out ahead of the one in hand, as many as
// the window takes (16, and past the first only while their sizes stay under
// 512 KB); the replies are read in order, and the observer that refuses the
// third "next message" leaves every fetch sent ahead read to its end and
// dropped before "QUIT".
TEST_F(PopScripted, PipelinedFetchesReadRepliesInOrderAndDrainWhatWasSentAhead) {
  const std::string login = "+OK ready\r\n";
  const auto list = [](const std::string& size, int count) {
    std::string answer = "+OK\r\n";
    for (int n = 1; n <= count; ++n) answer += std::to_string(n) + " " + size + "\r\n";
    return answer + ".\r\n";
  };
  const std::string one = "+OK\r\none\r\n.\r\n", two = "+OK\r\ntwo\r\n..\r\n.\r\n";
  struct Case {
    const char* what;
    int count;
    std::function<void(TestServer&)> script;  // after "UIDL"
  };
  const Case cases[] = {
      // C: LIST  S: (5 of 10 octets)   C: RETR 1 / ... / RETR 5   S: (1) ... (5)
      // C: QUIT   (3, 4 and 5 sent ahead, read and dropped)
      {"small: all five at once", 5,
       [&](TestServer& s) {
         s.ExpectLine("LIST").Send(list("10", 5));
         for (int n = 1; n <= 5; ++n) s.ExpectLine("RETR " + std::to_string(n));
         s.Send(one + two + "+OK\r\nthree\r\n.\r\n+OK\r\nfour\r\n.\r\n+OK\r\nfive\r\n.\r\n");
       }},
      // C: LIST  S: (4 of 300,000 octets)   C: RETR 1 / RETR 2 / RETR 3   (the
      // window's bytes reached)   S: (1)   C: RETR 4   S: (2) (3) (4)   C: QUIT
      {"large: the window's bytes", 4,
       [&](TestServer& s) {
         s.ExpectLine("LIST").Send(list("300000", 4));
         s.ExpectLine("RETR 1").ExpectLine("RETR 2").ExpectLine("RETR 3").Send(one);
         s.ExpectLine("RETR 4").Send(two + "+OK\r\nthree\r\n.\r\n+OK\r\nfour\r\n.\r\n");
       }},
  };
  for (const Case& c : cases) {
    client_ = std::make_unique<PopClient>();
    recorder_ = std::make_unique<PopRecorder>(client_.get());
    ASSERT_TRUE(client_->registerNotifyPop(recorder_.get()));
    int updates = 0;
    recorder_->answer = [&updates](int message, long, long) {
      return message != PopClient::MSG_PopUpdateStatus || ++updates < 3;
    };
    std::string uidl = "+OK\r\n";
    for (int n = 1; n <= c.count; ++n) uidl += std::to_string(n) + " u" + std::to_string(n) + "\r\n";
    TestServer server;
    server.Send(login).ExpectLine("CAPA").Send("-ERR\r\n").ExpectLine("USER user").Send("+OK\r\n").ExpectLine("PASS pw").Send("+OK\r\n");
    server.ExpectLine("CAPA").Send("+OK\r\nTOP\r\nPIPELINING\r\n.\r\n");
    server.ExpectLine("UIDL").Send(uidl + ".\r\n");
    c.script(server);
    server.ExpectLine("QUIT").Send("+OK\r\n").Close();
    Run(server);
    EXPECT_TRUE(server.Finish()) << c.what << ": " << server.Error();
    ASSERT_EQ(recorder_->mails.size(), 2u) << c.what << "\n" << Log();
    EXPECT_EQ(recorder_->mails[0].text, "one\r\n") << c.what;
    EXPECT_EQ(recorder_->mails[1].text, "two\r\n.\r\n") << c.what;
    EXPECT_EQ(recorder_->mails[1].uid, "u2") << c.what;
    EXPECT_EQ(recorder_->events.back(), (PopEvent{PopClient::MSG_PopAborted, 2, 0})) << c.what;
    EXPECT_EQ(Latest(), (std::vector<std::string>{"u1", "u2"})) << c.what;
  }
}

TEST(PopOversizeMark, GoesAtTheEndOfTheHeaderBlock) {
  const struct {
    std::string text, marked;
  } cases[] = {
      {"Subject: s\r\n\r\nbody\r\n", "Subject: s\r\nX-Oversize-Qvmail:\r\n\r\nbody\r\n"},
      {"Subject: s\r\n\r\n", "Subject: s\r\nX-Oversize-Qvmail:\r\n\r\n"},
      {"Subject: s\r\n", "Subject: s\r\nX-Oversize-Qvmail:\r\n"},
      {"Subject: s", "Subject: s\r\nX-Oversize-Qvmail:\r\n"},
      {"Subject: s\n\nbody\n", "Subject: s\nX-Oversize-Qvmail:\r\n\nbody\n"},
      {"\r\nbody", "X-Oversize-Qvmail:\r\n\r\nbody"},
      {"x", "x\r\nX-Oversize-Qvmail:\r\n"},
      {"", "X-Oversize-Qvmail:\r\n"},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    pop::InsertOversizeMark(text);
    EXPECT_EQ(text, c.marked) << c.text;
  }
}

TEST_F(PopScripted, LostDataConnectionEndsTheWaitAndIsLogged) {
  // S: +OK ready   C: USER user   (silence; the data connection is down)
  seams::SetNetworkWait(20, 600);
  TestServer server;
  server.Send("+OK ready\r\n").ExpectLine("CAPA").Send("-ERR\r\n").ExpectLine("USER user").Stall();
  std::thread dropper([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    seams::SetConnMgrStatus(CONNMGR_STATUS_DISCONNECTED);
  });
  Run(server);
  dropper.join();
  EXPECT_EQ(recorder_->Error(), 0x2000601);
  EXPECT_NE(Log().find("*** diconnect RAS Connection ***\r\n"), std::string::npos);
}

TEST_F(PopScripted, ObserverDecliningTheMailboxSizeEndsPolitely) {
  // C: UIDL  S: +OK / 1 a / .   C: STAT  S: +OK 1 10   C: QUIT  S: +OK
  recorder_->answer = [](int message, long, long) { return message != PopClient::MSG_PopMailBoxSize; };
  TestServer server;
  Login(server).ExpectLine("UIDL").Send("+OK\r\n1 a\r\n.\r\n").ExpectLine("STAT").Send("+OK 1 10\r\n");
  server.ExpectLine("QUIT").Send("+OK\r\n").Close();
  Run(server);
  EXPECT_TRUE(server.Finish()) << server.Error();
  EXPECT_EQ(recorder_->events, (std::vector<PopEvent>{{7, 1, 10}, {5, 0, 0}}));
}

TEST_F(PopScripted, ApopWithoutTimeStampIsRefusedBeforeAnyCredential) {
  // S: +OK ready (no <...>)   C: QUIT
  account_.apop = 1;
  TestServer server;
  server.Send("+OK ready\r\n").ExpectLine("CAPA").Send("-ERR\r\n").ExpectLine("QUIT").Close();
  Run(server);
  EXPECT_TRUE(server.Finish()) << server.Error();
  EXPECT_EQ(recorder_->Error(), static_cast<long>(QVMDL_ERR_POP_NO_TIMESTAMP));
}

}  // namespace
}  // namespace qv::test
