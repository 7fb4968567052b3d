#include "app/shell/maillist/QvMailListCtrl.h"

#include <algorithm>
#include <cstdlib>

#include "app/foundation/UiMenus.h"
#include "app/foundation/UiRegistry.h"
#include "app/mailops/FolderOperations.h"
#include "app/shell/boxdlg/QvTitleBarCtrl.h"
#include "app/shell/maillist/MailListText.h"
#include "platform/framework/CDC.h"

BEGIN_MESSAGE_MAP(QvMailListCtrl, CListCtrl)
  ON_WM_MEASUREITEM_REFLECT()
  ON_WM_KEYDOWN()
  ON_WM_GETDLGCODE()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONDBLCLK()
  ON_WM_LBUTTONUP()
  ON_WM_MOUSEMOVE()
  ON_WM_TIMER()
  ON_WM_SIZE()
  ON_WM_CONTEXTMENU()
  ON_WM_SETFOCUS()
  ON_WM_DESTROY()
END_MESSAGE_MAP()

namespace {

constexpr UINT kSelFocus = LVIS_SELECTED | LVIS_FOCUSED;
// The second line: the date's box, then the correspondent's.
constexpr int kTextLeft = 44;
constexpr int kDateRight = 204;

bool Held(int key) { return GetKeyState(key) < 0; }

}  // namespace

QvMailListCtrl::QvMailListCtrl() {
  LOGFONTW lf{};
  lf.lfHeight = 25;
  lf.lfWeight = 700;
  lf.lfCharSet = DEFAULT_CHARSET;
  wcscpy(lf.lfFaceName, L"ＭＳ Ｐゴシック");
  bold_.CreateFontIndirect(&lf);
  DWORD option = 0;
  GetSortOption(&option);
  sortOption_ = option;
}

QvMailListCtrl::~QvMailListCtrl() = default;

bool QvMailListCtrl::SetUp(QvTitleBarCtrl* listener) {
  if (!m_hWnd) return false;
  listener_ = listener;
  // The row pictures are drawn here; the list view only keeps the empty
  // 72-pixel list, which fixes its row height. Neither is the list's to free.
  ModifyStyle(LVS_TYPEMASK | LVS_SORTASCENDING | LVS_SORTDESCENDING,
              LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_OWNERDRAWFIXED | LVS_SHOWSELALWAYS |
                  LVS_SHAREIMAGELISTS);
  if (!icons_.m_hImageList) icons_.Create(kIconsBitmap, kIconWidth, 1, kIconMask);
  if (!rowHeight_.m_hImageList) rowHeight_.Create(kRowHeight, kRowHeight, ILC_COLOR32, 0, 1);
  SetImageList(rowHeight_.m_hImageList, LVSIL_SMALL);
  SetExtendedStyle(kExtendedStyles);
  CRect client;
  GetClientRect(&client);
  if (SendMessage(LVM_GETCOLUMNWIDTH, 0) == 0) InsertColumn(0, L"", LVCFMT_LEFT, client.Width());
  if (CFont* font = GetFont()) {
    LOGFONTW lf{};
    if (font->GetLogFont(&lf)) fontHeight_ = std::abs(static_cast<int>(lf.lfHeight));
  }
  // The list asks its owner for the row height only on a new size.
  CRect window;
  GetWindowRect(&window);
  WINDOWPOS pos{m_hWnd, nullptr, 0, 0, window.Width(), window.Height(),
                SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOOWNERZORDER | SWP_NOZORDER};
  SendMessage(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  return icons_.m_hImageList != nullptr && (GetStyle() & LVS_OWNERDATA) != 0;
}

void QvMailListCtrl::MeasureItem(LPMEASUREITEMSTRUCT mis) { mis->itemHeight = kRowHeight; }

// --- Rows ------------------------------------------------------------------------

void QvMailListCtrl::ShowCount() {
  if (listener_ && listener_->m_hWnd) listener_->SetCount(rows_.size());
}

bool QvMailListCtrl::LoadRows(const QvMailListKind& kind, DWORD folderId) {
  rows_.Clear();
  kind_ = &kind;
  folderId_ = folderId;
  const bool ok = rows_.LoadAll(folderId);
  ShowCount();
  ApplySort(false);
  SetItemCount(rows_.size());
  if (listener_ && listener_->m_hWnd) {
    QvFolderItem item;
    if (GetFolderItem(folderId, &item)) listener_->SetTitle(item.name);
  }
  return ok;
}

void QvMailListCtrl::AssignRows(const QvMailListKind& kind, DWORD folderId, std::vector<QvMailListItem> rows) {
  kind_ = &kind;
  folderId_ = folderId;
  rows_.Assign(std::move(rows));
  ShowCount();
  ApplySort(false);
  SetItemCount(rows_.size());
}

bool QvMailListCtrl::ReloadRows(bool keepState, bool full) {
  if (keepState) SaveState();
  const bool ok = full ? rows_.LoadAll(folderId_) : rows_.LoadChanges(folderId_);
  ShowCount();
  // The list view keeps states by row number: they are cleared and put back
  // by message id, since rows come and go above the selected one.
  DeselectAll();
  SetItemCount(rows_.size());
  ApplySort(false);
  if (keepState) RestoreState();
  else FocusAndSelect(0);
  Invalidate(FALSE);
  return ok;
}

void QvMailListCtrl::SaveState() {
  saved_.clear();
  for (int i = 0; i < rows_.size(); ++i) {
    if (rows_.at(i)->marked) saved_[rows_.at(i)->messageId].bits |= 1;
  }
  for (int i = GetNextItem(-1, LVNI_SELECTED); i >= 0 && i < rows_.size(); i = GetNextItem(i, LVNI_SELECTED)) {
    saved_[rows_.at(i)->messageId].bits |= 2;
  }
  savedFocus_ = GetNextItem(-1, LVNI_FOCUSED);
  if (QvMailListItem* row = rows_.at(savedFocus_)) saved_[row->messageId].bits |= 4;
}

void QvMailListCtrl::RestoreState() {
  int focused = -1;
  for (int i = 0; i < rows_.size() && !saved_.empty(); ++i) {
    QvMailListItem* row = rows_.at(i);
    auto it = saved_.find(row->messageId);
    if (it == saved_.end()) continue;
    const UINT bits = it->second.bits;
    if (bits & 1) row->marked = true;
    const UINT state = ((bits & 2) ? LVIS_SELECTED : 0u) | ((bits & 4) ? LVIS_FOCUSED : 0u);
    if (state) SetItemState(i, state, kSelFocus);
    if (bits & 4) focused = i;
  }
  saved_.clear();
  if (focused >= 0) {
    EnsureVisible(focused, FALSE);
  } else if (!rows_.empty()) {
    // The focused message went: its place keeps the focus.
    FocusAndSelect(std::clamp(savedFocus_, 0, rows_.size() - 1));
  }
  savedFocus_ = -1;
}

void QvMailListCtrl::DeselectAll() {
  if (GetItemCount() > 0) SetItemState(-1, 0, LVIS_SELECTED);
}

void QvMailListCtrl::FocusAndSelect(int index) {
  if (index < 0 || index >= rows_.size()) return;
  DeselectAll();
  SetItemState(index, kSelFocus, kSelFocus);
  EnsureVisible(index, FALSE);
}

// --- Sorting ---------------------------------------------------------------------

int QvMailListCtrl::GetSortState() {
  if (sortState_ == QvMailListRows::kSortUnset) {
    int stored = 0;
    sortState_ = ::GetSortColumn(&stored) ? QvMailListRows::NormalizeSortState(stored) : QvMailListRows::kSortDefault;
  }
  return sortState_;
}

void QvMailListCtrl::ApplySort(bool keepFocus) {
  const int state = GetSortState();
  if (!keepFocus) {
    rows_.Sort(state, IsUnreadFirst());
    return;
  }
  const int selected = GetSelectedIndex();
  const DWORD id = selected >= 0 ? rows_.at(selected)->messageId : 0;
  for (int i = GetNextItem(-1, LVNI_SELECTED); i >= 0; i = GetNextItem(i, LVNI_SELECTED)) {
    SetItemState(i, 0, kSelFocus);
  }
  rows_.Sort(state, IsUnreadFirst());
  const int at = selected >= 0 ? rows_.IndexOf(id) : -1;
  FocusAndSelect(at >= 0 ? at : 0);
  const int top = GetTopIndex();
  RedrawItems(top, std::min(rows_.size() - 1, top + GetCountPerPage()));
}

void QvMailListCtrl::ChooseSortColumn(int column) {
  sortState_ = QvMailListRows::NextSortState(GetSortState(), column);
  ::SetSortColumn(sortState_);
  ApplySort(true);
}

void QvMailListCtrl::SetUnreadFirst(bool on) {
  sortOption_ = on ? (sortOption_ | QvMailListRows::kUnreadFirst) : (sortOption_ & ~QvMailListRows::kUnreadFirst);
  ::SetSortOption(sortOption_);
  ApplySort(true);
}

// --- Marking mode ----------------------------------------------------------------

void QvMailListCtrl::SetMarkingMode(bool on) {
  marking_ = on;
  if (on) {
    for (int i = 0; i < rows_.size(); ++i) rows_.at(i)->marked = false;
    ModifyStyle(LVS_SINGLESEL, 0);
  } else {
    const int focus = GetNextItem(-1, LVNI_FOCUSED);
    const bool keep = focus >= 0 && (GetItemState(focus, LVIS_SELECTED) & LVIS_SELECTED);
    DeselectAll();
    if (keep) SetItemState(focus, LVIS_SELECTED, LVIS_SELECTED);
    ModifyStyle(0, LVS_SINGLESEL);
    if (focus < 0) FocusAndSelect(0);
  }
  anchor_ = -1;
  Invalidate(FALSE);
}

void QvMailListCtrl::SetMarks(bool on) {
  for (int i = GetNextItem(-1, LVNI_SELECTED); i >= 0 && i < rows_.size(); i = GetNextItem(i, LVNI_SELECTED)) {
    rows_.at(i)->marked = on;
    RedrawItems(i, i);
  }
}

bool QvMailListCtrl::AnySelectedUnmarked() const {
  for (int i = GetNextItem(-1, LVNI_SELECTED); i >= 0 && i < rows_.size(); i = GetNextItem(i, LVNI_SELECTED)) {
    if (!rows_.at(i)->marked) return true;
  }
  return false;
}

void QvMailListCtrl::SelectAll() {
  if (marking_ && GetItemCount() > 0) SetItemState(-1, LVIS_SELECTED, LVIS_SELECTED);
}

// --- Queries ---------------------------------------------------------------------

DWORD QvMailListCtrl::GetMessageId(int index) const {
  const QvMailListItem* row = rows_.at(index);
  return row ? row->messageId : 0;
}

bool QvMailListCtrl::TestStatus(int index, uint32_t mask) const {
  const QvMailListItem* row = rows_.at(index);
  return row && (row->status & mask) == mask;
}

int QvMailListCtrl::GetMessageKind(int index) const {
  const QvMailListItem* row = rows_.at(index);
  return row ? static_cast<int>(row->kind) : -1;
}

QvMailListItem* QvMailListCtrl::GetRowById(DWORD messageId) const { return rows_.at(rows_.IndexOf(messageId)); }

int QvMailListCtrl::GetSelectedIndex() const {
  const int i = m_hWnd ? GetNextItem(-1, LVNI_SELECTED) : -1;
  return i < rows_.size() ? i : -1;
}

DWORD QvMailListCtrl::GetSelectedMessageId() const { return GetMessageId(GetSelectedIndex()); }
int QvMailListCtrl::GetSelectedMessageKind() const { return GetMessageKind(GetSelectedIndex()); }
QvMailListItem* QvMailListCtrl::GetSelectedRow() const { return rows_.at(GetSelectedIndex()); }

bool QvMailListCtrl::SelectMessage(DWORD messageId) {
  const int at = rows_.IndexOf(messageId);
  if (at < 0) return false;
  FocusAndSelect(at);
  return true;
}

bool QvMailListCtrl::NextMessageId(DWORD id, bool backwards, DWORD* out) {
  const int selected = GetSelectedIndex();
  if (selected < 0) return false;
  if (rows_.at(selected)->messageId != id) {
    if (out) *out = rows_.at(selected)->messageId;
    return true;
  }
  const int next = selected + (backwards ? -1 : 1);
  if (next < 0 || next >= rows_.size()) return false;
  if (out) *out = rows_.at(next)->messageId;
  else FocusAndSelect(next);
  return true;
}

namespace {

template <class Keep>
std::vector<unsigned long> Collect(const QvMailListRows& rows, Keep keep) {
  std::vector<unsigned long> ids;
  for (int i = 0; i < rows.size(); ++i) {
    if (keep(*rows.at(i))) ids.push_back(rows.at(i)->messageId);
  }
  return ids;
}

bool Unprotected(const QvMailListItem& row) { return (row.status & QvMailListItem::kProtected) == 0; }

}  // namespace

std::vector<unsigned long> QvMailListCtrl::GetAllIds() const {
  return Collect(rows_, [](const QvMailListItem&) { return true; });
}
std::vector<unsigned long> QvMailListCtrl::GetUnprotectedIds() const { return Collect(rows_, Unprotected); }
std::vector<unsigned long> QvMailListCtrl::GetMarkedIds() const {
  return Collect(rows_, [](const QvMailListItem& row) { return row.marked; });
}
std::vector<unsigned long> QvMailListCtrl::GetMarkedUnprotectedIds() const {
  return Collect(rows_, [](const QvMailListItem& row) { return row.marked && Unprotected(row); });
}
int QvMailListCtrl::GetMarkedCount() const { return static_cast<int>(GetMarkedIds().size()); }

// --- Drawing ---------------------------------------------------------------------

int QvMailListCtrl::RowImage(const QvMailListItem& row, const QvMailListKind& kind) {
  const uint32_t c = row.status & 0x1F;
  switch (row.kind) {
    case QvMailListItem::kSent:
      switch (c) {
        case 2: return 21;
        case 4: return 23;
        case 6: return 24;
        case 16: return 22;
        case 20: return 25;
        default: return 20;
      }
    case QvMailListItem::kReceived:
    case QvMailListItem::kImported: {
      static constexpr int kImages[22] = {0, 6, 1, 7, 3, 9, 4, 10, 12, 16, 13, 17, 14, 18, 15, 19, 2, 8, 0, 0, 5, 11};
      return c < 22 ? kImages[c] : 0;
    }
    case QvMailListItem::kUnsent: return (c & 0x2) ? kind.GetUnsentImageFlagged() : kind.GetUnsentImage();
    default: return QvMailListKind::kNoImage;
  }
}

void QvMailListCtrl::DrawItem(LPDRAWITEMSTRUCT dis) {
  const int index = static_cast<int>(dis->itemID);
  const QvMailListItem* row = rows_.at(index);
  if (!row) return;
  CDC* dc = CDC::FromHandle(dis->hDC);
  CRect client;
  GetClientRect(&client);
  CRect box = dis->rcItem;
  box.left = client.left;
  box.right = client.right;
  const UINT state = GetItemState(index, kSelFocus);
  const bool selected = (state & LVIS_SELECTED) != 0;
  const bool focused = (state & LVIS_FOCUSED) != 0;
  COLORREF back = GetSysColor(selected ? COLOR_BTNFACE : COLOR_WINDOW);
  COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
  if (selected && focused && ::GetFocus() == m_hWnd) {
    back = GetSysColor(COLOR_HIGHLIGHT);
    ink = GetSysColor(COLOR_HIGHLIGHTTEXT);
  }
  dc->FillSolidRect(&box, back);
  if (focused) {
    CBrush frame(GetSysColor(COLOR_HIGHLIGHT));
    dc->FrameRect(&box, &frame);
  }
  const int image = marking_ ? (row->marked ? kMarkedImage : QvMailListKind::kNoImage)
                             : (kind_ ? RowImage(*row, *kind_) : QvMailListKind::kNoImage);
  if (image >= 0 && icons_.m_hImageList) {
    ImageList_Draw(icons_.m_hImageList, image, dis->hDC, box.left + 4, box.top + 4, ILD_TRANSPARENT);
  }
  CFont* old = nullptr;
  if (row->status & QvMailListItem::kUnread) old = dc->SelectObject(&bold_);
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextColor(ink);
  const int left = box.left + kTextLeft;
  if (left < box.right) {
    DrawMailListText(dis->hDC, row->subject.str(), RECT{left, box.top + 4, box.right, box.top + 36}, fontHeight_);
    CString date;
    date.Format(L"%02d/%02d %02d:%02d", row->date.wMonth, row->date.wDay, row->date.wHour, row->date.wMinute);
    const int dateRight = std::min<int>(box.left + kDateRight, box.right);
    DrawMailListText(dis->hDC, date.str(), RECT{left, box.top + 36, dateRight, box.top + 68}, fontHeight_);
    if (dateRight < box.right) {
      DrawMailListText(dis->hDC, row->correspondent.str(), RECT{dateRight, box.top + 36, box.right, box.top + 68},
                       fontHeight_);
    }
  }
  if (old) dc->SelectObject(old);
}

// --- Keys and the mouse ----------------------------------------------------------

UINT QvMailListCtrl::OnGetDlgCode() { return static_cast<UINT>(Default()) | DLGC_WANTARROWS; }

void QvMailListCtrl::OnKeyDown(UINT key, UINT repeat, UINT flags) {
  const int count = rows_.size();
  const int focus = GetNextItem(-1, LVNI_FOCUSED);
  int target = -1;
  if (count > 0 && key == VK_UP && focus == 0) target = count - 1;
  if (count > 0 && key == VK_DOWN && focus == count - 1) target = 0;
  if (target < 0) {
    CListCtrl::OnKeyDown(key, repeat, flags);
    return;
  }
  // The ends wrap round.
  if (marking_ && Held(VK_CONTROL)) {
    SetItemState(target, LVIS_FOCUSED, LVIS_FOCUSED);
    EnsureVisible(target, FALSE);
  } else if (!Held(VK_SHIFT)) {
    FocusAndSelect(target);
  }
}

void QvMailListCtrl::OnLButtonDown(UINT flags, CPoint point) {
  const int hit = HitTest(point);
  if (hit < 0) return;  // a tap below the rows keeps the selection
  if (marking_) {
    anchor_ = hit;
    lastHover_ = hit;
    lastPoint_ = point;
  }
  CListCtrl::OnLButtonDown(flags, point);
}

void QvMailListCtrl::OnLButtonDblClk(UINT flags, CPoint point) {
  if (HitTest(point) < 0) return;
  CListCtrl::OnLButtonDblClk(flags, point);
}

void QvMailListCtrl::OnMouseMove(UINT flags, CPoint point) {
  if (!marking_ || anchor_ < 0 || !(flags & MK_LBUTTON)) {
    CListCtrl::OnMouseMove(flags, point);
    return;
  }
  if (GetCapture() != this) SetCapture();
  DragTo(point);
}

void QvMailListCtrl::DragTo(CPoint point) {
  lastPoint_ = point;
  CRect client;
  GetClientRect(&client);
  const bool above = point.y < client.top;
  const bool below = point.y >= client.bottom;
  if (above || below) {
    Scroll(CSize(0, above ? -kRowHeight : kRowHeight));
    SetTimer(kScrollTimer, kScrollPeriod);
  }
  // Outside the list the row at its nearer edge is the one under the pointer.
  CPoint probe(std::clamp<LONG>(point.x, client.left, client.right - 1),
               std::clamp<LONG>(point.y, client.top, client.bottom - 1));
  int row = HitTest(probe);
  if (row < 0) row = rows_.size() - 1;  // below the last row
  if (row < 0 || anchor_ >= rows_.size()) return;
  lastHover_ = row;
  const int first = std::min(anchor_, row);
  const int last = std::max(anchor_, row);
  for (int i = GetNextItem(-1, LVNI_SELECTED); i >= 0; i = GetNextItem(i, LVNI_SELECTED)) {
    if (i < first || i > last) SetItemState(i, 0, LVIS_SELECTED);
  }
  for (int i = first; i <= last; ++i) {
    if (!(GetItemState(i, LVIS_SELECTED) & LVIS_SELECTED)) SetItemState(i, LVIS_SELECTED, LVIS_SELECTED);
  }
  SetItemState(anchor_, LVIS_FOCUSED, LVIS_FOCUSED);
}

void QvMailListCtrl::OnTimer(UINT_PTR id) {
  if (id != kScrollTimer) {
    CListCtrl::OnTimer(id);
    return;
  }
  if (anchor_ < 0) {
    KillTimer(kScrollTimer);
    return;
  }
  DragTo(lastPoint_);
}

void QvMailListCtrl::OnLButtonUp(UINT flags, CPoint point) {
  const bool dragged = anchor_ >= 0;
  anchor_ = -1;
  lastHover_ = -1;
  if (dragged) KillTimer(kScrollTimer);
  // The list view ends its tap first: losing the capture before would
  // cancel it, and the screen would hear no click.
  CListCtrl::OnLButtonUp(flags, point);
  if (GetCapture() == this) ReleaseCapture();
}

// --- Other messages --------------------------------------------------------------

void QvMailListCtrl::OnSize(UINT type, int cx, int cy) {
  CListCtrl::OnSize(type, cx, cy);
  if (GetHeaderCtrl() && SendMessage(LVM_GETCOLUMNWIDTH, 0) != cx) SetColumnWidth(0, cx);
  Invalidate(FALSE);
}

void QvMailListCtrl::OnContextMenu(CWnd* wnd, CPoint point) {
  (void)wnd;
  if (marking_) return;
  SetFocus();
  if (point.x == -1 && point.y == -1) {
    // From the keyboard: under the selected row, else the list's corner.
    CRect row(0, 0, 0, 0);
    const int at = GetSelectedIndex();
    if (at >= 0) GetItemRect(at, &row, LVIR_BOUNDS);
    point = CPoint(row.left + kTextLeft, row.bottom);
    ClientToScreen(&point);
  }
  CWnd* owner = GetParent() ? GetParent() : this;
  TrackPopupMenuRes(owner, kContextMenu, point, 0);
}

void QvMailListCtrl::OnSetFocus(CWnd* old) {
  CListCtrl::OnSetFocus(old);
  if (!rows_.empty() && GetNextItem(-1, LVNI_SELECTED) < 0) FocusAndSelect(0);
}

void QvMailListCtrl::OnDestroy() {
  KillTimer(kScrollTimer);
  rows_.Clear();
  CListCtrl::OnDestroy();
}
