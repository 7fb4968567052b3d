#include <dirent.h>
#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <mutex>

#include "platform/base/WideText.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/DevicePath.h"

namespace qv {
namespace {

struct RootState {
  std::mutex lock;
  std::string override;
};

RootState& R() {
  static RootState* r = new RootState;
  return *r;
}

void MakeDirs(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0755);
  }
}

std::string DefaultRoot() {
  const char* env = ::getenv("QVMAIL_DEVICE_ROOT");
  if (env && *env) return env;
  const char* home = ::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.local/share/qvmail/device";
}

// Checked each time: a test may remove a root and then use its path again.
void EnsureDir(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
  MakeDirs(path);
}

// The entry of `dir` whose name equals `name` without regard to case.
bool FindNoCase(const std::string& dir, const std::wstring& name, bool atRoot, std::string* found) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return false;
  const std::wstring want = FoldCase(name);
  // Folding keeps each character's UTF-8 length, so only names of the same
  // byte length can match.
  const size_t length = WideToUtf8(name).size();
  bool ok = false;
  while (dirent* e = ::readdir(d)) {
    const std::string_view entry(e->d_name);
    if (entry.size() != length || (atRoot && entry == kernel::kKernelFolder)) continue;
    if (FoldCase(Utf8ToWide(entry)) == want) {
      *found = e->d_name;
      ok = true;
      break;
    }
  }
  ::closedir(d);
  return ok;
}

}  // namespace

std::string DeviceRoot() {
  std::string root;
  {
    std::lock_guard<std::mutex> g(R().lock);
    root = R().override;
  }
  if (root.empty()) root = DefaultRoot();
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  EnsureDir(root);
  return root;
}

void SetDeviceRoot(const std::string& hostPath) {
  std::lock_guard<std::mutex> g(R().lock);
  R().override = hostPath;
}

std::wstring HostToDevicePath(const std::string& hostPath) {
  const std::string root = DeviceRoot();
  std::string rest = hostPath;
  if (rest.compare(0, root.size(), root) == 0 && (rest.size() == root.size() || rest[root.size()] == '/')) {
    rest = rest.substr(root.size());
  }
  std::wstring out = Utf8ToWide(rest);
  for (auto& c : out) {
    if (c == L'/') c = L'\\';
  }
  if (out.empty() || out[0] != L'\\') out.insert(out.begin(), L'\\');
  return out;
}

namespace kernel {

std::string ResolveNames(const std::vector<std::wstring>& names) {
  std::string host = DeviceRoot();
  bool exists = true;  // once a name is missing, the rest keep their spelling
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string exact = WideToUtf8(names[i]);
    std::string next = host + "/" + exact;
    if (exists) {
      struct stat st{};
      // The exact spelling is the common case; the kernel's folder never
      // stands for a device name.
      const bool hidden = i == 0 && exact == kKernelFolder;
      if (hidden || ::lstat(next.c_str(), &st) != 0) {
        std::string found;
        if (FindNoCase(host, names[i], i == 0, &found)) {
          next = host + "/" + found;
        } else {
          exists = false;
        }
      }
    }
    host = next;
  }
  return host;
}

std::string KernelDir(const char* sub) {
  const std::string dir = DeviceRoot() + "/" + kKernelFolder + "/" + sub;
  EnsureDir(dir);
  return dir;
}

}  // namespace kernel
}  // namespace qv
