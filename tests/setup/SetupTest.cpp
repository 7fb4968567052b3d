// The setup library's version bookkeeping, called directly and through the
// installer's calls by name, and the shell's registry string helpers it uses.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/kernel/Library.h"
#include "platform/pkg/RegistryString.h"
#include "platform/pkg/SetupDll.h"
#include "setup/QvMailSetup.h"
#include "tests/support/DeviceRootFixture.h"

namespace {

constexpr wchar_t kKey[] = L"Software\\Norvale\\QvMail";

class SetupTest : public qv::test::DeviceRootTest {
 protected:
  // The value's text, "<none>" when it is missing or not text.
  static std::wstring Value(const wchar_t* name) {
    WCHAR text[64];
    if (FAILED(RegistryGetString(HKEY_CURRENT_USER, kKey, name, text, 64))) return L"<none>";
    return text;
  }
  static void Set(const wchar_t* name, const wchar_t* text) {
    ASSERT_TRUE(SUCCEEDED(RegistrySetString(HKEY_CURRENT_USER, kKey, name, text)));
  }
  static codeINSTALL_EXIT Install() {
    EXPECT_EQ(Install_Init(nullptr, TRUE, FALSE, L"\\Program Files\\QvMail"), codeINSTALL_INIT_CONTINUE);
    return Install_Exit(nullptr, L"\\Program Files\\QvMail", 0, 0, 0, 0, 0);
  }
  static void Remove() {
    EXPECT_EQ(Uninstall_Init(nullptr, L"\\Program Files\\QvMail"), codeUNINSTALL_INIT_CONTINUE);
    EXPECT_EQ(Uninstall_Exit(nullptr), codeUNINSTALL_EXIT_DONE);
  }
};

TEST_F(SetupTest, FirstInstallWritesOnlyVersionAndRemovalFallsBackTo41) {
  EXPECT_EQ(Install(), codeINSTALL_EXIT_DONE);
  EXPECT_EQ(Value(L"Version"), L"4.2");
  EXPECT_EQ(Value(L"OldVersion"), L"<none>");
  Remove();
  EXPECT_EQ(Value(L"Version"), L"4.1");
  EXPECT_EQ(Value(L"OldVersion"), L"<none>");
}

TEST_F(SetupTest, InstallKeepsThePreviousVersionAndRemovalRestoresIt) {
  Set(L"Version", L"4.0b");
  EXPECT_EQ(Install(), codeINSTALL_EXIT_DONE);
  EXPECT_EQ(Value(L"Version"), L"4.2");
  EXPECT_EQ(Value(L"OldVersion"), L"4.0b");
  Remove();
  EXPECT_EQ(Value(L"Version"), L"4.0b");
}

TEST_F(SetupTest, InstallingTwiceLeavesOldVersion42) {
  Set(L"Version", L"4.1");
  EXPECT_EQ(Install(), codeINSTALL_EXIT_DONE);
  EXPECT_EQ(Install(), codeINSTALL_EXIT_DONE);
  EXPECT_EQ(Value(L"OldVersion"), L"4.2");
  Remove();
  EXPECT_EQ(Value(L"Version"), L"4.2");
}

TEST_F(SetupTest, AVersionThatDoesNotFitSixteenBytesIsNotKept) {
  // Seven characters and the terminator fit; eight do not.
  Set(L"Version", L"4.10.10");
  Install();
  EXPECT_EQ(Value(L"OldVersion"), L"4.10.10");
  Set(L"Version", L"4.10.100");
  Set(L"OldVersion", L"3.9");
  EXPECT_EQ(Install(), codeINSTALL_EXIT_DONE);
  EXPECT_EQ(Value(L"OldVersion"), L"3.9");
  EXPECT_EQ(Value(L"Version"), L"4.2");
}

TEST_F(SetupTest, ANumberStoredAsVersionIsNotReadAsText) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  const DWORD number = 0x00340032;  // "2\0" "4\0" read as text would look like a version
  ASSERT_EQ(RegSetValueExW(key, L"OldVersion", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4),
            ERROR_SUCCESS);
  RegCloseKey(key);
  Remove();
  EXPECT_EQ(Value(L"Version"), L"4.1");
}

TEST_F(SetupTest, AFailedVersionWriteAsksForTheInstallationToBeUndone) {
  // The user hive cannot be stored: its file's place is taken by a folder.
  std::filesystem::create_directories(root_ + "/.qvkernel/registry/HKCU.dat/x");
  EXPECT_EQ(Install(), codeINSTALL_EXIT_UNINSTALL);
  Remove();  // answers "done" whatever the write gives
}

TEST_F(SetupTest, TheInstallerFindsTheFourExportsByName) {
  qv::RegisterLibraryAlias(L"QvMailSetup.dll", "");
  Set(L"Version", L"4.1");
  EXPECT_EQ(qv::pkg::RunSetupInstall(L"\\Windows\\QvMailSetup.dll", L"\\Program Files\\QvMail", true),
            qv::pkg::SetupOutcome::kDone);
  EXPECT_EQ(Value(L"Version"), L"4.2");
  EXPECT_EQ(Value(L"OldVersion"), L"4.1");
  EXPECT_EQ(qv::pkg::RunSetupRemoval(L"QvMailSetup.dll", L"\\Program Files\\QvMail"), qv::pkg::SetupOutcome::kDone);
  EXPECT_EQ(Value(L"Version"), L"4.1");
  EXPECT_EQ(qv::pkg::RunSetupInstall(L"NoSuchSetup.dll", L"\\x", false), qv::pkg::SetupOutcome::kNoLibrary);
}

TEST_F(SetupTest, RegistryGetStringStaysWithinTheCallersBuffer) {
  WCHAR buffer[6];
  Set(L"Text", L"12345");
  EXPECT_TRUE(SUCCEEDED(RegistryGetString(HKEY_CURRENT_USER, kKey, L"Text", buffer, 6)));
  EXPECT_STREQ(buffer, L"12345");
  Set(L"Text", L"123456");
  EXPECT_EQ(RegistryGetString(HKEY_CURRENT_USER, kKey, L"Text", buffer, 6), HRESULT_FROM_WIN32(ERROR_MORE_DATA));
  EXPECT_STREQ(buffer, L"");
  // A value written without its terminator still comes back terminated.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_WRITE, &key), ERROR_SUCCESS);
  const WCHAR raw[] = {L'a', L'b', L'c'};
  ASSERT_EQ(RegSetValueExW(key, L"Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), 6), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_TRUE(SUCCEEDED(RegistryGetString(HKEY_CURRENT_USER, kKey, L"Raw", buffer, 6)));
  EXPECT_STREQ(buffer, L"abc");
  EXPECT_EQ(RegistryGetString(HKEY_CURRENT_USER, kKey, L"Raw", buffer, 3), HRESULT_FROM_WIN32(ERROR_MORE_DATA));
  EXPECT_TRUE(FAILED(RegistryGetString(HKEY_CURRENT_USER, kKey, L"Missing", buffer, 6)));
  EXPECT_TRUE(FAILED(RegistryGetString(HKEY_CURRENT_USER, L"Software\\Nothing", L"Text", buffer, 6)));
}

}  // namespace
