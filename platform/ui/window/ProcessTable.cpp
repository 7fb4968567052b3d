// The device's table of top-level windows: one file per window in the
// kernel's folder below the device root, holding its class, title, process,
// thread and module path, so that a second start of the program finds the
// first. A window of another process is reached by a datagram to that
// process's socket; the socket's reader posts it there as a local message.
// Files of processes that ended are dropped when next read.
#include "platform/ui/window/ProcessTable.h"

#include <dirent.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "platform/base/WideText.h"
#include "platform/kernel/DevicePath.h"
#include "platform/kernel/Library.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/queue/ThreadQueue.h"

namespace qv::ui {
namespace {

// What travels between processes: integers only.
struct Datagram {
  uint64_t hwnd;
  uint32_t message;
  uint32_t reserved;
  uint64_t wParam;
  int64_t lParam;
};

std::string HexOf(HWND hwnd) {
  char name[32];
  std::snprintf(name, sizeof name, "%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hwnd)));
  return name;
}

std::string TableDir() { return kernel::KernelDir("windows"); }

// The socket address of a process (abstract: it goes with the process).
sockaddr_un AddressOf(DWORD pid, socklen_t* size) {
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  const int n = std::snprintf(a.sun_path + 1, sizeof a.sun_path - 1, "qvui.%u", static_cast<unsigned>(pid));
  *size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
  return a;
}

// Reads datagrams for this process's windows for as long as it lives.
void StartReader() {
  static std::once_flag once;
  std::call_once(once, [] {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    socklen_t size = 0;
    sockaddr_un a = AddressOf(static_cast<DWORD>(::getpid()), &size);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), size) != 0) {
      if (fd >= 0) ::close(fd);
      return;
    }
    std::thread([fd] {
      Datagram d{};
      for (;;) {
        const ssize_t n = ::recv(fd, &d, sizeof d, 0);
        if (n != static_cast<ssize_t>(sizeof d)) {
          if (n < 0 && errno != EINTR) return;
          continue;
        }
        HWND hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(d.hwnd));
        if (d.message == kActivateRequest) {
          SetForegroundWindow(hwnd);
        } else {
          PostMessageW(hwnd, d.message, static_cast<WPARAM>(d.wParam), static_cast<LPARAM>(d.lParam));
        }
      }
    }).detach();
  });
}

std::wstring ModulePath() {
  WCHAR path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

bool Alive(DWORD pid) { return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }

// Fields are kept apart by zero bytes: titles may hold line breaks.
bool Parse(const std::string& bytes, ForeignWindow* out) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(bytes);
  while (std::getline(in, field, '\0')) fields.push_back(field);
  if (fields.size() < 5) return false;
  out->className = Utf8ToWide(fields[0]);
  out->title = Utf8ToWide(fields[1]);
  out->process = static_cast<DWORD>(std::strtoul(fields[2].c_str(), nullptr, 10));
  out->thread = static_cast<DWORD>(std::strtoul(fields[3].c_str(), nullptr, 10));
  out->module = Utf8ToWide(fields[4]);
  return true;
}

bool ReadEntry(const std::string& path, ForeignWindow* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream bytes;
  bytes << in.rdbuf();
  if (!Parse(bytes.str(), out)) return false;
  if (Alive(out->process)) return true;
  ::unlink(path.c_str());  // its process ended
  return false;
}

}  // namespace

void Publish(Window& w) {
  StartReader();
  if (w.published.empty()) w.published = TableDir() + "/" + HexOf(w.hwnd);
  std::string bytes;
  for (const std::string& f : {WideToUtf8(w.cls->name), WideToUtf8(w.text), std::to_string(::getpid()),
                               std::to_string(w.queue->thread), WideToUtf8(ModulePath())}) {
    bytes += f;
    bytes.push_back('\0');
  }
  kernel::ReplaceOwnHostFile(w.published, bytes);
}

void ForgetPublished(Window& w) {
  if (w.published.empty()) return;
  ::unlink(w.published.c_str());
  w.published.clear();
}

bool ReadForeign(HWND hwnd, ForeignWindow* out) {
  if (!IsForeignHandle(hwnd)) return false;
  return ReadEntry(TableDir() + "/" + HexOf(hwnd), out);
}

std::vector<HWND> ListForeign() {
  std::vector<HWND> out;
  const std::string dir = TableDir();
  DIR* d = ::opendir(dir.c_str());
  if (!d) return out;
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name.find('.') != std::string::npos) continue;
    HWND h = reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(name.c_str(), nullptr, 16)));
    ForeignWindow f;
    if (IsForeignHandle(h) && ReadEntry(dir + "/" + name, &f)) out.push_back(h);
  }
  ::closedir(d);
  return out;
}

HWND FindForeign(LPCWSTR className, LPCWSTR title) {
  const std::string dir = TableDir();
  DIR* d = ::opendir(dir.c_str());
  if (!d) return nullptr;
  HWND found = nullptr;
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name.find('.') != std::string::npos) continue;
    HWND h = reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(name.c_str(), nullptr, 16)));
    ForeignWindow f;
    if (!IsForeignHandle(h) || !ReadEntry(dir + "/" + name, &f)) continue;
    if ((!className || EqualNoCase(f.className, className)) && (!title || f.title == title)) {
      found = h;
      break;
    }
  }
  ::closedir(d);
  return found;
}

bool PostForeign(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ForeignWindow f;
  if (!ReadForeign(hwnd, &f)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  socklen_t size = 0;
  sockaddr_un a = AddressOf(f.process, &size);
  const Datagram d{reinterpret_cast<uintptr_t>(hwnd), message, 0, static_cast<uint64_t>(wParam),
                   static_cast<int64_t>(lParam)};
  const bool sent = ::sendto(fd, &d, sizeof d, 0, reinterpret_cast<sockaddr*>(&a), size) == sizeof d;
  ::close(fd);
  if (!sent) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return sent;
}

}  // namespace qv::ui
