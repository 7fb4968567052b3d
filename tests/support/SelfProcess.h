// Runs this test program again as a second process, with extra environment
// entries that select a helper branch taken before any test runs. Entries of
// the same names inherited from this process are replaced.
#pragma once

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

extern char** environ;

namespace qv::test {

inline pid_t SpawnSelf(const std::vector<std::string>& entries) {
  std::vector<std::string> env = entries;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string s = *e;
    bool replaced = false;
    for (const std::string& entry : entries) {
      const size_t name = entry.find('=') + 1;
      replaced |= s.compare(0, name, entry, 0, name) == 0;
    }
    if (!replaced) env.push_back(s);
  }
  std::vector<char*> envp;
  for (std::string& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  char self[] = "/proc/self/exe";
  char* argv[] = {self, nullptr};
  pid_t pid = -1;
  EXPECT_EQ(posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv, envp.data()), 0);
  return pid;
}

// The exit status of a spawned process, -1 when it did not exit normally or
// was never started (waitpid(-1) would take any child, or none, as success).
inline int WaitExit(pid_t pid) {
  int status = 0;
  if (pid <= 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace qv::test
