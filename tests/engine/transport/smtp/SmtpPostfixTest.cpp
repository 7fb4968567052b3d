// The SMTP client against a real postfix (tests/support/PostfixPeer.h):
// plain submission, AUTH LOGIN and CRAM-MD5 through dovecot's SASL service,
// STARTTLS on 587, TLS from the first byte on 465, POP-before-SMTP against
// the dovecot POP3 peer. What postfix delivered is read back from its files.
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/content/Base64.h"
#include "tests/engine/transport/smtp/SmtpTestSupport.h"
#include "tests/support/DovecotPeer.h"
#include "tests/support/PostfixPeer.h"

namespace qv::test {
namespace {

class SmtpPostfix : public SmtpTest {
 protected:
  void SetUp() override {
    SmtpTest::SetUp();
    ASSERT_TRUE(peer_.Ready()) << peer_.Error();
    peer_.ClearMail();
    seams::MapHost("smtp.example.com", 25, peer_.PlainPort());
    seams::MapHost("smtp.example.com", 587, peer_.PlainPort());
    seams::MapHost("smtp.example.com", 465, peer_.SecurePort());
    seams::SetTrustedCaFile(peer_.CaFile());
    account_.smtpUserName = Wide(peer_.User());
    account_.smtpPassword = Wide(peer_.Password());
  }

  static std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

  // One message, sent and delivered; returns the delivered text.
  std::string SendOne() {
    Send();
    EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Accepted()})) << Log() << peer_.Log();
    client_->quit();
    const std::vector<std::string> mail = peer_.WaitForMail(1);
    EXPECT_EQ(mail.size(), 1u) << peer_.Log();
    return mail.empty() ? std::string() : mail[0];
  }

  // The log holds neither the password nor the user's Base64 form.
  void ExpectNoCredentialsInLog() const {
    const std::string log = Log();
    EXPECT_EQ(log.find(peer_.Password()), std::string::npos) << log;
    EXPECT_EQ(log.find(content::Base64Encode(peer_.Password())), std::string::npos) << log;
    EXPECT_EQ(log.find(content::Base64Encode(peer_.User())), std::string::npos) << log;
  }

  PostfixPeer& peer_ = PostfixPeer::Shared();
};

TEST_F(SmtpPostfix, PlainSubmissionDeliversTheTextWithEveryDotLineIntact) {
  // The very first line starts with a dot too (the server takes it as body).
  text_ = ".first\r\n\r\n.\r\n..two\r\n.lead\r\nend.\r\n";
  mail_.recipients = {"one@example.org", "two@example.org"};
  const std::string mail = SendOne();
  EXPECT_NE(mail.find("\n.first\n\n.\n..two\n.lead\nend.\n"), std::string::npos) << mail;
  EXPECT_NE(peer_.Log().find("nrcpt=2"), std::string::npos) << peer_.Log();
  EXPECT_EQ(client_->status(), 9);
}

TEST_F(SmtpPostfix, TwoMessagesOnOneSessionAreReportedInOrder) {
  Send();
  std::string second = "Subject: second\r\n\r\nthe second one\r\n";
  RawEmail_S next{"me@example.com", {"three@example.org"}, &second};
  client_->setMail(&next);
  client_->sendEmail();
  client_->quit();
  EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Accepted(), Accepted()})) << Log();
  const std::vector<std::string> mail = peer_.WaitForMail(2);
  ASSERT_EQ(mail.size(), 2u) << peer_.Log();
  EXPECT_NE((mail[0] + mail[1]).find("the second one"), std::string::npos);
  EXPECT_NE((mail[0] + mail[1]).find("hello"), std::string::npos);
}

TEST_F(SmtpPostfix, AuthLoginAndCramMd5LogInOnPort25OnlyAfterStartTls) {
  // Postfix offers STARTTLS on 25 too: no credential goes out before it.
  account_.smtpAuthMode = 4;
  const std::string login = SendOne();
  EXPECT_NE(login.find("with ESMTPSA"), std::string::npos) << login;
  EXPECT_NE(login.find("(using TLS"), std::string::npos) << login;
  EXPECT_LT(Log().find("STARTTLS"), Log().find("AUTH LOGIN")) << Log();
  EXPECT_NE(peer_.Log().find("sasl_method=LOGIN, sasl_username=" + peer_.User()), std::string::npos);
  ExpectNoCredentialsInLog();

  // Mode 2 takes CRAM-MD5 when offered beside LOGIN.
  peer_.ClearMail();
  NewClient();
  account_.smtpAuthMode = 2;
  const std::string cram = SendOne();
  EXPECT_NE(cram.find("with ESMTPSA"), std::string::npos) << cram;
  EXPECT_NE(peer_.Log().find("sasl_method=CRAM-MD5, sasl_username=" + peer_.User()), std::string::npos)
      << peer_.Log();
  EXPECT_NE(Log().find("AUTH CRAM-MD5"), std::string::npos);
  ExpectNoCredentialsInLog();
}

TEST_F(SmtpPostfix, WrongPasswordIsAnAuthenticationFailure) {
  for (uint32_t mode : {3u, 4u}) {
    NewClient();
    account_.smtpAuthMode = mode;
    account_.smtpPassword = L"not-the-password-42";
    Send();
    EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_AUTH)})) << mode << Log();
    EXPECT_EQ(Log().find("not-the-password-42"), std::string::npos);
  }
  EXPECT_TRUE(peer_.WaitForMail(0).empty());
}

TEST_F(SmtpPostfix, StartTlsOn587AndImplicitTlsOn465) {
  account_.smtpAuthMode = 2;
  account_.smtpPort = 587;
  const std::string starttls = SendOne();
  EXPECT_NE(starttls.find("with ESMTPSA"), std::string::npos) << starttls;
  EXPECT_NE(starttls.find("(using TLS"), std::string::npos) << starttls;
  EXPECT_NE(Log().find("STARTTLS"), std::string::npos);
  ExpectNoCredentialsInLog();

  peer_.ClearMail();
  NewClient();
  account_.smtpPort = 465;
  const std::string implicit = SendOne();
  EXPECT_NE(implicit.find("with ESMTPSA"), std::string::npos) << implicit;
  EXPECT_NE(implicit.find("(using TLS"), std::string::npos) << implicit;
  // Only the first session asked for STARTTLS, and the greeting of both
  // sessions came before anything was sent.
  const std::string log = Log();
  EXPECT_LT(log.find("-[IN (") , log.find("-[OUT(")) << log;
  const std::string command = "-[OUT(10)]STARTTLS\r\n";
  EXPECT_NE(log.find(command), std::string::npos) << log;
  EXPECT_EQ(log.find(command), log.rfind(command)) << log;
}

TEST_F(SmtpPostfix, PopBeforeSmtpLogsInOnTheDovecotPeerFirst) {
  DovecotPeer& pop = DovecotPeer::Shared();
  ASSERT_TRUE(pop.Ready()) << pop.Error();
  seams::MapHost("pop.example.com", 110, pop.PlainPort());
  // Dovecot offers STLS on 110: the login goes inside TLS (port 25 to
  // postfix stays plain here, so only the POP server's CA is needed).
  seams::SetTrustedCaFile(pop.CaFile());
  account_.smtpAuthMode = 1;
  account_.popServerName = L"pop.example.com";
  account_.popUserName = Wide(pop.NewMailbox());
  account_.popPassword = Wide(pop.Password());
  const std::string mail = SendOne();
  EXPECT_NE(mail.find("hello"), std::string::npos);
  const std::string log = Log();
  EXPECT_NE(log.find("+OK Logged in."), std::string::npos) << log;
  EXPECT_EQ(log.find(pop.Password()), std::string::npos);
  // C: CAPA   S: +OK / ... / STLS / .   C: STLS   (handshake)   C: CAPA   C: USER ...
  const size_t stls = log.find("-[OUT(06)]STLS\r\n");
  ASSERT_NE(stls, std::string::npos) << log;
  EXPECT_LT(log.find("-[OUT(06)]CAPA\r\n"), stls) << log;
  EXPECT_LT(stls, log.find("USER ")) << log;
  EXPECT_NE(log.find("[TLS] PopClient STLS handshake (ret:[0])"), std::string::npos) << log;

  NewClient();
  account_.popPassword = L"not-the-password-42";
  Send();
  EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_AUTH)}));
}

}  // namespace
}  // namespace qv::test
