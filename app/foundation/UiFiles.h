// Small file helpers of the windows: lists of lines kept in a text file,
// the temporary folder, and the deletion of a folder's contents.
#pragma once

#include <cstdint>

#include "platform/framework/Containers.h"
#include "platform/framework/CString.h"

// A list line longer than a path can be is no entry.
constexpr int kMaxListLine = 260;

// One line a string, in the device's code page with CR LF ends, as a text
// stream writes them. False when the file cannot be opened, a string has a
// character the code page cannot hold, or a write fails.
bool SaveStringListFile(LPCWSTR path, const CStringArray& list);
// Replaces `list` by the file's lines (CR LF or LF cut). A line longer than
// kMaxListLine characters is skipped whole. False when the file cannot be
// opened or a read fails.
bool LoadStringListFile(LPCWSTR path, CStringArray& list);

// The platform's temporary folder, ending in "\".
bool GetTempFolderPath(CString& out);

constexpr uint32_t kFolderTreeDeleted = 0x2000000;
constexpr uint32_t kFolderTreeFileKept = 0x2000042;
constexpr uint32_t kFolderTreeFolderKept = 0x2000043;
// Deletes everything below `folder`, read-only files too, going on past a
// failure; the first failure's code, else kFolderTreeDeleted.
uint32_t DeleteFolderTree(LPCWSTR folder);
// Also removes the folder when its contents went; true when it did.
bool DeleteLocalFolderTree(LPCWSTR folder);
