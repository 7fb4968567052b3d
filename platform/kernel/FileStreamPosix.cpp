// C streams over device paths, on a cookie so that injected faults reach
// every write.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/base/WideText.h"
#include "platform/kernel/DevicePath.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/PosixError.h"
#include "platform/kernel/CrashPointSeam.h"
#include "platform/kernel/FileSeam.h"
#include "platform/kernel/PowerCutSeam.h"

namespace qv::kernel {
namespace {

struct Cookie {
  int fd;
  std::wstring devicePath;
};

ssize_t CookieRead(void* c, char* buf, size_t size) {
  auto* cookie = static_cast<Cookie*>(c);
  crash_seam::Point counted(crash_seam::FsCall::kRead, [cookie] { return cookie->devicePath; });
  ssize_t n;
  do {
    n = ::read(cookie->fd, buf, size);
  } while (n < 0 && errno == EINTR);
  if (n < 0) SetLastError(Win32Error(errno));
  return n;
}

ssize_t CookieWrite(void* c, const char* buf, size_t size) {
  auto* cookie = static_cast<Cookie*>(c);
  crash_seam::Point counted(crash_seam::FsCall::kWrite, [cookie] { return cookie->devicePath; });
  if (size && file_seam::TakeFault(cookie->devicePath, ERROR_DISK_FULL)) {
    SetLastError(ERROR_DISK_FULL);
    errno = ENOSPC;
    return 0;  // a cookie reports failure as no bytes written
  }
  const bool watched = size && power_seam::Armed();
  if (watched) power_seam::BeforeChange(cookie->fd);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(cookie->fd, buf + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      SetLastError(Win32Error(errno));
      break;
    }
    done += static_cast<size_t>(n);
  }
  // Appends land at the end: where the writing stopped tells where it was.
  const off_t end = watched ? ::lseek(cookie->fd, 0, SEEK_CUR) : -1;
  if (end >= 0) power_seam::Written(cookie->fd, static_cast<uint64_t>(end) - done, done);
  return static_cast<ssize_t>(done);
}

int CookieSeek(void* c, off64_t* offset, int whence) {
  const off_t pos = ::lseek(static_cast<Cookie*>(c)->fd, *offset, whence);
  if (pos < 0) return -1;
  *offset = pos;
  return 0;
}

int CookieClose(void* c) {
  auto* cookie = static_cast<Cookie*>(c);
  const int rc = ::close(cookie->fd);
  delete cookie;
  return rc;
}

FILE* Open(std::wstring_view path, std::string_view mode) {
  crash_seam::Point counted(crash_seam::FsCall::kOpen, [path] { return std::wstring(path); });
  std::string host;
  std::wstring device;
  HostLookup lookup;
  if (!ResolveDevicePath(path, &host, &device, &lookup)) {
    errno = ENOENT;
    return nullptr;
  }
  bool read = false, write = false, append = false, create = false, truncate = false, plus = false;
  switch (mode.empty() ? '\0' : mode[0]) {
    case 'r': read = true; break;
    case 'w': write = create = truncate = true; break;
    case 'a': write = create = append = true; break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      errno = EINVAL;
      return nullptr;
  }
  for (char c : mode.substr(1)) {
    if (c == '+') plus = true;
  }
  if (plus) read = write = true;
  if (file_seam::TakeFault(device, ERROR_SHARING_VIOLATION)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    errno = EACCES;
    return nullptr;
  }
  // What the look-up saw of the name answers, as CreateFileW takes it.
  struct stat st = lookup.status;
  const bool exists = lookup.found || (!lookup.absent && ::stat(host.c_str(), &st) == 0);
  if (exists && S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    errno = EISDIR;
    return nullptr;
  }
  if ((truncate || !exists) && create && file_seam::TakeFault(device, ERROR_DISK_FULL)) {
    SetLastError(ERROR_DISK_FULL);
    errno = ENOSPC;
    return nullptr;
  }
  int flags = O_CLOEXEC | (read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY);
  if (create) flags |= O_CREAT;
  if (truncate) flags |= O_TRUNC;
  if (append) flags |= O_APPEND;
  if (truncate && exists && power_seam::Armed()) power_seam::BeforeChangeAt(host);
  const int fd = ::open(host.c_str(), flags, 0600);
  if (fd < 0) {
    SetLastError(Win32Error(errno, host));
    return nullptr;
  }
  if (create && !exists && power_seam::Armed()) power_seam::Created(host, fd);
  auto* cookie = new Cookie{fd, device};
  const std::string cmode = std::string(1, mode[0]) + (plus ? "+" : "");
  FILE* f = ::fopencookie(cookie, cmode.c_str(), {CookieRead, CookieWrite, CookieSeek, CookieClose});
  if (!f) {
    ::close(fd);
    delete cookie;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // With a disk-full fault armed, writes reach the cookie at once so that
  // fwrite itself reports the failure.
  if (file_seam::HasFault(device, ERROR_DISK_FULL)) ::setvbuf(f, nullptr, _IONBF, 0);
  return f;
}

}  // namespace
}  // namespace qv::kernel

extern "C" {

FILE* _wfopen(LPCWSTR path, LPCWSTR mode) {
  if (!path || !mode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    errno = EINVAL;
    return nullptr;
  }
  return qv::kernel::Open(path, qv::WideToUtf8(mode));
}

FILE* qv_fopen(LPCSTR devicePath, LPCSTR mode) {
  if (!devicePath || !mode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    errno = EINVAL;
    return nullptr;
  }
  return qv::kernel::Open(qv::Utf8ToWide(devicePath), mode);
}

}  // extern "C"
