#include "app/shell/maillist/QvMailListDlg.h"

#include <algorithm>

#include "app/foundation/LMessageBox.h"
#include "app/foundation/MessageBoxes.h"
#include "app/foundation/UiMenus.h"
#include "app/foundation/UiRegistry.h"
#include "app/mailops/AccountOperations.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "app/mailops/MessageOperations.h"
#include "app/mailops/RunWithProgress.h"
#include "app/mailops/WindowRegistry.h"
#include "app/mailops/dialogs/QvExportDlg.h"
#include "app/protocol/MailListCommands.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/maillist/MailListRunners.h"
#include "engine/public/content/EmlCompose.h"
#include "outside/Markwright/HtmlEditCtrl.h"
#include "platform/framework/AfxResource.h"
#include "platform/framework/CMenu.h"
#include "platform/shell/MenuBar.h"
#include "platform/shell/ShellUi.h"

namespace {

constexpr const wchar_t* kConfirmCaption = L"確認";
constexpr const wchar_t* kRuleCaption = L"振り分け設定";
// The three-button questions: buttons and box type (question, yes/no/cancel).
constexpr UINT kThreeButtonType = 0x23;
constexpr const wchar_t* kDeleteAllLabel = L"全削除";
constexpr const wchar_t* kDeleteLabel = L"削除";
constexpr const wchar_t* kUnprotectedLabel = L"保護以外";

bool IsReceivedKind(int kind) { return kind == QvMailListItem::kReceived || kind == QvMailListItem::kImported; }

// Each entry reduced to its bare address, joined by ", ".
std::wstring BareAddresses(const CStringArray& list) {
  std::wstring joined;
  EmlCompose compose;
  for (INT_PTR i = 0; i < list.GetSize(); ++i) {
    std::wstring field(static_cast<LPCWSTR>(list[i])), address, name;
    if (!compose.ParseAddress(field, &address, &name) || address.empty()) address = field;
    if (!joined.empty()) joined += L", ";
    joined += address;
  }
  return joined;
}

}  // namespace

BEGIN_MESSAGE_MAP(QvMailListDlg, CDialog)
  ON_WM_DESTROY()
  ON_WM_SIZE()
  ON_WM_TIMER()
  ON_WM_ENABLE()
  ON_WM_INITMENUPOPUP()
  ON_NOTIFY(LVN_ITEMCHANGED, kListId, &QvMailListDlg::OnItemChanged)
  ON_NOTIFY(NM_CLICK, kListId, &QvMailListDlg::OnListTap)
  ON_NOTIFY(NM_RETURN, kListId, &QvMailListDlg::OnListTap)
  ON_NOTIFY(HEN_RESOLVE, QvPreviewBodyCtrl::kControlId, &QvMailListDlg::OnResolveInlineFile)
  ON_MESSAGE(kSplitMovedMessage, &QvMailListDlg::OnSplitMoved)
  ON_MESSAGE(kRefreshMessage, &QvMailListDlg::OnRefresh)
  ON_MESSAGE(kPreviousMessageMessage, &QvMailListDlg::OnPreviousMessage)
  ON_MESSAGE(kNextMessageMessage, &QvMailListDlg::OnNextMessage)
  ON_COMMAND(kViewMessageCommand, &QvMailListDlg::OnView)
  ON_COMMAND(kReplyOrEditCommand, &QvMailListDlg::OnReplyOrEdit)
  ON_COMMAND(kReplyOrEditKeyCommand, &QvMailListDlg::OnReplyOrEdit)
  ON_COMMAND(kReplyQuoteCommand, &QvMailListDlg::OnReplyQuote)
  ON_COMMAND(kReplyAllCommand, &QvMailListDlg::OnReplyAll)
  ON_COMMAND(kReplyAllQuoteCommand, &QvMailListDlg::OnReplyAllQuote)
  ON_COMMAND(kForwardCommand, &QvMailListDlg::OnForward)
  ON_COMMAND(kSendAgainCommand, &QvMailListDlg::OnSendAgain)
  ON_COMMAND(kSendSelectedCommand, &QvMailListDlg::OnSendSelected)
  ON_COMMAND(kMoveSelectedCommand, &QvMailListDlg::OnMoveSelected)
  ON_COMMAND(kMoveAllCommand, &QvMailListDlg::OnMoveAll)
  ON_COMMAND(kExportSelectedCommand, &QvMailListDlg::OnExportSelected)
  ON_COMMAND(kExportAllCommand, &QvMailListDlg::OnExportAll)
  ON_COMMAND(kProtectCommand, &QvMailListDlg::OnProtect)
  ON_COMMAND(kMarkUnreadCommand, &QvMailListDlg::OnMarkUnread)
  ON_COMMAND(kMarkReadCommand, &QvMailListDlg::OnMarkRead)
  ON_COMMAND(kDeleteSelectedCommand, &QvMailListDlg::OnDeleteSelected)
  ON_COMMAND(kDeleteAllCommand, &QvMailListDlg::OnDeleteAll)
  ON_COMMAND(kRuleFromMessageCommand, &QvMailListDlg::OnRuleFromMessage)
  ON_COMMAND(kSortByDateCommand, &QvMailListDlg::OnSortByDate)
  ON_COMMAND(kSortByCorrespondentCommand, &QvMailListDlg::OnSortByCorrespondent)
  ON_COMMAND(kSortBySubjectCommand, &QvMailListDlg::OnSortBySubject)
  ON_COMMAND(kUnreadFirstCommand, &QvMailListDlg::OnUnreadFirst)
  ON_COMMAND(kMarkToDeleteCommand, &QvMailListDlg::OnMarkToDelete)
  ON_COMMAND(kMarkToMoveCommand, &QvMailListDlg::OnMarkToMove)
  ON_COMMAND(kMarkToExportCommand, &QvMailListDlg::OnMarkToExport)
  ON_COMMAND(kToggleMarksCommand, &QvMailListDlg::OnToggleMarks)
  ON_COMMAND(kSelectAllCommand, &QvMailListDlg::OnSelectAll)
  ON_COMMAND(kFinishMarkingCommand, &QvMailListDlg::OnFinishMarking)
  ON_UPDATE_COMMAND_UI(kDeleteSelectedCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kRuleFromMessageCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kExportSelectedCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kMarkToDeleteCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kDeleteAllCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kMarkToMoveCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kMoveAllCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kExportAllCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kMarkToExportCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kForwardCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kReplyOrEditKeyCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kReplyAllCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kReplyQuoteCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kReplyAllQuoteCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kSendAgainCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kMoveSelectedCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kSendSelectedCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kMarkUnreadCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kMarkReadCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kProtectCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kSortByDateCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kSortByCorrespondentCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kSortBySubjectCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kUnreadFirstCommand, &QvMailListDlg::OnUpdateCommand)
  ON_UPDATE_COMMAND_UI(kSelectAllCommand, &QvMailListDlg::OnUpdateCommand)
END_MESSAGE_MAP()

QvMailListDlg::QvMailListDlg(DWORD folderId, CWnd* parent)
    : CDialog(kTemplateId, parent), kind_(&QvMailListKind::ForFolder(folderId)), folderId_(folderId) {
  GetMainSplitPos(&splitX_, &splitY_);
}

QvMailListDlg::~QvMailListDlg() = default;

BOOL QvMailListDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SHINITDLGINFO init{SHIDIM_FLAGS, m_hWnd, SHIDIF_SIZEDLGFULLSCREEN};
  SHInitDialog(&init);
  accelerators_ = LoadAcceleratorsW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kAcceleratorsId));
  SwitchMenuBar(kind_->GetMenuBarId());
  preview_.CreatePane(this);
  titleBar_.SubclassDlgItem(kTitleBarId, this);
  list_.SubclassDlgItem(kListId, this);
  splitter_.SubclassDlgItem(kSplitterId, this);
  list_.SetUp(&titleBar_);
  splitter_.SetPanes(list_.m_hWnd, preview_.m_hWnd);
  AddWindowFolder(this, folderId_);
  list_.LoadRows(*kind_, folderId_);
  CString title;
  titleBar_.GetWindowText(title);
  SetWindowText(title);
  CRect client;
  GetClientRect(&client);
  Layout(client.Width(), client.Height());
  ShowWindow(SW_SHOW);
  list_.SetFocus();
  return FALSE;  // the list has the focus
}

BOOL QvMailListDlg::PreTranslateMessage(MSG* msg) {
  if (accelerators_ && msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST &&
      TranslateAcceleratorW(m_hWnd, accelerators_, msg)) {
    return TRUE;
  }
  return CDialog::PreTranslateMessage(msg);
}

void QvMailListDlg::OnDestroy() {
  KillTimer(kPreviewTimer);
  UnregisterWindow(this);
  if (menuBar_ && ::IsWindow(menuBar_)) ::DestroyWindow(menuBar_);
  menuBar_ = nullptr;
  CDialog::OnDestroy();
}

void QvMailListDlg::Layout(int cx, int cy) {
  if (!titleBar_.m_hWnd || !list_.m_hWnd) return;
  titleBar_.MoveWindow(0, 0, cx, QvTitleBarCtrl::kHeight);
  orientation_ = cx < cy ? 1 : 0;
  const RECT area{0, QvTitleBarCtrl::kHeight, cx, std::max(cy, static_cast<int>(QvTitleBarCtrl::kHeight))};
  splitter_.Layout(area, orientation_, kPaneMinimum, kPaneMinimum, orientation_ ? splitY_ : splitX_, true);
}

void QvMailListDlg::OnSize(UINT, int cx, int cy) { Layout(cx, cy); }

LRESULT QvMailListDlg::OnSplitMoved(WPARAM, LPARAM) {
  (orientation_ ? splitY_ : splitX_) = splitter_.GetPosition();
  SetMainSplitPos(splitX_, splitY_);
  return 0;
}

// ---- menu bar ----

void QvMailListDlg::SwitchMenuBar(UINT id) {
  if (id == menuBarId_ && menuBar_ && ::IsWindow(menuBar_)) return;
  // The old bar's end must not leave the screen inactive or the list unfocused.
  const bool active = ::GetActiveWindow() == m_hWnd;
  const HWND focus = ::GetFocus();
  if (menuBar_ && ::IsWindow(menuBar_)) ::DestroyWindow(menuBar_);
  menuBar_ = nullptr;
  menuBarId_ = id;
  if (CreateMenuBar(m_hWnd, id)) menuBar_ = SHFindMenuBar(m_hWnd);
  if (active && ::GetActiveWindow() != m_hWnd) ::SetActiveWindow(m_hWnd);
  if (focus && ::IsWindow(focus) && ::GetFocus() != focus) ::SetFocus(focus);
}

void QvMailListDlg::FollowSelection() {
  if (marking_ != kNotMarking) return;
  const int selected = list_.GetSelectedIndex();
  if (selected < 0) SwitchMenuBar(kind_->GetMenuBarId());
  else SwitchMenuBar(IsReceivedKind(list_.GetMessageKind(selected)) ? kReceivedMenuBar : kOtherMenuBar);
}

void QvMailListDlg::OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu) {
  CDialog::OnInitMenuPopup(popup, index, sysMenu);
  if (!popup || sysMenu) return;
  if (popup->GetMenuItemCount() > 0 && popup->GetMenuItemID(0) == kKindPopupPlaceholder) {
    HMENU source = ::LoadMenuW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kind_->GetPopupMenuId()));
    if (source) {
      if (HMENU items = ::GetSubMenu(source, 0)) CopyMenuItems(popup->m_hMenu, items);
      ::DestroyMenu(source);
    }
  }
  UpdatePopupMenuCmdUI(this, popup->m_hMenu);
}

bool QvMailListDlg::SelectedIsReceived() const { return IsReceivedKind(list_.GetSelectedMessageKind()); }

void QvMailListDlg::OnUpdateCommand(CCmdUI* ui) {
  const UINT id = ui->m_nID;
  const bool marking = marking_ != kNotMarking;
  if (id == kSelectAllCommand) {
    ui->Enable(marking);
    return;
  }
  if (marking) {
    ui->Enable(FALSE);
    return;
  }
  const int selected = list_.GetSelectedIndex();
  const bool any = selected >= 0;
  const int kind = list_.GetSelectedMessageKind();
  const bool unread = any && list_.TestStatus(selected, QvMailListItem::kUnread);
  bool on = false;
  switch (id) {
    case kDeleteSelectedCommand:
    case kRuleFromMessageCommand:
    case kExportSelectedCommand:
      on = any;
      break;
    case kMarkToDeleteCommand:
    case kDeleteAllCommand:
    case kMarkToMoveCommand:
    case kMoveAllCommand:
    case kExportAllCommand:
    case kMarkToExportCommand:
      on = list_.GetRowCount() > 0;
      break;
    case kForwardCommand:
    case kReplyOrEditKeyCommand:
    case kReplyAllCommand:
    case kReplyQuoteCommand:
    case kReplyAllQuoteCommand:
      on = IsReceivedKind(kind);
      break;
    case kSendAgainCommand:
      on = any && kind == static_cast<int>(QvMailListItem::kSent);
      break;
    case kMoveSelectedCommand:
      on = kind_->CanMove() && any;
      break;
    case kSendSelectedCommand:
      // Only an unsent message waits to be sent, and only the drafts and
      // the outbox hold one.
      on = (kind_->GetKind() == QvMailListKind::kDrafts || kind_->GetKind() == QvMailListKind::kOutbox) && any &&
           kind == static_cast<int>(QvMailListItem::kUnsent);
      break;
    case kMarkUnreadCommand:
      on = kind_->CanMarkUnread() && IsReceivedKind(kind) && !unread;
      break;
    case kMarkReadCommand:
      on = kind_->CanMarkRead() && IsReceivedKind(kind) && unread;
      break;
    case kProtectCommand:
      on = any;
      ui->SetText(LoadResString(any && list_.TestStatus(selected, QvMailListItem::kProtected) ? kStringUnprotect
                                                                                              : kStringProtect));
      break;
    case kSortByDateCommand:
    case kSortByCorrespondentCommand:
    case kSortBySubjectCommand: {
      on = true;
      const int column = id == kSortByDateCommand ? 2 : id == kSortByCorrespondentCommand ? 0 : 1;
      ui->SetCheck(list_.GetSortColumn() == column ? 1 : 0);
      if (id == kSortByCorrespondentCommand) ui->SetText(LoadResString(kind_->GetCorrespondentLabelId()));
      break;
    }
    case kUnreadFirstCommand:
      on = true;
      ui->SetCheck(list_.IsUnreadFirst() ? 1 : 0);
      break;
    default:
      on = true;
  }
  ui->Enable(on);
}

// ---- preview and selection ----

void QvMailListDlg::OnResolveInlineFile(NMHDR* nm, LRESULT* result) {
  preview_.ResolveInlineFile(reinterpret_cast<NMHTMLEDIT*>(nm));
  *result = 0;
}

void QvMailListDlg::OnItemChanged(NMHDR* nm, LRESULT* result) {
  *result = 0;
  const auto* change = reinterpret_cast<const NMLISTVIEW*>(nm);
  if (change->uChanged & LVIF_STATE) SetTimer(kPreviewTimer, kPreviewDelayMs, nullptr);
}

void QvMailListDlg::OnTimer(UINT_PTR id) {
  if (id != kPreviewTimer) {
    CDialog::OnTimer(id);
    return;
  }
  KillTimer(kPreviewTimer);
  if (!IsWindowEnabled()) {
    refreshPending_ = true;
    return;
  }
  FollowSelection();
  ShowSelectedPreview();
}

void QvMailListDlg::ShowSelectedPreview() {
  const int selected = list_.GetSelectedIndex();
  if (selected < 0) {
    preview_.ClearPane();
    return;
  }
  preview_.ShowMessage(folderId_, list_.GetMessageId(selected),
                       list_.TestStatus(selected, QvMailListItem::kDecodeWhole));
}

// ---- refresh ----

LRESULT QvMailListDlg::OnRefresh(WPARAM wParam, LPARAM lParam) {
  if ((lParam == 1 && wParam == kRefreshEverything) || static_cast<DWORD>(wParam) == folderId_) Refresh();
  return 0;
}

void QvMailListDlg::Refresh() {
  if (sending_) {
    refreshPending_ = true;
    return;
  }
  if (!IsWindowEnabled()) {
    // A window of this screen is up: the rows follow now, the preview and
    // the screen's end wait for it to close.
    refreshPending_ = true;
    list_.ReloadRows(true, false);
    return;
  }
  refreshPending_ = false;
  preview_.ClearPane();
  list_.ReloadRows(true, true);
  if (list_.GetRowCount() == 0) {
    EndDialog(0);
    return;
  }
  FollowSelection();
  ShowSelectedPreview();
}

void QvMailListDlg::OnEnable(BOOL enable) {
  CDialog::OnEnable(enable);
  if (enable && refreshPending_) Refresh();
}

LRESULT QvMailListDlg::OnPreviousMessage(WPARAM wParam, LPARAM lParam) {
  return list_.NextMessageId(static_cast<DWORD>(wParam), true, reinterpret_cast<DWORD*>(lParam)) ? 1 : 0;
}

LRESULT QvMailListDlg::OnNextMessage(WPARAM wParam, LPARAM lParam) {
  return list_.NextMessageId(static_cast<DWORD>(wParam), false, reinterpret_cast<DWORD*>(lParam)) ? 1 : 0;
}

// ---- taps, keys, Back ----

void QvMailListDlg::OnListTap(NMHDR*, LRESULT* result) {
  *result = 0;
  TapOrEnter();
}

void QvMailListDlg::TapOrEnter() {
  if (marking_ == kNotMarking) {
    SendMessage(WM_COMMAND, kind_->GetOpenCommand(), 0);
    return;
  }
  if (GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0) return;
  SendMessage(WM_COMMAND, kToggleMarksCommand, 0);
}

void QvMailListDlg::OnOK() {
  // The dialog makes Enter on the list its OK: the row's Enter; the dialog stays.
  if (::GetFocus() == list_.m_hWnd) TapOrEnter();
}

void QvMailListDlg::OnCancel() {
  if (marking_ != kNotMarking) {
    EndMarking();
    return;
  }
  CDialog::OnCancel();
}

LRESULT QvMailListDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kBackMessage) {
    PostMessage(WM_COMMAND, IDCANCEL, 0);
    return 0;
  }
  return CDialog::WindowProc(message, wParam, lParam);
}

// ---- commands on the selected message ----

void QvMailListDlg::OnView() {
  const DWORD id = list_.GetSelectedMessageId();
  if (list_.GetSelectedIndex() < 0) return;
  if (auto& view = MailListScreenRunners().viewMessage) view(this, folderId_, id);
  if (::IsWindow(m_hWnd)) list_.SetFocus();
}

void QvMailListDlg::AnswerOrEdit(bool all, bool quote, bool forward) {
  const int selected = list_.GetSelectedIndex();
  if (selected < 0) return;
  const DWORD id = list_.GetMessageId(selected);
  const int kind = list_.GetMessageKind(selected);
  MailListRunners& runners = MailListScreenRunners();
  if (IsReceivedKind(kind)) {
    if (forward) {
      if (runners.forwardMessage) runners.forwardMessage(this, id);
    } else if (runners.replyMessage) {
      runners.replyMessage(this, id, all, quote);
    }
    return;
  }
  if (runners.editStoredMessage) {
    runners.editStoredMessage(this, id, folderId_, kind_->GetKind() == QvMailListKind::kDrafts,
                              kind != static_cast<int>(QvMailListItem::kUnsent));
  }
}

void QvMailListDlg::OnReplyOrEdit() { AnswerOrEdit(false, false, false); }
void QvMailListDlg::OnReplyQuote() { AnswerOrEdit(false, true, false); }
void QvMailListDlg::OnReplyAll() { AnswerOrEdit(true, false, false); }
void QvMailListDlg::OnReplyAllQuote() { AnswerOrEdit(true, true, false); }
void QvMailListDlg::OnForward() { AnswerOrEdit(false, false, true); }

void QvMailListDlg::Send(const std::vector<unsigned long>& ids) {
  sending_ = true;
  SendMessagesWithProgress(this, ids);
  sending_ = false;
  if (refreshPending_ && ::IsWindow(m_hWnd)) Refresh();
}

void QvMailListDlg::OnSendAgain() {
  const int selected = list_.GetSelectedIndex();
  if (selected < 0 || list_.GetMessageKind(selected) != static_cast<int>(QvMailListItem::kSent)) return;
  // The copy is a new mail from this account: its addresses as stored, not
  // as the reading view shows them, and the sender the account's own.
  QvMessageRecord record;
  if (!LoadMessageForEdit(list_.GetMessageId(selected), &record)) return;
  record.from = GetSenderAddress();
  record.senderName = GetSenderName();
  if (!SaveNewMessage(kOutbox, &record)) return;
  Send({record.messageId});
}

void QvMailListDlg::OnSendSelected() {
  const int selected = list_.GetSelectedIndex();
  if (selected < 0 || list_.GetMessageKind(selected) != static_cast<int>(QvMailListItem::kUnsent)) return;
  const DWORD id = list_.GetMessageId(selected);
  if (kind_->GetKind() == QvMailListKind::kDrafts) {
    if (!MessageHasRecipients(id)) {
      ShowWarningBoxRes(m_hWnd, kStringNoRecipient);
      return;
    }
    if (!MoveMessageDraftOutbox(id, true)) return;
  } else if (kind_->GetKind() != QvMailListKind::kOutbox) {
    return;
  }
  Send({id});
}

void QvMailListDlg::OnMoveSelected() {
  if (list_.GetSelectedIndex() < 0 || !kind_->CanMove()) return;
  MoveMessages({list_.GetSelectedMessageId()});
}

void QvMailListDlg::OnMoveAll() { MoveMessages(list_.GetAllIds()); }

void QvMailListDlg::MoveMessages(std::vector<unsigned long> ids) {
  if (ids.empty()) return;
  auto& choose = MailListScreenRunners().chooseMoveTarget;
  MailMoveTarget target;
  if (!choose || !choose(this, std::wstring(LoadResString(kStringMoveCaption)), folderId_, &target)) return;
  DWORD destination = target.folderId;
  if (target.newFolder && !CreateSubFolder(target.folderId, target.name, &destination)) return;
  if (destination != folderId_) MoveMessagesToFolder(ids, folderId_, destination);
}

void QvMailListDlg::ExportMessages(std::vector<unsigned long> ids) {
  if (ids.empty()) return;
  QvExportDlg dialog(this, std::move(ids));
  dialog.DoModal();
  if (::IsWindow(m_hWnd)) list_.SetFocus();
}

void QvMailListDlg::OnExportSelected() {
  if (list_.GetSelectedIndex() >= 0) ExportMessages({list_.GetSelectedMessageId()});
}

void QvMailListDlg::OnExportAll() { ExportMessages(list_.GetAllIds()); }

void QvMailListDlg::OnProtect() {
  const int selected = list_.GetSelectedIndex();
  if (selected < 0) return;
  SetMessagesProtect({list_.GetMessageId(selected)}, !list_.TestStatus(selected, QvMailListItem::kProtected),
                     folderId_);
}

void QvMailListDlg::OnMarkUnread() {
  const int selected = list_.GetSelectedIndex();
  if (selected < 0 || !kind_->CanMarkUnread() || list_.TestStatus(selected, QvMailListItem::kUnread)) return;
  SetMessagesRead({list_.GetMessageId(selected)}, true, folderId_);
}

void QvMailListDlg::OnMarkRead() {
  const int selected = list_.GetSelectedIndex();
  if (selected < 0 || !kind_->CanMarkRead() || !list_.TestStatus(selected, QvMailListItem::kUnread)) return;
  SetMessagesRead({list_.GetMessageId(selected)}, false, folderId_);
}

void QvMailListDlg::DeleteOne(DWORD messageId, bool isProtected) {
  if (!ShowConfirmBoxRes(m_hWnd, isProtected ? kStringDeleteProtected : kStringDeleteOne, false)) return;
  std::vector<unsigned long> ids{messageId};
  RemoveMessages(folderId_, ids);
}

void QvMailListDlg::OnDeleteSelected() {
  const int selected = list_.GetSelectedIndex();
  if (selected < 0) return;
  DeleteOne(list_.GetMessageId(selected), list_.TestStatus(selected, QvMailListItem::kProtected));
}

void QvMailListDlg::OnDeleteAll() {
  if (list_.GetRowCount() == 0) return;
  std::vector<unsigned long> ids;
  if (kind_->CanProtect()) {
    const int answer = ShowLMessageBox(this, LoadResString(kStringDeleteAllProtect), kConfirmCaption,
                                       kThreeButtonType, kDeleteAllLabel, kUnprotectedLabel, L"");
    if (answer == IDYES) ids = list_.GetAllIds();
    else if (answer == IDNO) ids = list_.GetUnprotectedIds();
  } else if (ShowConfirmBoxRes(m_hWnd, kStringDeleteAll, false)) {
    ids = list_.GetAllIds();
  }
  if (!ids.empty()) RemoveMessages(folderId_, ids);
}

void QvMailListDlg::OnRuleFromMessage() {
  const int selected = list_.GetSelectedIndex();
  if (selected < 0) return;
  QvMessageRecord record;
  if (!LoadMessageForView(list_.GetMessageId(selected), &record, folderId_)) return;
  CStringArray sender;
  sender.Add(record.from);
  RuleSourceTexts texts;
  texts.firstList = BareAddresses(record.toList);
  texts.sender = BareAddresses(sender);
  texts.secondList = BareAddresses(record.ccList);
  texts.subject = static_cast<LPCWSTR>(record.subject);
  std::vector<std::wstring> names;
  GetClassificationRuleNames(&names);
  auto& edit = MailListScreenRunners().editRule;
  QvClassificationRuleRow rule;
  if (edit && edit(this, kRuleCaption, texts, names, &rule)) AddClassificationRule(rule);
}

// ---- sorting ----

void QvMailListDlg::OnSortByDate() { list_.ChooseSortColumn(2); }
void QvMailListDlg::OnSortByCorrespondent() { list_.ChooseSortColumn(0); }
void QvMailListDlg::OnSortBySubject() { list_.ChooseSortColumn(1); }
void QvMailListDlg::OnUnreadFirst() { list_.SetUnreadFirst(!list_.IsUnreadFirst()); }

// ---- marking modes ----

void QvMailListDlg::EnterMarking(int mode) {
  if (list_.GetRowCount() == 0) return;
  marking_ = mode;
  list_.SetMarkingMode(true);
  SwitchMenuBar(kMarkingMenuBar);
}

void QvMailListDlg::EndMarking() {
  marking_ = kNotMarking;
  list_.SetMarkingMode(false);
  FollowSelection();
}

void QvMailListDlg::OnMarkToDelete() { EnterMarking(kMarkToDelete); }
void QvMailListDlg::OnMarkToMove() { EnterMarking(kMarkToMove); }
void QvMailListDlg::OnMarkToExport() { EnterMarking(kMarkToExport); }

void QvMailListDlg::OnToggleMarks() {
  if (marking_ == kNotMarking) return;
  list_.SetMarks(list_.AnySelectedUnmarked());
  list_.Invalidate();
}

void QvMailListDlg::OnSelectAll() {
  if (marking_ != kNotMarking) list_.SelectAll();
}

void QvMailListDlg::OnFinishMarking() {
  if (marking_ == kNotMarking) return;
  std::vector<unsigned long> marked = list_.GetMarkedIds();
  switch (marking_) {
    case kMarkToDelete:
      if (marked.size() == 1) {
        const QvMailListItem* row = list_.GetRowById(static_cast<DWORD>(marked[0]));
        DeleteOne(static_cast<DWORD>(marked[0]), row && (row->status & QvMailListItem::kProtected));
      } else if (marked.size() > 1) {
        std::vector<unsigned long> ids;
        if (kind_->CanProtect()) {
          const int answer = ShowLMessageBox(this, LoadResString(kStringDeleteMarkedProtect), kConfirmCaption,
                                             kThreeButtonType, kDeleteLabel, kUnprotectedLabel, L"");
          if (answer == IDYES) ids = marked;
          else if (answer == IDNO) ids = list_.GetMarkedUnprotectedIds();
        } else if (ShowConfirmBoxRes(m_hWnd, kStringDeleteMarked, false)) {
          ids = marked;
        }
        if (!ids.empty()) RemoveMessages(folderId_, ids);
      }
      break;
    case kMarkToMove:
      MoveMessages(marked);
      break;
    case kMarkToExport:
      ExportMessages(marked);
      break;
  }
  if (::IsWindow(m_hWnd)) EndMarking();
}

// ---- opening ----

INT_PTR OpenMailList(DWORD folderId, CWnd* parent) {
  std::vector<unsigned long> ids;
  if (!GetMessageIds(folderId, &ids) || ids.empty()) {
    ShowNoticeBoxRes(parent ? parent->m_hWnd : nullptr, QvMailListDlg::kStringEmptyFolder);
    return 0;
  }
  QvMailListDlg screen(folderId, parent);
  return screen.DoModal();
}
