#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/kernel/Files.h"
#include "platform/kernel/Sync.h"
#include "tests/support/DeviceRootFixture.h"

namespace {

using Find = qv::test::DeviceRootTest;

std::vector<std::wstring> List(LPCWSTR pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data{};
  HANDLE h = FindFirstFileW(pattern, &data);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(data.cFileName);
  } while (FindNextFileW(h, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  EXPECT_TRUE(FindClose(h));
  return names;
}

class FindTree : public Find {
 protected:
  void SetUp() override {
    Find::SetUp();
    std::filesystem::create_directories(Host("Mail/Inbox.fld"));
    std::filesystem::create_directories(Host("Mail/Sent.FLD"));
    WriteHost("Mail/index.dat", "12345");
    WriteHost("Mail/a", "");
    WriteHost("Mail/README", "");
  }
};

TEST_F(FindTree, NeverListsDotOrDotDot) {
  const auto all = List(L"\\Mail\\*");
  EXPECT_EQ(all, (std::vector<std::wstring>{L"a", L"Inbox.fld", L"index.dat", L"README", L"Sent.FLD"}));
  EXPECT_EQ(List(L"\\Mail\\*.*"), all);
  for (const auto& n : List(L"\\*")) {
    EXPECT_NE(n, L".");
    EXPECT_NE(n, L"..");
  }
}

TEST_F(FindTree, PatternsIgnoreCase) {
  EXPECT_EQ(List(L"\\mail\\*.fld"), (std::vector<std::wstring>{L"Inbox.fld", L"Sent.FLD"}));
  EXPECT_EQ(List(L"\\MAIL\\INDEX.*"), (std::vector<std::wstring>{L"index.dat"}));
  EXPECT_EQ(List(L"\\Mail\\?"), (std::vector<std::wstring>{L"a"}));
  EXPECT_EQ(List(L"\\Mail\\readme"), (std::vector<std::wstring>{L"README"}));
  EXPECT_EQ(List(L"\\Mail\\r*e"), (std::vector<std::wstring>{L"README"}));
}

TEST_F(FindTree, ReportsAttributesAndSizes) {
  WIN32_FIND_DATAW data{};
  HANDLE h = FindFirstFileW(L"\\Mail\\index.dat", &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  FindClose(h);
  h = FindFirstFileW(L"\\Mail\\inbox.FLD", &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_NE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  // A find handle is closed by FindClose only.
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_TRUE(FindClose(h));
  EXPECT_FALSE(FindClose(h));
}

TEST_F(FindTree, MissingNamesAndFolders) {
  WIN32_FIND_DATAW data{};
  EXPECT_EQ(FindFirstFileW(L"\\Mail\\*.xyz", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FindFirstFileW(L"\\Nowhere\\*", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FindTree, LinksAreNeverListedAndKernelFilesStayHidden) {
  std::filesystem::create_directory_symlink("/", Host("Mail/escape"));
  std::filesystem::create_symlink(Host("Mail/index.dat"), Host("Mail/alias.dat"));
  const auto names = List(L"\\Mail\\*");
  EXPECT_EQ(std::set<std::wstring>(names.begin(), names.end()).count(L"escape"), 0u);
  EXPECT_EQ(std::set<std::wstring>(names.begin(), names.end()).count(L"alias.dat"), 0u);
  // Kernel bookkeeping (here a named mutex's lock file) never shows up.
  HANDLE m = CreateMutexW(nullptr, FALSE, L"FindHidden");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(List(L"\\*"), (std::vector<std::wstring>{L"Mail"}));
  CloseHandle(m);
}

}  // namespace
