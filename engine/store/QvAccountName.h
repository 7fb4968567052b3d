// The rules an account name must meet before any path is built from it: the
// name becomes a folder of the data folder, and every file of the account's
// store must still fit the device's 260-unit paths below it.
#pragma once

#include <string>
#include <string_view>

class QvAccountName {
 public:
  // None of \ / : * ? " < > |.
  static bool HasValidChars(std::wstring_view name);
  // Valid characters, no unit below U+0020, not empty, not "." or "..", no
  // blank or dot at either end.
  static bool IsStorable(std::wstring_view name);
  // Whether "<dataPath><folder>" with the deepest file of the store below
  // it, and the working names of creation and deletion, fit 260 units.
  static bool FitsBelow(std::wstring_view dataPath, std::wstring_view folder);
  // Exactly 11 ASCII digits.
  static bool IsPhoneNumber(std::wstring_view number);

  // The names an account folder has while it is made and while it is
  // deleted: a leading dot, which no account name may have, keeps them out
  // of every listing.
  static std::wstring BuildingName(std::wstring_view folder) { return L"." + std::wstring(folder) + L".new"; }
  static std::wstring DeletingName(std::wstring_view folder) { return L"." + std::wstring(folder) + L".del"; }
};
