#include "tests/support/NginxPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "tests/support/PeerTools.h"

namespace qv::test {

namespace {

constexpr int kHops = 12;

// True once the port takes a connection.
bool PortListens(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

NginxPeer& NginxPeer::Shared() { return SharedPeer<NginxPeer>(); }

NginxPeer::NginxPeer() {
  ready_ = StartWithRetries([this](std::string* why) { return Start(why); }, [this] { Stop(); }, &error_);
}

NginxPeer::~NginxPeer() { Stop(); }

bool NginxPeer::Start(std::string* why) {
  dir_ = MakePeerFolder("qvnginx");
  if (dir_.empty()) {
    *why = "no temp folder";
    return false;
  }
  for (const char* sub : {"/www", "/www/slow", "/www/nolength", "/tmp"}) std::filesystem::create_directories(dir_ + sub);
  port_ = FreeLoopbackPort();

  std::ostringstream conf;
  conf << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
       << "pid " << dir_ << "/nginx.pid;\n"
       << "error_log " << dir_ << "/error.log info;\n"
       << "events { worker_connections 64; }\n"
       << "http {\n"
       << "  log_format qv '$request | $http_user_agent | $status';\n"
       << "  access_log " << dir_ << "/access.log qv;\n";
  for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
    conf << "  " << temp << "_temp_path " << dir_ << "/tmp/" << temp << ";\n";
  conf << "  types { text/xml xml rdf rss; image/jpeg jpg; image/gif gif; text/plain txt eml; }\n"
       << "  default_type application/octet-stream;\n"
       << "  server {\n"
       << "    listen 127.0.0.1:" << port_ << ";\n"
       << "    root " << dir_ << "/www;\n"
       // Redirects name no host: the client resolves them against its own URL.
       << "    absolute_redirect off;\n"
       << "    location /slow/ { limit_rate 16k; }\n"
       // Server-side includes take the length away: the body goes chunked.
       << "    location /nolength/ { ssi on; ssi_types *; }\n"
       << "    location = /status/500 { return 500; }\n"
       << "    location = /hops/0 { return 302 /feed.xml; }\n";
  for (int i = 1; i <= kHops; ++i) conf << "    location = /hops/" << i << " { return 302 /hops/" << i - 1 << "; }\n";
  conf << "  }\n}\n";
  const std::string confPath = dir_ + "/nginx.conf";
  if (!WriteWholeFile(confPath, conf.str())) {
    *why = "cannot write the configuration";
    return false;
  }
  const std::string outPath = dir_ + "/out.txt";
  pid_ = StartPeerProcess({"nginx", "-p", dir_, "-c", confPath, "-e", dir_ + "/error.log"}, outPath);
  if (pid_ < 0) {
    *why = "fork failed";
    return false;
  }
  if (WaitForPeer(pid_, std::chrono::seconds(15), [&] { return PortListens(port_); })) return true;
  *why = std::string(PeerProcessRunning(pid_) ? "nginx did not answer: " : "nginx ended at start (is nginx installed?): ") +
         ReadWholeFile(outPath) + ReadWholeFile(dir_ + "/error.log");
  if (!PeerProcessRunning(pid_)) pid_ = -1;
  return false;
}

void NginxPeer::Stop() {
  StopPeerProcess(pid_);
  pid_ = -1;
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    dir_.clear();
  }
}

void NginxPeer::PutFile(const std::string& path, const std::string& bytes) {
  const std::filesystem::path file = dir_ + "/www" + path;
  std::filesystem::create_directories(file.parent_path());
  WriteWholeFile(file.string(), bytes);
}

std::vector<std::string> NginxPeer::AccessLog() const {
  std::vector<std::string> lines;
  std::istringstream in(ReadWholeFile(dir_ + "/access.log"));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

long NginxPeer::CountWaiting(const std::function<bool(const std::string&)>& counts, long expected) const {
  long count = 0;
  for (int attempt = 0; attempt < 250; ++attempt) {
    const std::vector<std::string> log = AccessLog();
    count = static_cast<long>(std::count_if(log.begin(), log.end(), counts));
    if (count >= expected) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return count;
}

long NginxPeer::CountRequests(const std::string& prefix, long expected) const {
  return CountWaiting([&](const std::string& line) { return line.rfind(prefix, 0) == 0; }, expected);
}

long NginxPeer::CountLines(const std::string& wanted, long expected) const {
  return CountWaiting([&](const std::string& line) { return line == wanted; }, expected);
}

std::string NginxPeer::ErrorLog() const { return ReadWholeFile(dir_ + "/error.log"); }

}  // namespace qv::test
