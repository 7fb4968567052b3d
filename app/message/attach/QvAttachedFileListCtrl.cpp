#include "app/message/attach/QvAttachedFileListCtrl.h"

#include <cwchar>

#include "app/foundation/FileChoosers.h"
#include "app/foundation/MessageBoxes.h"
#include "app/foundation/PictureChars.h"
#include "app/foundation/PictureText.h"
#include "app/foundation/QvFlexibleEdit.h"
#include "app/protocol/Commands.h"
#include "app/protocol/WindowMessages.h"
#include "platform/framework/AfxResource.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Library.h"
#include "platform/shell/HandOff.h"
#include "platform/shell/ShellFiles.h"
#include "platform/ui/commctrl/ListView.h"

namespace {

constexpr wchar_t kMailFileMessage[] =
    L"このファイルは開くことが\r\nできません。\r\nファイルを保存して、\r\nインポートしてください。";

// Types that a viewer shows and never runs. Anything else (programs,
// scripts, shortcuts, pages with script, installers) is not opened.
constexpr const wchar_t* kViewableTypes[] = {
    L"txt", L"csv", L"jpg", L"jpeg", L"jpe", L"gif", L"png", L"bmp", L"pdf", L"doc", L"docx", L"xls",
    L"xlsx", L"ppt", L"pptx", L"wav", L"mp3", L"mid", L"midi", L"amr", L"3gp", L"3g2", L"mp4", L"wma", L"wmv",
};

// The image-list calls, found by name in the common-control library the
// first time each is used, and kept.
template <class F>
F ImageListCall(const wchar_t* name) {
  static HMODULE library = LoadLibraryW(COMMCTRL_LIBRARY);
  return library ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddressW(library, name))) : nullptr;
}
int CallGetImageCount(HIMAGELIST list) {
  static const auto f = ImageListCall<int (*)(HIMAGELIST)>(L"ImageList_GetImageCount");
  return f ? f(list) : 0;
}
BOOL CallDraw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style) {
  static const auto f = ImageListCall<BOOL (*)(HIMAGELIST, int, HDC, int, int, UINT)>(L"ImageList_Draw");
  return f ? f(list, index, dc, x, y, style) : FALSE;
}
int CallAddMasked(HIMAGELIST list, HBITMAP image, COLORREF mask) {
  static const auto f = ImageListCall<int (*)(HIMAGELIST, HBITMAP, COLORREF)>(L"ImageList_AddMasked");
  return f ? f(list, image, mask) : -1;
}
BOOL CallRemove(HIMAGELIST list, int index) {
  static const auto f = ImageListCall<BOOL (*)(HIMAGELIST, int)>(L"ImageList_Remove");
  return f ? f(list, index) : FALSE;
}

CString ExtensionOf(const CString& name) {
  const int dot = name.ReverseFind(L'.');
  return dot < 0 ? CString() : name.Mid(dot + 1);
}

CString Formatted(UINT id, const CString& label) {
  CString text;
  text.Format(LoadResString(id), label.GetString());
  return text;
}

}  // namespace

CString AttachmentLabel(const CString& path) {
  int cut = path.ReverseFind(L'\\');
  if (cut < 0) cut = path.ReverseFind(L':');
  return cut < 0 ? path : path.Mid(cut + 1);
}

CString AttachmentSaveName(const CString& label) {
  CString name = label;
  const int cut = [&] {
    const int a = name.ReverseFind(L'\\'), b = name.ReverseFind(L'/'), c = name.ReverseFind(L':');
    return a > b ? (a > c ? a : c) : (b > c ? b : c);
  }();
  if (cut >= 0) name = name.Mid(cut + 1);
  CString clean;
  for (int i = 0; i < name.GetLength(); ++i) {
    const wchar_t c = name[i];
    if (c < 0x20 || c == 0x7F || wcschr(L"<>\"|?*", c)) continue;
    clean.AppendChar(c);
  }
  // A name that starts with dots (or is only dots) climbs or hides; the
  // rest of it may stay. Trailing dots and blanks are dropped as names drop them.
  clean.TrimLeft(L". ");
  clean.TrimRight(L". ");
  while (clean.Find(L"..") >= 0) clean.Replace(L"..", L".");
  return clean.IsEmpty() ? CString(kDefaultSaveName) : clean;
}

bool IsViewableAttachment(const CString& label) {
  CString ext = ExtensionOf(AttachmentSaveName(label));
  ext.MakeLower();
  for (const wchar_t* type : kViewableTypes) {
    if (ext == type) return true;
  }
  return false;
}

bool IsMailFileAttachment(const CString& label) {
  CString ext = ExtensionOf(label);
  ext.MakeLower();
  return ext == L"eml";
}

QvAttachedFileListCtrl::~QvAttachedFileListCtrl() {
  for (auto& entry : icons_) {
    if (entry.second) DestroyIcon(entry.second);
  }
}

BOOL QvAttachedFileListCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  const DWORD kinds = LVS_SMALLICON | LVS_AUTOARRANGE | LVS_SINGLESEL | LVS_SHAREIMAGELISTS;
  if (!CListCtrl::Create(style | kinds, rect, parent, id)) return FALSE;
  images_.Create(32, 32, ILC_COLOR32 | ILC_MASK, 0, 128);
  SetImageList(images_, LVSIL_SMALL);
  more_.Create(this);
  return TRUE;
}

void QvAttachedFileListCtrl::AddFile(const CString& path, int index, bool fit) {
  const std::wstring ext = ExtensionOf(AttachmentLabel(path)).str();
  HICON icon = nullptr;
  auto found = icons_.find(ext);
  if (found != icons_.end()) {
    icon = found->second;
  } else {
    SHFILEINFO info{};
    ++iconLookups_;
    SHGetFileInfo(path, FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                  SHGFI_USEFILEATTRIBUTES | SHGFI_ICON | SHGFI_SMALLICON);
    icon = info.hIcon;
    icons_[ext] = icon;
  }
  const int image = icon ? images_.Add(icon) : -1;
  const int at = index < 0 || index > GetPathCount() ? GetPathCount() : index;
  paths_.InsertAt(at, path);
  const int item = InsertItem(at, AttachmentLabel(path), image);
  SetItemState(item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  if (fit) FitToContent();
}

void QvAttachedFileListCtrl::SetFiles(const CStringArray& paths, bool placeholder) {
  const bool hadFocus = ::GetFocus() == m_hWnd;
  ShowWindow(SW_HIDE);
  EnableWindow(paths.GetSize() > 0 || placeholder);
  if (placeholder) {
    firstItemGrey_ = true;
    const CString text = LoadResString(kPlaceholderText);
    if (paths.GetSize() == 0) {
      // The placeholder's bitmap alone, at its own size.
      images_.DeleteImageList();
      images_.Create(1, 1, ILC_COLOR32 | ILC_MASK, 0, 128);
      SetImageList(images_, LVSIL_SMALL);
      if (!placeholder_) placeholder_.reset(LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kPlaceholderBitmap)));
      const int image = placeholder_ ? CallAddMasked(images_, placeholder_.get(), RGB(255, 0, 255)) : -1;
      paths_.InsertAt(0, CString());
      InsertItem(0, text, image);
    } else {
      paths_.InsertAt(0, CString());
      InsertItem(0, text, -1);
    }
  }
  for (INT_PTR i = 0; i < paths.GetSize(); ++i) AddFile(paths[i], -1, false);
  ShowWindow(SW_SHOW);
  if (hadFocus) SetFocus();
  if (paths.GetSize() > 0) FitToContent();
}

int QvAttachedFileListCtrl::GetSelectedIndex() const { return GetNextItem(-1, LVNI_SELECTED); }

bool QvAttachedFileListCtrl::Contains(const CString& path) const {
  for (INT_PTR i = 0; i < paths_.GetSize(); ++i) {
    if (std::wcsncmp(paths_[i], path, MAX_PATH) == 0) return true;
  }
  return false;
}

CString QvAttachedFileListCtrl::GetPath(int index) const {
  return index >= 0 && index < GetPathCount() ? paths_[index] : CString();
}

int QvAttachedFileListCtrl::GetItemImage(int index) const {
  LVITEM item{};
  item.mask = LVIF_IMAGE;
  item.iItem = index;
  return GetItem(&item) ? item.iImage : -1;
}

void QvAttachedFileListCtrl::SelectItem(int index) {
  const int count = GetItemCount();
  if (count == 0) return;
  if (index == -1) index = count - 1;
  if (index < 0 || index >= count) index = 0;
  SetItemState(index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  EnsureVisible(index, FALSE);
  if (::GetFocus() == m_hWnd) Invalidate();
}

void QvAttachedFileListCtrl::RemoveItem(int index) {
  if (index < 0 || index >= GetItemCount()) return;
  const int image = GetItemImage(index);
  DeleteItem(index);
  const int focus = GetNextItem(-1, LVNI_FOCUSED);
  if (focus >= 0) SetItemState(focus, LVIS_SELECTED, LVIS_SELECTED);
  if (index < GetPathCount()) paths_.RemoveAt(index);
  if (image >= 0) {
    CallRemove(images_, image);
    // The images after the removed one moved down by one.
    for (int i = 0; i < GetItemCount(); ++i) {
      LVITEM item{};
      item.mask = LVIF_IMAGE;
      item.iItem = i;
      if (GetItem(&item) && item.iImage > image) {
        --item.iImage;
        SetItem(&item);
      }
    }
  }
}

int QvAttachedFileListCtrl::RemoveSelected() {
  const int index = GetSelectedIndex();
  if (index < 0) return -1;
  RemoveItem(index);
  FitToContent();
  return index;
}

void QvAttachedFileListCtrl::RemoveAll() {
  while (GetItemCount() > 0) RemoveItem(0);
  paths_.RemoveAll();
}

void QvAttachedFileListCtrl::TruncateToRows(int rows) {
  RECT first{};
  if (GetItemCount() == 0 || !GetItemRect(0, &first, LVIR_BOUNDS)) return;
  const int limit = rows * (first.bottom - first.top) + 4;
  for (int i = 0; i < GetItemCount(); ++i) {
    RECT r{};
    if (GetItemRect(i, &r, LVIR_BOUNDS) && r.top >= limit) {
      while (GetItemCount() > i) {
        DeleteItem(i);
        if (i < GetPathCount()) paths_.RemoveAt(i);
      }
      break;
    }
  }
  more_.AdjustToText();
  more_.ShowWindow(SW_SHOW);
  truncated_ = true;
}

int QvAttachedFileListCtrl::GetVisibleRowCount() const {
  RECT client{}, item{};
  GetClientRect(&client);
  if (GetItemCount() == 0 || !GetItemRect(0, &item, LVIR_BOUNDS) || item.bottom <= item.top) return 0;
  return (client.bottom - client.top) / (item.bottom - item.top);
}

CString QvAttachedFileListCtrl::SelectedLabel(int* index) const {
  *index = GetSelectedIndex();
  if (*index < 0 || *index >= GetPathCount() || paths_[*index].IsEmpty()) return CString();
  return AttachmentLabel(paths_[*index]);
}

bool QvAttachedFileListCtrl::SaveSelected() {
  int index = -1;
  const CString label = SelectedLabel(&index);
  if (label.IsEmpty()) return false;
  std::wstring target;
  if (!SelectAttachmentSaveFolder(m_hWnd, AttachmentSaveName(label).str(), &target)) return false;
  if (CopyFileW(paths_[index], target.c_str(), FALSE)) {
    ShowNoticeBoxRes(m_hWnd, kSavedNotice);
    return true;
  }
  ShowErrorBoxRes(m_hWnd, kSaveFailed);
  return false;
}

bool QvAttachedFileListCtrl::OpenSelected() {
  int index = -1;
  const CString label = SelectedLabel(&index);
  if (label.IsEmpty()) return false;
  if (IsMailFileAttachment(label)) {
    ShowWarningBox(m_hWnd, kMailFileMessage);
    return false;
  }
  // Only a viewable type is offered to the shell, and the shell's own
  // allow-list refuses programs and files with an executable bit.
  if (!IsViewableAttachment(label)) {
    ShowErrorBox(m_hWnd, Formatted(kOpenFailed, label));
    return false;
  }
  if (!ShowConfirmBox(m_hWnd, Formatted(kOpenQuestion, label), true)) return false;
  SHELLEXECUTEINFO info{};
  info.cbSize = kDeviceShellExecuteInfoSize;
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.hwnd = m_hWnd;
  info.lpVerb = L"Open";
  info.lpFile = paths_[index];
  info.nShow = SW_SHOW;
  if (ShellExecuteEx(&info)) return true;
  ShowErrorBox(m_hWnd, Formatted(kOpenFailed, label));
  return false;
}

void QvAttachedFileListCtrl::FitToContent() {
  RECT client{};
  GetClientRect(&client);
  const SIZE need = ApproximateViewRect({client.right - client.left, -1}, -1);
  RECT window{};
  GetWindowRect(&window);
  HWND parent = ::GetParent(m_hWnd);
  if (parent) ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&window), 2);
  ::SetWindowPos(m_hWnd, nullptr, window.left, window.top, window.right - window.left, need.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  ModifyStyle(LVS_TYPEMASK, LVS_SMALLICON | LVS_AUTOARRANGE);
  if (resizeNotice_ && parent) {
    RECT area{};
    ::GetClientRect(parent, &area);
    ::PostMessageW(parent, WM_SIZE, SIZE_RESTORED, MAKELPARAM(area.right, area.bottom));
  }
}

void QvAttachedFileListCtrl::SetNeighbours(int viewMode, HWND above, HWND below, HWND left) {
  viewMode_ = viewMode;
  above_ = above;
  below_ = below;
  left_ = left;
}

void QvAttachedFileListCtrl::PostMenuAt(POINT client) {
  ClientToScreen(&client);
  ::PostMessageW(::GetParent(m_hWnd), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(m_hWnd), MAKELPARAM(client.x, client.y));
}

bool QvAttachedFileListCtrl::OnKeyDown(UINT key) {
  const int count = GetItemCount();
  const int current = GetSelectedIndex();
  const bool plain = GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_CONTROL) >= 0;
  HWND parent = ::GetParent(m_hWnd);
  switch (key) {
    case VK_LEFT:
      if (viewMode_) {
        if (plain) ::PostMessageW(parent, kStepMessageRequest, 1, 0);
      } else if (current <= 0) {
        if (left_) ::SetFocus(left_);
      } else {
        SelectItem(current - 1);
      }
      return true;
    case VK_RIGHT:
      if (viewMode_) {
        ::PostMessageW(parent, kStepMessageRequest, 0, 0);
      } else if (current + 1 < count) {
        SelectItem(current + 1);
      }
      return true;
    case VK_UP:
      if (current <= 0) {
        // As the fields ask: the direction, then the window; unanswered, the
        // list moves the focus itself.
        const LRESULT moved = ::SendMessageW(parent, kMoveFocusMessage, 1, reinterpret_cast<LPARAM>(above_));
        if (!moved && above_) ::SetFocus(above_);
      } else {
        SelectItem(current - 1);
        ::SendMessageW(parent, kMoveFocusMessage, 3, 0);
      }
      return true;
    case VK_DOWN:
      if (current >= count - 1) {
        const LRESULT moved = ::SendMessageW(parent, kMoveFocusMessage, 2, reinterpret_cast<LPARAM>(below_));
        if (!moved && below_) ::SetFocus(below_);
      } else {
        SelectItem(current + 1);
        ::SendMessageW(parent, kMoveFocusMessage, 4, 0);
      }
      return true;
    default:
      return false;
  }
}

void QvAttachedFileListCtrl::Paint() {
  PAINTSTRUCT ps{};
  HDC dc = ::BeginPaint(m_hWnd, &ps);
  RECT client{};
  GetClientRect(&client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
  const qv::ScopedSelectObject withFont(dc, reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
  SetBkMode(dc, TRANSPARENT);
  const bool focused = ::GetFocus() == m_hWnd;
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  for (int i = 0; i < GetItemCount(); ++i) {
    RECT bounds{}, icon{}, label{};
    if (!GetItemRect(i, &bounds, LVIR_BOUNDS)) continue;
    GetItemRect(i, &icon, LVIR_ICON);
    GetItemRect(i, &label, LVIR_LABEL);
    const bool highlighted = focused && (GetItemState(i, LVIS_SELECTED) & LVIS_SELECTED);
    FillRect(dc, &bounds, GetSysColorBrush(highlighted ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const int image = GetItemImage(i);
    if (image >= 0 && image < CallGetImageCount(images_)) {
      CallDraw(images_, image, dc, icon.left, icon.top, highlighted ? ILD_SELECTED : ILD_NORMAL);
    }
    ::SetTextColor(dc, GetSysColor(highlighted ? COLOR_HIGHLIGHTTEXT
                                 : (i == 0 && firstItemGrey_) ? COLOR_GRAYTEXT
                                                              : COLOR_WINDOWTEXT));
    const CString text = GetItemText(i, 0);
    const int y = label.top + (label.bottom - label.top - tm.tmHeight) / 2;
    // Pictographs take the cell of U+3013 and show as pictures.
    DrawPictureText(dc, label.left + 4, y, text, text.GetLength(), tm.tmHeight);
  }
  ::EndPaint(m_hWnd, &ps);
}

BOOL QvAttachedFileListCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_NOTIFY) {
    const auto* head = reinterpret_cast<const NMHDR*>(lParam);
    switch (head->code) {
      case NM_CLICK:
        PostMenuAt(tap_);
        return TRUE;
      case NM_RETURN: {
        RECT r{};
        const int index = GetSelectedIndex();
        if (index >= 0 && GetItemRect(index, &r, LVIR_BOUNDS)) PostMenuAt({r.right, r.bottom});
        return TRUE;
      }
      case NM_SETFOCUS:
        if (GetSelectedIndex() < 0) SelectItem(0);
        return FALSE;
      default:
        break;
    }
  }
  return CListCtrl::OnChildNotify(message, wParam, lParam, result);
}

BOOL QvAttachedFileListCtrl::PreTranslateMessage(MSG* msg) {
  // A key aimed at another window while this list is asked to take it.
  if (msg->message == WM_KEYDOWN && msg->hwnd != m_hWnd && ::GetFocus() == m_hWnd) {
    if (msg->wParam == VK_UP) SelectItem(-1);
    if (msg->wParam == VK_RIGHT || msg->wParam == VK_DOWN) SelectItem(0);
  }
  return CListCtrl::PreTranslateMessage(msg);
}

LRESULT QvAttachedFileListCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      tap_ = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      Invalidate();
      break;
    case WM_KEYDOWN:
      if (OnKeyDown(static_cast<UINT>(wParam))) return 0;
      break;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_GETDLGCODE:
      return CListCtrl::WindowProc(message, wParam, lParam) | DLGC_WANTARROWS;
    case WM_SIZE: {
      const LRESULT result = CListCtrl::WindowProc(message, wParam, lParam);
      if (more_.m_hWnd) more_.AdjustToText();
      return result;
    }
    default:
      break;
  }
  return CListCtrl::WindowProc(message, wParam, lParam);
}

LRESULT QvAttachedFileButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (LRESULT result = 0; SendCommandOnEnterOrTap(message, wParam, lParam, kAddAttachmentCommand, &result)) {
    return result;
  }
  if (message == WM_KEYDOWN && wParam == VK_RIGHT) {
    // Right with an empty list beside adds, as there is nothing to step into.
    HWND list = FindKeyTarget(VK_RIGHT);
    if (list && ::IsWindow(list) && ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 0) {
      ::SendMessageW(::GetParent(m_hWnd), WM_COMMAND, kAddAttachmentCommand, 0);
      return 0;
    }
  }
  return QvFlatButton::WindowProc(message, wParam, lParam);
}
