#include "engine/public/foundation/QvCommonSettingInterface.h"

#include <cstdio>

#include "engine/foundation/QvCommonSettingFile.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/foundation/QvSafeReplace.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "platform/kernel/Files.h"
#include "platform/registry/Registry.h"

namespace {

using Attributes = QvCommonSettingInterface::Attributes;

struct Setting {
  uint32_t bit;
  const wchar_t* key;
  uint32_t defaultValue;
  bool Attributes::*flag;        // truth values
  uint32_t Attributes::*number;  // numbers
};

const Setting kSettings[] = {
    {QvCommonSettingInterface::kPeriodicRetrievingEnabledModule, L"bPeriodicRetrievingEnabledModule", 0,
     &Attributes::bPeriodicRetrievingEnabledModule, nullptr},
    {QvCommonSettingInterface::kPeriodicRetrievingMin, L"uiPeriodicRetrievingMin", 15, nullptr,
     &Attributes::uiPeriodicRetrievingMin},
    {QvCommonSettingInterface::kTodayDispLinesRivulet, L"uiTodayDispLinesRivulet", 3, nullptr,
     &Attributes::uiTodayDispLinesRivulet},
    {QvCommonSettingInterface::kDispTodayRefresh1Line, L"bDispTodayRefresh1Line", 1,
     &Attributes::bDispTodayRefresh1Line, nullptr},
    {QvCommonSettingInterface::kDispTodayRefresh3Line, L"bDispTodayRefresh3Line", 1,
     &Attributes::bDispTodayRefresh3Line, nullptr},
    {QvCommonSettingInterface::kDispTodayRefresh1LineSec, L"uiDispTodayRefresh1LineSec", 4, nullptr,
     &Attributes::uiDispTodayRefresh1LineSec},
    {QvCommonSettingInterface::kDispTodayRefresh3LineSec, L"uiDispTodayRefresh3LineSec", 12, nullptr,
     &Attributes::uiDispTodayRefresh3LineSec},
};

bool MaskEmpty(const Attributes& attributes) { return attributes.mask[0] == 0 && attributes.mask[1] == 0; }

void ClearMask(Attributes& attributes) { attributes.mask[0] = attributes.mask[1] = 0; }

}  // namespace

QvCommonSettingInterface::QvCommonSettingInterface(const std::wstring& key) {
  std::wstring folder;
  if (!GetRegistryValue(HKEY_CURRENT_USER, key.empty() ? L"Software\\Norvale\\QvMail" : key, L"SystemInfoPath",
                        &folder)) {
    constructionError_ = QVMDL_ERR_CMS_NO_SYSINFO_PATH;
    SetQvMiddleError(constructionError_);
    return;
  }
  const std::wstring path = folder + L"CommonSetting.ini";  // the value ends with "\"
  if (!CheckComSettingIni(path)) {
    constructionError_ = QVMDL_ERR_CMS_CREATE_FILE;
    SetQvMiddleError(constructionError_);
    return;
  }
  file_ = new QvCommonSettingFile(path);
}

QvCommonSettingInterface::~QvCommonSettingInterface() { delete file_; }

bool QvCommonSettingInterface::CheckComSettingIni(const std::wstring& path) {
  // A file another handle holds at this moment exists all the same: making
  // it anew would wipe every setting in it.
  if (FileIsPresent(path)) return true;
  QvCommonSettingFile created(path);
  return created.CreateProfileFile();
}

bool QvCommonSettingInterface::GetCommonSettingAttributes(Attributes* attributes) {
  if (!file_) {
    SetQvMiddleError(constructionError_);
    return false;
  }
  if (MaskEmpty(*attributes)) {
    SetQvMiddleError(QVMDL_ERR_CMS_READ_NO_MASK);
    return false;
  }
  bool allRead = true;
  for (const Setting& setting : kSettings) {
    if (!(attributes->mask[0] & setting.bit)) continue;
    if (setting.flag) {
      const bool defaultValue = setting.defaultValue != 0;
      allRead = file_->GetPrivateProfileBool(setting.key, &defaultValue, &(attributes->*setting.flag)) && allRead;
    } else {
      allRead = file_->GetPrivateProfileInt(setting.key, &setting.defaultValue, &(attributes->*setting.number)) &&
                allRead;
    }
  }
  ClearMask(*attributes);
  return allRead;
}

bool QvCommonSettingInterface::SetCommonSettingAttributes(Attributes& attributes) {
  if (!file_) {
    SetQvMiddleError(constructionError_);
    return false;
  }
  if (MaskEmpty(attributes)) {
    SetQvMiddleError(QVMDL_ERR_CMS_WRITE_NO_MASK);
    return false;
  }
  bool allWritten = true;
  for (const Setting& setting : kSettings) {
    if (!(attributes.mask[0] & setting.bit)) continue;
    const bool written = setting.flag ? file_->WritePrivateProfileBool(setting.key, &(attributes.*setting.flag))
                                      : file_->WritePrivateProfileInt(setting.key, &(attributes.*setting.number));
    allWritten = written && allWritten;
  }
  ClearMask(attributes);
  if (!allWritten && GetQvMiddleError() != QVMDL_ERR_PRF_DISK_SPACE) SetQvMiddleError(QVMDL_ERR_CMS_WRITE_FAILED);
  return allWritten;
}
