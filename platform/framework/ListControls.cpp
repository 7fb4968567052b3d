// The list box, combo box, tree and image list wrappers.
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/framework/CComboBox.h"
#include "platform/framework/CDC.h"
#include "platform/framework/CImageList.h"
#include "platform/framework/CListBox.h"
#include "platform/framework/CTreeCtrl.h"

namespace {

// Text of the line `index` through a length message and a text message.
void LineText(const CWnd& w, UINT lengthMessage, UINT textMessage, int index, CString& out) {
  const int length = static_cast<int>(w.SendMessage(lengthMessage, static_cast<WPARAM>(index)));
  if (length < 0) {
    out.Empty();
    return;
  }
  const int got = static_cast<int>(
      w.SendMessage(textMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(out.GetBuffer(length + 1))));
  out.ReleaseBuffer(got < 0 ? 0 : got);
}

// The objects lists are attached to, and the stand-ins FromHandle made for
// the rest (they last as long as the process; there are few).
struct ImageListTable {
  std::mutex lock;
  std::unordered_map<HIMAGELIST, CImageList*> attached;
  std::unordered_map<HIMAGELIST, CImageList*> standIns;
};

ImageListTable& Lists() {
  static ImageListTable* t = new ImageListTable;
  return *t;
}

// One tree item's fields named by `mask`; false when the item is not there.
bool Fetch(const CTreeCtrl& tree, HTREEITEM item, UINT mask, TVITEM* out, UINT stateMask = 0) {
  *out = TVITEM{};
  out->mask = mask | TVIF_HANDLE;
  out->hItem = item;
  out->stateMask = stateMask;
  return tree.GetItem(out) != FALSE;
}

// Stores the fields of `t` that its mask names in tree item `item`.
BOOL Store(CTreeCtrl& tree, HTREEITEM item, TVITEM t) {
  t.mask |= TVIF_HANDLE;
  t.hItem = item;
  return tree.SetItem(&t);
}

}  // namespace

BOOL CListBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_LISTBOX, nullptr, style, rect, parent, id);
}

void CListBox::GetText(int index, CString& out) const { LineText(*this, LB_GETTEXTLEN, LB_GETTEXT, index, out); }

BOOL CComboBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_COMBOBOX, nullptr, style, rect, parent, id);
}

void CComboBox::GetLBText(int index, CString& out) const { LineText(*this, CB_GETLBTEXTLEN, CB_GETLBTEXT, index, out); }

// --- CTreeCtrl ---------------------------------------------------------------------

BOOL CTreeCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_TREEVIEW, nullptr, style, rect, parent, id);
}

HTREEITEM CTreeCtrl::InsertItem(UINT mask, LPCTSTR text, int image, int selectedImage, UINT state, UINT stateMask,
                                LPARAM param, HTREEITEM parent, HTREEITEM after) {
  TVINSERTSTRUCT in{};
  in.hParent = parent;
  in.hInsertAfter = after;
  in.item.mask = mask;
  in.item.pszText = const_cast<LPTSTR>(text);
  in.item.iImage = image;
  in.item.iSelectedImage = selectedImage;
  in.item.state = state;
  in.item.stateMask = stateMask;
  in.item.lParam = param;
  return InsertItem(&in);
}

HTREEITEM CTreeCtrl::InsertItem(LPCTSTR text, HTREEITEM parent, HTREEITEM after) {
  return InsertItem(TVIF_TEXT, text, 0, 0, 0, 0, 0, parent, after);
}

HTREEITEM CTreeCtrl::InsertItem(LPCTSTR text, int image, int selectedImage, HTREEITEM parent, HTREEITEM after) {
  return InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE, text, image, selectedImage, 0, 0, 0, parent, after);
}

BOOL CTreeCtrl::ItemHasChildren(HTREEITEM item) const {
  TVITEM t;
  return Fetch(*this, item, TVIF_CHILDREN, &t) && t.cChildren != 0;
}

CString CTreeCtrl::GetItemText(HTREEITEM item) const {
  // The item's text may be longer than any first guess: grow until it fits.
  for (int size = 256;; size *= 2) {
    std::vector<WCHAR> buffer(static_cast<size_t>(size), L'\0');
    TVITEM t{};
    t.mask = TVIF_TEXT | TVIF_HANDLE;
    t.hItem = item;
    t.pszText = buffer.data();
    t.cchTextMax = size;
    if (!GetItem(&t)) return CString();
    const size_t length = std::char_traits<WCHAR>::length(buffer.data());
    if (length + 1 < static_cast<size_t>(size) || size >= (1 << 20)) return CString(buffer.data());
  }
}

BOOL CTreeCtrl::SetItemText(HTREEITEM item, LPCTSTR text) {
  TVITEM t{};
  t.mask = TVIF_TEXT;
  t.pszText = const_cast<LPTSTR>(text);
  return Store(*this, item, t);
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM item) const {
  TVITEM t;
  return Fetch(*this, item, TVIF_PARAM, &t) ? static_cast<DWORD_PTR>(t.lParam) : 0;
}

BOOL CTreeCtrl::SetItemData(HTREEITEM item, DWORD_PTR data) {
  TVITEM t{};
  t.mask = TVIF_PARAM;
  t.lParam = static_cast<LPARAM>(data);
  return Store(*this, item, t);
}

BOOL CTreeCtrl::GetItemImage(HTREEITEM item, int& image, int& selectedImage) const {
  TVITEM t;
  if (!Fetch(*this, item, TVIF_IMAGE | TVIF_SELECTEDIMAGE, &t)) return FALSE;
  image = t.iImage;
  selectedImage = t.iSelectedImage;
  return TRUE;
}

BOOL CTreeCtrl::SetItemImage(HTREEITEM item, int image, int selectedImage) {
  TVITEM t{};
  t.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  t.iImage = image;
  t.iSelectedImage = selectedImage;
  return Store(*this, item, t);
}

UINT CTreeCtrl::GetItemState(HTREEITEM item, UINT stateMask) const {
  TVITEM t;
  return Fetch(*this, item, TVIF_STATE, &t, stateMask) ? t.state & stateMask : 0;
}

BOOL CTreeCtrl::SetItemState(HTREEITEM item, UINT state, UINT stateMask) {
  TVITEM t{};
  t.mask = TVIF_STATE;
  t.state = state;
  t.stateMask = stateMask;
  return Store(*this, item, t);
}

BOOL CTreeCtrl::GetItemRect(HTREEITEM item, LPRECT rect, BOOL textOnly) const {
  if (!rect) return FALSE;
  *reinterpret_cast<HTREEITEM*>(rect) = item;  // the item goes in where the rectangle comes out
  return static_cast<BOOL>(SendMessage(TVM_GETITEMRECT, static_cast<WPARAM>(textOnly), reinterpret_cast<LPARAM>(rect)));
}

HTREEITEM CTreeCtrl::HitTest(POINT point, UINT* flags) const {
  TVHITTESTINFO hit{point, 0, nullptr};
  HTREEITEM item = HitTest(&hit);
  if (flags) *flags = hit.flags;
  return item;
}

CImageList* CTreeCtrl::SetImageList(CImageList* list, int kind) {
  return CImageList::FromHandle(reinterpret_cast<HIMAGELIST>(SendMessage(
      TVM_SETIMAGELIST, static_cast<WPARAM>(kind), reinterpret_cast<LPARAM>(list ? list->GetSafeHandle() : nullptr))));
}

CImageList* CTreeCtrl::GetImageList(int kind) const {
  return CImageList::FromHandle(reinterpret_cast<HIMAGELIST>(SendMessage(TVM_GETIMAGELIST, static_cast<WPARAM>(kind))));
}

// --- CImageList --------------------------------------------------------------------

CImageList::~CImageList() { DeleteImageList(); }

CImageList* CImageList::FromHandle(HIMAGELIST list) {
  if (!list) return nullptr;
  ImageListTable& t = Lists();
  std::lock_guard<std::mutex> g(t.lock);
  if (auto it = t.attached.find(list); it != t.attached.end()) return it->second;
  CImageList*& standIn = t.standIns[list];
  if (!standIn) {
    standIn = new CImageList;  // never attached: it never destroys the list
    standIn->m_hImageList = list;
  }
  return standIn;
}

BOOL CImageList::Attach(HIMAGELIST list) {
  if (!list || m_hImageList) return FALSE;
  m_hImageList = list;
  ImageListTable& t = Lists();
  std::lock_guard<std::mutex> g(t.lock);
  t.attached[list] = this;
  return TRUE;
}

HIMAGELIST CImageList::Detach() {
  HIMAGELIST list = m_hImageList;
  m_hImageList = nullptr;
  if (list) {
    ImageListTable& t = Lists();
    std::lock_guard<std::mutex> g(t.lock);
    if (auto it = t.attached.find(list); it != t.attached.end() && it->second == this) t.attached.erase(it);
  }
  return list;
}

BOOL CImageList::DeleteImageList() {
  ImageListTable& t = Lists();
  {
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.attached.find(m_hImageList);
    if (!m_hImageList || it == t.attached.end() || it->second != this) return FALSE;  // not ours to destroy
  }
  return ImageList_Destroy(Detach());
}

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow) {
  return Attach(ImageList_Create(cx, cy, flags, initial, grow));
}

BOOL CImageList::Create(UINT bitmapId, int cx, int grow, COLORREF mask) {
  CBitmap bitmap;
  BITMAP info{};
  if (!bitmap.LoadBitmap(bitmapId) || !bitmap.GetObject(sizeof info, &info)) return FALSE;
  if (!Create(cx, info.bmHeight, ILC_COLOR | ILC_MASK, 0, grow)) return FALSE;
  return Add(&bitmap, mask) >= 0;
}

int CImageList::Add(CBitmap* image, CBitmap* mask) {
  if (!image) return -1;
  return ImageList_Add(m_hImageList, static_cast<HBITMAP>(image->GetSafeHandle()),
                       mask ? static_cast<HBITMAP>(mask->GetSafeHandle()) : nullptr);
}

int CImageList::Add(CBitmap* image, COLORREF mask) {
  return image ? ImageList_AddMasked(m_hImageList, static_cast<HBITMAP>(image->GetSafeHandle()), mask) : -1;
}

BOOL CImageList::Draw(CDC* dc, int image, POINT at, UINT style) {
  return dc ? ImageList_Draw(m_hImageList, image, dc->GetSafeHdc(), at.x, at.y, style) : FALSE;
}
