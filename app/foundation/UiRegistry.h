// The UI state the program keeps in the registry under HKCU
// "Software\Norvale\QvMail", and the registration of its accounts in the
// platform's messaging list (HKLM "System\Inbox\ExternalAccounts"). Every
// call answers true when it did its work; a reader leaves the caller's value
// alone (or gives its default) when the value is missing.
#pragma once

#include "platform/framework/CString.h"

constexpr const wchar_t* kProgramKey = L"Software\\Norvale\\QvMail";
constexpr const wchar_t* kKeyglideKey = L"Software\\Norvale\\Keyglide";
constexpr const wchar_t* kExternalAccountsKey = L"System\\Inbox\\ExternalAccounts\\";
// The second registration of an account: sending handwritten mail.
constexpr const wchar_t* kHandwritingKeySuffix = L"________-1";
constexpr const wchar_t* kInboxHandler = L"{B93E6627-7CD4-415E-8DFE-5CA41C43573C}";
constexpr const wchar_t* kDefaultRegistryVersion = L"4.2";

// A text value under HKCU `subKey`, read through a 4096-byte buffer.
bool ReadRegistryString(LPCWSTR subKey, LPCWSTR name, CString& out);

// Missing values give 400 and 299; true only when both were there.
bool GetMainSplitPos(int* x, int* y);
bool SetMainSplitPos(int x, int y);
bool GetSortColumn(int* column);
bool SetSortColumn(int column);
// Missing: 0.
bool GetSortOption(DWORD* option);
bool SetSortOption(DWORD option);
bool WriteErrorDetailCode(DWORD code);

// "NoRead" under the account's own key "<program key>\accounts\<name>".
bool SetAccountNoRead(LPCWSTR account, DWORD value);
bool DeleteAccountRegKey(LPCWSTR account);
// The input panel's pictograph cursor ("PictureChar" under Keyglide).
bool SetPictureCharCursor(DWORD value);

bool SetLastSelectAccount(LPCWSTR name);
// False when the value is missing or empty.
bool GetLastSelectAccount(CString& name);
bool SetLastImportDir(LPCWSTR folder);
bool GetLastImportDir(CString& folder);
bool SetLastExportDir(LPCWSTR folder);
bool GetLastExportDir(CString& folder);
bool SetCmdArgs(LPCWSTR args);
bool GetCmdArgs(CString& args);
bool GetDataPathSetting(CString& path);
// The version of the stored settings; writes "4.2" when it is missing or empty.
bool GetRegistryVersion(CString& version);

// Writes both keys of the account; true only when every value was written.
bool RegisterInboxAccount(LPCWSTR name, LPCWSTR address);
// True when both keys are gone.
bool UnregisterInboxAccount(LPCWSTR name);
// True when the first key has an "AccountName".
bool IsInboxAccountRegistered(LPCWSTR name);
