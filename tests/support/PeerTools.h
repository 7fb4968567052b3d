// Small helpers of the peer launchers: a temp folder, a free loopback port,
// whole-file reads and writes, test certificates, and a child process that
// ends with the test program.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace qv::test {

// A fresh folder "/tmp/<prefix>-XXXXXX" that the server's other users can
// enter (0755); empty on failure.
std::string MakePeerFolder(const std::string& prefix);
// A loopback TCP port nobody listens on now.
uint16_t FreeLoopbackPort();
// Two different free loopback ports.
void FreeLoopbackPorts(uint16_t* first, uint16_t* second);
// True once the loopback port answers with a greeting starting `code`
// ("+OK", "220"); says QUIT before closing.
bool PortGreets(uint16_t port, const std::string& code);
std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
// A test CA named `caName` and a server certificate for `host` and
// "localhost" it signed, as "ca.pem", "cert.pem" and "key.pem" in `dir`.
bool WritePeerCertificates(const std::string& dir, const std::string& caName, const std::string& host);
// Hands `path` to uid/gid; only a failure as root counts (otherwise the
// files already belong to the calling user).
bool HandOver(const std::string& path, unsigned uid, unsigned gid);
// Starts `argv` in a process group of its own, stdin from /dev/null and its
// output into `outPath` (a bare name not on PATH is tried in /usr/sbin); it gets SIGTERM when this program ends. -1 on failure.
int StartPeerProcess(const std::vector<std::string>& argv, const std::string& outPath);
// SIGTERM to the process group, SIGKILL after five seconds; reaps the leader.
void StopPeerProcess(int pid);
// True while the process has not ended (reaps it when it has).
bool PeerProcessRunning(int pid);
// Polls `ready` until it holds (true) or the process ends or `limit` passes.
bool WaitForPeer(int pid, std::chrono::seconds limit, const std::function<bool()>& ready);

// Runs `start` up to three times, `stop` after each failed try; the reason of
// the last failure goes into *error.
bool StartWithRetries(const std::function<bool(std::string*)>& start, const std::function<void()>& stop,
                      std::string* error);

// The one peer of this kind in the test program, made on first use. Never
// destroyed by static destruction order games: stopped at exit.
template <class Peer>
Peer& SharedPeer() {
  static Peer* peer = [] {
    auto* p = new Peer;
    std::atexit([] { delete peer; });
    return p;
  }();
  return *peer;
}

}  // namespace qv::test
