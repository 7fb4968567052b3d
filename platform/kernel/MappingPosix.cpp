// Memory-mapped files over mmap(MAP_SHARED). A mapping keeps its own
// descriptor, and a view keeps its mapping, so either handle may be closed
// first, as on the device.
#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <string>

#include "platform/kernel/CrashPointSeam.h"
#include "platform/kernel/FileObject.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/PosixError.h"
#include "platform/kernel/PowerCutSeam.h"

namespace qv::kernel {
namespace {

constexpr DWORD kErrorFileInvalid = 1006;      // ERROR_FILE_INVALID: an empty file cannot be mapped
constexpr DWORD kErrorMappedAlignment = 1132;  // ERROR_MAPPED_ALIGNMENT
constexpr ULONGLONG kGranularity = 65536;

class MappingObject : public KernelObject {
 public:
  MappingObject(int fd, ULONGLONG size, bool writable, bool overFile)
      : fd(fd), size(size), writable(writable), overFile(overFile) {}
  ~MappingObject() override { ::close(fd); }
  const int fd;
  const ULONGLONG size;
  const bool writable;
  const bool overFile;  // false for memory without a file
};

struct View {
  size_t length;
  ULONGLONG offset;  // in the file
  std::shared_ptr<MappingObject> mapping;
  bool write;
  bool watched;  // by the power-cut seam
};

std::mutex& ViewsLock() {
  static auto* m = new std::mutex;
  return *m;
}

std::map<uintptr_t, View>& Views() {
  static auto* v = new std::map<uintptr_t, View>;
  return *v;
}

}  // namespace

void DetachViews() {
  std::lock_guard<std::mutex> g(ViewsLock());
  for (const auto& [at, view] : Views()) {
    if (!view.mapping->overFile) continue;
    void* p = reinterpret_cast<void*>(at);
    std::string bytes(static_cast<const char*>(p), view.length);
    if (::mmap(p, view.length, PROT_READ | PROT_WRITE, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) == MAP_FAILED) {
      continue;
    }
    std::memcpy(p, bytes.data(), view.length);
    if (!view.write) ::mprotect(p, view.length, PROT_READ);
  }
}

}  // namespace qv::kernel

using namespace qv::kernel;
namespace pseam = qv::power_seam;
using qv::crash_seam::FsCall;

extern "C" {

HANDLE CreateFileForMappingW(LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES sa, DWORD creation,
                             DWORD flags, HANDLE templateFile) {
  return CreateFileW(path, access, shareMode, sa, creation, flags, templateFile);
}

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD sizeHigh, DWORD sizeLow,
                          LPCWSTR) {
  qv::crash_seam::Point counted(FsCall::kMap, [file] {
    auto f = Find<FileObject>(file);
    return f ? f->devicePath() : std::wstring();
  });
  const ULONGLONG wanted = (static_cast<ULONGLONG>(sizeHigh) << 32) | sizeLow;
  const bool writable = (protect & PAGE_READWRITE) != 0;
  int fd = -1;
  ULONGLONG size = wanted;
  if (!file || file == INVALID_HANDLE_VALUE) {
    // Memory not backed by a file.
    if (wanted == 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    fd = ::memfd_create("qvmapping", MFD_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(wanted)) != 0) {
      FailErrno();
      if (fd >= 0) ::close(fd);
      return nullptr;
    }
  } else {
    auto f = Find<FileObject>(file);
    if (!f) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    if (writable && !(f->access() & GENERIC_WRITE)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return nullptr;
    }
    struct stat st{};
    if (::fstat(f->fd(), &st) != 0) {
      FailErrno();
      return nullptr;
    }
    const auto current = static_cast<ULONGLONG>(st.st_size);
    if (size == 0) size = current;
    if (size == 0) {
      SetLastError(kErrorFileInvalid);
      return nullptr;
    }
    if (size > current) {
      // A mapping larger than the file grows it, which needs write access.
      if (!writable) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
      }
      if (pseam::Armed()) pseam::BeforeChange(f->fd());
      if (::ftruncate(f->fd(), static_cast<off_t>(size)) != 0) {
        FailErrno();
        return nullptr;
      }
    }
    fd = ::dup(f->fd());
    if (fd < 0) {
      FailErrno();
      return nullptr;
    }
  }
  SetLastError(0);
  const bool overFile = file && file != INVALID_HANDLE_VALUE;
  return AddObject(std::make_shared<MappingObject>(fd, size, writable, overFile));
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, size_t bytes) {
  auto m = Find<MappingObject>(mapping);
  if (!m) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const ULONGLONG offset = (static_cast<ULONGLONG>(offsetHigh) << 32) | offsetLow;
  if (offset % kGranularity != 0) {
    SetLastError(kErrorMappedAlignment);
    return nullptr;
  }
  const bool write = (access & FILE_MAP_WRITE) != 0;
  if ((write && !m->writable) || offset > m->size || (bytes && offset + bytes > m->size)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const size_t length = bytes ? bytes : static_cast<size_t>(m->size - offset);
  if (length == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* p = ::mmap(nullptr, length, write ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, m->fd,
                   static_cast<off_t>(offset));
  if (p == MAP_FAILED) {
    FailErrno();
    return nullptr;
  }
  const bool watched = write && m->overFile && pseam::Armed();
  if (watched) pseam::ViewMapped(m->fd);
  std::lock_guard<std::mutex> g(ViewsLock());
  Views()[reinterpret_cast<uintptr_t>(p)] = View{length, offset, m, write, watched};
  return p;
}

BOOL UnmapViewOfFile(LPCVOID view) {
  std::shared_ptr<MappingObject> keep;  // released outside the lock
  std::lock_guard<std::mutex> g(ViewsLock());
  auto it = Views().find(reinterpret_cast<uintptr_t>(view));
  if (it == Views().end()) return Fail(ERROR_INVALID_PARAMETER);
  ::munmap(const_cast<void*>(view), it->second.length);
  if (it->second.watched) pseam::ViewUnmapped(it->second.mapping->fd);
  keep = std::move(it->second.mapping);
  Views().erase(it);
  return TRUE;
}

BOOL FlushViewOfFile(LPCVOID view, size_t bytes) {
  qv::crash_seam::Point counted(FsCall::kFlush, [] { return std::wstring(); });
  const auto at = reinterpret_cast<uintptr_t>(view);
  std::lock_guard<std::mutex> g(ViewsLock());
  auto it = Views().upper_bound(at);
  if (it == Views().begin()) return Fail(ERROR_INVALID_PARAMETER);
  --it;
  const uintptr_t base = it->first, end = base + it->second.length;
  if (at >= end) return Fail(ERROR_INVALID_PARAMETER);
  const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const uintptr_t from = at & ~(page - 1);
  const uintptr_t to = bytes ? std::min<uintptr_t>(at + bytes, end) : end;
  // As on the device, the pages are written to the disk and waited for, but
  // neither the disk's own cache nor the file's metadata is flushed: the next
  // FlushFileBuffers on the volume makes them lasting.
  const auto offset = static_cast<off64_t>(it->second.offset + (from - base));
  constexpr unsigned kWrite = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
  if (::sync_file_range(it->second.mapping->fd, offset, static_cast<off64_t>(to - from), kWrite) != 0) {
    if (errno != ESPIPE && errno != EINVAL && errno != ENOSYS) return FailErrno();
    if (::msync(reinterpret_cast<void*>(from), to - from, MS_SYNC) != 0) return FailErrno();
  }
  if (it->second.watched && pseam::Armed()) {
    pseam::RangeSynced(it->second.mapping->fd, static_cast<uint64_t>(offset), to - from);
  }
  return TRUE;
}

}  // extern "C"
