#include "platform/shell/HandOff.h"

#include <algorithm>
#include <cwctype>
#include <string>

#include "platform/base/WideText.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/DevicePath.h"
#include "platform/kernel/Files.h"
#include "platform/shell/HandOffPosix.h"
#include "platform/shell/ShellPaths.h"
#include "platform/shell/ShellSeam.h"
#include "platform/kernel/SystemMessage.h"
#include "platform/ui/WinUser.h"

namespace qv::shell {
namespace {

using shell_seam::HandOff;
using shell_seam::HandOffKind;

// What a desktop viewer may be given: pictures, sounds, films, text and
// documents. Programs, scripts and anything a viewer might run are not.
constexpr const wchar_t* kViewable[] = {L"txt", L"htm", L"html", L"jpg", L"jpeg", L"jpe", L"gif", L"png",
                                        L"bmp", L"pdf", L"wav", L"mp3", L"mid", L"amr", L"3gp", L"3g2",
                                        L"mp4", L"m4a", L"eml"};

bool HasControlOrBlank(std::wstring_view s) {
  return std::any_of(s.begin(), s.end(), [](wchar_t c) { return c <= L' ' || c == 0x7F; });
}

// "scheme:" at the start: a letter, then letters, digits, "+", "-", "." (two
// characters at least, so that "C:" stays a drive).
size_t SchemeLength(std::wstring_view s) {
  const size_t colon = s.find(L':');
  if (colon == std::wstring_view::npos || colon < 2 || !std::iswalpha(static_cast<wint_t>(s[0]))) return 0;
  for (size_t i = 1; i < colon; ++i) {
    const wchar_t c = s[i];
    if (!std::iswalnum(static_cast<wint_t>(c)) && c != L'+' && c != L'-' && c != L'.') return 0;
  }
  return colon;
}

bool LinkAllowed(std::wstring_view url) {
  const std::wstring scheme = Lower(url.substr(0, SchemeLength(url)));
  if (scheme != L"http" && scheme != L"https") return false;
  const std::wstring_view rest = url.substr(scheme.size() + 1);
  return rest.size() > 2 && rest.substr(0, 2) == L"//" && rest[2] != L'/' && !HasControlOrBlank(url) &&
         url.find(L'\\') == std::wstring_view::npos;
}

bool ViewableName(std::wstring_view path) {
  const std::wstring ext = Lower(Extension(path));
  return std::any_of(std::begin(kViewable), std::end(kViewable), [&](const wchar_t* v) { return ext == v; });
}

std::wstring Text(LPCWSTR s) { return s ? std::wstring(s) : std::wstring(); }

// A refusal as the shell reports it: the last error, hInstApp, and a box
// unless the caller asked for none.
BOOL Refuse(SHELLEXECUTEINFO* info, DWORD error, int instApp) {
  info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(instApp));
  if (!(info->fMask & SEE_MASK_FLAG_NO_UI)) {
    const std::wstring text = qv::kernel::SystemErrorText(error);
    MessageBoxW(info->hwnd, text.c_str(), L"エラー", MB_OK | MB_ICONERROR);
  }
  SetLastError(error);
  return FALSE;
}

// The desktop's side of a link or a file.
bool Deliver(const HandOff& h, const std::string& hostTarget) {
  if (shell_seam::Recording()) {
    shell_seam::Record(h);
    return true;
  }
  return StartHostProgram({"xdg-open", hostTarget}, true, false) > 0;
}

}  // namespace
}  // namespace qv::shell

using namespace qv::shell;

BOOL ShellExecuteEx(LPSHELLEXECUTEINFO info) {
  if (!info || (info->cbSize != kDeviceShellExecuteInfoSize && info->cbSize != sizeof(SHELLEXECUTEINFO)) ||
      !info->lpFile || !*info->lpFile) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  info->hProcess = nullptr;
  const std::wstring verb = Lower(Text(info->lpVerb));
  if (!verb.empty() && verb != L"open") return Refuse(info, ERROR_NO_ASSOCIATION, SE_ERR_NOASSOC);
  // Nothing is started where no one could see it; without the caller's
  // leave to fail quietly that is a box, as the device shows one.
  if (!qv::shell_seam::UserInterfacePresent()) return Refuse(info, ERROR_NO_ASSOCIATION, SE_ERR_NOASSOC);

  const std::wstring file = info->lpFile;
  HandOff h{HandOffKind::Link, file, Text(info->lpParameters), verb.empty() ? L"open" : verb};
  std::string hostTarget;
  if (SchemeLength(file) != 0) {
    if (!LinkAllowed(file)) return Refuse(info, ERROR_ACCESS_DENIED, SE_ERR_ACCESSDENIED);
    hostTarget = qv::WideToUtf8(file);
  } else {
    std::wstring path = file;
    if (path[0] != L'\\' && info->lpDirectory && *info->lpDirectory) path = Text(info->lpDirectory) + L"\\" + path;
    std::wstring canonical;
    if (!qv::kernel::ResolveDevicePath(path, &hostTarget, &canonical)) {
      return Refuse(info, ERROR_FILE_NOT_FOUND, SE_ERR_FNF);
    }
    const DWORD attributes = GetFileAttributesW(canonical.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Refuse(info, ERROR_FILE_NOT_FOUND, SE_ERR_FNF);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || !ViewableName(canonical) || !HostFileViewable(hostTarget)) {
      return Refuse(info, ERROR_ACCESS_DENIED, SE_ERR_ACCESSDENIED);
    }
    h.kind = HandOffKind::File;
    h.target = canonical;
  }
  if (!Deliver(h, hostTarget)) return Refuse(info, ERROR_NO_ASSOCIATION, SE_ERR_NOASSOC);
  info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<intptr_t>(33));
  return TRUE;
}

BOOL CreateProcessW(LPCWSTR image, LPCWSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                    LPVOID, LPCWSTR, LPVOID, LPPROCESS_INFORMATION info) {
  if (!image || !*image) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::wstring path = image;
  if (path.find(L'\\') == std::wstring::npos) path = L"\\Windows\\" + path;
  std::string host;
  std::wstring canonical;
  if (!qv::kernel::ResolveDevicePath(path, &host, &canonical)) return FALSE;
  const DWORD attributes = GetFileAttributesW(canonical.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  const std::wstring parameters = commandLine ? commandLine : L"";
  if (qv::shell_seam::Recording()) {
    qv::shell_seam::Record({HandOffKind::Program, canonical, parameters, L""});
    if (info) *info = PROCESS_INFORMATION{};
    return TRUE;
  }
  // The device passes the command line whole; blanks separate arguments
  // on the desktop, as the device's programs split it themselves.
  std::vector<std::string> argv{host};
  std::wstring word;
  for (wchar_t c : parameters + L" ") {
    if (c != L' ' && c != L'\t') {
      word.push_back(c);
    } else if (!word.empty()) {
      argv.push_back(qv::WideToUtf8(word));
      word.clear();
    }
  }
  const pid_t pid = StartHostProgram(argv, false, info != nullptr, qv::DeviceRoot());
  if (pid <= 0) return FALSE;
  if (info) {
    ProcessHandles(pid, &info->hProcess, &info->hThread);
    info->dwProcessId = static_cast<DWORD>(pid);
    info->dwThreadId = static_cast<DWORD>(pid);
  }
  return TRUE;
}
