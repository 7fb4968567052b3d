// The program's file and folder choosers: fixed titles, start folders and
// filters over the program's own file browser. Paths are at most 260
// characters; each returns true when the user chose.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/WinUser.h"

bool SelectHandwritingSaveFolder(HWND owner, const std::wstring& proposedName, std::wstring* path);
bool SelectAttachmentSaveFolder(HWND owner, const std::wstring& proposedName, std::wstring* path);
bool SelectExportFolder(HWND owner, const std::wstring& startFolder, std::wstring* path);
bool SelectImageSavePath(HWND owner, const std::wstring& proposedName, std::wstring* path);
bool SelectImportFiles(HWND owner, const std::wstring& startFolder, std::vector<std::wstring>* files, int limit);
bool SelectImageFile(HWND owner, std::vector<std::wstring>* files, int limit);
bool SelectAttachmentFiles(HWND owner, std::vector<std::wstring>* files, int limit);

// A filter is pairs of display text and patterns, each ended by a zero, the
// whole by an empty text (as the platform's file dialogs take it).
bool BrowseOpenFile(HWND owner, LPCWSTR title, LPCWSTR startFolder, LPCWSTR filter, std::wstring* path);
// `limit` is the most files that may be chosen; `customData` rides in the request.
bool BrowseOpenFiles(HWND owner, LPCWSTR title, LPCWSTR startFolder, LPCWSTR filter, std::vector<std::wstring>* files,
                     int limit, LPARAM customData);
bool BrowseSaveFile(HWND owner, LPCWSTR title, LPCWSTR startFolder, LPCWSTR filter, std::wstring* path,
                    const std::wstring& proposedName);
bool BrowseFolder(HWND owner, LPCWSTR title, LPCWSTR startFolder, LPCWSTR filter, std::wstring* path);
