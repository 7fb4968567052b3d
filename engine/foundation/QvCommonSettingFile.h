// The profile file "CommonSetting.ini" in the system-information folder.
#pragma once

#include <string>
#include <utility>

#include "engine/public/foundation/QvProfileManipulator.h"

class QvCommonSettingFile : public QvProfileManipulator {
 public:
  explicit QvCommonSettingFile(std::wstring path) : QvProfileManipulator(std::move(path)) {}
};
