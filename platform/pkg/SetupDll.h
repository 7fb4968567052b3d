// The CAB installer's setup-library contract: a package may carry a library
// whose four exports the installer calls around installing and removing it.
// The installer side is here too: it loads the library by its device name and
// runs the calls in the installer's order.
#pragma once

#include <string>

#include "platform/base/WinTypes.h"

enum codeINSTALL_INIT { codeINSTALL_INIT_CONTINUE = 0, codeINSTALL_INIT_CANCEL };
enum codeINSTALL_EXIT { codeINSTALL_EXIT_DONE = 0, codeINSTALL_EXIT_UNINSTALL };
enum codeUNINSTALL_INIT { codeUNINSTALL_INIT_CONTINUE = 0, codeUNINSTALL_INIT_CANCEL };
enum codeUNINSTALL_EXIT { codeUNINSTALL_EXIT_DONE = 0 };

typedef codeINSTALL_INIT (*PFN_Install_Init)(HWND parent, BOOL firstCall, BOOL previouslyInstalled,
                                             LPCWSTR installDir);
typedef codeINSTALL_EXIT (*PFN_Install_Exit)(HWND parent, LPCWSTR installDir, WORD failedDirs, WORD failedFiles,
                                             WORD failedRegKeys, WORD failedRegValues, WORD failedShortcuts);
typedef codeUNINSTALL_INIT (*PFN_Uninstall_Init)(HWND parent, LPCWSTR installDir);
typedef codeUNINSTALL_EXIT (*PFN_Uninstall_Exit)(HWND parent);

namespace qv::pkg {

enum class SetupOutcome {
  kDone,          // every call answered "go on"
  kCancelled,     // Install_Init or Uninstall_Init refused
  kUndone,        // Install_Exit asked for the installation to be undone
  kNoLibrary,     // the library could not be loaded
  kMissingExport  // it lacks one of the four exports
};

// Install_Init (first call), the package's own steps, then Install_Exit with
// no failed items.
QV_PLATFORM_API SetupOutcome RunSetupInstall(const std::wstring& setupLibrary, const std::wstring& installDir,
                                             bool previouslyInstalled);
// Uninstall_Init, the package's own steps, then Uninstall_Exit.
QV_PLATFORM_API SetupOutcome RunSetupRemoval(const std::wstring& setupLibrary, const std::wstring& installDir);

}  // namespace qv::pkg
