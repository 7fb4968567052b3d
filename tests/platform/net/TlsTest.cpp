// The secure-socket option against real TLS peers: openssl s_server, and the
// scripted server switching to TLS (implicit, or after a plain exchange).
#include <atomic>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/net/Certificate.h"
#include "tests/platform/net/NetTestSupport.h"
#include "tests/support/TestCerts.h"
#include "tests/support/TestServer.h"

namespace qv::test {
namespace {

// What the hook saw, and what it answers.
struct HookLog {
  std::mutex lock;
  int calls = 0;
  DWORD type = 0, chainLength = 0, flags = 0;
  void* argument = nullptr;
  std::vector<uint8_t> der;
  std::wstring subject;
  DWORD answer = SSL_ERR_OKAY;
};

HookLog* g_hook = nullptr;

DWORD RecordingHook(DWORD type, LPVOID argument, DWORD chainLength, LPVOID chain, DWORD flags) {
  std::lock_guard<std::mutex> g(g_hook->lock);
  ++g_hook->calls;
  g_hook->type = type;
  g_hook->argument = argument;
  g_hook->chainLength = chainLength;
  g_hook->flags = flags;
  const auto* blob = static_cast<const BLOB*>(chain);
  g_hook->der.assign(blob->pBlobData, blob->pBlobData + blob->cbSize);
  // The record is what the certificate decoder takes.
  PX509Certificate cert = nullptr;
  if (SslCrackCertificate(blob->pBlobData, blob->cbSize, 0, &cert)) {
    g_hook->subject = cert->pszSubject;
    SslFreeCertificate(cert);
  }
  return g_hook->answer;
}

class Tls : public NetTest {
 protected:
  void SetUp() override {
    NetTest::SetUp();
    g_hook = &hook_;
  }
  void TearDown() override {
    g_hook = nullptr;
    NetTest::TearDown();
  }

  static TestCert MailCert(const TestCert* ca = nullptr) {
    CertRequest request("CN=mail.example.com, O=Example, C=JP");
    request.dnsNames = {"mail.example.com"};
    return MakeCertificate(request, ca);
  }

  std::string WriteCa(const TestCert& ca) {
    const std::string path = root_ + "/ca.pem";
    std::ofstream(path) << ca.certPem;
    return path;
  }

  HookLog hook_;
  char host_[32] = "mail.example.com";
};

TEST_F(Tls, ImplicitTlsWithARealPeerHandsTheHookTheLeafAndIssuerUnknown) {
  const TestCert cert = MailCert();
  OpensslPeer peer(cert);
  ASSERT_TRUE(peer.Ready()) << peer.Error();
  seams::MapHost("mail.example.com", 995, peer.Port());

  SOCKET s = NewSocket();
  MakeSecure(s, RecordingHook, host_);
  ASSERT_EQ(Connect(s, "mail.example.com", 995), 0);
  EXPECT_EQ(hook_.calls, 1);
  EXPECT_EQ(hook_.type, static_cast<DWORD>(SSL_CERT_X509));
  EXPECT_EQ(hook_.argument, host_);
  EXPECT_EQ(hook_.chainLength, 1u);
  EXPECT_EQ(hook_.der, cert.der);
  EXPECT_EQ(hook_.flags & SSL_CERT_FLAG_ISSUER_UNKNOWN, static_cast<DWORD>(SSL_CERT_FLAG_ISSUER_UNKNOWN));
  EXPECT_EQ(hook_.subject, L"CN=mail.example.com, O=Example, C=JP");

  ASSERT_TRUE(SendText(s, "hello\n"));
  EXPECT_EQ(RecvLine(s), "olleh\n");
}

TEST_F(Tls, TrustedCaClearsTheIssuerUnknownFlagAndSniCarriesTheName) {
  const TestCert ca = MakeCa();
  const TestCert cert = MailCert(&ca);
  seams::SetTrustedCaFile(WriteCa(ca));
  TestServer server;
  server.StartTls(cert).ExpectLine("NOOP").Send("+OK\r\n").Close();
  server.Start();
  seams::MapHost("mail.example.com", 995, server.Port());

  SOCKET s = NewSocket();
  MakeSecure(s, RecordingHook, host_);
  ASSERT_EQ(Connect(s, "mail.example.com", 995), 0);
  EXPECT_EQ(hook_.calls, 1);
  EXPECT_EQ(hook_.flags & SSL_CERT_FLAG_ISSUER_UNKNOWN, 0u);
  ASSERT_TRUE(SendText(s, "NOOP\r\n"));
  EXPECT_EQ(RecvLine(s), "+OK\r\n");
  EXPECT_TRUE(server.Finish()) << server.Error();
  EXPECT_EQ(server.ServerName(), "mail.example.com");
}

TEST_F(Tls, ExpiredLeafIsLeftToTheHookButAnotherCaIsNot) {
  const TestCert ca = MakeCa();
  CertRequest request("CN=mail.example.com");
  request.dnsNames = {"mail.example.com"};
  request.notAfterSeconds = -60;
  const TestCert expired = MakeCertificate(request, &ca);
  seams::SetTrustedCaFile(WriteCa(ca));
  {
    TestServer server;
    server.StartTls(expired).Close();
    server.Start();
    seams::MapHost("mail.example.com", 995, server.Port());
    SOCKET s = NewSocket();
    MakeSecure(s, RecordingHook, host_);
    ASSERT_EQ(Connect(s, "mail.example.com", 995), 0);
    EXPECT_EQ(hook_.flags & SSL_CERT_FLAG_ISSUER_UNKNOWN, 0u);  // the chain itself is sound
  }
  // Signed by a CA nobody trusts: the issuer is unknown.
  const TestCert stranger = MakeCa("CN=Stranger CA");
  const TestCert other = MailCert(&stranger);
  TestServer server;
  server.StartTls(other).Close();
  server.Start();
  seams::MapHost("mail.example.com", 995, server.Port());
  SOCKET s = NewSocket();
  MakeSecure(s, RecordingHook, host_);
  ASSERT_EQ(Connect(s, "mail.example.com", 995), 0);
  EXPECT_EQ(hook_.flags & SSL_CERT_FLAG_ISSUER_UNKNOWN, static_cast<DWORD>(SSL_CERT_FLAG_ISSUER_UNKNOWN));
}

TEST_F(Tls, HookRefusalAbortsTheHandshakeAndTheSocketStaysUnusable) {
  TestServer server;
  server.StartTls(MailCert()).ExpectLine("PASS secret");
  server.Start();
  seams::MapHost("mail.example.com", 995, server.Port());
  hook_.answer = 10;

  SOCKET s = NewSocket();
  MakeSecure(s, RecordingHook, host_);
  EXPECT_EQ(Connect(s, "mail.example.com", 995), WSAECONNABORTED);
  EXPECT_EQ(hook_.calls, 1);
  EXPECT_EQ(send(s, "PASS secret\r\n", 13, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAECONNABORTED);
  char c;
  EXPECT_EQ(recv(s, &c, 1, 0), SOCKET_ERROR);
  EXPECT_FALSE(server.Finish());
  EXPECT_EQ(server.Error(), "TLS handshake failed");
  EXPECT_EQ(server.Handshakes(), 0);
}

TEST_F(Tls, WithoutAHookOnlyAVerifiedChainNamingTheHostPasses) {
  const TestCert ca = MakeCa();
  {
    TestServer server;  // self-signed
    server.StartTls(MailCert()).Close();
    server.Start();
    seams::MapHost("mail.example.com", 995, server.Port());
    SOCKET s = NewSocket();
    MakeSecure(s, nullptr, nullptr);
    EXPECT_EQ(Connect(s, "mail.example.com", 995), WSAECONNABORTED);
  }
  seams::SetTrustedCaFile(WriteCa(ca));
  {
    TestServer server;
    server.StartTls(MailCert(&ca)).ExpectLine("NOOP").Close();
    server.Start();
    seams::MapHost("mail.example.com", 995, server.Port());
    SOCKET s = NewSocket();
    MakeSecure(s, nullptr, nullptr);
    ASSERT_EQ(Connect(s, "mail.example.com", 995), 0);
    EXPECT_TRUE(SendText(s, "NOOP\r\n"));
    EXPECT_TRUE(server.Finish()) << server.Error();
  }
  {
    TestServer server;  // trusted, but for another name
    server.StartTls(MailCert(&ca)).Close();
    server.Start();
    seams::MapHost("pop.example.org", 995, server.Port());
    SOCKET s = NewSocket();
    MakeSecure(s, nullptr, nullptr);
    EXPECT_EQ(Connect(s, "pop.example.org", 995), WSAECONNABORTED);
  }
}

// Sessions share what they load of the trust store, never past a change of
// it: a CA file rewritten in place (same name, likely the same length and
// time) is what the next session trusts, and only that.
TEST_F(Tls, ACaFileRewrittenInPlaceIsWhatTheNextSessionTrusts) {
  const TestCert first = MakeCa("CN=First CA");
  const TestCert second = MakeCa("CN=Other CA");
  seams::SetTrustedCaFile(WriteCa(first));
  const auto verified = [&](const TestCert& issuer) {
    TestServer server;
    server.StartTls(MailCert(&issuer)).Close();
    server.Start();
    seams::MapHost("mail.example.com", 995, server.Port());
    SOCKET s = NewSocket();
    MakeSecure(s, nullptr, nullptr);
    return Connect(s, "mail.example.com", 995) == 0;
  };
  const struct {
    const TestCert* trusted;  // the CA file's content by then
    const TestCert* issuer;   // the server certificate's
    bool passes;
  } steps[] = {{&first, &first, true}, {&first, &first, true}, {&first, &second, false},
               {&second, &second, true}, {&second, &first, false}, {&first, &first, true}};
  int step = 0;
  for (const auto& s : steps) {
    SCOPED_TRACE(step++);
    WriteCa(*s.trusted);
    EXPECT_EQ(verified(*s.issuer), s.passes);
  }
}

TEST_F(Tls, DeferredHandshakeAfterAPlainExchange) {
  // Wire:  S: 220 ready   C: STARTTLS   S: 220 go ahead   <TLS>   C: EHLO QvMail   S: 250 ok
  TestServer server;
  server.Send("220 ready\r\n").ExpectLine("STARTTLS").Send("220 go ahead\r\n");
  server.StartTls(MailCert()).ExpectLine("EHLO QvMail").Send("250 ok\r\n").Close();
  server.Start();
  seams::MapHost("smtp.example.com", 587, server.Port());

  SOCKET s = NewSocket();
  MakeSecure(s, RecordingHook, host_, true);
  ASSERT_EQ(Connect(s, "smtp.example.com", 587), 0);
  EXPECT_EQ(hook_.calls, 0);  // nothing secure yet
  EXPECT_EQ(RecvLine(s), "220 ready\r\n");
  ASSERT_TRUE(SendText(s, "STARTTLS\r\n"));
  EXPECT_EQ(RecvLine(s), "220 go ahead\r\n");
  const char name[] = "mail.example.com";
  DWORD n = 0;
  ASSERT_EQ(WSAIoctl(s, SO_SSL_PERFORM_HANDSHAKE, const_cast<char*>(name), sizeof name, nullptr, 0, &n, nullptr,
                     nullptr),
            0)
      << WSAGetLastError();
  EXPECT_EQ(hook_.calls, 1);
  EXPECT_EQ(hook_.argument, host_);
  ASSERT_TRUE(SendText(s, "EHLO QvMail\r\n"));
  EXPECT_EQ(RecvLine(s), "250 ok\r\n");
  EXPECT_TRUE(server.Finish()) << server.Error();
  EXPECT_EQ(server.ServerName(), "mail.example.com");
  EXPECT_EQ(server.Handshakes(), 1);
}

TEST_F(Tls, PlainTextInjectedBeforeTheDeferredHandshakeIsRefused) {
  // Wire:  S: 220 go ahead   S: 250 injected   (before our hello)
  TestServer server;
  server.Send("220 go ahead\r\n").Pause(100).Send("250 injected\r\n").StartTls(MailCert());
  server.Start();
  seams::MapHost("smtp.example.com", 587, server.Port());
  SOCKET s = NewSocket();
  MakeSecure(s, RecordingHook, host_, true);
  ASSERT_EQ(Connect(s, "smtp.example.com", 587), 0);
  EXPECT_EQ(RecvLine(s), "220 go ahead\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  DWORD n = 0;
  EXPECT_EQ(WSAIoctl(s, SO_SSL_PERFORM_HANDSHAKE, host_, sizeof host_, nullptr, 0, &n, nullptr, nullptr),
            SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAECONNABORTED);
  EXPECT_EQ(hook_.calls, 0);
  // Nothing may go on in plain text.
  EXPECT_EQ(send(s, "AUTH LOGIN\r\n", 12, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAECONNABORTED);
}

TEST_F(Tls, HandshakeOnAPlainSocketFailsAndBlocksPlainText) {
  TestServer server;
  server.Send("220 go ahead\r\n").Stall();
  server.Start();
  SOCKET s = NewSocket();
  ASSERT_EQ(Connect(s, "127.0.0.1", server.Port()), 0);
  EXPECT_EQ(RecvLine(s), "220 go ahead\r\n");
  DWORD n = 0;
  EXPECT_EQ(WSAIoctl(s, SO_SSL_PERFORM_HANDSHAKE, host_, sizeof host_, nullptr, 0, &n, nullptr, nullptr),
            SOCKET_ERROR);
  EXPECT_EQ(send(s, "x\r\n", 3, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAECONNABORTED);
  // Options of the secure socket belong before connect.
  DWORD on = SO_SEC_SSL;
  EXPECT_EQ(setsockopt(s, SOL_SOCKET, SO_SECURE, reinterpret_cast<char*>(&on), sizeof on), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEISCONN);
}

TEST_F(Tls, StalledHandshakeEndsAtItsDeadlineOrAtOnceOnClose) {
  TestServer server;
  server.Stall();  // takes the connection, never answers the hello
  server.Start(2);
  seams::MapHost("mail.example.com", 995, server.Port());
  SOCKET s = NewSocket();
  MakeSecure(s, RecordingHook, host_);
  DWORD ms = 300;
  ASSERT_EQ(setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&ms), sizeof ms), 0);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(Connect(s, "mail.example.com", 995), WSAETIMEDOUT);
  EXPECT_GE(ElapsedMs(t0), 290);
  EXPECT_LT(ElapsedMs(t0), 10000);  // far below the 60 s handshake deadline

  SOCKET c = NewSocket();
  MakeSecure(c, RecordingHook, host_);
  std::atomic<int> error{0};
  std::thread connector([&] { error = Connect(c, "mail.example.com", 995); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  t0 = std::chrono::steady_clock::now();
  closesocket(c);
  connector.join();
  // "At once" against a 60 s deadline; generous, as a loaded machine is slow.
  EXPECT_LT(ElapsedMs(t0), 5000);
  EXPECT_EQ(error, WSAEINTR);
  EXPECT_EQ(hook_.calls, 0);
}

TEST_F(Tls, PeerDroppingMidLineAfterTheHandshake) {
  TestServer server;
  server.StartTls(MailCert()).Send("+OK partial li").Pause(200).Drop();
  server.Start();
  seams::MapHost("mail.example.com", 995, server.Port());
  SOCKET s = NewSocket();
  MakeSecure(s, RecordingHook, host_);
  ASSERT_EQ(Connect(s, "mail.example.com", 995), 0);
  fd_set r;
  FD_ZERO(&r);
  FD_SET(s, &r);
  timeval tv{2, 0};
  ASSERT_EQ(select(0, &r, nullptr, nullptr, &tv), 1);
  char buf[64];
  const int n = recv(s, buf, sizeof buf, 0);
  ASSERT_GT(n, 0);
  EXPECT_EQ(std::string(buf, n), "+OK partial li");
  const int end = recv(s, buf, sizeof buf, 0);
  EXPECT_TRUE(end == 0 || (end == SOCKET_ERROR && WSAGetLastError() == WSAECONNRESET)) << end;
}

}  // namespace
}  // namespace qv::test
