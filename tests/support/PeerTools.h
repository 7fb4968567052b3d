// Small helpers of the peer launchers: a free loopback port, whole-file reads
// and writes, and a child process that ends with the test program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::test {

// A loopback TCP port nobody listens on now.
uint16_t FreeLoopbackPort();
std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
// Starts `argv` in a process group of its own, stdin from /dev/null and its
// output into `outPath`; it gets SIGTERM when this program ends. -1 on failure.
int StartPeerProcess(const std::vector<std::string>& argv, const std::string& outPath);
// SIGTERM to the process group, SIGKILL after five seconds; reaps the leader.
void StopPeerProcess(int pid);
// True while the process has not ended (reaps it when it has).
bool PeerProcessRunning(int pid);

}  // namespace qv::test
