// A loopback relay between the client and dovecot that holds the client's
// session at one command: once the client sends `hold` (say "RETR 2\r\n"),
// that command and whatever follows it wait in the relay until the test
// releases them, so that a test can abort the run at a known point. It reads
// the session in clear: before the login it hides dovecot's STLS offer.
// One session; a second connection is refused.
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

namespace qv::test {

class HoldingRelay {
 public:
  HoldingRelay(uint16_t target, std::string hold) : target_(target), hold_(std::move(hold)) {
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
  ~HoldingRelay() {
    stop_ = true;
    thread_.join();
    ::close(listen_);
  }
  uint16_t Port() const { return port_; }
  // The client sent the command held.
  bool Held() const { return held_; }
  void Release() { released_ = true; }

 private:
  static bool Ready(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
  }
  void Run() {
    while (!stop_ && !Ready(listen_, 20)) {
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
  static bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
      const ssize_t n = ::write(fd, data, size);
      if (n <= 0) return false;
      data += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }
  void Pump(int client, int server) {
    std::string sent;
    std::string waiting;
    char buffer[65536];
    while (!stop_) {
      if (held_ && released_ && !waiting.empty()) {
        if (!WriteAll(server, waiting.data(), waiting.size())) return;
        waiting.clear();
      }
      pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
      if (::poll(p, 2, 20) <= 0) continue;
      if (p[1].revents) {
        const ssize_t n = ::read(server, buffer, sizeof buffer);
        if (n <= 0) return;
        if (sent.find("USER ") == std::string::npos) {
          std::string_view bytes(buffer, static_cast<size_t>(n));
          for (size_t at = bytes.find("STLS\r\n"); at != std::string_view::npos; at = bytes.find("STLS\r\n", at + 1)) {
            buffer[at] = 'X';
          }
        }
        if (!WriteAll(client, buffer, static_cast<size_t>(n))) return;
      }
      if (p[0].revents) {
        const ssize_t n = ::read(client, buffer, sizeof buffer);
        if (n <= 0) return;
        if (held_ && !released_) {
          waiting.append(buffer, static_cast<size_t>(n));
          continue;
        }
        const size_t before = sent.size();
        sent.append(buffer, static_cast<size_t>(n));
        size_t pass = static_cast<size_t>(n);
        if (!held_) {
          const size_t at = sent.find(hold_, before >= hold_.size() ? before - hold_.size() : 0);
          if (at != std::string::npos) {
            pass = at > before ? at - before : 0;
            waiting.assign(buffer + pass, static_cast<size_t>(n) - pass);
            held_ = true;
          }
        }
        if (pass && !WriteAll(server, buffer, pass)) return;
      }
    }
  }

  uint16_t target_;
  std::string hold_;
  int listen_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> held_{false};
  std::atomic<bool> released_{false};
  std::thread thread_;
};

}  // namespace qv::test
