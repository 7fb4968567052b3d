// The process-wide cache of open storages, one QvStorage per storage root
// with a count of its users. Roots are keyed by their resolved, case-folded
// path, so that every spelling of one root shares one storage. The named
// "QvStorageSet Mutex" is taken before any lock of a storage.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class QvStorage;

class QvStorageSet {
 public:
  static QvStorageSet& Instance();

  // The shared storage of a root with one more user; null with the error
  // word set when it cannot be opened.
  QvStorage* Open(const std::wstring& root);
  // One user less. The last one deletes the storage, provided none of its
  // folders and messages is open (else the storage stays and the call fails).
  bool Close(QvStorage* storage);
  // Users of a root's storage (0 when it is not open).
  uint32_t Users(const std::wstring& root);

  // The key of a root: its host path, case-folded.
  static std::wstring KeyOf(const std::wstring& root);

 private:
  QvStorageSet() = default;
  struct Node {
    uint32_t users = 0;
    std::unique_ptr<QvStorage> storage;
  };
  std::mutex lock_;  // the threads of this process; the named mutex serves the others
  std::map<std::wstring, Node> nodes_;
};
