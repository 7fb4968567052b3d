// The program's own file browser: every open, save and folder choice runs
// this dialog (template 102) over an OPENFILENAME-like request and fills the
// request back the way the system's dialogs do. It lists one folder at a
// time as thumbnails, small icons or details, filters by the request's
// patterns and decodes pictures on the thumbnail loader's thread. The rows
// it shows live in FileBrowserRows; the thumbnails' painting is in
// FileBrowserPaint.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/foundation/KeyedCache.h"
#include "app/foundation/Thumbnails.h"
#include "app/foundation/filebrowser/FileBrowserRows.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/kernel/Files.h"
#include "platform/ui/WinUser.h"

// The request, in the layout of the platform's file dialogs.
struct OPENFILENAMEW {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCWSTR lpstrFilter;  // pairs of display text and patterns, ended by an empty text
  LPWSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;  // 1-based; written back on OK
  LPWSTR lpstrFile;
  DWORD nMaxFile;  // characters
  LPWSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCWSTR lpstrInitialDir;
  LPCWSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCWSTR lpstrDefExt;
  LPARAM lCustData;
  void* lpfnHook;
  LPCWSTR lpTemplateName;
};
typedef OPENFILENAMEW* LPOPENFILENAMEW;

#define OFN_OVERWRITEPROMPT 0x00000002u
#define OFN_ALLOWMULTISELECT 0x00000200u
// The browser's own flag: choose a folder, only folders are listed.
constexpr DWORD kBrowseFolderFlag = 0x400000u;

// Makes a folder named by the user inside `parentFolder`: IDOK once it
// exists, with `name` holding its name. The application shell installs its
// folder-name dialog here; without one the browser makes no folders.
using FolderNameDialogRunner = INT_PTR (*)(const std::wstring& parentFolder, std::wstring* name);
void SetFolderNameDialogRunner(FolderNameDialogRunner runner);

class QvFileBrowser {
 public:
  // Resources and controls of the dialog.
  static constexpr UINT kTemplateId = 102;
  static constexpr UINT kMenuId = 140;
  enum Control : int {
    kNewFolderButton = 1000,
    kFilterCombo = 1001,
    kList = 1002,
    kPathLine = 1003,
    kNameLabel = 1004,
    kFilterLabel = 1005,
    kTitleLine = 1006,
    kNameField = 1052,
  };
  enum Command : UINT {
    kUp = 40058,
    kNewFolder = 40060,
    kSmallIcons = 40061,
    kDetails = 40062,
    kSelectAllHidden = 40063,
    kSelectAll = 40064,
    kThumbnails = 40206,
  };
  enum Mode : int { kOpen = 0, kSave = 1 };
  enum SortKey : int {
    kByName = FileBrowserRows::kByName,
    kByType = FileBrowserRows::kByType,
    kBySize = FileBrowserRows::kBySize,
    kByDate = FileBrowserRows::kByDate
  };
  static constexpr UINT_PTR kSelectionTimer = 1;
  static constexpr UINT_PTR kThumbnailTimer = 2;
  static constexpr UINT kTimerDelay = 200;
  static constexpr UINT kThumbnailBox = 120;

  explicit QvFileBrowser(OPENFILENAMEW* request);
  // A derived chooser sets the request before DoModal.
  QvFileBrowser();
  virtual ~QvFileBrowser();
  QvFileBrowser(const QvFileBrowser&) = delete;
  QvFileBrowser& operator=(const QvFileBrowser&) = delete;

  void SetRequest(OPENFILENAMEW* request) { request_ = request; }
  void SetSelectionLimit(int limit) { limit_ = limit; }

  // 2 at once without a request; else the dialog's end code.
  INT_PTR DoModal(int mode);
  void EndBrowse(INT_PTR code);
  // False (and the current folder stays) when `folder` is no folder.
  bool Navigate(const std::wstring& folder, bool focus);

  virtual void OnOK();
  virtual void OpenSelectedItem();

  // The chosen folder (multi-selection) and the chosen files.
  const std::wstring& ResultPath() const { return resultPath_; }
  const std::vector<std::wstring>& ResultList() const { return resultList_; }
  HWND Window() const { return dialog_; }
  const std::wstring& CurrentFolder() const { return rows_.Folder(); }

 protected:
  HWND Control(int id) const { return GetDlgItem(dialog_, id); }
  // The row of list item `index`, or null.
  FileRow* ItemAt(int index) const;

 private:
  struct Filter {
    std::wstring display;
    std::wstring patterns;
  };

  static INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT SubclassProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
  static int CompareItems(LPARAM a, LPARAM b, LPARAM browser);

  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnNotify(NMHDR* header);
  void OnCommand(UINT id, UINT code);
  void OnTimer(UINT_PTR id);
  void Open();
  void SetUpMenuBar();
  void FillFilters();
  void MakePatterns();
  void LayOut();
  void SetView(UINT command);
  // The details view's columns fitted to the list's width and their texts.
  void FitColumns();
  // A thumbnail's caption as it fits under the picture, its end kept.
  std::wstring FitCaption(int index, const std::wstring& text) const;
  void Sort();
  void SelectionToName();
  void SelectAll();
  void Up();
  void NewFolder();
  bool NameFieldTakesNoBack() const;
  // Puts `row` into the list view; false (after the error box) when it
  // cannot be.
  bool Show(FileRow& row);
  void ClearItems();
  void GiveDisplayInfo(LVITEMW* item);
  int SmallIconOf(FileRow& item);
  LRESULT CustomDraw(NMLVCUSTOMDRAW* draw);
  RECT ThumbnailFrame(int index) const;
  void DrawThumbnailItem(HDC dc, int index, FileRow& item);
  void TakeThumbnail();
  void PlaceThumbnail(ThumbnailEntry& entry);
  void Restore(int id);
  void Subclass(int id);
  bool OkSaveOrChoose();
  bool OkOpen();

  std::wstring resultPath_;
  std::vector<std::wstring> resultList_;
  int limit_ = 1;
  OPENFILENAMEW* request_ = nullptr;
  HWND dialog_ = nullptr;
  HWND menuBar_ = nullptr;
  HWND list_ = nullptr;
  qv::ScopedGdiObject<HFONT> pathFont_;
  int mode_ = kOpen;
  bool showExtensions_ = false;
  bool viewAll_ = false;
  int sortKey_ = kByName;
  bool ascending_ = true;
  UINT view_ = kThumbnails;
  std::vector<std::wstring> patterns_;
  std::vector<Filter> filters_;
  HIMAGELIST smallImages_ = nullptr;
  std::vector<std::pair<std::wstring, int>> iconKeys_;
  HIMAGELIST largeImages_ = nullptr;
  FileBrowserRows rows_;
  KeyedCache<HICON> iconCache_;
  struct Thumb {
    int width;
    int height;
    HBITMAP bitmap;
  };
  KeyedCache<Thumb> thumbnailCache_;
  RECT paintRect_{};
  HICON largeFolderIcon_ = nullptr;
  ThumbnailLoader loader_;
  bool loaderRunning_ = false;
  bool painting_ = false;
  int iconWidth_ = 0;
};
