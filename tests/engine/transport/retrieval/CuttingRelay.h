// A loopback relay between the client and dovecot that plays a data link
// going down: once the client sends `cut` (say "RETR 101\r\n"), nothing more
// of its goes through and the Connection Manager reports the connection
// gone, while what the server already owes still arrives. It reads the
// session in clear: before the login it hides dovecot's STLS offer, as
// someone on the way could (the client then logs in without TLS).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <string_view>
#include <thread>

#include "platform/net/ConnMgr.h"
#include "platform/testing/Seams.h"

namespace qv::test {

class CuttingRelay {
 public:
  CuttingRelay(uint16_t target, std::string cut) : target_(target), cut_(std::move(cut)) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listen_, 1);
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &size);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~CuttingRelay() {
    stop_ = true;
    thread_.join();
    ::close(listen_);
  }
  uint16_t Port() const { return port_; }
  bool Cut() const { return cutDone_; }

 private:
  static bool Ready(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
  }
  void Run() {
    while (!stop_ && !Ready(listen_, 50)) {
    }
    if (stop_) return;
    const int client = ::accept(listen_, nullptr, nullptr);
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(target_);
    if (::connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) Pump(client, server);
    ::close(server);
    ::close(client);
  }
  void Pump(int client, int server) {
    std::string sent;
    char buffer[65536];
    while (!stop_) {
      pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
      if (::poll(p, 2, 50) <= 0) continue;
      if (p[1].revents) {
        const ssize_t n = ::read(server, buffer, sizeof buffer);
        if (n <= 0) return;
        if (sent.find("USER ") == std::string::npos) {
          std::string_view bytes(buffer, static_cast<size_t>(n));
          for (size_t at = bytes.find("STLS\r\n"); at != std::string_view::npos; at = bytes.find("STLS\r\n", at + 1)) {
            buffer[at] = 'X';
          }
        }
        if (::write(client, buffer, static_cast<size_t>(n)) != n) return;
      }
      if (p[0].revents) {
        const ssize_t n = ::read(client, buffer, sizeof buffer);
        if (n <= 0) return;
        if (cutDone_) continue;
        const size_t before = sent.size();
        sent.append(buffer, static_cast<size_t>(n));
        size_t pass = static_cast<size_t>(n);
        const size_t at = sent.find(cut_, before >= cut_.size() ? before - cut_.size() : 0);
        if (at != std::string::npos) {
          pass = at > before ? at - before : 0;
          cutDone_ = true;
          qv::seams::SetConnMgrStatus(CONNMGR_STATUS_DISCONNECTED);
        }
        if (pass && ::write(server, buffer, pass) != static_cast<ssize_t>(pass)) return;
      }
    }
  }

  uint16_t target_;
  std::string cut_;
  int listen_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> cutDone_{false};
  std::thread thread_;
};

}  // namespace qv::test
