// Device library names over dlopen. A path to an existing file loads that
// file. Otherwise, search order for "NAME.dll": the device
// root's "\Windows\NAME.so", a registered alias, "libNAME.so" beside the
// program, beside this platform library, in each folder of
// $QVMAIL_LIBRARY_PATH, then dlopen's own search.
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <mutex>

#include "platform/base/WideText.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/HostRead.h"
#include "platform/kernel/Library.h"
#include "platform/kernel/PosixError.h"

namespace {

struct Aliases {
  std::mutex lock;
  std::map<std::wstring, std::string> byName;  // folded device name -> .so path ("" = the process)
};

Aliases& A() {
  static auto* a = new Aliases;
  return *a;
}

// "\Windows\KxPhoneStatus.dll" -> "KxPhoneStatus.dll"
std::wstring BaseName(std::wstring_view name) {
  const size_t slash = name.find_last_of(L"\\/");
  return std::wstring(slash == std::wstring_view::npos ? name : name.substr(slash + 1));
}

std::wstring Stem(const std::wstring& base) {
  const size_t dot = base.find_last_of(L'.');
  return dot == std::wstring::npos ? base : base.substr(0, dot);
}

bool IsFile(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ProgramDir() {
  char buf[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  const std::string exe(buf, static_cast<size_t>(n));
  return exe.substr(0, exe.find_last_of('/'));
}

std::string PlatformDir() {
  Dl_info info{};
  if (!::dladdr(reinterpret_cast<void*>(&LoadLibraryW), &info) || !info.dli_fname) return ".";
  const std::string lib = info.dli_fname;
  const size_t slash = lib.find_last_of('/');
  return slash == std::string::npos ? "." : lib.substr(0, slash);
}

void* Open(const char* path) { return ::dlopen(path, RTLD_NOW | RTLD_LOCAL); }

}  // namespace

namespace qv {

void RegisterLibraryAlias(LPCWSTR deviceName, const char* soPath) {
  if (!deviceName) return;
  std::lock_guard<std::mutex> g(A().lock);
  A().byName[FoldCase(BaseName(deviceName))] = soPath ? soPath : "";
}

bool ReadProgramFile(LPCWSTR name, std::string* bytes, size_t limit) {
  bytes->clear();
  const std::wstring_view bare = name ? std::wstring_view(name) : std::wstring_view();
  if (bare.empty() || bare == L"." || bare == L".." || bare.find_first_of(L"\\/") != std::wstring_view::npos) {
    return kernel::Fail(ERROR_INVALID_NAME) != FALSE;
  }
  const std::string path = ProgramDir() + "/" + WideToUtf8(bare);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return kernel::FailErrno(path) != FALSE;
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return kernel::Fail(ERROR_FILE_NOT_FOUND) != FALSE;
  }
  const bool read = kernel::ReadToEnd(fd, bytes, limit);
  if (!read) {
    kernel::FailErrno(path);
    bytes->clear();
  }
  ::close(fd);
  if (!read) return false;
  SetLastError(0);
  return true;
}

}  // namespace qv

extern "C" {

HMODULE LoadLibraryW(LPCWSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::wstring base = BaseName(name);
  const std::string stem = qv::WideToUtf8(Stem(base));
  std::string host;
  // A path names that very file (a plug-in found in its folder); only where
  // no such file is does the name fall back to the search below.
  if (base.size() != std::wcslen(name) && qv::DeviceToHostPath(name, &host) && IsFile(host)) {
    if (void* h = Open(host.c_str())) return static_cast<HMODULE>(h);
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (qv::DeviceToHostPath(L"\\Windows\\" + Stem(base) + L".so", &host) && IsFile(host)) {
    if (void* h = Open(host.c_str())) return static_cast<HMODULE>(h);
  }
  {
    std::unique_lock<std::mutex> g(A().lock);
    auto it = A().byName.find(qv::FoldCase(base));
    if (it == A().byName.end()) it = A().byName.find(qv::FoldCase(Stem(base)));
    if (it != A().byName.end()) {
      const std::string so = it->second;
      g.unlock();
      if (void* h = Open(so.empty() ? nullptr : so.c_str())) return static_cast<HMODULE>(h);
    }
  }
  const std::string file = "lib" + stem + ".so";
  std::string dirs = ProgramDir() + ":" + PlatformDir();
  if (const char* extra = ::getenv("QVMAIL_LIBRARY_PATH")) dirs += std::string(":") + extra;
  for (size_t start = 0; start <= dirs.size();) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string path = dirs.substr(start, end - start) + "/" + file;
    if (end > start && IsFile(path)) {
      if (void* h = Open(path.c_str())) return static_cast<HMODULE>(h);
    }
    start = end + 1;
  }
  if (void* h = Open(file.c_str())) return static_cast<HMODULE>(h);
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
  if (!module || ::dlclose(module) != 0) return qv::kernel::Fail(ERROR_INVALID_HANDLE);
  return TRUE;
}

FARPROC GetProcAddressA(HMODULE module, LPCSTR name) {
  if (!module) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const auto value = reinterpret_cast<uintptr_t>(name);
  const std::string symbol = value < 0x10000 ? "ordinal_" + std::to_string(value) : std::string(name);
  ::dlerror();
  void* p = ::dlsym(module, symbol.c_str());
  if (!p) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(p);
}

FARPROC GetProcAddressW(HMODULE module, LPCWSTR name) {
  const auto value = reinterpret_cast<uintptr_t>(name);
  if (value < 0x10000) return GetProcAddressA(module, reinterpret_cast<LPCSTR>(value));
  return GetProcAddressA(module, qv::WideToUtf8(name).c_str());
}

// The module's file as a device path when it lies below the device root,
// else as its host path.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR out, DWORD size) {
  std::string path;
  link_map* map = nullptr;
  if (module && ::dlinfo(module, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && *map->l_name) {
    path = map->l_name;
  } else {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) path.assign(buf, static_cast<size_t>(n));
  }
  const std::string root = qv::DeviceRoot() + "/";
  std::wstring text;
  if (path.compare(0, root.size(), root) == 0) {
    text = qv::HostToDevicePath(path);
  } else {
    text = qv::Utf8ToWide(path);
  }
  if (!out || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (text.size() >= size) {
    std::copy_n(text.begin(), size - 1, out);
    out[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::copy(text.begin(), text.end(), out);
  out[text.size()] = 0;
  SetLastError(0);
  return static_cast<DWORD>(text.size());
}

}  // extern "C"
