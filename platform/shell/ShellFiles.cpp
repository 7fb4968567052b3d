#include "platform/shell/ShellFiles.h"

#include <algorithm>
#include <cwctype>
#include <mutex>

#include "platform/codepage/CodePage.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/ImageList.h"
#include "platform/kernel/Files.h"
#include "platform/shell/ShellPaths.h"
#include "platform/ui/WinUser.h"

namespace qv::shell {
namespace {

enum Icon { kFile, kFolder, kText, kPicture, kPage, kMail, kSound, kVideo, kProgram, kLink, kDocument, kArchive,
            kContact, kIconCount };

// The colour that marks each kind on its page (the folder is all of it).
constexpr COLORREF kIconColours[kIconCount] = {
    RGB(160, 160, 160), RGB(236, 196, 64), RGB(64, 96, 200), RGB(56, 160, 72), RGB(232, 128, 32),
    RGB(208, 48, 48),   RGB(128, 64, 176), RGB(32, 144, 144), RGB(72, 72, 72),  RGB(48, 176, 224),
    RGB(160, 32, 32),   RGB(136, 96, 48),  RGB(224, 96, 160)};

struct FileKind {
  const wchar_t* extension;
  const wchar_t* typeName;
  Icon icon;
};

constexpr FileKind kKinds[] = {
    {L"txt", L"テキスト ドキュメント", kText},       {L"jpg", L"JPEG イメージ", kPicture},
    {L"jpeg", L"JPEG イメージ", kPicture},          {L"jpe", L"JPEG イメージ", kPicture},
    {L"gif", L"GIF イメージ", kPicture},            {L"png", L"PNG イメージ", kPicture},
    {L"bmp", L"ビットマップ イメージ", kPicture},   {L"htm", L"HTML ドキュメント", kPage},
    {L"html", L"HTML ドキュメント", kPage},         {L"eml", L"電子メール メッセージ", kMail},
    {L"wav", L"WAVE サウンド", kSound},             {L"mp3", L"MP3 オーディオ", kSound},
    {L"mid", L"MIDI シーケンス", kSound},           {L"amr", L"AMR オーディオ", kSound},
    {L"m4a", L"MPEG-4 オーディオ", kSound},         {L"3gp", L"3GP ビデオ", kVideo},
    {L"3g2", L"3G2 ビデオ", kVideo},                {L"mp4", L"MPEG-4 ビデオ", kVideo},
    {L"exe", L"アプリケーション", kProgram},        {L"dll", L"アプリケーション拡張", kProgram},
    {L"cab", L"CAB ファイル", kArchive},            {L"zip", L"圧縮 (zip 形式) フォルダ", kArchive},
    {L"url", L"インターネット ショートカット", kLink}, {L"lnk", L"ショートカット", kLink},
    {L"pdf", L"PDF ドキュメント", kDocument},       {L"vcf", L"vCard ファイル", kContact},
};

constexpr const wchar_t* kFolderTypeName = L"ファイル フォルダ";

std::wstring Upper(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return s;
}

// A page with its kind's band, or a folder, on magenta (transparent).
HBITMAP DrawIcons(int size) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP strip = CreateBitmap(size * kIconCount, size, 1, 32, nullptr);
  HGDIOBJ old = SelectObject(dc, strip);
  HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
  const RECT all{0, 0, size * kIconCount, size};
  FillRect(dc, &all, magenta);
  DeleteObject(magenta);
  const int m = size / 8;
  for (int i = 0; i < kIconCount; ++i) {
    const int x = i * size;
    HBRUSH mark = CreateSolidBrush(kIconColours[i]);
    HBRUSH frame = CreateSolidBrush(RGB(48, 48, 48));
    if (i == kFolder) {
      const RECT tab{x + m, m, x + size / 2, m * 3};
      const RECT body{x + m, m * 2, x + size - m, size - m};
      FillRect(dc, &tab, mark);
      FillRect(dc, &body, mark);
      FrameRect(dc, &body, frame);
    } else {
      const RECT page{x + m * 2, m, x + size - m * 2, size - m};
      const RECT band{x + m * 2, size - m * 4, x + size - m * 2, size - m};
      FillRect(dc, &page, GetSysColorBrush(COLOR_WINDOW));
      FillRect(dc, &band, mark);
      FrameRect(dc, &page, frame);
    }
    DeleteObject(mark);
    DeleteObject(frame);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  return strip;
}

// The shell's icon sets, large and small, made once and kept for the
// process as the device's system image lists are.
HIMAGELIST IconSet(bool small) {
  static std::once_flag once;
  static HIMAGELIST sets[2] = {};
  std::call_once(once, [] {
    for (int s = 0; s < 2; ++s) {
      const int size = GetSystemMetrics(s ? SM_CXSMICON : SM_CXICON);
      sets[s] = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, kIconCount, 0);
      HBITMAP strip = DrawIcons(size);
      ImageList_AddMasked(sets[s], strip, RGB(255, 0, 255));
      DeleteObject(strip);
    }
  });
  return sets[small ? 1 : 0];
}

// One image of the set as an icon of its own (the caller destroys it):
// drawn over magenta, which becomes the mask.
HICON IconOf(bool small, int index) {
  HIMAGELIST set = IconSet(small);
  int w = 0;
  int h = 0;
  ImageList_GetIconSize(set, &w, &h);
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP color = CreateBitmap(w, h, 1, 32, nullptr);
  HBITMAP mask = CreateBitmap(w, h, 1, 32, nullptr);
  HGDIOBJ old = SelectObject(dc, color);
  HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
  const RECT all{0, 0, w, h};
  FillRect(dc, &all, magenta);
  DeleteObject(magenta);
  ImageList_Draw(set, index, dc, 0, 0, ILD_TRANSPARENT);
  HDC maskDc = CreateCompatibleDC(nullptr);
  HGDIOBJ oldMask = SelectObject(maskDc, mask);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool clear = GetPixel(dc, x, y) == RGB(255, 0, 255);
      SetPixel(maskDc, x, y, clear ? RGB(255, 255, 255) : RGB(0, 0, 0));
    }
  }
  SelectObject(maskDc, oldMask);
  DeleteDC(maskDc);
  SelectObject(dc, old);
  DeleteDC(dc);
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = color;
  info.hbmMask = mask;
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(color);
  DeleteObject(mask);
  return icon;
}

void CopyText(WCHAR* out, size_t capacity, std::wstring_view text) {
  const size_t n = std::min(text.size(), capacity - 1);
  std::copy_n(text.begin(), n, out);
  out[n] = 0;
}

}  // namespace
}  // namespace qv::shell

using namespace qv::shell;

ULONG_PTR SHGetFileInfo(LPCWSTR path, DWORD attributes, SHFILEINFO* info, UINT size, UINT flags) {
  if (!path || !info || size < sizeof(SHFILEINFO)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!(flags & SHGFI_USEFILEATTRIBUTES)) {
    attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
  }
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const std::wstring ext = folder ? std::wstring() : Extension(path);
  const std::wstring lower = Lower(ext);
  const auto* kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                                  [&](const FileKind& k) { return lower == k.extension; });
  const bool known = kind != std::end(kKinds);
  info->hIcon = nullptr;
  info->iIcon = folder ? kFolder : known ? kind->icon : kFile;
  if (flags & SHGFI_DISPLAYNAME) {
    const std::wstring_view p = path;
    const size_t sep = p.find_last_of(L"\\/");
    CopyText(info->szDisplayName, std::size(info->szDisplayName), sep == std::wstring_view::npos ? p : p.substr(sep + 1));
  }
  if (flags & SHGFI_TYPENAME) {
    const std::wstring name = folder  ? std::wstring(kFolderTypeName)
                              : known ? std::wstring(kind->typeName)
                              : ext.empty() ? std::wstring(L"ファイル")
                                            : Upper(ext) + L" ファイル";
    CopyText(info->szTypeName, std::size(info->szTypeName), name);
  }
  if (flags & SHGFI_ATTRIBUTES) {
    info->dwAttributes = (folder ? SFGAO_FOLDER : 0u) | ((attributes & FILE_ATTRIBUTE_READONLY) ? SFGAO_READONLY : 0u) |
                         (known && kind->icon == kLink ? SFGAO_LINK : 0u);
  }
  if (flags & SHGFI_ICON) info->hIcon = IconOf((flags & SHGFI_SMALLICON) != 0, info->iIcon);
  if (flags & SHGFI_SYSICONINDEX) return reinterpret_cast<ULONG_PTR>(IconSet((flags & SHGFI_SMALLICON) != 0));
  return 1;
}

namespace {

struct SpecialFolder {
  int id;
  const wchar_t* path;
};

// The device's folders, as its Japanese edition names them.
constexpr SpecialFolder kSpecialFolders[] = {
    {CSIDL_DESKTOP, L"\\Windows\\デスクトップ"},
    {CSIDL_PROGRAMS, L"\\Windows\\スタート メニュー\\プログラム"},
    {CSIDL_PERSONAL, L"\\My Documents"},
    {CSIDL_FAVORITES, L"\\Windows\\お気に入り"},
    {CSIDL_STARTUP, L"\\Windows\\StartUp"},
    {CSIDL_RECENT, L"\\Windows\\最近使ったファイル"},
    {CSIDL_STARTMENU, L"\\Windows\\スタート メニュー"},
    {CSIDL_MYMUSIC, L"\\My Documents\\マイ ミュージック"},
    {CSIDL_MYVIDEO, L"\\My Documents\\マイ ビデオ"},
    {CSIDL_DESKTOPDIRECTORY, L"\\Windows\\デスクトップ"},
    {CSIDL_FONTS, L"\\Windows\\Fonts"},
    {CSIDL_APPDATA, L"\\Application Data"},
    {CSIDL_WINDOWS, L"\\Windows"},
    {CSIDL_PROGRAM_FILES, L"\\Program Files"},
    {CSIDL_MYPICTURES, L"\\My Documents\\マイ ピクチャ"},
};

// Every folder of the path, from the root down.
bool CreateFolders(const std::wstring& path) {
  for (size_t at = path.find(L'\\', 1);; at = path.find(L'\\', at + 1)) {
    const std::wstring part = path.substr(0, at);
    if (!IsFolder(part) && !CreateDirectoryW(part.c_str(), nullptr)) return false;
    if (at == std::wstring::npos) return true;
  }
}

}  // namespace

BOOL SHGetSpecialFolderPath(HWND, LPWSTR path, int folder, BOOL create) {
  const auto* f = std::find_if(std::begin(kSpecialFolders), std::end(kSpecialFolders),
                               [folder](const SpecialFolder& s) { return s.id == folder; });
  if (!path || f == std::end(kSpecialFolders)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!IsFolder(f->path) && (!create || !CreateFolders(f->path))) return FALSE;
  CopyText(path, MAX_PATH, f->path);
  return TRUE;
}

namespace qv::shell {

// "<length>#<target>" in the device's code page, perhaps followed by a line
// end; the length is what the writer counted and is not trusted.
bool ParseShortcut(std::string_view bytes, std::wstring* target) {
  size_t i = 0;
  while (i < bytes.size() && i < 10 && bytes[i] >= '0' && bytes[i] <= '9') ++i;
  if (i == 0 || i >= bytes.size() || bytes[i] != '#') return false;
  std::string_view rest = bytes.substr(i + 1);
  rest = rest.substr(0, rest.find_first_of("\r\n"));
  if (rest.empty() || rest.size() >= MAX_PATH * 2 || rest.find('\0') != std::string_view::npos) return false;
  *target = qv::Cp932ToWide(rest);
  return !target->empty() && target->size() < MAX_PATH;
}

}  // namespace qv::shell

BOOL SHGetShortcutTarget(LPCWSTR shortcut, LPWSTR target, int size) {
  if (!shortcut || !target || size <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  HANDLE file = CreateFileW(shortcut, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  char bytes[MAX_PATH * 2 + 16];
  DWORD read = 0;
  const BOOL ok = ReadFile(file, bytes, sizeof bytes, &read, nullptr);
  CloseHandle(file);
  std::wstring text;
  if (!ok || !ParseShortcut(std::string_view(bytes, read), &text)) {
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  if (text.size() + 1 > static_cast<size_t>(size)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  CopyText(target, static_cast<size_t>(size), text);
  return TRUE;
}

BOOL SHCreateShortcut(LPWSTR shortcut, LPWSTR target) {
  if (!shortcut || !target || !*target || wcslen(target) >= MAX_PATH) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::wstring t = target;
  if (std::any_of(t.begin(), t.end(), [](wchar_t c) { return c < L' '; })) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string bytes = std::to_string(t.size()) + "#" + qv::WideToCp932(t);
  HANDLE file = CreateFileW(shortcut, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  const DWORD error = GetLastError();
  CloseHandle(file);
  if (ok && written == bytes.size()) return TRUE;
  DeleteFileW(shortcut);  // never leave half a shortcut
  SetLastError(ok ? static_cast<DWORD>(ERROR_WRITE_FAULT) : error);
  return FALSE;
}
