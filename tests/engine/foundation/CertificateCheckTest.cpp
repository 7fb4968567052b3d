// The server-certificate hook with certificates made on the spot: host and
// validity are checked before the user is ever asked, and a remembered answer
// holds for one host and one certificate only.
#include <string>
#include <vector>

#include "FoundationFixture.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/public/foundation/QvPlatformHooks.h"
#include "tests/support/TestCerts.h"

namespace {

constexpr DWORD kIssuerUnknown = 1;

struct Blob {
  ULONG cbSize;
  BYTE* pBlobData;
};

class CertificateCheckTest : public FoundationTest {
 protected:
  void SetUp() override {
    FoundationTest::SetUp();
    current_ = this;
    SetCertificateQuestion([](const wchar_t* host) {
      current_->questions_.push_back(host);
      return current_->answer_;
    });
  }
  void TearDown() override {
    SetCertificateQuestion(nullptr);
    current_ = nullptr;
    FoundationTest::TearDown();
  }
  static qv::test::TestCert Make(const std::string& subject, std::vector<std::string> dns = {}, long notAfter = 3600,
                                 long notBefore = -3600) {
    qv::test::CertRequest request(subject);
    request.dnsNames = std::move(dns);
    request.notAfterSeconds = notAfter;
    request.notBeforeSeconds = notBefore;
    return qv::test::MakeCertificate(request);
  }
  static DWORD Check(const qv::test::TestCert& cert, const char* host, DWORD flags = 0, DWORD type = 1) {
    std::vector<uint8_t> der = cert.der;
    Blob blob = {static_cast<ULONG>(der.size()), der.data()};
    return certificateValidationCallback(type, const_cast<char*>(host), 1, &blob, flags);
  }

  static inline CertificateCheckTest* current_ = nullptr;
  bool answer_ = false;
  std::vector<std::wstring> questions_;
};

TEST_F(CertificateCheckTest, CommonNameInOtherCaseFollowedByMoreFields) {
  const auto cert = Make("CN=Mail.Example.COM, O=Org, OU=Mail, C=JP");
  EXPECT_EQ(Check(cert, "mail.example.com"), 0u);
  EXPECT_EQ(Check(cert, "MAIL.example.com"), 0u);
  EXPECT_TRUE(questions_.empty());
}

TEST_F(CertificateCheckTest, WrongNameIsRefusedWithoutAsking) {
  const std::string debug = CaptureDebug();
  answer_ = true;
  const auto cert = Make("CN=mail.example.com, O=Org");
  EXPECT_EQ(Check(cert, "mail.example.co"), 10u);
  EXPECT_EQ(Check(cert, "pop.example.com", kIssuerUnknown), 10u);
  // Not a substring search: a name that merely contains the host, or a field
  // that looks like "cn=" elsewhere in the subject, does not match.
  EXPECT_EQ(Check(Make("CN=xmail.example.com"), "mail.example.com"), 10u);
  EXPECT_EQ(Check(Make("O=cn=mail.example.com, CN=other"), "mail.example.com"), 10u);
  EXPECT_EQ(Check(Make("O=Org"), "mail.example.com"), 10u) << "no name at all";
  EXPECT_EQ(Check(cert, nullptr), 10u);
  EXPECT_TRUE(questions_.empty());
  const std::string lines = ReadHostFile(debug);
  EXPECT_NE(lines.find("[SSL] certificateValidationCallback()\r\n"), std::string::npos);
  EXPECT_NE(lines.find("[SSL] certificateValidationCallback() host not match ERRROR\r\n"), std::string::npos);
}

TEST_F(CertificateCheckTest, OutsideTheValidityPeriodIsRefusedWithoutAsking) {
  answer_ = true;
  EXPECT_EQ(Check(Make("CN=mail.example.com", {}, -60), "mail.example.com"), 10u);
  EXPECT_EQ(Check(Make("CN=mail.example.com", {}, 7200, 3600), "mail.example.com", kIssuerUnknown), 10u);
  EXPECT_TRUE(questions_.empty());
}

TEST_F(CertificateCheckTest, SubjectAltNameCounts) {
  const auto cert = Make("O=Org, C=JP", {"mail.example.com", "*.pop.example.com"});
  EXPECT_EQ(Check(cert, "mail.example.com"), 0u);
  EXPECT_EQ(Check(cert, "a.pop.example.com"), 0u);
  EXPECT_EQ(Check(cert, "a.b.pop.example.com"), 10u);
  // With names in the extension, the common name no longer counts.
  EXPECT_EQ(Check(Make("CN=cn.example.com", {"san.example.com"}), "cn.example.com"), 10u);
}

TEST_F(CertificateCheckTest, UnknownIssuerIsAskedAndTheAnswerRemembered) {
  const std::string debug = CaptureDebug();
  const auto cert = Make("CN=mail.example.com", {"mail.example.com", "mx.example.com"});
  // The user says No.
  EXPECT_EQ(Check(cert, "mail.example.com", kIssuerUnknown), 10u);
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_EQ(questions_[0], L"mail.example.com");
  EXPECT_NE(ReadHostFile(debug).find("[SSL]  dwFlags error [1]\r\n"), std::string::npos);

  answer_ = true;
  EXPECT_EQ(Check(cert, "mail.example.com", kIssuerUnknown), 0u);
  EXPECT_EQ(questions_.size(), 2u);
  answer_ = false;
  EXPECT_EQ(Check(cert, "MAIL.EXAMPLE.COM", kIssuerUnknown), 0u) << "remembered for that host";
  EXPECT_EQ(questions_.size(), 2u);

  // Another host with the same first letter, served the same certificate.
  EXPECT_EQ(Check(cert, "mx.example.com", kIssuerUnknown), 10u);
  EXPECT_EQ(questions_.size(), 3u);
  // A value named by the first letter alone, as older versions kept it, means nothing.
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"m", 1));
  EXPECT_EQ(Check(cert, "mx.example.com", kIssuerUnknown), 10u);
  EXPECT_EQ(questions_.size(), 4u);
  // Another certificate for the remembered host is asked about afresh.
  EXPECT_EQ(Check(Make("CN=mail.example.com"), "mail.example.com", kIssuerUnknown), 10u);
  EXPECT_EQ(questions_.size(), 5u);
}

TEST_F(CertificateCheckTest, WithNobodyToAnswerTheQuestionIsNo) {
  SetCertificateQuestion(nullptr);  // no program: nobody to ask
  const int asked = qv::seams::QuestionCount();
  const auto cert = Make("CN=mail.example.com");
  EXPECT_EQ(Check(cert, "mail.example.com", kIssuerUnknown), 10u);
  EXPECT_EQ(Check(cert, "mail.example.com", kIssuerUnknown), 10u) << "a No is not remembered";
  EXPECT_EQ(qv::seams::QuestionCount(), asked) << "the engine shows no box";
  EXPECT_TRUE(questions_.empty());
}

TEST_F(CertificateCheckTest, MalformedCalls) {
  const auto cert = Make("CN=mail.example.com");
  EXPECT_EQ(Check(cert, "mail.example.com", 0, 2), 10u);
  EXPECT_EQ(certificateValidationCallback(1, const_cast<char*>("mail.example.com"), 0, nullptr, 0), 10u);
  std::vector<uint8_t> junk = {0x30, 0x03, 0x02, 0x01, 0x00};
  Blob blob = {static_cast<ULONG>(junk.size()), junk.data()};
  EXPECT_EQ(certificateValidationCallback(1, const_cast<char*>("mail.example.com"), 1, &blob, kIssuerUnknown), 5u);
  EXPECT_TRUE(questions_.empty());
}

}  // namespace
