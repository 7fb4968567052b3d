#include "tests/support/PeerTools.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/support/TempFolder.h"
#include "tests/support/TestCerts.h"

namespace qv::test {

std::string MakePeerFolder(const std::string& prefix) {
  std::string templ = MakeTempFolder(prefix);
  if (templ.empty()) return {};
  // The server's login and worker processes run as other users: they must reach in.
  ::chmod(templ.c_str(), 0755);
  return templ;
}

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

void FreeLoopbackPorts(uint16_t* first, uint16_t* second) {
  *first = FreeLoopbackPort();
  *second = FreeLoopbackPort();
  while (*second == *first) *second = FreeLoopbackPort();
}

bool PortGreets(uint16_t port, const std::string& code) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = false;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) {
    pollfd p{fd, POLLIN, 0};
    char text[16] = {};
    const size_t n = std::min(code.size(), sizeof text);
    if (::poll(&p, 1, 2000) == 1 && ::recv(fd, text, n, 0) == static_cast<ssize_t>(n)) {
      ok = std::string(text, n) == code;
    }
    ::send(fd, "QUIT\r\n", 6, MSG_NOSIGNAL);
  }
  ::close(fd);
  return ok;
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

bool WritePeerCertificates(const std::string& dir, const std::string& caName, const std::string& host) {
  const TestCert ca = MakeCa("CN=" + caName + ", O=QvMail Tests");
  CertRequest request("CN=" + host + ", O=QvMail Tests");
  request.dnsNames = {host, "localhost"};
  // Valid long before now: tests that stand the clock still check the
  // certificate against their fixed day (the clients upgrade to TLS by STLS).
  request.notBeforeSeconds = -10L * 365 * 24 * 3600;
  const TestCert leaf = MakeCertificate(request, &ca);
  return !ca.der.empty() && !leaf.der.empty() && WriteWholeFile(dir + "/ca.pem", ca.certPem) &&
         leaf.WritePem(dir + "/cert.pem", dir + "/key.pem");
}

bool HandOver(const std::string& path, unsigned uid, unsigned gid) {
  return ::chown(path.c_str(), uid, gid) == 0 || ::geteuid() != 0;
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
    if (argv[0].find('/') == std::string::npos) {
      const std::string inSbin = "/usr/sbin/" + argv[0];
      ::execv(inSbin.c_str(), args.data());
    }
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

bool StartWithRetries(const std::function<bool(std::string*)>& start, const std::function<void()>& stop,
                      std::string* error) {
  std::string why;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (start(&why)) return true;
    stop();
  }
  *error = why;
  return false;
}

bool WaitForPeer(int pid, std::chrono::seconds limit, const std::function<bool()>& ready) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < until) {
    if (!PeerProcessRunning(pid)) return false;
    if (ready()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return false;
}

}  // namespace qv::test
