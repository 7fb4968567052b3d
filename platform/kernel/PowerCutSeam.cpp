#include "platform/kernel/PowerCutSeam.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <vector>

#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/DevicePath.h"
#include "platform/kernel/FileObject.h"
#include "platform/kernel/HostRead.h"

namespace qv::power_seam {

std::atomic<bool> g_armed{false};
std::atomic<bool> g_newBoot{false};

namespace {

constexpr uint64_t kSector = 512;

using Key = std::pair<dev_t, ino_t>;

struct FileRecord {
  std::string synced;            // the bytes at the last sync
  std::set<uint64_t> touched;    // sectors written since, by number
};

// A file with writable views: what stores through them change is seen only
// by comparing with the synced bytes, so its record lives as long as they do.
struct Watched {
  int fd = -1;  // a descriptor of its own, to read the file by
  int views = 0;
};

struct EntryOp {
  enum Kind { kCreate, kRemove, kMove } kind;
  std::string path;    // the name made, removed, or moved to
  std::string from;    // a move's old name
  bool dir = false;
  Gone gone;           // a removed file's, or the one a move replaced
  std::string folder;  // the folder whose sync makes the change last
  bool synced = false;
};

struct State {
  std::mutex lock;
  std::map<Key, FileRecord> files;
  std::map<Key, Watched> watched;
  std::vector<EntryOp> ops;
  bool bootSet = false;
  std::string boot;
};

State& S() {
  static State* s = new State;  // outlives threads still running at exit
  return *s;
}

bool KeyOf(int fd, Key* key) {
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *key = Key(st.st_dev, st.st_ino);
  return true;
}

// The bytes of a host file, or of the file behind a descriptor of any access.
std::string ReadPath(const std::string& host) {
  std::string bytes;
  const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return bytes;
  kernel::ReadToEnd(fd, &bytes);
  ::close(fd);
  return bytes;
}
std::string ReadFd(int fd) { return ReadPath("/proc/self/fd/" + std::to_string(fd)); }

std::string Parent(const std::string& host) {
  const size_t cut = host.rfind('/');
  return cut == std::string::npos ? std::string() : host.substr(0, cut);
}

bool Related(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  if (a == b) return true;
  const auto below = [](const std::string& inner, const std::string& outer) {
    return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 && inner[outer.size()] == '/';
  };
  return below(a, b) || below(b, a);
}

// Regular files below the root, by identity; the kernel's folder is left out.
void Walk(const std::string& dir, bool atRoot, std::map<Key, std::string>* out) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == ".." || (atRoot && name == kernel::kKernelFolder)) continue;
    const std::string path = dir + "/" + name;
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      Walk(path, false, out);
    } else if (S_ISREG(st.st_mode)) {
      out->emplace(Key(st.st_dev, st.st_ino), path);
    }
  }
  ::closedir(d);
}

bool WriteWhole(const std::string& host, const std::string& bytes, int flags) {
  const int fd = ::open(host.c_str(), O_WRONLY | O_CLOEXEC | flags, 0600);
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < bytes.size();) {
    const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ok && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
  ::close(fd);
  return ok;
}

enum Fate { kKeep, kDrop, kTear };

class Cutter {
 public:
  Cutter(uint64_t seed, CutMode mode, CutReport* report) : rng_(seed), mode_(mode), report_(report) {}

  Fate Sector() {
    const Fate fate = mode_ == CutMode::kKeepAll   ? kKeep
                      : mode_ == CutMode::kDropAll ? kDrop
                                                   : static_cast<Fate>(rng_() % 3);
    (fate == kKeep ? report_->sectorsKept : fate == kDrop ? report_->sectorsDropped : report_->sectorsTorn)++;
    return fate;
  }

  bool KeepEntry() {
    const bool keep = mode_ == CutMode::kKeepAll || (mode_ == CutMode::kRandom && rng_() % 2 == 0);
    (keep ? report_->entriesKept : report_->entriesUndone)++;
    return keep;
  }

  char Garbage() { return static_cast<char>(rng_()); }

  // The file as the cut leaves it, from what it holds now and at its last sync.
  void File(const std::string& host, const FileRecord& record) {
    const std::string now = ReadPath(host);
    const std::string& was = record.synced;
    const uint64_t longest = std::max(now.size(), was.size());
    const uint64_t sectors = (longest + kSector - 1) / kSector;
    const auto part = [](const std::string& s, uint64_t at) {
      return at >= s.size() ? std::string_view() : std::string_view(s).substr(at, kSector);
    };
    std::vector<bool> unsynced(sectors);
    std::vector<Fate> fates(sectors, kKeep);
    for (uint64_t i = 0; i < sectors; ++i) {
      unsynced[i] = record.touched.count(i) != 0 || part(now, i * kSector) != part(was, i * kSector);
      if (unsynced[i]) fates[i] = Sector();
    }
    // The length: grown, the file ends at the first appended sector dropped;
    // shrunk, the truncation stands unless its first sector is dropped.
    uint64_t length = now.size();
    if (now.size() > was.size()) {
      for (uint64_t i = was.size() / kSector; i < sectors; ++i) {
        if (unsynced[i] && fates[i] == kDrop) {
          length = std::max<uint64_t>(was.size(), i * kSector);
          break;
        }
      }
    } else if (now.size() < was.size() && fates[now.size() / kSector] == kDrop) {
      length = was.size();
    }
    std::string out(length, '\0');
    for (uint64_t at = 0; at < length; ++at) {
      const uint64_t i = at / kSector;
      if (unsynced[i] && fates[i] == kTear) {
        out[at] = Garbage();
      } else if (unsynced[i] && fates[i] == kDrop) {
        out[at] = at < was.size() ? was[at] : '\0';
      } else {
        out[at] = at < now.size() ? now[at] : at < was.size() ? was[at] : '\0';
      }
    }
    if (out == now) return;
    ++report_->filesChanged;
    WriteWhole(host, out, 0);
  }

 private:
  std::mt19937_64 rng_;
  CutMode mode_;
  CutReport* report_;
};

void Undo(const EntryOp& op) {
  switch (op.kind) {
    case EntryOp::kCreate:
      if (op.dir) {
        ::rmdir(op.path.c_str());
      } else {
        ::unlink(op.path.c_str());
      }
      break;
    case EntryOp::kRemove:
      if (op.dir) {
        ::mkdir(op.path.c_str(), 0700);
      } else if (op.gone.known) {
        WriteWhole(op.path, op.gone.bytes, O_CREAT | O_EXCL);
      }
      break;
    case EntryOp::kMove:
      if (::rename(op.path.c_str(), op.from.c_str()) == 0 && op.gone.known) {
        WriteWhole(op.path, op.gone.bytes, O_CREAT | O_EXCL);
      }
      break;
  }
}

// Every descriptor of a file under the root (the kernel's folder aside) is
// made one that fails every read, write, sync and mapping, so that handles
// from before the cut reach nothing.
void KillDescriptors() {
  char real[PATH_MAX];
  if (::realpath(qv::DeviceRoot().c_str(), real) == nullptr) return;
  const std::string root = std::string(real) + "/";
  const std::string kernelDir = root + kernel::kKernelFolder + "/";
  const int dead = ::open("/dev/null", O_PATH | O_CLOEXEC);
  if (dead < 0) return;
  std::vector<int> victims;
  if (DIR* d = ::opendir("/proc/self/fd")) {
    while (dirent* e = ::readdir(d)) {
      char* end = nullptr;
      const long fd = std::strtol(e->d_name, &end, 10);
      if (end == e->d_name || *end != '\0' || fd == dead || fd == ::dirfd(d)) continue;
      char target[PATH_MAX];
      const std::string link = "/proc/self/fd/" + std::string(e->d_name);
      const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
      if (n <= 0) continue;
      const std::string path(target, static_cast<size_t>(n));
      if (path.compare(0, root.size(), root) != 0 || path.compare(0, kernelDir.size(), kernelDir) == 0) continue;
      struct stat st{};
      if (::fstat(static_cast<int>(fd), &st) == 0 && S_ISREG(st.st_mode)) victims.push_back(static_cast<int>(fd));
    }
    ::closedir(d);
  }
  for (int fd : victims) ::dup3(dead, fd, O_CLOEXEC);
  ::close(dead);
}

std::string FreshBootId() {
  static std::mt19937_64 rng{std::random_device{}()};
  static const char kHex[] = "0123456789abcdef";
  std::string id;
  for (int i = 0; i < 32; ++i) {
    if (i == 8 || i == 12 || i == 16 || i == 20) id += '-';
    id += kHex[rng() % 16];
  }
  return id;
}

void ForgetAll(State& s) {
  for (auto& [key, w] : s.watched) ::close(w.fd);
  s.watched.clear();
  s.files.clear();
  s.ops.clear();
}

}  // namespace

void Arm() {
  std::lock_guard<std::mutex> g(S().lock);
  ForgetAll(S());
  g_armed = true;
}

void Disarm() {
  std::lock_guard<std::mutex> g(S().lock);
  g_armed = false;
  ForgetAll(S());
}

bool IsArmed() { return Armed(); }

void NewBoot() {
  const std::string current = qv::BootId();
  std::lock_guard<std::mutex> g(S().lock);
  std::string id = FreshBootId();
  while (id == current) id = FreshBootId();
  S().boot = id;
  S().bootSet = true;
  g_newBoot = true;
}

void Reset() {
  Disarm();
  std::lock_guard<std::mutex> g(S().lock);
  S().bootSet = false;
  S().boot.clear();
  g_newBoot = false;
}

bool BootOverride(std::string* id) {
  if (!g_newBoot.load(std::memory_order_relaxed)) return false;
  std::lock_guard<std::mutex> g(S().lock);
  if (!S().bootSet) return false;
  *id = S().boot;
  return true;
}

CutReport CutPower(uint64_t seed, CutMode mode) {
  CutReport report;
  {
    std::lock_guard<std::mutex> g(S().lock);
    State& s = S();
    if (Armed()) {
      Cutter cut(seed, mode, &report);
      // Files in the order of their names, so that a seed means the same
      // whatever numbers the host gave them.
      std::map<Key, std::string> where;
      Walk(qv::DeviceRoot(), true, &where);
      std::map<std::string, const FileRecord*> byName;
      for (const auto& [key, record] : s.files) {
        auto it = where.find(key);
        if (it != where.end()) byName.emplace(it->second, &record);
      }
      for (const auto& [host, record] : byName) cut.File(host, *record);
      // Folder changes, newest first: one kept or synced pins every older
      // change of a related name.
      std::vector<std::string> pinned;
      for (auto op = s.ops.rbegin(); op != s.ops.rend(); ++op) {
        const bool related = std::any_of(pinned.begin(), pinned.end(), [&](const std::string& p) {
          return Related(p, op->path) || Related(p, op->from);
        });
        if (op->synced || related || cut.KeepEntry()) {
          pinned.push_back(op->path);
          if (!op->from.empty()) pinned.push_back(op->from);
        } else {
          Undo(*op);
        }
      }
      ForgetAll(s);
    }
  }
  KillDescriptors();
  kernel::DetachViews();
  kernel::ForgetDirListings();
  NewBoot();
  return report;
}

// ---- The file layer's side ----

void BeforeChange(int fd) {
  Key key;
  if (!KeyOf(fd, &key)) return;
  std::lock_guard<std::mutex> g(S().lock);
  if (!Armed() || S().files.count(key)) return;
  S().files[key].synced = ReadFd(fd);
}

void BeforeChangeAt(const std::string& host) {
  const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;  // a new file: Created notes it
  BeforeChange(fd);
  ::close(fd);
}

void Written(int fd, uint64_t offset, uint64_t length) {
  Key key;
  if (length == 0 || !KeyOf(fd, &key)) return;
  std::lock_guard<std::mutex> g(S().lock);
  if (!Armed()) return;
  auto it = S().files.find(key);
  if (it == S().files.end()) return;
  for (uint64_t i = offset / kSector; i <= (offset + length - 1) / kSector; ++i) it->second.touched.insert(i);
}

void Created(const std::string& host, int fd) {
  Key key;
  const bool file = fd >= 0 && KeyOf(fd, &key);
  std::lock_guard<std::mutex> g(S().lock);
  if (!Armed()) return;
  if (file) S().files[key] = FileRecord{};  // synced empty, even if the number was used before
  S().ops.push_back(EntryOp{EntryOp::kCreate, host, std::string(), fd < 0, Gone{}, Parent(host), false});
}

Gone BeforeRemove(const std::string& host) {
  Gone gone;
  struct stat st{};
  if (::lstat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return gone;
  gone.file = true;
  gone.dev = st.st_dev;
  gone.ino = st.st_ino;
  std::lock_guard<std::mutex> g(S().lock);
  if (!Armed()) return gone;
  auto it = S().files.find(Key(st.st_dev, st.st_ino));
  gone.bytes = it != S().files.end() ? it->second.synced : ReadPath(host);
  gone.known = true;
  return gone;
}

void Removed(const std::string& host, bool dir, Gone gone) {
  std::lock_guard<std::mutex> g(S().lock);
  if (!Armed()) return;
  if (gone.file) S().files.erase(Key(gone.dev, gone.ino));
  S().ops.push_back(EntryOp{EntryOp::kRemove, host, std::string(), dir, std::move(gone), Parent(host), false});
}

void Moved(const std::string& from, const std::string& to, bool dir, Gone replaced) {
  std::lock_guard<std::mutex> g(S().lock);
  if (!Armed()) return;
  if (replaced.file) S().files.erase(Key(replaced.dev, replaced.ino));
  S().ops.push_back(EntryOp{EntryOp::kMove, to, from, dir, std::move(replaced), Parent(to), false});
}

void FileSynced(int fd) {
  Key key;
  if (!KeyOf(fd, &key)) return;
  std::lock_guard<std::mutex> g(S().lock);
  if (!Armed()) return;
  if (S().watched.count(key)) {
    S().files[key] = FileRecord{ReadFd(fd), {}};
  } else {
    S().files.erase(key);
  }
}

void RangeSynced(int fd, uint64_t offset, uint64_t length) {
  Key key;
  if (!KeyOf(fd, &key)) return;
  std::lock_guard<std::mutex> g(S().lock);
  if (!Armed()) return;
  auto it = S().files.find(key);
  if (it == S().files.end()) return;
  const std::string now = ReadFd(fd);
  const uint64_t end = std::min<uint64_t>(offset + length, now.size());
  std::string& synced = it->second.synced;
  if (synced.size() < end) synced.resize(end, '\0');
  for (uint64_t at = offset; at < end; ++at) synced[at] = now[at];
  auto& touched = it->second.touched;
  for (auto s = touched.begin(); s != touched.end();) {
    s = *s * kSector >= offset && (*s + 1) * kSector <= offset + length ? touched.erase(s) : std::next(s);
  }
}

void FolderSynced(const std::string& dir) {
  std::lock_guard<std::mutex> g(S().lock);
  if (!Armed()) return;
  for (EntryOp& op : S().ops) {
    if (op.folder == dir) op.synced = true;
  }
}

void VolumeSynced() {
  std::lock_guard<std::mutex> g(S().lock);
  if (!Armed()) return;
  S().ops.clear();
  S().files.clear();
  for (const auto& [key, w] : S().watched) S().files[key] = FileRecord{ReadFd(w.fd), {}};
}

void ViewMapped(int fd) {
  Key key;
  if (!KeyOf(fd, &key)) return;
  BeforeChange(fd);
  std::lock_guard<std::mutex> g(S().lock);
  if (!Armed()) return;
  Watched& w = S().watched[key];
  if (w.views++ == 0) w.fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

void ViewUnmapped(int fd) {
  Key key;
  if (!KeyOf(fd, &key)) return;
  std::lock_guard<std::mutex> g(S().lock);
  auto it = S().watched.find(key);
  if (it == S().watched.end() || --it->second.views > 0) return;
  ::close(it->second.fd);
  S().watched.erase(it);
}

}  // namespace qv::power_seam
