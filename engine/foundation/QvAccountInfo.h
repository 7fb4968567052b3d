// One account inside the engine, bound to its folder below the data folder.
// It owns the account's settings file "AccountInfo.ini" and reads and writes
// the settings record through it.
#pragma once

#include <deque>
#include <list>
#include <string>
#include <string_view>

#include "engine/public/foundation/QvAccountAttributes.h"
#include "engine/public/foundation/QvProfileManipulator.h"

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
  bool GetAccountInfoAttributes(QvAccountAttributes* attributes);
  // Stores the masked fields in one rewrite of the file and clears the mask,
  // whatever the result.
  bool SetAccountInfoAttributes(QvAccountAttributes& attributes);

  // The account's three sub-folders, each named by a key of "AccountInfo.ini".
  enum SubFolder { kStorageFolder, kClassificationFolder, kSignatureFolder };
  // The key and the name written at creation.
  static const wchar_t* SubFolderKey(SubFolder which);
  static const wchar_t* SubFolderDefault(SubFolder which);
  // The sub-folder's path. Its name must be a plain folder name, so that no
  // value planted in the file can aim outside the account; otherwise the
  // folder's own code (a profile read failure keeps the profile's code).
  uint32_t SubFolderPath(SubFolder which, std::wstring* path);
  // Not empty, not "." or "..", and no "\", "/" or ":".
  static bool IsPlainName(std::wstring_view name);

  // "\LastUID.ini": an empty file is an empty last UID. When the file is
  // missing the setting strLastUid stands in.
  bool GetLastUID(std::wstring* uid);
  // The 8-bit UID in the device code page, stored as UTF-16.
  bool SaveLastUID(const std::string& uid);
  // "\UID.list": UTF-16LE lines ending CR LF; blank lines are skipped.
  bool GetUIDL(std::list<std::wstring>* uids);
  bool SaveUIDL(const std::list<std::wstring>& uids);
  static std::wstring LastUidPath(const std::wstring& folder) { return folder + L"\\LastUID.ini"; }
  static std::wstring UidListPath(const std::wstring& folder) { return folder + L"\\UID.list"; }

  // The GUID as the settings file keeps it: "%x-%x-%x-" and the eight last
  // bytes as sixteen hexadecimal digits with a "-" after the fourth.
  static std::wstring GuidToText(const GUID& guid);
  // False when the text is not that form (wrong separators, a character that
  // is no hexadecimal digit, or groups longer than their fields).
  static bool GuidFromText(std::wstring_view text, GUID* guid);

 private:
  std::wstring folderPath_;
  QvProfileManipulator profile_;
};
