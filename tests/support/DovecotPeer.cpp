#include "tests/support/DovecotPeer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace qv::test {

namespace {

constexpr int kUsers = 200;

uint16_t FreePort() {
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

// True once the port answers with a POP3 greeting.
bool Greets(uint16_t port) {
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
    if (::poll(&p, 1, 2000) == 1 && ::recv(fd, text, 3, 0) == 3) ok = std::string(text, 3) == "+OK";
    ::send(fd, "QUIT\r\n", 6, MSG_NOSIGNAL);
  }
  ::close(fd);
  return ok;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  return out.good();
}

std::string UserName(unsigned uid) {
  const passwd* pw = ::getpwuid(uid);
  return pw ? pw->pw_name : std::to_string(uid);
}

}  // namespace

DovecotPeer& DovecotPeer::Shared() {
  // Never destroyed by static destruction order games: stopped at exit.
  static DovecotPeer* peer = [] {
    auto* p = new DovecotPeer;
    std::atexit([] { delete peer; });
    return p;
  }();
  return *peer;
}

DovecotPeer::DovecotPeer() {
  std::string why;
  for (int attempt = 0; attempt < 3 && !ready_; ++attempt) {
    ready_ = Start(&why);
    if (!ready_) Stop();
  }
  if (!ready_) error_ = why;
}

DovecotPeer::~DovecotPeer() { Stop(); }

bool DovecotPeer::Start(std::string* why) {
  char templ[] = "/tmp/qvdovecot-XXXXXX";
  if (!::mkdtemp(templ)) {
    *why = "no temp folder";
    return false;
  }
  dir_ = templ;
  // The login and mail processes run as other users: they must reach in.
  ::chmod(dir_.c_str(), 0755);

  const bool root = ::geteuid() == 0;
  std::string loginUser, internalUser;
  if (root) {
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody) {
      *why = "no user \"nobody\"";
      return false;
    }
    mailUid_ = nobody->pw_uid;
    mailGid_ = nobody->pw_gid;
    // The package makes these; an unprivileged user serves when it did not.
    loginUser = ::getpwnam("dovenull") ? "dovenull" : "nobody";
    internalUser = ::getpwnam("dovecot") ? "dovecot" : "nobody";
  } else {
    mailUid_ = ::getuid();
    mailGid_ = ::getgid();
    loginUser = internalUser = UserName(mailUid_);
  }

  const TestCert ca = MakeCa("CN=QvMail POP Test CA, O=QvMail Tests");
  CertRequest request("CN=pop.example.com, O=QvMail Tests");
  request.dnsNames = {"pop.example.com", "localhost"};
  const TestCert leaf = MakeCertificate(request, &ca);
  caFile_ = dir_ + "/ca.pem";
  if (ca.der.empty() || leaf.der.empty() || !WriteFile(caFile_, ca.certPem) ||
      !leaf.WritePem(dir_ + "/cert.pem", dir_ + "/key.pem")) {
    *why = "cannot make the certificates";
    return false;
  }

  std::ostringstream users;
  for (int i = 1; i <= kUsers; ++i) {
    users << "user" << i << ":{PLAIN}" << password_ << ":" << mailUid_ << ":" << mailGid_ << "::" << dir_ << "/home/user"
          << i << "\n";
  }
  std::filesystem::create_directories(dir_ + "/home");
  std::filesystem::create_directories(dir_ + "/run");
  std::filesystem::create_directories(dir_ + "/state");
  ::chmod((dir_ + "/home").c_str(), 0755);
  if (!WriteFile(dir_ + "/passwd", users.str())) {
    *why = "cannot write the user list";
    return false;
  }

  plainPort_ = FreePort();
  securePort_ = FreePort();
  while (securePort_ == plainPort_) securePort_ = FreePort();
  std::ostringstream conf;
  conf << "base_dir = " << dir_ << "/run\n"
       << "state_dir = " << dir_ << "/state\n"
       << "instance_name = qvtest\n"
       << "protocols = pop3\n"
       << "listen = 127.0.0.1\n"
       << "default_login_user = " << loginUser << "\n"
       << "default_internal_user = " << internalUser << "\n"
       << "first_valid_uid = 1\n"
       << "log_path = " << dir_ << "/log.txt\n"
       << "ssl = yes\n"
       << "ssl_cert = <" << dir_ << "/cert.pem\n"
       << "ssl_key = <" << dir_ << "/key.pem\n"
       << "disable_plaintext_auth = no\n"
       << "auth_mechanisms = plain apop\n"
       << "auth_failure_delay = 0\n"
       << "mail_location = maildir:~/Maildir\n"
       << "pop3_uidl_format = %08Xu%08Xv\n"
       << "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " << dir_ << "/passwd\n}\n"
       << "userdb {\n  driver = passwd-file\n  args = " << dir_ << "/passwd\n}\n"
       << "service pop3-login {\n"
       << "  inet_listener pop3 {\n    address = 127.0.0.1\n    port = " << plainPort_ << "\n  }\n"
       << "  inet_listener pop3s {\n    address = 127.0.0.1\n    port = " << securePort_ << "\n    ssl = yes\n  }\n"
       << "}\n"
       // No growing delay for repeated wrong passwords from loopback.
       << "service anvil {\n  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n}\n";
  const std::string confPath = dir_ + "/dovecot.conf";
  if (!WriteFile(confPath, conf.str())) {
    *why = "cannot write the configuration";
    return false;
  }

  const std::string outPath = dir_ + "/out.txt";
  pid_ = ::fork();
  if (pid_ == 0) {
    // The server ends with this program, however it ends.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    ::execlp("dovecot", "dovecot", "-F", "-c", confPath.c_str(), static_cast<char*>(nullptr));
    ::execl("/usr/sbin/dovecot", "dovecot", "-F", "-c", confPath.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  if (pid_ < 0) {
    *why = "fork failed";
    return false;
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < until) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      *why = "dovecot ended at start (is dovecot-pop3d installed?): " + ReadFile(outPath) + ReadFile(dir_ + "/log.txt");
      return false;
    }
    if (Greets(plainPort_)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  *why = "dovecot did not answer: " + ReadFile(outPath) + ReadFile(dir_ + "/log.txt");
  return false;
}

void DovecotPeer::Stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (::waitpid(pid_, &status, WNOHANG) != pid_) {
      if (std::chrono::steady_clock::now() > until) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
  }
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    dir_.clear();
  }
}

std::string DovecotPeer::MaildirOf(const std::string& user) const { return dir_ + "/home/" + user + "/Maildir"; }

std::string DovecotPeer::NewMailbox() {
  const std::string user = "user" + std::to_string(++nextUser_);
  const std::string home = dir_ + "/home/" + user;
  for (const std::string& path : {home, MaildirOf(user), MaildirOf(user) + "/new", MaildirOf(user) + "/cur",
                                  MaildirOf(user) + "/tmp"}) {
    std::filesystem::create_directories(path);
    ::chmod(path.c_str(), 0700);
    if (::chown(path.c_str(), mailUid_, mailGid_) != 0 && ::geteuid() == 0) error_ = "cannot hand " + path + " over";
  }
  return user;
}

void DovecotPeer::AddMessage(const std::string& user, const std::string& text) {
  // Maildir names sort by their time part: the sequence keeps the order.
  ++sequence_;
  char name[64];
  std::snprintf(name, sizeof name, "%d.M%06dP%d.qvtest", 1700000000 + sequence_, sequence_, ::getpid());
  const std::string path = MaildirOf(user) + "/new/" + name;
  WriteFile(path, text);
  if (::chown(path.c_str(), mailUid_, mailGid_) != 0 && ::geteuid() == 0) error_ = "cannot hand " + path + " over";
}

int DovecotPeer::MessageCount(const std::string& user) const {
  int count = 0;
  for (const char* sub : {"/new", "/cur"}) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(MaildirOf(user) + sub, ec)) {
      if (entry.is_regular_file()) ++count;
    }
  }
  return count;
}

std::string DovecotPeer::Log() const { return ReadFile(dir_ + "/log.txt"); }

}  // namespace qv::test
