#include "platform/kernel/DevicePath.h"

#include "platform/base/WideText.h"

namespace qv::kernel {
namespace {

bool ValidName(std::wstring_view name, bool wildcards) {
  for (wchar_t c : name) {
    if (c < 0x20) return false;
    switch (c) {
      case L'<': case L'>': case L':': case L'"': case L'|':
        return false;
      case L'*': case L'?':
        if (!wildcards) return false;
        break;
      default:
        break;
    }
  }
  return true;
}

}  // namespace

bool SplitDevicePath(std::wstring_view path, std::vector<std::wstring>* names, DWORD* error, bool wildcardLast) {
  names->clear();
  if (path.size() >= MAX_PATH) {
    *error = ERROR_FILENAME_EXCED_RANGE;
    return false;
  }
  std::vector<std::wstring> raw;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == L'\\' || path[i] == L'/') {
      if (i > start) raw.emplace_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  for (size_t i = 0; i < raw.size(); ++i) {
    const std::wstring& name = raw[i];
    if (name.size() > 255) {
      *error = ERROR_FILENAME_EXCED_RANGE;
      return false;
    }
    if (!ValidName(name, wildcardLast && i + 1 == raw.size())) {
      *error = ERROR_INVALID_NAME;
      return false;
    }
    if (name == L".") continue;
    if (name == L"..") {
      if (!names->empty()) names->pop_back();
      continue;
    }
    names->push_back(name);
  }
  return true;
}

std::wstring JoinDevicePath(const std::vector<std::wstring>& names) {
  if (names.empty()) return L"\\";
  std::wstring out;
  for (const auto& n : names) out += L"\\" + n;
  return out;
}

bool HasWildcards(std::wstring_view name) { return name.find_first_of(L"*?") != std::wstring_view::npos; }

bool MatchPattern(std::wstring_view pattern, std::wstring_view name) {
  if (pattern == L"*" || pattern == L"*.*") return true;
  // Iterative glob with one backtrack point for the last "*".
  size_t p = 0, n = 0, starP = std::wstring_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == L'*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == L'?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
      ++p, ++n;
    } else if (starP != std::wstring_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  // "name.*" also matches "name" with no extension, as on the device.
  if (p + 2 == pattern.size() && pattern[p] == L'.' && pattern[p + 1] == L'*') return true;
  return p == pattern.size();
}

bool ResolveDevicePath(std::wstring_view path, std::string* host, std::wstring* canonical, HostLookup* lookup) {
  std::vector<std::wstring> names;
  DWORD error = 0;
  if (!SplitDevicePath(path, &names, &error)) {
    SetLastError(error);
    return false;
  }
  *host = ResolveNames(names, lookup);
  if (canonical) *canonical = JoinDevicePath(names);
  return true;
}

}  // namespace qv::kernel

namespace qv {

bool DeviceToHostPath(std::wstring_view devicePath, std::string* hostPath) {
  return kernel::ResolveDevicePath(devicePath, hostPath);
}

}  // namespace qv
