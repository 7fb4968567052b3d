// The POP3 client against a real dovecot: logins, UID bookkeeping, whole,
// partial and header-only fetches, deletion, implicit TLS with the
// certificate hook, and what the protocol log keeps.
#include <algorithm>
#include <fstream>

#include "engine/public/foundation/QvMiddleError.h"
#include "platform/ui/MessageBox.h"
#include "tests/engine/CertificateQuestion.h"
#include "tests/engine/transport/pop3/PopTestSupport.h"
#include "tests/support/DovecotPeer.h"

namespace qv::test {
namespace {

// Dot lines travel stuffed and must come back as written.
const std::string kMailA =
    "From: a@example.com\r\nSubject: one\r\n\r\nfirst body\r\n.starts with a dot\r\n..two dots\r\n.\r\nend\r\n";
const std::string kMailB = "From: b@example.com\r\nSubject: two\r\n\r\nsecond\r\n";
const std::string kMailC = "From: c@example.com\r\nSubject: three\r\n\r\nthird\r\n";

class PopDovecot : public PopTest {
 protected:
  void SetUp() override {
    PopTest::SetUp();
    ASSERT_TRUE(peer_.Ready()) << peer_.Error();
    user_ = peer_.NewMailbox();
    account_.popUserName = Wide(user_);
    account_.popPassword = Wide(peer_.Password());
    account_.popPort = 110;
    seams::MapHost("pop.example.com", 110, peer_.PlainPort());
    seams::MapHost("pop.example.com", 995, peer_.SecurePort());
    // Port 110 offers STLS: the session upgrades before it logs in.
    seams::SetTrustedCaFile(peer_.CaFile());
  }

  // One session; the recorder keeps what it saw.
  void Run(PopRecorder& recorder, PopClient& client, int mode = 0, std::list<std::string> download = {}) {
    ASSERT_TRUE(client.registerNotifyPop(&recorder));
    client.setAccount(&account_, connection_);
    if (!download.empty()) client.setDownloadList(download);
    client.setPopMode(mode);
    client.newConnection();
  }

  // A plain session that takes everything new; the UID list after it.
  std::vector<std::string> ReceiveAll() {
    PopClient client;
    PopRecorder recorder(&client);
    Run(recorder, client);
    EXPECT_EQ(recorder.Error(), 0) << Log() << peer_.Log();
    return Uids(client);
  }

  std::vector<std::string> Uids(PopClient& client) {
    std::list<std::wstring> list;
    client.getUidlList(list);
    std::vector<std::string> out;
    for (const std::wstring& w : list) out.emplace_back(w.begin(), w.end());
    return out;
  }

  DovecotPeer& peer_ = DovecotPeer::Shared();
  std::string user_;
};

TEST_F(PopDovecot, UserPassFetchesEveryNewMessageWholeAndLeavesThemOnTheServer) {
  peer_.AddMessage(user_, kMailA);
  peer_.AddMessage(user_, kMailB);
  peer_.AddMessage(user_, kMailC);
  PopClient client;
  PopRecorder recorder(&client);
  Run(recorder, client);

  ASSERT_EQ(recorder.Error(), 0) << Log() << peer_.Log();
  // No UID known: STAT, then each message: next-message, new message.
  const std::vector<int> expected = {7, 10, 0, 10, 0, 10, 0, 4};
  EXPECT_EQ(recorder.Messages(), expected);
  EXPECT_EQ(recorder.events.front(), (PopEvent{7, 3, static_cast<long>(kMailA.size() + kMailB.size() + kMailC.size())}));
  EXPECT_EQ(recorder.events.back(), (PopEvent{4, 3, 0}));
  ASSERT_EQ(recorder.mails.size(), 3u);
  EXPECT_EQ(recorder.mails[0].text, kMailA);
  EXPECT_EQ(recorder.mails[1].text, kMailB);
  EXPECT_EQ(recorder.mails[2].text, kMailC);
  const std::vector<std::string> uids = Uids(client);
  ASSERT_EQ(uids.size(), 3u);
  EXPECT_EQ(uids[0], recorder.mails[0].uid);
  EXPECT_EQ(uids[2], recorder.mails[2].uid);
  EXPECT_NE(uids[0], uids[1]);
  EXPECT_EQ(client.getLastRecvUid(), uids[2]);
  EXPECT_EQ(peer_.MessageCount(user_), 3);

  // The protocol log has the exchange but never the password.
  const std::string log = Log();
  EXPECT_NE(log.find("*** Pop Protocol Start "), std::string::npos);
  EXPECT_NE(log.find("-[OUT(" + std::to_string(7 + user_.size()) + ")]USER " + user_), std::string::npos);
  EXPECT_NE(log.find("PASS ********"), std::string::npos);
  EXPECT_NE(log.find("-[IN ("), std::string::npos);
  EXPECT_NE(log.find("RETR 3"), std::string::npos);
  EXPECT_EQ(log.find(peer_.Password()), std::string::npos);
  // Dovecot announces PIPELINING: one "LIST" for the sizes, and each fetch
  // goes out with the next one's.
  EXPECT_EQ(log.find("LIST 1"), std::string::npos) << log;
  EXPECT_NE(log.find("RETR 1\r\nRETR 2\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("PASS ********\r\n-[IN (") , std::string::npos) << log;
}

TEST_F(PopDovecot, ApopWithKnownUidsFetchesOnlyTheNewOnes) {
  peer_.AddMessage(user_, kMailA);
  peer_.AddMessage(user_, kMailB);
  const std::vector<std::string> first = ReceiveAll();
  ASSERT_EQ(first.size(), 2u);
  peer_.AddMessage(user_, kMailC);

  // Known UIDs and no last UID: "LIST" sums the sizes of the new one.
  account_.apop = 1;
  account_.uidList = {Wide(first[0]), Wide(first[1])};
  const size_t logBefore = Log().size();
  PopClient client;
  PopRecorder recorder(&client);
  Run(recorder, client);
  ASSERT_EQ(recorder.Error(), 0) << Log() << peer_.Log();
  EXPECT_EQ(recorder.Messages(), (std::vector<int>{7, 10, 0, 4}));
  EXPECT_EQ(recorder.events.front(), (PopEvent{7, 1, static_cast<long>(kMailC.size())}));
  ASSERT_EQ(recorder.mails.size(), 1u);
  EXPECT_EQ(recorder.mails[0].text, kMailC);
  const std::vector<std::string> uids = Uids(client);
  ASSERT_EQ(uids.size(), 3u);
  EXPECT_EQ(uids[2], recorder.mails[0].uid);
  const std::string log = Log().substr(logBefore);
  EXPECT_NE(log.find("APOP " + user_ + " ********"), std::string::npos);
  EXPECT_EQ(log.find("USER "), std::string::npos);

  // The last UID alone finds the new mail ("LIST n" for each later line).
  account_.uidList.clear();
  account_.lastUid = Wide(uids[1]);
  PopClient again;
  PopRecorder second(&again);
  Run(second, again);
  ASSERT_EQ(second.Error(), 0);
  ASSERT_EQ(second.mails.size(), 1u);
  EXPECT_EQ(second.mails[0].uid, uids[2]);
  EXPECT_EQ(Uids(again), uids);
}

TEST_F(PopDovecot, DeleteFlagRemovesEachFetchedAndEarlierReceivedMessage) {
  peer_.AddMessage(user_, kMailA);
  peer_.AddMessage(user_, kMailB);
  const std::vector<std::string> first = ReceiveAll();
  ASSERT_EQ(first.size(), 2u);
  peer_.AddMessage(user_, kMailC);
  account_.deleteOnServer = 1;
  account_.uidList = {Wide(first[0]), Wide(first[1])};
  PopClient client;
  PopRecorder recorder(&client);
  Run(recorder, client);
  ASSERT_EQ(recorder.Error(), 0) << Log() << peer_.Log();
  ASSERT_EQ(recorder.mails.size(), 1u);
  EXPECT_EQ(recorder.mails[0].text, kMailC);
  EXPECT_EQ(peer_.MessageCount(user_), 0);
  EXPECT_TRUE(Uids(client).empty());
  const std::string log = Log();
  EXPECT_NE(log.find("DELE 1"), std::string::npos);
  EXPECT_NE(log.find("DELE 3"), std::string::npos);
}

// "DELE" only marks: the server removes at "QUIT". An observer that cannot
// put what it stored on the disk keeps "QUIT" back, and the server keeps
// every message, those fetched and deleted in this session included.
TEST_F(PopDovecot, NoQuitWhenTheFetchedMailCannotBeMadeSafe) {
  peer_.AddMessage(user_, kMailA);
  peer_.AddMessage(user_, kMailB);
  account_.deleteOnServer = 1;
  for (const bool safe : {false, true}) {
    SCOPED_TRACE(safe ? "safe" : "not safe");
    PopClient client;
    PopRecorder recorder(&client);
    recorder.answer = [safe](int message, long, long) { return safe || message != PopClient::MSG_PopBeforeQuit; };
    const size_t logBefore = Log().size();
    Run(recorder, client);
    EXPECT_EQ(recorder.mails.size(), 2u);
    const std::string log = Log().substr(logBefore);
    EXPECT_NE(log.find("DELE 2"), std::string::npos) << log;
    EXPECT_EQ(log.find("QUIT") != std::string::npos, safe) << log;
    EXPECT_EQ(recorder.Error(), safe ? 0 : static_cast<long>(QVMDL_ERR_POP_QUIT));
    EXPECT_EQ(peer_.MessageCount(user_), safe ? 0 : 2);
  }
}

TEST_F(PopDovecot, PartialModeTakesTheLineCountAndSaysWhenTheMessageWasCutAndDeletesNothing) {
  std::string longMail = "From: d@example.com\r\nSubject: long\r\n\r\n";
  for (int i = 1; i <= 20; ++i) longMail += "line " + std::to_string(i) + "\r\n";
  peer_.AddMessage(user_, longMail);
  peer_.AddMessage(user_, kMailB);
  account_.partialLines = 5;
  // Nothing fetched by "TOP" is whole for sure: the server keeps it all.
  account_.deleteOnServer = 1;
  PopClient client;
  PopRecorder recorder(&client);
  Run(recorder, client, 1);
  ASSERT_EQ(recorder.Error(), 0) << Log() << peer_.Log();
  ASSERT_EQ(recorder.mails.size(), 2u);
  EXPECT_EQ(recorder.mails[0].kind, PopClient::MSG_PopNewPartMessage);
  EXPECT_EQ(recorder.mails[0].text, longMail.substr(0, longMail.find("line 6")));
  EXPECT_EQ(recorder.mails[1].kind, PopClient::MSG_PopNewMessage);
  EXPECT_EQ(recorder.mails[1].text, kMailB);
  EXPECT_NE(Log().find("TOP 1 5"), std::string::npos);
  EXPECT_EQ(Log().find("DELE"), std::string::npos);
  EXPECT_EQ(peer_.MessageCount(user_), 2);
}

TEST_F(PopDovecot, MessageOverThreeMegabytesComesHeaderOnly) {
  const std::string header = "From: e@example.com\r\nSubject: big\r\n\r\n";
  std::string big = header;
  const std::string line(998, 'x');
  while (big.size() <= 0x300000) big += line + "\r\n";
  peer_.AddMessage(user_, big);
  account_.deleteOnServer = 1;
  PopClient client;
  PopRecorder recorder(&client);
  Run(recorder, client);
  ASSERT_EQ(recorder.Error(), 0) << Log() << peer_.Log();
  ASSERT_EQ(recorder.mails.size(), 1u);
  EXPECT_EQ(recorder.mails[0].kind, PopClient::MSG_PopNewHeader);
  EXPECT_EQ(recorder.mails[0].text, header);
  EXPECT_NE(Log().find("TOP 1 0"), std::string::npos);
  EXPECT_EQ(peer_.MessageCount(user_), 1);
}

TEST_F(PopDovecot, SelectedAndClearingModes) {
  peer_.AddMessage(user_, kMailA);
  peer_.AddMessage(user_, kMailB);
  peer_.AddMessage(user_, kMailC);
  const std::vector<std::string> uids = ReceiveAll();
  ASSERT_EQ(uids.size(), 3u);
  account_.uidList = {Wide(uids[0]), Wide(uids[1]), Wide(uids[2])};
  account_.lastUid = Wide(uids[2]);
  {
    // Mode 2: only the listed UID is fetched, whole.
    PopClient client;
    PopRecorder recorder(&client);
    Run(recorder, client, 2, {uids[1]});
    ASSERT_EQ(recorder.Error(), 0);
    ASSERT_EQ(recorder.mails.size(), 1u);
    EXPECT_EQ(recorder.mails[0].text, kMailB);
    EXPECT_EQ(recorder.mails[0].uid, uids[1]);
  }
  {
    // Mode 4: everything received is deleted from the server.
    PopClient client;
    PopRecorder recorder(&client);
    Run(recorder, client, 4);
    ASSERT_EQ(recorder.Error(), 0);
    // The observer is asked before the "QUIT" that removes them.
    EXPECT_EQ(recorder.Messages(), (std::vector<int>{PopClient::MSG_PopBeforeQuit, 4}));
    EXPECT_EQ(peer_.MessageCount(user_), 0);
    EXPECT_TRUE(Uids(client).empty());
  }
}

TEST_F(PopDovecot, WrongPasswordIsReportedWithItsCodeAndNeverLogged) {
  peer_.AddMessage(user_, kMailA);
  account_.popPassword = L"not-the-password-42";
  PopClient client;
  PopRecorder recorder(&client);
  Run(recorder, client);
  EXPECT_EQ(recorder.Messages(), (std::vector<int>{3}));
  EXPECT_EQ(recorder.Error(), static_cast<long>(QVMDL_ERR_POP_LOGIN));
  const std::string log = Log();
  EXPECT_NE(log.find("PASS ********"), std::string::npos);
  EXPECT_EQ(log.find("not-the-password-42"), std::string::npos);
  EXPECT_EQ(peer_.MessageCount(user_), 1);
}

TEST_F(PopDovecot, ImplicitTlsOn995AcceptsATrustedChainWithoutAQuestion) {
  peer_.AddMessage(user_, kMailA);
  seams::SetTrustedCaFile(peer_.CaFile());
  account_.popPort = 995;
  CertificateAnswers answers(false);
  PopClient client;
  PopRecorder recorder(&client);
  Run(recorder, client);
  ASSERT_EQ(recorder.Error(), 0) << Log() << peer_.Log();
  ASSERT_EQ(recorder.mails.size(), 1u);
  EXPECT_EQ(recorder.mails[0].text, kMailA);
  EXPECT_EQ(answers.Asked(), 0);
}

TEST_F(PopDovecot, ImplicitTlsWithAnUnknownIssuerAsksAndANoRefuses) {
  peer_.AddMessage(user_, kMailA);
  seams::SetTrustedCaFile("");
  CertificateAnswers answers(false);
  account_.popPort = 995;
  PopClient client;
  PopRecorder recorder(&client);
  Run(recorder, client);
  EXPECT_EQ(answers.Asked(), 1);
  EXPECT_EQ(recorder.Messages(), (std::vector<int>{3}));
  EXPECT_EQ(recorder.Error(), static_cast<long>(QVMDL_ERR_POP_CONNECT));
  EXPECT_EQ(Log().find("USER"), std::string::npos);
}

}  // namespace
}  // namespace qv::test
