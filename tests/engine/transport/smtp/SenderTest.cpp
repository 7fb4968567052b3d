// The outgoing queue of a real account on disk, sending into the postfix
// peer (AUTH LOGIN and CRAM-MD5, STARTTLS on 587, TLS on 465): what the
// observer hears, what postfix delivered, what the sent box, the send box
// and the send history hold afterwards. A scripted server only plays the
// one who strips STARTTLS.
#include <functional>
#include <thread>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/transport/QvClassifier.h"
#include "engine/public/transport/QvRASController.h"
#include "engine/public/transport/QvRetriever.h"
#include "engine/public/transport/Sender.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/Time.h"
#include "tests/engine/store/filing/FilingFixture.h"
#include "tests/support/PostfixPeer.h"
#include "tests/support/TestServer.h"
#include "tests/support/TransportFixture.h"
#include "tests/engine/transport/smtp/SenderFixture.h"

namespace qv::test {
namespace {

TEST_F(SenderTest, TheSendBoxGoesOutOnOneSessionAndIsFiledAsItWasSent) {
  struct Case {
    uint32_t port;
    bool auth;
    const char* login;  // in the protocol log
  };
  const Case cases[] = {{25, false, "HELO QvMail"},
                        {2525, true, "AUTH LOGIN"},
                        {25, true, "AUTH CRAM-MD5"},
                        {587, true, "AUTH CRAM-MD5"},
                        {465, true, "AUTH CRAM-MD5"}};
  const std::string dots = "first\r\n.\r\n..x\r\n.\r\nlast\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    WriteBytes(L"\\Application Data\\QuvoMail\\QvMailLog.txt", "");
    peer_.ClearMail();
    Configure(c.port, c.auth);
    Queue(Mail("To: You <you@example.org>\r\nCc: cc@example.org\r\nBcc: hidden@example.org\r\n", dots));
    Queue(Mail("To: two@example.org\r\n", "second\r\n"));
    Queue(Mail("To: three@example.org\r\n", ".\r\n"));
    Empty(sent_);
    EXPECT_EQ(Send(), 1);
    EXPECT_EQ(recorder_.events, (std::vector<Event>{kConnecting, kConnected, kSent, kSent, kSent, kClosing})) << Log();
    EXPECT_TRUE(Messages(sendBox_).empty());
    const std::string log = Log();
    EXPECT_EQ(Count(log, "Smtp Protocol Start"), 1u) << log;
    EXPECT_EQ(Count(log, "MAIL FROM"), 3u);
    EXPECT_EQ(Count(log, "QUIT"), 1u);
    EXPECT_NE(log.find(c.login), std::string::npos) << log;

    std::vector<std::string> delivered = peer_.WaitForMail(3);
    ASSERT_EQ(delivered.size(), 3u) << peer_.Log();
    const Ids copies = Messages(sent_);
    ASSERT_EQ(copies.size(), 3u);
    // Each copy is the text as it went out, dots as written: postfix's
    // delivery (its own header lines first, LF line ends) ends with it.
    size_t matched = 0;
    for (unsigned long id : copies) {
      const std::string copy = Raw(id);
      EXPECT_EQ(copy.find("Bcc"), std::string::npos);
      for (const std::string& mail : delivered) matched += WithoutCr(mail).ends_with(WithoutCr(copy)) ? 1 : 0;
    }
    EXPECT_EQ(matched, 3u);
    const std::string first = Raw(copies[0]);
    EXPECT_NE(first.find("\r\n\r\n" + dots), std::string::npos) << first;
    EXPECT_EQ(Attributes(copies[0], QvMessageInterface::kListText1).listText1, L"you@example.org");
    for (const std::string& mail : delivered) EXPECT_EQ(mail.find("hidden@"), std::string::npos) << mail;
  }
  EXPECT_NE(peer_.Log().find("to=<hidden@example.org>"), std::string::npos);
  EXPECT_NE(peer_.Log().find("sasl_method=LOGIN"), std::string::npos);
}

TEST_F(SenderTest, SentMailRulesAndTheSendHistoryOfTheMailsOwnAccount) {
  ASSERT_FALSE(sentChildren_.empty());
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"LastSelectAccount", L"Other"));
  SetRules({{L"team", L"To", L"team@", static_cast<uint32_t>(sentChildren_[0]), QvClassifier::kSent, 0},
            {L"in", L"To", L"solo@", static_cast<uint32_t>(sentChildren_[0]), QvClassifier::kReceived, 0}});
  Queue(Mail("To: team@example.org, b@example.org\r\n", "to the team\r\n"));
  Queue(Mail("To: solo@example.org\r\n", "to one\r\n"));
  EXPECT_EQ(Send(), 1);
  EXPECT_EQ(Messages(sentChildren_[0]).size(), 1u);
  ASSERT_EQ(Messages(sent_).size(), 1u);
  EXPECT_NE(Raw(Messages(sent_)[0]).find("to one"), std::string::npos);
  const std::string t(stamp_.begin(), stamp_.end());
  EXPECT_EQ(ReadHost(AccountFile("Acc", "sendhistory.dat")),
            "solo@example.org\n" + t + "\nb@example.org\n" + t + "\nteam@example.org\n" + t + "\n");
}

TEST_F(SenderTest, RunsWithNothingToSendOrNowhereToSendIt) {
  struct Case {
    const char* what;
    std::function<void(std::vector<unsigned long>* ids)> arrange;  // may pick ids
    int result;
    std::vector<Event> events;
    size_t delivered;
  };
  const Case cases[] = {
      {"empty send box", [](auto*) {}, 1, {}, 0},
      {"no SMTP server",
       [this](auto*) {
         Queue(Mail("To: a@example.org\r\n", "x\r\n"));
         Configure(25, false, L"");
       },
       0,
       {QueueError(QVMDL_ERR_SEND_ACCOUNT)},
       0},
      {"no data connection",
       [this](auto*) {
         Queue(Mail("To: a@example.org\r\n", "x\r\n"));
         seams::SetConnMgrStatus(0x21);
       },
       0,
       {kConnecting, QueueError(QVMDL_ERR_SEND_CONNECTION)},
       0},
      {"an id not in the send box",
       [this](auto* ids) {
         *ids = {0x7777, Queue(Mail("To: a@example.org\r\n", "x\r\n"))};
       },
       1,
       {kConnecting, kConnected, QueueError(QVMDL_ERR_SEND_MESSAGE_READ), kSent, kClosing},
       1},
      {"no recipient",
       [this](auto*) { Queue(Mail("", "x\r\n")); },
       0,
       {kConnecting, kConnected, QueueError(QVMDL_ERR_SEND_NO_RECIPIENT)},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    peer_.ClearMail();
    std::vector<unsigned long> ids;
    c.arrange(&ids);
    const size_t waiting = Messages(sendBox_).size();
    EXPECT_EQ(Send(ids.empty() ? nullptr : &ids), c.result);
    EXPECT_EQ(recorder_.events, c.events) << Log();
    EXPECT_EQ(peer_.WaitForMail(c.delivered).size(), c.delivered);
    EXPECT_EQ(Messages(sendBox_).size(), waiting - c.delivered);
    Empty(sendBox_);
    Configure(25, false);
    seams::SetConnMgrStatus(0x10);
  }
}

TEST_F(SenderTest, AMessageTheServerTookIsNeverSentAgain) {
  // The copy cannot be written: the original goes to the sent box itself.
  // Then the sent box's list cannot be written either: the original stays
  // marked in the send box, and the next run passes over it.
  const unsigned long first = Queue(Mail("To: a@example.org\r\n", "one\r\n"));
  Queue(Mail("To: b@example.org\r\n", "two\r\n"));
  // The id the copy will get: the store hands ids out in turn.
  unsigned long probe = 0;
  ASSERT_TRUE(Folder(sent_)->CreateMessage(&probe) && Folder(sent_)->RemoveMessage(probe));
  ++probe;
  seams::InjectFileFault(EmlPathOf(probe), ERROR_DISK_FULL);
  EXPECT_EQ(Send(), 0);
  seams::ClearFileFaults();
  EXPECT_EQ(recorder_.events,
            (std::vector<Event>{kConnecting, kConnected, QueueError(QVMDL_ERR_EML_NOT_ENOUGH_MEMORY)}));
  EXPECT_EQ(peer_.WaitForMail(1).size(), 1u);
  EXPECT_EQ(Messages(sent_), Ids{first});
  EXPECT_EQ(Messages(sendBox_).size(), 1u);
  EXPECT_EQ(Count(Log(), "QUIT"), 1u);

  peer_.ClearMail();
  seams::InjectFileFault(StoreFile(L"TREE", sent_, L".msg"), ERROR_DISK_FULL);
  EXPECT_EQ(Send(), 0);
  seams::ClearFileFaults();
  ASSERT_EQ(peer_.WaitForMail(1).size(), 1u);
  ASSERT_EQ(Messages(sendBox_).size(), 1u);
  EXPECT_EQ(Attributes(Messages(sendBox_)[0], QvMessageInterface::kState).state, Sender::kSentNotFiled);

  peer_.ClearMail();
  EXPECT_EQ(Send(), 0);
  EXPECT_EQ(recorder_.events,
            (std::vector<Event>{kConnecting, kConnected, QueueError(QVMDL_ERR_SEND_MESSAGE_READ), kClosing}));
  EXPECT_TRUE(peer_.WaitForMail(0).empty());
}

// A volume below the store's reserve when the server takes the message: no
// copy, no move, no ordinary change of the store goes through. The mark that
// the server took it does, in place, and neither a run on the full volume
// nor one after room came back sends it again.
TEST_F(SenderTest, AFullVolumeWhenTheServerTakesAMessageStillKeepsItFromGoingAgain) {
  const unsigned long id = Queue(Mail("To: a@example.org\r\n", "one\r\n"));
  seams::SetFreeSpace(0);
  EXPECT_EQ(Send(), 0);
  EXPECT_EQ(recorder_.events,
            (std::vector<Event>{kConnecting, kConnected, QueueError(QVMDL_ERR_EML_NOT_ENOUGH_MEMORY)}));
  EXPECT_EQ(peer_.WaitForMail(1).size(), 1u);
  EXPECT_EQ(Messages(sendBox_), Ids{id});
  EXPECT_TRUE(Messages(sent_).empty());
  EXPECT_EQ(Attributes(id, QvMessageInterface::kState).state, Sender::kSentNotFiled);

  for (bool full : {true, false}) {
    SCOPED_TRACE(full ? "still full" : "room again");
    if (!full) seams::ClearFreeSpace();
    peer_.ClearMail();
    EXPECT_EQ(Send(), 0);
    EXPECT_EQ(recorder_.events,
              (std::vector<Event>{kConnecting, kConnected, QueueError(QVMDL_ERR_SEND_MESSAGE_READ), kClosing}));
    EXPECT_TRUE(peer_.WaitForMail(0).empty());
    EXPECT_EQ(Messages(sendBox_), Ids{id});
  }
}

TEST_F(SenderTest, AStrippedStartTlsOffer587EndsTheRunBeforeAnyCredential) {
  TestServer server;
  server.Send("220 mail ESMTP\r\n")
      .ExpectLine("EHLO QvMail_1")
      .Send("250-mail\r\n250 AUTH LOGIN CRAM-MD5\r\n")
      .ExpectLine("QUIT")
      .Close();
  server.Start();
  seams::MapHost("smtp.example.com", 587, server.Port());
  Configure(587, true);
  const unsigned long id = Queue(Mail("To: a@example.org\r\n", "x\r\n"));
  EXPECT_EQ(Send(), 0);
  EXPECT_TRUE(server.Finish()) << server.Error();
  EXPECT_EQ(recorder_.events, (std::vector<Event>{kConnecting, kConnected, SessionFailed(QVMDL_ERR_SMTP_NO_NETWORK)}));
  EXPECT_EQ(Messages(sendBox_), Ids{id});
}

TEST_F(SenderTest, ACancelAfterTheFirstMessageLeavesTheRestWaiting) {
  for (int i = 0; i < 3; ++i) Queue(Mail("To: a@example.org\r\n", "n\r\n"));
  recorder_.onEvent = [this](const Event& e) {
    if (e == kSent) {
      EXPECT_EQ(sender_->Cancel(), 1);
    }
  };
  EXPECT_EQ(Send(), 0);
  EXPECT_EQ(recorder_.events,
            (std::vector<Event>{kConnecting, kConnected, kSent, QueueError(QVMDL_ERR_SEND_CANCELLED)}));
  EXPECT_EQ(Messages(sendBox_).size(), 2u);
  EXPECT_EQ(Messages(sent_).size(), 1u);
  EXPECT_EQ(peer_.WaitForMail(1).size(), 1u);
  EXPECT_EQ(Count(Log(), "MAIL FROM"), 1u);
  EXPECT_NE(Log().find("QUIT"), std::string::npos);
}

// While a run sends, a second send of the account is refused at once, from
// this thread (the observer) or another, and so is a receive of it; the
// refused runs touch nothing, and every message goes out once.
TEST_F(SenderTest, ASecondRunOfTheAccountIsRefusedWhileOneSends) {
  for (int i = 0; i < 3; ++i) Queue(Mail("To: a@example.org\r\n", "n\r\n"));
  struct Second {
    int result = -1;
    std::vector<Event> events;
  };
  Second nested, threaded;
  bool receiveRan = true;
  uint32_t receiveWord = 0;
  int tries = 0;
  const auto sendAcc = [](Second* second) {
    Account account = Open(L"Acc");
    QvRASController ras;
    Recorder heard;
    Sender sender;
    sender.RegisterNotify(&heard);
    second->result = sender.SendMultiMail(account.get(), &ras, L"");
    second->events = heard.events;
  };
  recorder_.onEvent = [&](const Event& e) {
    if (e != kSent || tries++ != 0) return;
    sendAcc(&nested);
    std::thread([&] { sendAcc(&threaded); }).join();
    QvRASController ras;
    QvRetriever retriever;
    SetQvMiddleError(0);
    receiveRan = retriever.RetrieveMessages(account_.get(), &ras, "");
    receiveWord = GetQvMiddleError();
  };
  EXPECT_EQ(Send(), 1);
  EXPECT_EQ(recorder_.events, (std::vector<Event>{kConnecting, kConnected, kSent, kSent, kSent, kClosing})) << Log();
  for (const Second* second : {&nested, &threaded}) {
    EXPECT_EQ(second->result, 0);
    EXPECT_EQ(second->events, std::vector<Event>{QueueError(QVMDL_ERR_SEND_ACCOUNT_BUSY)});
  }
  EXPECT_FALSE(receiveRan);
  EXPECT_EQ(receiveWord, QVMDL_ERR_RECV_ACCOUNT_BUSY);
  EXPECT_EQ(Count(Log(), "MAIL FROM"), 3u);
  EXPECT_EQ(peer_.WaitForMail(3).size(), 3u);
  EXPECT_TRUE(Messages(sendBox_).empty());
  EXPECT_EQ(Messages(sent_).size(), 3u);

  // Once it ended, the account sends again.
  Queue(Mail("To: a@example.org\r\n", "again\r\n"));
  EXPECT_EQ(Send(), 1);
  EXPECT_EQ(Messages(sent_).size(), 4u);
}

}  // namespace
}  // namespace qv::test
