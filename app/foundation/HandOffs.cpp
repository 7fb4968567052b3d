#include "app/foundation/HandOffs.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "app/foundation/MessageBoxes.h"
#include "app/foundation/QvMiddleError.h"
#include "engine/public/foundation/QvPlatformHooks.h"
#include "platform/base/WinFormat.h"
#include "platform/codepage/CodePage.h"
#include "platform/framework/AfxResource.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Resource.h"
#include "platform/kernel/SystemMessage.h"
#include "platform/registry/Registry.h"
#include "platform/shell/HandOff.h"
#include "platform/shell/ShellFiles.h"
#include "platform/base/ScopedHandle.h"

namespace {

constexpr UINT kStartFailed = 20052;      // "%s" the system's text
constexpr UINT kShortcutAdded = 20002;
constexpr UINT kOverwriteShortcut = 20055;
constexpr UINT kBookmarkAdded = 20031;
constexpr UINT kNoBrowser = 20117;
constexpr UINT kBookmarkNotAdded = 20118;
constexpr uint32_t kNoMemory = 0x5003;  // the program's own out-of-memory code
constexpr size_t kMaxDialString = 64;

bool AnsiText(const std::wstring& wide, std::string* out) {
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (n < 0 || (n == 0 && !wide.empty())) return false;
  out->assign(static_cast<size_t>(n), '\0');
  return WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), out->data(), n, nullptr, nullptr) == n;
}

void CloseProcess(PROCESS_INFORMATION& pi) {
  qv::ScopedHandle thread(pi.hThread), process(pi.hProcess);
}

}  // namespace

bool IsDialString(const std::wstring& number) {
  return !number.empty() && number.size() <= kMaxDialString &&
         std::all_of(number.begin(), number.end(), [](wchar_t c) {
           return (c >= L'0' && c <= L'9') || c == L'+' || c == L'#' || c == L'*' || c == L'-';
         });
}

bool IsBookmarkableUrl(const std::wstring& url) {
  return !url.empty() && std::none_of(url.begin(), url.end(), [](wchar_t c) { return c < L' ' || c == 0x7F; });
}

std::wstring BookmarkFileName(const std::wstring& name) {
  std::wstring out;
  for (wchar_t c : name) {
    if (c < L' ' || c == 0x7F || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) continue;
    out.push_back(c);
  }
  for (size_t at; (at = out.find(L"..")) != std::wstring::npos;) out.erase(at, 2);
  // Names the file system would trim or read as the folder itself.
  const size_t first = out.find_first_not_of(L". ");
  if (first == std::wstring::npos) return {};
  out.erase(0, first);
  out.erase(out.find_last_not_of(L". ") + 1);
  return out;
}

bool LaunchSwiftnote(const wchar_t* number) {
  if (!number || !*number || !IsDialString(number)) return false;
  if (HWND running = FindWindowW(nullptr, kSwiftnoteTitle)) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSwiftnoteKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) !=
        ERROR_SUCCESS) {
      return false;
    }
    const DWORD bytes = static_cast<DWORD>((wcslen(number) + 1) * 2);
    const LONG set = RegSetValueExW(key, kSwiftnoteValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(number), bytes);
    RegCloseKey(key);
    return set == ERROR_SUCCESS && PostMessageW(running, kSwiftnoteMessage, kSwiftnoteMessage, 0);
  }
  PROCESS_INFORMATION pi{};
  const std::wstring commandLine = qv::FormatW(L"-n %s", number);
  if (!CreateProcessW(kSwiftnoteProgram, commandLine.c_str(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                      &pi)) {
    ShowSystemErrorBox(nullptr, kStartFailed, GetLastError());
    return false;
  }
  CloseProcess(pi);
  return true;
}

BOOL ShellOpenFile(HWND owner, const wchar_t* path) {
  SHELLEXECUTEINFO info{};
  info.cbSize = kDeviceShellExecuteInfoSize;
  info.hwnd = owner;
  info.lpVerb = L"open";
  info.lpFile = path;
  info.nShow = SW_SHOWNORMAL;
  return ShellExecuteEx(&info);
}

bool DialNumber(const wchar_t* number, int line) {
  return ExecDialing(line, std::wstring(number ? number : L"")) == 0;
}

void OpenHelp() {
  PROCESS_INFORMATION pi{};
  if (CreateProcessW(L"peghelp.exe", L"file:QvMail.htm#Main_Contents", nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     nullptr, &pi)) {
    CloseProcess(pi);
  }
}

bool GetUrlHost(const std::wstring& url, std::wstring* host) {
  const size_t start = url.find(L"//");
  if (start == std::wstring::npos) return false;
  const size_t end = url.find(L'/', start + 2);
  *host = url.substr(start + 2, end == std::wstring::npos ? std::wstring::npos : end - start - 2);
  return true;
}

void GetFavoritesFolder(std::wstring* out) {
  WCHAR path[MAX_PATH] = {};
  // The device always has its favourites folder; a fresh device root may not yet.
  *out = SHGetSpecialFolderPath(nullptr, path, CSIDL_FAVORITES, TRUE) ? path : L"\\Windows\\お気に入り";
}

BrowserKind GetDefaultBrowserKind() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L".htm", 0, KEY_READ, &key) != ERROR_SUCCESS) return BrowserKind::None;
  WCHAR kind[MAX_PATH] = {};
  DWORD size = 2 * (MAX_PATH - 1);  // bytes, 2 a character
  DWORD type = 0;
  const LONG read = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(kind), &size);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS || type != REG_SZ) return BrowserKind::None;
  if (std::wcscmp(kind, L"htmlfile") == 0) return BrowserKind::InternetExplorer;
  if (std::wcscmp(kind, L"_htmlfile_Opera") == 0) return BrowserKind::Opera;
  return BrowserKind::None;
}

bool AddOperaBookmark(HWND owner, const std::wstring& name, const std::wstring& url) {
  std::string ansiName;
  if (!AnsiText(name, &ansiName)) {
    ShowQvMiddleError(kNoMemory, owner, nullptr);
    return false;
  }
  const std::string record = qv::FormatA("\n%S\n", L"#URL") + qv::FormatA("%S\n", L"\tID=") +
                             qv::FormatA("%s\n", ("\tNAME==" + ansiName).c_str()) +
                             qv::FormatA("%S\n", (L"\tURL==" + url).c_str());
  FILE* file = _wfopen(kOperaBookmarks, L"a");
  if (!file) {
    ShowWarningBoxRes(owner, kBookmarkNotAdded);
    return false;
  }
  const bool written = std::fwrite(record.data(), 1, record.size(), file) == record.size();
  if (std::fclose(file) != 0 || !written) {
    ShowWarningBoxRes(owner, kBookmarkNotAdded);
    return false;
  }
  ShowNoticeBoxRes(owner, kBookmarkAdded);
  return true;
}

int WriteInternetShortcut(HWND owner, const std::wstring& path, const std::wstring& url) {
  std::string text;
  if (!AnsiText(L"[InternetShortcut]\r\nURL=" + url + L"\r\n", &text)) {
    ShowQvMiddleError(kNoMemory, owner, nullptr);
    return 0;
  }
  const std::wstring file = path + L".url";
  if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES && !ShowConfirmBoxRes(owner, kOverwriteShortcut, true)) return 0;
  const qv::ScopedHandle h(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) {
    ShowWarningBoxRes(owner, kBookmarkNotAdded);
    return -1;
  }
  DWORD written = 0;
  // A longer shortcut of the same name leaves nothing of itself behind.
  const bool ok = WriteFile(h.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size() && SetEndOfFile(h.get());
  if (!ok) {
    ShowWarningBoxRes(owner, kBookmarkNotAdded);
    return -1;
  }
  ShowNoticeBoxRes(owner, kShortcutAdded);
  return 1;
}

void AddUrlToFavorites(HWND owner, const wchar_t* url) {
  if (!url || !*url) return;
  const std::wstring link = url;
  std::wstring name;
  if (!GetUrlHost(link, &name)) name = link;
  name = BookmarkFileName(name);
  if (!IsBookmarkableUrl(link) || name.empty()) {
    ShowWarningBoxRes(owner, kBookmarkNotAdded);
    return;
  }
  switch (GetDefaultBrowserKind()) {
    case BrowserKind::Opera:
      if (FindWindowW(kOperaWindowClass, nullptr)) {
        ShowNoticeBoxRes(owner, kBookmarkNotAdded);
      } else {
        AddOperaBookmark(owner, name, link);
      }
      return;
    case BrowserKind::InternetExplorer: {
      std::wstring folder;
      GetFavoritesFolder(&folder);
      // The whole path of the shortcut must fit; a long name gives way.
      const size_t used = folder.size() + 1 + 4;  // "\" and ".url"
      const std::wstring fitted = used < MAX_PATH - 1 ? BookmarkFileName(name.substr(0, MAX_PATH - 1 - used)) : L"";
      if (fitted.empty()) {
        ShowWarningBoxRes(owner, kBookmarkNotAdded);
        return;
      }
      WriteInternetShortcut(owner, folder + L"\\" + fitted, link);
      return;
    }
    case BrowserKind::None:
      ShowWarningBoxRes(owner, kNoBrowser);
      return;
  }
}
