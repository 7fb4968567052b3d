#include "tests/support/PeerTools.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

namespace qv::test {

uint16_t FreeLoopbackPort() {
  const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  uint16_t port = 0;
  if (probe >= 0 && ::bind(probe, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
      ::getsockname(probe, reinterpret_cast<sockaddr*>(&sa), &len) == 0) {
    port = ntohs(sa.sin_port);
  }
  if (probe >= 0) ::close(probe);
  return port;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  return out.good();
}

int StartPeerProcess(const std::vector<std::string>& argv, const std::string& outPath) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  if (pid > 0) ::setpgid(pid, pid);
  return pid > 0 ? pid : -1;
}

void StopPeerProcess(int pid) {
  if (pid <= 0) return;
  ::kill(-pid, SIGTERM);
  int status = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (::waitpid(pid, &status, WNOHANG) != pid) {
    if (std::chrono::steady_clock::now() > until) {
      ::kill(-pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool PeerProcessRunning(int pid) {
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, WNOHANG) == 0;
}

}  // namespace qv::test
