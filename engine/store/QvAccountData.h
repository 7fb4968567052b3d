// What the account operations share: the data folder named by a registry
// key and the facade over a cached account object.
#pragma once

#include <string>

class QvAccountInfoInterface;

namespace qv_account {

inline constexpr wchar_t kMailKey[] = L"Software\\Norvale\\QvMail";
inline constexpr wchar_t kFeedKey[] = L"Software\\Norvale\\Rivulet";

// "DataPath" under HKCU `key` (empty: the mail key), ending with "\".
bool DataPathOf(const std::wstring& key, std::wstring* dataPath);
// A new facade on the folder's cached account; null with the error word set.
QvAccountInfoInterface* FacadeFor(const std::wstring& folderPath);

}  // namespace qv_account
