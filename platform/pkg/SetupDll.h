// The CAB installer's setup-library contract: a package may carry a library
// whose four exports the installer calls around installing and removing it.
// The installer side is here too: it loads the library by its device name and
// runs the calls in the installer's order.
#pragma once

#include <functional>
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

// What the package's own steps could not make, as Install_Exit is told it.
struct FailedItems {
  WORD dirs = 0;
  WORD files = 0;
  WORD regKeys = 0;
  WORD regValues = 0;
  WORD shortcuts = 0;
};

// Install_Init (first call), the package's own steps, then Install_Exit with
// the items those steps could not make (none when there are no steps).
QV_PLATFORM_API SetupOutcome RunSetupInstall(const std::wstring& setupLibrary, const std::wstring& installDir,
                                             bool previouslyInstalled,
                                             const std::function<FailedItems()>& packageSteps = {});
// Uninstall_Init, the package's own steps, then Uninstall_Exit.
QV_PLATFORM_API SetupOutcome RunSetupRemoval(const std::wstring& setupLibrary, const std::wstring& installDir);

}  // namespace qv::pkg
