// The file system's power-cut seam. While armed, the file layer remembers
// what each file and folder under the device root would lose if the power
// went now: the bytes written to a file since its last sync, and the names a
// folder gained, lost or moved since that folder's last sync. CutPower then
// undoes, on the files themselves, a seeded choice of those changes and
// starts a new boot. Cheap while not armed: one flag test per call.
//
// What syncs what (as the device's file system has it):
// - FlushFileBuffers (through any handle of the file, one reopened without
//   access too) syncs the file's bytes and length, not its name in its folder;
// - FlushViewOfFile syncs the mapped bytes it covers (pages written through a
//   view count as unsynced until then or until a sync of the file);
// - MoveFileExW with MOVEFILE_WRITE_THROUGH syncs both folders of the move;
// - qv::FlushDeviceVolume syncs everything.
// A move counts as synced once its destination folder is; a create or a
// delete once its own folder is. Everything on disk when Arm is called counts
// as synced; arm before opening the files the test watches, since views
// mapped before then are not watched.
//
// What the cut does, per 512-byte sector of every file changed since its
// last sync: keeps the sector as written, drops it (the last synced bytes
// come back; a dropped sector beyond the synced length cuts the file there,
// a truncation whose first sector is dropped is undone) or tears it
// (garbage). Per unsynced folder change: keeps it or undoes it (a created
// file or folder disappears, a deleted file comes back with its last synced
// bytes, a move goes back and brings back the file it replaced). A change
// that a kept or synced later change builds on (the same name, or a folder
// above or below it) is kept too, so the folders stay consistent.
//
// After the cut, as after a restart:
// - every file handle, mapping and stream opened before the cut is dead:
//   calls through it fail with ERROR_INVALID_HANDLE (only closing works), so
//   objects destroyed after the cut cannot write through them; views mapped
//   before the cut still read and write, but in private memory that no longer
//   reaches the file. Destroy the engine's objects right after the cut (or
//   before it), then open everything again. Calls by path that destructors
//   make (deleting a temporary file...) do reach the disk, as calls of the
//   new boot would.
// - qv::BootId() answers a new id.
// - the seam stays armed with a clean slate: what is on disk now counts as
//   synced.
// No other thread may be working on files during the cut. A child process
// that cut the power in its crash-point action leaves its parent on the old
// boot: the parent calls NewBoot() itself.
//
// Not covered: the kernel's own state under the device root's kernel folder
// and the registry hives, which are written without the file layer.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include <sys/types.h>

#include "platform/base/WinTypes.h"

namespace qv::power_seam {

enum class CutMode {
  kRandom,   // each unsynced sector and folder change chosen by the seed
  kDropAll,  // everything unsynced is lost
  kKeepAll,  // nothing is lost: only the boot changes
};

struct CutReport {
  int filesChanged = 0;  // files whose bytes or length the cut changed
  int sectorsKept = 0;
  int sectorsDropped = 0;
  int sectorsTorn = 0;
  int entriesKept = 0;   // unsynced folder changes kept
  int entriesUndone = 0;
};

// Starts watching with a clean slate.
QV_PLATFORM_API void Arm();
// Stops watching and forgets what was unsynced.
QV_PLATFORM_API void Disarm();
QV_PLATFORM_API bool IsArmed();
// Undoes the unsynced changes as the seed (or the mode) chooses, kills the
// handles open now and starts a new boot. Not armed, it undoes nothing but
// still kills the handles and starts the new boot.
QV_PLATFORM_API CutReport CutPower(uint64_t seed, CutMode mode = CutMode::kRandom);
// Makes BootId() answer a new id, as after a restart.
QV_PLATFORM_API void NewBoot();
// Disarms and gives BootId() back the host's own id.
QV_PLATFORM_API void Reset();

// ---- The file layer's side (internal to the platform library) ----

extern std::atomic<bool> g_armed;
inline bool Armed() { return g_armed.load(std::memory_order_relaxed); }

// The boot id a cut or NewBoot put in force; false while the host's answers.
extern std::atomic<bool> g_newBoot;
bool BootOverride(std::string* id);

// Before the bytes or length of the open file `fd` change (also through a
// writable view about to be mapped): keeps its synced bytes if not yet kept.
void BeforeChange(int fd);
// The same for a file by host path, before an open that truncates it.
void BeforeChangeAt(const std::string& host);
// Bytes written at `offset`.
void Written(int fd, uint64_t offset, uint64_t length);
// A new file (its fd) or folder (fd -1) got the name `host`.
void Created(const std::string& host, int fd);
// Before `host` is deleted, or replaced by a move: keeps the file's synced
// bytes for the undo. Call Removed or Moved after the change succeeded.
struct Gone {
  bool file = false;   // a regular file was there
  bool known = false;  // its bytes were kept (only while armed)
  dev_t dev = 0;
  ino_t ino = 0;
  std::string bytes;
};
Gone BeforeRemove(const std::string& host);
void Removed(const std::string& host, bool dir, Gone gone);
void Moved(const std::string& from, const std::string& to, bool dir, Gone replaced);
// Syncs.
void FileSynced(int fd);
void RangeSynced(int fd, uint64_t offset, uint64_t length);
void FolderSynced(const std::string& dir);
void VolumeSynced();
// A writable view of the file `fd` was mapped / unmapped.
void ViewMapped(int fd);
void ViewUnmapped(int fd);

}  // namespace qv::power_seam
