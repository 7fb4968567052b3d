// The shell's copy: files and whole folders, into an existing folder or,
// for a single source, to a new name. Collisions are asked about unless the
// caller says not to; a folder is never copied into itself.
#include <cwctype>
#include <string>
#include <vector>

#include "platform/kernel/DevicePath.h"
#include "platform/kernel/Files.h"
#include "platform/shell/ShellFiles.h"
#include "platform/shell/ShellPaths.h"
#include "platform/ui/WinUser.h"

namespace qv::shell {
namespace {

std::vector<std::wstring> NameList(LPCWSTR list) {
  std::vector<std::wstring> names;
  for (const wchar_t* p = list; p && *p; p += wcslen(p) + 1) names.emplace_back(p);
  return names;
}

std::wstring LastName(const std::wstring& path) {
  const size_t sep = path.find_last_of(L'\\');
  return sep == std::wstring::npos ? path : path.substr(sep + 1);
}

// The device path with "." and ".." taken out, as the kernel reads it.
std::wstring Canonical(const std::wstring& path) {
  std::vector<std::wstring> names;
  DWORD error = 0;
  return qv::kernel::SplitDevicePath(path, &names, &error) ? qv::kernel::JoinDevicePath(names) : path;
}

// The folder itself or anything below it; case does not matter to device paths.
bool Inside(const std::wstring& to, const std::wstring& from) {
  const std::wstring path = Canonical(to);
  const std::wstring folder = Canonical(from);
  if (path.size() < folder.size() || (path.size() > folder.size() && path[folder.size()] != L'\\')) return false;
  for (size_t i = 0; i < folder.size(); ++i) {
    if (std::towlower(static_cast<wint_t>(path[i])) != std::towlower(static_cast<wint_t>(folder[i]))) return false;
  }
  return true;
}

class Copier {
 public:
  explicit Copier(SHFILEOPSTRUCTW* op) : op_(op) {}

  DWORD Copy(const std::wstring& from, const std::wstring& to) {
    const DWORD a = GetFileAttributesW(from.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return ERROR_FILE_NOT_FOUND;
    if (!(a & FILE_ATTRIBUTE_DIRECTORY)) return CopyOne(from, to);
    if (Inside(to, from)) return ERROR_INVALID_PARAMETER;
    if (!IsFolder(to) && !CreateDirectoryW(to.c_str(), nullptr)) return GetLastError();
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW((from + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return ERROR_SUCCESS;  // an empty folder
    DWORD error = ERROR_SUCCESS;
    do {
      error = Copy(from + L"\\" + found.cFileName, to + L"\\" + found.cFileName);
    } while (error == ERROR_SUCCESS && FindNextFileW(find, &found));
    FindClose(find);
    return error;
  }

 private:
  DWORD CopyOne(const std::wstring& from, const std::wstring& to) {
    if (GetFileAttributesW(to.c_str()) != INVALID_FILE_ATTRIBUTES && !(op_->fFlags & FOF_NOCONFIRMATION)) {
      const std::wstring text = L"'" + LastName(to) + L"' は既に存在します。\n上書きしますか?";
      if (MessageBoxW(op_->hwnd, text.c_str(), L"ファイルのコピー", MB_YESNO | MB_ICONQUESTION) != IDYES) {
        op_->fAnyOperationsAborted = TRUE;
        return ERROR_SUCCESS;
      }
    }
    return CopyFileW(from.c_str(), to.c_str(), FALSE) ? ERROR_SUCCESS : GetLastError();
  }

  SHFILEOPSTRUCTW* op_;
};

}  // namespace
}  // namespace qv::shell

int SHFileOperationW(LPSHFILEOPSTRUCTW op) {
  if (!op) return ERROR_INVALID_PARAMETER;
  op->fAnyOperationsAborted = FALSE;
  if (op->wFunc != FO_COPY) return ERROR_NOT_SUPPORTED;
  const auto sources = qv::shell::NameList(op->pFrom);
  const auto targets = qv::shell::NameList(op->pTo);
  if (sources.empty() || targets.size() != 1) return ERROR_INVALID_PARAMETER;
  const std::wstring& to = targets.front();
  const bool intoFolder = qv::shell::IsFolder(to) || sources.size() > 1;
  if (intoFolder && !qv::shell::IsFolder(to)) return ERROR_PATH_NOT_FOUND;
  qv::shell::Copier copier(op);
  for (const std::wstring& from : sources) {
    const DWORD error = copier.Copy(from, intoFolder ? to + L"\\" + qv::shell::LastName(from) : to);
    if (error != ERROR_SUCCESS) return static_cast<int>(error);
  }
  return 0;
}
