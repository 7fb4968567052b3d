#include "engine/store/QvStoreChange.h"

#include <cstdio>
#include <functional>

#include "engine/store/QvPathKey.h"
#include "platform/base/ScopedHandle.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/Files.h"

namespace {

// The change this thread is inside, so that a nested one joins it.
thread_local int t_depth = 0;

}  // namespace

std::wstring QvStoreChange::LockName(const std::wstring& dataDir) {
  return qv::FormatW(L"QvStoreChange %016llx",
                     static_cast<unsigned long long>(std::hash<std::wstring>{}(QvPathKey(dataDir))));
}

QvStoreChange::QvStoreChange(const std::wstring& dataDir, std::vector<uint32_t> folders, const FolderMove* move)
    : dataDir_(dataDir), lock_(LockName(dataDir).c_str()) {
  hold_.emplace(lock_);
  outermost_ = t_depth++ == 0;
  std::string lines;
  for (uint32_t folder : folders) lines += qv::FormatA("L\t%X\r\n", folder);
  if (move != nullptr) lines += qv::FormatA("F\t%X\t%X\t%X\r\n", move->folder, move->from, move->to);
  recorded_ = Append(lines);
}

QvStoreChange::~QvStoreChange() {
  // Only the outermost change is done when it ends; a record it cannot take
  // away is settled by the next open, which costs a rebuild and loses nothing.
  if (outermost_) Remove(dataDir_);
  --t_depth;
}

// Synced, so that a power cut in the middle of the change leaves it too. The
// file stays from change to change (emptied, not deleted): its name is on
// the disk from the first change on, and a sync of its bytes is enough.
bool QvStoreChange::Append(const std::string& lines) {
  const std::wstring path = PathOf(dataDir_);
  qv::ScopedHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  const bool made = file.is_valid() && GetLastError() != ERROR_ALREADY_EXISTS;
  DWORD written = 0;
  return file.is_valid() && SetFilePointer(file.get(), 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
         WriteFile(file.get(), lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr) &&
         written == lines.size() && FlushFileBuffers(file.get()) && (!made || qv::FlushDeviceVolume());
}

bool QvStoreChange::Read(const std::wstring& dataDir, Record* record) {
  const std::wstring path = PathOf(dataDir);
  qv::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.is_valid()) return false;
  std::string bytes(64 * 1024, '\0');
  DWORD got = 0;
  if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) got = 0;
  bytes.resize(got);
  if (bytes.empty()) return false;
  // A line cut by the death is dropped: its change had not started.
  for (size_t start = 0, end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
    const std::string line = bytes.substr(start, end - start);
    unsigned a = 0, b = 0, c = 0;
    char tail = 0;
    if (std::sscanf(line.c_str(), "L\t%x%c", &a, &tail) == 1) {
      record->lists.push_back(a);
    } else if (std::sscanf(line.c_str(), "F\t%x\t%x\t%x%c", &a, &b, &c, &tail) == 3) {
      record->moves.push_back({a, b, c});
    }
  }
  return true;
}

void QvStoreChange::Remove(const std::wstring& dataDir) {
  qv::ScopedHandle file(CreateFileW(PathOf(dataDir).c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}
