// Inside the shell: starting host programs for the hand-offs.
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

namespace qv::shell {

// Starts `argv[0]` (looked up on PATH when `search`) detached from this
// process's standard streams, with `deviceRoot` (when given) as its device
// root; its end is reaped in the background unless the caller keeps the
// process (then ProcessHandles own it). -1 on failure, with the last error set.
pid_t StartHostProgram(const std::vector<std::string>& argv, bool search, bool keep,
                       const std::string& deviceRoot = std::string());
// Whether a host file may be handed to a viewer: a regular file without any
// executable bit that does not begin as a program does.
bool HostFileViewable(const std::string& hostPath);
// Two waitable handles (the process's and its thread's) for a started
// process kept by StartHostProgram: signalled once it has ended.
void ProcessHandles(pid_t pid, void** process, void** thread);

}  // namespace qv::shell
