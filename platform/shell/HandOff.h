// Hand-offs to other programs: the shell's "open" of a web address or a
// file, and the start of a device program. On the desktop a link or a file
// goes to xdg-open behind allow-lists (links: http and https only; files:
// viewable types only, never a program, never a file with the executable
// bit), and a device program is the host executable of that name below the
// device root. Everything passes ShellSeam, which can record it instead.
#pragma once

#include "platform/base/WinTypes.h"

#define SEE_MASK_NOCLOSEPROCESS 0x00000040u
#define SEE_MASK_FLAG_NO_UI 0x00000400u

// hInstApp: above 32 on success, else one of these.
#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_NOASSOC 31

#ifndef ERROR_NO_ASSOCIATION
#define ERROR_NO_ASSOCIATION 1155L
#endif

// The device's SHELLEXECUTEINFO. Its size there is 60 bytes, which callers
// written for the device put in cbSize; both that and sizeof are taken.
struct SHELLEXECUTEINFO {
  DWORD cbSize;
  ULONG fMask;
  HWND hwnd;
  LPCWSTR lpVerb;
  LPCWSTR lpFile;
  LPCWSTR lpParameters;
  LPCWSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;
  LPVOID lpIDList;
  LPCWSTR lpClass;
  void* hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;
};
typedef SHELLEXECUTEINFO* LPSHELLEXECUTEINFO;
constexpr DWORD kDeviceShellExecuteInfoSize = 60;

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};
typedef PROCESS_INFORMATION* LPPROCESS_INFORMATION;

struct SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

extern "C" {
QV_PLATFORM_API BOOL ShellExecuteEx(LPSHELLEXECUTEINFO info);
// The device's form: the image, a command line of its own (without the
// image's name), everything else unused (null or 0). A bare image name is
// looked for in "\Windows". The process handle is signalled when it ends.
QV_PLATFORM_API BOOL CreateProcessW(LPCWSTR image, LPCWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD flags,
                                    LPVOID environment, LPCWSTR currentDirectory, LPVOID startupInfo,
                                    LPPROCESS_INFORMATION info);
}
