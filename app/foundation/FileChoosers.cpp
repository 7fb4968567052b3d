#include "app/foundation/FileChoosers.h"

#include <algorithm>

#include "app/foundation/filebrowser/QvFileBrowser.h"

namespace {

// Texts joined by zeros, the way a filter is handed over.
const wchar_t kAllFiles[] = L"All files (*.*)\0*.*\0";
const wchar_t kEmlFiles[] = L"EMLファイル (*.eml)\0*.eml\0";
const wchar_t kImageFiles[] =
    L"画像ファイル (*.bmp,*.jpg,*.gif,*png)\0*.bmp;*.jpg;*.jpeg;*.gif;*.png\0"
    L" *.bmp\0*.bmp\0 *.jpg\0*.jpg;*.jpeg\0 *.gif\0*.gif\0 *.png\0*.png\0";
constexpr const wchar_t* kMyDocuments = L"\\My Documents";
constexpr const wchar_t* kMyPictures = L"\\My Documents\\マイ ピクチャ";

struct Request {
  OPENFILENAMEW ofn{};
  WCHAR file[MAX_PATH] = {};

  Request(HWND owner, LPCWSTR title, LPCWSTR startFolder, LPCWSTR filter, DWORD flags) {
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = startFolder;
    ofn.lpstrTitle = title;
    ofn.Flags = flags;
  }
  bool Run(QvFileBrowser& browser, int mode, std::wstring* path) {
    browser.SetRequest(&ofn);
    if (browser.DoModal(mode) != IDOK) return false;
    if (path) *path = file;
    return true;
  }
};

}  // namespace

bool BrowseOpenFile(HWND owner, LPCWSTR title, LPCWSTR startFolder, LPCWSTR filter, std::wstring* path) {
  Request r(owner, title, startFolder, filter, 0);
  QvFileBrowser browser;
  return r.Run(browser, QvFileBrowser::kOpen, path);
}

bool BrowseOpenFiles(HWND owner, LPCWSTR title, LPCWSTR startFolder, LPCWSTR filter, std::vector<std::wstring>* files,
                     int limit, LPARAM customData) {
  Request r(owner, title, startFolder, filter, OFN_ALLOWMULTISELECT);
  r.ofn.lCustData = customData;
  QvFileBrowser browser;
  browser.SetSelectionLimit(limit);
  if (!r.Run(browser, QvFileBrowser::kOpen, nullptr)) return false;
  if (files) *files = browser.ResultList();
  return true;
}

bool BrowseSaveFile(HWND owner, LPCWSTR title, LPCWSTR startFolder, LPCWSTR filter, std::wstring* path,
                    const std::wstring& proposedName) {
  Request r(owner, title, startFolder, filter, OFN_OVERWRITEPROMPT);
  std::copy_n(proposedName.begin(), std::min<size_t>(proposedName.size(), MAX_PATH - 1), r.file);
  QvFileBrowser browser;
  return r.Run(browser, QvFileBrowser::kSave, path);
}

bool BrowseFolder(HWND owner, LPCWSTR title, LPCWSTR startFolder, LPCWSTR filter, std::wstring* path) {
  Request r(owner, title, startFolder, filter, kBrowseFolderFlag);
  QvFileBrowser browser;
  return r.Run(browser, QvFileBrowser::kOpen, path);
}

bool SelectHandwritingSaveFolder(HWND owner, const std::wstring& proposedName, std::wstring* path) {
  return BrowseSaveFile(owner, L"手書き画像保存先選択", kMyDocuments, kAllFiles, path, proposedName);
}

bool SelectAttachmentSaveFolder(HWND owner, const std::wstring& proposedName, std::wstring* path) {
  return BrowseSaveFile(owner, L"添付ファイル保存先選択", kMyDocuments, kAllFiles, path, proposedName);
}

bool SelectExportFolder(HWND owner, const std::wstring& startFolder, std::wstring* path) {
  return BrowseFolder(owner, L"エクスポート先選択", startFolder.c_str(), kAllFiles, path);
}

bool SelectImageSavePath(HWND owner, const std::wstring& proposedName, std::wstring* path) {
  return BrowseSaveFile(owner, L"画像ファイル保存", kMyPictures, kAllFiles, path, proposedName);
}

bool SelectImportFiles(HWND owner, const std::wstring& startFolder, std::vector<std::wstring>* files, int limit) {
  return BrowseOpenFiles(owner, L"インポート元選択", startFolder.c_str(), kEmlFiles, files, limit, 0);
}

bool SelectImageFile(HWND owner, std::vector<std::wstring>* files, int limit) {
  return BrowseOpenFiles(owner, L"画像選択", kMyPictures, kImageFiles, files, limit, 0);
}

bool SelectAttachmentFiles(HWND owner, std::vector<std::wstring>* files, int limit) {
  return BrowseOpenFiles(owner, L"添付ファイル選択", kMyDocuments, kAllFiles, files, limit, 0);
}
