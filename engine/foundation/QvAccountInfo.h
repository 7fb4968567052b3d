// One account inside the engine, bound to its folder below the data folder.
// It owns the account's settings file "AccountInfo.ini" and reads and writes
// the settings record through it.
#pragma once

#include <deque>
#include <string>
#include <string_view>

#include "engine/foundation/QvAccountInfoInterface.h"
#include "engine/foundation/QvProfileManipulator.h"

class QvAccountInfo {
 public:
  // `folderPath` names the account's folder, without a trailing "\".
  explicit QvAccountInfo(const std::wstring& folderPath);
  ~QvAccountInfo();
  QvAccountInfo(const QvAccountInfo&) = delete;
  QvAccountInfo& operator=(const QvAccountInfo&) = delete;

  const std::wstring& FolderPath() const { return folderPath_; }
  QvProfileManipulator& Profile() { return profile_; }

  // Reads the masked fields (missing keys give their defaults) and clears the
  // mask. A failed read leaves the mask as it was.
  bool GetAccountInfoAttributes(QvAccountInfoInterface::Attributes* attributes);
  // Stores the masked fields in one rewrite of the file and clears the mask,
  // whatever the result.
  bool SetAccountInfoAttributes(QvAccountInfoInterface::Attributes& attributes);

  // The GUID as the settings file keeps it: "%x-%x-%x-" and the eight last
  // bytes as sixteen hexadecimal digits with a "-" after the fourth.
  static std::wstring GuidToText(const GUID& guid);
  // False when the text is not that form (wrong separators, a character that
  // is no hexadecimal digit, or groups longer than their fields).
  static bool GuidFromText(std::wstring_view text, GUID* guid);

 private:
  std::wstring folderPath_;
  QvProfileManipulator profile_;
  std::deque<ProfileItem> items_;
};
