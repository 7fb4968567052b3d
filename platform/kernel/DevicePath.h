// Device path parsing and host resolution. Internal to the platform library.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/base/WinTypes.h"

namespace qv::kernel {

// Splits a device path into its names ("." dropped, ".." climbs, never above
// the root). Refuses names with characters the device forbids (123), a path
// longer than MAX_PATH - 1 or a name longer than 255 (206). With
// `wildcardLast` the last name may hold "*" and "?".
bool SplitDevicePath(std::wstring_view path, std::vector<std::wstring>* names, DWORD* error,
                     bool wildcardLast = false);
// The device path of names, "\A\B" ("\" for none).
std::wstring JoinDevicePath(const std::vector<std::wstring>& names);
// Whether a name holds "*" or "?".
bool HasWildcards(std::wstring_view name);
// Windows-style match of a name against a pattern ("*", "?", "*.*" matches
// every name), without regard to case.
bool MatchPattern(std::wstring_view pattern, std::wstring_view name);

// What resolving a path learnt of its last name on the way, so that a caller
// that only opens what exists need not ask the file system again: `absent`
// when the parent is a directory without the name, `parentMissing` when the
// parent itself is not there under any spelling (below a folder that is),
// `found` with its status when the name, spelt as given, is there and is no
// link.
// `makesNew` is the caller's word in: it is about to make the last name and
// fail should any spelling of it be there, so the folder's listing answers
// without a look-up of the whole path first.
struct HostLookup {
  bool makesNew = false;
  bool absent = false;
  bool parentMissing = false;
  bool found = false;
  struct stat status{};
};

// Host path of split names below the root, each existing name matched
// without regard to case.
std::string ResolveNames(const std::vector<std::wstring>& names, HostLookup* lookup = nullptr);
// Parses and resolves a device path; sets the last error and returns false
// for a refused path.
bool ResolveDevicePath(std::wstring_view path, std::string* host, std::wstring* canonical = nullptr,
                       HostLookup* lookup = nullptr);
// A change of names this process makes in one host directory. Made before
// the change, it notes whether the directory's cached listing is current;
// Done, after the change succeeded, keeps that listing current with it
// rather than have the next look-up read the directory again.
class DirChange {
 public:
  explicit DirChange(const std::string& dir);
  // The name that left the directory and the one that came (either may be empty).
  void Done(const std::string& removed, const std::string& added);

 private:
  std::string dir_;
  bool current_ = false;
};

// Drops every cached listing (after the files changed behind the kernel's back).
void ForgetDirListings();
// Whether the folder `dir`, whose status `st` the caller has just taken, is
// known to hold no name: only a listing kept exact by change notices answers.
bool KnownEmptyDir(const std::string& dir, const struct stat& st);

// The kernel's own folder below the root (never listed), created on demand.
std::string KernelDir(const char* sub);
// The device is one user's: every file the platform makes under the root is
// the owner's alone (0600), every folder 0700.
inline constexpr unsigned kOwnFileMode = 0600;
inline constexpr unsigned kOwnFolderMode = 0700;
// Opens a host file of the platform's own with open(2) `flags`: created
// 0600, and one left looser by an older version tightened. -1 with errno.
int OpenOwnHostFile(const std::string& hostPath, int flags);
// Writes a whole host file of the platform's own through "<path>.tmp" and a
// rename, 0600 from the start.
bool ReplaceOwnHostFile(const std::string& hostPath, const std::string& bytes);
// The name the kernel's own folder has in the root.
inline constexpr const char* kKernelFolder = ".qvkernel";

}  // namespace qv::kernel
