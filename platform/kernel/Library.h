// Libraries loaded by device name ("schannel.dll", "\Windows\KxPhoneStatus.dll",
// "QvMailRes.dll"...). A name maps to a shared object: first a file of that
// name (with ".so" in place of ".dll") in the device root's "Windows" folder,
// then a stand-in registered by the build (libNAME.so beside the program).
#pragma once

#include <cstddef>
#include <string>

#include "platform/base/WinTypes.h"

extern "C" {

QV_PLATFORM_API HMODULE LoadLibraryW(LPCWSTR name);
QV_PLATFORM_API BOOL FreeLibrary(HMODULE module);
// By name; a name whose pointer value is below 0x10000 is an ordinal and is
// looked up as "ordinal_N".
QV_PLATFORM_API FARPROC GetProcAddressW(HMODULE module, LPCWSTR name);
QV_PLATFORM_API FARPROC GetProcAddressA(HMODULE module, LPCSTR name);
QV_PLATFORM_API DWORD GetModuleFileNameW(HMODULE module, LPWSTR out, DWORD size);

}  // extern "C"

namespace qv {
// Registers an in-process provider for a device library name: LoadLibraryW of
// that name then resolves symbols in the given dlopen handle or in the
// process itself when `soPath` is empty. Used for platform libraries such as
// "schannel.dll" that this layer implements itself.
QV_PLATFORM_API void RegisterLibraryAlias(LPCWSTR deviceName, const char* soPath);
// Reads a data file that ships with the program (the device's package put
// such files in the program's own folder) from beside the running program's
// file on the host, so that a program started from its build folder, outside
// the device root, finds its files as an installed one does. `name` is a bare
// file name; at most `limit` bytes are read. False, with the last error set,
// when there is no such file (2) or the name is not a bare one (123).
QV_PLATFORM_API bool ReadProgramFile(LPCWSTR name, std::string* bytes, size_t limit);
}  // namespace qv
