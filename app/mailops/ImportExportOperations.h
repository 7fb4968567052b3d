// Import of plain mail files into a folder of the current account and
// export of messages as plain mail files. Both run as tasks behind the
// progress window and drive the engine's importer and exporter, which read
// and write the files themselves.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "platform/base/WinTypes.h"
#include "platform/framework/CWnd.h"

// Program error code: the exporter could not be made.
constexpr uint32_t kErrorNoExporter = 20498;
// The most files one import takes.
constexpr int kImportFileLimit = 1000;

// One file an import could not take, with the engine's reason.
struct ImportFailure {
  std::wstring path;
  uint32_t code = 0;
};

// UI entry: the user picks .eml files, which are imported with progress;
// the files that could not be taken are then named in a box of their own.
void ImportMessagesToFolder(CWnd* parent, DWORD folderId);

// Run on the import task's thread, on its own objects of the account the
// task was made for (RunningTaskAccountName). A file
// that cannot be taken (unreadable, empty, not a mail) is set aside and the
// rest go on; the result is false only when nothing was imported of what
// was asked, or a cancel or a store failure stopped the run. `code` is the
// engine's reason (0 when the import was refused because another import or
// export runs).
bool ImportMessages(DWORD folderId, const std::list<std::wstring>& files, HWND owner, uint32_t* code);
// The files the last import set aside, in the order tried; emptied by the read.
std::vector<ImportFailure> TakeImportFailures();

// Run on the export task's thread, on its own objects of the task's account:
// one file per message into `folder`.
// An id that cannot be opened fails the whole export before anything is
// written; `code` is then the store's reason.
bool ExportMessages(const std::vector<unsigned long>& ids, const std::wstring& folder, HWND owner, uint32_t* code);

// Puts the two operations into the task table, leaving the other entries.
void InstallImportExportOperations();
