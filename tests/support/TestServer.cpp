#include "tests/support/TestServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/TempFolder.h"

namespace qv::test {

struct TestServer::Step {
  enum Kind { Send, Expect, Read, Pause, Tls, Drop, Close, Stall } kind;
  std::string text;
  int ms = 0;
  std::string certPem, keyPem, caPem;
};

namespace {

constexpr int kReadTimeoutSeconds = 5;

TestServer::Step* MakeStep(int kind, std::string text = {}, int ms = 0) {
  auto* step = new TestServer::Step;
  step->kind = static_cast<decltype(step->kind)>(kind);
  step->text = std::move(text);
  step->ms = ms;
  return step;
}

struct Connection {
  int fd = -1;
  SSL_CTX* ctx = nullptr;
  SSL* ssl = nullptr;
  std::string buffer;
  ~Connection() {
    SSL_free(ssl);
    SSL_CTX_free(ctx);
    if (fd >= 0) ::close(fd);
  }
};

// Reads some bytes: >0, 0 at the end, <0 on failure or time-out.
int ReadSome(Connection& c, char* data, int length) {
  if (c.ssl) return SSL_read(c.ssl, data, length);
  return static_cast<int>(::recv(c.fd, data, static_cast<size_t>(length), 0));
}

bool WriteAll(Connection& c, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const int n = c.ssl ? SSL_write(c.ssl, bytes.data() + done, static_cast<int>(bytes.size() - done))
                        : static_cast<int>(::send(c.fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL));
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool ReadOneLine(Connection& c, std::string* line) {
  for (;;) {
    const size_t eol = c.buffer.find('\n');
    if (eol != std::string::npos) {
      *line = c.buffer.substr(0, eol);
      c.buffer.erase(0, eol + 1);
      if (!line->empty() && line->back() == '\r') line->pop_back();
      return true;
    }
    char chunk[4096];
    const int n = ReadSome(c, chunk, sizeof chunk);
    if (n <= 0) return false;
    c.buffer.append(chunk, static_cast<size_t>(n));
  }
}

bool LoadPem(SSL_CTX* ctx, const std::string& certPem, const std::string& keyPem, const std::string& caPem) {
  BIO* cb = BIO_new_mem_buf(certPem.data(), static_cast<int>(certPem.size()));
  BIO* kb = BIO_new_mem_buf(keyPem.data(), static_cast<int>(keyPem.size()));
  X509* cert = PEM_read_bio_X509(cb, nullptr, nullptr, nullptr);
  EVP_PKEY* key = PEM_read_bio_PrivateKey(kb, nullptr, nullptr, nullptr);
  bool ok = cert && key && SSL_CTX_use_certificate(ctx, cert) == 1 && SSL_CTX_use_PrivateKey(ctx, key) == 1;
  X509_free(cert);
  EVP_PKEY_free(key);
  BIO_free(cb);
  BIO_free(kb);
  if (ok && !caPem.empty()) {
    BIO* ab = BIO_new_mem_buf(caPem.data(), static_cast<int>(caPem.size()));
    X509* ca = PEM_read_bio_X509(ab, nullptr, nullptr, nullptr);
    ok = ca && SSL_CTX_add_extra_chain_cert(ctx, ca) == 1;  // takes ownership
    if (!ok) X509_free(ca);
    BIO_free(ab);
  }
  return ok;
}

}  // namespace

TestServer::TestServer() {
  ::signal(SIGPIPE, SIG_IGN);
  listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) < 0 || ::listen(listen_, 8) < 0 ||
      ::getsockname(listen_, reinterpret_cast<sockaddr*>(&sa), &len) < 0) {
    error_ = "cannot listen";
    return;
  }
  port_ = ntohs(sa.sin_port);
}

TestServer::~TestServer() {
  stopping_ = true;
  const int fd = current_.load();
  if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
  if (listen_ >= 0) ::shutdown(listen_, SHUT_RDWR);
  if (thread_.joinable()) thread_.join();
  if (listen_ >= 0) ::close(listen_);
  for (Step* s : steps_) delete s;
}

TestServer& TestServer::Send(std::string bytes) {
  steps_.push_back(MakeStep(Step::Send, std::move(bytes)));
  return *this;
}
TestServer& TestServer::ExpectLine(std::string line) {
  steps_.push_back(MakeStep(Step::Expect, std::move(line)));
  return *this;
}
TestServer& TestServer::ReadLine() {
  steps_.push_back(MakeStep(Step::Read));
  return *this;
}
TestServer& TestServer::Pause(int milliseconds) {
  steps_.push_back(MakeStep(Step::Pause, {}, milliseconds));
  return *this;
}
TestServer& TestServer::StartTls(const TestCert& cert, const TestCert* chainCa) {
  Step* step = MakeStep(Step::Tls);
  step->certPem = cert.certPem;
  step->keyPem = cert.keyPem;
  step->caPem = chainCa ? chainCa->certPem : "";
  steps_.push_back(step);
  return *this;
}
TestServer& TestServer::Drop() {
  steps_.push_back(MakeStep(Step::Drop));
  return *this;
}
TestServer& TestServer::Close() {
  steps_.push_back(MakeStep(Step::Close));
  return *this;
}
TestServer& TestServer::Stall() {
  steps_.push_back(MakeStep(Step::Stall));
  return *this;
}

void TestServer::Start(int connections) {
  thread_ = std::thread([this, connections] { Run(connections); });
}

void TestServer::Fail(const std::string& what) {
  std::lock_guard<std::mutex> g(lock_);
  if (error_.empty()) error_ = what;
}

void TestServer::Run(int connections) {
  for (int i = 0; i < connections && !stopping_; ++i) {
    const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (!stopping_) Fail("accept failed");
      break;
    }
    timeval tv{readTimeoutSeconds_ > 0 ? readTimeoutSeconds_ : kReadTimeoutSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    current_ = fd;
    if (!RunScript(fd)) break;
  }
  std::lock_guard<std::mutex> g(lock_);
  finished_ = true;
  done_.notify_all();
}

bool TestServer::RunScript(int fd) {
  Connection c;
  c.fd = fd;
  for (const Step* s : steps_) {
    if (stopping_) break;
    switch (s->kind) {
      case Step::Send:
        if (!WriteAll(c, s->text)) {
          Fail("send failed");
          return false;
        }
        break;
      case Step::Expect:
      case Step::Read: {
        std::string line;
        if (!ReadOneLine(c, &line)) {
          Fail(s->kind == Step::Expect ? "no line, expected: " + s->text : "no line");
          return false;
        }
        {
          std::lock_guard<std::mutex> g(lock_);
          lines_.push_back(line);
        }
        if (s->kind == Step::Expect && line != s->text) {
          Fail("expected: " + s->text + " got: " + line);
          return false;
        }
        break;
      }
      case Step::Pause:
        std::this_thread::sleep_for(std::chrono::milliseconds(s->ms));
        break;
      case Step::Tls: {
        c.ctx = SSL_CTX_new(TLS_server_method());
        if (!c.ctx || !LoadPem(c.ctx, s->certPem, s->keyPem, s->caPem)) {
          Fail("TLS set-up failed");
          return false;
        }
        c.ssl = SSL_new(c.ctx);
        SSL_set_fd(c.ssl, fd);
        if (SSL_accept(c.ssl) != 1) {
          ERR_clear_error();
          Fail("TLS handshake failed");
          SSL_free(c.ssl);
          c.ssl = nullptr;
          return true;
        }
        const char* name = SSL_get_servername(c.ssl, TLSEXT_NAMETYPE_host_name);
        {
          std::lock_guard<std::mutex> g(lock_);
          serverName_ = name ? name : "";
        }
        ++handshakes_;
        break;
      }
      case Step::Drop: {
        linger l{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        SSL_free(c.ssl);
        c.ssl = nullptr;
        current_ = -1;
        ::close(c.fd);
        c.fd = -1;
        return true;
      }
      case Step::Close:
        if (c.ssl) SSL_shutdown(c.ssl);
        ::shutdown(fd, SHUT_WR);
        break;
      case Step::Stall: {
        char chunk[4096];
        while (!stopping_) {
          const int n = ReadSome(c, chunk, sizeof chunk);
          if (n == 0) break;
          if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && !c.ssl) break;
          if (n < 0 && c.ssl && SSL_get_error(c.ssl, n) != SSL_ERROR_WANT_READ && errno != EAGAIN) break;
          ERR_clear_error();
        }
        break;
      }
    }
  }
  current_ = -1;
  return true;
}

bool TestServer::Finish(int milliseconds) {
  std::unique_lock<std::mutex> g(lock_);
  const bool ended = done_.wait_for(g, std::chrono::milliseconds(milliseconds), [this] { return finished_; });
  return ended && error_.empty();
}

std::vector<std::string> TestServer::Lines() const {
  std::lock_guard<std::mutex> g(lock_);
  return lines_;
}

std::string TestServer::Error() const {
  std::lock_guard<std::mutex> g(lock_);
  return error_;
}

std::string TestServer::ServerName() const {
  std::lock_guard<std::mutex> g(lock_);
  return serverName_;
}

OpensslPeer::OpensslPeer(const TestCert& cert) {
  dir_ = MakeTempFolder("qvpeer");
  if (dir_.empty()) {
    error_ = "no temp folder";
    return;
  }
  const std::string certPath = dir_ + "/cert.pem", keyPath = dir_ + "/key.pem";
  if (!cert.WritePem(certPath, keyPath)) {
    error_ = "cannot write the certificate";
    return;
  }
  // A free port: the kernel's pick, released just before the peer takes it.
  const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  ::bind(probe, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  ::getsockname(probe, reinterpret_cast<sockaddr*>(&sa), &len);
  port_ = ntohs(sa.sin_port);
  ::close(probe);

  // Its output goes to a file: a pipe closed after start-up would end it at
  // its next line.
  const std::string outPath = dir_ + "/out.txt";
  const std::string accept = "127.0.0.1:" + std::to_string(port_);
  pid_ = ::fork();
  if (pid_ == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    ::execlp("openssl", "openssl", "s_server", "-rev", "-accept", accept.c_str(), "-cert", certPath.c_str(), "-key",
             keyPath.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Ready once it says ACCEPT.
  std::string said;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (pid_ > 0 && said.find("ACCEPT") == std::string::npos && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::ifstream in(outPath, std::ios::binary);
    said.assign(std::istreambuf_iterator<char>(in), {});
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      break;
    }
  }
  ready_ = said.find("ACCEPT") != std::string::npos;
  if (!ready_) error_ = "openssl s_server did not start: " + said;
}

OpensslPeer::~OpensslPeer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
}

}  // namespace qv::test
