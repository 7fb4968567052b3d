// A scripted fake server on a free loopback port, for the socket layer and the
// protocol clients: it accepts connections one after another and runs the
// same script on each, step by step. It can answer anything: split, malformed,
// hostile, stalled, dropped, and switch to TLS on a certificate of TestCerts.
//
//   qv::test::TestServer server;
//   server.Send("+OK ready\r\n").ExpectLine("USER me").Send("+OK\r\n").Drop();
//   server.Start();
//   ... client connects to 127.0.0.1:server.Port() (or through the host table)
//   EXPECT_TRUE(server.Finish());      // every step done, no mismatch
//
// Reads give up after five seconds, so a client that never writes cannot hang
// a test; the destructor ends every step at once.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TestCerts.h"

namespace qv::test {

class TestServer {
 public:
  TestServer();
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  uint16_t Port() const { return port_; }

  // Script steps, added before Start().
  TestServer& Send(std::string bytes);
  // Reads one line (through "\n") and checks it equals `line` without its CR LF.
  TestServer& ExpectLine(std::string line);
  // Reads one line and keeps it, unchecked.
  TestServer& ReadLine();
  TestServer& Pause(int milliseconds);
  // Server side of a TLS handshake now (on the first step: implicit TLS).
  TestServer& StartTls(const TestCert& cert, const TestCert* chainCa = nullptr);
  // Closes at once with a reset (linger 0).
  TestServer& Drop();
  // Orderly close (after a TLS goodbye when in TLS).
  TestServer& Close();
  // Waits, reading and dropping whatever comes, until the client closes.
  TestServer& Stall();

  // How long a read waits before it gives up (before Start(); the default is
  // five seconds), for a client that has much to digest before it answers.
  void SetReadTimeout(int seconds) { readTimeoutSeconds_ = seconds; }

  // Accepts up to `connections` connections, one after another.
  void Start(int connections = 1);
  // Waits (up to `milliseconds`) for the script to end on every connection;
  // true when it ended with no mismatch and no failure.
  bool Finish(int milliseconds = 5000);
  // The lines read (without CR LF), over all connections.
  std::vector<std::string> Lines() const;
  // The first mismatch or failure, empty when none.
  std::string Error() const;
  // The SNI name of the last TLS handshake ("" when none was sent).
  std::string ServerName() const;
  // Number of TLS handshakes that completed.
  int Handshakes() const { return handshakes_; }

 public:
  struct Step;

 private:
  void Run(int connections);
  bool RunScript(int fd);
  void Fail(const std::string& what);

  int listen_ = -1;
  int readTimeoutSeconds_ = 0;
  uint16_t port_ = 0;
  std::vector<Step*> steps_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> current_{-1};
  std::atomic<int> handshakes_{0};
  mutable std::mutex lock_;
  std::condition_variable done_;
  bool finished_ = false;
  std::vector<std::string> lines_;
  std::string error_;
  std::string serverName_;
};

// `openssl s_server -rev` on a free loopback port with a certificate of
// TestCerts: a real TLS peer that answers each line reversed. Stopped (by its
// process id) when destroyed.
class OpensslPeer {
 public:
  explicit OpensslPeer(const TestCert& cert);
  ~OpensslPeer();
  OpensslPeer(const OpensslPeer&) = delete;
  OpensslPeer& operator=(const OpensslPeer&) = delete;

  // False when the peer did not come up (the reason is in Error()).
  bool Ready() const { return ready_; }
  uint16_t Port() const { return port_; }
  const std::string& Error() const { return error_; }

 private:
  int pid_ = -1;
  uint16_t port_ = 0;
  bool ready_ = false;
  std::string dir_;
  std::string error_;
};

}  // namespace qv::test
