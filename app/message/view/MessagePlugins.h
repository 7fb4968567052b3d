// The message-window plug-ins: libraries outside this system, loaded by
// their full path only, that export "ExecutePlugIn". The program hands a
// plug-in the page's window and three wide texts, in this order: the
// message's subject, its body and the body's selection.
#pragma once

#include <string>

#include "platform/ui/WinUser.h"

struct QvPluginRecord {
  const wchar_t* subject;
  const wchar_t* body;
  const wchar_t* selection;
};
using ExecutePlugInProc = void (*)(HWND page, QvPluginRecord* record);

// Loads the library at `path` (a full device path, never a bare name that a
// search could resolve elsewhere), calls "ExecutePlugIn" and frees it. False
// when it did not load, lacks the function, or failed inside (caught).
bool RunMessagePlugin(const std::wstring& path, HWND page, const std::wstring& subject, const std::wstring& body,
                      const std::wstring& selection);
// Whether the library at `path` loads (it is freed again at once).
bool PluginLoads(const std::wstring& path);
