// The device file system, Win32 semantics: share modes are enforced between
// open handles of this process (a conflicting open fails with 32); MoveFileW
// never replaces an existing file (183); DeleteAndRenameFile replaces in one
// step; FindFirstFileW never returns "." or ".."; walks never follow links; a
// full disk is 112. Every call sets GetLastError on failure.
#pragma once

#include <cstdio>

#include "platform/base/WinTypes.h"

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u

#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define INVALID_FILE_SIZE 0xFFFFFFFFu
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu

#define MOVEFILE_REPLACE_EXISTING 0x00000001u
#define MOVEFILE_WRITE_THROUGH 0x00000008u

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2

#define PAGE_READONLY 0x02u
#define PAGE_READWRITE 0x04u
#define FILE_MAP_WRITE 0x0002u
#define FILE_MAP_READ 0x0004u
#define FILE_MAP_ALL_ACCESS 0x000F001Fu

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwOID;
  WCHAR cFileName[MAX_PATH];
};
typedef WIN32_FIND_DATAW* LPWIN32_FIND_DATAW;

struct SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

extern "C" {

QV_PLATFORM_API HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES sa,
                                   DWORD creation, DWORD flags, HANDLE templateFile);
QV_PLATFORM_API BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPVOID overlapped);
QV_PLATFORM_API BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPVOID overlapped);
QV_PLATFORM_API DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
QV_PLATFORM_API BOOL SetEndOfFile(HANDLE file);
QV_PLATFORM_API DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
// Any handle of the file may flush it, one reopened without access too.
QV_PLATFORM_API BOOL FlushFileBuffers(HANDLE file);
// A second handle on the open file. Access 0 gives one that only flushes,
// measures and closes: it holds no claim against other opens, so the file
// may meanwhile be opened in any mode, replaced or deleted.
QV_PLATFORM_API HANDLE ReOpenFile(HANDLE file, DWORD access, DWORD shareMode, DWORD flags);
QV_PLATFORM_API BOOL GetFileTime(HANDLE file, LPFILETIME created, LPFILETIME accessed, LPFILETIME written);
// Closes any kernel object: files, mappings, finds excepted (FindClose).
QV_PLATFORM_API BOOL CloseHandle(HANDLE object);

QV_PLATFORM_API BOOL MoveFileW(LPCWSTR from, LPCWSTR to);
// Replaces `to` with `from` in one step; `to` need not exist.
QV_PLATFORM_API BOOL DeleteAndRenameFile(LPCWSTR to, LPCWSTR from);
// MOVEFILE_REPLACE_EXISTING replaces an existing file `to` in one step;
// MOVEFILE_WRITE_THROUGH returns only once the move is on disk.
QV_PLATFORM_API BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags);
QV_PLATFORM_API BOOL CopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists);
QV_PLATFORM_API BOOL DeleteFileW(LPCWSTR path);
QV_PLATFORM_API BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES sa);
QV_PLATFORM_API BOOL RemoveDirectoryW(LPCWSTR path);
QV_PLATFORM_API DWORD GetFileAttributesW(LPCWSTR path);
QV_PLATFORM_API BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes);

// The device's temporary folder "\Temp\" (made when missing, as the device
// image always holds it): its length, or the room needed with the
// terminator when `chars` is too small.
QV_PLATFORM_API DWORD GetTempPathW(DWORD chars, LPWSTR out);

QV_PLATFORM_API HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data);
QV_PLATFORM_API BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data);
QV_PLATFORM_API BOOL FindClose(HANDLE find);

// `directory` may be any path on the volume (NULL: the root).
QV_PLATFORM_API BOOL GetDiskFreeSpaceExW(LPCWSTR directory, PULARGE_INTEGER freeToCaller, PULARGE_INTEGER total,
                                         PULARGE_INTEGER totalFree);

// Memory-mapped files. CreateFileForMappingW is the device's variant of
// CreateFileW for files that will be mapped.
QV_PLATFORM_API HANDLE CreateFileForMappingW(LPCWSTR path, DWORD access, DWORD shareMode,
                                             LPSECURITY_ATTRIBUTES sa, DWORD creation, DWORD flags,
                                             HANDLE templateFile);
QV_PLATFORM_API HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES sa, DWORD protect, DWORD sizeHigh,
                                          DWORD sizeLow, LPCWSTR name);
QV_PLATFORM_API LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow,
                                     size_t bytes);
QV_PLATFORM_API BOOL UnmapViewOfFile(LPCVOID view);
// Writes the view's changed pages to the file on disk and waits for that; as
// on the device it flushes neither the disk's own cache nor the file's
// metadata, which FlushFileBuffers (of any file on the volume) then does.
QV_PLATFORM_API BOOL FlushViewOfFile(LPCVOID view, size_t bytes);

// C streams over device paths. Mode as fopen ("rb", "wb", "ab", "r+b"...,
// "t" and "b" accepted, no newline translation). Streams take no part in
// share-mode checks (the C library opens with full sharing), but injected
// faults apply: an injected disk-full makes writes fail with 112.
QV_PLATFORM_API FILE* _wfopen(LPCWSTR path, LPCWSTR mode);
QV_PLATFORM_API FILE* qv_fopen(LPCSTR devicePath, LPCSTR mode);

}  // extern "C"

namespace qv {

// Starts writing the file's changed pages to the disk and returns without
// waiting. It promises nothing lasting (FlushFileBuffers still must follow);
// it lets the flushes of several files that were all started first wait for
// one write and one journal commit together instead of one after another.
// False when the volume cannot be asked to.
QV_PLATFORM_API bool StartFileWriteback(HANDLE file);
// Makes `file` a handle that only flushes, measures and closes, as ReOpenFile
// with access 0 gives one, without a second handle: its share claim goes at
// once, so the file may be opened in any mode, replaced or deleted while it
// waits for its flush. False (error 6) for a handle that is not a file's.
QV_PLATFORM_API bool KeepOnlyForFlush(HANDLE file);

// Waits until the names in the folder `path` (files made, removed or moved
// there) are on the disk, as a move written through does for its folders;
// the files' own bytes need FlushFileBuffers. Far cheaper than a flush of the
// whole volume, which also waits for everything else written anywhere.
// False, with the last error set, when the folder is not there or the disk
// failed.
QV_PLATFORM_API bool FlushFolder(LPCWSTR path);

}  // namespace qv
