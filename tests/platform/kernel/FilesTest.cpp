#include "platform/kernel/Files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/base/ScopedHandle.h"
#include "platform/base/WideText.h"
#include "platform/kernel/FileSeam.h"
#include "tests/support/DeviceRootFixture.h"

namespace {

using Files = qv::test::DeviceRootTest;

HANDLE Open(LPCWSTR path, DWORD access, DWORD share, DWORD creation) {
  return CreateFileW(path, access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ReadAll(HANDLE h) {
  std::string out(4096, '\0');
  DWORD read = 0;
  EXPECT_TRUE(ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &read, nullptr));
  out.resize(read);
  return out;
}

TEST_F(Files, ShareModeConflictsFailWith32) {
  HANDLE a = Open(L"\\f.dat", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(a, INVALID_HANDLE_VALUE);
  // No sharing: every data open clashes.
  EXPECT_EQ(Open(L"\\f.dat", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(Open(L"\\F.DAT", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  // The clash leaves the file untouched even for an open that would truncate.
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(a, "keep", 4, &n, nullptr));
  EXPECT_EQ(Open(L"\\f.dat", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(GetFileSize(a, nullptr), 4u);
  ASSERT_TRUE(CloseHandle(a));
  HANDLE again = Open(L"\\f.dat", GENERIC_READ, 0, OPEN_EXISTING);
  EXPECT_NE(again, INVALID_HANDLE_VALUE);
  CloseHandle(again);
}

TEST_F(Files, CompatibleSharesSucceed) {
  HANDLE reader = Open(L"\\s.dat", GENERIC_READ, FILE_SHARE_READ, CREATE_ALWAYS);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  HANDLE reader2 = Open(L"\\s.dat", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_NE(reader2, INVALID_HANDLE_VALUE);
  // A writer must be shared by the readers, and share reading itself.
  EXPECT_EQ(Open(L"\\s.dat", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(reader);
  CloseHandle(reader2);
  HANDLE w1 = Open(L"\\s.dat", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  HANDLE r1 = Open(L"\\s.dat", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  EXPECT_NE(w1, INVALID_HANDLE_VALUE);
  EXPECT_NE(r1, INVALID_HANDLE_VALUE);
  // A query-only open (no data access) never clashes.
  HANDLE q = Open(L"\\s.dat", 0, 0, OPEN_EXISTING);
  EXPECT_NE(q, INVALID_HANDLE_VALUE);
  CloseHandle(q);
  CloseHandle(w1);
  CloseHandle(r1);
}

// A reopened handle without access only flushes and closes: it holds the
// file against no open, and outlives the handle it came from.
TEST_F(Files, ReopenedForFlushingOnly) {
  HANDLE a = Open(L"\\r.dat", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(a, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(a, "text", 4, &n, nullptr));
  const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE flush = ReOpenFile(a, 0, all, 0);
  ASSERT_NE(flush, INVALID_HANDLE_VALUE);
  // More than the first handle had, or what its share mode refuses, is not given.
  HANDLE reader = Open(L"\\w.dat", GENERIC_READ, FILE_SHARE_READ, CREATE_ALWAYS);
  EXPECT_EQ(ReOpenFile(reader, GENERIC_WRITE, all, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReOpenFile(a, GENERIC_READ, all, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(reader);
  ASSERT_TRUE(CloseHandle(a));
  HANDLE exclusive = Open(L"\\r.dat", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
  EXPECT_NE(exclusive, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadAll(exclusive), "text");
  CloseHandle(exclusive);
  EXPECT_TRUE(qv::StartFileWriteback(flush));  // a start only: the flush still follows
  EXPECT_TRUE(FlushFileBuffers(flush));
  EXPECT_EQ(GetFileSize(flush, nullptr), 4u);
  qv::file_seam::InjectFault(L"\\r.dat", ERROR_WRITE_FAULT, 1);
  EXPECT_FALSE(FlushFileBuffers(flush));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_FAULT));
  EXPECT_TRUE(DeleteFileW(L"\\r.dat"));
  EXPECT_TRUE(FlushFileBuffers(flush));
  EXPECT_TRUE(CloseHandle(flush));
  EXPECT_FALSE(qv::StartFileWriteback(flush));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// A writer's own handle kept only for its flush: what its share mode refused
// is allowed at once, while the handle still flushes and measures the file.
TEST_F(Files, KeptOnlyForFlushing) {
  struct Case {
    const char* what;
    std::function<bool()> act;
  };
  qv::ScopedHandle writer(Open(L"\\k.dat", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW));
  ASSERT_TRUE(writer.is_valid());
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(writer.get(), "kept", 4, &n, nullptr));
  const std::vector<Case> refusedBefore = {
      {"read", [] { return qv::ScopedHandle(Open(L"\\k.dat", GENERIC_READ, 0, OPEN_EXISTING)).is_valid(); }},
      {"write", [] { return qv::ScopedHandle(Open(L"\\K.DAT", GENERIC_WRITE, 0, OPEN_EXISTING)).is_valid(); }},
  };
  for (const Case& c : refusedBefore) {
    EXPECT_FALSE(c.act()) << c.what;
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION) << c.what;
  }
  ASSERT_TRUE(qv::KeepOnlyForFlush(writer.get()));
  for (const Case& c : refusedBefore) EXPECT_TRUE(c.act()) << c.what;
  // No data through it any more.
  char byte = 0;
  EXPECT_FALSE(ReadFile(writer.get(), &byte, 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(WriteFile(writer.get(), "x", 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  HANDLE exclusive = Open(L"\\k.dat", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadAll(exclusive), "kept");
  CloseHandle(exclusive);
  EXPECT_TRUE(FlushFileBuffers(writer.get()));
  EXPECT_EQ(GetFileSize(writer.get(), nullptr), 4u);
  EXPECT_TRUE(DeleteFileW(L"\\k.dat"));
  EXPECT_TRUE(FlushFileBuffers(writer.get()));
  EXPECT_TRUE(CloseHandle(writer.release()));
  EXPECT_FALSE(qv::KeepOnlyForFlush(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x1234))));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// A file its open has just made is held by that handle's share mode against
// every other open, removal, move or copy onto it, whichever call asks first.
TEST_F(Files, AFileJustMadeIsHeldByItsHandle) {
  const struct {
    const char* what;
    std::function<bool()> act;
  } claims[] = {
      {"read", [] { return qv::ScopedHandle(Open(L"\\MADE.dat", GENERIC_READ, 0, OPEN_EXISTING)).is_valid(); }},
      {"write", [] { return qv::ScopedHandle(Open(L"\\made.dat", GENERIC_WRITE, 0, OPEN_ALWAYS)).is_valid(); }},
      {"delete", [] { return DeleteFileW(L"\\made.DAT") != FALSE; }},
      {"move", [] { return MoveFileW(L"\\made.dat", L"\\moved.dat") != FALSE; }},
      {"replace", [this] {
         WriteHost("other.dat", "o");
         return DeleteAndRenameFile(L"\\made.dat", L"\\other.dat") != FALSE;
       }},
      {"copy onto", [this] {
         WriteHost("other.dat", "o");
         return CopyFileW(L"\\other.dat", L"\\made.dat", FALSE) != FALSE;
       }},
  };
  for (const DWORD creation : {DWORD{CREATE_NEW}, DWORD{CREATE_ALWAYS}, DWORD{OPEN_ALWAYS}}) {
    for (const auto& c : claims) {
      SCOPED_TRACE(testing::Message() << c.what << ", made with " << creation);
      std::filesystem::remove(Host("made.dat"));
      std::filesystem::remove(Host("moved.dat"));
      qv::ScopedHandle made(Open(L"\\made.dat", GENERIC_READ | GENERIC_WRITE, 0, creation));
      ASSERT_TRUE(made.is_valid());
      EXPECT_FALSE(c.act());
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
      made.reset();
      EXPECT_TRUE(c.act());
    }
  }
}

TEST_F(Files, CreationDispositions) {
  HANDLE h = Open(L"\\new.txt", GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), 0u);
  CloseHandle(h);
  EXPECT_EQ(Open(L"\\new.txt", GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  h = Open(L"\\new.txt", GENERIC_WRITE, 0, OPEN_ALWAYS);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  CloseHandle(h);
  h = Open(L"\\new.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  CloseHandle(h);
  EXPECT_EQ(Open(L"\\missing.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Open(L"\\nodir\\x.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Open(L"\\nodir\\x.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(Files, ReadWriteSeekTruncate) {
  HANDLE h = Open(L"\\rw.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, "0123456789", 10, &n, nullptr));
  EXPECT_EQ(n, 10u);
  EXPECT_EQ(SetFilePointer(h, 2, nullptr, FILE_BEGIN), 2u);
  EXPECT_EQ(ReadAll(h), "23456789");
  char buf[4];
  ASSERT_TRUE(ReadFile(h, buf, 4, &n, nullptr));  // at the end: success, nothing read
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(SetFilePointer(h, -3, nullptr, FILE_END), 7u);
  EXPECT_EQ(SetFilePointer(h, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_NE(GetLastError(), 0u);
  EXPECT_EQ(SetFilePointer(h, 5, nullptr, FILE_BEGIN), 5u);
  ASSERT_TRUE(SetEndOfFile(h));
  DWORD high = 7;
  EXPECT_EQ(GetFileSize(h, &high), 5u);
  EXPECT_EQ(high, 0u);
  EXPECT_TRUE(FlushFileBuffers(h));
  FILETIME created{}, written{};
  EXPECT_TRUE(GetFileTime(h, &created, nullptr, &written));
  EXPECT_NE(written.dwHighDateTime, 0u);
  CloseHandle(h);
  EXPECT_EQ(ReadHost("rw.bin"), "01234");
  // A read-only handle may not write, and a closed handle is gone.
  h = Open(L"\\rw.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_FALSE(WriteFile(h, "x", 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(h);
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// Positions set with no read or write between: the next one goes there, and
// a handle reopened for reading starts where the first stands.
TEST_F(Files, PositionsSetAreWhereTheNextReadOrWriteGoes) {
  HANDLE h = Open(L"\\pos.bin", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS);
  DWORD n = 0;
  char got[4] = {};
  ASSERT_TRUE(WriteFile(h, "0123456789", 10, &n, nullptr));
  EXPECT_EQ(SetFilePointer(h, 2, nullptr, FILE_BEGIN), 2u);
  EXPECT_EQ(SetFilePointer(h, 3, nullptr, FILE_CURRENT), 5u);
  ASSERT_TRUE(WriteFile(h, "ab", 2, &n, nullptr));
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 7u);
  ASSERT_TRUE(ReadFile(h, got, 2, &n, nullptr));
  EXPECT_EQ(std::string(got, n), "78");
  EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
  ASSERT_TRUE(SetEndOfFile(h));
  EXPECT_EQ(SetFilePointer(h, -3, nullptr, FILE_END), 3u);
  const qv::ScopedHandle other(ReOpenFile(h, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0));
  ASSERT_TRUE(ReadFile(other.get(), got, 4, &n, nullptr));
  EXPECT_EQ(std::string(got, n), "34a");
  CloseHandle(h);
  EXPECT_EQ(ReadHost("pos.bin"), "01234a");
}

TEST_F(Files, NamesResolveWithoutRegardToCase) {
  std::filesystem::create_directories(Host("Application Data/QuvoMail"));
  WriteHost("Application Data/QuvoMail/QvMailLog.txt", "log");
  HANDLE h = Open(L"\\APPLICATION DATA\\quvomail\\qvmaillog.TXT", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadAll(h), "log");
  CloseHandle(h);
  // A new file in an existing folder keeps the folder's spelling and its own.
  h = Open(L"\\application data\\QUVOMAIL\\New.Txt", GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_TRUE(HostExists("Application Data/QuvoMail/New.Txt"));
  std::string host;
  ASSERT_TRUE(qv::DeviceToHostPath(L"\\application data\\quvomail", &host));
  EXPECT_EQ(host, Host("Application Data/QuvoMail"));
  EXPECT_EQ(qv::HostToDevicePath(Host("Application Data/QuvoMail/x")), L"\\Application Data\\QuvoMail\\x");
  EXPECT_EQ(GetFileAttributesW(L"\\aPPlication data"), FILE_ATTRIBUTE_DIRECTORY);
  // Beyond ASCII: accented and full-width letters.
  std::filesystem::create_directories(Host("\xC3\x9C" "ber"));  // "Über"
  WriteHost("\xC3\x9C" "ber/\xEF\xBC\xA1.txt", "x");            // "Ａ.txt"
  EXPECT_EQ(GetFileAttributesW(L"\\\u00FCBER\\\uFF41.TXT"), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Files, RefusedNamesAndLongPaths) {
  for (const wchar_t* bad : {L"\\a<b", L"\\a>b", L"\\a:b", L"\\a\"b", L"\\a|b", L"\\a?b", L"\\a*b", L"\\a\x01"}) {
    EXPECT_EQ(Open(bad, GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE) << bad;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME) << bad;
  }
  const std::wstring longPath = L"\\" + std::wstring(MAX_PATH, L'a');
  EXPECT_EQ(GetFileAttributesW(longPath.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
  std::string host;
  EXPECT_FALSE(qv::DeviceToHostPath(L"\\x|y", &host));
}

TEST_F(Files, MoveNeverReplaces) {
  WriteHost("a.txt", "from");
  WriteHost("b.txt", "onto");
  EXPECT_FALSE(MoveFileW(L"\\a.txt", L"\\B.TXT"));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(ReadHost("a.txt"), "from");
  EXPECT_EQ(ReadHost("b.txt"), "onto");
  ASSERT_TRUE(MoveFileW(L"\\A.txt", L"\\c.txt"));
  EXPECT_FALSE(HostExists("a.txt"));
  EXPECT_EQ(ReadHost("c.txt"), "from");
  EXPECT_FALSE(MoveFileW(L"\\gone.txt", L"\\d.txt"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  // A change of case only renames.
  ASSERT_TRUE(MoveFileW(L"\\c.txt", L"\\C.TXT"));
  EXPECT_EQ(ReadHost("C.TXT"), "from");
  EXPECT_FALSE(HostExists("c.txt"));
}

TEST_F(Files, MoveTakesFoldersAndRespectsOpenHandles) {
  std::filesystem::create_directories(Host("dir/sub"));
  WriteHost("dir/sub/x", "x");
  ASSERT_TRUE(MoveFileW(L"\\dir", L"\\moved"));
  EXPECT_EQ(ReadHost("moved/sub/x"), "x");
  HANDLE h = Open(L"\\moved\\sub\\x", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_FALSE(MoveFileW(L"\\moved\\sub\\x", L"\\y"));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(h);
  h = Open(L"\\moved\\sub\\x", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
  EXPECT_TRUE(MoveFileW(L"\\moved\\sub\\x", L"\\y"));
  CloseHandle(h);
}

TEST_F(Files, DeleteAndRenameReplacesInOneStep) {
  WriteHost("target", "old");
  WriteHost("temp", "new");
  ASSERT_TRUE(DeleteAndRenameFile(L"\\TARGET", L"\\temp"));
  EXPECT_EQ(ReadHost("target"), "new");
  EXPECT_FALSE(HostExists("temp"));
  WriteHost("temp2", "newer");
  ASSERT_TRUE(DeleteAndRenameFile(L"\\fresh", L"\\temp2"));  // no target yet
  EXPECT_EQ(ReadHost("fresh"), "newer");
  HANDLE h = Open(L"\\fresh", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  WriteHost("temp3", "x");
  EXPECT_FALSE(DeleteAndRenameFile(L"\\fresh", L"\\temp3"));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(h);
  EXPECT_FALSE(DeleteAndRenameFile(L"\\fresh", L"\\nothing"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(Files, MoveExReplacesOnlyWhenAsked) {
  WriteHost("a", "new");
  WriteHost("b", "old");
  for (DWORD flags : {0u, MOVEFILE_WRITE_THROUGH}) {
    EXPECT_FALSE(MoveFileExW(L"\\a", L"\\B", flags));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  }
  ASSERT_TRUE(MoveFileExW(L"\\A", L"\\B", MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
  EXPECT_EQ(ReadHost("b"), "new");
  EXPECT_FALSE(HostExists("a"));
  std::filesystem::create_directories(Host("dir"));
  ASSERT_TRUE(MoveFileExW(L"\\b", L"\\DIR\\c", MOVEFILE_WRITE_THROUGH));
  EXPECT_EQ(ReadHost("dir/c"), "new");
  WriteHost("d", "x");
  EXPECT_FALSE(MoveFileExW(L"\\d", L"\\dir", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

// Each change this process makes is looked up at once under another
// spelling, while the folder's listing is kept across the changes.
TEST_F(Files, LookupsSeeEachOwnChangeAtOnce) {
  std::filesystem::create_directories(Host("box"));
  // Changed long ago, so that its listing, read now, answers until it changes.
  std::filesystem::last_write_time(Host("box"), std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  EXPECT_EQ(GetFileAttributesW(L"\\BOX\\NONE"), INVALID_FILE_ATTRIBUTES);
  const auto create = [](LPCWSTR path) {
    HANDLE h = Open(path, GENERIC_WRITE, 0, CREATE_NEW);
    return h != INVALID_HANDLE_VALUE && CloseHandle(h);
  };
  const struct {
    std::function<BOOL()> change;
    LPCWSTR present;
    LPCWSTR absent;
  } steps[] = {
      {[&] { return create(L"\\box\\Mail.eml"); }, L"\\BOX\\MAIL.EML", L"\\box\\mail.eml_tmp"},
      {[&] { return create(L"\\box\\Mail.eml_tmp"); }, L"\\BOX\\MAIL.EML_TMP", L"\\box\\kept.eml"},
      {[] { return MoveFileW(L"\\box\\Mail.eml", L"\\box\\Kept.eml"); }, L"\\BOX\\KEPT.EML", L"\\BOX\\MAIL.EML"},
      {[] { return MoveFileExW(L"\\box\\Mail.eml_tmp", L"\\box\\kept.EML", MOVEFILE_REPLACE_EXISTING); },
       L"\\box\\KEPT.eml", L"\\box\\MAIL.EML_TMP"},
      {[] { return CreateDirectoryW(L"\\box\\Sub", nullptr); }, L"\\BOX\\SUB", L"\\box\\mail.eml"},
      {[] { return RemoveDirectoryW(L"\\BOX\\sub"); }, L"\\box\\kept.eml", L"\\box\\SUB"},
      {[] { return DeleteFileW(L"\\box\\KEPT.EML"); }, L"\\BOX", L"\\box\\Kept.eml"},
  };
  for (const auto& step : steps) {
    ASSERT_TRUE(step.change()) << step.present;
    EXPECT_NE(GetFileAttributesW(step.present), INVALID_FILE_ATTRIBUTES) << step.present;
    EXPECT_EQ(GetFileAttributesW(step.absent), INVALID_FILE_ATTRIBUTES) << step.absent;
  }
  EXPECT_TRUE(std::filesystem::is_empty(Host("box")));
}

TEST_F(Files, CopyAndDelete) {
  WriteHost("src", "payload");
  ASSERT_TRUE(CopyFileW(L"\\SRC", L"\\dst", TRUE));
  EXPECT_EQ(ReadHost("dst"), "payload");
  EXPECT_FALSE(CopyFileW(L"\\src", L"\\dst", TRUE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  WriteHost("src", "second");
  EXPECT_TRUE(CopyFileW(L"\\src", L"\\dst", FALSE));
  EXPECT_EQ(ReadHost("dst"), "second");

  HANDLE h = Open(L"\\dst", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_FALSE(DeleteFileW(L"\\dst"));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_TRUE(HostExists("dst"));
  CloseHandle(h);
  EXPECT_TRUE(DeleteFileW(L"\\DST"));
  EXPECT_FALSE(HostExists("dst"));
  EXPECT_FALSE(DeleteFileW(L"\\dst"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  ASSERT_TRUE(SetFileAttributesW(L"\\src", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesW(L"\\src"), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(Open(L"\\src", GENERIC_WRITE, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(DeleteFileW(L"\\src"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  ASSERT_TRUE(SetFileAttributesW(L"\\src", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesW(L"\\src"), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(DeleteFileW(L"\\src"));
}

TEST_F(Files, Directories) {
  ASSERT_TRUE(CreateDirectoryW(L"\\Mail", nullptr));
  EXPECT_FALSE(CreateDirectoryW(L"\\MAIL", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(CreateDirectoryW(L"\\none\\deeper", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  WriteHost("Mail/x", "x");
  EXPECT_FALSE(RemoveDirectoryW(L"\\mail"));
  EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
  EXPECT_FALSE(DeleteFileW(L"\\mail"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open(L"\\mail", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  ASSERT_TRUE(DeleteFileW(L"\\mail\\X"));
  EXPECT_TRUE(RemoveDirectoryW(L"\\mail"));
  EXPECT_FALSE(RemoveDirectoryW(L"\\mail"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesW(L"\\mail"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// Names below a folder that is there, where the next folder is missing or
// spelled otherwise than on disk, and folders this process has just made.
TEST_F(Files, NamesBelowAMissingOrOtherwiseSpelledFolder) {
  std::filesystem::create_directories(Host("Deep/Sub"));
  struct Case {
    const wchar_t* path;
    bool folder;          // CreateDirectoryW, else CreateFileW
    DWORD creation;
    DWORD error;          // 0: made
    const char* made;     // where it is on the host
  } cases[] = {
      {L"\\Deep\\Gone\\x.txt", false, CREATE_NEW, ERROR_PATH_NOT_FOUND, nullptr},
      {L"\\Deep\\Gone\\x.txt", false, OPEN_EXISTING, ERROR_PATH_NOT_FOUND, nullptr},
      {L"\\Deep\\Gone\\x.txt", false, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND, nullptr},
      {L"\\Deep\\Gone\\y", true, 0, ERROR_PATH_NOT_FOUND, nullptr},
      {L"\\DEEP\\Gone\\x.txt", false, CREATE_NEW, ERROR_PATH_NOT_FOUND, nullptr},
      {L"\\Deep\\SUB\\n.txt", false, CREATE_NEW, 0, "Deep/Sub/n.txt"},
      {L"\\Deep\\sub\\Inner", true, 0, 0, "Deep/Sub/Inner"},
      {L"\\Deep\\SUB\\inner\\m.txt", false, CREATE_NEW, 0, "Deep/Sub/Inner/m.txt"},
      {L"\\Deep\\New", true, 0, 0, "Deep/New"},
      {L"\\Deep\\NEW", true, 0, ERROR_ALREADY_EXISTS, nullptr},
      {L"\\Deep\\new\\f.txt", false, CREATE_NEW, 0, "Deep/New/f.txt"},
      {L"\\Deep\\New\\F.TXT", false, CREATE_NEW, ERROR_FILE_EXISTS, nullptr},
      {L"\\Deep\\New\\F.TXT", false, OPEN_EXISTING, 0, "Deep/New/f.txt"},
      // A name about to be made, already there under one spelling or another.
      {L"\\Deep\\New\\f.txt", false, CREATE_NEW, ERROR_FILE_EXISTS, nullptr},
      {L"\\deep\\NEW\\f.TXT", false, CREATE_NEW, ERROR_FILE_EXISTS, nullptr},
      {L"\\Deep\\sub", false, CREATE_NEW, ERROR_ACCESS_DENIED, nullptr},
      {L"\\Deep\\Sub\\Inner", false, CREATE_NEW, ERROR_ACCESS_DENIED, nullptr},
      {L"\\Deep\\New\\g.txt", false, CREATE_NEW, 0, "Deep/New/g.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(qv::WideToUtf8(c.path));
    SetLastError(0);
    bool made = false;
    if (c.folder) {
      made = CreateDirectoryW(c.path, nullptr) != FALSE;
    } else {
      HANDLE h = Open(c.path, GENERIC_READ | GENERIC_WRITE, 0, c.creation);
      made = h != INVALID_HANDLE_VALUE;
      if (made) CloseHandle(h);
    }
    EXPECT_EQ(made, c.error == 0);
    if (c.error != 0) {
      EXPECT_EQ(GetLastError(), c.error);
    }
    if (c.made != nullptr) {
      EXPECT_TRUE(HostExists(c.made));
    }
  }
  EXPECT_FALSE(HostExists("Deep/Gone"));
}

TEST_F(Files, StreamsAreBinary) {
  FILE* f = _wfopen(L"\\Stream.bin", L"wt");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fwrite("a\r\nb\n", 1, 5, f), 5u);
  ASSERT_EQ(std::fclose(f), 0);
  EXPECT_EQ(ReadHost("Stream.bin"), "a\r\nb\n");
  f = qv_fopen("\\STREAM.BIN", "ab");
  ASSERT_NE(f, nullptr);
  std::fputs("c", f);
  std::fclose(f);
  f = _wfopen(L"\\stream.bin", L"r+b");
  ASSERT_NE(f, nullptr);
  char buf[16] = {};
  EXPECT_EQ(std::fread(buf, 1, sizeof buf, f), 6u);
  EXPECT_STREQ(buf, "a\r\nb\nc");
  std::fseek(f, 0, SEEK_SET);
  std::fputc('Z', f);
  std::fclose(f);
  EXPECT_EQ(ReadHost("Stream.bin"), "Z\r\nb\nc");
  EXPECT_EQ(_wfopen(L"\\missing", L"rb"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(Files, FreeSpaceFromTheVolume) {
  ULARGE_INTEGER avail{}, total{}, free{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(nullptr, &avail, &total, &free));
  EXPECT_GT(total.QuadPart, 0u);
  EXPECT_LE(avail.QuadPart, total.QuadPart);
  EXPECT_FALSE(GetDiskFreeSpaceExW(L"\\no|such", &avail, &total, &free));
}

// Another process's files: one made where an open just found nothing, and one
// renamed over a name this process holds open, are what the next open reaches.
TEST_F(Files, OpensSeeFilesOtherProcessesMakeOrSwapIn) {
  ASSERT_TRUE(CreateDirectoryW(L"\\Box", nullptr));
  std::string dir;
  ASSERT_TRUE(qv::DeviceToHostPath(L"\\Box", &dir));
  const auto hostWrite = [](const std::string& path, const char* text) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs(text, f);
    fclose(f);
  };
  EXPECT_EQ(Open(L"\\Box\\list.msg_tmp", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  hostWrite(dir + "/list.msg_tmp", "made");
  HANDLE made = Open(L"\\Box\\list.msg_tmp", GENERIC_READ, 0, OPEN_EXISTING);
  ASSERT_NE(made, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadAll(made), "made");
  hostWrite(dir + "/other", "swapped");
  ASSERT_EQ(::rename((dir + "/other").c_str(), (dir + "/list.msg_tmp").c_str()), 0);
  // The handle still held, unshared, is on the file renamed away.
  HANDLE swapped = Open(L"\\Box\\list.msg_tmp", GENERIC_READ, 0, OPEN_EXISTING);
  ASSERT_NE(swapped, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadAll(swapped), "swapped");
  EXPECT_EQ(Open(L"\\Box\\list.msg_tmp", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(made);
  CloseHandle(swapped);
}

}  // namespace
