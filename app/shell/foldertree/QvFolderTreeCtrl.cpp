#include "app/shell/foldertree/QvFolderTreeCtrl.h"

#include "app/mailops/CurrentAccount.h"
#include "platform/shell/ShellUi.h"

BEGIN_MESSAGE_MAP(QvFolderTreeCtrl, CTreeCtrl)
  ON_WM_LBUTTONDOWN()
  ON_WM_GETDLGCODE()
END_MESSAGE_MAP()

BOOL QvFolderTreeCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  if (!CTreeCtrl::Create(style | TVS_SHOWSELALWAYS, rect, parent, id)) return FALSE;
  SetupImages();
  return TRUE;
}

BOOL QvFolderTreeCtrl::SubclassFolderTree(UINT id, CWnd* parent) {
  if (!SubclassDlgItem(id, parent)) return FALSE;
  ModifyStyle(0, TVS_SHOWSELALWAYS);
  SetupImages();
  return TRUE;
}

bool QvFolderTreeCtrl::SetupImages() {
  if (!m_hWnd) return false;
  if (!images_.m_hImageList && !images_.Create(kImagesBitmap, kImageSize, 1, kImagesMask)) return false;
  SetImageList(&images_, TVSIL_NORMAL);
  return true;
}

bool QvFolderTreeCtrl::SelectFolder(DWORD folderId) {
  HTREEITEM item = GetRootItem();
  SelectItem(item);
  while (item) {
    if (GetItemData(item) == folderId) {
      SelectItem(item);
      return true;
    }
    // Depth first: the first child, else the next sibling, else the next
    // sibling of the nearest ancestor that has one.
    HTREEITEM next = GetChildItem(item);
    for (HTREEITEM at = item; !next && at; at = GetParentItem(at)) next = GetNextSiblingItem(at);
    item = next;
  }
  return false;
}

void QvFolderTreeCtrl::OnInsertFolder(const QvFolderItem&, HTREEITEM) {}

bool QvFolderTreeCtrl::OnBoxToggled(DWORD) { return true; }

HTREEITEM QvFolderTreeCtrl::AddFolderItem(const QvFolderItem& folder, HTREEITEM parent) {
  OnInsertFolder(folder, parent);
  const int image = folder.kind <= kOutbox ? kBoxImage : kUserFolderImage;
  return InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM, folder.name.GetString(), image, image,
                    0, 0, static_cast<LPARAM>(folder.folderId), parent, TVI_LAST);
}

HTREEITEM QvFolderTreeCtrl::AddBoxFolders(int boxKind) {
  if (boxKind != kReceiveBox && boxKind != kSendBox) return nullptr;
  QvFolderItem box;
  if (!GetSystemFolderItem(boxKind, &box)) return nullptr;
  HTREEITEM boxItem = AddFolderItem(box, TVI_ROOT);
  if (!boxItem) return nullptr;
  std::vector<QvFolderItem> folders;
  GetOrderedFolderItems(boxKind, &folders);
  for (const QvFolderItem& folder : folders) AddFolderItem(folder, boxItem);
  if (!folders.empty()) Expand(boxItem, TVE_EXPAND);
  return boxItem;
}

bool QvFolderTreeCtrl::GetSelectedFolder(DWORD* folderId) const {
  HTREEITEM item = GetSelectedItem();
  if (!item) return false;
  *folderId = static_cast<DWORD>(GetItemData(item));
  return true;
}

CString QvFolderTreeCtrl::GetSelectedFolderName() const {
  DWORD id = 0;
  QvFolderItem folder;
  if (!GetSelectedFolder(&id) || !GetFolderItem(id, &folder)) return CString();
  return folder.name;
}

HTREEITEM QvFolderTreeCtrl::ItemAt(CPoint point) const {
  UINT flags = 0;
  HTREEITEM item = HitTest(point, &flags);
  return item && (flags & (TVHT_ONITEM | TVHT_ONITEMINDENT | TVHT_ONITEMBUTTON | TVHT_ONITEMRIGHT)) ? item : nullptr;
}

bool QvFolderTreeCtrl::IsBoxItem(HTREEITEM item) const {
  int image = 0, selected = 0;
  return item && GetItemImage(item, image, selected) && image == kBoxImage;
}

bool QvFolderTreeCtrl::IsHold(CPoint point) {
  SHRGINFO info{sizeof(SHRGINFO), m_hWnd, {point.x, point.y}, SHRG_RETURNCMD};
  return SHRecognizeGesture(&info) == GN_CONTEXTMENU;
}

void QvFolderTreeCtrl::OnLButtonDown(UINT flags, CPoint point) {
  HTREEITEM item = ItemAt(point);
  if (IsHold(point)) {
    if (item) SelectItem(item);
    return;
  }
  if (item && IsBoxItem(item)) {
    const bool expanded = (GetItemState(item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    const bool toggled = !expanded ? Expand(item, TVE_EXPAND) : GetSelectedItem() == item && Expand(item, TVE_COLLAPSE);
    if (toggled) OnBoxToggled(static_cast<DWORD>(GetItemData(item)));
  }
  if (item) SelectItem(item);
  CTreeCtrl::OnLButtonDown(flags, point);
}

UINT QvFolderTreeCtrl::OnGetDlgCode() {
  // The arrows move through the tree, as a tree in a dialog does.
  return DLGC_WANTARROWS | DLGC_WANTCHARS;
}
