#include "app/foundation/filebrowser/QvFileBrowser.h"

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <set>
#include <string_view>

#include "app/foundation/CloseRequest.h"
#include "app/foundation/HandOffs.h"
#include "app/foundation/MessageBoxes.h"
#include "app/foundation/QvMiddleError.h"
#include "platform/base/WinFormat.h"
#include "platform/framework/AfxResource.h"
#include "platform/framework/CWaitCursor.h"
#include "platform/gdi/ImageList.h"
#include "platform/kernel/Time.h"
#include "platform/registry/Registry.h"
#include "platform/shell/MenuBar.h"
#include "platform/shell/ShellFiles.h"
#include "platform/shell/ShellStrings.h"
#include "platform/shell/ShellUi.h"
#include "platform/ui/window/ScopedGetDC.h"

namespace {

FolderNameDialogRunner g_folderNameDialog = nullptr;

constexpr const wchar_t* kRootText = L"マイ デバイス";
constexpr const wchar_t* kNotAllowed = L"\\/:*?\"<>|";
constexpr size_t kMaxPiece = 255;
constexpr int kColumnWidths[] = {145, 65, 75, 120};
constexpr UINT kColumnStrings[] = {20186, 20187, 20188, 20003};
constexpr UINT kMyDocumentsString = 20189;



std::wstring Trim(const std::wstring& s) {
  const size_t first = s.find_first_not_of(L" \t\u3000");
  if (first == std::wstring::npos) return {};
  return s.substr(first, s.find_last_not_of(L" \t\u3000") - first + 1);
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) { return folder + L"\\" + name; }

DWORD ReadExplorerValue(LPCWSTR name) {
  HKEY key = nullptr;
  DWORD value = 0;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Explorer", 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD type = 0;
  DWORD size = sizeof(value);
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD) {
    value = 0;
  }
  RegCloseKey(key);
  return value;
}

std::wstring ControlText(HWND control, int limit = MAX_PATH) {
  std::wstring text(static_cast<size_t>(limit), L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), limit)));
  return text;
}





void SetResult(HWND dialog, LRESULT result) { SetWindowLongW(dialog, DWL_MSGRESULT, result); }

bool HasForbiddenCharacter(const std::wstring& name) { return name.find_first_of(kNotAllowed) != std::wstring::npos; }

}  // namespace

void SetFolderNameDialogRunner(FolderNameDialogRunner runner) { g_folderNameDialog = runner; }

QvFileBrowser::QvFileBrowser(OPENFILENAMEW* request) : QvFileBrowser() { request_ = request; }

QvFileBrowser::QvFileBrowser()
    : iconCache_(32, [](const HICON& icon) { DestroyIcon(icon); }),
      thumbnailCache_(32, [](const Thumb& t) { qv::GdiObjectTraits<HBITMAP>::Free(t.bitmap); }) {}

QvFileBrowser::~QvFileBrowser() {
  if (largeImages_) {
    ImageList_RemoveAll(largeImages_);
    ImageList_Destroy(largeImages_);
  }
  if (largeFolderIcon_) DestroyIcon(largeFolderIcon_);
  loader_.Stop();
  if (smallImages_) ImageList_Destroy(smallImages_);
}

INT_PTR QvFileBrowser::DoModal(int mode) {
  if (!request_) return IDCANCEL;
  mode_ = mode;
  return DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kTemplateId), request_->hwndOwner, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

INT_PTR QvFileBrowser::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<QvFileBrowser*>(lParam);
    SetWindowLongW(dialog, DWL_USER, lParam);
    self->dialog_ = dialog;
    SetDlgItemTextW(dialog, IDCANCEL, L"キャンセル");
    SetDlgItemTextW(dialog, kNameLabel, L"名前:");
    SetDlgItemTextW(dialog, kFilterLabel, L"種類:");
    self->Open();
    return FALSE;  // the focus was given to the list
  }
  // Once EndBrowse has let go, what the dialog hears on its way out is not ours.
  auto* self = reinterpret_cast<QvFileBrowser*>(GetWindowLongW(dialog, DWL_USER));
  return self && self->dialog_ == dialog ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR QvFileBrowser::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTINGCHANGE:
      SetWindowLongW(dialog_, GWL_STYLE, GetWindowLongW(dialog_, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_VSCROLL));
      LayOut();
      return TRUE;
    case WM_SIZE:
      LayOut();
      return TRUE;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      const LRESULT r = OnNotify(header);
      if (r < 0) return FALSE;
      SetResult(dialog_, r);
      return TRUE;
    }
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_TIMER:
      OnTimer(wParam);
      return TRUE;
    case WM_HELP:
      OpenHelp();
      return TRUE;
    case WM_CTLCOLORSTATIC:
      SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
    case WM_GETDLGCODE:
      SetResult(dialog_, DLGC_WANTALLKEYS);
      return TRUE;
    case kThumbnailReadyMessage:
      if (!painting_) TakeThumbnail();
      return TRUE;
    default:
      if (IsCloseRequestMessage(message)) {
        if (dialog_) EndBrowse(0);
        return TRUE;
      }
      return FALSE;
  }
}

// ---------------------------------------------------------------------------
// Opening

void QvFileBrowser::Open() {
  list_ = Control(kList);
  showExtensions_ = ReadExplorerValue(L"ShowExt") != 0;
  viewAll_ = ReadExplorerValue(L"ViewAll") != 0;
  SHINITDLGINFO init{SHIDIM_FLAGS, dialog_, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN};
  SHInitDialog(&init);
  SetUpMenuBar();
  const bool multi = (request_->Flags & OFN_ALLOWMULTISELECT) && mode_ == kOpen;
  if (!multi) SetWindowLongW(list_, GWL_STYLE, GetWindowLongW(list_, GWL_STYLE) | LVS_SINGLESEL);

  iconWidth_ = GetSystemMetrics(SM_CXICON);
  const int small = GetSystemMetrics(SM_CXSMICON);
  for (int c = 0; c < 4; ++c) {
    std::wstring text = ShellText(kColumnStrings[c]);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.cx = c == 0 ? small / 16 * kColumnWidths[0] : kColumnWidths[c];
    column.pszText = text.data();
    column.iSubItem = c;
    SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
  }
  largeImages_ = ImageList_Create(iconWidth_, 130, ILC_COLOR32 | ILC_MASK, 3, 512);
  smallImages_ = ImageList_Create(small, small, ILC_COLOR32 | ILC_MASK, 3, 512);
  // Image 0 is the folder icon, whether or not the device has its "\Windows" yet.
  constexpr UINT kFolderIcon = SHGFI_ICON | SHGFI_USEFILEATTRIBUTES;
  SHFILEINFO info{};
  if (SHGetFileInfo(L"\\Windows", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof(info), kFolderIcon | SHGFI_SMALLICON)) {
    ImageList_AddIcon(smallImages_, info.hIcon);
    DestroyIcon(info.hIcon);
  }
  if (SHGetFileInfo(L"\\Windows", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof(info), kFolderIcon | SHGFI_LARGEICON)) {
    largeFolderIcon_ = info.hIcon;
  }
  SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(largeImages_));
  SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(smallImages_));

  loaderRunning_ = loader_.Start(dialog_, kThumbnailBox);
  SetView(kThumbnails);
  for (int id : {static_cast<int>(kList), static_cast<int>(kNewFolderButton), IDCANCEL, static_cast<int>(kNameField),
                 static_cast<int>(kFilterCombo)}) {
    Subclass(id);
  }
  SendDlgItemMessageW(dialog_, kFilterCombo, CB_SETEXTENDEDUI, TRUE, 0);

  HWND name = Control(kNameField);
  if (request_->Flags & kBrowseFolderFlag) {
    SendMessageW(name, EM_SETREADONLY, TRUE, 0);
    EnableWindow(name, FALSE);
    EnableWindow(Control(kFilterCombo), FALSE);
  } else if (mode_ == kSave) {
    if (request_->lpstrFile) SetWindowTextW(name, request_->lpstrFile);
    EnableWindow(Control(kFilterCombo), FALSE);
  } else {
    SendMessageW(name, EM_SETREADONLY, TRUE, 0);
  }

  std::wstring title = request_->lpstrTitle ? request_->lpstrTitle : L"";
  if (title.empty()) title = mode_ == kOpen ? L"ファイル選択" : L"保存先選択";
  SetDlgItemTextW(dialog_, kTitleLine, title.c_str());
  LOGFONTW font{};
  font.lfHeight = -(90 * GetDeviceCaps(qv::ScopedGetDC(dialog_), LOGPIXELSY) / 720);
  font.lfWeight = FW_BOLD;
  font.lfCharSet = SHIFTJIS_CHARSET;
  pathFont_.reset(CreateFontIndirectW(&font));
  SendDlgItemMessageW(dialog_, kPathLine, WM_SETFONT, reinterpret_cast<WPARAM>(pathFont_.get()), TRUE);

  FillFilters();
  MakePatterns();
  LayOut();

  const std::wstring start = request_->lpstrInitialDir ? request_->lpstrInitialDir : L"";
  bool shown = !start.empty() && Navigate(start, false);
  if (!shown && request_->lpstrFile && request_->lpstrFile[0]) {
    const std::wstring file = request_->lpstrFile;
    const size_t sep = file.rfind(L'\\');
    if (sep != std::wstring::npos && Navigate(file.substr(0, sep), false)) {
      SetWindowTextW(name, file.substr(sep + 1).c_str());
      shown = true;
    }
  }
  if (!shown) shown = Navigate(ShellText(kMyDocumentsString), false);
  if (!shown) Navigate(L"", false);

  SetFocus(list_);
  SetForegroundWindow(dialog_);
  SetWindowTextW(dialog_, kMainWindowTitle);
}

void QvFileBrowser::SetUpMenuBar() {
  SHMENUBARINFO info{};
  info.cbSize = sizeof(info);
  info.hwndParent = dialog_;
  info.dwFlags = SHCMBF_HMENU;
  info.nToolBarId = kMenuId;
  info.hInstRes = AfxGetResourceHandle();
  if (!SHCreateMenuBar(&info)) return;
  menuBar_ = info.hwndMB;
  const auto label = [&](UINT id, DWORD flags, const wchar_t* text) {
    TBBUTTONINFOW b{};
    b.cbSize = sizeof(b);
    b.dwMask = TBIF_TEXT | flags;
    b.pszText = const_cast<LPWSTR>(text);
    SendMessageW(menuBar_, TB_SETBUTTONINFOW, id, reinterpret_cast<LPARAM>(&b));
  };
  label(kUp, 0, L"上へ");
  label(1, TBIF_BYINDEX, L"メニュー");
  HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuBar_, SHCMBM_GETSUBMENU, 0, 1));
  if (menu) {
    const std::pair<UINT, const wchar_t*> texts[] = {{kNewFolder, L"フォルダ作成..."}, {kThumbnails, L"縮小表示"},
                                                     {kSmallIcons, L"小さいアイコン"}, {kDetails, L"詳細"},
                                                     {kSelectAll, L"すべて選択"}};
    for (const auto& [id, text] : texts) ModifyMenuW(menu, id, MF_BYCOMMAND | MF_STRING, id, text);
    DeleteMenu(menu, kSelectAllHidden, MF_BYCOMMAND);
    if (mode_ != kOpen || !(request_->Flags & OFN_ALLOWMULTISELECT)) DeleteMenu(menu, kSelectAll, MF_BYCOMMAND);
  }
  for (UINT id : {kThumbnails, kSmallIcons, kDetails}) SendMessageW(menuBar_, TB_ENABLEBUTTON, id, TRUE);
}

void QvFileBrowser::FillFilters() {
  HWND combo = Control(kFilterCombo);
  filters_.clear();
  for (LPCWSTR at = request_->lpstrFilter; at && *at;) {
    Filter f;
    f.display = at;
    at += f.display.size() + 1;
    f.patterns = at;
    at += f.patterns.size() + 1;
    if (f.patterns.empty()) break;
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(f.display.c_str()));
    filters_.push_back(std::move(f));
  }
  if (filters_.empty()) {
    filters_.push_back({L"", LoadResString(20185).GetString()});
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L""));
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    EnableWindow(combo, FALSE);
    return;
  }
  const DWORD index = request_->nFilterIndex;
  SendMessageW(combo, CB_SETCURSEL, index == 0 ? 0 : index - 1, 0);
}

void QvFileBrowser::MakePatterns() {
  patterns_.clear();
  const LRESULT sel = SendDlgItemMessageW(dialog_, kFilterCombo, CB_GETCURSEL, 0, 0);
  if (sel < 0 || static_cast<size_t>(sel) >= filters_.size()) return;
  const std::wstring& text = filters_[static_cast<size_t>(sel)].patterns;
  size_t from = 0;
  for (;;) {
    const size_t cut = text.find_first_of(L",;", from);
    // A longer piece could never match a name; it is cut to what fits.
    patterns_.push_back(text.substr(from, std::min(kMaxPiece, (cut == std::wstring::npos ? text.size() : cut) - from)));
    if (cut == std::wstring::npos) break;
    from = cut + 1;
  }
}

void QvFileBrowser::LayOut() {
  if (!list_) return;
  RECT client{};
  GetClientRect(dialog_, &client);
  const LONG width = client.right;
  const auto rectOf = [&](int id) {
    RECT r{};
    GetWindowRect(Control(id), &r);
    MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  for (int id : {IDCANCEL, static_cast<int>(kNewFolderButton)}) {
    const RECT r = rectOf(id);
    MoveWindow(Control(id), width - 5 - (r.right - r.left), r.top, r.right - r.left, r.bottom - r.top, TRUE);
  }
  const RECT button = rectOf(kNewFolderButton);
  RECT r = rectOf(kNameField);
  MoveWindow(Control(kNameField), r.left, r.top, button.left - 3 - r.left, r.bottom - r.top, TRUE);
  for (int id : {static_cast<int>(kFilterCombo), static_cast<int>(kPathLine)}) {
    r = rectOf(id);
    MoveWindow(Control(id), r.left, r.top, width - 5 - r.left, r.bottom - r.top, TRUE);
  }
  r = rectOf(kList);
  LONG bottom = client.bottom + 1;
  // The bar lies over the screen's bottom strip: a list reaching under it stops above it.
  if (menuBar_ && (GetWindowLongW(menuBar_, GWL_STYLE) & WS_VISIBLE)) {
    RECT bar{};
    GetWindowRect(menuBar_, &bar);
    MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&bar), 2);
    bottom = std::min(bottom, bar.top);
  }
  SIPINFO sip{};
  sip.cbSize = sizeof(sip);
  if (SipGetInfo(&sip) && (sip.fdwFlags & SIPF_ON)) {
    POINT panel{0, sip.rcSipRect.top};  // the panel lies over the screen's bottom, the bar's strip too
    ScreenToClient(dialog_, &panel);
    bottom = std::min(bottom, panel.y);
  }
  MoveWindow(list_, r.left, r.top, width - r.left, std::max<LONG>(0, bottom - r.top), TRUE);
  FitColumns();
  SendMessageW(list_, LVM_ARRANGE, 0, 0);
}

// ---------------------------------------------------------------------------
// Listing

bool QvFileBrowser::Navigate(const std::wstring& requested, bool focus) {
  if (!IsFolderPath(requested)) return false;
  CWaitCursor wait;
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  ClearItems();
  rows_.List(requested, patterns_, (request_->Flags & kBrowseFolderFlag) != 0, viewAll_,
             [this](FileRow& row) { return Show(row); });
  FitColumns();
  if (rows_.Count() != 0) {
    Sort();
    LVITEMW state{};
    state.stateMask = LVIS_FOCUSED;
    state.state = LVIS_FOCUSED;
    SendMessageW(list_, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
  }
  SetDlgItemTextW(dialog_, kPathLine, rows_.Folder().empty() ? kRootText : rows_.Folder().c_str());
  if (menuBar_) SendMessageW(menuBar_, TB_ENABLEBUTTON, kUp, rows_.AtRoot() ? FALSE : TRUE);
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
  if (focus) SetFocus(list_);
  return true;
}

bool QvFileBrowser::Show(FileRow& item) {
  LVITEMW row{};
  row.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  row.iItem = 0;
  row.pszText = LPSTR_TEXTCALLBACKW;
  row.iImage = I_IMAGECALLBACK;
  row.lParam = reinterpret_cast<LPARAM>(&item);
  const int index = static_cast<int>(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row)));
  if (index < 0) {
    ShowQvMiddleError(0x5023, dialog_, nullptr);
    return false;
  }
  const bool folder = item.kind == FileRow::kFolder;
  for (int sub = folder ? 2 : 1; sub <= (folder ? 2 : 3); ++sub) {
    LVITEMW text{};
    text.iSubItem = sub;
    text.pszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(list_, LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text));
  }
  return true;
}

void QvFileBrowser::ClearItems() {
  SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
  rows_.Clear();
}

FileRow* QvFileBrowser::ItemAt(int index) const {
  LVITEMW row{};
  row.mask = LVIF_PARAM;
  row.iItem = index;
  if (!SendMessageW(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&row))) return nullptr;
  return reinterpret_cast<FileRow*>(row.lParam);
}

// ---------------------------------------------------------------------------
// Texts and sorting

void QvFileBrowser::GiveDisplayInfo(LVITEMW* row) {
  auto* item = reinterpret_cast<FileRow*>(row->lParam);
  if (!item) item = ItemAt(row->iItem);
  if (!item) return;
  if (row->mask & LVIF_IMAGE) row->iImage = SmallIconOf(*item);
  if (!(row->mask & LVIF_TEXT) || row->iSubItem < 0 || row->iSubItem > 3) return;
  const std::wstring& full = rows_.Text(*item, row->iSubItem, showExtensions_);
  std::wstring fitted;
  if (view_ == kThumbnails && row->iSubItem == 0) fitted = FitCaption(row->iItem, full);
  const std::wstring& text = fitted.empty() ? full : fitted;
  if (row->pszText && row->cchTextMax > 0) {
    const size_t n = std::min(text.size(), static_cast<size_t>(row->cchTextMax - 1));
    std::copy_n(text.begin(), n, row->pszText);
    row->pszText[n] = 0;
  }
}

// Names that differ only at the end ("photo1001.jpg", "photo1002.jpg") must
// stay apart under their pictures: a caption too wide keeps its head and as
// much of its end as fits, with "…" between.
std::wstring QvFileBrowser::FitCaption(int index, const std::wstring& text) const {
  RECT label{};
  label.left = LVIR_LABEL;
  if (!SendMessageW(list_, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&label))) return text;
  const int room = label.right - label.left - 6;
  const auto width = [&](const std::wstring& s) {
    return static_cast<int>(SendMessageW(list_, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(s.c_str())));
  };
  if (room <= 0 || width(text) <= room) return text;
  // The longest tail that fits; the width grows with the tail.
  constexpr size_t kHead = 2;
  const auto with = [&](size_t tail) {
    return text.substr(0, std::min(text.size(), kHead)) + L"…" + text.substr(text.size() - tail);
  };
  size_t fits = 0, tooLong = text.size() > kHead ? text.size() - kHead : 0;
  while (fits + 1 < tooLong) {
    const size_t tail = (fits + tooLong) / 2;
    (width(with(tail)) > room ? tooLong : fits) = tail;
  }
  return with(fits);
}

int QvFileBrowser::CompareItems(LPARAM a, LPARAM b, LPARAM browser) {
  const auto& self = *reinterpret_cast<const QvFileBrowser*>(browser);
  return FileBrowserRows::Compare(*reinterpret_cast<const FileRow*>(a), *reinterpret_cast<const FileRow*>(b),
                                  self.sortKey_, self.ascending_);
}

void QvFileBrowser::Sort() {
  SendMessageW(list_, LVM_SORTITEMS, reinterpret_cast<WPARAM>(this), reinterpret_cast<LPARAM>(&CompareItems));
}

// ---------------------------------------------------------------------------
// Notifications and commands

LRESULT QvFileBrowser::OnNotify(NMHDR* header) {
  switch (header->code) {
    case LVN_GETDISPINFOW:
      GiveDisplayInfo(&reinterpret_cast<NMLVDISPINFOW*>(header)->item);
      return 0;
    case LVN_KEYDOWN: {
      const WORD key = reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey;
      if ((key == VK_BACK && NameFieldTakesNoBack()) || key == VK_ESCAPE) {
        EndBrowse(IDCANCEL);
      } else if (key == VK_TAB) {
        SetFocus(Control(GetKeyState(VK_SHIFT) < 0 ? kFilterCombo : kNameField));
      } else if (key == 'A') {
        SelectAll();
      }
      return 0;
    }
    case LVN_COLUMNCLICK: {
      static constexpr int kKeys[] = {kByName, kBySize, kByType, kByDate};
      const int column = reinterpret_cast<NMLISTVIEW*>(header)->iSubItem;
      if (column < 0 || column > 3) return 0;
      if (kKeys[column] == sortKey_) ascending_ = !ascending_;
      sortKey_ = kKeys[column];
      Sort();
      return 0;
    }
    case LVN_ITEMCHANGED:
      SetTimer(dialog_, kSelectionTimer, kTimerDelay, nullptr);
      return 0;
    case NM_CUSTOMDRAW:
      if (header->hwndFrom != list_) return -1;
      return CustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    case NM_RETURN:
    case NM_DBLCLK:
      if (header->hwndFrom == list_) OpenSelectedItem();
      return 0;
    case NM_CLICK:
      if (header->hwndFrom == list_ && GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_SHIFT) >= 0 &&
          SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0) <= 1) {
        OpenSelectedItem();
      }
      return 0;
    default:
      return -1;
  }
}

void QvFileBrowser::OnCommand(UINT id, UINT code) {
  switch (id) {
    case IDOK:
      OnOK();
      break;
    case IDCANCEL:
      EndBrowse(IDCANCEL);
      break;
    case kNewFolderButton:
    case kNewFolder:
      NewFolder();
      break;
    case kFilterCombo:
      if (code == CBN_SELCHANGE) {
        MakePatterns();
        Navigate(rows_.Folder(), false);
      }
      break;
    case kUp:
      Up();
      break;
    case kThumbnails:
    case kSmallIcons:
    case kDetails:
      SetView(id);
      break;
    case kSelectAll:
      SelectAll();
      break;
    default:
      break;
  }
}

void QvFileBrowser::OnTimer(UINT_PTR id) {
  KillTimer(dialog_, id);
  if (id == kSelectionTimer) {
    SelectionToName();
  } else if (id == kThumbnailTimer) {
    painting_ = false;
    while (loaderRunning_) {
      ThumbnailEntry e;
      if (!loader_.TakeDone(&e)) break;
      PlaceThumbnail(e);
    }
  }
}

void QvFileBrowser::SetView(UINT command) {
  view_ = command;
  const LONG_PTR style = GetWindowLongW(list_, GWL_STYLE) & ~static_cast<LONG_PTR>(LVS_TYPEMASK);
  const UINT type = command == kThumbnails ? LVS_ICON : command == kSmallIcons ? LVS_LIST : LVS_REPORT;
  SetWindowLongW(list_, GWL_STYLE, style | type);
  SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, ~0u,
               command == kDetails ? LVS_EX_TRACKSELECT | LVS_EX_FULLROWSELECT | LVS_EX_ONECLICKACTIVATE : 0);
  if (menuBar_) {
    for (UINT id : {kThumbnails, kSmallIcons, kDetails}) {
      SendMessageW(menuBar_, TB_ENABLEBUTTON, id, TRUE);
      SendMessageW(menuBar_, TB_CHECKBUTTON, id, id == command);
    }
    if (HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuBar_, SHCMBM_GETSUBMENU, 0, 1))) {
      CheckMenuRadioItem(menu, kSmallIcons, kThumbnails, command, MF_BYCOMMAND);
    }
  }
  FitColumns();
  SendMessageW(list_, LVM_ARRANGE, 0, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

// Size and type as wide as their widest text (or title), the name what is
// left of the list's width but no less than its own widest (up to a third of
// the list) nor a quarter; the date lies past the right edge, a scroll away.
void QvFileBrowser::FitColumns() {
  if (view_ != kDetails || !list_) return;
  const auto widthOf = [&](int c) {
    return static_cast<LONG>(SendMessageW(list_, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0));
  };
  for (int c : {FileBrowserRows::kNameColumn, FileBrowserRows::kSizeColumn, FileBrowserRows::kTypeColumn,
                FileBrowserRows::kDateColumn}) {
    SendMessageW(list_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c), LVSCW_AUTOSIZE_USEHEADER);
  }
  RECT client{};
  GetClientRect(list_, &client);
  const LONG rest = client.right - widthOf(FileBrowserRows::kSizeColumn) - widthOf(FileBrowserRows::kTypeColumn);
  const LONG name = std::max({rest, std::min(widthOf(FileBrowserRows::kNameColumn), client.right / 3), client.right / 4});
  SendMessageW(list_, LVM_SETCOLUMNWIDTH, FileBrowserRows::kNameColumn, name);
}

void QvFileBrowser::SelectionToName() {
  const bool single = (GetWindowLongW(list_, GWL_STYLE) & LVS_SINGLESEL) != 0;
  std::wstring text;
  bool any = false;
  for (int i = -1; (i = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED))) >= 0;) {
    const FileRow* item = ItemAt(i);
    if (!item || item->kind != FileRow::kFile || rows_.IsFolderShortcut(*item, nullptr)) continue;
    any = true;
    if (single) {
      text = item->name;
      break;
    }
    text += L"\"" + item->name + L"\" ";
  }
  if (single && !any) return;  // a folder keeps what the field holds
  SetDlgItemTextW(dialog_, kNameField, text.c_str());
}

void QvFileBrowser::SelectAll() {
  if (GetWindowLongW(list_, GWL_STYLE) & LVS_SINGLESEL) return;
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED;
  state.state = LVIS_SELECTED;
  SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
}

void QvFileBrowser::Up() {
  if (rows_.AtRoot()) return;
  const std::wstring& folder = rows_.Folder();
  Navigate(folder.substr(0, folder.rfind(L'\\')), true);
}

void QvFileBrowser::NewFolder() {
  std::wstring name;
  if (!g_folderNameDialog || g_folderNameDialog(rows_.Folder(), &name) != IDOK || name.empty()) return;
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  const FileRow* made = rows_.AddFolder(name, [this](FileRow& item) {
    LVITEMW row{};
    row.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
    row.pszText = LPSTR_TEXTCALLBACKW;
    row.iImage = I_IMAGECALLBACK;
    row.state = row.stateMask = LVIS_FOCUSED;
    row.lParam = reinterpret_cast<LPARAM>(&item);
    const int index = static_cast<int>(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row)));
    if (index < 0) {
      ShowQvMiddleError(0x5026, dialog_, nullptr);
      return false;
    }
    LVITEMW type{};
    type.iSubItem = 2;
    type.pszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(list_, LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&type));
    return true;
  });
  if (made) {
    Sort();
    LVFINDINFOW find_info{};
    find_info.flags = LVFI_STRING;
    find_info.psz = name.c_str();
    const LRESULT at = SendMessageW(list_, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find_info));
    if (at >= 0) SendMessageW(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(at), FALSE);
  }
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

// ---------------------------------------------------------------------------
// OK, opening an item, the end

void QvFileBrowser::OpenSelectedItem() {
  const int i = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  const FileRow* item = i >= 0 ? ItemAt(i) : nullptr;
  if (!item) return;
  std::wstring target;
  if (item->kind == FileRow::kFolder) Navigate(rows_.PathOf(*item), true);
  else if (rows_.IsFolderShortcut(*item, &target)) Navigate(target, true);
}

void QvFileBrowser::OnOK() {
  const bool ends = mode_ == kSave ? OkSaveOrChoose() : OkOpen();
  if (ends) EndBrowse(IDOK);
}

// Save and folder choice: the typed name, checked, joined to the folder.
bool QvFileBrowser::OkSaveOrChoose() {
  std::wstring name = ControlText(Control(kNameField));
  if (HasForbiddenCharacter(name)) {
    ShowWarningBoxRes(dialog_, 20218);
    return false;
  }
  name = Trim(name);
  if (name == L".") return false;
  if (name == L"..") {
    Up();
    return false;
  }
  const bool folderMode = (request_->Flags & kBrowseFolderFlag) != 0;
  if (rows_.Folder().size() + name.size() + 1 > std::min<size_t>(request_->nMaxFile, 256)) {
    ShowWarningBoxRes(dialog_, 20217);
    return false;
  }
  if (name.empty() && !folderMode) {
    ShowWarningBoxRes(dialog_, 20212);
    return false;
  }
  const std::wstring path = folderMode && name.empty() ? rows_.Folder() : Join(rows_.Folder(), name);
  if (!request_->lpstrFile || path.size() >= request_->nMaxFile) {
    ShowWarningBoxRes(dialog_, 20217);
    return false;
  }
  std::copy(path.begin(), path.end(), request_->lpstrFile);
  request_->lpstrFile[path.size()] = 0;
  if (!(request_->Flags & OFN_OVERWRITEPROMPT)) return true;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    request_->lpstrFile[0] = 0;
    Navigate(path, true);
    SetDlgItemTextW(dialog_, kNameField, L"");
    return false;
  }
  return ShowConfirmBox(dialog_, qv::FormatW(LoadResString(20065).GetString(), path.c_str()).c_str(), false);
}

bool QvFileBrowser::OkOpen() {
  const auto fill = [&](const std::wstring& text) {
    if (!request_->lpstrFile || request_->nMaxFile == 0) return;
    const size_t n = std::min<size_t>(text.size(), request_->nMaxFile - 1);
    std::copy_n(text.begin(), n, request_->lpstrFile);
    request_->lpstrFile[n] = 0;
  };
  if (request_->Flags & kBrowseFolderFlag) {
    fill(rows_.Folder());
    return true;
  }
  const auto selectedFiles = [&] {
    std::vector<const FileRow*> out;
    for (int i = -1;
         (i = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED))) >= 0;) {
      const FileRow* item = ItemAt(i);
      if (item && item->kind == FileRow::kFile) out.push_back(item);
    }
    return out;
  };
  if (request_->Flags & OFN_ALLOWMULTISELECT) {
    fill(rows_.Folder());
    resultPath_ = rows_.Folder();
    resultList_.clear();
    for (const FileRow* item : selectedFiles()) resultList_.push_back(rows_.PathOf(*item));
    if (static_cast<int>(resultList_.size()) > limit_) {
      ShowWarningBox(dialog_, qv::FormatW(LoadResString(20064).GetString(), limit_).c_str());
      resultList_.clear();
      return false;
    }
    return true;
  }
  const std::vector<const FileRow*> files = selectedFiles();
  if (files.empty()) return false;  // nothing chosen: the browser stays
  fill(rows_.PathOf(*files.front()));
  return true;
}

void QvFileBrowser::EndBrowse(INT_PTR code) {
  if (!dialog_) return;
  if (code == IDOK && request_->lpstrFilter && request_->lpstrFilter[0]) {
    const LRESULT sel = SendDlgItemMessageW(dialog_, kFilterCombo, CB_GETCURSEL, 0, 0);
    if (sel >= 0) request_->nFilterIndex = static_cast<DWORD>(sel + 1);
  }
  for (int id : {static_cast<int>(kList), static_cast<int>(kNewFolderButton), IDCANCEL, static_cast<int>(kNameField),
                 static_cast<int>(kFilterCombo)}) {
    Restore(id);
  }
  KillTimer(dialog_, kSelectionTimer);
  KillTimer(dialog_, kThumbnailTimer);
  SendDlgItemMessageW(dialog_, kFilterCombo, CB_RESETCONTENT, 0, 0);
  filters_.clear();
  patterns_.clear();
  ClearItems();
  iconKeys_.clear();
  SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
  if (smallImages_) ImageList_Destroy(smallImages_);
  smallImages_ = nullptr;
  if (menuBar_) DestroyWindow(menuBar_);
  menuBar_ = nullptr;
  HWND dialog = dialog_;
  dialog_ = nullptr;
  EndDialog(dialog, code);
}

// ---------------------------------------------------------------------------
// Subclassed controls

bool QvFileBrowser::NameFieldTakesNoBack() const {
  HWND name = Control(kNameField);
  return (GetWindowLongW(name, GWL_STYLE) & ES_READONLY) || GetWindowTextLengthW(name) == 0;
}

void QvFileBrowser::Subclass(int id) {
  HWND control = Control(id);
  if (!control) return;
  SetWindowLongW(control, GWL_USERDATA, GetWindowLongW(control, GWL_WNDPROC));
  SetWindowLongW(control, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc));
}

void QvFileBrowser::Restore(int id) {
  HWND control = Control(id);
  if (!control || GetWindowLongW(control, GWL_WNDPROC) != reinterpret_cast<LONG_PTR>(&SubclassProc)) return;
  SetWindowLongW(control, GWL_WNDPROC, GetWindowLongW(control, GWL_USERDATA));
}

LRESULT QvFileBrowser::SubclassProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  auto own = reinterpret_cast<WNDPROC>(GetWindowLongW(control, GWL_USERDATA));
  const int id = GetDlgCtrlID(control);
  HWND dialog = GetParent(control);
  if (id == kList) {
    if (message == WM_GETDLGCODE) return DLGC_WANTARROWS | DLGC_WANTCHARS;
    return CallWindowProcW(own, control, message, wParam, lParam);
  }
  if (message == WM_GETDLGCODE) return CallWindowProcW(own, control, message, wParam, lParam) | DLGC_WANTCHARS;
  if (message == WM_KEYDOWN && wParam == VK_BACK) {
    HWND name = GetDlgItem(dialog, kNameField);
    if ((GetWindowLongW(name, GWL_STYLE) & ES_READONLY) || GetWindowTextLengthW(name) == 0) {
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      return 0;
    }
  }
  return CallWindowProcW(own, control, message, wParam, lParam);
}
