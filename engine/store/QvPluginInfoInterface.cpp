#include "engine/public/store/QvPluginInfoInterface.h"

#include <algorithm>

#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/store/QvAccountData.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Library.h"

namespace {

constexpr wchar_t kIdentification[] = L"QuvoMailPlugIn 01";
// The longest text taken from a plug-in.
constexpr size_t kTextUnits = 260;

using GetPluginInfoProc = int (*)(int which, wchar_t** text);

// The plug-in owns its texts, and they go with the library: copied at once,
// never past the bound.
std::wstring CopyOut(const wchar_t* text) {
  if (text == nullptr) return std::wstring();
  size_t length = 0;
  while (length < kTextUnits - 1 && text[length] != 0) ++length;
  return std::wstring(text, length);
}

// The identification and the name of the library at `path`; false when it
// is no plug-in of this system.
bool ReadPlugin(const std::wstring& path, std::wstring* name) {
  HMODULE module = LoadLibraryW(path.c_str());
  if (module == nullptr) return false;
  auto info = reinterpret_cast<GetPluginInfoProc>(
      reinterpret_cast<void (*)()>(GetProcAddressW(module, L"GetPluginInfo")));
  bool plugin = false;
  if (info != nullptr) {
    wchar_t* identification = nullptr;
    wchar_t* title = nullptr;
    info(0, &identification);
    info(1, &title);
    plugin = identification != nullptr && title != nullptr && CopyOut(identification) == kIdentification;
    if (plugin) *name = CopyOut(title);
  }
  FreeLibrary(module);
  return plugin;
}

}  // namespace

QvPluginInfoInterface::QvPluginInfoInterface() : info_(new QvPluginInfo) {}

QvPluginInfoInterface::~QvPluginInfoInterface() { delete info_; }

bool QvPluginInfoInterface::GetPluginDlls(std::map<std::wstring, std::wstring>* plugins, const std::wstring& key) {
  if (plugins == nullptr) return false;
  std::wstring folder;
  if (!GetRegistryValue(HKEY_CURRENT_USER, key.empty() ? qv_account::kMailKey : key, L"PluginPath", &folder)) {
    return false;
  }
  if (folder.empty() || folder.back() != L'\\') folder.push_back(L'\\');
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW((folder + L"*.dll").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return true;
  bool unique = true;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    const std::wstring path = folder + data.cFileName;
    std::wstring name;
    if (!ReadPlugin(path, &name)) continue;
    // The menu shows names: two plug-ins of one name end the scan.
    unique = std::none_of(plugins->begin(), plugins->end(), [&](const auto& entry) { return entry.second == name; });
    if (unique) plugins->emplace(path, name);
  } while (unique && FindNextFileW(find, &data));
  FindClose(find);
  return unique;
}
