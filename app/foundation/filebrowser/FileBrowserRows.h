// The file browser's rows: the entries of the folder it shows, listed by
// the request's patterns, with the texts of the details view and the order
// of each sort key. Knows no window: the list view shows the rows by their
// pointers, which stay valid until the next listing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/Files.h"

// One entry of the folder.
struct FileRow {
  enum Kind : DWORD { kFolder = 1, kFile = 2 };
  DWORD kind = kFile;
  std::wstring name;
  std::wstring iconKey;  // worked out when first drawn as a thumbnail
  bool iconKeyMade = false;
  FILETIME time{};
  uint64_t size = 0;
  bool picture = false;
  int smallIcon = -1;
  bool smallIconMade = false;
  bool textsMade[4] = {};
  std::wstring texts[4];  // display name, size, type, date
};

class FileBrowserRows {
 public:
  enum Column : int { kNameColumn = 0, kSizeColumn = 1, kTypeColumn = 2, kDateColumn = 3 };
  enum SortKey : int { kByName = 0, kByType = 1, kBySize = 2, kByDate = 3 };

  // The folder the rows come from ("" or "\" is the device's root).
  const std::wstring& Folder() const { return folder_; }
  bool AtRoot() const { return folder_.empty() || folder_ == L"\\"; }
  std::wstring PathOf(const FileRow& row) const { return folder_ + L"\\" + row.name; }
  // A shortcut (".lnk") to a folder, and where it leads.
  bool IsFolderShortcut(const FileRow& row, std::wstring* target) const;

  // Forgets the rows and lists `folder`: only folders, or the folders (and
  // folder shortcuts) and the files matching one of `patterns` (all files
  // when there are none), each name once; hidden ones only with `viewAll`.
  // `take` gets each new row in turn and may refuse it (false: dropped).
  void List(const std::wstring& folder, const std::vector<std::wstring>& patterns, bool foldersOnly, bool viewAll,
            const std::function<bool(FileRow&)>& take);
  // Adds the folder `name` just made in the current folder.
  FileRow* AddFolder(const std::wstring& name, const std::function<bool(FileRow&)>& take);
  void Clear() { rows_.clear(); }
  size_t Count() const { return rows_.size(); }

  // The text of `column` for the details view, made once per row.
  const std::wstring& Text(FileRow& row, int column, bool showExtensions) const;
  // The order of two rows: folders first both ways, then by the key.
  static int Compare(const FileRow& a, const FileRow& b, int key, bool ascending);

 private:
  FileRow* Keep(std::unique_ptr<FileRow> row, const std::function<bool(FileRow&)>& take);

  std::wstring folder_;
  std::vector<std::unique_ptr<FileRow>> rows_;
};

// Upper case, as names compare on the device.
std::wstring UpperName(std::wstring s);
// Sizes of 1,024,000 bytes and more in MB, smaller ones in KB, from all 64 bits.
std::wstring FileSizeText(uint64_t size);
// "2026/12/09 7:05:03".
std::wstring FileDateText(const FILETIME& time);
// Whether a device path names a folder ("" is the root).
bool IsFolderPath(const std::wstring& path);
// A program string of the shell's own strings.
std::wstring ShellText(UINT programId);
