// The current account's folders as a tree for choosing one: a box (the
// receive box or the send box) with its user folders below it in the
// user's order. Each item carries its folder id as item data; a box's own
// item shows picture 4 of bitmap 301, a user folder picture 5. A tap on a
// box opens it, or closes it when it is open and already selected; a hold
// over an item only selects it.
#pragma once

#include "app/mailops/FolderOperations.h"
#include "platform/framework/CImageList.h"
#include "platform/framework/CString.h"
#include "platform/framework/CTreeCtrl.h"
#include "platform/framework/MessageMap.h"

class QvFolderTreeCtrl : public CTreeCtrl {
 public:
  static constexpr UINT kImagesBitmap = 301;
  static constexpr int kImageSize = 32;
  static constexpr COLORREF kImagesMask = 0xFF00FF;
  static constexpr int kBoxImage = 4;
  static constexpr int kUserFolderImage = 5;

  QvFolderTreeCtrl() = default;
  ~QvFolderTreeCtrl() override = default;

  // Makes the window with the always-show-selection style added, then its
  // pictures.
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  // The same for a tree a dialog template made: takes the control over.
  BOOL SubclassFolderTree(UINT id, CWnd* parent);

  // The image list from bitmap 301, set as the normal list; once the window exists.
  virtual bool SetupImages();
  // Selects the item whose data is `folderId`, searching depth first from
  // the root (which is selected first); false, with the root left
  // selected, when no item has it.
  virtual bool SelectFolder(DWORD folderId);
  // Called before each folder is inserted; nothing here.
  virtual void OnInsertFolder(const QvFolderItem& folder, HTREEITEM parent);
  // Called after a tap opened or closed a box; true here.
  virtual bool OnBoxToggled(DWORD folderId);

  // Inserts the folder's name with its id and picture under `parent` (TVI_ROOT at the top).
  HTREEITEM AddFolderItem(const QvFolderItem& folder, HTREEITEM parent);
  // The box's own item at the top (kind 0 the receive box, 1 the send box)
  // with its user folders below it in the user's order, the box opened;
  // null when the box cannot be read.
  HTREEITEM AddBoxFolders(int boxKind);
  // The selected item's folder id; false with no selection.
  bool GetSelectedFolder(DWORD* folderId) const;
  // The selected folder's name as the store has it now; empty without one.
  CString GetSelectedFolderName() const;

 protected:
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg UINT OnGetDlgCode();
  DECLARE_MESSAGE_MAP()

  // The item under a point of the client area, or null.
  HTREEITEM ItemAt(CPoint point) const;
  // True when the item stands for a box's own folder (kinds 0-3).
  bool IsBoxItem(HTREEITEM item) const;
  // True when the stylus is held over the point (the context-menu gesture).
  virtual bool IsHold(CPoint point);

 private:
  CImageList images_;
};
