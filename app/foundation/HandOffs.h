// Hand-offs to other programs: a phone number to the carrier's short-mail
// program or to the dialler, a file to its associated program, a link to
// the default browser's bookmarks, and the help. What is handed over is
// checked first: a number holds only dialling characters, a link no line
// ends or control characters, and a bookmark's file name nothing that
// could lead out of the favourites folder.
#pragma once

#include <string>

#include "platform/ui/WinUser.h"

// The window title of the running short-mail program, the value it reads
// and the message that tells it to.
constexpr const wchar_t* kSwiftnoteTitle = L"スウィフトノート ";
constexpr const wchar_t* kSwiftnoteKey = L"Software\\NORVALE\\PhoneApp";
constexpr const wchar_t* kSwiftnoteValue = L"Swiftnote";
constexpr UINT kSwiftnoteMessage = 0x1402;
constexpr const wchar_t* kSwiftnoteProgram = L"\\Windows\\swiftnote.exe";

constexpr const wchar_t* kOperaWindowClass = L"Opera_MainWndClass";
constexpr const wchar_t* kOperaBookmarks = L"\\Application Data\\Opera9\\opera6.adr";

enum class BrowserKind { None, InternetExplorer, Opera };

// Hands the number over; false when nothing was (no number, a number with
// other than digits, "+", "#", "*" and "-", or the start failed).
bool LaunchSwiftnote(const wchar_t* number);
BOOL ShellOpenFile(HWND owner, const wchar_t* path);
bool DialNumber(const wchar_t* number, int line);
void OpenHelp();
void AddUrlToFavorites(HWND owner, const wchar_t* url);

bool GetUrlHost(const std::wstring& url, std::wstring* host);
void GetFavoritesFolder(std::wstring* out);
BrowserKind GetDefaultBrowserKind();
// True when the bookmark was written.
bool AddOperaBookmark(HWND owner, const std::wstring& name, const std::wstring& url);
// 1 written, 0 not overwritten (or the text could not be converted), -1 the
// file could not be written.
int WriteInternetShortcut(HWND owner, const std::wstring& path, const std::wstring& url);

// The checks of what is handed over.
bool IsDialString(const std::wstring& number);
bool IsBookmarkableUrl(const std::wstring& url);
// A name fit for one file in the favourites folder, empty when nothing of
// it is: without separators, "..", ":", the characters names may not hold
// and control characters.
std::wstring BookmarkFileName(const std::wstring& name);
