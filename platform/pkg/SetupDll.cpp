#include "platform/pkg/SetupDll.h"

#include "platform/kernel/Library.h"

namespace qv::pkg {
namespace {

struct SetupExports {
  PFN_Install_Init installInit = nullptr;
  PFN_Install_Exit installExit = nullptr;
  PFN_Uninstall_Init uninstallInit = nullptr;
  PFN_Uninstall_Exit uninstallExit = nullptr;
};

template <typename F>
F Export(HMODULE module, const char* name) {
  // Through void(*)(): a function pointer cast the compiler accepts as deliberate.
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddressA(module, name)));
}

// Loads the library and runs `steps` with its exports; the library is
// unloaded afterwards whatever the outcome.
template <typename Steps>
SetupOutcome WithSetupLibrary(const std::wstring& setupLibrary, Steps steps) {
  HMODULE module = LoadLibraryW(setupLibrary.c_str());
  if (module == nullptr) return SetupOutcome::kNoLibrary;
  SetupExports e;
  e.installInit = Export<PFN_Install_Init>(module, "Install_Init");
  e.installExit = Export<PFN_Install_Exit>(module, "Install_Exit");
  e.uninstallInit = Export<PFN_Uninstall_Init>(module, "Uninstall_Init");
  e.uninstallExit = Export<PFN_Uninstall_Exit>(module, "Uninstall_Exit");
  SetupOutcome outcome = SetupOutcome::kMissingExport;
  if (e.installInit && e.installExit && e.uninstallInit && e.uninstallExit) outcome = steps(e);
  FreeLibrary(module);
  return outcome;
}

}  // namespace

SetupOutcome RunSetupInstall(const std::wstring& setupLibrary, const std::wstring& installDir,
                             bool previouslyInstalled, const std::function<FailedItems()>& packageSteps) {
  return WithSetupLibrary(setupLibrary, [&](const SetupExports& e) {
    if (e.installInit(nullptr, TRUE, previouslyInstalled ? TRUE : FALSE, installDir.c_str()) !=
        codeINSTALL_INIT_CONTINUE) {
      return SetupOutcome::kCancelled;
    }
    const FailedItems failed = packageSteps ? packageSteps() : FailedItems{};
    if (e.installExit(nullptr, installDir.c_str(), failed.dirs, failed.files, failed.regKeys, failed.regValues,
                      failed.shortcuts) != codeINSTALL_EXIT_DONE) {
      return SetupOutcome::kUndone;
    }
    return SetupOutcome::kDone;
  });
}

SetupOutcome RunSetupRemoval(const std::wstring& setupLibrary, const std::wstring& installDir) {
  return WithSetupLibrary(setupLibrary, [&](const SetupExports& e) {
    if (e.uninstallInit(nullptr, installDir.c_str()) != codeUNINSTALL_INIT_CONTINUE) return SetupOutcome::kCancelled;
    e.uninstallExit(nullptr);
    return SetupOutcome::kDone;
  });
}

}  // namespace qv::pkg
