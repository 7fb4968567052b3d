// Names looked up without regard to case stay right when another hand
// changes a folder at once after this process did: a file made, removed or
// renamed on the host, or by a child process that looks the folder up
// itself, is seen by the very next look-up, and a folder emptied is found
// empty until something comes into it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/kernel/Files.h"
#include "tests/support/DeviceRootFixture.h"

namespace {

using Listings = qv::test::DeviceRootTest;

bool Create(LPCWSTR path) {
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h != INVALID_HANDLE_VALUE && CloseHandle(h);
}

bool Present(LPCWSTR path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

void HostTouch(const std::string& path) {
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fclose(f);
}

// Another process that makes a name and then looks the folder up itself,
// as a second instance of the program would.
void ChildMakes(const std::string& host, LPCWSTR lookup) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    FILE* f = fopen(host.c_str(), "wb");
    if (f != nullptr) fclose(f);
    const bool seen = GetFileAttributesW(lookup) != INVALID_FILE_ATTRIBUTES;
    _exit(f != nullptr && seen ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(Listings, AnotherHandsChangeRightAfterOurOwnIsSeenAtOnce) {
  const std::string box = Host(std::string("Box"));
  const struct {
    const char* what;
    std::function<void()> other;  // the other hand, right after this process made "\Box\Own.eml"
    LPCWSTR present;
    LPCWSTR absent;
    LPCWSTR refusedNew;  // a new file of this spelling clashes with the other hand's
  } cases[] = {
      {"a file made on the host", [&] { HostTouch(box + "/Other.EML"); }, L"\\box\\other.eml", L"\\box\\x.eml",
       L"\\BOX\\OTHER.eml"},
      {"a file removed on the host",
       [&] { std::filesystem::remove(box + "/Own.eml"); }, L"\\box", L"\\BOX\\OWN.EML", nullptr},
      {"a file renamed on the host",
       [&] { std::filesystem::rename(box + "/Own.eml", box + "/Kept.EML"); }, L"\\box\\kept.eml", L"\\box\\own.eml",
       L"\\Box\\KEPT.eml"},
      {"a folder made on the host", [&] { std::filesystem::create_directory(box + "/Sub"); }, L"\\BOX\\SUB",
       L"\\box\\sub.eml", nullptr},
      {"a file made by a process that looks the folder up too",
       [&] { ChildMakes(box + "/Child.EML", L"\\box\\child.eml"); }, L"\\BOX\\child.eml", L"\\box\\none.eml",
       L"\\box\\CHILD.eml"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(box);
    ASSERT_TRUE(CreateDirectoryW(L"\\Box", nullptr));
    EXPECT_FALSE(Present(L"\\box\\OWN.EML"));  // the folder's listing read
    ASSERT_TRUE(Create(L"\\Box\\Own.eml"));
    c.other();
    EXPECT_TRUE(Present(c.present));
    EXPECT_FALSE(Present(c.absent));
    if (c.refusedNew != nullptr) {
      EXPECT_FALSE(Create(c.refusedNew));
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    }
  }
}

TEST_F(Listings, AFolderEmptiedIsFoundEmptyUntilAFileComes) {
  ASSERT_TRUE(CreateDirectoryW(L"\\Data", nullptr));
  ASSERT_TRUE(CreateDirectoryW(L"\\Data\\07", nullptr));
  ASSERT_TRUE(Create(L"\\Data\\07\\00.eml"));
  ASSERT_TRUE(DeleteFileW(L"\\DATA\\07\\00.EML"));
  WIN32_FIND_DATAW data{};
  EXPECT_EQ(FindFirstFileW(L"\\Data\\07\\*.*", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  HostTouch(Host(std::string("Data/07/01.eml")));
  HANDLE find = FindFirstFileW(L"\\Data\\07\\*.*", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::wstring(data.cFileName), L"01.eml");
  FindClose(find);
  // Emptied and removed, then made again under another spelling.
  ASSERT_TRUE(DeleteFileW(L"\\Data\\07\\01.eml"));
  ASSERT_TRUE(RemoveDirectoryW(L"\\Data\\07"));
  std::filesystem::create_directory(Host(std::string("Data/07")));
  HostTouch(Host(std::string("Data/07/02.eml")));
  EXPECT_TRUE(Present(L"\\data\\07\\02.EML"));
  find = FindFirstFileW(L"\\Data\\07\\*.*", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  FindClose(find);
}

}  // namespace
