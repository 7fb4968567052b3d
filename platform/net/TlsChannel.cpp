// TLS over our own descriptor BIO: it sends with MSG_NOSIGNAL (a peer that
// went away must not raise SIGPIPE in the process) and never blocks, so the
// socket can wait for the descriptor and its wake event together.
#include "platform/net/TlsChannel.h"

#include <arpa/inet.h>
#include <errno.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>

#include "platform/net/NetSeam.h"
// Last: OpenSSL through the table loaded on first use.
#include "platform/net/OpenSslCalls.h"

namespace qv::net {
namespace {

constexpr uint32_t kCertX509 = 1;
constexpr uint32_t kIssuerUnknown = 0x1;

// What the hook receives for the chain: {ULONG cbSize; BYTE* pBlobData}.
struct CertBlob {
  uint32_t cbSize;
  unsigned char* pBlobData;
};

int BioWrite(BIO* bio, const char* data, int length) {
  BIO_clear_retry_flags(bio);
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
  const ssize_t n = ::send(fd, data, static_cast<size_t>(length), MSG_NOSIGNAL);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) BIO_set_retry_write(bio);
  return static_cast<int>(n);
}

int BioRead(BIO* bio, char* data, int length) {
  BIO_clear_retry_flags(bio);
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
  const ssize_t n = ::recv(fd, data, static_cast<size_t>(length), 0);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) BIO_set_retry_read(bio);
  return static_cast<int>(n);
}

long BioCtrl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

int BioCreate(BIO* bio) {
  BIO_set_init(bio, 1);
  return 1;
}

BIO_METHOD* SocketMethod() {
  static BIO_METHOD* method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "qv socket");
    BIO_meth_set_write(m, BioWrite);
    BIO_meth_set_read(m, BioRead);
    BIO_meth_set_ctrl(m, BioCtrl);
    BIO_meth_set_create(m, BioCreate);
    return m;
  }();
  return method;
}

int ChannelIndex() {
  static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

// Chain problems seen while verifying, beside the leaf's own dates.
struct VerifyNotes {
  bool chainProblem = false;
  bool leafDates = false;
  bool hostMismatch = false;
};

int NotesIndex() {
  static const int index = X509_STORE_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

// Records every error and lets verification run on, so that the whole chain
// is judged once.
int CollectErrors(int ok, X509_STORE_CTX* store) {
  if (ok) return 1;
  auto* notes = static_cast<VerifyNotes*>(X509_STORE_CTX_get_ex_data(store, NotesIndex()));
  const int error = X509_STORE_CTX_get_error(store);
  const int depth = X509_STORE_CTX_get_error_depth(store);
  if (!notes) return 0;
  if (depth == 0 && (error == X509_V_ERR_CERT_HAS_EXPIRED || error == X509_V_ERR_CERT_NOT_YET_VALID)) {
    notes->leafDates = true;
  } else if (error == X509_V_ERR_HOSTNAME_MISMATCH || error == X509_V_ERR_IP_ADDRESS_MISMATCH) {
    notes->hostMismatch = true;
  } else {
    notes->chainProblem = true;
  }
  return 1;
}

int VerifyCallback(X509_STORE_CTX* store, void*) {
  SSL* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  auto* channel = ssl ? static_cast<TlsChannel*>(SSL_get_ex_data(ssl, ChannelIndex())) : nullptr;
  return channel ? channel->VerifyChain(store) : 0;
}

bool IsAddress(const std::string& name) {
  unsigned char buffer[16];
  return inet_pton(AF_INET, name.c_str(), buffer) == 1 || inet_pton(AF_INET6, name.c_str(), buffer) == 1;
}

// What the client context was made from: the tests' CA file by its name and
// bytes, and the system's trust file by its name and identity (a package
// update replaces it, or at least changes its time or size).
std::string TrustSources(const std::string& ca) {
  const char* fromEnv = std::getenv(X509_get_default_cert_file_env());
  const std::string system = fromEnv != nullptr ? fromEnv : X509_get_default_cert_file();
  std::string key = system;
  struct stat st{};
  if (::stat(system.c_str(), &st) == 0) {
    key += '\n' + std::to_string(st.st_dev) + ':' + std::to_string(st.st_ino) + ':' + std::to_string(st.st_size) +
           ':' + std::to_string(st.st_mtim.tv_sec) + '.' + std::to_string(st.st_mtim.tv_nsec);
  }
  key += '\n' + ca + '\n';
  if (!ca.empty()) {
    std::ifstream in(ca, std::ios::binary);
    key.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return key;
}

// The context every session starts from, with a reference of the caller's.
// Loading the system's trust store parses every certificate in it, which
// costs more than the handshake itself: it is loaded once and kept while its
// sources stay the same (a session holds on to the context it began with).
ssl_ctx_st* ClientContext() {
  static std::mutex lock;
  static SSL_CTX* shared = nullptr;
  static std::string sharedSources;
  const std::string ca = qv::net_seam::TrustedCaFile();
  const std::string sources = TrustSources(ca);
  std::lock_guard<std::mutex> hold(lock);
  if (shared == nullptr || sources != sharedSources) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (!ctx) return nullptr;
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_default_verify_paths(ctx);
    if (!ca.empty()) SSL_CTX_load_verify_locations(ctx, ca.c_str(), nullptr);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_cert_verify_callback(ctx, VerifyCallback, nullptr);
    if (shared != nullptr) SSL_CTX_free(shared);
    shared = ctx;
    sharedSources = sources;
  }
  SSL_CTX_up_ref(shared);
  return shared;
}

}  // namespace

TlsChannel::TlsChannel(int fd, const std::string& peerName, CertHook hook, void* hookArgument)
    : peerName_(peerName), hook_(hook), hookArgument_(hookArgument) {
  if (!LoadOpenSsl()) return;  // no OpenSSL here: the channel is never ready
  ctx_ = ClientContext();
  if (!ctx_) return;
  ssl_ = SSL_new(ctx_);
  BIO* bio = BIO_new(SocketMethod());
  if (!ssl_ || !bio) {
    BIO_free(bio);
    SSL_free(ssl_);
    ssl_ = nullptr;
    return;
  }
  BIO_set_data(bio, reinterpret_cast<void*>(static_cast<intptr_t>(fd)));
  SSL_set_bio(ssl_, bio, bio);
  SSL_set_ex_data(ssl_, ChannelIndex(), this);
  SSL_set_connect_state(ssl_);
  if (!peerName_.empty() && !IsAddress(peerName_)) SSL_set_tlsext_host_name(ssl_, peerName_.c_str());
  if (!hook_ && !peerName_.empty()) {
    // Without a hook the platform itself insists on the name.
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl_);
    if (IsAddress(peerName_)) {
      X509_VERIFY_PARAM_set1_ip_asc(param, peerName_.c_str());
    } else {
      X509_VERIFY_PARAM_set1_host(param, peerName_.c_str(), 0);
    }
  }
}

TlsChannel::~TlsChannel() {
  if (!ctx_) return;  // never set up (OpenSSL may not even be loaded)
  SSL_free(ssl_);
  SSL_CTX_free(ctx_);
}

int TlsChannel::VerifyChain(void* storeContext) {
  auto* store = static_cast<X509_STORE_CTX*>(storeContext);
  VerifyNotes notes;
  X509_STORE_CTX_set_ex_data(store, NotesIndex(), &notes);
  X509_STORE_CTX_set_verify_cb(store, CollectErrors);
  const int verified = X509_verify_cert(store);
  X509_STORE_CTX_set_ex_data(store, NotesIndex(), nullptr);
  if (verified <= 0) notes.chainProblem = true;
  X509* leaf = X509_STORE_CTX_get0_cert(store);
  if (!leaf) return 0;

  if (!hook_) {
    const bool clean = !notes.chainProblem && !notes.leafDates && !notes.hostMismatch && !peerName_.empty();
    if (!clean) X509_STORE_CTX_set_error(store, X509_V_ERR_APPLICATION_VERIFICATION);
    return clean ? 1 : 0;
  }
  unsigned char* der = nullptr;
  const int length = i2d_X509(leaf, &der);
  if (length <= 0) return 0;
  CertBlob blob{static_cast<uint32_t>(length), der};
  const uint32_t flags = notes.chainProblem ? kIssuerUnknown : 0;
  const uint32_t answer = hook_(kCertX509, hookArgument_, 1, &blob, flags);
  OPENSSL_free(der);
  if (answer != 0) {
    X509_STORE_CTX_set_error(store, X509_V_ERR_APPLICATION_VERIFICATION);
    return 0;
  }
  X509_STORE_CTX_set_error(store, X509_V_OK);
  return 1;
}

TlsChannel::Step TlsChannel::Classify(int result) {
  const int error = SSL_get_error(ssl_, result);
  Step step = Step::Failed;
  switch (error) {
    case SSL_ERROR_WANT_READ: step = Step::WantRead; break;
    case SSL_ERROR_WANT_WRITE: step = Step::WantWrite; break;
    case SSL_ERROR_ZERO_RETURN: step = Step::Closed; break;
    case SSL_ERROR_SYSCALL: step = result == 0 ? Step::Closed : Step::Failed; break;
    case SSL_ERROR_SSL:
      // OpenSSL 3 reports a close without close_notify as a protocol error.
      if (ERR_GET_REASON(ERR_peek_last_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING) step = Step::Closed;
      break;
    default: break;
  }
  ERR_clear_error();
  return step;
}

TlsChannel::Step TlsChannel::Handshake() {
  ERR_clear_error();
  const int r = SSL_do_handshake(ssl_);
  return r == 1 ? Step::Done : Classify(r);
}

TlsChannel::Step TlsChannel::Read(char* data, int length, bool peek, int* received) {
  *received = 0;
  ERR_clear_error();
  size_t n = 0;
  const int r = peek ? SSL_peek_ex(ssl_, data, static_cast<size_t>(length), &n)
                     : SSL_read_ex(ssl_, data, static_cast<size_t>(length), &n);
  if (r == 1) {
    *received = static_cast<int>(n);
    return Step::Done;
  }
  return Classify(r);
}

TlsChannel::Step TlsChannel::Write(const char* data, int length, int* sent) {
  *sent = 0;
  ERR_clear_error();
  size_t n = 0;
  const int r = SSL_write_ex(ssl_, data, static_cast<size_t>(length), &n);
  if (r == 1) {
    *sent = static_cast<int>(n);
    return Step::Done;
  }
  return Classify(r);
}

uint32_t TlsChannel::PendingBytes() const {
  const int n = ssl_ ? SSL_pending(ssl_) : 0;
  return n > 0 ? static_cast<uint32_t>(n) : 0;
}

void TlsChannel::Close() {
  if (closed_ || !ssl_) return;
  closed_ = true;
  ERR_clear_error();
  SSL_shutdown(ssl_);
  ERR_clear_error();
}

}  // namespace qv::net
