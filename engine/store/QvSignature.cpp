#include "engine/store/QvSignature.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <new>

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/foundation/QvSafeReplace.h"
#include "engine/store/QvStoreFile.h"
#include "platform/base/ScopedHandle.h"
#include "platform/base/WideText.h"
#include "platform/kernel/Files.h"

namespace {

// Reasons of a failed read or write, combined with the file's bit (1 or 2)
// and turned into the error word by MapFailure.
enum : uint32_t {
  kOpenFailed = 0x10000,
  kReadShort = 0x20000,
  kWriteFailed = 0x40000,
  kDeleteBackup = 0x204000,
  kDeleteTemp = 0x208000,
  kBackupFailed = 0x402000,
  kRestoreBackup = 0x404000,
  kMoveTemp = 0x408000,
  kNoFile = 0x800000,
  kVolumeFull = 0x1000000,
  kTooLarge = 0x2000000,
  kNoMemory = 0x4000000,
};

uint32_t MapFailure(uint32_t reason, uint32_t bit) {
  struct Row {
    uint32_t reason, first, second;
  };
  static const Row kRows[] = {
      {kOpenFailed, QVMDL_ERR_SIG_OPEN_DATA1, QVMDL_ERR_SIG_OPEN_DATA2},
      {kReadShort, QVMDL_ERR_SIG_READ_DATA1, QVMDL_ERR_SIG_READ_DATA2},
      {kWriteFailed, QVMDL_ERR_SIG_WRITE_DATA1, QVMDL_ERR_SIG_WRITE_DATA2},
      {kDeleteBackup, QVMDL_ERR_SIG_DELBAK_DATA1, QVMDL_ERR_SIG_DELBAK_DATA2},
      {kDeleteTemp, QVMDL_ERR_SIG_DELTMP_DATA1, QVMDL_ERR_SIG_DELTMP_DATA2},
      {kBackupFailed, QVMDL_ERR_SIG_BACKUP_DATA1, QVMDL_ERR_SIG_BACKUP_DATA2},
      {kRestoreBackup, QVMDL_ERR_SIG_RESTOREBAK_DATA1, QVMDL_ERR_SIG_RESTOREBAK_DATA2},
      {kMoveTemp, QVMDL_ERR_SIG_MOVETMP_DATA1, QVMDL_ERR_SIG_MOVETMP_DATA2},
      {kNoFile, QVMDL_ERR_SIG_NOFILE_DATA1, QVMDL_ERR_SIG_NOFILE_DATA2},
      {kVolumeFull, QVMDL_ERR_SIG_DISK_SPACE, QVMDL_ERR_SIG_DISK_SPACE},
      {kTooLarge, QVMDL_ERR_SIG_TOOLARGE_DATA1, QVMDL_ERR_SIG_TOOLARGE_DATA2},
      {kNoMemory, QVMDL_ERR_SIG_NOT_ENOUGH_MEMORY, QVMDL_ERR_SIG_NOT_ENOUGH_MEMORY},
  };
  for (const Row& row : kRows) {
    if (row.reason == reason) return bit == 1 ? row.first : row.second;
  }
  return QVMDL_SUCCESS;
}

uint32_t SettleReason(const std::wstring& file) {
  switch (RestoreInterruptedFile(file, QvStoreFile::TempOf(file))) {
    case QVMDL_ERR_SAFESAVE_DELBAK:
      return kDeleteBackup;
    case QVMDL_ERR_SAFESAVE_RESTOREBAK:
      return kRestoreBackup;
    case QVMDL_ERR_SAFESAVE_DELTMP:
      return kDeleteTemp;
    case QVMDL_ERR_SAFESAVE_MOVETMP:
      return kMoveTemp;
    case QVMDL_ERR_SAFESAVE_NOFILE:
      return kNoFile;
    default:
      return 0;
  }
}

// Text up to the first NUL, the part a stream of wide text would carry.
std::wstring_view UpToNul(const std::wstring& text) {
  size_t nul = text.find(L'\0');
  return std::wstring_view(text).substr(0, nul);
}

struct CacheEntry {
  uint32_t references = 0;
  QvSignature* signature = nullptr;
};

std::mutex& CacheLock() {
  static std::mutex lock;
  return lock;
}

std::map<std::wstring, CacheEntry>& Cache() {
  static std::map<std::wstring, CacheEntry> cache;
  return cache;
}

uint32_t DeleteTree(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    // An empty folder has nothing to delete; only a folder that cannot be
    // searched is a failure.
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES ? QVMDL_SUCCESS : QVMDL_ERR_SIG_FIND_FOLDER;
  }
  uint32_t result = QVMDL_SUCCESS;
  do {
    std::wstring name = data.cFileName;
    // The folder itself and its parent are never entries to delete.
    if (name == L"." || name == L".." || name.empty()) continue;
    std::wstring path = folder + L"\\" + name;
    uint32_t code = QVMDL_SUCCESS;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      code = DeleteTree(path);
      if (!RemoveDirectoryW(path.c_str()) && code == QVMDL_SUCCESS) code = QVMDL_ERR_SIG_REMOVE_FOLDER;
    } else if (!DeleteFileW(path.c_str())) {
      code = QVMDL_ERR_SIG_DELETE_FILE;
    }
    if (result == QVMDL_SUCCESS) result = code;
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return result;
}

}  // namespace

std::wstring QvSignature::FileOf(uint32_t bit) const { return folder_ + (bit == 1 ? L"\\Data1.txt" : L"\\Data2.txt"); }

uint32_t QvSignature::ReadOne(const std::wstring& file, std::wstring* text) {
  uint32_t reason = SettleReason(file);
  if (reason != 0) return reason;
  qv::ScopedFile stream(_wfopen(file.c_str(), L"rb"));
  if (!stream) return kOpenFailed;
  long size = -1;
  if (fseek(stream.get(), 0, SEEK_END) == 0) size = ftell(stream.get());
  if (size < 0 || fseek(stream.get(), 0, SEEK_SET) != 0) return kReadShort;
  if (static_cast<size_t>(size) > kMaxBytes) return kTooLarge;
  std::string bytes;
  try {
    bytes.assign(static_cast<size_t>(size), '\0');
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  size_t got = bytes.empty() ? 0 : fread(bytes.data(), 1, bytes.size(), stream.get());
  stream.reset();
  if (got != bytes.size()) return kReadShort;
  std::wstring all = qv::Utf16LEToWide(bytes);
  *text = std::wstring(UpToNul(all));
  return 0;
}

uint32_t QvSignature::WriteOne(const std::wstring& file, const std::wstring& text) {
  std::wstring_view body = UpToNul(text);
  if (qv::Utf16Length(body) > kMaxUnits) return kTooLarge;
  uint32_t reason = SettleReason(file);
  if (reason != 0) return reason;
  std::wstring temp = QvStoreFile::TempOf(file);
  qv::ScopedFile stream(_wfopen(temp.c_str(), L"wb"));
  if (!stream) return kOpenFailed;
  std::string bytes = qv::WideToUtf16LE(body);
  bool written = QvStoreFile::WriteAll(stream.get(), bytes.data(), bytes.size());
  DWORD error = GetLastError();
  if (!qv::CloseWritten(stream) && written) {
    written = false;
    error = GetLastError();
  }
  if (!written) {
    DeleteFileW(temp.c_str());
    return error == ERROR_DISK_FULL ? kVolumeFull : kWriteFailed;
  }
  switch (ReplaceFileWithTemp(file, temp)) {
    case QVMDL_ERR_SAFESAVE_BACKUP:
      return kBackupFailed;
    case QVMDL_ERR_SAFESAVE_DELBAK:
      return kDeleteBackup;
    case QVMDL_ERR_SAFESAVE_MOVETMP:
      return kMoveTemp;
    default:
      return 0;
  }
}

bool QvSignature::ReadAttributes(QvSignatureInterface::Attributes* attributes) {
  if (attributes == nullptr) {
    SetQvMiddleError(QVMDL_ERR_STG_NULL_ARGUMENT);
    return false;
  }
  for (uint32_t bit = 1; bit <= 2; ++bit) {
    if ((attributes->mask & bit) == 0) continue;
    uint32_t reason = ReadOne(FileOf(bit), bit == 1 ? &attributes->first : &attributes->second);
    if (reason != 0) {
      SetQvMiddleError(MapFailure(reason, bit));
      return false;
    }
  }
  return true;
}

bool QvSignature::WriteAttributes(const QvSignatureInterface::Attributes& attributes) {
  if ((attributes.mask & 3) == 0) return true;
  ULARGE_INTEGER available{}, total{}, totalFree{};
  if (!GetDiskFreeSpaceExW(folder_.c_str(), &available, &total, &totalFree) || available.QuadPart < 512000) {
    SetQvMiddleError(QVMDL_ERR_SIG_DISK_SPACE);
    return false;
  }
  for (uint32_t bit = 1; bit <= 2; ++bit) {
    if ((attributes.mask & bit) == 0) continue;
    uint32_t reason = WriteOne(FileOf(bit), bit == 1 ? attributes.first : attributes.second);
    if (reason != 0) {
      SetQvMiddleError(MapFailure(reason, bit));
      return false;
    }
  }
  return true;
}

QvSignature* GetSignature(const std::wstring& folder) {
  std::lock_guard<std::mutex> lock(CacheLock());
  auto& cache = Cache();
  auto [it, inserted] = cache.try_emplace(folder);
  if (inserted) {
    it->second.signature = new (std::nothrow) QvSignature(folder);
    if (it->second.signature == nullptr) {
      cache.erase(it);
      SetQvMiddleError(QVMDL_ERR_SIG_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
  }
  ++it->second.references;
  return it->second.signature;
}

void ReleaseSignature(QvSignature* signature) {
  std::lock_guard<std::mutex> lock(CacheLock());
  auto& cache = Cache();
  for (auto it = cache.begin(); it != cache.end(); ++it) {
    if (it->second.signature != signature) continue;
    if (--it->second.references == 0) {
      delete it->second.signature;
      cache.erase(it);
    }
    return;
  }
}

uint32_t SignatureReferences(const std::wstring& folder) {
  std::lock_guard<std::mutex> lock(CacheLock());
  uint32_t references = 0;
  for (const auto& [path, entry] : Cache()) {
    if (qv::EqualsNoCase(path, folder)) references += entry.references;
  }
  return references;
}

bool CreateSignatureFiles(const std::wstring& folder) {
  std::wstring first = folder + L"\\Data1.txt";
  if (!qv::ScopedFile(_wfopen(first.c_str(), L"wb"))) {
    SetQvMiddleError(QVMDL_ERR_SIG_CREATE_DATA1);
    return false;
  }
  if (!qv::ScopedFile(_wfopen((folder + L"\\Data2.txt").c_str(), L"wb"))) {
    DeleteFileW(first.c_str());
    SetQvMiddleError(QVMDL_ERR_SIG_CREATE_DATA2);
    return false;
  }
  return true;
}

bool DeleteFolderTree(const std::wstring& folder) {
  uint32_t code = DeleteTree(folder);
  if (code == QVMDL_SUCCESS) return true;
  SetQvMiddleError(code);
  return false;
}
