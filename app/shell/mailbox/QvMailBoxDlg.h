// The folder screen: one box of the current account (the receive box or the
// send box) over its user folders, each with its unread count. It opens a
// folder's mail list, makes, renames, removes, orders and reclassifies
// folders and marks a folder read; a refresh from the store rebuilds it
// (later, when a mail list is open over it).
#pragma once

#include <functional>

#include "app/shell/boxdlg/QvBaseBoxDlg.h"

class QvMailBoxDlg : public QvBaseBoxDlg {
 public:
  static constexpr UINT kAcceleratorsId = 194;
  static constexpr UINT kMenuBarId = 162;
  static constexpr UINT kContextMenuId = 195;
  static constexpr int kMaxUserFolders = 20;

  // The screens this one opens that live elsewhere: a folder's mail list
  // (modal), and the folder order page of a box (true when the order was
  // stored). Unset, nothing opens.
  using MailListRunner = std::function<void(CWnd* parent, DWORD folderId)>;
  using FolderOrderRunner = std::function<bool(CWnd* parent, int boxKind)>;
  static void SetMailListRunner(MailListRunner runner);
  static void SetFolderOrderRunner(FolderOrderRunner runner);

  // boxKind 0 the receive box, 1 the send box.
  QvMailBoxDlg(LPCTSTR title, int boxKind, CWnd* parent);

  void OpenSelectedItem() override;
  // Leaves the window registry.
  virtual void EndOfLife();

  BOOL OnInitDialog() override;
  // The box's own folder, then its user folders in their saved order; the
  // selected row stays selected.
  void BuildList();

  int BoxKind() const { return boxKind_; }
  DWORD RootId() const { return rootId_; }
  int TotalUnread() const { return totalUnread_; }
  bool IsRefreshPending() const { return refreshPending_; }

 protected:
  afx_msg void OnContextMenu(CWnd* wnd, CPoint point);
  afx_msg void OnDestroy();
  afx_msg void OnNewFolder();
  afx_msg void OnRenameFolder();
  afx_msg void OnDeleteFolder();
  afx_msg void OnFolderOrder();
  afx_msg void OnReclassify();
  afx_msg void OnMarkRead();
  afx_msg void OnUpdatePastRoot(CCmdUI* ui);
  afx_msg void OnUpdateAnySelected(CCmdUI* ui);
  afx_msg void OnUpdateNewFolder(CCmdUI* ui);
  afx_msg void OnUpdateFolderOrder(CCmdUI* ui);
  afx_msg void OnItemChanged(NMHDR* nm, LRESULT* result);
  afx_msg LRESULT OnRefresh(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

 private:
  void ShowSelectedFolderSize();

  int boxKind_;
  int totalUnread_ = 0;
  DWORD rootId_ = 0;
  bool refreshPending_ = false;
};
