// Listings stay right when another hand changes a folder right after this
// process did, and a folder emptied is empty until something comes into it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/kernel/Files.h"
#include "tests/support/DeviceRootFixture.h"

namespace {

using Listings = qv::test::DeviceRootTest;
namespace fs = std::filesystem;

bool Create(LPCWSTR path) {
  HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h != INVALID_HANDLE_VALUE && CloseHandle(h);
}
bool Present(LPCWSTR path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }
void Touch(const std::string& host) { std::ofstream{host}; }

TEST_F(Listings, AnotherHandsChangeRightAfterOurOwnIsSeenAtOnce) {
  const std::string box = Host(std::string("Box"));
  const struct {
    std::function<void()> other;  // right after this process made "\Box\Own.eml"
    LPCWSTR present, absent;
    LPCWSTR clash;  // a new file of this spelling meets the other hand's
  } cases[] = {
      {[&] { Touch(box + "/Other.EML"); }, L"\\box\\other.eml", L"\\box\\x.eml", L"\\BOX\\OTHER.eml"},
      {[&] { fs::remove(box + "/Own.eml"); }, L"\\box", L"\\BOX\\OWN.EML", nullptr},
      {[&] { fs::rename(box + "/Own.eml", box + "/Kept.EML"); }, L"\\box\\kept.eml", L"\\box\\own.eml",
       L"\\Box\\KEPT.eml"},
      {[&] { fs::create_directory(box + "/Sub"); }, L"\\BOX\\SUB", L"\\box\\sub.eml", nullptr},
      {[&] {
         const pid_t child = fork();
         if (child == 0) {
           Touch(box + "/Child.EML");
           _exit(Present(L"\\box\\child.eml") ? 0 : 1);
         }
         int status = 1;
         ASSERT_EQ(waitpid(child, &status, 0), child);
         ASSERT_EQ(status, 0);
       },
       L"\\BOX\\child.eml", L"\\box\\none.eml", L"\\box\\CHILD.eml"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    fs::remove_all(box);
    ASSERT_TRUE(CreateDirectoryW(L"\\Box", nullptr));
    EXPECT_FALSE(Present(L"\\box\\OWN.EML"));  // the folder's listing read
    ASSERT_TRUE(Create(L"\\Box\\Own.eml"));
    c.other();
    EXPECT_TRUE(Present(c.present));
    EXPECT_FALSE(Present(c.absent));
    if (c.clash != nullptr) {
      EXPECT_FALSE(Create(c.clash));
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    }
  }
}

TEST_F(Listings, AFolderEmptiedIsFoundEmptyUntilAFileComes) {
  const auto first = [] {
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW(L"\\Data\\07\\*.*", &data);
    if (find == INVALID_HANDLE_VALUE) return std::wstring(GetLastError() == ERROR_FILE_NOT_FOUND ? L"" : L"?");
    FindClose(find);
    return std::wstring(data.cFileName);
  };
  ASSERT_TRUE(CreateDirectoryW(L"\\Data", nullptr) && CreateDirectoryW(L"\\Data\\07", nullptr));
  ASSERT_TRUE(Create(L"\\Data\\07\\00.eml") && DeleteFileW(L"\\DATA\\07\\00.EML"));
  EXPECT_EQ(first(), L"");
  Touch(Host(std::string("Data/07/01.eml")));
  EXPECT_EQ(first(), L"01.eml");
}

}  // namespace
