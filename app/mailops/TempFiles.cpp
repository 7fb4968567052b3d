#include "app/mailops/TempFiles.h"

#include <string>

#include "app/foundation/UiFiles.h"
#include "app/foundation/UiRegistry.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/Files.h"

namespace {

constexpr wchar_t kDefaultDataFolder[] = L"\\Application Data\\QuvoMail";
constexpr wchar_t kTempFilesFolder[] = L"\\_TempFiles";
constexpr wchar_t kTemplateFolder[] = L"_T";

// Set and read on the UI thread only, as the message windows are.
CString TempFolderName;

bool MakeFolder(const CString& path) {
  return CreateDirectoryW(path, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

void GetAppTempFolderPath(CString& out, LPCWSTR sub) {
  CString data;
  if (!GetDataPathSetting(data) || data.IsEmpty()) data = kDefaultDataFolder;
  std::wstring path = static_cast<LPCWSTR>(data);
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  path += kTempFilesFolder;
  if (sub != nullptr && *sub != L'\0') {
    path += L'\\';
    path += sub;
  }
  out = path.c_str();
}

void SetTempFolderName(LPCWSTR name) { TempFolderName = name != nullptr ? name : L""; }

CString GetTempFolderName() { return TempFolderName; }

bool CreateTempPartFolders(std::vector<CString>* paths, int count, uint32_t messageId, bool isTemplate) {
  paths->clear();
  CString top;
  GetAppTempFolderPath(top, nullptr);
  CString folder;
  GetAppTempFolderPath(folder, isTemplate ? kTemplateFolder : static_cast<LPCWSTR>(TempFolderName));
  if (!MakeFolder(top) || !MakeFolder(folder)) return false;
  for (int i = 0; i < count; ++i) {
    const std::wstring part = qv::FormatW(L"%s\\%08X_%d", static_cast<LPCWSTR>(folder), messageId, i);
    if (!CreateDirectoryW(part.c_str(), nullptr)) {
      if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
      // A file of an earlier load would be taken for this part's (the
      // engine never replaces a file), so the folder starts empty.
      if (DeleteFolderTree(part.c_str()) != kFolderTreeDeleted) return false;
    }
    paths->push_back((part + L"\\").c_str());
  }
  return true;
}

bool RemoveTempFolder(LPCWSTR sub) {
  CString folder;
  GetAppTempFolderPath(folder, sub);
  return DeleteLocalFolderTree(folder);
}
