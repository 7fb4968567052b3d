// A real POP3 server for the protocol tests: dovecot on loopback, in its own
// temp folder with its own configuration, started once per test program and
// stopped (kill and wait) when the program ends. It serves POP3 with UIDL,
// TOP and APOP (plain passwords), a plain listener with STLS and an
// implicit-TLS listener whose certificate (for "pop.example.com" and
// "localhost") is signed by a test CA.
//
//   qv::test::DovecotPeer& peer = qv::test::DovecotPeer::Shared();
//   ASSERT_TRUE(peer.Ready()) << peer.Error();
//   std::string user = peer.NewMailbox();            // password: peer.Password()
//   peer.AddMessage(user, "From: a@b\r\n\r\nhello\r\n");
//   ... connect to 127.0.0.1:peer.PlainPort() ...
//
// Mail is put into the maildir by writing files directly. When run as root the
// mail belongs to "nobody" and the login processes run as dovecot's own
// unprivileged users; otherwise everything runs as the calling user.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/TestCerts.h"

namespace qv::test {

class DovecotPeer {
 public:
  // The one peer of this test program, started on first use.
  static DovecotPeer& Shared();

  DovecotPeer();
  ~DovecotPeer();
  DovecotPeer(const DovecotPeer&) = delete;
  DovecotPeer& operator=(const DovecotPeer&) = delete;

  bool Ready() const { return ready_; }
  const std::string& Error() const { return error_; }
  uint16_t PlainPort() const { return plainPort_; }
  uint16_t SecurePort() const { return securePort_; }
  // The CA that signed the server certificate, as a PEM file (host path).
  const std::string& CaFile() const { return caFile_; }
  const std::string& Password() const { return password_; }

  // A user with an empty mailbox of its own (no other test touches it).
  std::string NewMailbox();
  // Empties a mailbox and forgets its UIDs, for a test that runs many rounds
  // (the peer has a fixed number of users).
  void ResetMailbox(const std::string& user);
  // Writes one message into the user's maildir ("new"), in the order given.
  void AddMessage(const std::string& user, const std::string& text);
  // Number of messages left in the user's maildir.
  int MessageCount(const std::string& user) const;
  // The server's log so far (for failure messages).
  std::string Log() const;

 private:
  void MakeMailbox(const std::string& user);
  bool Start(std::string* why);
  void Stop();
  std::string MaildirOf(const std::string& user) const;

  bool ready_ = false;
  std::string error_;
  std::string dir_;
  std::string caFile_;
  std::string password_ = "pop-secret-7";
  uint16_t plainPort_ = 0;
  uint16_t securePort_ = 0;
  int pid_ = -1;
  int users_ = 0;
  int nextUser_ = 0;
  int sequence_ = 0;
  unsigned mailUid_ = 0;
  unsigned mailGid_ = 0;
};

}  // namespace qv::test
