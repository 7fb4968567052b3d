// Steps every folder list and header file shares: settling what an
// interrupted save left, reading a file whole, and rewriting it through its
// "_tmp" copy and the safe-replace commit. Each file kind reports with codes
// of its own; the safe-replace results are mapped into them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "engine/public/foundation/QvMiddleError.h"
#include "platform/kernel/Files.h"

struct QvStoreFileCodes {
  uint32_t open;
  uint32_t write;
  uint32_t read;
  uint32_t format;
  // The six safe-replace results, 0x2004708 to 0x200470D, in that order.
  uint32_t safeSave[6];
};

class QvStoreFile {
 public:
  static const QvStoreFileCodes kFolderList;
  static const QvStoreFileCodes kMessageList;
  static const QvStoreFileCodes kHeaderFile;

  static std::wstring TempOf(const std::wstring& path) { return path + L"_tmp"; }
  // A safe-replace result in the codes of one file kind; others pass unchanged.
  static uint32_t MapSafeSave(uint32_t code, const QvStoreFileCodes& codes);
  // The code of a failed open or write: disk full (112) or the kind's own.
  static uint32_t FailureCode(uint32_t ownCode);

  // Settles an interrupted save before a read. A file that is not there at
  // all is left to the open, which reports it with the kind's open code.
  static uint32_t SettleForRead(const std::wstring& path, const QvStoreFileCodes& codes);
  // Settles before a rewrite; every failure, a missing file too, is mapped.
  static uint32_t SettleForWrite(const std::wstring& path, const QvStoreFileCodes& codes);

  // Reads the whole file (at most `limit` bytes; a longer one is a format error).
  static uint32_t ReadAll(const std::wstring& path, const QvStoreFileCodes& codes, size_t limit, std::string* bytes);
  // SettleForRead, then ReadAll.
  static uint32_t ReadSettled(const std::wstring& path, const QvStoreFileCodes& codes, size_t limit,
                              std::string* bytes);
  // Writes `bytes` to the "_tmp" copy; a failed write deletes the copy.
  static uint32_t WriteTemp(const std::wstring& path, const QvStoreFileCodes& codes, std::string_view bytes);
  // Settles, writes `bytes` to the "_tmp" copy and commits it. A failed write
  // deletes the copy and leaves the file as it was.
  static uint32_t Rewrite(const std::wstring& path, const QvStoreFileCodes& codes, std::string_view bytes);
  // Writes `bytes` into the settled file at `offset`. An append (`offset` at
  // the end) that fails is cut back, so the file keeps only whole records.
  static uint32_t WriteInPlace(const std::wstring& path, const QvStoreFileCodes& codes, size_t offset,
                               std::string_view bytes, bool append);
  // Makes a closed "_tmp" copy the file: through the backup when the file is
  // there, by a plain move when it is not.
  static uint32_t Commit(const std::wstring& path, const QvStoreFileCodes& codes);

  // A folder list read whole and parsed. On a failed parse the entries read
  // before the fault replace `entries` only when `keepPartial` is set.
  template <typename Record>
  static uint32_t LoadList(const std::wstring& path, const QvStoreFileCodes& codes,
                           uint32_t (*parse)(const std::string&, std::vector<Record>*), std::vector<Record>* entries,
                           bool keepPartial) {
    if (path.empty()) return QVMDL_SUCCESS;
    std::string bytes;
    uint32_t code = ReadSettled(path, codes, kListLimit, &bytes);
    if (code != QVMDL_SUCCESS) return code;
    std::vector<Record> parsed;
    code = parse(bytes, &parsed);
    if (code == QVMDL_SUCCESS || keepPartial) entries->swap(parsed);
    return code;
  }
  // A folder list rewritten whole; a record that cannot be stored is refused
  // with the kind's write code before anything is written.
  template <typename Record>
  static uint32_t StoreList(const std::wstring& path, const QvStoreFileCodes& codes,
                            bool (*format)(const std::vector<Record>&, std::string*),
                            const std::vector<Record>& entries) {
    std::string bytes;
    if (!format(entries, &bytes)) return codes.write;
    return Rewrite(path, codes, bytes);
  }
  // A folder holds at most 1000 messages and a few dozen children; a list
  // far beyond that is not one of ours.
  static constexpr size_t kListLimit = 4 * 1024 * 1024;

  // Writes all bytes and flushes; false on any short write.
  static bool WriteAll(FILE* stream, const void* data, size_t size);
};
