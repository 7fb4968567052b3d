// The engine-error box: a 32-bit engine or program error code becomes a
// resource string through a constant table of code ranges, shown in an
// error box; rows with the close flag then ask the main window to close.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/framework/CString.h"
#include "platform/ui/WinUser.h"

struct QvMiddleErrorRow {
  uint32_t first;  // first code of the range
  uint32_t last;   // last code, inclusive
  uint32_t stringId;
  uint32_t close;  // 1: the main window is asked to close after the box
};

// Searched in order; every code lies in at most one row.
extern const QvMiddleErrorRow QvMiddleErrorTable[];
extern const size_t QvMiddleErrorRowCount;
// The row holding `code`, or null.
const QvMiddleErrorRow* FindQvMiddleErrorRow(uint32_t code);

// Set by the mail operations before they report a code of the "detail"
// row (string 20134): the id of the string that names the operation.
// Read and cleared by ShowQvMiddleError. Task threads set it while the UI
// thread may read it, hence atomic.
extern std::atomic<UINT> DetailStringId;

// One system folder of the current account as the mail operations give it.
struct QvSystemFolderItem {
  CString displayName;
  int unread = 0;
  int kind = 0;  // 0 to 3
  DWORD folderId = 0;
  bool childUnread = false;
};
// The mail operations install their GetSystemFolderItem here; without one
// the lookup fails (and a box that needs a folder's name is not shown).
using SystemFolderItemLookup = bool (*)(int kind, QvSystemFolderItem* out);
void SetSystemFolderItemLookup(SystemFolderItemLookup lookup);

// Shows the box for `code` over the active window (else `owner`), unless a
// close is pending; `argument` fills the texts that take one (null or
// (LPCWSTR)-1: none). Writes the code as "DetailCode". Returns the row's
// close flag, 0 when no row holds the code.
int ShowQvMiddleError(uint32_t code, HWND owner, LPCWSTR argument);
