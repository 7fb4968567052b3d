#include <dlfcn.h>

#include "platform/inet/CurlLibrary.h"

namespace qv::inet {
namespace {

struct Loaded {
  CurlLibrary library;
  bool ok = false;
};

const Loaded& Load() {
  static const Loaded loaded = [] {
    Loaded l;
    // Never closed: libcurl's global state and its TLS library's stay for the process.
    void* handle = ::dlopen(kCurlLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return l;
    bool complete = true;
#define QV_CURL_RESOLVE(member, function)                                                  \
  l.library.member = reinterpret_cast<decltype(&::function)>(::dlsym(handle, #function)); \
  complete = complete && l.library.member != nullptr;
    QV_CURL_FUNCTIONS(QV_CURL_RESOLVE)
#undef QV_CURL_RESOLVE
    // The global set-up, once, before any transfer of any thread.
    l.ok = complete && l.library.global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return l;
  }();
  return loaded;
}

}  // namespace

const CurlLibrary* LoadCurl() {
  const Loaded& l = Load();
  return l.ok ? &l.library : nullptr;
}

const CurlLibrary& Curl() { return Load().library; }

}  // namespace qv::inet
