#include "app/foundation/UiFiles.h"

#include <string>

#include "platform/base/ScopedHandle.h"
#include "platform/codepage/CodePage.h"
#include "platform/kernel/Files.h"

bool SaveStringListFile(LPCWSTR path, const CStringArray& list) {
  qv::ScopedFile file(_wfopen(path, L"w"));
  if (!file) return false;
  for (INT_PTR i = 0; i < list.GetSize(); ++i) {
    bool lossy = false;
    std::string line = qv::WideToCp932(list[i].str(), &lossy);
    // A path that came back changed would name another file.
    if (lossy) return false;
    line += "\r\n";
    if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size()) return false;
  }
  return qv::CloseWritten(file);
}

bool LoadStringListFile(LPCWSTR path, CStringArray& list) {
  list.RemoveAll();
  qv::ScopedFile file(_wfopen(path, L"r"));
  if (!file) return false;
  std::string line;
  bool tooLong = false;
  auto take = [&] {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::wstring text = qv::Cp932ToWide(line);
    if (!tooLong && static_cast<int>(text.size()) <= kMaxListLine) list.Add(CString(text));
    line.clear();
    tooLong = false;
  };
  for (int c; (c = std::fgetc(file.get())) != EOF;) {
    if (c == '\n') {
      take();
    } else if (line.size() <= 2 * (kMaxListLine + 1)) {
      line.push_back(static_cast<char>(c));
    } else {
      tooLong = true;  // no more of it is kept: the line is skipped whole
    }
  }
  if (std::ferror(file.get())) return false;
  if (!line.empty() || tooLong) take();
  return true;
}

bool GetTempFolderPath(CString& out) {
  WCHAR path[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, path);
  if (length == 0 || length >= MAX_PATH) return false;
  out = path;
  return true;
}

namespace {

void KeepFirst(uint32_t* result, uint32_t code) {
  if (*result == kFolderTreeDeleted) *result = code;
}

}  // namespace

uint32_t DeleteFolderTree(LPCWSTR folder) {
  // No folder named: the walk would start at the device's root.
  if (!folder || !*folder) return kFolderTreeFolderKept;
  uint32_t result = kFolderTreeDeleted;
  const std::wstring base = std::wstring(folder) + L"\\";
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW((base + L"*.*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return result;  // nothing below it
  do {
    const std::wstring path = base + found.cFileName;
    // A folder may carry other attributes too; only its directory bit counts.
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      KeepFirst(&result, DeleteFolderTree(path.c_str()));
      if (!RemoveDirectoryW(path.c_str())) KeepFirst(&result, kFolderTreeFolderKept);
    } else {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (!DeleteFileW(path.c_str())) KeepFirst(&result, kFolderTreeFileKept);
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return result;
}

bool DeleteLocalFolderTree(LPCWSTR folder) {
  return DeleteFolderTree(folder) == kFolderTreeDeleted && RemoveDirectoryW(folder);
}
