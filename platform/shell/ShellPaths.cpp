#include "platform/shell/ShellPaths.h"

#include <cwctype>

#include "platform/kernel/Files.h"

namespace qv::shell {

std::wstring Lower(std::wstring_view s) {
  std::wstring out(s);
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return out;
}

std::wstring Extension(std::wstring_view path) {
  const size_t dot = path.rfind(L'.');
  const size_t sep = path.find_last_of(L"\\/");
  if (dot == std::wstring_view::npos || (sep != std::wstring_view::npos && dot < sep)) return {};
  return std::wstring(path.substr(dot + 1));
}

bool IsFolder(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace qv::shell
