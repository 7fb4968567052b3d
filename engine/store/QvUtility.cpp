#include "engine/store/QvUtility.h"

#include <cstdlib>

#include "engine/store/QvMiddleError.h"
#include "platform/base/WideText.h"
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
  // Opening with no sharing is the probe; a sharing violation means another
  // handle holds the file, which therefore exists.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return true;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
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

uint32_t ReplaceFileWithTemp(const std::wstring& target, const std::wstring& temp) {
  const std::wstring backup = target + L"_bak";
  if (!MoveBusy(target, backup)) return QVMDL_ERR_SAFESAVE_BACKUP;
  if (!MoveBusy(temp, target)) return QVMDL_ERR_SAFESAVE_MOVETMP;
  if (!DeleteBusy(backup)) return QVMDL_ERR_SAFESAVE_DELBAK;
  return QVMDL_SUCCESS;
}

// ---------------------------------------------------------------------------
// Registry helpers

namespace {

// The buffer callers have always read values into: 260 bytes, that is 129
// UTF-16 characters and the terminating zero.
constexpr DWORD kValueBufferBytes = 260;

bool OpenOrCreateKey(HKEY root, const std::wstring& key, HKEY* out) {
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_WRITE, out) == ERROR_SUCCESS) return true;
  DWORD disposition = 0;
  return RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, out,
                         &disposition) == ERROR_SUCCESS;
}

bool SetValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const BYTE* data,
              DWORD size) {
  HKEY handle = nullptr;
  if (!OpenOrCreateKey(root, key, &handle)) {
    SetQvMiddleError(QVMDL_ERR_REG_KEY);
    return false;
  }
  const bool written = RegSetValueExW(handle, name.c_str(), 0, type, data, size) == ERROR_SUCCESS;
  RegCloseKey(handle);
  if (!written) SetQvMiddleError(QVMDL_ERR_REG_VALUE);
  return written;
}

}  // namespace

bool GetRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name, std::wstring* out) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    SetQvMiddleError(QVMDL_ERR_REG_KEY);
    return false;
  }
  WCHAR buffer[kValueBufferBytes / 2 + 1] = {};
  DWORD type = REG_NONE;
  DWORD size = kValueBufferBytes;
  const LONG rc = RegQueryValueExW(handle, name.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
  RegCloseKey(handle);
  // Only text fits the text buffer; a number read as text would be garbage.
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ)) {
    SetQvMiddleError(QVMDL_ERR_REG_VALUE);
    return false;
  }
  buffer[kValueBufferBytes / 2] = 0;
  out->assign(buffer);
  return true;
}

bool GetRegistryDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD* out) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  // Ask the type first: a text value would be written as WCHARs, which need
  // more room than the four bytes of a DWORD.
  DWORD type = REG_NONE;
  DWORD size = 0;
  LONG rc = RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &size);
  DWORD value = 0;
  if (rc == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(value)) {
    rc = RegQueryValueExW(handle, name.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
  } else {
    rc = ERROR_INVALID_DATA;
  }
  RegCloseKey(handle);
  if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value)) return false;
  *out = value;
  return true;
}

bool SetRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text) {
  const DWORD bytes = static_cast<DWORD>((qv::Utf16Length(text) + 1) * 2);
  return SetValue(root, key, name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
}

bool SetRegistryDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
  return SetValue(root, key, name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// ---------------------------------------------------------------------------
// Scope lists

AutoCloseFileList::~AutoCloseFileList() {
  for (FILE* stream : files_) {
    if (stream) fclose(stream);
  }
  files_.clear();
}

FILE* AutoCloseFileList::Open(const wchar_t* path, const wchar_t* mode) {
  FILE* stream = _wfopen(path, mode);
  if (stream) files_.push_back(stream);
  return stream;
}

FILE* AutoCloseFileList::Open(const char* path, const char* mode) {
  FILE* stream = qv_fopen(path, mode);
  if (stream) files_.push_back(stream);
  return stream;
}

void AutoCloseFileList::Close(FILE* stream) {
  if (!stream) return;
  files_.remove(stream);
  fclose(stream);
}

AutoFreeMemList::~AutoFreeMemList() {
  for (void* block : blocks_) free(block);  // free(nullptr) is a no-op: failed allocations stay listed
  blocks_.clear();
}

void* AutoFreeMemList::Alloc(size_t size) {
  void* block = malloc(size);
  blocks_.push_back(block);
  return block;
}
