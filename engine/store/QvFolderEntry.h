// The list of a folder's child folders, "<base>.fld": one line per child,
// "%04X\t%s\r\n" of (id, name) with the name in CP932. Each operation works
// on the file as it stands, so that other processes' changes are kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/public/foundation/QvNamedMutex.h"

struct FolderEntryRecord {
  uint32_t mask = 0;  // bit 0: the name is given
  uint32_t id = 0;
  std::wstring name;
};

class QvFolderEntry {
 public:
  QvFolderEntry();
  QvFolderEntry(const QvFolderEntry&) = delete;
  QvFolderEntry& operator=(const QvFolderEntry&) = delete;

  uint32_t ReadFile(const std::wstring& path);
  bool Contains(uint32_t id);
  bool Get(uint32_t id, FolderEntryRecord* out);
  uint32_t Update(uint32_t id, const FolderEntryRecord& attributes);
  bool GetIds(std::vector<uint32_t>* ids);
  uint32_t Remove(uint32_t id);
  uint32_t Add(const FolderEntryRecord& record);
  uint32_t WriteFile();

  // Longest name in CP932 bytes that a line holds ("XXXX\t" + name + CR LF
  // within the reader's 260-byte buffer).
  static constexpr size_t kMaxNameBytes = 252;
  // The file's bytes for a list; false when a name cannot be stored.
  static bool Format(const std::vector<FolderEntryRecord>& entries, std::string* bytes);
  // Parses a whole file; entries before a format error are kept.
  static uint32_t Parse(const std::string& bytes, std::vector<FolderEntryRecord>* entries);
  // Whether a name survives a write and a read unchanged in shape.
  static bool IsStorableName(const std::wstring& name);

  const std::vector<FolderEntryRecord>& Entries() const { return entries_; }

 private:
  uint32_t Load();
  uint32_t Store();

  std::wstring path_;
  std::vector<FolderEntryRecord> entries_;
  QvNamedMutex mutex_;
};
