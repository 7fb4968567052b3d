#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <fstream>
#include <map>
#include <mutex>
#include <vector>

#include "platform/base/WideText.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/DevicePath.h"
#include "platform/kernel/CrashPointSeam.h"
#include "platform/kernel/PowerCutSeam.h"

namespace qv {
namespace {

struct RootState {
  std::mutex lock;
  std::string override;
  std::string closed;  // the root last closed to others: each root once per setting
};

RootState& R() {
  static RootState* r = new RootState;
  return *r;
}

void MakeDirs(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') ::mkdir(path.substr(0, i).c_str(), kernel::kOwnFolderMode);
  }
}

std::string DefaultRoot() {
  const char* env = ::getenv("QVMAIL_DEVICE_ROOT");
  if (env && *env) return env;
  const char* home = ::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.local/share/qvmail/device";
}

// A folder of the platform's that is there already, made by hand or by an
// older version with room for others to look in, is closed to them.
void CloseToOthers(const std::string& path, const struct stat& st) {
  if ((st.st_mode & 077) != 0 && st.st_uid == ::geteuid()) ::chmod(path.c_str(), st.st_mode & kernel::kOwnFolderMode);
}

// Checked each time: a test may remove a root and then use its path again.
void EnsureDir(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    CloseToOthers(path, st);
    return;
  }
  MakeDirs(path);
}

// The root's host path as set, not checked.
std::string RootSetting() {
  std::string root;
  {
    std::lock_guard<std::mutex> g(R().lock);
    root = R().override;
  }
  if (root.empty()) root = DefaultRoot();
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  // The first use of a root opens it: one that exists is closed to others
  // then, without a check on every path after that.
  bool first = false;
  {
    std::lock_guard<std::mutex> g(R().lock);
    first = R().closed != root;
    if (first) R().closed = root;
  }
  struct stat st {};
  if (first && ::stat(root.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) CloseToOthers(root, st);
  return root;
}

// Names of the directories looked into lately, case-folded, so that a path
// lookup does not read a whole directory for every name that is not spelled
// as on disk (or not there at all).
//
// A listing the host's change notices watch is kept exact by them: every
// name made, removed or renamed in its directory, by this process or any
// other, comes as a notice read before the listing answers, so it needs
// neither a second read nor a look at the directory's time.
//
// One without a watch (the host refused one) answers only while the
// directory's modification time is the one it was read at. One read well
// after that time answers as long as that holds. One read within the clock's
// coarse tick of a change, or kept across this process's own creates,
// renames and deletes (changed with them instead of read again), could miss
// a change another process made within that same tick: it answers only for
// the settling time from then on and is read again after that, so that such
// a change is missed briefly at most, and only by a look-up of a name spelled
// otherwise than on disk.
//
// A watched listing is "chained" when every folder from the root down to it
// is a plain folder with a watched listing too: any rename, removal or
// replacement of it or of a folder above it then comes as a notice in the
// watched folder above, so its path is known to name the folder listed
// without a look at the host. A new name's look-up in a chained folder, the
// common case of a message stored, needs no system call of its own. The
// notices of a folder's name un-chain it and everything below it.
struct DirListing {
  dev_t device = 0;
  ino_t inode = 0;
  struct timespec modified {};
  int64_t keptSince = 0;  // when it began to answer for a while only; 0 when settled
  int watch = -1;         // the change notices' watch, -1 for none
  bool atRoot = false;
  bool chained = false;
  bool unchainable = false;  // a chain was tried and could not be made
  uint64_t used = 0;      // when it last answered, in look-ups
  std::map<std::wstring, std::string> byFolded;
};

struct DirCache {
  std::mutex lock;
  std::map<std::string, DirListing> listings;
  int notices = -1;     // the change notices' descriptor, -1 before the first or after a failure
  bool noticesRefused = false;
  unsigned epoch = 0;   // the fork epoch the notices belong to
  std::map<int, std::string> watched;  // watch -> listing
  uint64_t lookups = 0;
};

// A child made by fork shares the parent's notice descriptor: were it to
// read from it, the parent would miss what it read. It drops its copy and
// everything read through it (the epoch tells the next look-up).
std::atomic<unsigned> g_forkEpoch{0};
std::atomic<int> g_noticesFd{-1};

DirCache& Dirs() {
  static DirCache* cache = [] {
    ::pthread_atfork(nullptr, nullptr, [] {
      const int fd = g_noticesFd.exchange(-1);
      if (fd >= 0) ::close(fd);
      g_forkEpoch.fetch_add(1);
    });
    return new DirCache;
  }();
  return *cache;
}

constexpr int64_t kSettleNanos = 50'000'000;  // far beyond the file system clock's tick
// Enough for an account's two trees of 256 folders and the rest of the device.
constexpr size_t kMaxListings = 1024;
constexpr uint32_t kWatchedChanges =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

int64_t Nanos(const struct timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

int64_t NowNanos() {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return Nanos(now);
}

// Every listing and watch dropped; the notices' descriptor closed with its
// watches (opened again on demand). Called with the cache's lock held.
void DropListings(DirCache& cache) {
  cache.listings.clear();
  cache.watched.clear();
  if (cache.notices >= 0) {
    g_noticesFd.store(-1);
    ::close(cache.notices);
    cache.notices = -1;
  }
}

// A listing of a child after fork was read through the parent's notices.
void CheckEpoch(DirCache& cache) {
  const unsigned epoch = g_forkEpoch.load();
  if (cache.epoch == epoch) return;
  cache.epoch = epoch;
  cache.notices = -1;  // closed in the child already
  cache.listings.clear();
  cache.watched.clear();
}

// The folders below `dir` (and `dir` itself with `self`) no longer known to
// be where their paths say.
// The first listing of a folder below `dir`; the ones after it that are
// below `dir` too follow it in the map (Below() tells where they end).
std::map<std::string, DirListing>::iterator FirstBelow(DirCache& cache, const std::string& dir) {
  return cache.listings.lower_bound(dir + '/');
}
bool Below(const std::map<std::string, DirListing>::iterator& it, const DirCache& cache, const std::string& dir) {
  return it != cache.listings.end() && it->first.size() > dir.size() && it->first.compare(0, dir.size(), dir) == 0 &&
         it->first[dir.size()] == '/';
}

void Unchain(DirCache& cache, const std::string& dir, bool self) {
  if (self) {
    auto it = cache.listings.find(dir);
    if (it != cache.listings.end()) it->second.chained = it->second.unchainable = false;
  }
  for (auto it = FirstBelow(cache, dir); Below(it, cache, dir); ++it) {
    it->second.chained = it->second.unchainable = false;
  }
}

void ForgetListing(DirCache& cache, std::map<std::string, DirListing>::iterator it) {
  if (it->second.watch >= 0) {
    cache.watched.erase(it->second.watch);
    if (cache.notices >= 0) ::inotify_rm_watch(cache.notices, it->second.watch);
  }
  const std::string dir = it->first;
  cache.listings.erase(it);
  Unchain(cache, dir, false);
}

// Makes room: the quarter of the listings that answered least lately go.
// A folder with a listing below it is kept: its watch holds their chains.
void ForgetLeastUsed(DirCache& cache) {
  std::vector<std::pair<uint64_t, std::string>> byUse;
  byUse.reserve(cache.listings.size());
  for (const auto& [dir, listing] : cache.listings) {
    if (!Below(FirstBelow(cache, dir), cache, dir)) byUse.emplace_back(listing.used, dir);
  }
  if (byUse.empty()) return;
  const size_t drop = byUse.size() / 4 + 1;
  std::nth_element(byUse.begin(), byUse.begin() + static_cast<ptrdiff_t>(drop - 1), byUse.end());
  for (size_t i = 0; i < drop && i < byUse.size(); ++i) ForgetListing(cache, cache.listings.find(byUse[i].second));
}

// Applies every change notice that has come. Called with the lock held.
void ReadNotices(DirCache& cache) {
  if (cache.notices < 0 || cache.watched.empty()) return;
  alignas(struct inotify_event) char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(cache.notices, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // none left (EAGAIN)
    // A read stops short of a full buffer only when the queue ran dry.
    const bool drained = n < static_cast<ssize_t>(sizeof buffer - sizeof(struct inotify_event) - NAME_MAX - 1);
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(struct inotify_event)) <= n;) {
      const auto* e = reinterpret_cast<const struct inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(struct inotify_event) + e->len);
      if (e->mask & IN_Q_OVERFLOW) {
        // Notices were lost: nothing read through them can be trusted.
        DropListings(cache);
        return;
      }
      auto owner = cache.watched.find(e->wd);
      if (owner == cache.watched.end()) continue;
      auto it = cache.listings.find(owner->second);
      if (it == cache.listings.end()) {
        cache.watched.erase(owner);
        continue;
      }
      DirListing& listing = it->second;
      if (e->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) {
        // The folder went or moved: its path names something else now. A
        // folder removed takes its watch with it.
        if (!(e->mask & IN_MOVE_SELF)) listing.watch = -1;
        cache.watched.erase(owner);
        ForgetListing(cache, it);
        continue;
      }
      const std::string_view name = e->len > 0 ? std::string_view(e->name) : std::string_view();
      if (name.empty() || (listing.atRoot && name == kernel::kKernelFolder)) continue;
      // A folder's name that came, went or moved: the chains through it end.
      // Told here rather than by the folder's own watch, which hears of its
      // removal only once nobody holds the folder open any more.
      if (e->mask & IN_ISDIR) Unchain(cache, it->first + '/' + std::string(name), true);
      const std::wstring folded = FoldCase(Utf8ToWide(name));
      if (e->mask & (IN_CREATE | IN_MOVED_TO)) {
        listing.byFolded[folded] = std::string(name);
      } else if (e->mask & (IN_DELETE | IN_MOVED_FROM)) {
        auto gone = listing.byFolded.find(folded);
        if (gone != listing.byFolded.end() && gone->second == name) listing.byFolded.erase(gone);
      }
    }
    if (drained) return;
  }
}

// A watch on `dir` for a listing about to be read, -1 when the host gives
// none. Taken before the read, so that no change falls between the two.
int WatchFor(DirCache& cache, const std::string& dir, bool noFollow = false) {
  if (cache.notices < 0 && !cache.noticesRefused) {
    cache.notices = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (cache.notices < 0) {
      cache.noticesRefused = true;  // out of instances: listings go by time alone
      return -1;
    }
    g_noticesFd.store(cache.notices);
  }
  if (cache.notices < 0) return -1;
  const int watch = ::inotify_add_watch(cache.notices, dir.c_str(), kWatchedChanges | (noFollow ? IN_DONT_FOLLOW : 0));
  if (watch < 0) return -1;
  // A folder watched already under another path (moved there since, or
  // reached by another spelling or link) has one watch: the listing under
  // its new path follows it, and the old one goes.
  auto [owner, added] = cache.watched.emplace(watch, dir);
  if (!added && owner->second != dir) {
    auto old = cache.listings.find(owner->second);
    if (old != cache.listings.end()) cache.listings.erase(old);
    Unchain(cache, owner->second, false);
    owner->second = dir;
  }
  return watch;
}

// Whether a listing still answers for the directory as `st` shows it.
bool Current(const DirListing& listing, const struct stat& st, int64_t now) {
  if (listing.device != st.st_dev || listing.inode != st.st_ino) return false;
  if (listing.watch >= 0) return true;
  if (Nanos(listing.modified) != Nanos(st.st_mtim)) return false;
  return listing.keptSince == 0 || now - listing.keptSince <= kSettleNanos;
}

// Which folder, and as of when, a listing was read from.
void Stamp(DirListing* listing, const struct stat& st) {
  listing->device = st.st_dev;
  listing->inode = st.st_ino;
  listing->modified = st.st_mtim;
}

// The names of the open folder `fd`, read straight from the host: the
// caller has its status already.
bool ListFolder(int fd, bool atRoot, DirListing* listing) {
  listing->atRoot = atRoot;
  listing->byFolded.clear();
  alignas(8) char buffer[32768];
  for (;;) {
    const ssize_t n = ::getdents64(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    for (ssize_t at = 0; at < n;) {
      const auto* e = reinterpret_cast<const struct dirent64*>(buffer + at);
      at += e->d_reclen;
      const std::string_view entry(e->d_name);
      if (entry == "." || entry == ".." || (atRoot && entry == kernel::kKernelFolder)) continue;
      listing->byFolded.emplace(FoldCase(Utf8ToWide(entry)), e->d_name);
    }
  }
}

bool ReadListing(const std::string& dir, const struct stat& st, bool atRoot, DirListing* listing) {
  const int64_t now = NowNanos();
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool read = ListFolder(fd, atRoot, listing);
  ::close(fd);
  if (!read) return false;
  Stamp(listing, st);
  listing->keptSince = now - Nanos(st.st_mtim) > kSettleNanos ? 0 : now;
  return true;
}

// Whether `dir` is chained (see DirListing), making it so when it can: the
// folders above it are listed and watched first, and only then is `dir`
// seen to be the folder its listing was read from, so that no change falls
// between. Called with the lock held.
bool Chain(DirCache& cache, const std::string& dir, const std::string& root, int depth) {
  auto it = cache.listings.find(dir);
  if (it != cache.listings.end() && (it->second.chained || it->second.unchainable)) return it->second.chained;
  const bool atRoot = dir == root;
  const bool below = dir.size() > root.size() && dir.compare(0, root.size(), root) == 0 && dir[root.size()] == '/';
  if ((!atRoot && !below) || depth > 64) return false;
  if (it == cache.listings.end()) {
    struct stat st {};
    // A full cache keeps the listings it has rather than make room here.
    if (cache.listings.size() + 1 >= kMaxListings || ::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      return false;
    }
    DirListing& listing = cache.listings[dir];
    listing.watch = WatchFor(cache, dir);
    if (listing.watch < 0 || !ReadListing(dir, st, atRoot, &listing)) {
      ForgetListing(cache, cache.listings.find(dir));
      return false;
    }
    it = cache.listings.find(dir);
  }
  if (it->second.watch < 0) return false;
  bool chained = atRoot;  // the root anchors every chain
  if (!atRoot && Chain(cache, dir.substr(0, dir.rfind('/')), root, depth + 1)) {
    struct stat now {};
    it = cache.listings.find(dir);
    chained = it != cache.listings.end() && ::lstat(dir.c_str(), &now) == 0 && S_ISDIR(now.st_mode) &&
              now.st_dev == it->second.device && now.st_ino == it->second.inode;
  }
  it = cache.listings.find(dir);
  if (it == cache.listings.end()) return false;
  it->second.chained = chained;
  it->second.unchainable = !chained;
  return chained;
}

// The entry of `dir` whose name equals `name` without regard to case; `known`
// is the directory's own status when the caller has just taken it, with
// lstat (so no link).
bool FindNoCase(const std::string& dir, const std::wstring& name, bool atRoot, std::string* found,
                const struct stat* known = nullptr, bool noticesRead = false) {
  struct stat st {};
  if (known != nullptr) {
    st = *known;
  } else if (::stat(dir.c_str(), &st) != 0) {
    return false;
  }
  if (!S_ISDIR(st.st_mode)) return false;
  const std::wstring want = FoldCase(name);
  DirCache& cache = Dirs();
  std::lock_guard<std::mutex> guard(cache.lock);
  CheckEpoch(cache);
  // Notices read since this look-up began need not be read again: a change
  // after that is one the look-up may come before.
  if (!noticesRead) ReadNotices(cache);
  auto it = cache.listings.find(dir);
  if (it == cache.listings.end() || !Current(it->second, st, NowNanos())) {
    if (it != cache.listings.end()) ForgetListing(cache, it);
    if (cache.listings.size() >= kMaxListings) ForgetLeastUsed(cache);
    DirListing& listing = cache.listings[dir];
    listing.watch = WatchFor(cache, dir);
    if (!ReadListing(dir, st, atRoot, &listing)) {
      ForgetListing(cache, cache.listings.find(dir));
      return false;
    }
    it = cache.listings.find(dir);
  }
  // A plain folder becomes chained with its first look-up, so that the next
  // ones need not look at the host.
  if (known != nullptr && !it->second.chained && !it->second.unchainable && it->second.watch >= 0) {
    Chain(cache, dir, RootSetting(), 0);
    it = cache.listings.find(dir);
    if (it == cache.listings.end()) return false;
  }
  it->second.used = ++cache.lookups;
  auto hit = it->second.byFolded.find(want);
  if (hit == it->second.byFolded.end()) return false;
  *found = hit->second;
  return true;
}

// A chained listing of `dir`, read now, when the chained listing of the
// folder above names it as spelt: its first look-up then needs no look at
// its path either. The watch and the read refuse a link; the watch above,
// there before both, tells of any change of the folder after them.
std::map<std::string, DirListing>::iterator ListBelowChain(DirCache& cache, const std::string& dir) {
  const size_t cut = dir.rfind('/');
  if (cut == std::string::npos || cut == 0 || cache.listings.size() + 1 >= kMaxListings) return cache.listings.end();
  auto up = cache.listings.find(dir.substr(0, cut));
  if (up == cache.listings.end() || !up->second.chained) return cache.listings.end();
  const std::string_view leaf = std::string_view(dir).substr(cut + 1);
  auto named = up->second.byFolded.find(FoldCase(Utf8ToWide(leaf)));
  if (named == up->second.byFolded.end() || named->second != leaf) return cache.listings.end();
  DirListing& listing = cache.listings[dir];
  listing.watch = WatchFor(cache, dir, true);
  const int fd = listing.watch < 0 ? -1 : ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  struct stat st {};
  const bool read = fd >= 0 && ::fstat(fd, &st) == 0 && ListFolder(fd, false, &listing);
  if (fd >= 0) ::close(fd);
  if (!read) {
    ForgetListing(cache, cache.listings.find(dir));
    return cache.listings.end();
  }
  Stamp(&listing, st);
  listing.chained = true;
  return cache.listings.find(dir);
}

// The answer of a chained listing of `dir` for `name`: 1 when found (its
// spelling in `found`), 0 when not there, -1 when `dir` has no chained
// listing and the host must be asked.
int FindInChain(const std::string& dir, const std::wstring& name, std::string* found) {
  DirCache& cache = Dirs();
  std::lock_guard<std::mutex> guard(cache.lock);
  CheckEpoch(cache);
  ReadNotices(cache);
  auto it = cache.listings.find(dir);
  if (it == cache.listings.end()) it = ListBelowChain(cache, dir);
  if (it == cache.listings.end() || !it->second.chained) return -1;
  it->second.used = ++cache.lookups;
  auto hit = it->second.byFolded.find(FoldCase(name));
  if (hit == it->second.byFolded.end()) return 0;
  *found = hit->second;
  return 1;
}

}  // namespace

std::string DeviceRoot() {
  std::string root = RootSetting();
  EnsureDir(root);
  return root;
}

void SetDeviceRoot(const std::string& hostPath) {
  std::lock_guard<std::mutex> g(R().lock);
  R().override = hostPath;
  R().closed.clear();  // the root is opened anew
}

std::string BootId() {
  std::string after;
  if (power_seam::BootOverride(&after)) return after;
  static const std::string id = [] {
    std::string line;
    std::ifstream in("/proc/sys/kernel/random/boot_id");
    std::getline(in, line);
    return line;
  }();
  return id;
}

bool FlushDeviceVolume() {
  crash_seam::Point counted(crash_seam::FsCall::kFlush, [] { return std::wstring(L"\\"); });
  const int fd = ::open(DeviceRoot().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool flushed = ::syncfs(fd) == 0;
  ::close(fd);
  if (flushed && power_seam::Armed()) power_seam::VolumeSynced();
  return flushed;
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

std::string ResolveNames(const std::vector<std::wstring>& names, HostLookup* lookup) {
  const bool makesNew = lookup != nullptr && lookup->makesNew;
  if (lookup != nullptr) *lookup = HostLookup();
  const std::string root = RootSetting();
  const bool hiddenFirst = !names.empty() && WideToUtf8(names[0]) == kKernelFolder;
  // A path spelled as on disk all the way down, the common case, answers in
  // one look-up rather than one per name; a root that is there needs no check.
  std::string whole = root;
  for (const std::wstring& name : names) {
    whole += '/';
    whole += WideToUtf8(name);
  }
  struct stat st{};
  bool wholeMissing = false;
  // A name about to be made is mostly not there: its folder's listing says
  // so, and tells any other spelling of it, without a look-up that fails.
  // A folder not spelled as on disk finds the whole path missing as well.
  if (makesNew && !hiddenFirst && names.size() > 1) {
    wholeMissing = true;
  } else if (!hiddenFirst && !names.empty()) {
    if (::lstat(whole.c_str(), &st) == 0) {
      if (lookup != nullptr && !S_ISLNK(st.st_mode)) {
        lookup->found = true;
        lookup->status = st;
      }
      return whole;
    }
    wholeMissing = errno == ENOENT;
  }
  // Then a new or differently spelled last name below a parent spelled as on
  // disk: only that name is looked for.
  if (!hiddenFirst && names.size() > 1) {
    const size_t cut = whole.rfind('/');
    const std::string parent = whole.substr(0, cut);
    // A chained folder answers without a look at the host.
    std::string spelled;
    const int chained = FindInChain(parent, names.back(), &spelled);
    if (chained == 0) {
      if (lookup != nullptr) lookup->absent = wholeMissing;
      return whole;
    }
    if (chained == 1) {
      whole.replace(cut + 1, std::string::npos, spelled);
      return whole;
    }
    if (::lstat(parent.c_str(), &st) == 0) {
      std::string found;
      // A linked parent is looked up through its link.
      if (!FindNoCase(parent, names.back(), false, &found, S_ISLNK(st.st_mode) ? nullptr : &st, true)) {
        if (lookup != nullptr) lookup->absent = wholeMissing && S_ISDIR(st.st_mode);
        return whole;
      }
      whole.replace(cut + 1, std::string::npos, found);
      return whole;
    }
    // A missing parent, as under a folder made with its first file: the
    // nearest folder above that is spelled as on disk, and only the first
    // name below it looked for. Every name after one missing keeps its
    // spelling.
    if (wholeMissing && errno == ENOENT) {
      size_t end = cut;
      for (size_t depth = names.size() - 1; depth > 1;) {
        end = whole.rfind('/', end - 1);
        --depth;
        const std::string above = whole.substr(0, end);
        if (::lstat(above.c_str(), &st) != 0) {
          if (errno == ENOENT) continue;
          break;
        }
        std::string found;
        if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode) ||
            FindNoCase(above, names[depth], false, &found, &st)) {
          break;  // otherwise spelled, or not a plain folder: the walk below decides
        }
        if (lookup != nullptr) lookup->parentMissing = true;
        return whole;
      }
    }
  }
  EnsureDir(root);
  std::string host = root;
  bool exists = true;  // once a name is missing, the rest keep their spelling
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string exact = WideToUtf8(names[i]);
    std::string next = host + "/" + exact;
    if (exists) {
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

DirChange::DirChange(const std::string& dir) : dir_(dir) {
  DirCache& cache = Dirs();
  {
    // A watched listing learns of the change from its notice.
    std::lock_guard<std::mutex> guard(cache.lock);
    CheckEpoch(cache);
    auto it = cache.listings.find(dir_);
    if (it == cache.listings.end() || it->second.watch >= 0) return;
  }
  struct stat st {};
  if (::stat(dir_.c_str(), &st) != 0) return;
  std::lock_guard<std::mutex> guard(cache.lock);
  auto it = cache.listings.find(dir_);
  current_ = it != cache.listings.end() && it->second.watch < 0 && Current(it->second, st, NowNanos());
}

void DirChange::Done(const std::string& removed, const std::string& added) {
  if (!current_) return;
  current_ = false;
  struct stat st {};
  const bool seen = ::stat(dir_.c_str(), &st) == 0;
  DirCache& cache = Dirs();
  std::lock_guard<std::mutex> guard(cache.lock);
  auto it = cache.listings.find(dir_);
  if (it == cache.listings.end() || it->second.watch >= 0) return;
  if (!seen) {
    ForgetListing(cache, it);
    return;
  }
  DirListing& listing = it->second;
  if (!removed.empty()) {
    auto gone = listing.byFolded.find(FoldCase(Utf8ToWide(removed)));
    if (gone != listing.byFolded.end() && gone->second == removed) listing.byFolded.erase(gone);
  }
  if (!added.empty()) listing.byFolded[FoldCase(Utf8ToWide(added))] = added;
  listing.modified = st.st_mtim;
  if (listing.keptSince == 0) listing.keptSince = NowNanos();
}

bool KnownEmptyDir(const std::string& dir, const struct stat& st) {
  DirCache& cache = Dirs();
  std::lock_guard<std::mutex> guard(cache.lock);
  CheckEpoch(cache);
  ReadNotices(cache);
  auto it = cache.listings.find(dir);
  return it != cache.listings.end() && it->second.watch >= 0 && Current(it->second, st, 0) &&
         it->second.byFolded.empty();
}

void ForgetDirListings() {
  DirCache& cache = Dirs();
  std::lock_guard<std::mutex> guard(cache.lock);
  CheckEpoch(cache);
  DropListings(cache);
}

int OpenOwnHostFile(const std::string& hostPath, int flags) {
  const int fd = ::open(hostPath.c_str(), flags | O_CLOEXEC, kOwnFileMode);
  if (fd < 0) return fd;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0 && st.st_uid == ::geteuid()) {
    const int kept = errno;
    ::fchmod(fd, st.st_mode & 0700);  // the owner's bits only
    errno = kept;
  }
  return fd;
}

bool ReplaceOwnHostFile(const std::string& hostPath, const std::string& bytes) {
  const std::string temp = hostPath + ".tmp";
  const int fd = OpenOwnHostFile(temp, O_WRONLY | O_CREAT | O_TRUNC);
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ::close(fd) == 0 && ok;
  if (ok && ::rename(temp.c_str(), hostPath.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

std::string KernelDir(const char* sub) {
  const std::string own = DeviceRoot() + "/" + kKernelFolder;
  EnsureDir(own);
  const std::string dir = own + "/" + sub;
  EnsureDir(dir);
  return dir;
}

}  // namespace kernel
}  // namespace qv
