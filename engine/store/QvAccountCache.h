// The process-wide cache of open accounts: one QvAccountInfo per account
// folder with a count of its users, keyed by the folder's resolved path.
// Threads of the program and of its tasks open accounts at once, so every
// look-up and every count change happens under one lock.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class QvAccountInfo;

class QvAccountCache {
 public:
  static QvAccountCache& Instance();

  // The folder's shared account object with one more user; null with the
  // error word set (0x20000bc no folder, 0x20000bd not a folder, 0x20000be
  // no memory).
  QvAccountInfo* Open(const std::wstring& folderPath);
  // One user less; the last one deletes the object.
  void Close(QvAccountInfo* account);
  // Runs `work` while no user holds the folder, with the cache locked so that
  // none can come; false with 0x20000ba, without running it, when the folder
  // is in use.
  bool RunUnused(const std::wstring& folderPath, const std::function<bool()>& work);
  uint32_t Users(const std::wstring& folderPath);

 private:
  QvAccountCache() = default;
  struct Entry {
    uint32_t users = 0;
    std::unique_ptr<QvAccountInfo> account;
  };
  std::mutex lock_;
  std::map<std::wstring, Entry> entries_;
};
