// Open files and the share-mode table. Internal to the platform library.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <string>

#include "platform/kernel/KernelObject.h"

namespace qv::kernel {

// 100 ns units between 1601-01-01 and 1970-01-01.
inline constexpr ULONGLONG kUnixEpochFileTime = 116444736000000000ULL;

inline FILETIME ToFileTime(ULONGLONG value) {
  return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}
inline ULONGLONG FromFileTime(const FILETIME& ft) {
  return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
inline FILETIME UnixToFileTime(time_t seconds, long nanoseconds) {
  return ToFileTime(kUnixEpochFileTime + static_cast<ULONGLONG>(seconds) * 10000000ULL +
                    static_cast<ULONGLONG>(nanoseconds) / 100);
}

class FileObject : public KernelObject {
 public:
  FileObject(int fd, DWORD access, DWORD share, dev_t dev, ino_t ino, std::wstring devicePath);
  // A file this open has just made: no other handle can be on it, so its
  // identity is asked of the host only once another open or a removal needs
  // it for the share checks (see KeyOpenFiles), mostly never.
  FileObject(int fd, DWORD access, DWORD share, std::wstring devicePath);
  ~FileObject() override;
  int fd() const { return fd_; }
  DWORD access() const { return access_.load(std::memory_order_relaxed); }
  // From then on the handle only flushes, measures and closes (call with
  // FilesLock() held: the share checks read it).
  void DropAccess() { access_.store(0, std::memory_order_relaxed); }
  const std::wstring& devicePath() const { return devicePath_; }

  // Where the next read or write goes when SetFilePointer named it and no
  // seek of the host file followed (-1: the host file's own offset is the
  // position). Reads and writes go there without a seek of their own, so a
  // record rewritten in place costs one call rather than two.
  off_t PendingPosition() const { return pending_.load(std::memory_order_relaxed); }
  void SetPendingPosition(off_t at) { pending_.store(at, std::memory_order_relaxed); }
  // Moves the host file's offset to the pending position, if any; false
  // with errno set when the seek fails.
  bool SettlePosition();

  DWORD share_;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
  bool keyed_ = false;  // dev_ and ino_ known and the share table holds it (under FilesLock())

 private:
  int fd_;
  std::atomic<DWORD> access_;
  std::wstring devicePath_;
  std::atomic<off_t> pending_{-1};
};

// The open-file lock: share checks and the opens they guard run under it.
std::mutex& FilesLock();
// Enters every open file not yet in the share table (call with FilesLock()
// held, before the table answers).
void KeyOpenFiles();
// Takes a handle that keeps no claim out of the files waiting to be entered
// (call with FilesLock() held).
void ForgetUnkeyed(FileObject* file);

// After a power cut: every view of a file keeps its bytes in private memory,
// no longer reaching the file.
void DetachViews();

}  // namespace qv::kernel
