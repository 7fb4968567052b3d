// A real HTTP server for the feed tests: nginx on loopback, in its own temp
// folder with its own configuration, pid, temp paths and log, started once per
// test program and stopped when the program ends. It serves the files put
// below its root, and a few places of its own:
//   /slow/...      the files of /slow at 16 KiB/s (limit_rate)
//   /nolength/...  the files of /nolength without a Content-Length (chunked)
//   /status/500    an internal error
//   /hops/N        N redirects (302) ending at /feed.xml
// The access log keeps one line per request: request line, User-Agent,
// status, separated by " | ".
//
//   qv::test::NginxPeer& peer = qv::test::NginxPeer::Shared();
//   ASSERT_TRUE(peer.Ready()) << peer.Error();
//   peer.PutFile("/feed.xml", "<rss ...>");
//   ... GET http://127.0.0.1:peer.Port()/feed.xml (or through the host table) ...
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qv::test {

class NginxPeer {
 public:
  static NginxPeer& Shared();

  NginxPeer();
  ~NginxPeer();
  NginxPeer(const NginxPeer&) = delete;
  NginxPeer& operator=(const NginxPeer&) = delete;

  bool Ready() const { return ready_; }
  const std::string& Error() const { return error_; }
  uint16_t Port() const { return port_; }

  // Writes a file at `path` (from "/") below the server's root.
  void PutFile(const std::string& path, const std::string& bytes);
  // The access log's lines so far.
  std::vector<std::string> AccessLog() const;
  // How many logged requests start with `prefix`, waiting (a few seconds at
  // most) for at least `expected`: nginx logs a request after answering it,
  // so a client that stops reading early can be ahead of the log.
  long CountRequests(const std::string& prefix, long expected) const;
  // How many logged lines are `line` exactly, waiting in the same way.
  long CountLines(const std::string& line, long expected) const;
  std::string ErrorLog() const;

 private:
  long CountWaiting(const std::function<bool(const std::string&)>& counts, long expected) const;
  bool Start(std::string* why);
  void Stop();

  bool ready_ = false;
  std::string error_;
  std::string dir_;
  uint16_t port_ = 0;
  int pid_ = -1;
};

}  // namespace qv::test
