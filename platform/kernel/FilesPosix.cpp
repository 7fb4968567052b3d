#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <optional>
#include <vector>

#include "platform/base/WideText.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/DevicePath.h"
#include "platform/kernel/FileObject.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/PosixError.h"
#include "platform/kernel/FileSeam.h"
#include "platform/kernel/CrashPointSeam.h"
#include "platform/kernel/PowerCutSeam.h"

namespace qv::kernel {
namespace {

constexpr DWORD kErrorDirectory = 267;      // ERROR_DIRECTORY
constexpr DWORD kErrorNegativeSeek = 131;   // ERROR_NEGATIVE_SEEK

using Key = std::pair<dev_t, ino_t>;

std::map<Key, std::vector<FileObject*>>& Opens() {
  static auto* m = new std::map<Key, std::vector<FileObject*>>;
  return *m;
}

// Files made by their open whose identity nobody asked for yet.
std::vector<FileObject*>& Unkeyed() {
  static auto* v = new std::vector<FileObject*>;
  return *v;
}

// Whether opening with `access` and `share` clashes with a handle already open
// on the file: each side must share what the other one does.
bool ShareConflict(const Key& key, DWORD access, DWORD share) {
  // Opens without data access neither clash nor constrain others.
  if (!(access & (GENERIC_READ | GENERIC_WRITE))) return false;
  KeyOpenFiles();
  auto it = Opens().find(key);
  if (it == Opens().end()) return false;
  for (const FileObject* o : it->second) {
    if (!(o->access() & (GENERIC_READ | GENERIC_WRITE))) continue;
    if ((access & GENERIC_READ) && !(o->share_ & FILE_SHARE_READ)) return true;
    if ((access & GENERIC_WRITE) && !(o->share_ & FILE_SHARE_WRITE)) return true;
    if ((o->access() & GENERIC_READ) && !(share & FILE_SHARE_READ)) return true;
    if ((o->access() & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return true;
  }
  return false;
}

// Deleting or renaming a file needs every open handle to share deletion.
bool DeleteConflict(const Key& key) {
  KeyOpenFiles();
  auto it = Opens().find(key);
  if (it == Opens().end()) return false;
  for (const FileObject* o : it->second) {
    if ((o->access() & (GENERIC_READ | GENERIC_WRITE)) && !(o->share_ & FILE_SHARE_DELETE)) return true;
  }
  return false;
}

bool Resolve(LPCWSTR path, std::string* host, std::wstring* canonical, HostLookup* lookup = nullptr) {
  if (!path) return Fail(ERROR_PATH_NOT_FOUND);
  return ResolveDevicePath(path, host, canonical, lookup);
}

bool SharingFault(const std::wstring& devicePath) {
  return file_seam::TakeFault(devicePath, ERROR_SHARING_VIOLATION);
}

// Both paths of a move or copy; an injected sharing fault on either fails it.
bool ResolvePair(LPCWSTR from, LPCWSTR to, std::string* fromHost, std::string* toHost, std::wstring* fromDev,
                 std::wstring* toDev) {
  if (!Resolve(from, fromHost, fromDev) || !Resolve(to, toHost, toDev)) return false;
  if (SharingFault(*fromDev) || SharingFault(*toDev)) return Fail(ERROR_SHARING_VIOLATION);
  return true;
}

bool ReadOnlyMode(const struct stat& st) { return !S_ISDIR(st.st_mode) && !(st.st_mode & S_IWUSR); }

// Host path for a new name: the parent resolved, the last name as given.
std::string NewNameHost(std::wstring_view path) {
  std::vector<std::wstring> names;
  DWORD error = 0;
  SplitDevicePath(path, &names, &error);
  if (names.empty()) return ResolveNames(names);
  const std::wstring last = names.back();
  names.pop_back();
  return ResolveNames(names) + "/" + WideToUtf8(last);
}

struct HostName {
  std::string dir;
  std::string name;
};

HostName SplitHost(const std::string& host) {
  const size_t cut = host.rfind('/');
  if (cut == std::string::npos) return {std::string(), host};
  return {host.substr(0, cut), host.substr(cut + 1)};
}

// Runs `change`, which takes the name `removed` away and brings `added`
// (host paths; either may be empty), and keeps the cached listings of the
// directories concerned current with it.
template <typename Change>
bool ChangeNames(const std::string& removed, const std::string& added, Change change) {
  const HostName gone = SplitHost(removed), came = SplitHost(added);
  const bool oneDir = removed.empty() || added.empty() || gone.dir == came.dir;
  std::optional<DirChange> first, second;
  first.emplace(removed.empty() ? came.dir : gone.dir);
  if (!oneDir) second.emplace(came.dir);
  if (!change()) return false;
  if (oneDir) {
    first->Done(gone.name, came.name);
  } else {
    first->Done(gone.name, std::string());
    second->Done(std::string(), came.name);
  }
  return true;
}

// Waits until a directory's entries are on disk.
bool SyncDirectory(const std::string& dir) {
  const int fd = ::open(dir.empty() ? "/" : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
  ::close(fd);
  if (synced && power_seam::Armed()) power_seam::FolderSynced(dir);
  return synced;
}

int RenameNoReplace(const std::string& from, const std::string& to, bool isDir) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return -1;
  // File systems without the flag: a hard link never replaces either.
  if (!isDir) {
    if (::link(from.c_str(), to.c_str()) != 0) return -1;
    return ::unlink(from.c_str());
  }
  struct stat st{};
  if (::lstat(to.c_str(), &st) == 0) {
    errno = EEXIST;
    return -1;
  }
  return ::rename(from.c_str(), to.c_str());
}

// A host name that starts with "." is hidden, as the host's own listings have it.
DWORD AttributesOf(const struct stat& st, const std::string& name) {
  DWORD attrs = 0;
  if (S_ISDIR(st.st_mode)) attrs |= FILE_ATTRIBUTE_DIRECTORY;
  if (ReadOnlyMode(st)) attrs |= FILE_ATTRIBUTE_READONLY;
  if (!name.empty() && name[0] == '.') attrs |= FILE_ATTRIBUTE_HIDDEN;
  return attrs ? attrs : FILE_ATTRIBUTE_NORMAL;
}

void FillFindData(const std::string& name, const struct stat& st, WIN32_FIND_DATAW* data) {
  *data = WIN32_FIND_DATAW{};
  data->dwFileAttributes = AttributesOf(st, name);
  data->ftCreationTime = UnixToFileTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
  data->ftLastAccessTime = UnixToFileTime(st.st_atim.tv_sec, st.st_atim.tv_nsec);
  data->ftLastWriteTime = data->ftCreationTime;
  if (!S_ISDIR(st.st_mode)) {
    data->nFileSizeHigh = static_cast<DWORD>(static_cast<ULONGLONG>(st.st_size) >> 32);
    data->nFileSizeLow = static_cast<DWORD>(st.st_size);
  }
  const std::wstring wide = Utf8ToWide(name);
  const size_t n = std::min<size_t>(wide.size(), MAX_PATH - 1);
  std::copy_n(wide.begin(), n, data->cFileName);
  data->cFileName[n] = 0;
}

class FindHandle : public KernelObject {
 public:
  struct Entry {
    std::string name;
    std::wstring key;  // folded, the order the device lists names in
    struct stat st;
  };
  std::vector<Entry> entries;
  size_t next = 0;
  bool ClosedByCloseHandle() const override { return false; }
};

// MoveFileW: never onto another file; the host paths moved are kept.
BOOL MoveNoReplace(LPCWSTR from, LPCWSTR to, std::string* fromHost, std::string* target) {
  std::string toHost;
  std::wstring fromDev, toDev;
  if (!ResolvePair(from, to, fromHost, &toHost, &fromDev, &toDev)) return FALSE;
  std::lock_guard<std::mutex> g(FilesLock());
  struct stat src{}, dst{};
  if (::lstat(fromHost->c_str(), &src) != 0) return FailErrno(*fromHost);
  if (!S_ISDIR(src.st_mode) && DeleteConflict(Key(src.st_dev, src.st_ino))) return Fail(ERROR_SHARING_VIOLATION);
  *target = NewNameHost(to);
  if (::lstat(toHost.c_str(), &dst) == 0) {
    // Only a change of case of the same name may land on an existing entry.
    if (dst.st_dev != src.st_dev || dst.st_ino != src.st_ino) return Fail(ERROR_ALREADY_EXISTS);
    if (*target == *fromHost) return TRUE;
    if (!ChangeNames(*fromHost, *target, [&] { return ::rename(fromHost->c_str(), target->c_str()) == 0; })) {
      return FailErrno(*target);
    }
    if (power_seam::Armed()) power_seam::Moved(*fromHost, *target, S_ISDIR(src.st_mode), {});
    return TRUE;
  }
  if (!ChangeNames(*fromHost, *target,
                   [&] { return RenameNoReplace(*fromHost, *target, S_ISDIR(src.st_mode)) == 0; })) {
    return FailErrno(*target);
  }
  if (power_seam::Armed()) power_seam::Moved(*fromHost, *target, S_ISDIR(src.st_mode), {});
  return TRUE;
}

// DeleteAndRenameFile: `to`, when there, replaced in one step.
BOOL MoveReplacing(LPCWSTR from, LPCWSTR to, std::string* fromHost, std::string* toHost) {
  std::wstring fromDev, toDev;
  if (!ResolvePair(from, to, fromHost, toHost, &fromDev, &toDev)) return FALSE;
  std::lock_guard<std::mutex> g(FilesLock());
  struct stat src{}, dst{};
  if (::lstat(fromHost->c_str(), &src) != 0) return FailErrno(*fromHost);
  if (S_ISDIR(src.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  if (DeleteConflict(Key(src.st_dev, src.st_ino))) return Fail(ERROR_SHARING_VIOLATION);
  if (::lstat(toHost->c_str(), &dst) == 0) {
    if (S_ISDIR(dst.st_mode) || ReadOnlyMode(dst)) return Fail(ERROR_ACCESS_DENIED);
    if (DeleteConflict(Key(dst.st_dev, dst.st_ino))) return Fail(ERROR_SHARING_VIOLATION);
  }
  power_seam::Gone replaced;
  if (power_seam::Armed()) replaced = power_seam::BeforeRemove(*toHost);
  if (!ChangeNames(*fromHost, *toHost, [&] { return ::rename(fromHost->c_str(), toHost->c_str()) == 0; })) {
    return FailErrno(*toHost);
  }
  if (power_seam::Armed()) power_seam::Moved(*fromHost, *toHost, false, std::move(replaced));
  return TRUE;
}

}  // namespace

FileObject::FileObject(int fd, DWORD access, DWORD share, dev_t dev, ino_t ino, std::wstring devicePath)
    : share_(share), dev_(dev), ino_(ino), keyed_(true), fd_(fd), access_(access), devicePath_(std::move(devicePath)) {
  Opens()[Key(dev, ino)].push_back(this);  // called with FilesLock() held
}

FileObject::FileObject(int fd, DWORD access, DWORD share, std::wstring devicePath)
    : share_(share), fd_(fd), access_(access), devicePath_(std::move(devicePath)) {
  Unkeyed().push_back(this);  // called with FilesLock() held
}

FileObject::~FileObject() {
  {
    std::lock_guard<std::mutex> g(FilesLock());
    if (keyed_) {
      auto it = Opens().find(Key(dev_, ino_));
      if (it != Opens().end()) {
        auto& v = it->second;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
        if (v.empty()) Opens().erase(it);
      }
    } else {
      ForgetUnkeyed(this);
    }
  }
  ::close(fd_);
}

void KeyOpenFiles() {
  auto& unkeyed = Unkeyed();
  for (FileObject* f : unkeyed) {
    struct stat st {};
    if (::fstat(f->fd(), &st) != 0) continue;  // a descriptor that cannot say is no file to clash with
    f->dev_ = st.st_dev;
    f->ino_ = st.st_ino;
    f->keyed_ = true;
    Opens()[Key(st.st_dev, st.st_ino)].push_back(f);
  }
  unkeyed.clear();
}

void ForgetUnkeyed(FileObject* file) {
  auto& unkeyed = Unkeyed();
  unkeyed.erase(std::remove(unkeyed.begin(), unkeyed.end(), file), unkeyed.end());
}

bool FileObject::SettlePosition() {
  const off_t at = PendingPosition();
  if (at < 0) return true;
  if (::lseek(fd_, at, SEEK_SET) < 0) return false;
  SetPendingPosition(-1);
  return true;
}

std::mutex& FilesLock() {
  static auto* m = new std::mutex;
  return *m;
}

}  // namespace qv::kernel

using namespace qv::kernel;
namespace fseam = qv::file_seam;
namespace pseam = qv::power_seam;
using qv::crash_seam::FsCall;
using CountedCall = qv::crash_seam::Point;

namespace {

// The device path a counted call on a handle names, when the action asks.
auto PathOf(HANDLE file) {
  return [file] {
    auto f = Find<FileObject>(file);
    return f ? f->devicePath() : std::wstring();
  };
}
auto PathOf(LPCWSTR path) {
  return [path] { return std::wstring(path ? path : L""); };
}

}  // namespace

extern "C" {

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES, DWORD creation, DWORD flags,
                   HANDLE) {
  CountedCall counted(FsCall::kOpen, PathOf(path));
  std::string host;
  std::wstring device;
  HostLookup lookup;
  lookup.makesNew = creation == CREATE_NEW;
  if (!Resolve(path, &host, &device, &lookup)) return INVALID_HANDLE_VALUE;
  if (creation < CREATE_NEW || creation > TRUNCATE_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (SharingFault(device)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return INVALID_HANDLE_VALUE;
  }
  // Probes for "_tmp" and "_bak" files mostly find nothing: the look-up that
  // just found the name missing from its folder answers them.
  if (lookup.absent && (creation == OPEN_EXISTING || creation == TRUNCATE_EXISTING)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (lookup.parentMissing) {
    // A new file's injected fault comes first, as when the open is tried.
    const bool makes = creation != OPEN_EXISTING && creation != TRUNCATE_EXISTING;
    SetLastError(makes && fseam::TakeFault(device, ERROR_DISK_FULL) ? ERROR_DISK_FULL : ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::lock_guard<std::mutex> g(FilesLock());
  struct stat st{};
  struct stat now{};
  bool exists = false;
  int fd = -1;
  // A file the look-up just saw is opened as seen; should the open reach
  // another file, renamed in since, the checks run again on that one.
  for (bool seen = lookup.found && creation == OPEN_EXISTING;; seen = false) {
    if (seen) st = lookup.status;
    // A new name the look-up found missing from its folder needs no second
    // look: O_EXCL refuses it should it have come meanwhile.
    exists = seen || (!(lookup.absent && creation == CREATE_NEW) && ::stat(host.c_str(), &st) == 0);
    if (exists && S_ISDIR(st.st_mode)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
    if (exists && creation == CREATE_NEW) {
      SetLastError(ERROR_FILE_EXISTS);
      return INVALID_HANDLE_VALUE;
    }
    if (!exists && (creation == OPEN_EXISTING || creation == TRUNCATE_EXISTING)) {
      SetLastError(Win32Error(ENOENT, host));
      return INVALID_HANDLE_VALUE;
    }
    const bool truncate = creation == CREATE_ALWAYS || creation == TRUNCATE_EXISTING;
    if ((!exists || truncate) && fseam::TakeFault(device, ERROR_DISK_FULL)) {
      SetLastError(ERROR_DISK_FULL);
      return INVALID_HANDLE_VALUE;
    }
    if (exists && (access & GENERIC_WRITE || truncate) && ReadOnlyMode(st)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
    if (exists && ShareConflict(Key(st.st_dev, st.st_ino), access, shareMode)) {
      SetLastError(ERROR_SHARING_VIOLATION);
      return INVALID_HANDLE_VALUE;
    }
    int oflags = O_CLOEXEC;
    if ((access & GENERIC_READ) && (access & GENERIC_WRITE)) {
      oflags |= O_RDWR;
    } else if (access & GENERIC_WRITE || truncate) {
      oflags |= (access & GENERIC_READ) ? O_RDWR : O_WRONLY;
    } else {
      oflags |= O_RDONLY;
    }
    if (!exists) oflags |= O_CREAT | O_EXCL;
    const mode_t mode = (flags & FILE_ATTRIBUTE_READONLY) ? 0400 : 0600;  // the device is one user's
    fd = -1;
    auto openHost = [&] {
      fd = ::open(host.c_str(), oflags, mode);
      return fd >= 0;
    };
    if (exists) {
      openHost();
    } else if (ChangeNames(std::string(), host, openHost) && pseam::Armed()) {
      pseam::Created(host, fd);
    }
    if (fd < 0) {
      // A name made meanwhile, or one the look-up took the folder's word
      // for, meets O_EXCL: as when it was seen there.
      if (errno == EEXIST && creation == CREATE_NEW) {
        SetLastError(ERROR_FILE_EXISTS);
      } else {
        FailErrno(host);
      }
      return INVALID_HANDLE_VALUE;
    }
    if (truncate && exists && pseam::Armed()) pseam::BeforeChange(fd);
    if (truncate && exists && ::ftruncate(fd, 0) != 0) {
      FailErrno();
      ::close(fd);
      return INVALID_HANDLE_VALUE;
    }
    if (!exists) break;  // made by this open: its identity waits until a share check asks
    ::fstat(fd, &now);
    if (!seen || (now.st_dev == st.st_dev && now.st_ino == st.st_ino)) break;
    ::close(fd);
  }
  HANDLE h = exists ? AddObject(std::make_shared<FileObject>(fd, access, shareMode, now.st_dev, now.st_ino, device))
                    : AddObject(std::make_shared<FileObject>(fd, access, shareMode, device));
  SetLastError(exists && (creation == CREATE_ALWAYS || creation == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS : 0);
  return h;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPVOID) {
  CountedCall counted(FsCall::kRead, PathOf(file));
  if (read) *read = 0;
  auto f = Find<FileObject>(file);
  if (!f) return Fail(ERROR_INVALID_HANDLE);
  if (!(f->access() & GENERIC_READ)) return Fail(ERROR_ACCESS_DENIED);
  const off_t at = f->PendingPosition();
  DWORD done = 0;
  BOOL ok = TRUE;
  while (done < toRead) {
    char* into = static_cast<char*>(buffer) + done;
    const ssize_t n = at >= 0 ? ::pread(f->fd(), into, toRead - done, at + static_cast<off_t>(done))
                              : ::read(f->fd(), into, toRead - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ok = FailErrno();
      break;
    }
    if (n == 0) break;
    done += static_cast<DWORD>(n);
  }
  if (at >= 0) f->SetPendingPosition(at + static_cast<off_t>(done));
  if (!ok) return FALSE;
  if (read) *read = done;
  return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPVOID) {
  CountedCall counted(FsCall::kWrite, PathOf(file));
  if (written) *written = 0;
  auto f = Find<FileObject>(file);
  if (!f) return Fail(ERROR_INVALID_HANDLE);
  if (!(f->access() & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
  if (toWrite && fseam::TakeFault(f->devicePath(), ERROR_DISK_FULL)) return Fail(ERROR_DISK_FULL);
  const off_t pending = f->PendingPosition();
  off_t at = pending;
  if (toWrite && pseam::Armed()) {
    pseam::BeforeChange(f->fd());
    if (at < 0) at = ::lseek(f->fd(), 0, SEEK_CUR);
  }
  DWORD done = 0;
  BOOL ok = TRUE;
  while (done < toWrite) {
    const char* from = static_cast<const char*>(buffer) + done;
    const ssize_t n = pending >= 0 ? ::pwrite(f->fd(), from, toWrite - done, pending + static_cast<off_t>(done))
                                   : ::write(f->fd(), from, toWrite - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ok = FailErrno();
      break;
    }
    done += static_cast<DWORD>(n);
  }
  if (pending >= 0) f->SetPendingPosition(pending + static_cast<off_t>(done));
  if (toWrite && at >= 0 && pseam::Armed()) pseam::Written(f->fd(), static_cast<uint64_t>(at), done);
  if (written) *written = done;
  return ok;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
  auto f = Find<FileObject>(file);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  const int64_t move = distanceHigh ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh))
                                                             << 32) | static_cast<uint32_t>(distance))
                                    : static_cast<int64_t>(distance);
  const int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : method == FILE_END ? SEEK_END : -1;
  if (whence < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  // The new position is only noted: the next read or write goes there by
  // itself. Only the end, or a current position not known, asks the host.
  const off_t pending = f->PendingPosition();
  const off_t base = whence == SEEK_SET ? 0
                     : whence == SEEK_CUR ? (pending >= 0 ? pending : ::lseek(f->fd(), 0, SEEK_CUR))
                                          : ::lseek(f->fd(), 0, SEEK_END);
  if (base < 0) {
    FailErrno();
    return INVALID_SET_FILE_POINTER;
  }
  if (base + move < 0) {
    SetLastError(kErrorNegativeSeek);
    return INVALID_SET_FILE_POINTER;
  }
  const off_t pos = base + move;
  f->SetPendingPosition(pos);
  if (distanceHigh) {
    *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(pos) >> 32);
  } else if (pos > 0xFFFFFFFE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  SetLastError(0);
  return static_cast<DWORD>(pos);
}

BOOL SetEndOfFile(HANDLE file) {
  CountedCall counted(FsCall::kSetEnd, PathOf(file));
  auto f = Find<FileObject>(file);
  if (!f) return Fail(ERROR_INVALID_HANDLE);
  if (!(f->access() & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
  if (pseam::Armed()) pseam::BeforeChange(f->fd());
  const off_t pending = f->PendingPosition();
  const off_t pos = pending >= 0 ? pending : ::lseek(f->fd(), 0, SEEK_CUR);
  if (pos < 0 || ::ftruncate(f->fd(), pos) != 0) return FailErrno();
  return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh) {
  auto f = Find<FileObject>(file);
  struct stat st{};
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  if (::fstat(f->fd(), &st) != 0) {
    FailErrno();
    return INVALID_FILE_SIZE;
  }
  const auto size = static_cast<ULONGLONG>(st.st_size);
  if (sizeHigh) *sizeHigh = static_cast<DWORD>(size >> 32);
  SetLastError(0);
  return static_cast<DWORD>(size);
}

BOOL FlushFileBuffers(HANDLE file) {
  CountedCall counted(FsCall::kFlush, PathOf(file));
  auto f = Find<FileObject>(file);
  if (!f) return Fail(ERROR_INVALID_HANDLE);
  if (fseam::TakeFault(f->devicePath(), ERROR_WRITE_FAULT)) return Fail(ERROR_WRITE_FAULT);
  if (::fdatasync(f->fd()) != 0 && errno != EINVAL) return FailErrno();
  if (pseam::Armed()) pseam::FileSynced(f->fd());
  return TRUE;
}

}  // extern "C"

bool qv::StartFileWriteback(HANDLE file) {
  auto f = Find<FileObject>(file);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return ::sync_file_range(f->fd(), 0, 0, SYNC_FILE_RANGE_WRITE) == 0;
}

bool qv::FlushFolder(LPCWSTR path) {
  CountedCall counted(FsCall::kFlush, PathOf(path));
  std::string host;
  std::wstring device;
  HostLookup lookup;
  if (!Resolve(path, &host, &device, &lookup)) return false;
  struct stat st = lookup.status;
  if (!lookup.found && ::stat(host.c_str(), &st) != 0) return FailErrno(host);
  if (!S_ISDIR(st.st_mode)) return Fail(kErrorDirectory);
  if (fseam::TakeFault(device, ERROR_WRITE_FAULT)) return Fail(ERROR_WRITE_FAULT);
  return SyncDirectory(host) || FailErrno(host);
}

bool qv::KeepOnlyForFlush(HANDLE file) {
  auto f = Find<FileObject>(file);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  std::lock_guard<std::mutex> g(FilesLock());
  f->DropAccess();
  // Without access it clashes with nothing: one not entered yet never is.
  if (!f->keyed_) ForgetUnkeyed(f.get());
  return true;
}

extern "C" {

HANDLE ReOpenFile(HANDLE file, DWORD access, DWORD shareMode, DWORD) {
  auto f = Find<FileObject>(file);
  if (!f) {
    Fail(ERROR_INVALID_HANDLE);
    return INVALID_HANDLE_VALUE;
  }
  // A wider access than the file was opened with would need a new open.
  if ((access & ~f->access()) != 0) {
    Fail(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  std::lock_guard<std::mutex> g(FilesLock());
  KeyOpenFiles();
  if (access != 0 && ShareConflict(Key(f->dev_, f->ino_), access, shareMode)) {
    Fail(ERROR_SHARING_VIOLATION);
    return INVALID_HANDLE_VALUE;
  }
  // A handle that reads or writes shares the host offset, so it is made the
  // position first; one that only flushes and measures needs none.
  if (access != 0 && !f->SettlePosition()) {
    FailErrno();
    return INVALID_HANDLE_VALUE;
  }
  const int fd = ::fcntl(f->fd(), F_DUPFD_CLOEXEC, 0);
  if (fd < 0) {
    FailErrno();
    return INVALID_HANDLE_VALUE;
  }
  return AddObject(std::make_shared<FileObject>(fd, access, shareMode, f->dev_, f->ino_, f->devicePath()));
}

BOOL GetFileTime(HANDLE file, LPFILETIME created, LPFILETIME accessed, LPFILETIME written) {
  auto f = Find<FileObject>(file);
  if (!f) return Fail(ERROR_INVALID_HANDLE);
  struct stat st{};
  if (::fstat(f->fd(), &st) != 0) return FailErrno();
  const FILETIME mtime = UnixToFileTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
  if (created) *created = mtime;
  if (accessed) *accessed = UnixToFileTime(st.st_atim.tv_sec, st.st_atim.tv_nsec);
  if (written) *written = mtime;
  return TRUE;
}

BOOL MoveFileW(LPCWSTR from, LPCWSTR to) {
  CountedCall counted(FsCall::kMove, PathOf(from));
  std::string fromHost, toHost;
  return MoveNoReplace(from, to, &fromHost, &toHost);
}

BOOL DeleteAndRenameFile(LPCWSTR to, LPCWSTR from) {
  CountedCall counted(FsCall::kMove, PathOf(from));
  std::string fromHost, toHost;
  return MoveReplacing(from, to, &fromHost, &toHost);
}

BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
  CountedCall counted(FsCall::kMove, PathOf(from));
  std::string fromHost, toHost;
  const BOOL moved = (flags & MOVEFILE_REPLACE_EXISTING) ? MoveReplacing(from, to, &fromHost, &toHost)
                                                         : MoveNoReplace(from, to, &fromHost, &toHost);
  if (!moved || !(flags & MOVEFILE_WRITE_THROUGH)) return moved;
  const HostName gone = SplitHost(fromHost), came = SplitHost(toHost);
  if (!SyncDirectory(came.dir)) return FailErrno(came.dir);
  if (gone.dir != came.dir && !SyncDirectory(gone.dir)) return FailErrno(gone.dir);
  return TRUE;
}

BOOL CopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists) {
  CountedCall counted(FsCall::kCopy, PathOf(to));
  std::string fromHost, toHost;
  std::wstring fromDev, toDev;
  if (!ResolvePair(from, to, &fromHost, &toHost, &fromDev, &toDev)) return FALSE;
  std::lock_guard<std::mutex> g(FilesLock());
  struct stat src{}, dst{};
  if (::stat(fromHost.c_str(), &src) != 0) return FailErrno(fromHost);
  if (S_ISDIR(src.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  if (ShareConflict(Key(src.st_dev, src.st_ino), GENERIC_READ, FILE_SHARE_READ)) return Fail(ERROR_SHARING_VIOLATION);
  const bool exists = ::stat(toHost.c_str(), &dst) == 0;
  if (exists) {
    if (failIfExists) return Fail(ERROR_FILE_EXISTS);
    if (S_ISDIR(dst.st_mode) || ReadOnlyMode(dst)) return Fail(ERROR_ACCESS_DENIED);
    if (dst.st_dev == src.st_dev && dst.st_ino == src.st_ino) return Fail(ERROR_SHARING_VIOLATION);
    if (ShareConflict(Key(dst.st_dev, dst.st_ino), GENERIC_WRITE, 0)) return Fail(ERROR_SHARING_VIOLATION);
  }
  if (fseam::TakeFault(toDev, ERROR_DISK_FULL)) return Fail(ERROR_DISK_FULL);
  const int in = ::open(fromHost.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return FailErrno(fromHost);
  if (exists && pseam::Armed()) pseam::BeforeChangeAt(toHost);
  const int out = ::open(toHost.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, src.st_mode & 0700);
  if (out < 0) {
    ::close(in);
    return FailErrno(toHost);
  }
  if (!exists && pseam::Armed()) pseam::Created(toHost, out);
  char buf[65536];
  BOOL ok = TRUE;
  for (;;) {
    const ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) ok = FailErrno();
      break;
    }
    for (ssize_t done = 0; done < n && ok;) {
      const ssize_t w = ::write(out, buf + done, n - done);
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) ok = FailErrno();
      else done += w;
    }
    if (!ok) break;
  }
  const timespec times[2] = {src.st_atim, src.st_mtim};
  if (ok) ::futimens(out, times);
  ::close(in);
  ::close(out);
  if (!ok) ::unlink(toHost.c_str());
  return ok;
}

BOOL DeleteFileW(LPCWSTR path) {
  CountedCall counted(FsCall::kDelete, PathOf(path));
  std::string host;
  std::wstring device;
  if (!Resolve(path, &host, &device)) return FALSE;
  if (SharingFault(device)) return Fail(ERROR_SHARING_VIOLATION);
  std::lock_guard<std::mutex> g(FilesLock());
  struct stat st{};
  if (::lstat(host.c_str(), &st) != 0) return FailErrno(host);
  if (S_ISDIR(st.st_mode) || ReadOnlyMode(st)) return Fail(ERROR_ACCESS_DENIED);
  if (DeleteConflict(Key(st.st_dev, st.st_ino))) return Fail(ERROR_SHARING_VIOLATION);
  pseam::Gone gone;
  if (pseam::Armed()) gone = pseam::BeforeRemove(host);
  if (!ChangeNames(host, std::string(), [&] { return ::unlink(host.c_str()) == 0; })) return FailErrno(host);
  if (pseam::Armed()) pseam::Removed(host, false, std::move(gone));
  return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
  CountedCall counted(FsCall::kCreateDir, PathOf(path));
  std::string host;
  std::wstring device;
  HostLookup lookup;
  if (!Resolve(path, &host, &device, &lookup)) return FALSE;
  if (device == L"\\") return Fail(ERROR_ALREADY_EXISTS);
  if (lookup.parentMissing) return Fail(ERROR_PATH_NOT_FOUND);
  struct stat st{};
  if (!lookup.absent && ::lstat(host.c_str(), &st) == 0) return Fail(ERROR_ALREADY_EXISTS);
  if (!ChangeNames(std::string(), host, [&] { return ::mkdir(host.c_str(), 0700) == 0; })) {
    return errno == ENOENT ? Fail(ERROR_PATH_NOT_FOUND) : FailErrno(host);
  }
  if (pseam::Armed()) pseam::Created(host, -1);
  return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR path) {
  CountedCall counted(FsCall::kRemoveDir, PathOf(path));
  std::string host;
  std::wstring device;
  HostLookup lookup;
  if (!Resolve(path, &host, &device, &lookup)) return FALSE;
  if (device == L"\\") return Fail(ERROR_ACCESS_DENIED);
  struct stat st = lookup.status;
  if (!lookup.found && ::lstat(host.c_str(), &st) != 0) return FailErrno(host);
  if (!S_ISDIR(st.st_mode)) return Fail(kErrorDirectory);
  if (!ChangeNames(host, std::string(), [&] { return ::rmdir(host.c_str()) == 0; })) return FailErrno(host);
  if (pseam::Armed()) pseam::Removed(host, true, {});
  return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR path) {
  std::string host;
  std::wstring device;
  HostLookup lookup;
  if (!Resolve(path, &host, &device, &lookup)) return INVALID_FILE_ATTRIBUTES;
  // What the look-up saw of the name answers, as CreateFileW takes it.
  if (lookup.absent) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  struct stat st = lookup.status;
  if (!lookup.found && ::stat(host.c_str(), &st) != 0) {
    FailErrno(host);
    return INVALID_FILE_ATTRIBUTES;
  }
  return AttributesOf(st, host.substr(host.find_last_of('/') + 1));
}

BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes) {
  std::string host;
  std::wstring device;
  if (!Resolve(path, &host, &device)) return FALSE;
  struct stat st{};
  if (::stat(host.c_str(), &st) != 0) return FailErrno(host);
  if (S_ISDIR(st.st_mode)) return TRUE;  // folders keep no attributes here
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~0222) : (mode | S_IWUSR);
  if (::chmod(host.c_str(), mode) != 0) return FailErrno(host);
  return TRUE;
}

DWORD GetTempPathW(DWORD chars, LPWSTR out) {
  static constexpr wchar_t kTemp[] = L"\\Temp\\";
  constexpr DWORD kLength = static_cast<DWORD>(std::size(kTemp) - 1);
  const DWORD error = GetLastError();
  CreateDirectoryW(L"\\Temp", nullptr);
  SetLastError(error);
  if (!out || chars <= kLength) return kLength + 1;
  std::copy_n(kTemp, kLength + 1, out);
  return kLength;
}

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
  CountedCall counted(FsCall::kFind, PathOf(pattern));
  std::vector<std::wstring> names;
  DWORD error = 0;
  if (!pattern || !data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (!SplitDevicePath(pattern, &names, &error, true)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  if (names.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  const std::wstring last = names.back();
  names.pop_back();
  const bool atRoot = names.empty();
  HostLookup where;
  const std::string dirHost = ResolveNames(names, &where);
  // A folder known to be empty needs no read, as when its last file went.
  if (where.found && S_ISDIR(where.status.st_mode) && KnownEmptyDir(dirHost, where.status)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  DIR* dir = ::opendir(dirHost.c_str());
  if (!dir) {
    SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : Win32Error(errno));
    return INVALID_HANDLE_VALUE;
  }
  auto find = std::make_shared<FindHandle>();
  while (dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == ".." || (atRoot && name == kKernelFolder)) continue;
    const std::wstring wide = qv::Utf8ToWide(name);
    if (!MatchPattern(last, wide)) continue;
    FindHandle::Entry entry{name, qv::FoldCase(wide), {}};
    // Links are never followed nor listed: a walk stays inside the device.
    if (::fstatat(dirfd(dir), e->d_name, &entry.st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISLNK(entry.st.st_mode)) continue;
    find->entries.push_back(std::move(entry));
  }
  ::closedir(dir);
  if (find->entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::sort(find->entries.begin(), find->entries.end(), [](const auto& a, const auto& b) { return a.key < b.key; });
  FillFindData(find->entries[0].name, find->entries[0].st, data);
  find->next = 1;
  return AddObject(find);
}

BOOL FindNextFileW(HANDLE handle, LPWIN32_FIND_DATAW data) {
  CountedCall counted(FsCall::kFind, [] { return std::wstring(); });
  auto find = Find<FindHandle>(handle);
  if (!find) return Fail(ERROR_INVALID_HANDLE);
  if (find->next >= find->entries.size()) return Fail(ERROR_NO_MORE_FILES);
  const auto& e = find->entries[find->next++];
  FillFindData(e.name, e.st, data);
  return TRUE;
}

BOOL FindClose(HANDLE handle) {
  return RemoveObject(handle, [](KernelObject& o) { return dynamic_cast<FindHandle*>(&o) != nullptr; }) ? TRUE
                                                                                                         : FALSE;
}

BOOL GetDiskFreeSpaceExW(LPCWSTR directory, PULARGE_INTEGER freeToCaller, PULARGE_INTEGER total,
                         PULARGE_INTEGER totalFree) {
  std::string host;
  std::wstring device;
  // The store asks before each write: the root is made sure of only when no
  // folder is named.
  if (directory == nullptr) {
    host = qv::DeviceRoot();
  } else if (!Resolve(directory, &host, &device)) {
    return FALSE;
  }
  struct statvfs vfs{};
  const bool known = ::statvfs(host.c_str(), &vfs) == 0;
  const auto seam = fseam::FreeSpace();
  if (!seam && !known) return FailErrno(host);
  const ULONGLONG size = known ? static_cast<ULONGLONG>(vfs.f_blocks) * vfs.f_frsize : 0;
  const ULONGLONG avail = seam ? *seam : static_cast<ULONGLONG>(vfs.f_bavail) * vfs.f_frsize;
  const ULONGLONG free = seam ? *seam : static_cast<ULONGLONG>(vfs.f_bfree) * vfs.f_frsize;
  if (freeToCaller) freeToCaller->QuadPart = avail;
  if (total) total->QuadPart = std::max(size, free);
  if (totalFree) totalFree->QuadPart = free;
  return TRUE;
}

}  // extern "C"
