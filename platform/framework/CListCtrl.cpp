#include "platform/framework/CListCtrl.h"

BOOL CListCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_LISTVIEWW, L"", style, rect, parent, id);
}

int CListCtrl::InsertItem(int index, LPCTSTR text) { return InsertItem(LVIF_TEXT, index, text, 0, 0, 0, 0); }

int CListCtrl::InsertItem(int index, LPCTSTR text, int image) {
  return InsertItem(LVIF_TEXT | LVIF_IMAGE, index, text, 0, 0, image, 0);
}

int CListCtrl::InsertItem(UINT mask, int index, LPCTSTR text, UINT state, UINT stateMask, int image, LPARAM param) {
  LVITEM item{};
  item.mask = mask;
  item.iItem = index;
  item.state = state;
  item.stateMask = stateMask;
  item.pszText = const_cast<LPTSTR>(text);
  item.iImage = image;
  item.lParam = param;
  return InsertItem(&item);
}

BOOL CListCtrl::SetItemText(int index, int subItem, LPCTSTR text) {
  LVITEM item{};
  item.iSubItem = subItem;
  item.pszText = const_cast<LPTSTR>(text);
  return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

CString CListCtrl::GetItemText(int index, int subItem) const {
  // Grows the buffer until the text fits.
  for (int size = 256;; size *= 4) {
    std::wstring buffer(static_cast<size_t>(size), L'\0');
    LVITEM item{};
    item.iSubItem = subItem;
    item.pszText = buffer.data();
    item.cchTextMax = size;
    const int length = static_cast<int>(SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
    if (length < size - 1 || size >= (1 << 20)) return CString(buffer.c_str(), length);
  }
}

BOOL CListCtrl::SetItemData(int index, DWORD_PTR data) {
  LVITEM item{};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  item.lParam = static_cast<LPARAM>(data);
  return SetItem(&item);
}

DWORD_PTR CListCtrl::GetItemData(int index) const {
  LVITEM item{};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  return GetItem(&item) ? static_cast<DWORD_PTR>(item.lParam) : 0;
}

BOOL CListCtrl::SetItemState(int index, UINT state, UINT mask) {
  LVITEM item{};
  item.state = state;
  item.stateMask = mask;
  return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

POSITION CListCtrl::GetFirstSelectedItemPosition() const {
  const int first = GetNextItem(-1, LVNI_SELECTED);
  return reinterpret_cast<POSITION>(static_cast<INT_PTR>(first + 1));
}

int CListCtrl::GetNextSelectedItem(POSITION& pos) const {
  const int index = static_cast<int>(reinterpret_cast<INT_PTR>(pos)) - 1;
  pos = reinterpret_cast<POSITION>(static_cast<INT_PTR>(GetNextItem(index, LVNI_SELECTED) + 1));
  return index;
}

int CListCtrl::InsertColumn(int index, LPCTSTR heading, int format, int width, int subItem) {
  LVCOLUMN column{};
  column.mask = LVCF_TEXT | LVCF_FMT;
  column.pszText = const_cast<LPTSTR>(heading);
  column.fmt = format;
  if (width != -1) {
    column.mask |= LVCF_WIDTH;
    column.cx = width;
  }
  if (subItem != -1) {
    column.mask |= LVCF_SUBITEM;
    column.iSubItem = subItem;
  }
  return InsertColumn(index, &column);
}

BOOL CListCtrl::GetItemRect(int index, LPRECT rect, UINT code) const {
  if (!rect) return FALSE;
  rect->left = static_cast<LONG>(code);
  return static_cast<BOOL>(SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(rect)));
}

int CListCtrl::HitTest(POINT point, UINT* flags) const {
  LVHITTESTINFO info{point, 0, -1, 0};
  const int index = HitTest(&info);
  if (flags) *flags = info.flags;
  return index;
}

SIZE CListCtrl::ApproximateViewRect(SIZE size, int count) const {
  const LRESULT r = SendMessage(LVM_APPROXIMATEVIEWRECT, static_cast<WPARAM>(count), MAKELPARAM(size.cx, size.cy));
  return {LOWORD(r), HIWORD(r)};
}

void CListCtrl::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CListCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message != WM_DRAWITEM) return CWnd::OnChildNotify(message, wParam, lParam, result);
  DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
  if (result) *result = TRUE;
  return TRUE;
}
