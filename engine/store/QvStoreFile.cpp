#include "engine/store/QvStoreFile.h"

#include "engine/public/foundation/QvMiddleError.h"
#include "engine/foundation/QvSafeReplace.h"
#include "engine/public/store/QvStoreBatch.h"
#include "platform/base/ScopedHandle.h"
#include "platform/kernel/Files.h"

const QvStoreFileCodes QvStoreFile::kFolderList = {
    QVMDL_ERR_STG_FILEIO_FILE_OPEN_FLD,
    QVMDL_ERR_STG_FILEIO_FILE_WRITE_FLD,
    QVMDL_ERR_STG_FILEIO_FILE_READ_FLD,
    QVMDL_ERR_STG_FILE_FMTILLGL_FLD,
    {QVMDL_ERR_STG_SAFESAVE_BACKUP_FLD, QVMDL_ERR_STG_SAFESAVE_DELBAK_FLD, QVMDL_ERR_STG_SAFESAVE_RESTOREBAK_FLD,
     QVMDL_ERR_STG_SAFESAVE_DELTMP_FLD, QVMDL_ERR_STG_SAFESAVE_MOVETMP_FLD, QVMDL_ERR_STG_SAFESAVE_NOFILE_FLD},
};

const QvStoreFileCodes QvStoreFile::kMessageList = {
    QVMDL_ERR_STG_FILEIO_FILE_OPEN_MSG,
    QVMDL_ERR_STG_FILEIO_FILE_WRITE_MSG,
    QVMDL_ERR_STG_FILEIO_FILE_READ_MSG,
    QVMDL_ERR_STG_FILE_FMTILLGL_MSG,
    {QVMDL_ERR_STG_SAFESAVE_BACKUP_MSG, QVMDL_ERR_STG_SAFESAVE_DELBAK_MSG, QVMDL_ERR_STG_SAFESAVE_RESTOREBAK_MSG,
     QVMDL_ERR_STG_SAFESAVE_DELTMP_MSG, QVMDL_ERR_STG_SAFESAVE_MOVETMP_MSG, QVMDL_ERR_STG_SAFESAVE_NOFILE_MSG},
};

const QvStoreFileCodes QvStoreFile::kHeaderFile = {
    QVMDL_ERR_STG_FILEIO_FILE_OPEN_FDB,
    QVMDL_ERR_STG_FILEIO_FILE_WRITE_FDB,
    QVMDL_ERR_STG_FILEIO_FILE_READ_FDB,
    QVMDL_ERR_STG_FILE_FMTILLGL_FDB,
    {QVMDL_ERR_STG_SAFESAVE_BACKUP_FDB, QVMDL_ERR_STG_SAFESAVE_DELBAK_FDB, QVMDL_ERR_STG_SAFESAVE_RESTOREBAK_FDB,
     QVMDL_ERR_STG_SAFESAVE_DELTMP_FDB, QVMDL_ERR_STG_SAFESAVE_MOVETMP_FDB, QVMDL_ERR_STG_SAFESAVE_NOFILE_FDB},
};

uint32_t QvStoreFile::MapSafeSave(uint32_t code, const QvStoreFileCodes& codes) {
  if (code >= QVMDL_ERR_SAFESAVE_BACKUP && code <= QVMDL_ERR_SAFESAVE_NOFILE) {
    return codes.safeSave[code - QVMDL_ERR_SAFESAVE_BACKUP];
  }
  return code;
}

uint32_t QvStoreFile::FailureCode(uint32_t ownCode) {
  return GetLastError() == ERROR_DISK_FULL ? QVMDL_ERR_STG_DISK_FULL : ownCode;
}

// Settling may put a copy in the file's place, and a read afresh is of the
// file by its name: a handle a store batch kept of it goes first.
uint32_t QvStoreFile::SettleForRead(const std::wstring& path, const QvStoreFileCodes& codes) {
  QvStoreBatch::DropFile(path);
  uint32_t code = RestoreInterruptedFile(path, TempOf(path));
  if (code == QVMDL_SUCCESS || code == QVMDL_ERR_SAFESAVE_NOFILE) return QVMDL_SUCCESS;
  return MapSafeSave(code, codes);
}

uint32_t QvStoreFile::SettleForWrite(const std::wstring& path, const QvStoreFileCodes& codes) {
  QvStoreBatch::DropFile(path);
  uint32_t code = RestoreInterruptedFile(path, TempOf(path));
  return code == QVMDL_SUCCESS ? code : MapSafeSave(code, codes);
}

uint32_t QvStoreFile::ReadAll(const std::wstring& path, const QvStoreFileCodes& codes, size_t limit,
                              std::string* bytes) {
  bytes->clear();
  qv::ScopedFile stream(_wfopen(path.c_str(), L"rb"));
  if (!stream) return FailureCode(codes.open);
  uint32_t result = QVMDL_SUCCESS;
  char chunk[8192];
  for (;;) {
    size_t got = fread(chunk, 1, sizeof chunk, stream.get());
    if (got > 0) {
      if (bytes->size() + got > limit) {
        result = codes.format;
        break;
      }
      bytes->append(chunk, got);
    }
    if (got < sizeof chunk) {
      if (ferror(stream.get())) result = codes.read;
      break;
    }
  }
  if (result != QVMDL_SUCCESS) bytes->clear();
  return result;
}

uint32_t QvStoreFile::ReadSettled(const std::wstring& path, const QvStoreFileCodes& codes, size_t limit,
                                  std::string* bytes) {
  uint32_t code = SettleForRead(path, codes);
  return code == QVMDL_SUCCESS ? ReadAll(path, codes, limit, bytes) : code;
}

bool QvStoreFile::WriteAll(FILE* stream, const void* data, size_t size) {
  if (size > 0 && fwrite(data, 1, size, stream) != size) return false;
  return fflush(stream) == 0;
}

uint32_t QvStoreFile::Commit(const std::wstring& path, const QvStoreFileCodes& codes) {
  QvStoreBatch::DropFile(path);
  std::wstring temp = TempOf(path);
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return MoveFileW(temp.c_str(), path.c_str()) ? QVMDL_SUCCESS : codes.safeSave[4];
  }
  uint32_t code = ReplaceFileWithTemp(path, temp);
  return code == QVMDL_SUCCESS ? code : MapSafeSave(code, codes);
}

// The copy is synced before it replaces the list: a rename can reach the
// disk before the data it names, and a power cut would then leave a torn
// list in place of a whole one.
uint32_t QvStoreFile::WriteTemp(const std::wstring& path, const QvStoreFileCodes& codes, std::string_view bytes) {
  std::wstring temp = TempOf(path);
  qv::ScopedHandle file(
      CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return FailureCode(codes.open);
  DWORD written = 0;
  const bool ok = bytes.size() <= 0x7FFFFFFF &&
                  (bytes.empty() || (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                               nullptr) &&
                                     written == bytes.size())) &&
                  FlushFileBuffers(file.get());
  const uint32_t failure = ok ? QVMDL_SUCCESS : FailureCode(codes.write);
  file.reset();
  if (failure != QVMDL_SUCCESS) DeleteFileW(temp.c_str());
  return failure;
}

uint32_t QvStoreFile::Rewrite(const std::wstring& path, const QvStoreFileCodes& codes, std::string_view bytes) {
  uint32_t code = SettleForWrite(path, codes);
  if (code == QVMDL_SUCCESS) code = WriteTemp(path, codes, bytes);
  if (code != QVMDL_SUCCESS) return code;
  code = ReplaceFileWithTemp(path, TempOf(path));
  return code == QVMDL_SUCCESS ? code : MapSafeSave(code, codes);
}

uint32_t QvStoreFile::WriteInPlace(const std::wstring& path, const QvStoreFileCodes& codes, size_t offset,
                                   std::string_view bytes, bool append) {
  // Under a store batch the file stays open from one message to the next,
  // and a line appended after the last needs no move of its file pointer.
  int64_t* keptAt = nullptr;
  HANDLE handle = static_cast<HANDLE>(QvStoreBatch::KeptFile(path, &keptAt));
  qv::ScopedHandle owned;
  if (handle == nullptr) {
    owned.reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!owned.is_valid()) return FailureCode(codes.open);
    handle = owned.get();
  }
  if (offset > 0x7FFFFFFF || bytes.size() > 0x7FFFFFFF) return codes.write;
  const LONG at = static_cast<LONG>(offset);
  DWORD written = 0;
  const bool there = keptAt != nullptr && *keptAt == static_cast<int64_t>(offset);
  if (keptAt != nullptr) *keptAt = -1;
  if ((there || SetFilePointer(handle, at, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER) &&
      WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size()) {
    if (keptAt != nullptr) *keptAt = static_cast<int64_t>(offset + bytes.size());
    return QVMDL_SUCCESS;
  }
  const uint32_t code = FailureCode(codes.write);
  if (append && SetFilePointer(handle, at, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER) {
    SetEndOfFile(handle);
  }
  return code;
}
