// The engine's certificate hook installed on a secure socket, over real TLS
// handshakes: what the socket hands it (the DER leaf, the host name, the
// issuer-unknown flag) leads to the right answer, and a refusal ends the
// connection before anything is sent.
#include <fstream>
#include <string>

#include "engine/public/foundation/QvPlatformHooks.h"
#include "tests/engine/CertificateQuestion.h"
#include "platform/ui/MessageBox.h"
#include "tests/platform/net/NetTestSupport.h"
#include "tests/support/TestCerts.h"
#include "tests/support/TestServer.h"

namespace qv::test {
namespace {

class SecureSocketHook : public NetTest {
 protected:

  static TestCert Cert(const std::string& name, const TestCert* ca = nullptr) {
    CertRequest request("CN=" + name + ", O=Example");
    request.dnsNames = {name};
    return MakeCertificate(request, ca);
  }

  // One implicit-TLS session on port 995 with the engine's hook: the WSA
  // error of connect, and whether the server then received "NOOP".
  int Session(const TestCert& cert, const char* host) {
    TestServer server;
    server.StartTls(cert).ExpectLine("NOOP").Send("+OK\r\n").Close();
    server.Start();
    seams::MapHost(host, 995, server.Port());
    SOCKET s = NewSocket();
    MakeSecure(s, certificateValidationCallback, const_cast<char*>(host));
    const int error = Connect(s, host, 995);
    if (error == 0) {
      EXPECT_TRUE(SendText(s, "NOOP\r\n"));
      EXPECT_EQ(RecvLine(s), "+OK\r\n");
      EXPECT_TRUE(server.Finish()) << server.Error();
    } else {
      EXPECT_EQ(send(s, "NOOP\r\n", 6, 0), SOCKET_ERROR);
      EXPECT_FALSE(server.Finish());
      EXPECT_TRUE(server.Lines().empty());
    }
    return error;
  }

  CertificateAnswers answers_;
};

TEST_F(SecureSocketHook, TrustedChainNamingTheHostPassesWithoutAQuestion) {
  const TestCert ca = MakeCa();
  const std::string caPath = root_ + "/ca.pem";
  std::ofstream(caPath) << ca.certPem;
  seams::SetTrustedCaFile(caPath);
  EXPECT_EQ(Session(Cert("pop.example.com", &ca), "pop.example.com"), 0);
  EXPECT_EQ(answers_.Asked(), 0);
}

TEST_F(SecureSocketHook, UnknownIssuerAsksTheUserAndRemembersAYes) {
  const TestCert self = Cert("pop.example.com");
  EXPECT_EQ(Session(self, "pop.example.com"), WSAECONNABORTED);
  EXPECT_EQ(answers_.Asked(), 1);
  answers_.Answer(true);
  EXPECT_EQ(Session(self, "pop.example.com"), 0);
  EXPECT_EQ(answers_.Asked(), 2);
  answers_.Answer(false);
  EXPECT_EQ(Session(self, "pop.example.com"), 0);  // remembered for this certificate
  EXPECT_EQ(answers_.Asked(), 2);
}

TEST_F(SecureSocketHook, CertificateForAnotherHostIsRefusedWithoutAsking) {
  answers_.Answer(true);
  EXPECT_EQ(Session(Cert("evil.example.net"), "pop.example.com"), WSAECONNABORTED);
  EXPECT_EQ(answers_.Asked(), 0);
}

}  // namespace
}  // namespace qv::test
