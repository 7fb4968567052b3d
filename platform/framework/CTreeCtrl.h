// The tree view control ("SysTreeView32").
#pragma once

#include "platform/framework/CImageList.h"
#include "platform/framework/CString.h"
#include "platform/framework/CWnd.h"
#include "platform/ui/commctrl/CommCtrlTree.h"

class QV_PLATFORM_API CTreeCtrl : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

  HTREEITEM InsertItem(LPTVINSERTSTRUCT insert) { return Item(SendMessage(TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(insert))); }
  HTREEITEM InsertItem(UINT mask, LPCTSTR text, int image, int selectedImage, UINT state, UINT stateMask, LPARAM param,
                       HTREEITEM parent, HTREEITEM after);
  HTREEITEM InsertItem(LPCTSTR text, HTREEITEM parent = TVI_ROOT, HTREEITEM after = TVI_LAST);
  HTREEITEM InsertItem(LPCTSTR text, int image, int selectedImage, HTREEITEM parent = TVI_ROOT, HTREEITEM after = TVI_LAST);
  BOOL DeleteItem(HTREEITEM item) { return Bool(TVM_DELETEITEM, 0, item); }
  BOOL DeleteAllItems() { return Bool(TVM_DELETEITEM, 0, TVI_ROOT); }
  BOOL Expand(HTREEITEM item, UINT code) { return Bool(TVM_EXPAND, code, item); }
  BOOL Select(HTREEITEM item, UINT code) { return Bool(TVM_SELECTITEM, code, item); }
  BOOL SelectItem(HTREEITEM item) { return Select(item, TVGN_CARET); }
  BOOL SelectSetFirstVisible(HTREEITEM item) { return Select(item, TVGN_FIRSTVISIBLE); }
  BOOL EnsureVisible(HTREEITEM item) { return Bool(TVM_ENSUREVISIBLE, 0, item); }

  HTREEITEM GetNextItem(HTREEITEM item, UINT code) const { return Item(SendMessage(TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item))); }
  HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
  HTREEITEM GetSelectedItem() const { return GetNextItem(nullptr, TVGN_CARET); }
  HTREEITEM GetChildItem(HTREEITEM item) const { return GetNextItem(item, TVGN_CHILD); }
  HTREEITEM GetNextSiblingItem(HTREEITEM item) const { return GetNextItem(item, TVGN_NEXT); }
  HTREEITEM GetPrevSiblingItem(HTREEITEM item) const { return GetNextItem(item, TVGN_PREVIOUS); }
  HTREEITEM GetParentItem(HTREEITEM item) const { return GetNextItem(item, TVGN_PARENT); }
  HTREEITEM GetFirstVisibleItem() const { return GetNextItem(nullptr, TVGN_FIRSTVISIBLE); }
  HTREEITEM GetNextVisibleItem(HTREEITEM item) const { return GetNextItem(item, TVGN_NEXTVISIBLE); }
  HTREEITEM GetPrevVisibleItem(HTREEITEM item) const { return GetNextItem(item, TVGN_PREVIOUSVISIBLE); }
  BOOL ItemHasChildren(HTREEITEM item) const;

  BOOL GetItem(TVITEM* item) const { return static_cast<BOOL>(SendMessage(TVM_GETITEM, 0, reinterpret_cast<LPARAM>(item))); }
  BOOL SetItem(TVITEM* item) { return static_cast<BOOL>(SendMessage(TVM_SETITEM, 0, reinterpret_cast<LPARAM>(item))); }
  CString GetItemText(HTREEITEM item) const;
  BOOL SetItemText(HTREEITEM item, LPCTSTR text);
  DWORD_PTR GetItemData(HTREEITEM item) const;
  BOOL SetItemData(HTREEITEM item, DWORD_PTR data);
  BOOL GetItemImage(HTREEITEM item, int& image, int& selectedImage) const;
  BOOL SetItemImage(HTREEITEM item, int image, int selectedImage);
  UINT GetItemState(HTREEITEM item, UINT stateMask) const;
  BOOL SetItemState(HTREEITEM item, UINT state, UINT stateMask);
  BOOL GetItemRect(HTREEITEM item, LPRECT rect, BOOL textOnly) const;

  HTREEITEM HitTest(POINT point, UINT* flags = nullptr) const;
  HTREEITEM HitTest(TVHITTESTINFO* info) const { return Item(SendMessage(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(info))); }

  CImageList* SetImageList(CImageList* list, int kind);
  CImageList* GetImageList(int kind) const;
  UINT GetCount() const { return static_cast<UINT>(SendMessage(TVM_GETCOUNT)); }
  UINT GetIndent() const { return static_cast<UINT>(SendMessage(TVM_GETINDENT)); }
  void SetIndent(UINT indent) { SendMessage(TVM_SETINDENT, indent); }
  UINT GetVisibleCount() const { return static_cast<UINT>(SendMessage(TVM_GETVISIBLECOUNT)); }
  SHORT SetItemHeight(SHORT height) { return static_cast<SHORT>(SendMessage(TVM_SETITEMHEIGHT, static_cast<WPARAM>(height))); }
  SHORT GetItemHeight() const { return static_cast<SHORT>(SendMessage(TVM_GETITEMHEIGHT)); }

 private:
  static HTREEITEM Item(LRESULT r) { return reinterpret_cast<HTREEITEM>(r); }
  BOOL Bool(UINT message, WPARAM wParam, HTREEITEM item) {
    return static_cast<BOOL>(SendMessage(message, wParam, reinterpret_cast<LPARAM>(item)));
  }
};
