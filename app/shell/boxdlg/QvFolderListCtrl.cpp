#include "app/shell/boxdlg/QvFolderListCtrl.h"

#include "app/foundation/QvClipboard.h"
#include "platform/framework/CDC.h"

BEGIN_MESSAGE_MAP(QvFolderListCtrl, CListCtrl)
  ON_WM_MEASUREITEM_REFLECT()
  ON_WM_KEYDOWN()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONDBLCLK()
END_MESSAGE_MAP()

namespace {

void MakeFont(CFont* font, LONG weight) {
  LOGFONTW lf;
  InitLogFont(&lf, 32, weight >= 700);
  lf.lfHeight = 32;
  lf.lfWeight = weight;
  lf.lfCharSet = DEFAULT_CHARSET;
  font->CreateFontIndirect(&lf);
}

constexpr COLORREF kCountColour = 0xFF0000;  // blue, as a colour reference

}  // namespace

QvFolderListCtrl::QvFolderListCtrl() {
  MakeFont(&normal_, 400);
  MakeFont(&bold_, 700);
}

bool QvFolderListCtrl::SetUp() {
  if (!m_hWnd) return false;
  if (!images_.m_hImageList) images_.Create(kImagesBitmap, 32, 1, RGB(0xFF, 0x00, 0xFF));
  ModifyStyle(LVS_TYPEMASK | LVS_SORTASCENDING | LVS_SORTDESCENDING,
              LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_OWNERDRAWFIXED | LVS_SHOWSELALWAYS);
  SetExtendedStyle(GetExtendedStyle() | LVS_EX_FULLROWSELECT);
  SetImageList(images_.m_hImageList, LVSIL_SMALL);
  SetFont(&normal_, FALSE);
  CRect client;
  GetClientRect(&client);
  if (GetHeaderCtrl() == nullptr || SendMessage(LVM_GETCOLUMNWIDTH, 0) == 0) InsertColumn(0, L"", LVCFMT_LEFT, client.Width());
  // The list asks its owner for the row height only on a new size: tell it
  // its size once, as the framework's owner-drawn lists do.
  CRect window;
  GetWindowRect(&window);
  WINDOWPOS pos{m_hWnd, nullptr, 0, 0, window.Width(), window.Height(),
                SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOOWNERZORDER | SWP_NOZORDER};
  SendMessage(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  return images_.m_hImageList != nullptr;
}

void QvFolderListCtrl::MeasureItem(LPMEASUREITEMSTRUCT mis) { mis->itemHeight = kRowHeight; }

int QvFolderListCtrl::AddItem(int index, LPCTSTR text, int image, int count, bool counted, DWORD_PTR data) {
  const DWORD_PTR key = counted ? data : kNoKey;
  if (counted && count != 0) counts_[key] = count;
  return InsertItem(LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM, index, text, 0, 0, image, static_cast<LPARAM>(key));
}

void QvFolderListCtrl::SetCount(DWORD_PTR key, int count) {
  auto it = counts_.find(key);
  if (it != counts_.end()) it->second = count;
  else if (count > 0) counts_[key] = count;
}

int QvFolderListCtrl::CountOf(DWORD_PTR key) const {
  auto it = counts_.find(key);
  return it == counts_.end() ? 0 : it->second;
}

void QvFolderListCtrl::ClearItems() {
  DeleteAllItems();
  counts_.clear();
}

int QvFolderListCtrl::GetSelectedIndex() const { return GetNextItem(-1, LVNI_SELECTED); }

DWORD_PTR QvFolderListCtrl::GetItemKey(int index) const { return GetItemData(index); }

DWORD_PTR QvFolderListCtrl::GetSelectedKey() const {
  const int i = GetSelectedIndex();
  return i < 0 ? kNoKey : GetItemData(i);
}

CString QvFolderListCtrl::GetItemTextShort(int index) const {
  wchar_t text[12] = {};
  LVITEMW item{};
  item.iSubItem = 0;
  item.pszText = text;
  item.cchTextMax = 12;
  SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  return CString(text);
}

void QvFolderListCtrl::SelectAndShow(int index) {
  if (index < 0 || index >= GetItemCount()) return;
  SetItemState(index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  EnsureVisible(index, FALSE);
}

void QvFolderListCtrl::DrawItem(LPDRAWITEMSTRUCT dis) {
  CDC* dc = CDC::FromHandle(dis->hDC);
  CRect client;
  GetClientRect(&client);
  CRect row = dis->rcItem;
  row.left = client.left;
  row.right = client.right;
  const int index = static_cast<int>(dis->itemID);
  const bool chosen = (GetItemState(index, LVIS_SELECTED) & LVIS_SELECTED) && ::GetFocus() == m_hWnd;
  const COLORREF back = GetSysColor(chosen ? COLOR_HIGHLIGHT : COLOR_WINDOW);
  dc->FillSolidRect(&row, back);
  LVITEMW item{};
  wchar_t text[260] = {};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  item.iItem = index;
  item.pszText = text;
  item.cchTextMax = 260;
  GetItem(&item);
  if (images_.m_hImageList && item.iImage >= 0) {
    ImageList_Draw(images_.m_hImageList, item.iImage, dis->hDC, row.left + 4, row.top + 8, ILD_TRANSPARENT);
  }
  const int count = item.lParam == static_cast<LPARAM>(kNoKey) ? 0 : CountOf(static_cast<DWORD_PTR>(item.lParam));
  CFont* old = dc->SelectObject(count >= 1 ? &bold_ : &normal_);
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextColor(GetSysColor(chosen ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  CRect label = row;
  label.left += 44;
  const CString name(text);
  dc->DrawText(name, &label, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if (count >= 1) {
    CString tail;
    tail.Format(L" (%d)", count);
    label.left += dc->GetTextExtent(name).cx;
    dc->SetTextColor(kCountColour);
    dc->DrawText(tail, &label, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  dc->SelectObject(old);
}

void QvFolderListCtrl::OnKeyDown(UINT key, UINT repeat, UINT flags) {
  const int count = GetItemCount();
  const int at = GetSelectedIndex();
  if (count > 0 && key == VK_UP && at == 0) {
    if (prev_ && prev_->m_hWnd) prev_->SetFocus();
    else SelectAndShow(count - 1);
    return;
  }
  if (count > 0 && key == VK_DOWN && at == count - 1) {
    if (next_ && next_->m_hWnd) next_->SetFocus();
    else SelectAndShow(0);
    return;
  }
  CListCtrl::OnKeyDown(key, repeat, flags);
}

bool QvFolderListCtrl::BelowItems(CPoint point) const {
  const int count = GetItemCount();
  if (count == 0) return true;
  CRect last;
  if (!GetItemRect(count - 1, &last, LVIR_BOUNDS)) return false;
  return point.y >= last.bottom;
}

void QvFolderListCtrl::OnLButtonDown(UINT flags, CPoint point) {
  if (BelowItems(point)) return;
  CListCtrl::OnLButtonDown(flags, point);
}

void QvFolderListCtrl::OnLButtonDblClk(UINT flags, CPoint point) {
  if (BelowItems(point)) return;
  CListCtrl::OnLButtonDblClk(flags, point);
}
