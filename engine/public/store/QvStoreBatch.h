// A hold of every mutex of the message store, taken once by a thread for a
// run of changes (a receive stores message after message) rather than for
// each file it touches. While it is held no other thread or process changes
// a list, a header cache or the id counter, so what the holding thread read
// or wrote of them since the hold began is still what the files hold: the
// store answers from memory instead of reading them again, and its own holds
// inside the batch cost no lock call. The mutexes are tried, never waited
// for: a batch that cannot have them all at once holds none, and the store
// works as it does without one. A batch inside a batch is the outer one.
//
// A file the store writes in place for each message (a list, a header
// cache, the id counter) stays open for the whole batch (KeptFile). The
// handle names the file as it was when opened, so every read of such a file
// afresh and every replacement of it lets go of its handle first (DropFile):
// the store's settling and committing of files does so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class QvStoreBatch {
 public:
  QvStoreBatch();
  ~QvStoreBatch();
  QvStoreBatch(const QvStoreBatch&) = delete;
  QvStoreBatch& operator=(const QvStoreBatch&) = delete;

  bool Held() const { return held_; }
  // The batch the calling thread holds, 0 when none. A batch's number is
  // never given again, so a reading kept under one is never taken for a
  // reading of another.
  static uint64_t Current();

  // A handle of `path` open for reading and writing (others may read, write
  // and replace it meanwhile), kept until the batch ends; null outside a
  // batch or when the file cannot be opened. Given `at`, it points to where
  // the handle's file pointer stands (-1: unknown), for the caller to keep
  // after it moves it; without, the place is forgotten.
  static void* KeptFile(const std::wstring& path, int64_t** at = nullptr);
  // Closes the kept handle of `path`, if any.
  static void DropFile(const std::wstring& path);

 private:
  void Release();

  std::vector<void*> mutexes_;  // HANDLE each, the taken ones first
  struct Kept {
    void* file;  // HANDLE
    int64_t at;  // its file pointer, when known
  };
  std::map<std::wstring, Kept> files_;  // by device path
  std::size_t taken_ = 0;
  bool held_ = false;
  bool outer_ = false;  // this object began the thread's batch
};
