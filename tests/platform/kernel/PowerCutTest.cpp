// The file layer's power-cut and crash-point seams, through the tests'
// facade: what a cut keeps, drops and tears of unsynced writes, folder
// changes and mapped pages; what survives every seed; the new boot; counting
// the calls of an operation and dying before or after each one in a fork.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/base/WideText.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/Files.h"
#include "platform/testing/Seams.h"
#include "tests/support/DeviceRootFixture.h"

namespace {

namespace qt = qv::seams;
using qt::CrashWhen;
using qt::FsCall;
using qt::PowerCutMode;

constexpr int kSeeds = 48;  // every outcome of a 1-in-3 choice shows up within them by far

HANDLE OpenRw(const std::wstring& path, DWORD creation) {
  return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, creation,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

void PutAt(HANDLE h, LONG offset, const std::string& bytes) {
  ASSERT_NE(SetFilePointer(h, offset, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr));
  ASSERT_EQ(n, bytes.size());
}

// Writes a whole file through the file layer, synced or not.
void Store(const std::wstring& path, const std::string& bytes, bool sync) {
  HANDLE h = OpenRw(path, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  PutAt(h, 0, bytes);
  if (sync) {
    ASSERT_TRUE(FlushFileBuffers(h));
  }
  ASSERT_TRUE(CloseHandle(h));
}

std::string Fill(char c, size_t n) { return std::string(n, c); }

std::string Slurp(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
std::string HostOfDevice(const std::wstring& device) {
  std::string host;
  EXPECT_TRUE(qv::DeviceToHostPath(device, &host));
  return host;
}
// Files and folders put in place behind the file layer's back (before arming).
void Plant(const std::wstring& device, const std::string& bytes) {
  std::ofstream(HostOfDevice(device), std::ios::binary | std::ios::trunc) << bytes;
}
void Folder(const std::wstring& device) { ASSERT_TRUE(CreateDirectoryW(device.c_str(), nullptr)); }

// Everything below the root as one line: "name/" for folders, "name=bytes"
// for files, in name order (the kernel's own folder left out).
void Describe(const std::filesystem::path& dir, const std::string& prefix, std::string* out) {
  std::vector<std::filesystem::directory_entry> entries(std::filesystem::directory_iterator(dir), {});
  std::sort(entries.begin(), entries.end());
  for (const auto& e : entries) {
    const std::string name = prefix + e.path().filename().string();
    if (name == ".qvkernel") continue;
    if (e.is_directory()) {
      *out += name + "/ ";
      Describe(e.path(), name + "/", out);
    } else {
      *out += name + "=" + Slurp(e.path().string()) + " ";
    }
  }
}

class PowerCut : public qv::test::DeviceRootTest {
 protected:
  // A device root of its own for one round of a sweep.
  void FreshRoot(int round) {
    const std::string dir = root_ + "/round" + std::to_string(round);
    std::filesystem::create_directories(dir);
    qv::SetDeviceRoot(dir);
  }
  static std::string Tree() {
    std::string out;
    Describe(qv::DeviceRoot(), "", &out);
    return out;
  }
};

// ---- Sectors of one file -------------------------------------------------------

// What was synced, then what happens to the file unsynced.
struct SectorCase {
  const char* name;
  std::string synced;
  std::function<void(const std::wstring&)> change;
  std::string now;  // the bytes after the change
  std::vector<size_t> untouched;  // sectors the change did not write
};

std::vector<SectorCase> SectorCases() {
  const std::string a4 = Fill('a', 2048);
  std::string middle = a4;
  middle.replace(512, 512, Fill('b', 512));
  middle.replace(1536, 100, Fill('c', 100));
  return {
      {"overwrite two sectors in place", a4,
       [](const std::wstring& p) {
         HANDLE h = OpenRw(p, OPEN_EXISTING);
         PutAt(h, 512, Fill('b', 512));
         PutAt(h, 1536, Fill('c', 100));
         CloseHandle(h);
       },
       middle, {0, 2}},
      {"append beyond a partial sector", Fill('a', 1000),
       [](const std::wstring& p) {
         HANDLE h = OpenRw(p, OPEN_EXISTING);
         PutAt(h, 1000, Fill('b', 1400));
         CloseHandle(h);
       },
       Fill('a', 1000) + Fill('b', 1400), {0}},
      {"truncate with SetEndOfFile", a4,
       [](const std::wstring& p) {
         HANDLE h = OpenRw(p, OPEN_EXISTING);
         SetFilePointer(h, 100, nullptr, FILE_BEGIN);
         SetEndOfFile(h);
         CloseHandle(h);
       },
       Fill('a', 100), {}},
      {"rewrite shorter over CREATE_ALWAYS", Fill('a', 1500),
       [](const std::wstring& p) { Store(p, Fill('b', 700), false); }, Fill('b', 700), {}},
      {"append through a stream", Fill('a', 600),
       [](const std::wstring& p) {
         FILE* f = _wfopen(p.c_str(), L"ab");
         fwrite("0123456789", 1, 10, f);
         fclose(f);
       },
       Fill('a', 600) + "0123456789", {0}},
      {"rewrite with the same bytes", a4,
       [](const std::wstring& p) {
         HANDLE h = OpenRw(p, OPEN_EXISTING);
         PutAt(h, 0, Fill('a', 512));
         CloseHandle(h);
       },
       a4, {1, 2, 3}},
  };
}

// The length is one a cut can leave, and sectors no one wrote hold their
// synced bytes whatever the seed.
void CheckShape(const SectorCase& c, const std::string& got) {
  const size_t syn = c.synced.size(), cur = c.now.size();
  if (cur > syn) {
    EXPECT_TRUE(got.size() == cur || got.size() == syn || (got.size() > syn && got.size() % 512 == 0)) << got.size();
    EXPECT_LE(got.size(), cur);
  } else if (cur < syn) {
    EXPECT_TRUE(got.size() == cur || got.size() == syn) << got.size();
  } else {
    EXPECT_EQ(got.size(), cur);
  }
  for (size_t i : c.untouched) {
    EXPECT_EQ(got.substr(i * 512, 512), c.synced.substr(i * 512, 512)) << "sector " << i;
  }
}

TEST_F(PowerCut, UnsyncedSectorsAreKeptDroppedOrTornBySeed) {
  int round = 0;
  for (const SectorCase& c : SectorCases()) {
    SCOPED_TRACE(c.name);
    const std::wstring path = L"\\F.dat";
    std::set<std::string> outcomes;
    qt::PowerCutReport total;
    for (int seed = 0; seed < kSeeds; ++seed) {
      FreshRoot(round++);
      WriteBytes(path, c.synced);  // on disk before arming: synced
      qt::ArmPowerCut();
      c.change(path);
      ASSERT_EQ(ReadBytes(path), c.now);
      const qt::PowerCutReport r = qt::CutPower(seed);
      total.sectorsKept += r.sectorsKept;
      total.sectorsDropped += r.sectorsDropped;
      total.sectorsTorn += r.sectorsTorn;
      const std::string got = ReadBytes(path);
      CheckShape(c, got);
      outcomes.insert(got);
    }
    EXPECT_GT(total.sectorsKept, 0);
    EXPECT_GT(total.sectorsDropped, 0);
    EXPECT_GT(total.sectorsTorn, 0);
    EXPECT_TRUE(outcomes.count(c.now)) << "all kept never came";
    if (c.now != c.synced) {
      EXPECT_TRUE(outcomes.count(c.synced)) << "all dropped never came";
    }
    EXPECT_GE(outcomes.size(), 3u);
  }
}

TEST_F(PowerCut, ModesKeepOrDropEverythingUnsynced) {
  int round = 0;
  for (const SectorCase& c : SectorCases()) {
    SCOPED_TRACE(c.name);
    for (PowerCutMode mode : {PowerCutMode::kKeepAll, PowerCutMode::kDropAll}) {
      FreshRoot(round++);
      WriteBytes(L"\\F.dat", c.synced);
      qt::ArmPowerCut();
      c.change(L"\\F.dat");
      const qt::PowerCutReport r = qt::CutPower(7, mode);
      EXPECT_EQ(ReadBytes(L"\\F.dat"), mode == PowerCutMode::kKeepAll ? c.now : c.synced);
      EXPECT_EQ(r.sectorsTorn, 0);
      EXPECT_EQ(mode == PowerCutMode::kKeepAll ? r.sectorsDropped : r.sectorsKept, 0);
    }
  }
}

TEST_F(PowerCut, TheSameSeedCutsTheSameWay) {
  // Two files and a new one, so that the seed is spread over several files.
  const auto run = [&](int round, uint64_t seed) {
    FreshRoot(round);
    WriteBytes(L"\\A.dat", Fill('a', 3000));
    WriteBytes(L"\\B.dat", Fill('b', 3000));
    qt::ArmPowerCut();
    for (const wchar_t* name : {L"\\A.dat", L"\\B.dat"}) {
      HANDLE h = OpenRw(name, OPEN_EXISTING);
      for (LONG at = 0; at < 3000; at += 700) PutAt(h, at, Fill('x', 300));
      CloseHandle(h);
    }
    Store(L"\\C.dat", Fill('c', 2000), false);
    qt::CutPower(seed);
    return Tree();
  };
  std::set<std::string> distinct;
  for (uint64_t seed : {1u, 2u, 3u, 99u}) {
    const std::string first = run(static_cast<int>(seed) * 2, seed);
    EXPECT_EQ(run(static_cast<int>(seed) * 2 + 1, seed), first) << seed;
    distinct.insert(first);
  }
  EXPECT_EQ(distinct.size(), 4u);
}

// ---- What was synced survives every seed ------------------------------------

TEST_F(PowerCut, SyncedDataSurvivesEverySeed) {
  for (int seed = 0; seed < kSeeds; ++seed) {
    FreshRoot(seed);
    MakeDir(L"\\D");
    WriteBytes(L"\\D\\flushed.dat", Fill('o', 1500));
    WriteBytes(L"\\D\\moved_tmp", "");
    WriteBytes(L"\\D\\noise.dat", Fill('n', 1500));
    qt::ArmPowerCut();
    // A new folder and file made lasting by a flush of the whole volume.
    MakeDir(L"\\E");
    Store(L"\\E\\new.dat", "new and flushed", false);
    ASSERT_TRUE(qv::FlushDeviceVolume());
    // Written and synced by FlushFileBuffers.
    HANDLE h = OpenRw(L"\\D\\flushed.dat", OPEN_EXISTING);
    PutAt(h, 700, Fill('F', 1500));
    ASSERT_TRUE(FlushFileBuffers(h));
    CloseHandle(h);
    // Written, synced, moved into place with the move written through.
    Store(L"\\D\\moved_tmp", "moved bytes", true);
    ASSERT_TRUE(MoveFileExW(L"\\D\\moved_tmp", L"\\D\\moved.dat", MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    // Then unsynced work around them, for the cut to chew on.
    h = OpenRw(L"\\D\\noise.dat", OPEN_EXISTING);
    PutAt(h, 0, Fill('N', 2000));
    CloseHandle(h);
    Store(L"\\D\\later.dat", Fill('l', 900), false);
    qt::CutPower(seed);
    EXPECT_EQ(ReadBytes(L"\\D\\flushed.dat"), Fill('o', 700) + Fill('F', 1500)) << seed;
    EXPECT_EQ(ReadBytes(L"\\D\\moved.dat"), "moved bytes") << seed;
    EXPECT_FALSE(Exists(L"\\D\\moved_tmp")) << seed;
    EXPECT_EQ(ReadBytes(L"\\E\\new.dat"), "new and flushed") << seed;
  }
}

// ---- Folder entries --------------------------------------------------------------

struct EntryCase {
  const char* name;
  std::function<void()> before;  // on disk before arming: synced
  std::function<void()> change;
  std::set<std::string> outcomes;  // every tree the cut may leave, each of which shows up
};

std::vector<EntryCase> EntryCases() {
  return {
      {"a new file whose folder was not synced", [] {},
       [] { Store(L"\\new.dat", "n", true); },
       {"", "new.dat=n "}},
      {"a new file, its folder synced by a move written through", [] { Plant(L"\\x_tmp", "x"); },
       [] {
         Store(L"\\new.dat", "n", true);
         ASSERT_TRUE(MoveFileExW(L"\\x_tmp", L"\\x.dat", MOVEFILE_WRITE_THROUGH));
       },
       {"new.dat=n x.dat=x "}},
      {"a rename", [] { Plant(L"\\old.dat", "o"); },
       [] { ASSERT_TRUE(MoveFileW(L"\\old.dat", L"\\new.dat")); },
       {"old.dat=o ", "new.dat=o "}},
      {"a delete", [] { Plant(L"\\gone.dat", "synced"); },
       [] {
         HANDLE h = OpenRw(L"\\gone.dat", OPEN_EXISTING);
         PutAt(h, 0, "UNSYNC");
         CloseHandle(h);
         ASSERT_TRUE(DeleteFileW(L"\\gone.dat"));
       },
       {"", "gone.dat=synced "}},
      {"a replacing move", [] {
         Plant(L"\\t.dat", "old");
         Plant(L"\\t_tmp", "new");
       },
       [] { ASSERT_TRUE(DeleteAndRenameFile(L"\\t.dat", L"\\t_tmp")); },
       {"t.dat=old t_tmp=new ", "t.dat=new "}},
      {"a move between folders", [] {
         Folder(L"\\A");
         Folder(L"\\B");
         Plant(L"\\A\\m.dat", "m");
       },
       [] { ASSERT_TRUE(MoveFileW(L"\\A\\m.dat", L"\\B\\m.dat")); },
       {"A/ A/m.dat=m B/ ", "A/ B/ B/m.dat=m "}},
      {"a new folder with a new file in it", [] {},
       [] {
         Folder(L"\\N");
         Store(L"\\N\\f.dat", "f", true);
       },
       {"", "N/ ", "N/ N/f.dat=f "}},
      {"a folder removed", [] { Folder(L"\\R"); },
       [] { ASSERT_TRUE(RemoveDirectoryW(L"\\R")); },
       {"", "R/ "}},
      {"a copy", [] { Plant(L"\\src.dat", "s"); },
       [] {
         ASSERT_TRUE(CopyFileW(L"\\src.dat", L"\\dst.dat", TRUE));
         HANDLE h = OpenRw(L"\\dst.dat", OPEN_EXISTING);  // the bytes synced, not the name
         ASSERT_TRUE(FlushFileBuffers(h));
         CloseHandle(h);
       },
       {"src.dat=s ", "dst.dat=s src.dat=s "}},
      {"a created, written, renamed file (one chain)", [] {},
       [] {
         Store(L"\\c_tmp", "c", true);
         ASSERT_TRUE(MoveFileW(L"\\c_tmp", L"\\c.dat"));
       },
       {"", "c_tmp=c ", "c.dat=c "}},
      {"a chain on one name: renamed away, made again, renamed away", [] { Plant(L"\\a.dat", "old"); },
       [] {
         ASSERT_TRUE(MoveFileW(L"\\a.dat", L"\\b.dat"));
         Store(L"\\a.dat", "new", true);
         ASSERT_TRUE(MoveFileW(L"\\a.dat", L"\\c.dat"));
       },
       // A later change kept keeps every earlier one on its names.
       {"a.dat=old ", "b.dat=old ", "a.dat=new b.dat=old ", "b.dat=old c.dat=new "}},
      {"a new file, its folder flushed", [] { Folder(L"\\F"); },
       [] {
         Store(L"\\F\\new.dat", "n", true);
         ASSERT_TRUE(qv::FlushFolder(L"\\F"));
       },
       {"F/ F/new.dat=n "}},
      {"new files in two folders, one folder flushed", [] {
         Folder(L"\\A");
         Folder(L"\\B");
       },
       [] {
         Store(L"\\A\\a.dat", "a", true);
         Store(L"\\B\\b.dat", "b", true);
         ASSERT_TRUE(qv::FlushFolder(L"\\A"));
       },
       {"A/ A/a.dat=a B/ ", "A/ A/a.dat=a B/ B/b.dat=b "}},
      {"everything made lasting by a volume flush", [] { Plant(L"\\d.dat", "d"); },
       [] {
         ASSERT_TRUE(DeleteFileW(L"\\d.dat"));
         Folder(L"\\V");
         Store(L"\\V\\v.dat", "v", false);
         ASSERT_TRUE(qv::FlushDeviceVolume());
       },
       {"V/ V/v.dat=v "}},
  };
}

TEST_F(PowerCut, UnsyncedFolderChangesAreKeptOrUndone) {
  int round = 0;
  for (const EntryCase& c : EntryCases()) {
    SCOPED_TRACE(c.name);
    std::set<std::string> seen;
    for (int seed = 0; seed < kSeeds; ++seed) {
      FreshRoot(round++);
      c.before();
      qt::ArmPowerCut();
      c.change();
      qt::CutPower(seed);
      const std::string tree = Tree();
      EXPECT_TRUE(c.outcomes.count(tree)) << "seed " << seed << ": " << tree;
      seen.insert(tree);
    }
    EXPECT_EQ(seen, c.outcomes);
  }
}

// A folder flush takes a folder only; what is not one is refused.
TEST_F(PowerCut, FolderFlushTakesOnlyAFolder) {
  constexpr DWORD kNotAFolder = 267;  // ERROR_DIRECTORY
  FreshRoot(0);
  MakeDir(L"\\F");
  WriteBytes(L"\\F\\file.dat", "f");
  const struct {
    const wchar_t* path;
    DWORD error;  // 0: flushed
  } cases[] = {{L"\\F", 0}, {L"\\f", 0}, {L"\\F\\file.dat", kNotAFolder}, {L"\\missing", ERROR_FILE_NOT_FOUND},
               {L"\\missing\\below", ERROR_PATH_NOT_FOUND}, {nullptr, ERROR_PATH_NOT_FOUND}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path != nullptr ? qv::WideToUtf8(c.path) : "null");
    SetLastError(0);
    EXPECT_EQ(qv::FlushFolder(c.path), c.error == 0);
    if (c.error != 0) {
      EXPECT_EQ(GetLastError(), c.error);
    }
  }
}

// ---- Mapped pages ------------------------------------------------------------------

struct MappedCase {
  const char* name;
  bool flushView;
  bool syncFile;
  bool writeAfterSync;  // stores through the view after its sync
  std::set<std::string> firstPage;  // what the cut may leave of each sector of the first page
};

TEST_F(PowerCut, MappedWritesNeedAFlush) {
  const std::string A = Fill('A', 4096), B = Fill('B', 4096), C = Fill('C', 4096);
  const MappedCase cases[] = {
      {"no flush", false, false, false, {"A", "B", "torn"}},
      {"FlushViewOfFile", true, false, false, {"B"}},
      {"FlushFileBuffers with the view still mapped", false, true, false, {"B"}},
      {"stores after FlushViewOfFile", true, false, true, {"B", "C", "torn"}},
      {"stores after FlushFileBuffers", false, true, true, {"B", "C", "torn"}},
  };
  int round = 0;
  for (const MappedCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::set<std::string> seen;
    for (int seed = 0; seed < kSeeds; ++seed) {
      FreshRoot(round++);
      WriteBytes(L"\\Entry.dat", A + A);
      qt::ArmPowerCut();
      HANDLE f = CreateFileForMappingW(L"\\Entry.dat", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                       nullptr);
      ASSERT_NE(f, INVALID_HANDLE_VALUE);
      HANDLE m = CreateFileMappingW(f, nullptr, PAGE_READWRITE, 0, 0, nullptr);
      auto* view = static_cast<char*>(MapViewOfFile(m, FILE_MAP_WRITE, 0, 0, 0));
      ASSERT_NE(view, nullptr);
      std::memcpy(view, B.data(), 4096);
      if (c.flushView) {
        ASSERT_TRUE(FlushViewOfFile(view, 4096));
      }
      if (c.syncFile) {
        ASSERT_TRUE(FlushFileBuffers(f));
      }
      if (c.writeAfterSync) std::memcpy(view, C.data(), 4096);
      UnmapViewOfFile(view);
      CloseHandle(m);
      CloseHandle(f);
      qt::CutPower(seed);
      const std::string got = ReadBytes(L"\\Entry.dat");
      ASSERT_EQ(got.size(), 8192u);
      EXPECT_EQ(got.substr(4096), A);  // the page never stored to
      // Each sector of the page stored to, on its own.
      for (size_t at = 0; at < 4096; at += 512) {
        const std::string sector = got.substr(at, 512);
        seen.insert(sector == A.substr(0, 512)   ? "A"
                    : sector == B.substr(0, 512) ? "B"
                    : sector == C.substr(0, 512) ? "C"
                                                 : "torn");
      }
    }
    EXPECT_EQ(seen, c.firstPage);
  }
}

// ---- After the cut -----------------------------------------------------------------

TEST_F(PowerCut, HandlesFromBeforeTheCutReachNothing) {
  WriteBytes(L"\\h.dat", Fill('h', 4096));
  qt::ArmPowerCut();
  HANDLE f = OpenRw(L"\\h.dat", OPEN_EXISTING);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  HANDLE m = CreateFileMappingW(f, nullptr, PAGE_READWRITE, 0, 0, nullptr);
  auto* view = static_cast<char*>(MapViewOfFile(m, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  FILE* stream = _wfopen(L"\\h.dat", L"r+b");
  ASSERT_NE(stream, nullptr);
  qt::CutPower(1, PowerCutMode::kKeepAll);

  DWORD n = 0;
  char byte = 0;
  EXPECT_FALSE(WriteFile(f, "x", 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(ReadFile(f, &byte, 1, &n, nullptr));
  EXPECT_FALSE(SetEndOfFile(f));
  EXPECT_FALSE(FlushFileBuffers(f));
  EXPECT_EQ(MapViewOfFile(m, FILE_MAP_WRITE, 0, 0, 0), nullptr);
  EXPECT_EQ(fputs("stream", stream) >= 0 && fflush(stream) == 0, false);
  // The old view still reads what it held, but stores stay in memory.
  EXPECT_EQ(view[0], 'h');
  view[0] = 'V';
  EXPECT_TRUE(UnmapViewOfFile(view));
  fclose(stream);
  EXPECT_TRUE(CloseHandle(m));
  EXPECT_TRUE(CloseHandle(f));
  EXPECT_EQ(ReadBytes(L"\\h.dat"), Fill('h', 4096));
  // New opens work as after a restart.
  Store(L"\\h.dat", "after", true);
  EXPECT_EQ(ReadBytes(L"\\h.dat"), "after");
}

TEST_F(PowerCut, BootIdChangesWithEachCut) {
  const std::string host = qv::BootId();
  ASSERT_FALSE(host.empty());
  qt::ArmPowerCut();
  Store(L"\\b.dat", "b", false);
  EXPECT_EQ(qv::BootId(), host);  // arming alone is no restart
  qt::CutPower(3);
  const std::string first = qv::BootId();
  EXPECT_NE(first, host);
  EXPECT_EQ(qv::BootId(), first);  // steady until the next restart
  EXPECT_EQ(first.size(), host.size());
  qt::CutPower(4);
  const std::string second = qv::BootId();
  EXPECT_NE(second, first);
  EXPECT_NE(second, host);
  qt::StartNewBoot();
  EXPECT_NE(qv::BootId(), second);
  qt::ResetSeams();
  EXPECT_EQ(qv::BootId(), host);
}

TEST_F(PowerCut, NothingIsWatchedWhileDisarmed) {
  WriteBytes(L"\\w.dat", Fill('w', 1024));
  qt::ArmPowerCut();
  qt::DisarmPowerCut();
  Store(L"\\new.dat", "n", false);
  HANDLE h = OpenRw(L"\\w.dat", OPEN_EXISTING);
  PutAt(h, 0, Fill('W', 1024));
  CloseHandle(h);
  const qt::PowerCutReport r = qt::CutPower(5, PowerCutMode::kDropAll);
  EXPECT_EQ(r.sectorsDropped + r.entriesUndone, 0);
  EXPECT_EQ(ReadBytes(L"\\w.dat"), Fill('W', 1024));
  EXPECT_EQ(ReadBytes(L"\\new.dat"), "n");
}

// ---- Crash points --------------------------------------------------------------------

// A safe replacement of "\D\t.dat": a temporary copy written, synced, moved
// over the file with the move written through.
bool Replace() {
  HANDLE h = OpenRw(L"\\D\\t_tmp", CREATE_ALWAYS);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  const bool ok = WriteFile(h, "new", 3, &n, nullptr) && FlushFileBuffers(h);
  CloseHandle(h);
  return ok && MoveFileExW(L"\\D\\t_tmp", L"\\D\\t.dat", MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

struct CountCase {
  const char* name;
  std::function<void()> setup;
  std::function<void()> operation;
  std::vector<std::pair<FsCall, std::wstring>> calls;
};

using PowerCutCrash = PowerCut;

TEST_F(PowerCutCrash, CountsEachCallOfTheFileLayer) {
  const CountCase cases[] = {
      {"safe replacement", [] { Folder(L"\\D"); },
       [] { ASSERT_TRUE(Replace()); },
       {{FsCall::kOpen, L"\\D\\t_tmp"}, {FsCall::kWrite, L"\\D\\t_tmp"}, {FsCall::kFlush, L"\\D\\t_tmp"},
        {FsCall::kMove, L"\\D\\t_tmp"}}},
      {"read, truncate, delete", [] { Plant(L"\\r.dat", "abc"); },
       [] {
         HANDLE h = OpenRw(L"\\r.dat", OPEN_EXISTING);
         char buf[8];
         DWORD n = 0;
         ReadFile(h, buf, sizeof buf, &n, nullptr);
         SetFilePointer(h, 1, nullptr, FILE_BEGIN);  // not counted
         SetEndOfFile(h);
         GetFileSize(h, nullptr);  // not counted
         CloseHandle(h);
         DeleteFileW(L"\\r.dat");
       },
       {{FsCall::kOpen, L"\\r.dat"}, {FsCall::kRead, L"\\r.dat"}, {FsCall::kSetEnd, L"\\r.dat"},
        {FsCall::kDelete, L"\\r.dat"}}},
      {"folders and a find", [] {},
       [] {
         CreateDirectoryW(L"\\Q", nullptr);
         CopyFileW(L"\\nothing", L"\\Q\\x", FALSE);
         WIN32_FIND_DATAW fd;
         HANDLE find = FindFirstFileW(L"\\*", &fd);
         FindNextFileW(find, &fd);
         FindClose(find);
         RemoveDirectoryW(L"\\Q");
         qv::FlushDeviceVolume();
       },
       {{FsCall::kCreateDir, L"\\Q"}, {FsCall::kCopy, L"\\Q\\x"}, {FsCall::kFind, L"\\*"}, {FsCall::kFind, L""},
        {FsCall::kRemoveDir, L"\\Q"}, {FsCall::kFlush, L"\\"}}},
      {"a mapping and a stream", [] { Plant(L"\\m.dat", "mm"); },
       [] {
         HANDLE f = OpenRw(L"\\m.dat", OPEN_EXISTING);
         HANDLE m = CreateFileMappingW(f, nullptr, PAGE_READWRITE, 0, 0, nullptr);
         void* v = MapViewOfFile(m, FILE_MAP_WRITE, 0, 0, 0);  // not counted
         FlushViewOfFile(v, 0);
         UnmapViewOfFile(v);
         CloseHandle(m);
         CloseHandle(f);
         FILE* s = _wfopen(L"\\m.dat", L"ab");
         fputs("s", s);
         fclose(s);
       },
       {{FsCall::kOpen, L"\\m.dat"}, {FsCall::kMap, L"\\m.dat"}, {FsCall::kFlush, L""}, {FsCall::kOpen, L"\\m.dat"},
        {FsCall::kWrite, L"\\m.dat"}}},
  };
  int round = 0;
  for (const CountCase& c : cases) {
    SCOPED_TRACE(c.name);
    FreshRoot(round++);
    c.setup();
    qt::CountFileCalls();
    c.operation();
    ASSERT_EQ(qt::FileCalls(), static_cast<int>(c.calls.size()));
    qt::DisarmCrashPoint();
    // Then each call seen by an action armed at it.
    for (size_t i = 0; i < c.calls.size(); ++i) {
      FreshRoot(round++);
      c.setup();
      std::vector<qt::CrashCall> hits;
      qt::ArmCrashPoint(static_cast<int>(i + 1), CrashWhen::kBefore, [&](const qt::CrashCall& call) {
        hits.push_back(call);
      });
      c.operation();
      qt::DisarmCrashPoint();
      ASSERT_EQ(hits.size(), 1u) << i;
      EXPECT_EQ(hits[0].number, static_cast<int>(i + 1));
      EXPECT_EQ(hits[0].call, c.calls[i].first) << i << " " << qv::crash_seam::CallName(hits[0].call);
      EXPECT_EQ(hits[0].path, c.calls[i].second) << i;
    }
  }
}

TEST_F(PowerCutCrash, AThrowingActionStopsTheCallBeforeOrAfterIt) {
  const struct {
    CrashWhen when;
    bool deleted;
  } cases[] = {{CrashWhen::kBefore, false}, {CrashWhen::kAfter, true}};
  for (const auto& c : cases) {
    WriteBytes(L"\\x.dat", "x");
    qt::ArmCrashPoint(1, c.when, [](const qt::CrashCall&) { throw std::runtime_error("crash"); });
    EXPECT_THROW(DeleteFileW(L"\\x.dat"), std::runtime_error);
    EXPECT_EQ(Exists(L"\\x.dat"), !c.deleted);
    // Once only.
    EXPECT_FALSE(DeleteFileW(L"\\nothing.dat"));
    EXPECT_EQ(qt::FileCalls(), 2);
    qt::DisarmCrashPoint();
    DeleteFileW(L"\\x.dat");
    EXPECT_EQ(qt::FileCalls(), 2);  // no longer counting
  }
}

// A forked child dies before or after each call of the replacement; the files
// left match the calls done.
TEST_F(PowerCutCrash, DyingAtEachCallLeavesTheFilesOfTheCallsDone) {
  // The tree after k calls of Replace were done.
  const std::vector<std::string> after = {
      "D/ D/t.dat=old ",                // none
      "D/ D/t.dat=old D/t_tmp= ",       // open
      "D/ D/t.dat=old D/t_tmp=new ",    // write
      "D/ D/t.dat=old D/t_tmp=new ",    // flush
      "D/ D/t.dat=new ",                // move
  };
  FreshRoot(0);
  MakeDir(L"\\D");
  WriteBytes(L"\\D\\t.dat", "old");
  qt::CountFileCalls();
  ASSERT_TRUE(Replace());
  const int calls = qt::FileCalls();
  qt::DisarmCrashPoint();
  ASSERT_EQ(calls, static_cast<int>(after.size()) - 1);
  int round = 1;
  for (int n = 1; n <= calls; ++n) {
    for (CrashWhen when : {CrashWhen::kBefore, CrashWhen::kAfter}) {
      SCOPED_TRACE(std::to_string(n) + (when == CrashWhen::kBefore ? " before" : " after"));
      FreshRoot(round++);
      MakeDir(L"\\D");
      WriteBytes(L"\\D\\t.dat", "old");
      const pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        qt::ArmCrashPoint(n, when, [](const qt::CrashCall&) { _exit(0); });
        Replace();
        _exit(1);  // the point was never reached
      }
      int status = 0;
      ASSERT_EQ(waitpid(child, &status, 0), child);
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 0);
      EXPECT_EQ(Tree(), after[when == CrashWhen::kBefore ? n - 1 : n]);
    }
  }
}

// A child that cuts the power at a call: the parent sees the files as a
// restart would, and starts its own new boot.
TEST_F(PowerCutCrash, ACutAtACallInAChild) {
  std::set<std::string> seen;
  for (int seed = 0; seed < 16; ++seed) {
    FreshRoot(seed);
    MakeDir(L"\\D");
    WriteBytes(L"\\D\\t.dat", "old");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      qt::ArmPowerCut();
      qt::ArmCrashPoint(4, CrashWhen::kBefore, [seed](const qt::CrashCall&) {
        qt::CutPower(static_cast<uint64_t>(seed));
        _exit(0);
      });
      Replace();
      _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // Cut before the move: the synced temporary copy may lose its name, never its bytes.
    const std::string tree = Tree();
    EXPECT_TRUE(tree == "D/ D/t.dat=old " || tree == "D/ D/t.dat=old D/t_tmp=new ") << tree;
    seen.insert(tree);
  }
  EXPECT_EQ(seen.size(), 2u);
  const std::string before = qv::BootId();
  qt::StartNewBoot();
  EXPECT_NE(qv::BootId(), before);
}

}  // namespace
