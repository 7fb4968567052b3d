// The ROM and flash version texts: from the provider library when one is
// installed, else from the ROM header and the update pack over it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/pkg/Package.h"
#include "platform/pkg/RegistryString.h"
#include "platform/pkg/RomImage.h"
#include "romquery/Romquery.h"
#include "tests/support/DeviceRootFixture.h"

namespace {

class RomqueryTest : public qv::test::DeviceRootTest {
 protected:
  // A ROM whose header carries `mark` and the version characters.
  static void LayRom(const std::string& mark, const std::string& version) {
    std::string header = mark + version;
    header.resize(romquery::kRomHeaderSize, '\0');
    ASSERT_TRUE(qv::pkg::WriteRomRegion(romquery::kRomHeaderAddress, header));
  }
  static void LayRom(const std::string& version) { LayRom(std::string(romquery::kMakerMark, 6), version); }
  static void InstallPack(DWORD pack) {
    ASSERT_TRUE(qv::pkg::RegisterPackage(romquery::kUpdatePackGuid, L"Update pack", pack, 0, 7));
  }
  static std::wstring Rom() {
    WCHAR buffer[64] = {L'x', 0};
    EXPECT_EQ(GetRomVer(buffer), 1);
    return buffer;
  }
  static std::wstring Flash() {
    WCHAR buffer[64] = {L'x', 0};
    EXPECT_EQ(GetFlashVer(buffer), 1);
    return buffer;
  }
  // Puts the provider stand-in where the device keeps the maker's libraries.
  void InstallProvider() {
    // The build folder: as CTest names it, else the one above this program's.
    const char* named = std::getenv("QV_BINARY_DIR");
    const std::filesystem::path build =
        named != nullptr ? std::filesystem::path(named)
                         : std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path();
    std::filesystem::create_directories(root_ + "/Windows");
    std::filesystem::copy_file(build / "outside/KxRomQuery/libKxRomQuery.so", root_ + "/Windows/KxRomQuery.so");
  }
};

std::wstring Updated(const wchar_t* version, const wchar_t* from) {
  return std::wstring(version) + L"\r\n\r\n(バージョン" + from + L" からアップデートされています。)";
}

TEST_F(RomqueryTest, NullBufferAnswersZero) {
  EXPECT_EQ(GetRomVer(nullptr), 0);
  EXPECT_EQ(GetFlashVer(nullptr), 0);
}

TEST_F(RomqueryTest, WithoutTheMakersMarkBothAreDevelopVersion) {
  EXPECT_EQ(Rom(), L"Develop Version");  // no ROM region at all
  EXPECT_EQ(Flash(), L"Develop Version");
  LayRom("NORVAX", "1.02.00");
  InstallPack(2);
  EXPECT_EQ(Rom(), L"Develop Version");
  EXPECT_EQ(Flash(), L"Develop Version");
}

TEST_F(RomqueryTest, PlainVersionsWithoutAnUpdatePack) {
  LayRom("1.02.00");
  EXPECT_EQ(Rom(), L"1.02");
  EXPECT_EQ(Flash(), L"1.02.00");
  LayRom("1.02-00");  // no dot at byte 10: the short form
  EXPECT_EQ(Flash(), L"1.02");
}

TEST_F(RomqueryTest, UpdatePackNamesTheVersionItWasAppliedOver) {
  struct Case {
    DWORD pack;
    const char* rom;
    std::wstring expected;
  };
  const Case cases[] = {
      {2, "1.02.00", Updated(L"1.03a", L"1.02")},
      {2, "1.03.00", L"1.03"},
      {3, "1.02.00", Updated(L"1.04a", L"1.02")},
      {3, "1.03.01", Updated(L"1.04a", L"1.03")},
      {3, "1.04.00", L"1.04"},
      {21, "1.00.02", Updated(L"1.01a", L"1.00")},
      {21, "1.00.03", L"1.00"},
      {4, "1.02.00", L"1.02"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.pack) + " over " + c.rom);
    LayRom(c.rom);
    InstallPack(c.pack);
    EXPECT_EQ(Rom(), c.expected);
    EXPECT_EQ(Flash(), std::wstring(c.rom, c.rom + 7));  // the flash text ignores the pack
  }
}

TEST_F(RomqueryTest, DamagedPackRecordCountsAsNoPack) {
  LayRom("1.02.00");
  InstallPack(2);
  HKEY key = nullptr;
  const std::wstring path = L"System\\Packages\\" + qv::pkg::GuidText(romquery::kUpdatePackGuid);
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_WRITE, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueW(key, L"BuildNumber"), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(Rom(), L"1.02");
  ASSERT_TRUE(qv::pkg::UnregisterPackage(romquery::kUpdatePackGuid));
  EXPECT_EQ(Rom(), L"1.02");
}

TEST_F(RomqueryTest, TheProvidersTextIsReturnedUnchanged) {
  LayRom("1.02.00");
  InstallPack(2);
  InstallProvider();
  EXPECT_EQ(Rom(), L"1.05a");
  EXPECT_EQ(Flash(), L"1.05.00");
  ASSERT_TRUE(SUCCEEDED(RegistrySetString(HKEY_LOCAL_MACHINE, L"Software\\Norvale\\KxRomQuery", L"RomVer",
                                          L"ＲＯＭ 2.0\r\n改版")));
  EXPECT_EQ(Rom(), L"ＲＯＭ 2.0\r\n改版");
}

TEST_F(RomqueryTest, AProviderThatCannotBeLoadedIsPassedOver) {
  LayRom("1.02.00");
  std::filesystem::create_directories(root_ + "/Windows");
  WriteHost("Windows/KxRomQuery.so", "not a library");
  EXPECT_EQ(Rom(), L"1.02");
  EXPECT_EQ(Flash(), L"1.02.00");
}

TEST_F(RomqueryTest, KernelModeIsOnOnlyForTheCopy) {
  LayRom("1.02.00");
  char header[romquery::kRomHeaderSize];
  SetKMode(FALSE);
  EXPECT_FALSE(qv::pkg::ReadKernelMemory(romquery::kRomHeaderAddress, header, sizeof header));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Rom(), L"1.02");
  EXPECT_EQ(SetKMode(TRUE), FALSE);  // the call left it off
  ASSERT_TRUE(qv::pkg::ReadKernelMemory(romquery::kRomHeaderAddress + 6, header, 7));
  EXPECT_EQ(std::string(header, 7), "1.02.00");
  EXPECT_FALSE(qv::pkg::ReadKernelMemory(romquery::kRomHeaderAddress + 10, header, 16));  // past the region
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOACCESS));
  SetKMode(FALSE);
}

}  // namespace
