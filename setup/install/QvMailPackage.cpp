#include "setup/install/QvMailPackage.h"

#include <vector>

#include "platform/kernel/Files.h"
#include "platform/pkg/Package.h"
#include "platform/pkg/RegistryString.h"
#include "platform/registry/Registry.h"

namespace qv::setup {

const GUID kQvMailPackageGuid = {0x6C1E42A7, 0x3B90, 0x4D5E, {0x9A, 0x21, 0x57, 0x0F, 0xC4, 0x88, 0x13, 0xB6}};

namespace {

constexpr wchar_t kProgramKey[] = L"Software\\Norvale\\QvMail";
constexpr wchar_t kSetupLibrary[] = L"QvMailSetup.dll";
constexpr wchar_t kInstallDir[] = L"\\Program Files\\QvMail";

// The folders in the order they are made (each one's parent first).
constexpr const wchar_t* kFolders[] = {L"\\Application Data", L"\\Application Data\\QuvoMail",
                                       L"\\Application Data\\QuvoMail\\System"};

struct Value {
  const wchar_t* key;
  const wchar_t* name;
  const wchar_t* text;
};
// The names end with "\": the engine appends file and folder names directly.
// The device's preloaded keyboard (its default value) is the Japanese one
// that the compose pages' input method command asks for; a device that
// names another keeps it.
constexpr Value kValues[] = {{kProgramKey, L"DataPath", L"\\Application Data\\QuvoMail\\"},
                             {kProgramKey, L"SystemInfoPath", L"\\Application Data\\QuvoMail\\System\\"},
                             {L"keyboard layout\\Preload", L"", L"e0090411"}};

bool FolderExists(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ValuePresent(const Value& v) {
  WCHAR text[MAX_PATH];
  const HRESULT read = RegistryGetString(HKEY_CURRENT_USER, v.key, v.name, text, MAX_PATH);
  return read != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) && read != HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

void DeleteValue(const Value& v) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, v.key, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, v.name);
  RegCloseKey(key);
}

}  // namespace

bool IsQvMailPackageInstalled() {
  HPACKAGE package = Pkg_OpenPackageByGUID(&kQvMailPackageGuid);
  if (package == nullptr) return false;
  Pkg_Close(package);
  return true;
}

qv::pkg::SetupOutcome InstallQvMailPackage() {
  const bool previously = IsQvMailPackageInstalled();
  std::vector<const Value*> written;
  const qv::pkg::SetupOutcome outcome =
      qv::pkg::RunSetupInstall(kSetupLibrary, kInstallDir, previously, [&written] {
        qv::pkg::FailedItems failed;
        for (const wchar_t* folder : kFolders) {
          if (!CreateDirectoryW(folder, nullptr) && !FolderExists(folder)) ++failed.dirs;
        }
        for (const Value& v : kValues) {
          if (ValuePresent(v)) continue;
          if (FAILED(RegistrySetString(HKEY_CURRENT_USER, v.key, v.name, v.text))) {
            ++failed.regValues;
          } else {
            written.push_back(&v);
          }
        }
        if (!qv::pkg::RegisterPackage(kQvMailPackageGuid, L"T-VELA4メール", 4, 2, 0)) ++failed.regKeys;
        return failed;
      });
  if (outcome == qv::pkg::SetupOutcome::kUndone) {
    for (const Value* v : written) DeleteValue(*v);
    if (!previously) qv::pkg::UnregisterPackage(kQvMailPackageGuid);
  }
  return outcome;
}

}  // namespace qv::setup
