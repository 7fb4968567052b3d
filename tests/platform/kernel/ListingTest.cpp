// Listings stay right when another hand changes a folder right after this
// process did, and a folder emptied is empty until something comes into it.
#include <fcntl.h>
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

// A folder's listing answers a new name's look-up without a look at the host
// only while nothing above it moved: a folder of the path renamed, removed or
// replaced (by a link too) by any hand is seen at once, and the path then
// names the folder now there.
TEST_F(Listings, AFolderMovedOrReplacedAboveIsSeenAtOnce) {
  const std::string top = Host(std::string("Top"));
  const std::string box = top + "/Mid/Box";
  const auto fresh = [](const std::string& dir) {
    fs::create_directories(dir);
    Touch(dir + "/Other.EML");
  };
  int held = -1;  // a folder another hand keeps open: its removal is told late
  const struct {
    const char* what;
    std::function<void()> other;  // right after this process made two files in "\Top\Mid\Box"
  } cases[] = {
      {"parent renamed",
       [&] {
         fs::rename(top + "/Mid", top + "/Old");
         fresh(box);
       }},
      {"top renamed",
       [&] {
         fs::rename(top, top + ".old");
         fresh(box);
       }},
      {"folder renamed, another renamed in",
       [&] {
         fresh(top + "/Spare");
         fs::rename(box, top + "/Mid/Gone");
         fs::rename(top + "/Spare", box);
       }},
      {"emptied folder renamed over while held open",
       [&] {
         fresh(top + "/Spare");
         fs::remove(box + "/Own.eml");
         fs::remove(box + "/Own2.eml");
         held = ::open(box.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
         ASSERT_GE(held, 0);
         fs::rename(top + "/Spare", box);
       }},
      {"folder replaced by a link",
       [&] {
         fresh(top + "/Elsewhere");
         fs::remove_all(box);
         fs::create_directory_symlink(top + "/Elsewhere", box);
       }},
      {"tree removed and made again",
       [&] {
         fs::remove_all(top);
         fresh(box);
       }},
      {"moved by this process",
       [&] {
         ASSERT_TRUE(MoveFileW(L"\\Top\\Mid", L"\\Top\\Moved"));
         fresh(box);
       }},
      {"another process",
       [&] {
         const pid_t child = fork();
         if (child == 0) {
           fs::rename(top + "/Mid", top + "/Old");
           fresh(box);
           _exit(0);
         }
         int status = 1;
         ASSERT_EQ(waitpid(child, &status, 0), child);
         ASSERT_EQ(status, 0);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(top);
    fs::remove_all(top + ".old");
    ASSERT_TRUE(CreateDirectoryW(L"\\Top", nullptr) && CreateDirectoryW(L"\\Top\\Mid", nullptr) &&
                CreateDirectoryW(L"\\Top\\Mid\\Box", nullptr));
    EXPECT_FALSE(Present(L"\\Top\\Mid\\Box\\OWN.EML"));  // the folder's listing read
    ASSERT_TRUE(Create(L"\\Top\\Mid\\Box\\Own.eml"));
    ASSERT_TRUE(Create(L"\\Top\\Mid\\Box\\Own2.eml"));
    c.other();
    EXPECT_FALSE(Create(L"\\Top\\Mid\\Box\\other.eml"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_FALSE(Create(L"\\TOP\\MID\\BOX\\OTHER.eml"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_FALSE(Present(L"\\Top\\Mid\\Box\\Own.eml"));
    ASSERT_TRUE(Create(L"\\Top\\Mid\\Box\\New.eml"));
    EXPECT_TRUE(fs::exists(fs::path(box) / "New.eml"));
    EXPECT_TRUE(fs::exists(fs::path(box) / "Other.EML"));
    if (held >= 0) ::close(held);
    held = -1;
  }
}
