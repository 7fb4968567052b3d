// One hive persisted in a file: read again whenever another process (or an
// earlier write) replaced the file, written whole through a temp file and a
// rename while an flock on a lock file beside it keeps writers apart.
// Readers need no lock: a rename replaces the file in one step. Not
// thread-safe by itself; the registry serialises its callers.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "platform/registry/RegistryKey.h"

namespace qv::registry {

class HiveFile {
 public:
  explicit HiveFile(std::string path);

  // The tree as the file holds it now.
  RegistryKey& Current();
  // Runs `change` on the current tree with the file locked; when it sets
  // *changed, writes the file. Returns the result of `change`, or the error
  // of a failed write (the tree then falls back to the file).
  LONG Mutate(const std::function<LONG(RegistryKey& root, bool* changed)>& change);

 private:
  struct Identity {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    timespec ctime{};
    bool operator==(const Identity& o) const;
  };

  static Identity IdentityOf(const std::string& path);
  static Identity IdentityOf(const struct stat& st);
  void Refresh();
  DWORD Write(const std::string& text);

  std::string path_;
  std::unique_ptr<RegistryKey> root_;
  Identity loaded_;
  bool valid_ = false;
};

}  // namespace qv::registry
