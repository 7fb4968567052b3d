#include "engine/foundation/QvSafeReplace.h"

#include "engine/public/foundation/QvMiddleError.h"
#include "platform/base/ScopedHandle.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Sync.h"

namespace {

constexpr int kBusyRetries = 100;
constexpr wchar_t kMoveRetryLine[] = L" Retry MoveFile():(%d) /// Reason: file busy\r\n";

bool MoveBusy(const std::wstring& from, const std::wstring& to) {
  return RetryWhileBusy([&] { return MoveFileW(from.c_str(), to.c_str()); }, kMoveRetryLine);
}

bool DeleteBusy(const std::wstring& path) {
  return RetryWhileBusy([&] { return DeleteFileW(path.c_str()); }, kMoveRetryLine);
}

}  // namespace

bool RetryWhileBusy(const std::function<BOOL()>& step, const wchar_t* retryLine) {
  for (int retry = 0;; ++retry) {
    if (step()) return true;
    if (GetLastError() != ERROR_SHARING_VIOLATION || retry == kBusyRetries) return false;
    NKDbgPrintfW(retryLine, retry + 1);
    Sleep(1);
  }
}

bool FileIsPresent(const std::wstring& path) {
  // A file, open elsewhere or not; a folder of the name is none.
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

uint32_t RestoreInterruptedFile(const std::wstring& target, const std::wstring& temp) {
  const std::wstring backup = target + L"_bak";
  const bool hasTarget = FileIsPresent(target);
  const bool hasTemp = FileIsPresent(temp);
  const bool hasBackup = FileIsPresent(backup);
  uint32_t result = QVMDL_SUCCESS;

  if (hasTarget) {
    // The save never reached its commit, or finished but left debris.
    if (hasTemp && !DeleteBusy(temp)) result = QVMDL_ERR_SAFESAVE_DELTMP;
    if (hasBackup && !DeleteBusy(backup)) result = QVMDL_ERR_SAFESAVE_DELBAK;
    return result;
  }
  if (hasTemp) {
    // Interrupted between moving the old file aside and moving the new one in.
    if (!MoveBusy(temp, target)) result = QVMDL_ERR_SAFESAVE_MOVETMP;
    if (hasBackup && !DeleteBusy(backup)) result = QVMDL_ERR_SAFESAVE_DELBAK;
    return result;
  }
  if (hasBackup) return MoveBusy(backup, target) ? QVMDL_SUCCESS : QVMDL_ERR_SAFESAVE_RESTOREBAK;
  return QVMDL_ERR_SAFESAVE_NOFILE;
}

// The copy's move into place reaches the disk with its folder before the
// backup goes: renames need not reach the disk in the order they were made,
// and the file must never be left with neither its old nor its new name.
uint32_t ReplaceFileWithTemp(const std::wstring& target, const std::wstring& temp) {
  const std::wstring backup = target + L"_bak";
  if (!MoveBusy(target, backup)) return QVMDL_ERR_SAFESAVE_BACKUP;
  if (!RetryWhileBusy([&] { return MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH); },
                      kMoveRetryLine)) {
    return QVMDL_ERR_SAFESAVE_MOVETMP;
  }
  if (!DeleteBusy(backup)) return QVMDL_ERR_SAFESAVE_DELBAK;
  return QVMDL_SUCCESS;
}


DWORD SafeWriteWholeFile(const std::wstring& path, const std::string& bytes) {
  const std::wstring temp = path + L"_tmp";
  if (RestoreInterruptedFile(path, temp) != QVMDL_SUCCESS && FileIsPresent(temp)) DeleteBusy(temp);
  DWORD error = 0;
  {
    qv::ScopedHandle file(
        CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    DWORD written = 0;
    if (!bytes.empty() &&
        (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
         written != bytes.size())) {
      error = GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
    } else if (!FlushFileBuffers(file.get())) {
      error = GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
    }
  }
  if (error != 0) {
    DeleteFileW(temp.c_str());
    return error;
  }
  // A first save has nothing to keep aside.
  const bool committed = FileIsPresent(path) ? ReplaceFileWithTemp(path, temp) == QVMDL_SUCCESS : MoveBusy(temp, path);
  return committed ? 0 : ERROR_WRITE_FAULT;
}

bool SafeReadWholeFile(const std::wstring& path, std::string* bytes, DWORD* error) {
  bytes->clear();
  const uint32_t settled = RestoreInterruptedFile(path, path + L"_tmp");
  qv::ScopedHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    if (error != nullptr) *error = settled == QVMDL_ERR_SAFESAVE_NOFILE ? ERROR_FILE_NOT_FOUND : GetLastError();
    return false;
  }
  char chunk[4096];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) {
      if (error != nullptr) *error = GetLastError();
      bytes->clear();
      return false;
    }
    if (got == 0) break;
    bytes->append(chunk, got);
  }
  return true;
}
