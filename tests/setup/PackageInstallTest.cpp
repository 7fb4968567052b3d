// The package's installation on a device root: what the program needs to
// start there, kept when already set, and taken back when the setup library
// asks for the installation to be undone.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/kernel/Files.h"
#include "platform/kernel/Library.h"
#include "platform/pkg/RegistryString.h"
#include "setup/install/QvMailPackage.h"
#include "tests/support/DeviceRootFixture.h"

namespace {

constexpr wchar_t kKey[] = L"Software\\Norvale\\QvMail";

std::wstring Value(const wchar_t* name) {
  WCHAR text[MAX_PATH];
  if (FAILED(RegistryGetString(HKEY_CURRENT_USER, kKey, name, text, MAX_PATH))) return L"<none>";
  return text;
}

bool IsFolder(const wchar_t* path) {
  const DWORD a = GetFileAttributesW(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class PackageInstallTest : public qv::test::DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    qv::RegisterLibraryAlias(L"QvMailSetup.dll", "");
  }
};

TEST_F(PackageInstallTest, InstallsWhatTheProgramNeedsKeepingValuesAlreadySet) {
  struct Case {
    const char* what;
    const wchar_t* dataBefore;  // null: the root is empty
    const wchar_t* dataAfter;
  };
  const Case cases[] = {
      {"empty root", nullptr, L"\\Application Data\\QuvoMail\\"},
      {"data folder moved by the user", L"\\Storage Card\\Mail\\", L"\\Storage Card\\Mail\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    if (c.dataBefore) {
      ASSERT_TRUE(SUCCEEDED(RegistrySetString(HKEY_CURRENT_USER, kKey, L"DataPath", c.dataBefore)));
    }
    EXPECT_FALSE(qv::setup::IsQvMailPackageInstalled());
    EXPECT_EQ(qv::setup::InstallQvMailPackage(), qv::pkg::SetupOutcome::kDone);
    EXPECT_TRUE(qv::setup::IsQvMailPackageInstalled());
    EXPECT_EQ(Value(L"DataPath"), c.dataAfter);
    EXPECT_EQ(Value(L"SystemInfoPath"), L"\\Application Data\\QuvoMail\\System\\");
    EXPECT_EQ(Value(L"Version"), L"4.2");
    EXPECT_TRUE(IsFolder(L"\\Application Data\\QuvoMail\\System"));
    // Installing again over itself changes nothing the first one made.
    EXPECT_EQ(qv::setup::InstallQvMailPackage(), qv::pkg::SetupOutcome::kDone);
    EXPECT_EQ(Value(L"DataPath"), c.dataAfter);
    EXPECT_EQ(Value(L"OldVersion"), L"4.2");
  }
}

TEST_F(PackageInstallTest, AnUndoneInstallationLeavesNoRecordBehind) {
  // The user hive cannot be stored: the version cannot be written, so the
  // setup library asks for the installation to be undone.
  std::filesystem::create_directories(root_ + "/.qvkernel/registry/HKCU.dat/x");
  EXPECT_EQ(qv::setup::InstallQvMailPackage(), qv::pkg::SetupOutcome::kUndone);
  EXPECT_FALSE(qv::setup::IsQvMailPackageInstalled());
  EXPECT_EQ(Value(L"DataPath"), L"<none>");
}

}  // namespace
