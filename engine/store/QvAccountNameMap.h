// The accounts of each data folder by name: a map from account name to the
// folder below the data folder, the folder names in use (case-folded, as the
// device compares names), and the names in the order the scan found them.
// There is one map per data folder, keyed by its resolved path, because the
// set-up tools work on the mail folder and the feed reader's in one process.
// Callers hold Mutex() around every use.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class QvAccountNameMap {
 public:
  struct Listing {
    bool loaded = false;
    std::map<std::wstring, std::wstring> folderOf;
    std::set<std::wstring> foldersInUse;  // every folder of the data folder, case-folded
    std::vector<std::wstring> order;
    // Renames the account's folder does not hold yet, by folder (case-folded):
    // the name the folder held when it was renamed, and the new one. The
    // caller stores the new name after the rename, and a scan meanwhile would
    // read the old one back; while the folder still holds that old name and
    // the account is open, the new one stands.
    struct Renamed {
      std::wstring from;
      std::wstring to;
    };
    std::map<std::wstring, Renamed> renamed;
  };

  // The listing of the data folder a registry key names, held under the
  // map's lock for the object's life. Not valid (the error word set) when
  // the data folder is not named or cannot be listed; an empty one is valid,
  // with `code` 0x20000aa.
  class Held {
   public:
    Held(const std::wstring& key, bool rescan);
    bool Valid() const { return listing != nullptr; }
    std::wstring dataPath;
    Listing* listing = nullptr;
    uint32_t code = 0;

   private:
    std::unique_lock<std::mutex> lock_;
  };

  static QvAccountNameMap& Instance();
  std::mutex& Mutex() { return lock_; }

  // The listing of a data folder ("...\" at the end), scanned when not loaded
  // or when `rescan` is set. Code: 0x20000a9 when the folder cannot be listed,
  // 0x20000aa when it holds no account (the listing is then loaded and empty).
  uint32_t Load(const std::wstring& dataPath, bool rescan, Listing** listing);
  // Enters a new account as the scan would find it.
  static void Enter(Listing* listing, const std::wstring& name, const std::wstring& folder);
  static void Remove(Listing* listing, const std::wstring& name, const std::wstring& folder);
  // Moves an entered account to a new name; its folder holds `stored` until
  // the caller stores the new one.
  static void Rename(Listing* listing, const std::wstring& oldName, const std::wstring& newName,
                     const std::wstring& folder, const std::wstring& stored);

  // A folder holds an account when it has "AccountInfo.ini"; folders whose
  // name begins with a dot are being made or deleted.
  static bool IsAccountFolder(const std::wstring& dataPath, const std::wstring& folder);
  // The account's stored name, or the folder's name when it has none.
  static std::wstring StoredName(const std::wstring& dataPath, const std::wstring& folder);

 private:
  QvAccountNameMap() = default;
  static uint32_t Scan(const std::wstring& dataPath, Listing* listing);

  std::mutex lock_;
  std::map<std::wstring, Listing> listings_;
};
