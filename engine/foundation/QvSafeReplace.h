// The safe replacement of a rewritten file: every file a user's data depends
// on is written to a "_tmp" copy and committed through a "_bak" backup, so a
// reader finds the old or the new file whole after a cut at any moment.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/base/WinTypes.h"

// Settles what an interrupted save of `target` left behind ("_tmp" copy,
// "_bak" backup). Returns an engine code (0x2000000 on success); the error
// word is not touched.
uint32_t RestoreInterruptedFile(const std::wstring& target, const std::wstring& temp);
// Makes the closed temporary copy the target through a backup. Returns a code.
uint32_t ReplaceFileWithTemp(const std::wstring& target, const std::wstring& temp);

// True when the file exists, even while another handle holds it open.
bool FileIsPresent(const std::wstring& path);
// Runs one move, delete or replace step; while it fails because the file is
// busy (sharing violation) it is tried again up to 100 more times, 1 ms apart,
// printing `retryLine` (a format with the retry number) before each pause.
bool RetryWhileBusy(const std::function<BOOL()>& step, const wchar_t* retryLine);

// A small file rewritten whole: written to its "_tmp" copy, flushed to the
// disk and committed. Returns the Win32 error of a failed open or write (the
// copy is then deleted and the file left as it was), or 0; a failed commit
// gives ERROR_WRITE_FAULT.
DWORD SafeWriteWholeFile(const std::wstring& path, const std::string& bytes);
// Settles an interrupted save, then reads the whole file. False when neither
// the file nor a copy to settle from is there, or it cannot be read; `error`
// (may be null) then holds the Win32 error.
bool SafeReadWholeFile(const std::wstring& path, std::string* bytes, DWORD* error);
