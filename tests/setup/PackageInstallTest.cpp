// The package's installation on a device root: what the program needs to
// start there, kept when already set, taken back when undone.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/kernel/Files.h"
#include "platform/kernel/Library.h"
#include "platform/pkg/RegistryString.h"
#include "setup/install/QvMailPackage.h"
#include "tests/support/DeviceRootFixture.h"

namespace {

constexpr const wchar_t* kKeyboardKey = L"keyboard layout\\Preload";

std::wstring Value(const wchar_t* name, const wchar_t* key = L"Software\\Norvale\\QvMail") {
  WCHAR text[MAX_PATH];
  if (FAILED(RegistryGetString(HKEY_CURRENT_USER, key, name, text, MAX_PATH))) return L"-";
  return text;
}

class PackageInstallTest : public qv::test::DeviceRootTest {};

TEST_F(PackageInstallTest, InstallsKeepsAndUndoes) {
  using qv::pkg::SetupOutcome;
  const struct {
    const wchar_t* dataBefore;  // null: none
    bool hiveUnwritable;        // the version cannot be written: the setup library asks for an undo
    SetupOutcome outcome;
    const wchar_t* dataAfter;
    const wchar_t* keyboardBefore;  // the device's preloaded keyboard; null: none
    const wchar_t* keyboardAfter;
  } cases[] = {
      {nullptr, false, SetupOutcome::kDone, L"\\Application Data\\QuvoMail\\", nullptr, L"e0090411"},
      {L"\\Storage Card\\Mail\\", false, SetupOutcome::kDone, L"\\Storage Card\\Mail\\", L"00000409", L"00000409"},
      {nullptr, true, SetupOutcome::kUndone, L"-", nullptr, L"-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    TearDown();
    SetUp();
    qv::RegisterLibraryAlias(L"QvMailSetup.dll", "");
    if (c.dataBefore) RegistrySetString(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"DataPath", c.dataBefore);
    if (c.keyboardBefore) RegistrySetString(HKEY_CURRENT_USER, kKeyboardKey, L"", c.keyboardBefore);
    if (c.hiveUnwritable) std::filesystem::create_directories(root_ + "/.qvkernel/registry/HKCU.dat/x");
    EXPECT_EQ(qv::setup::InstallQvMailPackage(), c.outcome);
    EXPECT_EQ(qv::setup::IsQvMailPackageInstalled(), c.outcome == SetupOutcome::kDone);
    EXPECT_EQ(Value(L"DataPath"), c.dataAfter);
    EXPECT_EQ(Value(L"", kKeyboardKey), c.keyboardAfter);
    if (c.hiveUnwritable) continue;
    EXPECT_EQ(Value(L"SystemInfoPath"), L"\\Application Data\\QuvoMail\\System\\");
    EXPECT_EQ(Value(L"Version"), L"4.2");
    EXPECT_NE(GetFileAttributesW(L"\\Application Data\\QuvoMail\\System"), INVALID_FILE_ATTRIBUTES);
  }
}

}  // namespace
