// The POP3 and SMTP clients against hostile peers, as one table per protocol:
// each row a scripted server (its wire transcript beside it), the code the
// session ends with, and what stays on the server (the commands it saw: which
// messages were fetched, which deleted). Trickling peers run against short
// reply deadlines set here (the seam), so a row ends in a few seconds where
// the production deadlines would take longer; the bounds are generous.
// Apart from the tables: a cancel of a trickling message, and a listing of a
// million messages with its memory measured.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/transport/Md5.h"
#include "tests/engine/transport/pop3/PopTestSupport.h"
#include "tests/engine/transport/smtp/SmtpTestSupport.h"
#include "tests/support/TestCerts.h"
#include "tests/support/TestServer.h"

namespace qv::test {
namespace {

using Clock = std::chrono::steady_clock;

// Reply deadlines of the rows: an answer line 1.5 s from its first byte, a
// transfer that plus its size at 1000 bytes a second.
constexpr DWORD kLineDeadline = 1500;
constexpr DWORD kFloorRate = 1000;
// What a row may take at most (a trickling peer of a row would keep going
// for a minute).
constexpr auto kRowBound = std::chrono::seconds(30);

// One byte every 300 ms, `count` times.
TestServer& Trickle(TestServer& server, char byte, int count) {
  for (int i = 0; i < count; ++i) server.Send(std::string(1, byte)).Pause(300);
  return server;
}

// S: +OK ready   C: CAPA   S: -ERR   C: USER user / PASS pw / CAPA   S: -ERR
TestServer& Login(TestServer& server) {
  return server.Send("+OK ready\r\n")
      .ExpectLine("CAPA")
      .Send("-ERR\r\n")
      .ExpectLine("USER user")
      .Send("+OK\r\n")
      .ExpectLine("PASS pw")
      .Send("+OK\r\n")
      .ExpectLine("CAPA")
      .Send("-ERR\r\n");
}

// C: LIST n   S: +OK n 30   C: RETR n   S: +OK / Subject: uid / body / .   C: DELE n   S: +OK
TestServer& Fetch(TestServer& server, int n, const std::string& uid) {
  const std::string number = std::to_string(n);
  return server.ExpectLine("LIST " + number)
      .Send("+OK " + number + " 30\r\n")
      .ExpectLine("RETR " + number)
      .Send("+OK\r\nSubject: " + uid + "\r\n\r\nbody\r\n.\r\n")
      .ExpectLine("DELE " + number)
      .Send("+OK\r\n");
}

// The lines a whole login sends, then the ones a row adds.
std::vector<std::string> LoginLines(std::vector<std::string> more) {
  std::vector<std::string> lines = {"CAPA", "USER user", "PASS pw", "CAPA"};
  lines.insert(lines.end(), more.begin(), more.end());
  return lines;
}

struct PopRow {
  const char* name;
  std::function<void(TestServer&)> script;  // the whole script, from the greeting
  long error;                               // the end code, 0 for none
  std::vector<std::string> fetched;         // UIDs handed over, in order
  std::vector<std::string> lines;           // what the server read: fetches, deletes
  const char* logged = nullptr;             // a note the protocol log must hold
};

class HostilePop : public PopTest {
 protected:
  void SetUp() override {
    PopTest::SetUp();
    if (HasFatalFailure()) return;
    account_.deleteOnServer = 1;
    seams::SetReplyDeadline(kLineDeadline, kFloorRate);
  }

  // One session against `server` on port 110; the recorder keeps what it saw.
  void Run(TestServer& server, PopClient& client) {
    server.Start();
    seams::MapHost("pop.example.com", 110, server.Port());
    client.setAccount(&account_, connection_);
    client.setPopMode(0);
    client.newConnection();
  }

  static std::vector<std::string> Uids(const PopRecorder& recorder) {
    std::vector<std::string> out;
    for (const FetchedMail& mail : recorder.mails) out.push_back(mail.uid);
    return out;
  }

  static std::vector<std::string> Latest(PopClient& client) {
    std::list<std::wstring> wide;
    client.getUidlList(wide);
    std::vector<std::string> out;
    for (const std::wstring& uid : wide) out.emplace_back(uid.begin(), uid.end());
    return out;
  }

  // A CA in a file the socket layer trusts, and a certificate it signed for
  // the POP server's name.
  TestCert TrustedServerCert() {
    const TestCert ca = MakeCa();
    WriteHost("ca.pem", ca.certPem);
    seams::SetTrustedCaFile(Host("ca.pem"));
    CertRequest request("CN=pop.example.com");
    request.dnsNames = {"pop.example.com"};
    return MakeCertificate(request, &ca);
  }
};

// A listing of three messages whose second line is `bad`: messages 1 and 3
// are fetched and deleted, message 2 stays on the server.
//   C: UIDL   S: +OK / 1 good1 / (bad) / 3 good3 / .   C: STAT   S: +OK 3 90
//   (LIST, RETR, DELE of 1 and 3)   C: QUIT   S: +OK
PopRow BadLine(const char* name, const std::string& bad) {
  return {name,
          [bad](TestServer& s) {
            Login(s).ExpectLine("UIDL").Send("+OK\r\n1 good1\r\n" + bad + "\r\n3 good3\r\n.\r\n");
            Fetch(Fetch(s.ExpectLine("STAT").Send("+OK 3 90\r\n"), 1, "good1"), 3, "good3");
            s.ExpectLine("QUIT").Send("+OK\r\n").Close();
          },
          0,
          {"good1", "good3"},
          LoginLines({"UIDL", "STAT", "LIST 1", "RETR 1", "DELE 1", "LIST 3", "RETR 3", "DELE 3", "QUIT"}),
          "UIDL line 2 is malformed"};
}

TEST_F(HostilePop, Table) {
  const TestCert trusted = TrustedServerCert();
  CertRequest selfRequest("CN=pop.example.com");
  selfRequest.dnsNames = {"pop.example.com"};
  const TestCert selfSigned = MakeCertificate(selfRequest);
  const std::vector<PopRow> rows = {
      // S: +OK r|e|a|d... one byte every 300 ms (no line end within the deadline)
      {"trickled answer line",
       [](TestServer& s) { Trickle(s.Send("+OK r"), 'e', 200); },
       QVMDL_ERR_POP_TIMEOUT,
       {},
       {}},
      // C: STAT   S: +OK 2 1|1|1... one byte every 300 ms
      {"trickled STAT answer",
       [](TestServer& s) {
         Login(s).ExpectLine("UIDL").Send("+OK\r\n1 a\r\n2 b\r\n.\r\n").ExpectLine("STAT");
         Trickle(s.Send("+OK 2 "), '1', 200);
       },
       QVMDL_ERR_POP_TIMEOUT,
       {},
       LoginLines({"UIDL", "STAT"})},
      // C: LIST 1  S: +OK 1 100   C: RETR 1   S: +OK / x|x|x... one byte every 300 ms
      // (its deadline: 100 bytes at the floor rate past the line's; no DELE 1)
      {"trickled message",
       [](TestServer& s) {
         Login(s).ExpectLine("UIDL").Send("+OK\r\n1 a\r\n2 b\r\n.\r\n").ExpectLine("STAT").Send("+OK 2 200\r\n");
         s.ExpectLine("LIST 1").Send("+OK 1 100\r\n").ExpectLine("RETR 1").Send("+OK\r\nSubject: slow\r\n\r\n");
         Trickle(s, 'x', 200);
       },
       QVMDL_ERR_POP_TIMEOUT,
       {},
       LoginLines({"UIDL", "STAT", "LIST 1", "RETR 1"})},
      // C: UIDL   S: +OK / 1 uuuu... (1500 bytes, no line end)   C: QUIT
      {"endless UIDL line",
       [](TestServer& s) {
         Login(s).ExpectLine("UIDL").Send("+OK\r\n1 " + std::string(1500, 'u')).ExpectLine("QUIT").Close();
       },
       QVMDL_ERR_POP_UNEXPECTED,
       {},
       LoginLines({"UIDL", "QUIT"})},
      BadLine("tab in a UID", "2 ab\tcd"),
      BadLine("8-bit bytes in a UID", "2 ab\xe3\x81\x82"),
      BadLine("UID over 70 bytes", "2 " + std::string(71, 'u')),
      BadLine("empty UID", "2 "),
      BadLine("control byte in a UID", "2 ab\x01" "cd"),
      BadLine("number that is no number", "x2 def"),
      // C: UIDL   S: +OK / 1 same / 2 same / 3 other / .   (2 repeats 1: stays)
      {"repeated UID",
       [](TestServer& s) {
         Login(s).ExpectLine("UIDL").Send("+OK\r\n1 same\r\n2 same\r\n3 other\r\n.\r\n");
         Fetch(Fetch(s.ExpectLine("STAT").Send("+OK 3 90\r\n"), 1, "same"), 3, "other");
         s.ExpectLine("QUIT").Send("+OK\r\n").Close();
       },
       0,
       {"same", "other"},
       LoginLines({"UIDL", "STAT", "LIST 1", "RETR 1", "DELE 1", "LIST 3", "RETR 3", "DELE 3", "QUIT"}),
       "UIDL line 2 repeats a UID or number"},
      // C: UIDL   S: +OK / 1 first / 1 again / 2 two / .   (message 1 once, as "first")
      {"repeated number",
       [](TestServer& s) {
         Login(s).ExpectLine("UIDL").Send("+OK\r\n1 first\r\n1 again\r\n2 two\r\n.\r\n");
         Fetch(Fetch(s.ExpectLine("STAT").Send("+OK 2 60\r\n"), 1, "first"), 2, "two");
         s.ExpectLine("QUIT").Send("+OK\r\n").Close();
       },
       0,
       {"first", "two"},
       LoginLines({"UIDL", "STAT", "LIST 1", "RETR 1", "DELE 1", "LIST 2", "RETR 2", "DELE 2", "QUIT"}),
       "UIDL line 2 repeats a UID or number"},
      // S: +OK ready   C: CAPA   S: +OK / stls / .   C: STLS   S: -ERR   C: QUIT
      {"STLS offered (lower case), then refused",
       [](TestServer& s) {
         s.Send("+OK ready\r\n").ExpectLine("CAPA").Send("+OK\r\nUIDL\r\nstls\r\n.\r\n");
         s.ExpectLine("STLS").Send("-ERR not now\r\n").ExpectLine("QUIT").Close();
       },
       QVMDL_ERR_POP_NO_NETWORK,
       {},
       {"CAPA", "STLS", "QUIT"}},
      // C: STLS   S: +OK   (the server closes: the handshake fails; nothing more goes out)
      {"STLS handshake cut",
       [](TestServer& s) {
         s.Send("+OK ready\r\n").ExpectLine("CAPA").Send("+OK\r\nSTLS\r\n.\r\n");
         s.ExpectLine("STLS").Send("+OK go\r\n").Close();
       },
       QVMDL_ERR_POP_NO_NETWORK,
       {},
       {"CAPA", "STLS"}},
      // C: STLS   S: +OK   (TLS with a certificate nobody vouches for; the user says no)
      {"STLS certificate refused",
       [&selfSigned](TestServer& s) {
         s.Send("+OK ready\r\n").ExpectLine("CAPA").Send("+OK\r\nSTLS\r\n.\r\n");
         s.ExpectLine("STLS").Send("+OK go\r\n").StartTls(selfSigned).Stall();
       },
       QVMDL_ERR_POP_NO_NETWORK,
       {},
       {"CAPA", "STLS"}},
      // C: CAPA  S: +OK / STLS / .   C: STLS  S: +OK   (TLS)   C: CAPA  S: +OK / UIDL / .
      // C: USER / PASS / CAPA / UIDL / STAT / LIST 1 / RETR 1 / DELE 1 / QUIT, inside TLS
      {"STLS offered and working",
       [&trusted](TestServer& s) {
         s.Send("+OK ready <1.2@pop>\r\n").ExpectLine("CAPA").Send("+OK\r\nTOP\r\nSTLS\r\n.\r\n");
         s.ExpectLine("STLS").Send("+OK go\r\n").StartTls(trusted).ExpectLine("CAPA").Send("+OK\r\nUIDL\r\n.\r\n");
         s.ExpectLine("USER user").Send("+OK\r\n").ExpectLine("PASS pw").Send("+OK\r\n");
         s.ExpectLine("CAPA").Send("-ERR\r\n").ExpectLine("UIDL").Send("+OK\r\n1 tls1\r\n.\r\n");
         Fetch(s.ExpectLine("STAT").Send("+OK 1 30\r\n"), 1, "tls1").ExpectLine("QUIT").Send("+OK\r\n").Close();
       },
       0,
       {"tls1"},
       {"CAPA", "STLS", "CAPA", "USER user", "PASS pw", "CAPA", "UIDL", "STAT", "LIST 1", "RETR 1", "DELE 1",
        "QUIT"}},
  };
  // The headless answer to the certificate question is "no".
  for (const PopRow& row : rows) {
    SCOPED_TRACE(row.name);
    WriteBytes(L"\\Application Data\\QuvoMail\\QvMailLog.txt", "");
    PopClient client;
    PopRecorder recorder(&client);
    ASSERT_TRUE(client.registerNotifyPop(&recorder));
    TestServer server;
    row.script(server);
    const auto start = Clock::now();
    Run(server, client);
    EXPECT_LT(Clock::now() - start, kRowBound);
    EXPECT_EQ(recorder.Error(), row.error) << Log();
    EXPECT_EQ(Uids(recorder), row.fetched);
    // A script that ends is let end (its last line may still be on its way);
    // a trickling one has read all it will by now.
    server.Finish(row.error == QVMDL_ERR_POP_TIMEOUT ? 0 : 5000);
    EXPECT_EQ(server.Lines(), row.lines);
    if (row.logged) {
      EXPECT_NE(Log().find(row.logged), std::string::npos) << Log();
    }
    // Nothing that was not fetched is in the latest list either.
    for (const std::string& uid : Latest(client)) {
      EXPECT_NE(std::find(row.fetched.begin(), row.fetched.end(), uid), row.fetched.end()) << uid;
    }
    // Every credential went inside TLS or to a server that offered none.
    if (row.error == QVMDL_ERR_POP_NO_NETWORK) {
      EXPECT_EQ(Log().find("USER"), std::string::npos) << Log();
    }
  }
}

TEST_F(HostilePop, CancelStopsATricklingMessageAtOnceAndLeavesItOnTheServer) {
  // C: RETR 1   S: +OK / x|x|x... (one byte every 300 ms; the deadline is the
  // production one here)   ... cancel from another thread ...   C: QUIT (unheard)
  seams::SetReplyDeadline(30000, 1024);
  seams::SetNetworkWait(50, 600);
  for (const bool fromObserver : {false, true}) {
    SCOPED_TRACE(fromObserver ? "cancel by the observer" : "cancel from another thread");
    PopClient client;
    PopRecorder recorder(&client);
    ASSERT_TRUE(client.registerNotifyPop(&recorder));
    std::mutex lock;
    std::condition_variable arriving;
    bool progress = false;
    Clock::time_point cancelled;
    recorder.answer = [&](int message, long, long) {
      if (message != PopClient::MSG_PopRecvSize) return true;
      if (fromObserver) {
        cancelled = Clock::now();
        client.cancel();
      } else {
        std::lock_guard<std::mutex> g(lock);
        progress = true;
        arriving.notify_all();
      }
      return true;
    };
    std::thread canceller([&] {
      if (fromObserver) return;
      std::unique_lock<std::mutex> g(lock);
      arriving.wait(g, [&] { return progress; });
      cancelled = Clock::now();
      client.cancel();
    });
    TestServer server;
    Login(server).ExpectLine("UIDL").Send("+OK\r\n1 a\r\n2 b\r\n.\r\n").ExpectLine("STAT").Send("+OK 2 200\r\n");
    server.ExpectLine("LIST 1").Send("+OK 1 100\r\n").ExpectLine("RETR 1").Send("+OK\r\nSubject: slow\r\n\r\n");
    Trickle(server, 'x', 200);
    Run(server, client);
    const auto ended = Clock::now();
    canceller.join();
    // One wait step (50 ms) after the cancel; the bound is generous.
    EXPECT_LT(ended - cancelled, std::chrono::seconds(10));
    EXPECT_TRUE(recorder.mails.empty());
    EXPECT_EQ(recorder.Error(), static_cast<long>(QVMDL_ERR_POP_CANCELLED));
    EXPECT_EQ(recorder.events.back().message, PopClient::MSG_PopCanceled);
    EXPECT_TRUE(Latest(client).empty());
    EXPECT_EQ(server.Lines(), LoginLines({"UIDL", "STAT", "LIST 1", "RETR 1"}));  // no DELE 1
  }
}

// Peak resident memory (kB) since the last reset.
long PeakKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}
long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

TEST_F(HostilePop, MillionMessageListingIsReadInBoundedMemory) {
  // C: UIDL   S: +OK / 1 m0000001 / ... / 1000000 m1000000 / .   (19 MB)
  // C: STAT   S: +OK 1000000 100000000   (the observer declines)   C: QUIT
  constexpr int kCount = 1000000;
  std::string listing = "+OK\r\n";
  listing.reserve(22u * kCount);
  char line[32];
  for (int n = 1; n <= kCount; ++n) {
    const int length = std::snprintf(line, sizeof line, "%d m%07d\r\n", n, n);
    listing.append(line, static_cast<size_t>(length));
  }
  listing += ".\r\n";
  TestServer server;
  Login(server).ExpectLine("UIDL").Send(std::move(listing)).ExpectLine("STAT").Send("+OK 1000000 100000000\r\n");
  server.ExpectLine("QUIT").Send("+OK\r\n").Close();
  server.SetReadTimeout(120);  // the client digests a million lines before "STAT"
  PopClient client;
  PopRecorder recorder(&client);
  ASSERT_TRUE(client.registerNotifyPop(&recorder));
  long boxSize = -1;
  recorder.answer = [&](int message, long w, long) {
    if (message != PopClient::MSG_PopMailBoxSize) return true;
    boxSize = w;
    return false;
  };
  // The peak is measured from here: the script's own 19 MB are in already.
  {
    std::ofstream reset("/proc/self/clear_refs");
    reset << "5";
  }
  const long before = ResidentKb();
  ASSERT_GT(before, 0);
  Run(server, client);
  const long growthKb = PeakKb() - before;
  EXPECT_TRUE(server.Finish(60000)) << server.Error();
  EXPECT_EQ(recorder.Error(), 0) << Log();
  EXPECT_EQ(boxSize, kCount);
  EXPECT_EQ(recorder.events.back().message, PopClient::MSG_PopAborted);
  // About 25 bytes a message; a string and a map node each took 200 MB.
  EXPECT_LT(growthKb, 64 * 1024) << "peak growth " << growthKb << " kB";
}

// --- SMTP ---------------------------------------------------------------------

struct SmtpRow {
  const char* name;
  WORD port;
  bool auth;  // the account logs in (AUTH by the EHLO list)
  std::function<void(TestServer&)> script;
  std::vector<SmtpEvent> events;
  std::vector<std::string> lines;
};

class HostileSmtp : public SmtpTest {
 protected:
  void SetUp() override {
    SmtpTest::SetUp();
    if (HasFatalFailure()) return;
    seams::SetReplyDeadline(kLineDeadline, kFloorRate);
  }

  // A CA in a file the socket layer trusts, and a certificate it signed for `host`.
  TestCert TrustedServerCert(const std::string& host) {
    const TestCert ca = MakeCa();
    WriteHost("ca.pem", ca.certPem);
    seams::SetTrustedCaFile(Host("ca.pem"));
    CertRequest request("CN=" + host);
    request.dnsNames = {host};
    return MakeCertificate(request, &ca);
  }

  // Send() on a thread of its own, waited for at most `bound`: a session
  // that hangs fails the test rather than holding it. The server's script
  // is ended (its destructor) before the join, so a hung session wakes.
  bool SendWithin(std::chrono::seconds bound, std::unique_ptr<TestServer>& server) {
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    std::thread session([&] {
      Send();
      std::lock_guard<std::mutex> g(lock);
      done = true;
      ended.notify_all();
    });
    bool inTime = false;
    {
      std::unique_lock<std::mutex> g(lock);
      inTime = ended.wait_for(g, bound, [&] { return done; });
    }
    if (!inTime) server.reset();
    session.join();
    return inTime;
  }
};

TEST_F(HostileSmtp, Table) {
  const std::vector<SmtpRow> rows = {
      // S: 220 r|e|a|d... one byte every 300 ms
      {"trickled greeting", 25, false, [](TestServer& s) { Trickle(s.Send("220 r"), 'e', 200); },
       {Failed(QVMDL_ERR_SMTP_TIMEOUT)}, {}},
      // C: EHLO QvMail   S: 250-mail / 250-A|A|A... one byte every 300 ms
      {"trickled EHLO answer", 25, true,
       [](TestServer& s) { Trickle(s.Send("220 ready\r\n").ExpectLine("EHLO QvMail").Send("250-mail\r\n250-"), 'A', 200); },
       {Failed(QVMDL_ERR_SMTP_TIMEOUT)}, {"EHLO QvMail"}},
      // C: EHLO QvMail   S: 250-mail / 250-starttls / 250 AUTH LOGIN   C: STARTTLS   S: 454
      // (never AUTH in clear to a server that offered TLS, whatever its case)
      {"lower-case starttls", 25, true,
       [](TestServer& s) {
         s.Send("220 ready\r\n").ExpectLine("EHLO QvMail").Send("250-mail\r\n250-starttls\r\n250 AUTH LOGIN\r\n");
         s.ExpectLine("STARTTLS").Send("454 not now\r\n").ExpectLine("QUIT").Close();
       },
       {Failed(QVMDL_ERR_SMTP_AUTH)}, {"EHLO QvMail", "STARTTLS", "QUIT"}},
      // S: 250-mail / 250 auth login   C: AUTH LOGIN   S: 535   C: *   S: 535   C: QUIT
      {"lower-case auth", 25, true,
       [](TestServer& s) {
         s.Send("220 ready\r\n").ExpectLine("EHLO QvMail").Send("250-mail\r\n250 auth login\r\n");
         s.ExpectLine("AUTH LOGIN").Send("535 no\r\n").ExpectLine("*").Send("535 no\r\n").ExpectLine("QUIT").Close();
       },
       {Failed(QVMDL_ERR_SMTP_AUTH)}, {"EHLO QvMail", "AUTH LOGIN", "*", "QUIT"}},
      // S: 250-mail / 250-XAUTHLOGIN / 250 AUTH=PLAIN   C: QUIT
      // (the old form; a keyword holding "LOGIN" is no LOGIN mechanism)
      {"AUTH= form and a word holding LOGIN", 25, true,
       [](TestServer& s) {
         s.Send("220 ready\r\n").ExpectLine("EHLO QvMail").Send("250-mail\r\n250-XAUTHLOGIN\r\n250 AUTH=PLAIN\r\n");
         s.ExpectLine("QUIT").Close();
       },
       {Failed(QVMDL_ERR_SMTP_NO_MECHANISM)}, {"EHLO QvMail", "QUIT"}},
  };
  for (const SmtpRow& row : rows) {
    SCOPED_TRACE(row.name);
    NewClient();
    account_.smtpAuthMode = row.auth ? 2 : 0;
    account_.smtpUserName = L"u";
    account_.smtpPassword = L"secret-word";
    TestServer server;
    row.script(server);
    server.Start();
    seams::MapHost("smtp.example.com", row.port, server.Port());
    account_.smtpPort = row.port;
    const auto start = Clock::now();
    Send();
    EXPECT_LT(Clock::now() - start, kRowBound);
    EXPECT_EQ(recorder_.events, row.events);
    server.Finish(row.events[0].w == QVMDL_ERR_SMTP_TIMEOUT ? 0 : 5000);
    EXPECT_EQ(server.Lines(), row.lines);
  }
}

// POP-before-SMTP logs in as receiving does: CAPA first, STLS when offered,
// and never a credential in clear to a POP server that offered TLS.
struct PopBeforeSmtpRow {
  const char* name;
  bool apop;
  std::function<void(TestServer&)> pop;  // the POP server's whole script
  long error;                            // the SMTP session's end code, 0 when the mail went
  std::vector<std::string> popLines;     // what the POP server read
};

TEST_F(HostileSmtp, PopBeforeSmtpAsksCapaAndUpgradesBeforeItsLogin) {
  const TestCert trusted = TrustedServerCert("pop.example.com");
  CertRequest request("CN=pop.example.com");
  request.dnsNames = {"pop.example.com"};
  const TestCert selfSigned = MakeCertificate(request);
  char digest[33];
  Md5HexString(digest, "<1.2@pop>pw");
  const std::string apop = std::string("APOP user ") + digest;
  const std::vector<PopBeforeSmtpRow> rows = {
      // S: +OK ready   C: CAPA   S: +OK / USER / .   C: USER user / PASS pw / QUIT
      {"no TLS offered: the plain login", false,
       [](TestServer& s) {
         s.Send("+OK ready\r\n").ExpectLine("CAPA").Send("+OK\r\nUSER\r\n.\r\n");
         s.ExpectLine("USER user").Send("+OK\r\n").ExpectLine("PASS pw").Send("+OK\r\n");
         s.ExpectLine("QUIT").Send("+OK\r\n").Close();
       },
       0, {"CAPA", "USER user", "PASS pw", "QUIT"}},
      // S: +OK ready <1.2@pop>   C: CAPA   S: -ERR   C: APOP user <digest>   S: +OK   C: QUIT
      {"CAPA refused: APOP", true,
       [apop](TestServer& s) {
         s.Send("+OK ready <1.2@pop>\r\n").ExpectLine("CAPA").Send("-ERR\r\n");
         s.ExpectLine(apop).Send("+OK\r\n").ExpectLine("QUIT").Send("+OK\r\n").Close();
       },
       0, {"CAPA", apop, "QUIT"}},
      // C: CAPA   S: +OK / STLS / .   C: STLS   S: +OK   (TLS)   C: CAPA / USER / PASS / QUIT, inside TLS
      {"STLS offered and working", false,
       [&trusted](TestServer& s) {
         s.Send("+OK ready\r\n").ExpectLine("CAPA").Send("+OK\r\nUSER\r\nSTLS\r\n.\r\n");
         s.ExpectLine("STLS").Send("+OK go\r\n").StartTls(trusted).ExpectLine("CAPA").Send("+OK\r\nUSER\r\n.\r\n");
         s.ExpectLine("USER user").Send("+OK\r\n").ExpectLine("PASS pw").Send("+OK\r\n");
         s.ExpectLine("QUIT").Send("+OK\r\n").Close();
       },
       0, {"CAPA", "STLS", "CAPA", "USER user", "PASS pw", "QUIT"}},
      // C: CAPA   S: +OK / stls / .   C: STLS   S: -ERR   C: QUIT   (no login, no mail)
      {"STLS offered (lower case), then refused", false,
       [](TestServer& s) {
         s.Send("+OK ready\r\n").ExpectLine("CAPA").Send("+OK\r\nstls\r\n.\r\n");
         s.ExpectLine("STLS").Send("-ERR not now\r\n").ExpectLine("QUIT").Close();
       },
       QVMDL_ERR_SMTP_NO_NETWORK, {"CAPA", "STLS", "QUIT"}},
      // C: STLS   S: +OK   (the server closes: the handshake fails; nothing more goes out)
      {"STLS handshake cut", true,
       [](TestServer& s) {
         s.Send("+OK ready <1.2@pop>\r\n").ExpectLine("CAPA").Send("+OK\r\nSTLS\r\n.\r\n");
         s.ExpectLine("STLS").Send("+OK go\r\n").Close();
       },
       QVMDL_ERR_SMTP_NO_NETWORK, {"CAPA", "STLS"}},
      // C: STLS   S: +OK   (a certificate nobody vouches for; the headless answer is "no")
      {"STLS certificate refused", false,
       [&selfSigned](TestServer& s) {
         s.Send("+OK ready\r\n").ExpectLine("CAPA").Send("+OK\r\nSTLS\r\n.\r\n");
         s.ExpectLine("STLS").Send("+OK go\r\n").StartTls(selfSigned).Stall();
       },
       QVMDL_ERR_SMTP_NO_NETWORK, {"CAPA", "STLS"}},
  };
  for (const PopBeforeSmtpRow& row : rows) {
    SCOPED_TRACE(row.name);
    WriteBytes(L"\\Application Data\\QuvoMail\\QvMailLog.txt", "");
    NewClient();
    account_.smtpAuthMode = 1;
    account_.popServerName = L"pop.example.com";
    account_.popUserName = L"user";
    account_.popPassword = L"pw";
    account_.apop = row.apop ? 1 : 0;
    TestServer pop;
    row.pop(pop);
    pop.Start();
    seams::MapHost("pop.example.com", 110, pop.Port());
    // S: 220 ready   C: HELO QvMail / MAIL FROM / RCPT TO / DATA / (text) .   S: 250
    TestServer smtp;
    smtp.Send("220 ready\r\n").ExpectLine("HELO QvMail").Send("250 hi\r\n").ExpectLine("MAIL FROM: <me@example.com>");
    smtp.Send("250 ok\r\n").ExpectLine("RCPT TO: <you@example.com>").Send("250 ok\r\n").ExpectLine("DATA");
    smtp.Send("354 go\r\n").ReadLine().ReadLine().ReadLine().ReadLine().ReadLine().ExpectLine(".");
    smtp.Send("250 queued\r\n").Close();
    smtp.Start();
    seams::MapHost("smtp.example.com", 25, smtp.Port());
    const auto start = Clock::now();
    Send();
    EXPECT_LT(Clock::now() - start, kRowBound);
    const std::vector<SmtpEvent> events = {row.error ? Failed(row.error) : Accepted()};
    EXPECT_EQ(recorder_.events, events) << Log();
    pop.Finish(5000);
    EXPECT_EQ(pop.Lines(), row.popLines);
    if (row.error) {
      // No login happened: no SMTP session either, and no credential went out.
      EXPECT_TRUE(smtp.Lines().empty());
      EXPECT_EQ(Log().find("USER"), std::string::npos) << Log();
      EXPECT_EQ(Log().find("APOP"), std::string::npos) << Log();
    } else {
      EXPECT_TRUE(smtp.Finish()) << smtp.Error();
    }
  }
}

// POP-before-SMTP against a POP server that greets and then says nothing:
// the login meets the wait's deadline (10 steps of 20 ms), and with the
// production wait a cancel of the send ends it at once. No SMTP session follows.
//   S: +OK ready   C: CAPA   (silence)
TEST_F(HostileSmtp, StalledPopBeforeSmtpLoginMeetsItsDeadlineAndTheCancel) {
  for (const bool cancel : {false, true}) {
    SCOPED_TRACE(cancel ? "cancelled" : "deadline");
    if (cancel) {
      seams::SetNetworkWait(1000, 600);
    } else {
      seams::SetNetworkWait(20, 10);
    }
    NewClient();
    account_.smtpAuthMode = 1;
    account_.popServerName = L"pop.example.com";
    account_.popUserName = L"user";
    account_.popPassword = L"pw";
    auto pop = std::make_unique<TestServer>();
    pop->Send("+OK ready\r\n").ExpectLine("CAPA").Stall();
    pop->Start();
    seams::MapHost("pop.example.com", 110, pop->Port());
    TestServer smtp;
    smtp.Stall();
    smtp.Start();
    seams::MapHost("smtp.example.com", 25, smtp.Port());
    std::atomic<bool> stop{false};
    Clock::time_point cancelled{};
    // The cancel comes once the session stands in the POP login.
    std::thread canceller([&] {
      if (!cancel) return;
      while (!stop && client_->status() != static_cast<int>(SmtpState::PopLogin)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      cancelled = Clock::now();
      client_->cancel();
    });
    const auto start = Clock::now();
    const bool inTime = SendWithin(std::chrono::seconds(30), pop);
    const auto ended = Clock::now();
    stop = true;
    canceller.join();
    EXPECT_TRUE(inTime);
    if (cancel) {
      EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_CANCELLED)}));
      EXPECT_LT(ended - cancelled, std::chrono::seconds(5));
    } else {
      EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_TIMEOUT)}));
      EXPECT_GE(ended - start, std::chrono::milliseconds(200));
      EXPECT_LT(ended - start, std::chrono::seconds(20));
    }
    EXPECT_TRUE(smtp.Lines().empty());
    EXPECT_EQ(Log().find("USER"), std::string::npos) << Log();
  }
}

// C: STARTTLS   S: 220 go   (the server reads the client's hello and never
// answers): the handshake meets the wait's deadline (10 steps of 20 ms
// here), and with the production wait (600 steps of a second) a cancel ends
// it at once.
TEST_F(HostileSmtp, StalledStartTlsHandshakeMeetsItsDeadlineAndTheCancel) {
  for (const bool cancel : {false, true}) {
    SCOPED_TRACE(cancel ? "cancelled" : "deadline");
    if (cancel) {
      seams::SetNetworkWait(1000, 600);
    } else {
      seams::SetNetworkWait(20, 10);
    }
    NewClient();
    account_.smtpAuthMode = 2;
    account_.smtpUserName = L"u";
    account_.smtpPassword = L"secret-word";
    account_.smtpPort = 587;
    auto server = std::make_unique<TestServer>();
    server->Send("220 ready\r\n")
        .ExpectLine("EHLO QvMail_1")
        .Send("250-mail\r\n250 STARTTLS\r\n")
        .ExpectLine("STARTTLS")
        .Send("220 go\r\n")
        .Stall();
    server->Start();
    seams::MapHost("smtp.example.com", 587, server->Port());
    std::atomic<bool> stop{false};
    Clock::time_point cancelled{};
    // The cancel comes once the session stands in the handshake.
    std::thread canceller([&] {
      if (!cancel) return;
      while (!stop && client_->status() != static_cast<int>(SmtpState::TlsHandshake)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      cancelled = Clock::now();
      client_->cancel();
    });
    const auto start = Clock::now();
    const bool inTime = SendWithin(std::chrono::seconds(30), server);
    const auto ended = Clock::now();
    stop = true;
    canceller.join();
    EXPECT_TRUE(inTime);
    if (cancel) {
      EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_CANCELLED)}));
      // Within a wait step (1 s) of the cancel; the bound is generous.
      EXPECT_LT(ended - cancelled, std::chrono::seconds(5));
    } else {
      EXPECT_EQ(recorder_.events, (std::vector<SmtpEvent>{Failed(QVMDL_ERR_SMTP_TIMEOUT)}));
      EXPECT_GE(ended - start, std::chrono::milliseconds(200));
      EXPECT_LT(ended - start, std::chrono::seconds(20));
    }
    if (server) {
      EXPECT_EQ(server->Lines(), (std::vector<std::string>{"EHLO QvMail_1", "STARTTLS"}));
    }
  }
}

}  // namespace
}  // namespace qv::test
