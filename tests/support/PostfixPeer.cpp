#include "tests/support/PostfixPeer.h"

#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "tests/support/PeerTools.h"

namespace qv::test {

PostfixPeer& PostfixPeer::Shared() { return SharedPeer<PostfixPeer>(); }

PostfixPeer::PostfixPeer() {
  ready_ = StartWithRetries([this](std::string* why) { return Start(why); }, [this] { Stop(); }, &error_);
}

PostfixPeer::~PostfixPeer() { Stop(); }

bool PostfixPeer::Start(std::string* why) {
  if (::geteuid() != 0) {
    *why = "postfix's master must run as root";
    return false;
  }
  const passwd* owner = ::getpwnam("postfix");
  if (!owner) {
    *why = "no user \"postfix\" (is postfix installed?)";
    return false;
  }
  dir_ = MakePeerFolder("qvpostfix");
  if (dir_.empty()) {
    *why = "no temp folder";
    return false;
  }
  for (const char* sub : {"/etc", "/queue", "/data", "/mail", "/drun", "/dstate"}) {
    std::filesystem::create_directories(dir_ + sub);
  }
  // The pipe transport delivers as "nobody".
  ::chmod((dir_ + "/mail").c_str(), 01777);
  if (!HandOver(dir_ + "/data", owner->pw_uid, owner->pw_gid)) {
    *why = "cannot hand the data folder to postfix";
    return false;
  }

  caFile_ = dir_ + "/ca.pem";
  if (!WritePeerCertificates(dir_, "QvMail SMTP Test CA", "smtp.example.com")) {
    *why = "cannot make the certificates";
    return false;
  }

  // The SASL side: dovecot with no protocols, only its auth service.
  std::ostringstream dovecot;
  dovecot << "base_dir = " << dir_ << "/drun\n"
          << "state_dir = " << dir_ << "/dstate\n"
          << "instance_name = qvsmtpauth\n"
          << "protocols =\n"
          << "listen = 127.0.0.1\n"
          << "log_path = " << dir_ << "/dovecot.log\n"
          << "ssl = no\n"
          << "default_login_user = " << (::getpwnam("dovenull") ? "dovenull" : "nobody") << "\n"
          << "default_internal_user = " << (::getpwnam("dovecot") ? "dovecot" : "nobody") << "\n"
          << "auth_mechanisms = plain login cram-md5\n"
          << "disable_plaintext_auth = no\n"
          << "auth_failure_delay = 0\n"
          << "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " << dir_ << "/passwd\n}\n"
          << "userdb {\n  driver = static\n  args = uid=nobody gid=nogroup home=" << dir_ << "\n}\n"
          << "service auth {\n  unix_listener " << dir_ << "/auth {\n    mode = 0666\n  }\n}\n"
          << "service anvil {\n  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n}\n";
  if (!WriteWholeFile(dir_ + "/passwd", user_ + ":{PLAIN}" + password_ + "\n") ||
      !WriteWholeFile(dir_ + "/dovecot.conf", dovecot.str())) {
    *why = "cannot write the SASL configuration";
    return false;
  }

  FreeLoopbackPorts(&plainPort_, &securePort_);
  do loginPort_ = FreeLoopbackPort();
  while (loginPort_ == plainPort_ || loginPort_ == securePort_);
  std::ostringstream main;
  main << "compatibility_level = 3.6\n"
       << "queue_directory = " << dir_ << "/queue\n"
       << "data_directory = " << dir_ << "/data\n"
       << "command_directory = /usr/sbin\n"
       << "daemon_directory = /usr/lib/postfix/sbin\n"
       << "meta_directory = /etc/postfix\n"
       << "shlib_directory = /usr/lib/postfix\n"
       << "mail_owner = postfix\n"
       << "setgid_group = postdrop\n"
       << "myhostname = smtp.example.com\n"
       << "mydomain = example.com\n"
       << "mydestination =\n"
       << "inet_interfaces = loopback-only\n"
       << "inet_protocols = ipv4\n"
       << "mynetworks = 127.0.0.0/8\n"
       << "maillog_file = /dev/stdout\n"
       << "default_transport = filedrop\n"
       << "relay_transport = filedrop\n"
       << "smtpd_tls_cert_file = " << dir_ << "/cert.pem\n"
       << "smtpd_tls_key_file = " << dir_ << "/key.pem\n"
       << "smtpd_tls_security_level = may\n"
       << "smtpd_tls_received_header = yes\n"
       << "smtpd_sasl_auth_enable = yes\n"
       << "smtpd_sasl_type = dovecot\n"
       << "smtpd_sasl_path = " << dir_ << "/auth\n"
       << "smtpd_relay_restrictions = permit_sasl_authenticated, permit_mynetworks, reject_unauth_destination\n"
       << "smtpd_error_sleep_time = 0\n"
       << "alias_maps =\n"
       << "alias_database =\n"
       << "biff = no\n"
       // Idle server processes end soon, so none outlives the peer for long.
       << "max_idle = 2s\n";
  std::ostringstream master;
  master << "127.0.0.1:" << plainPort_ << " inet n - n - - smtpd\n"
         << "127.0.0.1:" << securePort_ << " inet n - n - - smtpd -o smtpd_tls_wrappermode=yes\n"
         << "127.0.0.1:" << loginPort_ << " inet n - n - - smtpd -o smtpd_sasl_mechanism_filter=login\n"
         << "pickup unix n - n 60 1 pickup\n"
         << "cleanup unix n - n - 0 cleanup\n"
         << "qmgr unix n - n 300 1 qmgr\n"
         << "tlsmgr unix - - n 1000? 1 tlsmgr\n"
         << "rewrite unix - - n - - trivial-rewrite\n"
         << "bounce unix - - n - 0 bounce\n"
         << "defer unix - - n - 0 bounce\n"
         << "trace unix - - n - 0 bounce\n"
         << "verify unix - - n - 1 verify\n"
         << "flush unix n - n 1000? 0 flush\n"
         << "proxymap unix - - n - - proxymap\n"
         << "smtp unix - - n - - smtp\n"
         << "showq unix n - n - - showq\n"
         << "error unix - - n - - error\n"
         << "retry unix - - n - - error\n"
         << "discard unix - - n - - discard\n"
         << "anvil unix - - n - 1 anvil\n"
         << "scache unix - - n - 1 scache\n"
         << "postlog unix-dgram n - n - 1 postlogd\n"
         // Each message, as postfix received it, into a file named by its queue id.
         << "filedrop unix - n n - - pipe flags= user=nobody argv=/usr/bin/tee " << dir_ << "/mail/${queue_id}\n";
  if (!WriteWholeFile(dir_ + "/etc/main.cf", main.str()) || !WriteWholeFile(dir_ + "/etc/master.cf", master.str())) {
    *why = "cannot write the postfix configuration";
    return false;
  }

  dovecotPid_ = StartPeerProcess({"dovecot", "-F", "-c", dir_ + "/dovecot.conf"}, dir_ + "/dovecot.out");
  const std::string socketPath = dir_ + "/auth";
  if (!WaitForPeer(dovecotPid_, std::chrono::seconds(20), [&] { return std::filesystem::exists(socketPath); })) {
    *why = "dovecot's auth service did not come up: " + ReadWholeFile(dir_ + "/dovecot.out") +
           ReadWholeFile(dir_ + "/dovecot.log");
    return false;
  }
  postfixPid_ = StartPeerProcess({"postfix", "-c", dir_ + "/etc", "start-fg"}, dir_ + "/postfix.out");
  if (!WaitForPeer(postfixPid_, std::chrono::seconds(20), [&] { return PortGreets(plainPort_, "220"); })) {
    *why = "postfix did not answer: " + ReadWholeFile(dir_ + "/postfix.out");
    return false;
  }
  return true;
}

void PostfixPeer::Stop() {
  if (postfixPid_ > 0) {
    // The master runs in a session of its own: its own stop ends it and every
    // process it started.
    const int stopper = StartPeerProcess({"postfix", "-c", dir_ + "/etc", "stop"}, dir_ + "/stop.out");
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (PeerProcessRunning(stopper) && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    StopPeerProcess(stopper);
  }
  StopPeerProcess(postfixPid_);
  postfixPid_ = -1;
  StopPeerProcess(dovecotPid_);
  dovecotPid_ = -1;
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    dir_.clear();
  }
}

std::vector<std::string> PostfixPeer::Mail() const {
  std::vector<std::pair<std::filesystem::file_time_type, std::string>> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir_ + "/mail", ec)) {
    if (entry.is_regular_file()) files.emplace_back(entry.last_write_time(), entry.path().string());
  }
  std::sort(files.begin(), files.end());
  std::vector<std::string> out;
  for (const auto& file : files) out.push_back(ReadWholeFile(file.second));
  return out;
}

void PostfixPeer::ClearMail() {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir_ + "/mail", ec)) {
    std::filesystem::remove(entry.path(), ec);
  }
}

std::vector<std::string> PostfixPeer::WaitForMail(size_t count) const {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::vector<std::string> mail = Mail();
  while (mail.size() < count && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    mail = Mail();
  }
  // A delivery may still be writing its file.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return Mail();
}

std::string PostfixPeer::Log() const { return ReadWholeFile(dir_ + "/postfix.out"); }

}  // namespace qv::test
