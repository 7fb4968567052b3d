// Everything the platform makes under the device root is its owner's alone:
// files 0600 (0400 when read-only), folders 0700; a root left open to others
// is closed to them once it is used.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>

#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Sync.h"
#include "tests/support/DeviceRootFixture.h"
#include "tests/support/OwnerOnly.h"

namespace {

using qv::test::HostMode;
using qv::test::OpenToOthers;

class OwnFiles : public qv::test::DeviceRootTest {};

TEST_F(OwnFiles, FilesAndFoldersThePlatformMakesAreTheOwnersAlone) {
  ASSERT_TRUE(CreateDirectoryW(L"\\Dir", nullptr));
  ASSERT_TRUE(CreateDirectoryW(L"\\Dir\\Sub", nullptr));
  HANDLE file = CreateFileW(L"\\Dir\\a.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, "a", 1, &written, nullptr));
  CloseHandle(file);
  HANDLE readOnly =
      CreateFileW(L"\\Dir\\r.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_READONLY, nullptr);
  ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
  CloseHandle(readOnly);
  FILE* stream = _wfopen(L"\\Dir\\Sub\\b.txt", L"wb");
  ASSERT_NE(stream, nullptr);
  std::fputs("b", stream);
  std::fclose(stream);
  // A copy of a file others may read is the owner's alone.
  WriteHost("loose.txt", "c");
  ASSERT_EQ(::chmod(Host("loose.txt").c_str(), 0644), 0);
  ASSERT_TRUE(CopyFileW(L"\\loose.txt", L"\\Dir\\c.txt", TRUE));
  ASSERT_TRUE(DeleteFileW(L"\\loose.txt"));
  WCHAR temp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  // Named objects keep their files in the kernel's own folder.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"OwnFiles Mutex");
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, L"OwnFiles Event");
  ASSERT_NE(mutex, nullptr);
  ASSERT_NE(event, nullptr);

  EXPECT_EQ(HostMode(Host("Dir")), 0700);
  EXPECT_EQ(HostMode(Host("Dir/a.txt")), 0600);
  EXPECT_EQ(HostMode(Host("Dir/r.txt")), 0400);
  EXPECT_EQ(HostMode(Host("Dir/c.txt")), 0600);
  EXPECT_EQ(OpenToOthers(root_), std::vector<std::string>{});
  CloseHandle(mutex);
  CloseHandle(event);
}

TEST_F(OwnFiles, ARootOpenToOthersIsClosedWhenUsed) {
  ASSERT_TRUE(CreateDirectoryW(L"\\Dir", nullptr));
  for (mode_t loose : {0755, 0777, 0750, 0705, 0711}) {
    SCOPED_TRACE(loose);
    ASSERT_EQ(::chmod(root_.c_str(), loose), 0);
    qv::SetDeviceRoot(root_);  // opened again, as by the next program
    EXPECT_EQ(GetFileAttributesW(L"\\Dir"), DWORD{FILE_ATTRIBUTE_DIRECTORY});
    EXPECT_EQ(HostMode(root_), 0700);
  }
  // The kernel's own folders, left open by an older version, likewise.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"OwnFiles Mutex");
  ASSERT_NE(mutex, nullptr);
  CloseHandle(mutex);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root_ + "/.qvkernel")) {
    ::chmod(entry.path().c_str(), entry.is_directory() ? 0755 : 0644);
  }
  ::chmod((root_ + "/.qvkernel").c_str(), 0755);
  mutex = CreateMutexW(nullptr, FALSE, L"OwnFiles Mutex");
  ASSERT_NE(mutex, nullptr);
  CloseHandle(mutex);
  EXPECT_EQ(OpenToOthers(root_), std::vector<std::string>{});
}

}  // namespace
