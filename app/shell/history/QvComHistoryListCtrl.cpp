#include "app/shell/history/QvComHistoryListCtrl.h"

#include <cwchar>

#include "app/shell/folderorder/QvSortFolderListCtrl.h"
#include "platform/framework/CDC.h"

BEGIN_MESSAGE_MAP(QvComHistoryListCtrl, CListCtrl)
  ON_WM_KEYDOWN()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONDBLCLK()
  ON_WM_SIZE()
END_MESSAGE_MAP()

namespace {

// Characters [from, from + 2) of the stamp, or what there is of them.
CString Pair(const CString& stamp, int from) {
  return from < stamp.GetLength() ? stamp.Mid(from, 2) : CString();
}

}  // namespace

BOOL QvComHistoryListCtrl::SubclassHistoryList(UINT id, CWnd* parent) {
  if (!SubclassDlgItem(id, parent)) return FALSE;
  ModifyStyle(LVS_TYPEMASK, LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_SINGLESEL | LVS_NOCOLUMNHEADER | LVS_SHOWSELALWAYS);
  SetExtendedStyle(GetExtendedStyle() | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  MakeFont();
  return TRUE;
}

LOGFONTW QvComHistoryListCtrl::FontAtPoints(CFont* base, int dpi, LONG weight) {
  LOGFONTW lf{};
  if (!base || !base->GetLogFont(&lf)) std::wcsncpy(lf.lfFaceName, L"ＭＳ Ｐゴシック", LF_FACESIZE - 1);
  lf.lfHeight = -((kFontPoints * dpi + 36) / 72);
  lf.lfWeight = weight;
  return lf;
}

void QvComHistoryListCtrl::MakeFont() {
  CClientDC dc(this);
  const LOGFONTW lf = FontAtPoints(GetFont(), dc.GetDeviceCaps(LOGPIXELSY), FW_NORMAL);
  font_.DeleteObject();
  font_.CreateFontIndirect(&lf);
}

CString QvComHistoryListCtrl::DateLine(const CString& stamp) {
  CString line;
  line.Format(L"%s/%s %s:%s", Pair(stamp, 4).GetString(), Pair(stamp, 6).GetString(), Pair(stamp, 8).GetString(),
              Pair(stamp, 10).GetString());
  return line;
}

CString QvComHistoryListCtrl::AddressLine(const QvNameAddressItem& item) {
  CString line;
  if (item.name.IsEmpty()) line.Format(L"%s", item.address.GetString());
  else line.Format(L"%s<%s>", item.name.GetString(), item.address.GetString());
  return line;
}

void QvComHistoryListCtrl::DrawItem(LPDRAWITEMSTRUCT dis) {
  CDC* dc = CDC::FromHandle(dis->hDC);
  const int index = static_cast<int>(dis->itemID);
  CRect row = dis->rcItem;
  CRect client;
  GetClientRect(&client);
  row.right = client.right;
  const bool selected = (GetItemState(index, LVIS_SELECTED) & LVIS_SELECTED) != 0;
  dc->FillSolidRect(&row, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  const size_t record = static_cast<size_t>(GetItemData(index));
  if (!records_ || record >= records_->size()) return;
  const QvNameAddressItem& item = (*records_)[record];
  CFont* old = dc->SelectObject(&font_);
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextColor(GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  row.OffsetRect(2, 2);
  const int middle = row.top + (row.Height() - 2) / 2;
  constexpr UINT kLine = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
  CString number;
  number.Format(L"%02d", index + 1);
  CRect numberRect(row.left, row.top, row.left + kNumberWidth, middle);
  dc->DrawText(number, &numberRect, kLine);
  CRect dateRect(row.left + kNumberWidth + 1, row.top, row.right, middle);
  dc->DrawText(DateLine(item.date), &dateRect, kLine);
  CRect addressRect(row.left + kNumberWidth + 1, middle, row.right, row.bottom - 2);
  dc->DrawText(AddressLine(item), &addressRect, kLine);
  dc->SelectObject(old);
}

void QvComHistoryListCtrl::OnKeyDown(UINT key, UINT repeat, UINT flags) {
  if (key == VK_RETURN) {
    // Only a selected row can be chosen: a stale selection mark chooses nothing.
    const int row = GetSelectedIndex();
    if (row >= 0) ::PostMessageW(::GetParent(m_hWnd), kHistoryChosenMessage, static_cast<WPARAM>(row), 0);
    return;
  }
  CListCtrl::OnKeyDown(key, repeat, flags);
}

void QvComHistoryListCtrl::OnLButtonDown(UINT flags, CPoint point) {
  if (IsBelowListItems(*this, point)) return;
  LVHITTESTINFO hit{};
  hit.pt = point;
  const int row = static_cast<int>(SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (row >= 0) ::PostMessageW(::GetParent(m_hWnd), kHistoryChosenMessage, static_cast<WPARAM>(row), 0);
  CListCtrl::OnLButtonDown(flags, point);
}

void QvComHistoryListCtrl::OnLButtonDblClk(UINT flags, CPoint point) {
  if (IsBelowListItems(*this, point)) return;
  CListCtrl::OnLButtonDblClk(flags, point);
}

void QvComHistoryListCtrl::OnSize(UINT type, int cx, int cy) {
  CListCtrl::OnSize(type, cx, cy);
  SetColumnWidth(0, cx);
}
