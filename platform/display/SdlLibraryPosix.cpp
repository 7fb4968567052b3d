#include <dlfcn.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "platform/display/SdlLibrary.h"

namespace qv::display {
namespace {

struct Loaded {
  SdlLibrary library;
  bool ok = false;
  std::string failure;
};

// The loader's own words, on one line.
std::string LoaderError() {
  const char* e = ::dlerror();
  std::string text = e ? e : "unknown error";
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

const Loaded& Load() {
  static const Loaded loaded = [] {
    Loaded l;
    // Never closed: SDL and the desktop's libraries keep state for the process.
    void* handle = ::dlopen(kSdlLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      l.failure = std::string(kSdlLibraryName) + " cannot be loaded: " + LoaderError();
      return l;
    }
#define QV_SDL_RESOLVE(member, function)                                                   \
  if (l.failure.empty()) {                                                                 \
    l.library.member = reinterpret_cast<decltype(&::function)>(::dlsym(handle, #function)); \
    if (!l.library.member) l.failure = std::string(kSdlLibraryName) + " lacks " #function; \
  }
    QV_SDL_FUNCTIONS(QV_SDL_RESOLVE)
#undef QV_SDL_RESOLVE
    l.ok = l.failure.empty();
    return l;
  }();
  return loaded;
}

}  // namespace

const SdlLibrary* LoadSdl() {
  const Loaded& l = Load();
  return l.ok ? &l.library : nullptr;
}

std::string SdlLoadFailure() { return Load().failure; }

void KeepSdlFromLaunchingABus() {
  if (::getenv("DBUS_SESSION_BUS_ADDRESS") != nullptr) return;
  // The D-Bus library's own second place to look: the user's bus socket.
  if (const char* runtime = ::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
    struct stat st {};
    if (::stat((std::string(runtime) + "/bus").c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) return;
  }
  ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 0);
}

}  // namespace qv::display
