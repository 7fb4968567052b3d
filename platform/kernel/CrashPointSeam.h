// The file system's crash-point seam: counts the calls made through the file
// layer while armed and, at the N-th, runs an action the test gives (ending
// a forked child with _exit, throwing, cutting the power...) before the call
// does anything or after it is done. A sweep first counts an operation's
// calls (Count), then runs the operation once per point, each in a forked
// child that dies there. Cheap while not armed: one flag test per call.
//
// Counted, once per call of the platform's API (a call made inside another,
// as CreateFileForMappingW's open or GetTempPathW's folder, counts as its own):
// CreateFileW, _wfopen and qv_fopen (kOpen); ReadFile and a stream's reads
// from the file (kRead); WriteFile and a stream's writes to the file (kWrite);
// FlushFileBuffers, FlushViewOfFile, qv::FlushDeviceVolume (kFlush);
// MoveFileW, MoveFileExW, DeleteAndRenameFile (kMove); CopyFileW (kCopy);
// DeleteFileW (kDelete); SetEndOfFile (kSetEnd); CreateDirectoryW (kCreateDir);
// RemoveDirectoryW (kRemoveDir); FindFirstFileW, FindNextFileW (kFind);
// CreateFileMappingW over a file (kMap). A stream buffers: its reads and
// writes reach the file, and count, when the C library flushes them.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "platform/base/WinTypes.h"

namespace qv::crash_seam {

enum class FsCall { kOpen, kRead, kWrite, kFlush, kMove, kCopy, kDelete, kSetEnd, kCreateDir, kRemoveDir, kFind, kMap };
enum class When { kBefore, kAfter };

struct CallInfo {
  int number = 0;  // 1 for the first call counted
  FsCall call = FsCall::kOpen;
  When when = When::kBefore;
  std::wstring path;  // the device path the call works on, when it names one
};
using Action = std::function<void(const CallInfo&)>;

// Counts from 0 with no action.
QV_PLATFORM_API void Count();
// Counts from 0 and runs `action` once, at the `n`-th call (1 for the first),
// before or after it. The action runs on the thread that makes the call; it
// may throw (the call then neither happens nor returns, by `when`).
QV_PLATFORM_API void Arm(int n, When when, Action action);
// The calls counted since Count or Arm (kept after Disarm).
QV_PLATFORM_API int Calls();
// Stops counting; the action is forgotten.
QV_PLATFORM_API void Disarm();
QV_PLATFORM_API void Reset();
QV_PLATFORM_API const char* CallName(FsCall call);

// ---- The file layer's side (internal to the platform library) ----

extern std::atomic<bool> g_counting;

// Made first thing in each counted call; `path` is asked only when the
// action runs. The action "after" runs as the point goes out of scope, once
// the call's result is made.
class Point {
 public:
  template <class PathFn>
  Point(FsCall call, PathFn path) {
    if (g_counting.load(std::memory_order_relaxed)) Enter(call, std::function<std::wstring()>(path));
  }
  ~Point() noexcept(false) {
    if (after_) Leave();
  }
  Point(const Point&) = delete;
  Point& operator=(const Point&) = delete;

 private:
  void Enter(FsCall call, std::function<std::wstring()> path);
  void Leave();

  bool after_ = false;
  CallInfo info_;
};

}  // namespace qv::crash_seam
