// The SMTP client against scripted servers, for what a real server will not
// do: malformed, multi-line and split replies, replies that never end,
// stalls, drops, a STARTTLS that fails. Each script's wire transcript stands
// beside it.
#include <atomic>
#include <functional>
#include <chrono>
#include <thread>

#include "engine/content/Base64.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/transport/SmtpReply.h"
#include "tests/engine/CertificateQuestion.h"
#include "tests/engine/transport/smtp/SmtpTestSupport.h"
#include "platform/ui/MessageBox.h"
#include "tests/support/TestCerts.h"
#include "tests/support/TestServer.h"

namespace qv::test {
namespace {

using Clock = std::chrono::steady_clock;

class SmtpScripted : public SmtpTest {
 protected:
  void Run(TestServer& server, WORD port = 25) {
    server.Start();
    seams::MapHost("smtp.example.com", port, server.Port());
    account_.smtpPort = port;
    Send();
  }

  // The body lines of the fixture's message, then the end of data.
  static TestServer& Body(TestServer& server) {
    return server.ExpectLine("From: me@example.com")
        .ExpectLine("To: you@example.com")
        .ExpectLine("Subject: hi")
        .ExpectLine("")
        .ExpectLine("hello")
        .ExpectLine(".");
  }

  // MAIL FROM to the end of data, accepted.
  static TestServer& Envelope(TestServer& server) {
    server.ExpectLine("MAIL FROM: <me@example.com>")
        .Send("250 ok\r\n")
        .ExpectLine("RCPT TO: <you@example.com>")
        .Send("250 ok\r\n")
        .ExpectLine("DATA")
        .Send("354 go\r\n");
    return Body(server);
  }

  // AUTH by the EHLO list with these credentials.
  void UseAuth(const wchar_t* user, const wchar_t* password) {
    account_.smtpAuthMode = 2;
    account_.smtpUserName = user;
    account_.smtpPassword = password;
  }

  bool Sent(const TestServer& server, const std::string& prefix) const {
    for (const std::string& line : server.Lines()) {
      if (line.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }
};

TEST(SmtpReply, CompleteOnlyWithTheLastLine) {
  EXPECT_FALSE(smtp::ReplyComplete(""));
  EXPECT_FALSE(smtp::ReplyComplete("250 ok"));
  EXPECT_FALSE(smtp::ReplyComplete("250-a\r\n250-b\r\n"));
  EXPECT_TRUE(smtp::ReplyComplete("250-a\r\n250 b\r\n"));
  EXPECT_TRUE(smtp::ReplyComplete("250\r\n"));
  EXPECT_TRUE(smtp::ReplyComplete("+OK\r\n"));
  // Fed piece by piece, as a worker sees it.
  std::string reply;
  size_t scanned = 0;
  const std::string whole = "250-mail\r\n250-AUTH LOGIN\r\n250 8BITMIME\r\n";
  for (size_t i = 0; i < whole.size(); ++i) {
    reply += whole[i];
    EXPECT_EQ(smtp::ReplyComplete(reply, &scanned), i + 1 == whole.size()) << i;
  }
}

TEST(SmtpReply, DotStuffingDoublesEveryLeadingDotAndNothingElse) {
  std::string text = ".first\r\nmid.dle\r\n.\r\n..two\r\nend.";
  smtp::DotStuff(text);
  EXPECT_EQ(text, "..first\r\nmid.dle\r\n..\r\n...two\r\nend.");
  std::string plain = "no dots\r\n";
  smtp::DotStuff(plain);
  EXPECT_EQ(plain, "no dots\r\n");
}

TEST_F(SmtpScripted, PlainSessionSendsTwoMessagesInOrderAndQuits) {
  // S: 220 ready   C: HELO QvMail   S: 250 hi
  // C: MAIL FROM: <me@example.com> / RCPT TO: <you@...> / RCPT TO: <two@...> / DATA
  // C: (text with ".." for the lone dot line) / .     S: 250 queued
  //    (a text that ends its last line gets no empty line before ".")
  // C: MAIL FROM (second message) ...                 S: 250 queued
  // C: QUIT                                           S: 221 bye
  text_ = "Subject: dots\r\n\r\n.\r\n.lead\r\n";
  mail_.recipients = {"you@example.com", "two@example.com"};
  TestServer server;
  server.Send("220 ready\r\n")
      .ExpectLine("HELO QvMail")
      .Send("250 hi\r\n")
      .ExpectLine("MAIL FROM: <me@example.com>")
      .Send("250 ok\r\n")
      .ExpectLine("RCPT TO: <you@example.com>")
      .Send("250 ok\r\n")
      .ExpectLine("RCPT TO: <two@example.com>")
      .Send("250 ok\r\n")
      .ExpectLine("DATA")
      .Send("354 go\r\n")
      .ExpectLine("Subject: dots")
      .ExpectLine("")
      .ExpectLine("..")
      .ExpectLine("..lead")
      .ExpectLine(".")
      .Send("250 queued\r\n")
      .ExpectLine("MAIL FROM: <other@example.com>")
      .Send("250 ok\r\n")
      .ExpectLine("RCPT TO: <you@example.com>")
      .Send("250 ok\r\n")
      .ExpectLine("DATA")
      .Send("354 go\r\n")
      .ExpectLine("second")
      .ExpectLine(".")
      .Send("250 queued\r\n")
      .ExpectLine("QUIT ")
      .Send("221 bye\r\n")
      .Close();
  Run(server);
  EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Accepted()}));
  EXPECT_EQ(client_->status(), 10);

  std::string second = "second";  // no line end of its own: one comes before "."
  RawEmail_S next{"other@example.com", {"you@example.com"}, &second};
  client_->setMail(&next);
  client_->sendEmail();
  client_->quit();
  EXPECT_TRUE(server.Finish()) << server.Error();
  EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Accepted(), Accepted()}));
  EXPECT_EQ(client_->status(), 9);

  // Without an idle session there is nothing to send on.
  client_->sendEmail();
  EXPECT_EQ(recorder_.events.back(), Failed(QVMDL_ERR_SMTP_NO_RECIPIENT));
}

TEST_F(SmtpScripted, SplitMultiLineEhloAndAuthLoginKeepCredentialsOutOfTheLog) {
  // The EHLO reply arrives byte by byte:
  //   S: 220 ready   C: EHLO QvMail
  //   S: 250-mail / 250-AUTH LOGIN PLAIN / 250 8BITMIME
  //   C: AUTH LOGIN  S: 334 VXNlcm5hbWU6  C: base64(user)  S: 334 UGFzc3dvcmQ6  C: base64(pass)
  //   S: 235 ok      C: MAIL FROM ...
  UseAuth(L"smtpuser", L"S3cret-pass");
  TestServer server;
  server.Send("220 ready\r\n").ExpectLine("EHLO QvMail");
  for (char c : std::string("250-mail\r\n250-AUTH LOGIN PLAIN\r\n250 8BITMIME\r\n")) {
    server.Send(std::string(1, c)).Pause(2);
  }
  server.ExpectLine("AUTH LOGIN")
      .Send("334 VXNlcm5hbWU6\r\n")
      .ExpectLine(content::Base64Encode("smtpuser"))
      .Send("334 UGFzc3dvcmQ6\r\n")
      .ExpectLine(content::Base64Encode("S3cret-pass"))
      .Send("235 ok\r\n");
  Envelope(server).Send("250 queued\r\n").Close();
  Run(server);
  EXPECT_TRUE(server.Finish()) << server.Error();
  EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Accepted()}));
  const std::string log = Log();
  EXPECT_NE(log.find("AUTH LOGIN"), std::string::npos) << log;
  EXPECT_EQ(log.find(content::Base64Encode("smtpuser")), std::string::npos) << log;
  EXPECT_EQ(log.find(content::Base64Encode("S3cret-pass")), std::string::npos) << log;
  EXPECT_EQ(log.find("S3cret-pass"), std::string::npos) << log;
}

TEST_F(SmtpScripted, CramMd5IsPreferredAndItsAnswerIsRight) {
  // S: 250-AUTH LOGIN CRAM-MD5   C: AUTH CRAM-MD5
  // S: 334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+   (RFC 2195's example)
  // C: dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw
  UseAuth(L"tim", L"tanstaaftanstaaf");
  TestServer server;
  server.Send("220 ready\r\n")
      .ExpectLine("EHLO QvMail")
      .Send("250-mail\r\n250-AUTH LOGIN CRAM-MD5\r\n250 8BITMIME\r\n")
      .ExpectLine("AUTH CRAM-MD5")
      .Send("334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+\r\n")
      .ExpectLine("dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw")
      .Send("235 ok\r\n");
  Envelope(server).Send("250 queued\r\n").Close();
  Run(server);
  EXPECT_TRUE(server.Finish()) << server.Error();
  EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Accepted()}));
  EXPECT_EQ(Log().find("dGltIGI5MTNh"), std::string::npos);
}

TEST_F(SmtpScripted, EhloVariantsDecideAuthOrPlainHelo) {
  UseAuth(L"u", L"p");
  {
    // Multi-line without AUTH: S: 250-mail / 250 SIZE   → QUIT, 0x200210B.
    TestServer server;
    server.Send("220 ready\r\n").ExpectLine("EHLO QvMail").Send("250-mail\r\n250 SIZE 100\r\n").ExpectLine("QUIT");
    Run(server);
    EXPECT_TRUE(server.Finish()) << server.Error();
    EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_NO_AUTH)}));
  }
  {
    // One line without AUTH: no usable reply.
    NewClient();
    TestServer server;
    server.Send("220 ready\r\n").ExpectLine("EHLO QvMail").Send("250 mail\r\n").ExpectLine("QUIT");
    Run(server);
    EXPECT_TRUE(server.Finish()) << server.Error();
    EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_UNEXPECTED)}));
  }
  {
    // AUTH without a known mechanism.
    NewClient();
    TestServer server;
    server.Send("220 ready\r\n").ExpectLine("EHLO QvMail").Send("250-mail\r\n250 AUTH PLAIN\r\n").ExpectLine("QUIT");
    Run(server);
    EXPECT_TRUE(server.Finish()) << server.Error();
    EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_NO_MECHANISM)}));
  }
  {
    // S: 502 no EHLO   C: HELO QvMail — the mail goes without authentication.
    NewClient();
    TestServer server;
    server.Send("220 ready\r\n").ExpectLine("EHLO QvMail").Send("502 no\r\n").ExpectLine("HELO QvMail").Send(
        "250 hi\r\n");
    Envelope(server).Send("250 queued\r\n").Close();
    Run(server);
    EXPECT_TRUE(server.Finish()) << server.Error();
    EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Accepted()}));
  }
}

TEST_F(SmtpScripted, MalformedRepliesEndWithQuitAndTheirCode) {
  {
    // The second recipient refused: 0x200210E and QUIT, no DATA.
    mail_.recipients = {"you@example.com", "bad@example.com"};
    TestServer server;
    server.Send("220 ready\r\n")
        .ExpectLine("HELO QvMail")
        .Send("250 hi\r\n")
        .ExpectLine("MAIL FROM: <me@example.com>")
        .Send("250 ok\r\n")
        .ExpectLine("RCPT TO: <you@example.com>")
        .Send("250 ok\r\n")
        .ExpectLine("RCPT TO: <bad@example.com>")
        .Send("550 no such user\r\n")
        .ExpectLine("QUIT");
    Run(server);
    EXPECT_TRUE(server.Finish()) << server.Error();
    EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_ADDRESS)}));
  }
  {
    // A refused end of data is a failure, never an acceptance.
    NewClient();
    mail_.recipients = {"you@example.com"};
    TestServer server;
    server.Send("220 ready\r\n").ExpectLine("HELO QvMail").Send("250 hi\r\n");
    Envelope(server).Send("554 rejected\r\n").ExpectLine("QUIT");
    Run(server);
    EXPECT_TRUE(server.Finish()) << server.Error();
    EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_UNEXPECTED)}));
  }
}

TEST_F(SmtpScripted, ReplyThatNeverEndsStopsAtItsLimit) {
  // S: 220-AAAA... (200 KB of continuation lines, then silence)
  std::string flood;
  while (flood.size() < 200 * 1024) flood += "220-" + std::string(60, 'A') + "\r\n";
  TestServer server;
  server.Send(flood).Stall();
  const auto start = Clock::now();
  Run(server);
  EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_UNEXPECTED)}));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
}

TEST_F(SmtpScripted, StallTimesOutAndCancelEndsAtOnce) {
  {
    // S: 220 ready   C: HELO QvMail   (silence)
    seams::SetNetworkWait(20, 5);
    TestServer server;
    server.Send("220 ready\r\n").ExpectLine("HELO QvMail").Stall();
    Run(server);
    EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_TIMEOUT)}));
    // No QUIT after a time-out.
    EXPECT_FALSE(Sent(server, "QUIT"));
  }
  {
    // The same stall with the production wait, cancelled from another thread.
    seams::SetNetworkWait(1000, 600);
    NewClient();
    TestServer server;
    server.Send("220 ready\r\n").ExpectLine("HELO QvMail").Stall();
    std::thread canceller([this] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      client_->cancel();
    });
    const auto start = Clock::now();
    Run(server);
    canceller.join();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_CANCELLED)}));
  }
}

TEST_F(SmtpScripted, CancelWhileTheEndOfDataIsAnsweredKeepsThatMessageButNoFurtherOne) {
  // C: ... .   (the server waits 400 ms, the user cancels meanwhile)   S: 250 queued
  // (the next message is refused unsent)   C: QUIT   S: 221 bye
  TestServer server;
  server.Send("220 ready\r\n").ExpectLine("HELO QvMail").Send("250 hi\r\n");
  Envelope(server).Pause(400).Send("250 queued\r\n").ExpectLine("QUIT ").Send("221 bye\r\n").Close();
  std::thread canceller([this] {
    while (client_->status() != 10) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    client_->cancel();
  });
  Run(server);
  canceller.join();
  client_->sendEmail();
  client_->quit();
  EXPECT_TRUE(server.Finish()) << server.Error();
  EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Accepted(), Failed(QVMDL_ERR_SMTP_CANCELLED)}));
}

// Replies that decide at once whether the session may go on, and whether it
// may log in at all. Each case: the account's port and AUTH, the script, the
// outcome, and what must never have been sent.
TEST_F(SmtpScripted, GreetingsEhloRefusalsAndStrippedStartTls) {
  struct Case {
    const char* what;
    WORD port;
    bool auth;
    std::function<void(TestServer&)> script;
    SmtpEvent outcome;
    const char* never;
  };
  const Case cases[] = {
      // S: 220-hello / 220 ready   C: HELO QvMail ...
      {"multi-line greeting", 25, false,
       [](TestServer& s) {
         s.Send("220-mail.example.com\r\n220-no UCE\r\n220 ready\r\n").ExpectLine("HELO QvMail").Send("250 hi\r\n");
         Envelope(s).Send("250 queued\r\n").Close();
       },
       Accepted(), "QUIT"},
      // S: 220 ready   C: EHLO QvMail   S: 554 no service   C: QUIT   (no wait)
      {"554 to EHLO", 25, true,
       [](TestServer& s) { s.Send("220 ready\r\n").ExpectLine("EHLO QvMail").Send("554 no\r\n").ExpectLine("QUIT"); },
       Failed(QVMDL_ERR_SMTP_UNEXPECTED), "HELO"},
      // C: EHLO QvMail_1   S: 421 busy   (the TLS phase ends at once)
      {"421 to the first EHLO on 587", 587, true,
       [](TestServer& s) { s.Send("220 ready\r\n").ExpectLine("EHLO QvMail_1").Send("421 busy\r\n").Stall(); },
       Failed(QVMDL_ERR_SMTP_AUTH), "AUTH"},
      // C: EHLO QvMail_1   S: 250-mail / 250 AUTH LOGIN   (STARTTLS stripped)   C: QUIT
      {"STARTTLS stripped on 587", 587, true,
       [](TestServer& s) {
         s.Send("220 ready\r\n").ExpectLine("EHLO QvMail_1").Send("250-mail\r\n250 AUTH LOGIN\r\n").ExpectLine("QUIT");
       },
       Failed(QVMDL_ERR_SMTP_NO_NETWORK), "AUTH"},
  };
  seams::SetNetworkWait(1000, 600);  // a reply waited out would outlast the test
  for (const Case& c : cases) {
    NewClient();
    account_.smtpAuthMode = c.auth ? 2 : 0;
    account_.smtpUserName = L"u";
    account_.smtpPassword = L"p";
    TestServer server;
    c.script(server);
    Run(server, c.port);
    EXPECT_TRUE(server.Finish()) << c.what << ": " << server.Error();
    EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{c.outcome})) << c.what;
    EXPECT_FALSE(Sent(server, c.never)) << c.what;
  }
}

TEST_F(SmtpScripted, EnvelopeAddressWithALineEndOrNulIsRefusedBeforeAnyCommand) {
  // S: 220 ready   (nothing is sent: the session never starts)
  for (const std::string& bad : {std::string("me@example.com\r\nRCPT TO: <x@evil>"), std::string("a\nb"),
                                 std::string("a\0b", 3)}) {
    for (const bool asSender : {true, false}) {
      NewClient();
      mail_.sender = asSender ? bad : "me@example.com";
      mail_.recipients = {"you@example.com", asSender ? "two@example.com" : bad};
      TestServer server;
      server.Send("220 ready\r\n").Stall();
      Run(server);
      EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SEND_NO_RECIPIENT)})) << asSender;
      EXPECT_TRUE(server.Lines().empty());
    }
  }
}

TEST_F(SmtpScripted, DropMidDataIsAFailureNotAnAcceptance) {
  // S: 354 go   C: (first lines of the text)   S: (reset)
  TestServer server;
  server.Send("220 ready\r\n")
      .ExpectLine("HELO QvMail")
      .Send("250 hi\r\n")
      .ExpectLine("MAIL FROM: <me@example.com>")
      .Send("250 ok\r\n")
      .ExpectLine("RCPT TO: <you@example.com>")
      .Send("250 ok\r\n")
      .ExpectLine("DATA")
      .Send("354 go\r\n")
      .ExpectLine("From: me@example.com")
      .Drop();
  Run(server);
  EXPECT_TRUE(server.Finish()) << server.Error();
  EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_SOCKET)}));
}

TEST_F(SmtpScripted, LostDataConnectionEndsTheWait) {
  seams::SetNetworkWait(20, 50);
  TestServer server;
  server.Send("220 ready\r\n").ExpectLine("HELO QvMail").Stall();
  std::thread cut([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    seams::SetConnMgrStatus(CONNMGR_STATUS_DISCONNECTED);
  });
  Run(server);
  cut.join();
  EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_NET_LINK_LOST)}));
  EXPECT_NE(Log().find("*** diconnect RAS Connection ***"), std::string::npos);
}

TEST_F(SmtpScripted, FailedStartTlsNeverFallsBackToPlainText) {
  // Port 587: S: 220 ready   C: EHLO QvMail_1   S: 250-mail / 250-STARTTLS / 250 SIZE
  //           C: STARTTLS    S: 220 go (then closes: the handshake fails)
  UseAuth(L"u", L"secret-word");
  TestServer server;
  server.Send("220 ready\r\n")
      .ExpectLine("EHLO QvMail_1")
      .Send("250-mail\r\n250-STARTTLS\r\n250 SIZE\r\n")
      .ExpectLine("STARTTLS")
      .Send("220 go\r\n")
      .Close();
  Run(server, 587);
  EXPECT_TRUE(server.Finish()) << server.Error();
  EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_AUTH)}));
  EXPECT_EQ(server.Lines(), (std::vector<std::string>{"EHLO QvMail_1", "STARTTLS"}));
}

TEST_F(SmtpScripted, RefusedStartTlsCertificateSendsNothingFurther) {
  // As above, but the server does start TLS with a certificate nobody vouches
  // for; the user answers "no" to the question, the handshake fails.
  CertificateAnswers answers(false);
  CertRequest request("CN=smtp.example.com");
  request.dnsNames = {"smtp.example.com"};
  const TestCert selfSigned = MakeCertificate(request);
  UseAuth(L"u", L"secret-word");
  TestServer server;
  server.Send("220 ready\r\n")
      .ExpectLine("EHLO QvMail_1")
      .Send("250-mail\r\n250 STARTTLS\r\n")
      .ExpectLine("STARTTLS")
      .Send("220 go\r\n")
      .StartTls(selfSigned)
      .Stall();
  Run(server, 587);
  EXPECT_EQ(answers.Asked(), 1);
  EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_AUTH)}));
  EXPECT_EQ(server.Handshakes(), 0);
  EXPECT_EQ(server.Lines(), (std::vector<std::string>{"EHLO QvMail_1", "STARTTLS"}));
}

TEST_F(SmtpScripted, StartTlsNotOfferedKeepsPlainTextAndRefusedEhloIsAnAuthFailure) {
  {
    // S: 250 mail (no STARTTLS): the session goes on unencrypted, as configured.
    TestServer server;
    server.Send("220 ready\r\n").ExpectLine("EHLO QvMail_1").Send("250 mail\r\n").ExpectLine("HELO QvMail").Send(
        "250 hi\r\n");
    Envelope(server).Send("250 queued\r\n").Close();
    Run(server, 587);
    EXPECT_TRUE(server.Finish()) << server.Error();
    EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Accepted()}));
  }
  {
    NewClient();
    TestServer server;
    server.Send("220 ready\r\n").ExpectLine("EHLO QvMail_1").Send("502 no\r\n").Stall();
    Run(server, 587);
    EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_AUTH)}));
  }
}

TEST_F(SmtpScripted, PopBeforeSmtpWaitIsCappedAndARefusedLoginEndsIt) {
  // POP: S: +OK ready   C: CAPA   S: +OK / USER / .   (no STLS)
  //      C: USER user   S: +OK   C: PASS pw   S: +OK   C: QUIT   S: +OK bye
  seams::SetNetworkWait(10, 600);
  account_.smtpAuthMode = 1;
  account_.popServerName = L"pop.example.com";
  account_.popUserName = L"user";
  account_.popPassword = L"pw";
  account_.popBeforeSmtpWaitSeconds = 500;  // over 300: 60
  TestServer pop;
  pop.Send("+OK ready\r\n")
      .ExpectLine("CAPA")
      .Send("+OK\r\nUSER\r\n.\r\n")
      .ExpectLine("USER user")
      .Send("+OK\r\n")
      .ExpectLine("PASS pw")
      .Send("+OK in\r\n")
      .ExpectLine("QUIT")
      .Send("+OK bye\r\n")
      .Close();
  pop.Start();
  seams::MapHost("pop.example.com", 110, pop.Port());
  TestServer server;
  server.Send("220 ready\r\n").ExpectLine("HELO QvMail").Send("250 hi\r\n");
  Envelope(server).Send("250 queued\r\n").Close();
  const auto start = Clock::now();
  Run(server);
  const auto took = Clock::now() - start;
  EXPECT_TRUE(pop.Finish()) << pop.Error();
  EXPECT_TRUE(server.Finish()) << server.Error();
  EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Accepted()}));
  EXPECT_GE(took, std::chrono::milliseconds(550));
  EXPECT_LT(took, std::chrono::milliseconds(4000));
  EXPECT_EQ(Log().find("PASS pw"), std::string::npos);

  // A refused password: 0x2002102, no SMTP session.
  NewClient();
  TestServer refusing;
  refusing.Send("+OK ready\r\n").ExpectLine("CAPA").Send("-ERR\r\n").ExpectLine("USER user").Send("+OK\r\n");
  refusing.ExpectLine("PASS pw").Send("-ERR no\r\n").ExpectLine("QUIT");
  refusing.Start();
  seams::MapHost("pop.example.com", 110, refusing.Port());
  Send();
  EXPECT_TRUE(refusing.Finish()) << refusing.Error();
  EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_AUTH)}));
}

TEST_F(SmtpScripted, EmptyServerOrNoRecipientStartsNothing) {
  account_.smtpServerName.clear();
  Send();
  EXPECT_TRUE(recorder_.events.empty());
  EXPECT_EQ(client_->status(), 9);

  account_.smtpServerName = L"smtp.example.com";
  mail_.recipients.clear();
  TestServer server;
  server.Send("220 ready\r\n").Stall();
  Run(server);
  EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_NO_RECIPIENT)}));
}

TEST_F(SmtpScripted, ObserverRegistration) {
  SmtpRecorder other;
  EXPECT_FALSE(client_->registerNotifySmtp(&other));
  EXPECT_TRUE(client_->registerNotifySmtp(nullptr));
  EXPECT_TRUE(client_->registerNotifySmtp(&other));
  client_->notifySmtp(7);
  EXPECT_EQ(other.events, (std::vector<SmtpEvent>{Accepted()}));
}

}  // namespace
}  // namespace qv::test
