#include "app/shell/mailbox/QvMailBoxDlg.h"

#include <vector>

#include "app/foundation/MessageBoxes.h"
#include "app/foundation/UiMenus.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "app/mailops/WindowRegistry.h"
#include "app/protocol/BoxCommands.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/QvSetMessageFolderNameDlg.h"
#include "engine/public/store/QvMessageInterface.h"

namespace {

constexpr int kBoxImage = 4;
constexpr int kFolderImage = 5;
constexpr UINT kRenameCaption = 20213;
constexpr UINT kDeleteQuestion = 20040;

QvMailBoxDlg::MailListRunner& MailLists() {
  static QvMailBoxDlg::MailListRunner runner;
  return runner;
}
QvMailBoxDlg::FolderOrderRunner& FolderOrders() {
  static QvMailBoxDlg::FolderOrderRunner runner;
  return runner;
}

// Every message of the folder marked read; false when the ids cannot be had.
bool MarkFolderRead(DWORD folderId) {
  std::vector<unsigned long> ids;
  if (!GetMessageIds(folderId, &ids)) return false;
  for (unsigned long id : ids) {
    QvMessageInterface* message = OpenMessageById(static_cast<DWORD>(id));
    if (!message) return false;
    QvMessageInterface::Attributes read;
    read.mask = 0x1;
    if (message->GetAttributes(&read) && read.unread) {
      read.mask = 0x1;
      read.unread = 0;
      message->SetAttributes(read);
    }
    delete message;
  }
  BroadcastFolderAndRootRefresh(folderId);
  return true;
}

}  // namespace

BEGIN_MESSAGE_MAP(QvMailBoxDlg, QvBaseBoxDlg)
  ON_WM_CONTEXTMENU()
  ON_WM_DESTROY()
  ON_COMMAND(kNewFolderCommand, &QvMailBoxDlg::OnNewFolder)
  ON_COMMAND(kRenameFolderCommand, &QvMailBoxDlg::OnRenameFolder)
  ON_COMMAND(kDeleteFolderCommand, &QvMailBoxDlg::OnDeleteFolder)
  ON_COMMAND(kFolderOrderCommand, &QvMailBoxDlg::OnFolderOrder)
  ON_COMMAND(kReclassifyCommand, &QvMailBoxDlg::OnReclassify)
  ON_COMMAND(kMarkFolderReadCommand, &QvMailBoxDlg::OnMarkRead)
  ON_UPDATE_COMMAND_UI(kRenameFolderCommand, &QvMailBoxDlg::OnUpdatePastRoot)
  ON_UPDATE_COMMAND_UI(kDeleteFolderCommand, &QvMailBoxDlg::OnUpdatePastRoot)
  ON_UPDATE_COMMAND_UI(kReclassifyCommand, &QvMailBoxDlg::OnUpdateAnySelected)
  ON_UPDATE_COMMAND_UI(kMarkFolderReadCommand, &QvMailBoxDlg::OnUpdateAnySelected)
  ON_UPDATE_COMMAND_UI(kNewFolderCommand, &QvMailBoxDlg::OnUpdateNewFolder)
  ON_UPDATE_COMMAND_UI(kFolderOrderCommand, &QvMailBoxDlg::OnUpdateFolderOrder)
  ON_NOTIFY(LVN_ITEMCHANGED, kListId, &QvMailBoxDlg::OnItemChanged)
  ON_MESSAGE(kRefreshMessage, &QvMailBoxDlg::OnRefresh)
END_MESSAGE_MAP()

void QvMailBoxDlg::SetMailListRunner(MailListRunner runner) { MailLists() = std::move(runner); }
void QvMailBoxDlg::SetFolderOrderRunner(FolderOrderRunner runner) { FolderOrders() = std::move(runner); }

QvMailBoxDlg::QvMailBoxDlg(LPCTSTR title, int boxKind, CWnd* parent) : QvBaseBoxDlg(title, parent), boxKind_(boxKind) {}

BOOL QvMailBoxDlg::OnInitDialog() {
  QvBaseBoxDlg::OnInitDialog();
  UseAccelerators(kAcceleratorsId);
  CreateMenuBar(m_hWnd, kMenuBarId);
  DWORD root = 0;
  if (GetSystemFolderId(boxKind_, &root)) rootId_ = root;
  BuildList();
  list_.SelectAndShow(0);
  RegisterWindow(this);
  list_.SetFocus();
  return FALSE;  // the list has the focus
}

void QvMailBoxDlg::BuildList() {
  list_.SetRedraw(FALSE);
  const int keep = list_.GetSelectedIndex();
  list_.ClearItems();
  totalUnread_ = 0;
  QvFolderItem box;
  if (GetSystemFolderItem(boxKind_, &box)) {
    rootId_ = box.folderId;
    list_.AddItem(0, box.name, kBoxImage, box.unread, true, box.folderId);
    totalUnread_ += box.unread;
  }
  std::vector<QvFolderItem> folders;
  GetOrderedFolderItems(boxKind_, &folders);
  for (const QvFolderItem& f : folders) {
    list_.AddItem(list_.GetItemCount(), f.name, kFolderImage, f.unread, true, f.folderId);
    totalUnread_ += f.unread;
  }
  refreshPending_ = false;
  if (keep >= 0 && keep < list_.GetItemCount()) list_.SelectAndShow(keep);
  list_.SetRedraw(TRUE);
  list_.Invalidate();
  ShowSelectedFolderSize();
}

void QvMailBoxDlg::OpenSelectedItem() {
  const DWORD_PTR key = list_.GetSelectedKey();
  if (key == QvFolderListCtrl::kNoKey) return;
  if (MailLists()) MailLists()(this, static_cast<DWORD>(key));
  if (refreshPending_ && ::IsWindow(m_hWnd)) BuildList();
}

void QvMailBoxDlg::EndOfLife() { UnregisterWindow(this); }

void QvMailBoxDlg::OnDestroy() {
  EndOfLife();
  QvBaseBoxDlg::OnDestroy();
}

void QvMailBoxDlg::OnContextMenu(CWnd*, CPoint point) { TrackPopupMenuRes(this, kContextMenuId, point, 0); }

void QvMailBoxDlg::OnNewFolder() {
  QvSetMessageFolderNameDlg ask(this);
  ask.SetParentFolder(rootId_);
  if (ask.DoModal() != IDOK) return;
  DWORD made = 0;
  if (!CreateSubFolder(rootId_, ask.Name(), &made)) return;
  BuildList();
  list_.SelectAndShow(list_.GetItemCount() - 1);
}

void QvMailBoxDlg::OnRenameFolder() {
  const int at = list_.GetSelectedIndex();
  if (at <= 0) return;
  QvSetMessageFolderNameDlg ask(this);
  ask.SetParentFolder(rootId_);
  ask.SetCaptionId(kRenameCaption);
  ask.SetName(std::wstring(list_.GetItemText(at, 0).GetString()));
  if (ask.DoModal() != IDOK) return;
  if (!RenameFolder(static_cast<DWORD>(list_.GetItemKey(at)), ask.Name())) return;
  BuildList();
  list_.SelectAndShow(at);
}

void QvMailBoxDlg::OnDeleteFolder() {
  const int at = list_.GetSelectedIndex();
  if (at <= 0) return;
  CString question;
  question.Format(LoadResString(kDeleteQuestion), list_.GetItemText(at, 0).GetString());
  if (!ShowConfirmBox(m_hWnd, question, false)) return;
  const bool wasLast = at == list_.GetItemCount() - 1;
  if (!RemoveFolder(static_cast<DWORD>(list_.GetItemKey(at)))) return;
  BuildList();
  list_.SelectAndShow(wasLast ? at - 1 : at);
}

void QvMailBoxDlg::OnFolderOrder() {
  if (FolderOrders() && FolderOrders()(this, boxKind_) && ::IsWindow(m_hWnd)) BuildList();
}

void QvMailBoxDlg::OnReclassify() {
  const DWORD_PTR key = list_.GetSelectedKey();
  if (key != QvFolderListCtrl::kNoKey) ReclassifyFolderMessages(static_cast<DWORD>(key));
}

void QvMailBoxDlg::OnMarkRead() {
  const DWORD_PTR key = list_.GetSelectedKey();
  if (key == QvFolderListCtrl::kNoKey || !MarkFolderRead(static_cast<DWORD>(key))) return;
  list_.SetCount(key, 0);
  list_.Invalidate();
}

void QvMailBoxDlg::OnUpdatePastRoot(CCmdUI* ui) { ui->Enable(list_.GetSelectedIndex() > 0); }

void QvMailBoxDlg::OnUpdateAnySelected(CCmdUI* ui) { ui->Enable(list_.GetSelectedIndex() >= 0); }

void QvMailBoxDlg::OnUpdateNewFolder(CCmdUI* ui) {
  // A failed count (-1) is a huge number here: making folders is off then.
  ui->Enable(static_cast<unsigned>(CountUserFolders()) < static_cast<unsigned>(kMaxUserFolders));
}

void QvMailBoxDlg::OnUpdateFolderOrder(CCmdUI* ui) { ui->Enable(CountChildFolders(rootId_) > 1); }

void QvMailBoxDlg::OnItemChanged(NMHDR* nm, LRESULT* result) {
  *result = 0;
  const auto* change = reinterpret_cast<const NMLISTVIEW*>(nm);
  if (change->uChanged & LVIF_STATE) ShowSelectedFolderSize();
}

void QvMailBoxDlg::ShowSelectedFolderSize() {
  const DWORD_PTR key = list_.GetSelectedKey();
  std::vector<unsigned long> ids;
  const int count = key != QvFolderListCtrl::kNoKey && GetMessageIds(static_cast<DWORD>(key), &ids)
                        ? static_cast<int>(ids.size())
                        : 0;
  if (count != titleBar_.GetCount()) titleBar_.SetCount(count);
}

LRESULT QvMailBoxDlg::OnRefresh(WPARAM, LPARAM) {
  if (IsWindowEnabled()) BuildList();
  else refreshPending_ = true;
  return 0;
}
