// A real SMTP submission server for the protocol tests: postfix on loopback,
// in its own temp folder with its own configuration and queue, started once
// per test program and stopped (its process group, by id) when the program
// ends. It offers STARTTLS on a plain listener, TLS from the first byte on a
// second one (certificate for "smtp.example.com" and "localhost", signed by a
// test CA), and AUTH LOGIN and CRAM-MD5 through a dovecot SASL service of its
// own (plain passwords); a third listener offers AUTH LOGIN alone. Every accepted message is delivered, as received,
// into a file of its own in MailDir() by a pipe transport.
//
//   qv::test::PostfixPeer& peer = qv::test::PostfixPeer::Shared();
//   ASSERT_TRUE(peer.Ready()) << peer.Error();
//   ... connect to 127.0.0.1:peer.PlainPort(), AUTH as peer.User() / peer.Password() ...
//   std::vector<std::string> mail = peer.WaitForMail(1);
//
// Needs root (postfix's master runs as root and drops to "postfix").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::test {

class PostfixPeer {
 public:
  static PostfixPeer& Shared();

  PostfixPeer();
  ~PostfixPeer();
  PostfixPeer(const PostfixPeer&) = delete;
  PostfixPeer& operator=(const PostfixPeer&) = delete;

  bool Ready() const { return ready_; }
  const std::string& Error() const { return error_; }
  uint16_t PlainPort() const { return plainPort_; }
  uint16_t SecurePort() const { return securePort_; }
  // Like PlainPort(), but AUTH offers LOGIN only.
  uint16_t LoginPort() const { return loginPort_; }
  const std::string& CaFile() const { return caFile_; }
  const std::string& User() const { return user_; }
  const std::string& Password() const { return password_; }

  // Removes every delivered message.
  void ClearMail();
  // Waits (up to ten seconds) until `count` messages are delivered; returns
  // what is there then, oldest first.
  std::vector<std::string> WaitForMail(size_t count) const;
  // The server's log so far (for failure messages).
  std::string Log() const;

 private:
  bool Start(std::string* why);
  void Stop();
  std::vector<std::string> Mail() const;

  bool ready_ = false;
  std::string error_;
  std::string dir_;
  std::string caFile_;
  std::string user_ = "smtpuser";
  std::string password_ = "smtp-secret-9";
  uint16_t plainPort_ = 0;
  uint16_t securePort_ = 0;
  uint16_t loginPort_ = 0;
  int dovecotPid_ = -1;
  int postfixPid_ = -1;
};

}  // namespace qv::test
