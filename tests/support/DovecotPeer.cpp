#include "tests/support/DovecotPeer.h"

#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <sstream>

#include "tests/support/PeerTools.h"

namespace qv::test {

namespace {

constexpr int kUsers = 200;

std::string UserName(unsigned uid) {
  const passwd* pw = ::getpwuid(uid);
  return pw ? pw->pw_name : std::to_string(uid);
}

}  // namespace

DovecotPeer& DovecotPeer::Shared() { return SharedPeer<DovecotPeer>(); }

DovecotPeer::DovecotPeer() {
  ready_ = StartWithRetries([this](std::string* why) { return Start(why); }, [this] { Stop(); }, &error_);
}

DovecotPeer::~DovecotPeer() { Stop(); }

bool DovecotPeer::Start(std::string* why) {
  dir_ = MakePeerFolder("qvdovecot");
  if (dir_.empty()) {
    *why = "no temp folder";
    return false;
  }

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

  caFile_ = dir_ + "/ca.pem";
  if (!WritePeerCertificates(dir_, "QvMail POP Test CA", "pop.example.com")) {
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
  if (!WriteWholeFile(dir_ + "/passwd", users.str())) {
    *why = "cannot write the user list";
    return false;
  }

  FreeLoopbackPorts(&plainPort_, &securePort_);
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
  if (!WriteWholeFile(confPath, conf.str())) {
    *why = "cannot write the configuration";
    return false;
  }

  const std::string outPath = dir_ + "/out.txt";
  pid_ = StartPeerProcess({"dovecot", "-F", "-c", confPath}, outPath);
  if (pid_ < 0) {
    *why = "fork failed";
    return false;
  }
  if (WaitForPeer(pid_, std::chrono::seconds(15), [&] { return PortGreets(plainPort_, "+OK"); })) return true;
  if (!PeerProcessRunning(pid_)) {
    pid_ = -1;
    *why = "dovecot ended at start (is dovecot-pop3d installed?): " + ReadWholeFile(outPath) +
           ReadWholeFile(dir_ + "/log.txt");
    return false;
  }
  *why = "dovecot did not answer: " + ReadWholeFile(outPath) + ReadWholeFile(dir_ + "/log.txt");
  return false;
}

void DovecotPeer::Stop() {
  StopPeerProcess(pid_);
  pid_ = -1;
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    dir_.clear();
  }
}

std::string DovecotPeer::MaildirOf(const std::string& user) const { return dir_ + "/home/" + user + "/Maildir"; }

std::string DovecotPeer::NewMailbox() {
  const std::string user = "user" + std::to_string(++nextUser_);
  MakeMailbox(user);
  return user;
}

void DovecotPeer::ResetMailbox(const std::string& user) {
  std::error_code ignored;
  std::filesystem::remove_all(dir_ + "/home/" + user, ignored);
  MakeMailbox(user);
}

void DovecotPeer::MakeMailbox(const std::string& user) {
  const std::string home = dir_ + "/home/" + user;
  for (const std::string& path : {home, MaildirOf(user), MaildirOf(user) + "/new", MaildirOf(user) + "/cur",
                                  MaildirOf(user) + "/tmp"}) {
    std::filesystem::create_directories(path);
    ::chmod(path.c_str(), 0700);
    if (!HandOver(path, mailUid_, mailGid_)) error_ = "cannot hand " + path + " over";
  }
  // Dovecot takes a new mailbox's UID validity from the clock in seconds, so
  // two mailboxes made in one second would hand out the same UIDLs, and a
  // test that moves an account to a fresh mailbox would meet old UIDs. Each
  // mailbox starts with a validity of its own.
  static unsigned lastValidity = static_cast<unsigned>(::time(nullptr)) - 1000000u;
  const unsigned validity = ++lastValidity;
  char header[96];
  std::snprintf(header, sizeof header, "3 V%u N1 G%08x%08x%08x%08x\n", validity, validity,
                static_cast<unsigned>(::getpid()), static_cast<unsigned>(nextUser_), static_cast<unsigned>(sequence_));
  const std::string list = MaildirOf(user) + "/dovecot-uidlist";
  WriteWholeFile(list, header);
  if (!HandOver(list, mailUid_, mailGid_)) error_ = "cannot hand " + list + " over";
}

void DovecotPeer::AddMessage(const std::string& user, const std::string& text) {
  // Maildir names sort by their time part: the sequence keeps the order.
  ++sequence_;
  char name[64];
  std::snprintf(name, sizeof name, "%d.M%06dP%d.qvtest", 1700000000 + sequence_, sequence_, ::getpid());
  const std::string path = MaildirOf(user) + "/new/" + name;
  WriteWholeFile(path, text);
  if (!HandOver(path, mailUid_, mailGid_)) error_ = "cannot hand " + path + " over";
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

std::string DovecotPeer::Log() const { return ReadWholeFile(dir_ + "/log.txt"); }

}  // namespace qv::test
