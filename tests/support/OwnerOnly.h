// What under a host folder others than its owner could read, write or
// enter: the tests of the platform's own files and folders list it.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace qv::test {

// The permission bits of a host path, links not followed; -1 when missing.
inline int HostMode(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

// Every file or folder at or below `root` with a bit for the group or for
// others, as "path mode".
inline std::vector<std::string> OpenToOthers(const std::string& root) {
  std::vector<std::string> open;
  auto check = [&](const std::string& path) {
    const int mode = HostMode(path);
    if (mode < 0 || (mode & 077) != 0) open.push_back(path + " " + std::to_string(mode >= 0 ? mode : -1));
  };
  check(root);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) check(entry.path().string());
  return open;
}

}  // namespace qv::test
