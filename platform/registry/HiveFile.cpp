#include "platform/registry/HiveFile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/kernel/DevicePath.h"
#include "platform/kernel/HostRead.h"
#include "platform/kernel/PosixError.h"

namespace qv::registry {
namespace {

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Holds an exclusive flock on a file for its lifetime.
class FileLock {
 public:
  explicit FileLock(const std::string& path) : fd_(kernel::OpenOwnHostFile(path, O_RDWR | O_CREAT)) {
    if (fd_ < 0) {
      error_ = kernel::Win32Error(errno);
      return;
    }
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        error_ = kernel::Win32Error(errno);
        return;
      }
    }
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  DWORD Error() const { return error_; }

 private:
  int fd_;
  DWORD error_ = 0;
};

}  // namespace

bool HiveFile::Identity::operator==(const Identity& o) const {
  if (exists != o.exists) return false;
  return !exists || (dev == o.dev && ino == o.ino && size == o.size && SameTime(mtime, o.mtime) &&
                     SameTime(ctime, o.ctime));
}

HiveFile::HiveFile(std::string path) : path_(std::move(path)), root_(std::make_unique<RegistryKey>()) {}

HiveFile::Identity HiveFile::IdentityOf(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return Identity{};
  return IdentityOf(st);
}

HiveFile::Identity HiveFile::IdentityOf(const struct stat& st) {
  Identity id;
  id.exists = true;
  id.dev = st.st_dev;
  id.ino = st.st_ino;
  id.size = st.st_size;
  id.mtime = st.st_mtim;
  id.ctime = st.st_ctim;
  return id;
}

void HiveFile::Refresh() {
  Identity now = IdentityOf(path_);
  if (valid_ && now == loaded_) return;
  if (!now.exists) {
    root_ = std::make_unique<RegistryKey>();
    loaded_ = now;
    valid_ = true;
    return;
  }
  int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;  // keep what we have; the next call tries again
  // The identity of what is read, not of what was stat'ed a moment ago.
  struct stat st{};
  std::string text;
  bool ok = ::fstat(fd, &st) == 0 && kernel::ReadToEnd(fd, &text);
  ::close(fd);
  if (!ok) return;
  root_ = RegistryKey::Parse(text);
  loaded_ = IdentityOf(st);
  valid_ = true;
}

RegistryKey& HiveFile::Current() {
  Refresh();
  return *root_;
}

LONG HiveFile::Mutate(const std::function<LONG(RegistryKey& root, bool* changed)>& change) {
  FileLock lock(path_ + ".lock");
  if (lock.Error() != 0) return static_cast<LONG>(lock.Error());
  Refresh();
  bool changed = false;
  LONG result = change(*root_, &changed);
  if (!changed) return result;
  DWORD error = Write(root_->Serialize());
  if (error != 0) {
    valid_ = false;  // drop the change: the file still holds the truth
    return static_cast<LONG>(error);
  }
  loaded_ = IdentityOf(path_);
  return result;
}

DWORD HiveFile::Write(const std::string& text) {
  const std::string temp = path_ + ".tmp";
  int fd = kernel::OpenOwnHostFile(temp, O_WRONLY | O_CREAT | O_TRUNC);
  if (fd < 0) return kernel::Win32Error(errno);
  bool ok = WriteAll(fd, text) && ::fdatasync(fd) == 0;
  int err = errno;
  ok = (::close(fd) == 0) && ok;
  if (ok && ::rename(temp.c_str(), path_.c_str()) == 0) return 0;
  if (ok) err = errno;
  ::unlink(temp.c_str());
  return kernel::Win32Error(err);
}

}  // namespace qv::registry
