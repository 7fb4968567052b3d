#include "engine/public/store/QvMessageExporter.h"

#include <algorithm>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/store/QvMessageInterface.h"
#include "platform/base/ScopedHandle.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/Files.h"

namespace {

bool Fail(uint32_t code) {
  SetQvMiddleError(code);
  return false;
}

// The store's reason for a failed read; a facade without a message leaves
// the word alone, which must not pass for success.
uint32_t StoreCode() {
  const uint32_t code = GetQvMiddleError();
  return code == QVMDL_SUCCESS || code == 0 ? QVMDL_ERR_STG_NULL_ARGUMENT : code;
}

uint32_t WriteCode(DWORD error) { return error == ERROR_DISK_FULL ? QVMDL_ERR_EXP_DISK_FULL : QVMDL_ERR_EXP_WRITE; }

// Writes, flushes and closes; a late failure of the volume shows only at the
// flush or the close, and the file then holds less than the mail.
DWORD WriteWhole(qv::ScopedHandle file, const std::string& raw) {
  size_t done = 0;
  while (done < raw.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(raw.size() - done, 0x40000000));
    DWORD wrote = 0;
    if (!WriteFile(file.get(), raw.data() + done, chunk, &wrote, nullptr) || wrote == 0) {
      const DWORD error = GetLastError();
      return error != 0 ? error : ERROR_DISK_FULL;
    }
    done += wrote;
  }
  if (!FlushFileBuffers(file.get())) return GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
  if (!CloseHandle(file.release())) return GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
  return ERROR_SUCCESS;
}

}  // namespace

QvMessageExporter::QvMessageExporter() : QvMailFileRun(QVMDL_ERR_EXP_NULL_NOTIFY, QVMDL_ERR_EXP_CANCELLED) {}

bool QvMessageExporter::SetSource(const std::vector<QvMessageInterface*>& messages) {
  source_.clear();
  if (messages.empty()) return Fail(QVMDL_ERR_EXP_NO_SOURCE);
  for (QvMessageInterface* message : messages) {
    if (message == nullptr) return Fail(QVMDL_ERR_EXP_NULL_MESSAGE);
    source_.push_back(message);
  }
  return true;
}

bool QvMessageExporter::SetDestination(const std::wstring& directory) {
  if (directory.empty()) return Fail(QVMDL_ERR_EXP_NO_DESTINATION);
  destination_ = directory;
  if (destination_.back() != L'\\') destination_ += L'\\';
  return true;
}

bool QvMessageExporter::Fire() {
  if (source_.empty()) return Fail(QVMDL_ERR_EXP_FIRE_NO_SOURCE);
  if (destination_.empty()) return Fail(QVMDL_ERR_EXP_FIRE_NO_DESTINATION);
  uint32_t counter = 0;
  return RunItems(source_.size(), [&](size_t i) { return ExportOne(source_[i], &counter); });
}

uint32_t QvMessageExporter::ExportOne(QvMessageInterface* message, uint32_t* counter) {
  // The facade keeps its read position: a message read just before would
  // otherwise export empty or cut.
  std::string raw;
  if (!message->SeekToHead() || !message->Read(&raw)) return StoreCode();
  std::wstring path;
  qv::ScopedHandle file;
  for (;;) {
    path = GetExportFilePath(counter);
    file.reset(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.is_valid()) break;
    const DWORD error = GetLastError();
    // Another writer took the name between the look and the create.
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
    return error == ERROR_DISK_FULL ? QVMDL_ERR_EXP_DISK_FULL : QVMDL_ERR_EXP_CREATE;
  }
  const DWORD error = WriteWhole(std::move(file), raw);
  if (error == ERROR_SUCCESS) return QVMDL_SUCCESS;
  DeleteFileW(path.c_str());
  return WriteCode(error);
}

std::wstring QvMessageExporter::GetExportFilePath(uint32_t* counter) const {
  for (;;) {
    std::wstring path = qv::FormatW(L"%sEML%05d.eml", destination_.c_str(), static_cast<int>((*counter)++));
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return path;
  }
}
