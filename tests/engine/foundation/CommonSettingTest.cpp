// Common settings in "CommonSetting.ini": the file's creation, defaults and
// masked reads and writes.
#include <memory>
#include <string>

#include "FoundationFixture.h"
#include "engine/public/foundation/QvCommonSettingInterface.h"
#include "engine/public/foundation/QvProfileManipulator.h"
#include "engine/public/foundation/QvRegistryValue.h"

namespace {

using Attributes = QvCommonSettingInterface::Attributes;

const std::wstring kFolder = L"\\Application Data\\QuvoMail\\System\\";
const std::wstring kFile = kFolder + L"CommonSetting.ini";

class CommonSettingTest : public FoundationTest {
 protected:
  void SetUp() override {
    FoundationTest::SetUp();
    ASSERT_TRUE(CreateDirectoryW(L"\\Application Data", nullptr));
    ASSERT_TRUE(CreateDirectoryW(L"\\Application Data\\QuvoMail", nullptr));
    ASSERT_TRUE(CreateDirectoryW(L"\\Application Data\\QuvoMail\\System", nullptr));
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"SystemInfoPath", kFolder));
  }
  static std::wstring Stored(const std::wstring& key) {
    QvProfileManipulator file(kFile);
    std::wstring value;
    EXPECT_TRUE(file.GetPrivateProfileString(key, L"<none>", &value));
    return value;
  }
};

TEST_F(CommonSettingTest, NewFileGivesTheDefaults) {
  QvCommonSettingInterface settings(L"");
  EXPECT_EQ(ReadBytes(kFile).substr(0, 6), std::string("\xFF\xFE\x0D\x00\x0A\x00", 6)) << "created as a profile file";
  Attributes record;
  record.mask[0] = QvCommonSettingInterface::kAllSettings;
  record.bPeriodicRetrievingEnabledModule = true;
  ASSERT_TRUE(settings.GetCommonSettingAttributes(&record));
  EXPECT_FALSE(record.bPeriodicRetrievingEnabledModule);
  EXPECT_EQ(record.uiPeriodicRetrievingMin, 15u);
  EXPECT_EQ(record.uiTodayDispLinesRivulet, 3u);
  EXPECT_TRUE(record.bDispTodayRefresh1Line);
  EXPECT_TRUE(record.bDispTodayRefresh3Line);
  EXPECT_EQ(record.uiDispTodayRefresh1LineSec, 4u);
  EXPECT_EQ(record.uiDispTodayRefresh3LineSec, 12u);
  EXPECT_EQ(record.mask[0], 0u);
  EXPECT_EQ(record.mask[1], 0u);
}

TEST_F(CommonSettingTest, MaskedWritesAndReads) {
  QvCommonSettingInterface settings(L"");
  Attributes out;
  out.mask[0] = QvCommonSettingInterface::kPeriodicRetrievingEnabledModule |
                QvCommonSettingInterface::kPeriodicRetrievingMin | QvCommonSettingInterface::kDispTodayRefresh3Line;
  out.bPeriodicRetrievingEnabledModule = true;
  out.uiPeriodicRetrievingMin = 60;
  out.bDispTodayRefresh3Line = false;
  out.uiTodayDispLinesRivulet = 9;  // not in the mask
  ASSERT_TRUE(settings.SetCommonSettingAttributes(out));
  EXPECT_EQ(out.mask[0], 0u);
  EXPECT_EQ(Stored(L"bPeriodicRetrievingEnabledModule"), L"1");
  EXPECT_EQ(Stored(L"uiPeriodicRetrievingMin"), L"60");
  EXPECT_EQ(Stored(L"bDispTodayRefresh3Line"), L"0");
  EXPECT_EQ(Stored(L"uiTodayDispLinesRivulet"), L"<none>");

  // Another object on the same file reads only what its mask asks for.
  QvCommonSettingInterface again(L"Software\\Norvale\\QvMail");
  Attributes in;
  in.uiPeriodicRetrievingMin = 1234;
  in.mask[0] = QvCommonSettingInterface::kDispTodayRefresh3Line | QvCommonSettingInterface::kTodayDispLinesRivulet |
               QvCommonSettingInterface::kPeriodicRetrievingEnabledModule;
  in.bDispTodayRefresh3Line = true;
  ASSERT_TRUE(again.GetCommonSettingAttributes(&in));
  EXPECT_TRUE(in.bPeriodicRetrievingEnabledModule);
  EXPECT_FALSE(in.bDispTodayRefresh3Line);
  EXPECT_EQ(in.uiTodayDispLinesRivulet, 3u);
  EXPECT_EQ(in.uiPeriodicRetrievingMin, 1234u) << "not asked for";
}

TEST_F(CommonSettingTest, EmptyMasksAreRefused) {
  QvCommonSettingInterface settings(L"");
  Attributes record;
  EXPECT_FALSE(settings.GetCommonSettingAttributes(&record));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CMS_READ_NO_MASK);
  EXPECT_FALSE(settings.SetCommonSettingAttributes(record));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CMS_WRITE_NO_MASK);
}

TEST_F(CommonSettingTest, ConstructionFailures) {
  {
    QvCommonSettingInterface settings(L"Software\\Elsewhere");
    EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CMS_NO_SYSINFO_PATH);
    SetQvMiddleError(0);
    Attributes record;
    record.mask[0] = 1;
    EXPECT_FALSE(settings.GetCommonSettingAttributes(&record));
    EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CMS_NO_SYSINFO_PATH);
    SetQvMiddleError(0);
    EXPECT_FALSE(settings.SetCommonSettingAttributes(record));
    EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CMS_NO_SYSINFO_PATH);
  }
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvale\\QvMail", L"SystemInfoPath", L"\\Missing\\"));
  QvCommonSettingInterface settings(L"");
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CMS_CREATE_FILE);
  Attributes record;
  record.mask[0] = 1;
  SetQvMiddleError(0);
  EXPECT_FALSE(settings.GetCommonSettingAttributes(&record));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CMS_CREATE_FILE);
}

TEST_F(CommonSettingTest, ExistingFileIsKept) {
  {
    QvProfileManipulator file(kFile);
    ASSERT_TRUE(file.CreateProfileFile());
    ASSERT_TRUE(file.WritePrivateProfileString(L"uiDispTodayRefresh1LineSec", L"30"));
  }
  QvCommonSettingInterface settings(L"");
  Attributes record;
  record.mask[0] = QvCommonSettingInterface::kDispTodayRefresh1LineSec;
  ASSERT_TRUE(settings.GetCommonSettingAttributes(&record));
  EXPECT_EQ(record.uiDispTodayRefresh1LineSec, 30u);
}

TEST_F(CommonSettingTest, FileHeldByAnotherHandleIsNotMadeAnew) {
  {
    QvProfileManipulator file(kFile);
    ASSERT_TRUE(file.CreateProfileFile());
    ASSERT_TRUE(file.WritePrivateProfileString(L"uiPeriodicRetrievingMin", L"45"));
  }
  const std::string before = ReadBytes(kFile);
  // Another handle holds the file, sharing nothing, while the settings open.
  HANDLE held = CreateFileW(kFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  SetQvMiddleError(0);
  QvCommonSettingInterface settings(L"");
  CloseHandle(held);
  EXPECT_EQ(GetQvMiddleError(), 0u);
  EXPECT_EQ(ReadBytes(kFile), before) << "made anew over its settings";
  Attributes record;
  record.mask[0] = QvCommonSettingInterface::kPeriodicRetrievingMin;
  ASSERT_TRUE(settings.GetCommonSettingAttributes(&record));
  EXPECT_EQ(record.uiPeriodicRetrievingMin, 45u);
}

TEST_F(CommonSettingTest, FailedWritesClearTheMaskAndKeepNoRoomApart) {
  QvCommonSettingInterface settings(L"");
  Attributes record;
  qv::seams::SetFreeSpace(4096);
  record.mask[0] = QvCommonSettingInterface::kAllSettings;
  EXPECT_FALSE(settings.SetCommonSettingAttributes(record));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_PRF_DISK_SPACE);
  EXPECT_EQ(record.mask[0], 0u);

  qv::seams::ClearFreeSpace();
  ASSERT_TRUE(DeleteFileW(kFile.c_str()));
  record.mask[0] = QvCommonSettingInterface::kPeriodicRetrievingMin;
  EXPECT_FALSE(settings.SetCommonSettingAttributes(record));
  EXPECT_EQ(GetQvMiddleError(), QVMDL_ERR_CMS_WRITE_FAILED);
  record.mask[0] = QvCommonSettingInterface::kPeriodicRetrievingMin | QvCommonSettingInterface::kDispTodayRefresh1Line;
  EXPECT_FALSE(settings.GetCommonSettingAttributes(&record));
  EXPECT_EQ(record.mask[0], 0u);
}

}  // namespace
