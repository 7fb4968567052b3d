// Settings that hold for every account: periodic receiving and the today
// screen's feed lines, kept in "CommonSetting.ini" in the folder that the
// registry value "SystemInfoPath" names.
#pragma once

#include <cstdint>
#include <string>

#include "engine/public/QvMiddleExport.h"

class QvCommonSettingFile;

class QVMIDDLE_API QvCommonSettingInterface {
 public:
  // Mask bits, low word.
  enum : uint32_t {
    kPeriodicRetrievingEnabledModule = 0x1,
    kPeriodicRetrievingMin = 0x2,
    kTodayDispLinesRivulet = 0x4,
    kDispTodayRefresh1Line = 0x8,
    kDispTodayRefresh3Line = 0x10,
    kDispTodayRefresh1LineSec = 0x20,
    kDispTodayRefresh3LineSec = 0x40,
    kAllSettings = 0x7f
  };

  struct Attributes {
    uint32_t mask[2] = {0, 0};  // low word first; every read and write clears it
    bool bPeriodicRetrievingEnabledModule = false;
    uint32_t uiPeriodicRetrievingMin = 0;
    uint32_t uiTodayDispLinesRivulet = 0;
    bool bDispTodayRefresh1Line = false;
    bool bDispTodayRefresh3Line = false;
    uint32_t uiDispTodayRefresh1LineSec = 0;
    uint32_t uiDispTodayRefresh3LineSec = 0;
  };

  // `key`: the key below HKEY_CURRENT_USER holding "SystemInfoPath"; empty
  // means "Software\Norvale\QvMail". A missing file is created.
  explicit QvCommonSettingInterface(const std::wstring& key);
  ~QvCommonSettingInterface();
  QvCommonSettingInterface(const QvCommonSettingInterface&) = delete;
  QvCommonSettingInterface& operator=(const QvCommonSettingInterface&) = delete;

  bool GetCommonSettingAttributes(Attributes* attributes);
  bool SetCommonSettingAttributes(Attributes& attributes);

 private:
  bool CheckComSettingIni(const std::wstring& path);

  QvCommonSettingFile* file_ = nullptr;
  uint32_t constructionError_ = 0;  // the code every call fails with when there is no file
};
