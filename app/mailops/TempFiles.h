// The temporary files of the message windows: one folder below the data
// folder, "_TempFiles", with a sub-folder per kind of window ("_V" viewing,
// "_E" editing, "_T" templates, "_PV" the preview pane) and in it a folder
// per part of the message loaded, which the part's file is written into.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/framework/CString.h"

// The data folder ("DataPath", else "\Application Data\QuvoMail") without a
// trailing "\", then "\_TempFiles", then "\" and `sub` when one is given.
void GetAppTempFolderPath(CString& out, LPCWSTR sub);
// The sub-folder the next message window loads into; set by the window
// before it loads.
void SetTempFolderName(LPCWSTR name);
CString GetTempFolderName();
// Makes the sub-folder ("_T" for a template, else the one set) and in it one
// folder per part, "%08X_%d" from the message id and the part's index; each
// path in `paths` ends with "\". A part folder left from an earlier load is
// emptied. False, with what was made in `paths`, when one cannot be made.
bool CreateTempPartFolders(std::vector<CString>* paths, int count, uint32_t messageId, bool isTemplate);
// Deletes the sub-folder with everything in it.
bool RemoveTempFolder(LPCWSTR sub);
