// The shell's file services: type names and icons of files (our own icon
// set, Japanese type names), the device's special folders, shortcuts (the
// device's "<length>#<target>" files) and copying through the shell.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/WinTypes.h"
#include "platform/gdi/GdiTypes.h"

#define SHGFI_LARGEICON 0x000000000u
#define SHGFI_SMALLICON 0x000000001u
#define SHGFI_USEFILEATTRIBUTES 0x000000010u
#define SHGFI_ICON 0x000000100u
#define SHGFI_DISPLAYNAME 0x000000200u
#define SHGFI_TYPENAME 0x000000400u
#define SHGFI_ATTRIBUTES 0x000000800u
#define SHGFI_SYSICONINDEX 0x000004000u

#define SFGAO_LINK 0x00010000u
#define SFGAO_READONLY 0x00040000u
#define SFGAO_FOLDER 0x20000000u

struct SHFILEINFO {
  HICON hIcon;
  int iIcon;
  DWORD dwAttributes;
  WCHAR szDisplayName[260];
  WCHAR szTypeName[80];
};

#define CSIDL_DESKTOP 0x0000
#define CSIDL_PROGRAMS 0x0002
#define CSIDL_PERSONAL 0x0005
#define CSIDL_FAVORITES 0x0006
#define CSIDL_STARTUP 0x0007
#define CSIDL_RECENT 0x0008
#define CSIDL_STARTMENU 0x000b
#define CSIDL_MYMUSIC 0x000d
#define CSIDL_MYVIDEO 0x000e
#define CSIDL_DESKTOPDIRECTORY 0x0010
#define CSIDL_FONTS 0x0014
#define CSIDL_APPDATA 0x001a
#define CSIDL_WINDOWS 0x0024
#define CSIDL_PROGRAM_FILES 0x0026
#define CSIDL_MYPICTURES 0x0027

#define FO_MOVE 0x0001u
#define FO_COPY 0x0002u
#define FO_DELETE 0x0003u
#define FO_RENAME 0x0004u
#define FOF_SILENT 0x0004u
#define FOF_RENAMEONCOLLISION 0x0008u
#define FOF_NOCONFIRMATION 0x0010u
#define FOF_NOERRORUI 0x0400u

struct SHFILEOPSTRUCTW {
  HWND hwnd;
  UINT wFunc;
  LPCWSTR pFrom;  // names, each ended by a zero, the list by a second one
  LPCWSTR pTo;
  WORD fFlags;
  BOOL fAnyOperationsAborted;
  LPVOID hNameMappings;
  LPCWSTR lpszProgressTitle;
};
typedef SHFILEOPSTRUCTW* LPSHFILEOPSTRUCTW;

extern "C" {
// The file's display name, type name, attributes and index in the shell's
// icon set; with SHGFI_SYSICONINDEX returns that set (HIMAGELIST), else
// nonzero. With SHGFI_USEFILEATTRIBUTES the file need not exist; with
// SHGFI_ICON hIcon is a new icon of the set that the caller destroys.
QV_PLATFORM_API ULONG_PTR SHGetFileInfo(LPCWSTR path, DWORD attributes, SHFILEINFO* info, UINT size, UINT flags);
QV_PLATFORM_API BOOL SHGetSpecialFolderPath(HWND owner, LPWSTR path, int folder, BOOL create);
// The target a shortcut file names (its text after "#", as stored).
QV_PLATFORM_API BOOL SHGetShortcutTarget(LPCWSTR shortcut, LPWSTR target, int size);
// Writes a new shortcut file; FALSE when one of that name exists.
QV_PLATFORM_API BOOL SHCreateShortcut(LPWSTR shortcut, LPWSTR target);
// FO_COPY of files and folders (into an existing folder, or to a new name
// for a single source). 0, or the error that stopped it.
QV_PLATFORM_API int SHFileOperationW(LPSHFILEOPSTRUCTW operation);
}

namespace qv::shell {
// The target of a shortcut file's bytes; false for bytes that are none.
QV_PLATFORM_API bool ParseShortcut(std::string_view bytes, std::wstring* target);
}  // namespace qv::shell
