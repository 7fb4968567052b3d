#include "app/foundation/filebrowser/FileBrowserRows.h"

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <set>
#include <string_view>

#include "platform/base/WinFormat.h"
#include "platform/kernel/Time.h"
#include "platform/shell/ShellFiles.h"
#include "platform/shell/ShellStrings.h"
#include "platform/shell/ShellUi.h"

namespace {

// The program's string ids of the shell strings and the shell's own ids.
constexpr UINT kShellStringIds[][2] = {{20003, 8452}, {20186, 8451}, {20187, 8453}, {20188, 8454}, {20189, 8809},
                                       {20190, 8754}, {20191, 8755}, {20192, 8733}, {20193, 8730}};
constexpr UINT kKbString = 20192;
constexpr UINT kMbString = 20193;

// The user locale's number format: groups of three and two decimals.
std::wstring LocaleNumber(double value) {
  char digits[64];
  const int written = std::snprintf(digits, sizeof(digits), "%.2f", value);
  const std::string_view s(digits, written > 0 ? std::min(static_cast<size_t>(written), sizeof(digits) - 1) : 0);
  const size_t point = std::min(s.find('.'), s.size());
  std::wstring text;
  for (size_t i = 0; i < s.size(); ++i) {
    if (i > 0 && i < point && (point - i) % 3 == 0) text += L',';
    text += static_cast<wchar_t>(s[i]);
  }
  return text;
}

// The extension of an upper-cased name from its first ".", for the type sort.
std::wstring TypeSortPart(const std::wstring& upperName) {
  const size_t dot = upperName.find(L'.');
  return dot == std::wstring::npos ? std::wstring() : upperName.substr(dot);
}

int Order(const std::wstring& a, const std::wstring& b) { return a < b ? -1 : a > b ? 1 : 0; }

uint64_t TimeValue(const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

}  // namespace

bool IsFolderPath(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.empty() ? L"\\" : path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ShellText(UINT programId) {
  for (const auto& ids : kShellStringIds) {
    if (ids[0] == programId) return qv::shell::LoadShellString(ids[1]);
  }
  return {};
}

std::wstring UpperName(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return s;
}

std::wstring FileSizeText(uint64_t size) {
  const bool mega = size >= 1024000u;
  const double value = static_cast<double>(size) / (mega ? 1048576.0 : 1024.0);
  std::wstring format = ShellText(mega ? kMbString : kKbString);
  const std::wstring number = LocaleNumber(value);
  const size_t at = format.find(L"%s");
  if (at != std::wstring::npos) format.replace(at, 2, number);
  return format;
}

std::wstring FileDateText(const FILETIME& time) {
  SYSTEMTIME t{};
  if (!FileTimeToSystemTime(&time, &t)) return {};
  return qv::FormatW(L"%04d/%02d/%02d %d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

bool FileBrowserRows::IsFolderShortcut(const FileRow& row, std::wstring* target) const {
  const std::wstring upper = UpperName(row.name);
  if (upper.size() < 4 || upper.compare(upper.size() - 4, 4, L".LNK") != 0) return false;
  WCHAR buffer[MAX_PATH] = {};
  if (!SHGetShortcutTarget(PathOf(row).c_str(), buffer, MAX_PATH)) return false;
  std::wstring t = buffer;
  const size_t quote = t.rfind(L'"');
  if (quote != std::wstring::npos && quote > 0) t.resize(quote);
  if (!t.empty() && t.front() == L'"') t.erase(0, 1);
  if (!IsFolderPath(t) || t.empty()) return false;
  if (target) *target = t;
  return true;
}

FileRow* FileBrowserRows::Keep(std::unique_ptr<FileRow> row, const std::function<bool(FileRow&)>& take) {
  if (!take(*row)) return nullptr;
  rows_.push_back(std::move(row));
  return rows_.back().get();
}

void FileBrowserRows::List(const std::wstring& folder, const std::vector<std::wstring>& patterns, bool foldersOnly,
                           bool viewAll, const std::function<bool(FileRow&)>& take) {
  rows_.clear();
  folder_ = folder;
  if (!folder_.empty() && folder_.back() == L'\\') folder_.pop_back();
  const auto one = [&](const WIN32_FIND_DATAW& data) {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) && !viewAll) return;
    auto row = std::make_unique<FileRow>();
    row->name = data.cFileName;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      row->kind = FileRow::kFolder;
      row->time = data.ftCreationTime;
    } else {
      row->kind = FileRow::kFile;
      row->size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      FileTimeToLocalFileTime(&data.ftLastWriteTime, &row->time);
    }
    Keep(std::move(row), take);
  };
  const auto each = [&](const std::wstring& pattern, const auto& found) {
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW((folder_ + L"\\" + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do found(data);
    while (FindNextFileW(find, &data));
    FindClose(find);
  };
  if (foldersOnly) {
    each(L"*.*", [&](const WIN32_FIND_DATAW& d) {
      if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) one(d);
    });
    return;
  }
  const auto folderLike = [&](const WIN32_FIND_DATAW& d) {
    if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return true;
    FileRow probe;
    probe.name = d.cFileName;
    return IsFolderShortcut(probe, nullptr);
  };
  each(L"*.*", [&](const WIN32_FIND_DATAW& d) {
    if (patterns.empty() || folderLike(d)) one(d);
  });
  // A name two patterns both match is listed once.
  std::set<std::wstring> listed;
  for (const std::wstring& pattern : patterns) {
    each(pattern, [&](const WIN32_FIND_DATAW& d) {
      if (folderLike(d) || !listed.insert(UpperName(d.cFileName)).second) return;
      one(d);
    });
  }
}

FileRow* FileBrowserRows::AddFolder(const std::wstring& name, const std::function<bool(FileRow&)>& take) {
  auto row = std::make_unique<FileRow>();
  row->kind = FileRow::kFolder;
  row->name = name;
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW(PathOf(*row).c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    row->time = data.ftCreationTime;
    FindClose(find);
  }
  return Keep(std::move(row), take);
}

const std::wstring& FileBrowserRows::Text(FileRow& row, int column, bool showExtensions) const {
  std::wstring& text = row.texts[column];
  if (row.textsMade[column]) return text;
  row.textsMade[column] = true;
  const bool folder = row.kind == FileRow::kFolder;
  switch (column) {
    case kNameColumn:
      text = row.name;
      if (!folder && !showExtensions) text = text.substr(0, std::min(text.size(), text.rfind(L'.')));
      break;
    case kSizeColumn:
      if (!folder) text = FileSizeText(row.size);
      break;
    case kTypeColumn: {
      SHFILEINFO info{};
      if (SHGetFileInfo(PathOf(row).c_str(), 0, &info, sizeof(info), SHGFI_TYPENAME)) text = info.szTypeName;
      break;
    }
    default:
      if (!folder) text = FileDateText(row.time);
      break;
  }
  return text;
}

int FileBrowserRows::Compare(const FileRow& x, const FileRow& y, int key, bool ascending) {
  if (x.kind != y.kind) return x.kind == FileRow::kFolder ? -1 : 1;  // folders first both ways
  const int sign = ascending ? 1 : -1;
  const std::wstring nx = UpperName(x.name);
  const std::wstring ny = UpperName(y.name);
  const bool folders = x.kind == FileRow::kFolder;
  switch (key) {
    case kBySize:
      if (folders) return Order(nx, ny);
      return sign * (x.size < y.size ? -1 : x.size > y.size ? 1 : 0);
    case kByType: {
      if (folders) return Order(nx, ny);
      const int byType = Order(TypeSortPart(nx), TypeSortPart(ny));  // no extension sorts first ascending
      return sign * (byType != 0 ? byType : Order(nx, ny));
    }
    case kByDate: {
      const uint64_t tx = TimeValue(x.time);
      const uint64_t ty = TimeValue(y.time);
      return sign * (tx < ty ? -1 : tx > ty ? 1 : 0);
    }
    default:
      return sign * Order(nx, ny);
  }
}
