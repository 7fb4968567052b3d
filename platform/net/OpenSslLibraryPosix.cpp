#include <dlfcn.h>

#include "platform/net/OpenSslLibrary.h"

namespace qv::net {
namespace {

struct Loaded {
  OpenSslLibrary library;
  bool ok = false;
};

const Loaded& Load() {
  static const Loaded loaded = [] {
    Loaded l;
    // Never closed: OpenSSL keeps its state (and its exit handler) for the
    // process. A search from libssl covers libcrypto, which it needs.
    void* ssl = ::dlopen(kSslLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (ssl == nullptr) return l;
    bool complete = true;
#define QV_OPENSSL_RESOLVE(function)                                                     \
  l.library.function = reinterpret_cast<decltype(&::function)>(::dlsym(ssl, #function)); \
  complete = complete && l.library.function != nullptr;
    QV_OPENSSL_FUNCTIONS(QV_OPENSSL_RESOLVE)
#undef QV_OPENSSL_RESOLVE
    l.ok = complete;
    return l;
  }();
  return loaded;
}

}  // namespace

const OpenSslLibrary* LoadOpenSsl() {
  const Loaded& l = Load();
  return l.ok ? &l.library : nullptr;
}

const OpenSslLibrary& OpenSsl() { return Load().library; }

}  // namespace qv::net
