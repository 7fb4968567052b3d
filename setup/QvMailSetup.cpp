#include "setup/QvMailSetup.h"

#include "platform/pkg/RegistryString.h"

namespace {

// The key every part of the program keeps its state under; the version
// dialog reads "Version" from it.
constexpr wchar_t kKey[] = L"Software\\Norvale\\QvMail";
constexpr wchar_t kVersion[] = L"Version";
constexpr wchar_t kOldVersion[] = L"OldVersion";
constexpr wchar_t kThisVersion[] = L"4.2";
constexpr wchar_t kFallbackVersion[] = L"4.1";

// The version values are read into a 16-byte buffer: at most 7 characters
// and the terminator; a longer value counts as unreadable.
constexpr UINT kVersionChars = 16 / 2;

}  // namespace

extern "C" {

BOOL DllMain(HANDLE, DWORD, LPVOID) { return TRUE; }

codeINSTALL_INIT Install_Init(HWND, BOOL, BOOL, LPCWSTR) { return codeINSTALL_INIT_CONTINUE; }

codeINSTALL_EXIT Install_Exit(HWND, LPCWSTR, WORD, WORD, WORD, WORD, WORD) {
  WCHAR previous[kVersionChars] = {};
  if (SUCCEEDED(RegistryGetString(HKEY_CURRENT_USER, kKey, kVersion, previous, kVersionChars))) {
    RegistrySetString(HKEY_CURRENT_USER, kKey, kOldVersion, previous);
  }
  if (FAILED(RegistrySetString(HKEY_CURRENT_USER, kKey, kVersion, kThisVersion))) return codeINSTALL_EXIT_UNINSTALL;
  return codeINSTALL_EXIT_DONE;
}

codeUNINSTALL_INIT Uninstall_Init(HWND, LPCWSTR) { return codeUNINSTALL_INIT_CONTINUE; }

codeUNINSTALL_EXIT Uninstall_Exit(HWND) {
  WCHAR previous[kVersionChars] = {};
  const wchar_t* restored = previous;
  if (FAILED(RegistryGetString(HKEY_CURRENT_USER, kKey, kOldVersion, previous, kVersionChars))) {
    restored = kFallbackVersion;
  }
  // The removal goes on whatever the write answers: the contract has no way
  // to refuse at this point.
  RegistrySetString(HKEY_CURRENT_USER, kKey, kVersion, restored);
  return codeUNINSTALL_EXIT_DONE;
}

}  // extern "C"
