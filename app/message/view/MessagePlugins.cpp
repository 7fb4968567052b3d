#include "app/message/view/MessagePlugins.h"

#include "platform/kernel/Library.h"

namespace {

// A bare name would be looked for along the library search; a plug-in is
// only ever the file its path names.
bool IsFullPath(const std::wstring& path) { return !path.empty() && path[0] == L'\\'; }

}  // namespace

bool PluginLoads(const std::wstring& path) {
  if (!IsFullPath(path)) return false;
  HMODULE module = LoadLibraryW(path.c_str());
  if (!module) return false;
  FreeLibrary(module);
  return true;
}

bool RunMessagePlugin(const std::wstring& path, HWND page, const std::wstring& subject, const std::wstring& body,
                      const std::wstring& selection) {
  if (!IsFullPath(path)) return false;
  HMODULE module = LoadLibraryW(path.c_str());
  if (!module) return false;
  auto execute = reinterpret_cast<ExecutePlugInProc>(
      reinterpret_cast<void (*)()>(GetProcAddressW(module, L"ExecutePlugIn")));
  bool ran = false;
  if (execute) {
    // The texts stay the program's; the plug-in only reads them during the call.
    QvPluginRecord record{subject.c_str(), body.c_str(), selection.c_str()};
    try {
      execute(page, &record);
      ran = true;
    } catch (...) {
      // What a plug-in throws is its own failure; the page goes on.
    }
  }
  FreeLibrary(module);
  return ran;
}
