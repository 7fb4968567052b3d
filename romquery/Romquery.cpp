#include "romquery/Romquery.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/base/WinFormat.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Library.h"
#include "platform/pkg/Package.h"
#include "platform/pkg/RomImage.h"

namespace {

using Header = unsigned char[romquery::kRomHeaderSize];
typedef int (*VersionProc)(LPWSTR buffer);

constexpr wchar_t kDevelopVersion[] = L"Develop Version";
constexpr wchar_t kShortFormat[] = L"%c%c%c%c";
constexpr wchar_t kLongFormat[] = L"%c%c%c%c%c%c%c";
constexpr wchar_t kFrom101a[] = L"1.01a\r\n\r\n(バージョン%c%c%c%c からアップデートされています。)";
constexpr wchar_t kFrom103a[] = L"1.03a\r\n\r\n(バージョン%c%c%c%c からアップデートされています。)";
constexpr wchar_t kFrom104a[] = L"1.04a\r\n\r\n(バージョン%c%c%c%c からアップデートされています。)";

// Hands the request to the maker's provider when it is installed and has the
// export; true when it answered.
bool AskProvider(const char* exportName, LPWSTR buffer) {
  HMODULE provider = LoadLibraryW(L"KxRomQuery.dll");
  if (provider == nullptr) return false;
  auto proc = reinterpret_cast<VersionProc>(reinterpret_cast<void (*)()>(GetProcAddressA(provider, exportName)));
  if (proc != nullptr) proc(buffer);
  FreeLibrary(provider);
  return proc != nullptr;
}

// Copies the ROM header with kernel mode on for the copy only. A header that
// cannot be read stays zero, which no mark matches.
void ReadHeader(Header header) {
  std::memset(header, 0, romquery::kRomHeaderSize);
  const BOOL previous = SetKMode(TRUE);
  if (!qv::pkg::ReadKernelMemory(romquery::kRomHeaderAddress, header, romquery::kRomHeaderSize)) {
    std::memset(header, 0, romquery::kRomHeaderSize);
  }
  SetKMode(previous);
}

bool HasMakerMark(const Header header) {
  return std::memcmp(header, romquery::kMakerMark, sizeof romquery::kMakerMark) == 0;
}

void Put(LPWSTR buffer, const std::wstring& text) {
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = 0;
}

// The update pack's number, or false when the pack is not installed or its
// information cannot be read.
bool ReadPackVersion(DWORD* pack) {
  HPACKAGE package = Pkg_OpenPackageByGUID(&romquery::kUpdatePackGuid);
  if (package == nullptr) return false;
  PACKAGEINFO info{};
  info.cbSize = sizeof info;
  const bool ok = Pkg_GetPkgInfo(package, &info) != FALSE;
  Pkg_Close(package);
  if (!ok) return false;
  NKDbgPrintfW(L"Package: PackVer = %d %d %d\r\n", info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
  *pack = info.dwMajorVersion;
  return true;
}

// The ROM version text's format: the version an update pack brought, with a
// note naming the ROM version it was applied over.
const wchar_t* RomFormat(const Header h) {
  DWORD pack = 0;
  if (!ReadPackVersion(&pack)) return kShortFormat;
  if (pack == 2 && h[6] == '1' && h[8] == '0' && h[9] == '2') return kFrom103a;
  if (pack == 3 && h[6] == '1' && h[8] == '0' && (h[9] == '2' || h[9] == '3')) return kFrom104a;
  if (pack == 21 && h[6] == '1' && h[8] == '0' && h[9] == '0' && h[11] == '0' && h[12] == '2') return kFrom101a;
  return kShortFormat;
}

// What both exports do before the version itself: the log line, the
// provider, and the header with the maker's mark. True when `buffer` already
// holds the answer.
bool AnsweredBeforeTheVersion(LPWSTR buffer, const wchar_t* logLine, const char* exportName, Header h) {
  NKDbgPrintfW(logLine);
  if (AskProvider(exportName, buffer)) return true;
  ReadHeader(h);
  if (HasMakerMark(h)) return false;
  Put(buffer, kDevelopVersion);
  return true;
}

}  // namespace

extern "C" {

BOOL DllMain(HANDLE, DWORD, LPVOID) { return TRUE; }

int GetRomVer(LPWSTR buffer) {
  if (buffer == nullptr) return 0;
  Header h;
  if (!AnsweredBeforeTheVersion(buffer, L"Romquery::GetRomVer is called\r\n", "GetRomVer", h)) {
    Put(buffer, qv::FormatW(RomFormat(h), h[6], h[7], h[8], h[9]));
  }
  return 1;
}

int GetFlashVer(LPWSTR buffer) {
  if (buffer == nullptr) return 0;
  Header h;
  if (AnsweredBeforeTheVersion(buffer, L"Romquery::GetFlashVer is called\r\n", "GetFlashVer", h)) return 1;
  if (h[10] == '.') {
    Put(buffer, qv::FormatW(kLongFormat, h[6], h[7], h[8], h[9], h[10], h[11], h[12]));
  } else {
    Put(buffer, qv::FormatW(kShortFormat, h[6], h[7], h[8], h[9]));
  }
  return 1;
}

}  // extern "C"
