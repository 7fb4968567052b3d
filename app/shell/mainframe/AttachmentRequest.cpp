#include "app/shell/mainframe/AttachmentRequest.h"

#include "app/foundation/UiFiles.h"
#include "platform/base/ScopedHandle.h"
#include "platform/base/WideText.h"
#include "platform/codepage/CodePage.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Sync.h"

namespace {

bool IsExistingFile(const std::wstring& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// One line of the list, or false when the path cannot be one.
bool ListLine(const std::wstring& path, std::string* line) {
  if (path.find_first_of(L"\r\n") != std::wstring::npos) return false;
  if (static_cast<int>(path.size()) > kMaxListLine) return false;  // the reader would skip it
  bool lossy = false;
  *line = qv::WideToCp932(path, &lossy);
  if (lossy) return false;  // it would name another file
  line->append("\r\n");
  return true;
}

std::wstring TempFolder() {
  CString folder;
  return GetTempFolderPath(folder) ? std::wstring(folder) : std::wstring();
}

}  // namespace

AttachmentListResult WriteAttachmentList(const std::vector<std::wstring>& paths, std::wstring* listPath,
                                         size_t* taken) {
  std::string bytes;
  size_t count = 0;
  for (const std::wstring& path : paths) {
    std::string line;
    if (!IsExistingFile(path) || !ListLine(path, &line)) continue;
    bytes += line;
    ++count;
  }
  if (taken) *taken = count;
  listPath->clear();
  if (count == 0) return AttachmentListResult::kNoneTaken;
  const std::wstring folder = TempFolder();
  if (folder.empty()) return AttachmentListResult::kWriteFailed;
  // A name nobody holds: made here or not at all, so a list left by an
  // earlier request is never written into or read for this one.
  qv::ScopedHandle file;
  std::wstring path;
  const DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
  for (DWORD n = 0; n < 64 && !file; ++n) {
    path = folder + kAttachmentListPrefix + std::to_wstring(GetCurrentProcessId()) + L"." +
           std::to_wstring((seed + n) & 0xFFFFu);
    file.reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file && GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  if (!file) return AttachmentListResult::kWriteFailed;
  DWORD written = 0;
  const bool ok = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size() && FlushFileBuffers(file.get());
  file.reset();
  if (!ok) {
    DeleteFileW(path.c_str());
    return AttachmentListResult::kWriteFailed;
  }
  *listPath = path;
  return AttachmentListResult::kWritten;
}

std::wstring JoinComposeArgs(const std::wstring& mailto, const std::wstring& listPath) {
  return listPath.empty() ? mailto : mailto + L"\n" + listPath;
}

void SplitComposeArgs(const std::wstring& args, std::wstring* mailto, std::wstring* listPath) {
  const size_t brk = args.find(L'\n');
  *mailto = args.substr(0, brk);
  listPath->clear();
  if (brk != std::wstring::npos) *listPath = args.substr(brk + 1);
}

bool TakeAttachmentList(const std::wstring& listPath, std::vector<std::wstring>* paths) {
  paths->clear();
  const std::wstring folder = TempFolder();
  const std::wstring prefix = folder + kAttachmentListPrefix;
  if (folder.empty() || listPath.size() <= prefix.size() || qv::FoldCase(listPath.substr(0, prefix.size())) != qv::FoldCase(prefix) ||
      listPath.find(L'\\', prefix.size()) != std::wstring::npos) {
    return false;
  }
  CStringArray lines;
  const bool read = LoadStringListFile(listPath.c_str(), lines);
  DeleteFileW(listPath.c_str());
  if (!read) return false;
  for (int i = 0; i < lines.GetSize(); ++i) paths->push_back(std::wstring(lines[i]));
  return true;
}
