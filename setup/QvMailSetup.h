// The setup library of the program's CAB package. Around installing and
// removing the package the installer calls these four exports; the library's
// own work is the installed version kept in the registry: on install the
// previous "Version" is kept as "OldVersion" and "Version" becomes "4.2"; on
// removal "Version" goes back to "OldVersion", or "4.1" when there is none.
#pragma once

#include "platform/pkg/SetupDll.h"

#define QVMAILSETUP_API __attribute__((visibility("default")))

extern "C" {

QVMAILSETUP_API BOOL DllMain(HANDLE module, DWORD reason, LPVOID reserved);
QVMAILSETUP_API codeINSTALL_INIT Install_Init(HWND parent, BOOL firstCall, BOOL previouslyInstalled,
                                              LPCWSTR installDir);
QVMAILSETUP_API codeINSTALL_EXIT Install_Exit(HWND parent, LPCWSTR installDir, WORD failedDirs, WORD failedFiles,
                                              WORD failedRegKeys, WORD failedRegValues, WORD failedShortcuts);
QVMAILSETUP_API codeUNINSTALL_INIT Uninstall_Init(HWND parent, LPCWSTR installDir);
QVMAILSETUP_API codeUNINSTALL_EXIT Uninstall_Exit(HWND parent);

}  // extern "C"
