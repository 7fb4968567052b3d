#include "platform/shell/HandOffPosix.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string_view>
#include <thread>

#include "platform/kernel/KernelObject.h"
#include "platform/kernel/PosixError.h"

extern char** environ;

namespace qv::shell {
namespace {

void ReapLater(pid_t pid) {
  std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
}

// Signalled once the child has ended; the child is reaped by the first wait
// that sees it ended, or in the background when the last handle goes.
class ProcessObject final : public qv::kernel::Waitable {
 public:
  explicit ProcessObject(pid_t pid) : pid_(pid) {}
  ~ProcessObject() override {
    if (!ended_) ReapLater(pid_);
  }
  bool TryAcquire() override {
    if (!ended_ && ::waitpid(pid_, nullptr, WNOHANG) == pid_) ended_ = true;
    return ended_;
  }
  bool Polled() const override { return true; }

 private:
  pid_t pid_;
  bool ended_ = false;
};

}  // namespace

pid_t StartHostProgram(const std::vector<std::string>& argv, bool search, bool keep, const std::string& deviceRoot) {
  static const std::string kRootName = "QVMAIL_DEVICE_ROOT=";
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (deviceRoot.empty() || std::string_view(*e).substr(0, kRootName.size()) != kRootName) env.emplace_back(*e);
  }
  if (!deviceRoot.empty()) env.push_back(kRootName + deviceRoot);
  std::vector<char*> envp;
  for (std::string& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd : {0, 1, 2}) posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // Its own process group: the desktop's program outlives a cancelled run of ours.
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  pid_t pid = -1;
  const int rc = search ? posix_spawnp(&pid, args[0], &actions, &attr, args.data(), envp.data())
                        : posix_spawn(&pid, args[0], &actions, &attr, args.data(), envp.data());
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    SetLastError(qv::kernel::Win32Error(rc));
    return -1;
  }
  if (!keep) ReapLater(pid);
  return pid;
}

bool HostFileViewable(const std::string& hostPath) {
  struct stat st{};
  if (::stat(hostPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) return false;
  const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char head[4] = {};
  const ssize_t n = ::read(fd, head, sizeof head);
  ::close(fd);
  if (n >= 2 && head[0] == '#' && head[1] == '!') return false;
  if (n == 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F') return false;
  return true;
}

void ProcessHandles(pid_t pid, void** process, void** thread) {
  auto object = std::make_shared<ProcessObject>(pid);
  *process = qv::kernel::AddObject(object);
  *thread = qv::kernel::AddObject(object);
}

}  // namespace qv::shell
