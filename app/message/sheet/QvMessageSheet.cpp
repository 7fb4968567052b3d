#include "app/message/sheet/QvMessageSheet.h"

#include <set>

#include "app/foundation/CloseRequest.h"
#include "app/foundation/MessageBoxes.h"
#include "app/foundation/PictureChars.h"
#include "app/foundation/QvComSaveMsgDlg.h"
#include "app/foundation/UiText.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "app/mailops/MailTaskState.h"
#include "app/mailops/MessageOperations.h"
#include "app/mailops/MessageStatus.h"
#include "app/mailops/QvMailListItem.h"
#include "app/mailops/RunWithProgress.h"
#include "app/mailops/TempFiles.h"
#include "app/message/sheet/MessageSheetToolPages.h"
#include "app/message/pages/QvMessagePage.h"
#include "app/message/sheet/MessageSheetIds.h"
#include "app/message/tools/QvToolPage.h"
#include "app/protocol/Commands.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/mainframe/AttachmentRequest.h"
#include "platform/base/WinFormat.h"
#include "platform/framework/AfxResource.h"
#include "platform/shell/ShellUi.h"
#include "platform/ui/menu/Accelerator.h"

using namespace qv::message_sheet;

namespace {

QvMessageSheet::ToolPageMaker& Maker() {
  static QvMessageSheet::ToolPageMaker maker;
  return maker;
}

// The temporary sub-folders of the sheets that are up: a nested sheet of
// the same group takes a name of its own, so that neither unpacks into
// or removes the other's files.
std::set<std::wstring>& LiveTempFolders() {
  static std::set<std::wstring> live;
  return live;
}

using Tool = QvMessageSheet::ToolKind;
struct KindRow {
  const Tool* handwriting;
  const Tool* text;
  const Tool* html;
};
constexpr Tool kHwEdit = Tool::kHandwritingEdit, kPlainEdit = Tool::kPlainEdit, kDecoEdit = Tool::kDecoratedEdit,
               kHwView = Tool::kHandwritingView, kPlainView = Tool::kPlainView, kHtmlView = Tool::kHtmlView;
// The tool pages of each page kind.
const KindRow kKinds[6] = {
    {&kHwEdit, &kPlainEdit, nullptr},  {nullptr, &kPlainEdit, nullptr}, {nullptr, nullptr, &kDecoEdit},
    {&kHwView, &kPlainView, nullptr},  {nullptr, &kPlainView, nullptr}, {nullptr, nullptr, &kHtmlView},
};

bool HoldsPictograph(const CString& text) {
  for (int i = 0; i < text.GetLength(); ++i) {
    if (IsPictograph(text[i])) return true;
  }
  return false;
}

bool ListHoldsPictograph(const CStringArray& list) {
  for (INT_PTR i = 0; i < list.GetSize(); ++i) {
    if (HoldsPictograph(list[i])) return true;
  }
  return false;
}

CWnd* ActiveWindow() { return CWnd::FromHandle(::GetActiveWindow()); }

}  // namespace

void QvMessageSheet::SetToolPageMaker(ToolPageMaker maker) { Maker() = std::move(maker); }

QvMessageSheet::QvMessageSheet(CWnd* parent, LPCWSTR tempBase) : CPropertySheet(kCaption, parent) {
  m_record.Clear();
  std::wstring name = tempBase;
  for (int n = 2; LiveTempFolders().count(name); ++n) name = std::wstring(tempBase) + std::to_wstring(n);
  LiveTempFolders().insert(name);
  m_tempFolder = name;
  m_previousTempFolder = GetTempFolderName().GetString();
  SetTempFolderName(m_tempFolder.c_str());
}

QvMessageSheet::~QvMessageSheet() {
  if (m_hWnd && FromHandlePermanent(m_hWnd) == this) DestroyWindow();
  m_handwritingPage.reset();
  m_textPage.reset();
  m_htmlPage.reset();
  if (m_accel) ::DestroyAcceleratorTable(m_accel);
  RemoveTempFolder(m_tempFolder.c_str());
  LiveTempFolders().erase(m_tempFolder);
  // The template folder is shared by the compose sheets: the last one takes it away.
  if (IsComposing()) {
    bool otherCompose = false;
    for (const std::wstring& n : LiveTempFolders()) otherCompose |= n.rfind(kEditFolder, 0) == 0;
    if (!otherCompose) RemoveTempFolder(kTemplateFolder);
  }
  SetTempFolderName(m_previousTempFolder.c_str());
}

QvToolPage* QvMessageSheet::SlotPage(Slot slot) const {
  switch (slot) {
    case kHandwritingSlot: return m_handwritingPage.get();
    case kTextSlot: return m_textPage.get();
    case kHtmlSlot: return m_htmlPage.get();
  }
  return nullptr;
}

std::unique_ptr<QvToolPage> QvMessageSheet::MakeToolPage(ToolKind kind) {
  if (Maker()) return Maker()(kind, &m_record);
  return MakeProgramToolPage(kind, &m_record);
}

void QvMessageSheet::RemoveFromSheet(QvToolPage* page) {
  if (!page || GetPageIndex(page) < 0) return;
  page->DestroyCommandBar();
  RemovePage(page);
}

void QvMessageSheet::AddSlotsToSheet() {
  for (QvToolPage* page : {m_handwritingPage.get(), m_htmlPage.get(), m_textPage.get()}) {
    if (page && GetPageIndex(page) < 0) AddPage(page);
  }
}

void QvMessageSheet::ActivateSlot(Slot slot) {
  if (QvToolPage* page = SlotPage(slot)) SetActivePage(page);
}

void QvMessageSheet::SetTextMenu(int kind) {
  auto* edit = dynamic_cast<QvEditToolPage*>(m_textPage.get());
  if (edit && (kind == kComposeHandwritten || kind == kComposePlain)) edit->SetEditMenuMode(kind == kComposePlain);
}

void QvMessageSheet::SetPageKind(int kind) {
  if (kind < kComposeHandwritten || kind > kViewHtml) return;
  m_pageKind = kind;
  const KindRow& row = kKinds[kind];
  std::unique_ptr<QvToolPage>* slots[3] = {&m_handwritingPage, &m_textPage, &m_htmlPage};
  const Tool* wanted[3] = {row.handwriting, row.text, row.html};
  for (int i = 0; i < 3; ++i) {
    RemoveFromSheet(slots[i]->get());
    slots[i]->reset();
    if (wanted[i]) *slots[i] = MakeToolPage(*wanted[i]);
  }
  SetTextMenu(kind);
  AddSlotsToSheet();
}

int QvMessageSheet::ViewKindFor(const QvMessageRecord& record) {
  if (record.isPictureMail) return kViewHandwritten;
  return record.htmlText.IsEmpty() ? kViewPlain : kViewHtml;
}

// --- Entry points --------------------------------------------------------------------

void QvMessageSheet::ViewMessage(DWORD folderId, DWORD messageId) {
  QvMessageSheet sheet(ActiveWindow(), kViewFolder);
  OpenCurrentMessage(messageId);
  if (LoadMessageForView(messageId, &sheet.m_record, folderId) && SetMessageRead(messageId, false, folderId)) {
    sheet.SetPageKind(ViewKindFor(sheet.m_record));
    sheet.DoModal();
  }
  CloseCurrentMessage();
}

void QvMessageSheet::SendAtOnceAfterRun(CWnd* parent, QvMessageSheet& sheet) {
  if (sheet.m_sendRequested && IsSendInAMinuteEnabled()) SendAfterEdit(parent, {sheet.m_record.messageId});
}

BOOL QvMessageSheet::ComposeNew(CWnd* parent, LPCWSTR to, int kind) {
  if (!parent) return FALSE;
  QvMessageSheet sheet(nullptr, kEditFolder);
  QvMessageRecord& r = sheet.Record();
  if (!InitNewMessageRecord(&r)) return FALSE;
  if (to && *to) r.toList.Add(to);
  r.isReply = 0;
  r.isBlank = 1;
  r.isNew = 1;
  r.inDrafts = 0;
  sheet.SetPageKind(kind);
  return sheet.RunCompose(parent);
}

BOOL QvMessageSheet::RunCompose(CWnd* parent) {
  DoModal();
  SendAtOnceAfterRun(parent, *this);
  return m_sendRequested;
}

BOOL QvMessageSheet::ComposeNewMessage(CWnd* parent, LPCWSTR to) { return ComposeNew(parent, to, kComposePlain); }

BOOL QvMessageSheet::ComposeHandwrittenMessage(CWnd* parent, LPCWSTR to) {
  return ComposeNew(parent, to, kComposeHandwritten);
}

void QvMessageSheet::AppendSignature() {
  if (!IsSignatureEnabled()) return;
  if (!m_record.body.IsEmpty()) m_record.body += L"\r\n";
  m_record.body += GetSignatureText();
}

BOOL QvMessageSheet::EditMessageFile(CWnd* parent, LPCWSTR mailto, int type) {
  if (!parent) return FALSE;
  QvMessageSheet sheet(ActiveWindow(), kEditFolder);
  QvMessageRecord& r = sheet.m_record;
  std::wstring text, listPath;
  SplitComposeArgs(mailto ? mailto : L"", &text, &listPath);
  if (!LoadMailtoIntoRecord(text, &r)) return FALSE;
  // Only the per-request list file another program handed over with this
  // request is read (and then deleted); never a fixed name anyone could plant.
  std::vector<std::wstring> paths;
  if (!listPath.empty() && TakeAttachmentList(listPath, &paths)) {
    r.attachmentPaths.RemoveAll();
    for (const std::wstring& p : paths) r.attachmentPaths.Add(p.c_str());
  }
  r.isReply = 0;
  r.isPictureMail = 0;
  r.isStored = 0;
  r.partialFlag = 0;
  r.isNew = 1;
  r.isBlank = 0;
  int kind = r.htmlText.IsEmpty() ? kComposePlain : kComposeDecorated;
  if (type == 2) {
    kind = kComposeDecorated;
  } else if (type == 1) {
    r.isBlank = r.body.IsEmpty() ? 1 : 0;
    kind = kComposeHandwritten;
    const bool picture = r.attachmentPaths.GetSize() > 0;
    r.isPictureMail = picture;
    r.pictureFromAttachment = picture;
  }
  sheet.AppendSignature();
  sheet.SetPageKind(kind);
  return sheet.RunCompose(parent);
}

BOOL QvMessageSheet::EditStoredMessage(CWnd* parent, DWORD folderId, DWORD messageId, BOOL inDrafts, BOOL asNew) {
  if (!parent) return FALSE;
  QvMessageSheet sheet(ActiveWindow(), kEditFolder);
  QvMessageRecord& r = sheet.m_record;
  if (!LoadMessageForEdit(messageId, &r)) return FALSE;
  r.isNew = asNew ? 1 : 0;
  if (asNew) {
    r.inDrafts = 0;
  } else {
    r.inDrafts = inDrafts ? 1 : 0;
    r.folder = folderId;
    r.notFromStore = 0;
  }
  r.isBlank = 0;
  r.isReply = 0;
  r.isStored = 1;
  r.partialFlag = 0;
  sheet.SetPageKind(r.isPictureMail ? kComposeHandwritten : r.htmlText.IsEmpty() ? kComposePlain : kComposeDecorated);
  return sheet.RunCompose(parent);
}

BOOL QvMessageSheet::Answer(CWnd* parent, DWORD messageId, int answer, bool quote) {
  if (!parent) return FALSE;
  QvMessageSheet sheet(ActiveWindow(), kEditFolder);
  QvMessageRecord& r = sheet.m_record;
  const bool forward = answer == kAnswerForward;
  const bool built = forward ? CreateForwardRecord(messageId, &r)
                     : answer == kAnswerAll ? CreateReplyAllRecord(messageId, &r, quote)
                                            : CreateReplyRecord(messageId, &r, quote);
  if (!built) return FALSE;
  // No pictographs in the new mail's header.
  bool removed = RemovePictureCharsFromArray(r.toList, false);
  removed |= RemovePictureCharsFromArray(r.ccList, false);
  removed |= RemovePictureChars(r.subject, false);
  if (removed && !ShowConfirmBoxRes(sheet.m_hWnd ? sheet.m_hWnd : parent->m_hWnd, kAskPictographsDropped, false)) {
    return FALSE;
  }
  int kind = kComposePlain;
  if (r.isPictureMail) {
    kind = kComposeHandwritten;
    if (!forward && (!quote || r.pictureFiles.GetSize() == 0)) {
      r.isPictureMail = 0;
      r.isBlank = 1;
    } else if (forward && r.pictureFiles.GetSize() == 0) {
      r.isPictureMail = 0;
    }
  } else if (!r.htmlText.IsEmpty()) {
    if (!removed && HoldsPictograph(r.htmlText) && !ShowConfirmBoxRes(parent->m_hWnd, kAskPictographsDropped, false)) {
      return FALSE;
    }
    kind = kComposeDecorated;
  }
  if (!forward) {
    r.quotedBody = r.body;
    if (!quote) {
      r.body.Empty();
      r.htmlText.Empty();
    }
  }
  sheet.AppendSignature();
  if (IsSignatureEnabled() && !r.htmlText.IsEmpty()) r.htmlNeedsSignature = 1;
  r.partialFlag = 0;
  r.isNew = 1;
  r.isStored = 0;
  r.isReply = forward ? 0 : 1;
  sheet.SetPageKind(kind);
  return sheet.RunCompose(parent);
}

BOOL QvMessageSheet::ReplyMessage(CWnd* parent, DWORD messageId, bool all, bool quote) {
  return Answer(parent, messageId, all ? kAnswerAll : kAnswerSender, quote);
}

BOOL QvMessageSheet::ForwardMessage(CWnd* parent, DWORD messageId) {
  return Answer(parent, messageId, kAnswerForward, false);
}

void QvMessageSheet::SendAfterEdit(CWnd* parent, const std::vector<unsigned long>& ids) {
  if (!parent) return;
  const int state = GetMailTaskState();
  if (state == kMailTaskIdle) {
    SendMessagesWithProgress(parent, ids);
    return;
  }
  if (state == kMailTaskAutoReceive || state == kMailTaskPeriodicReceive) {
    QvFolderItem outbox;
    GetSystemFolderItem(kOutbox, &outbox);
    const CString format = LoadResString(state == kMailTaskAutoReceive ? kNoticeAutoReceiveBusy : kNoticePeriodicBusy);
    ShowErrorBox(parent->m_hWnd, qv::FormatW(format.GetString(), outbox.name.GetString()).c_str());
    return;
  }
  // Another receive or send runs: the message waits in the Outbox, and the person is told.
  ShowErrorBoxRes(parent->m_hWnd, kNoticeOtherTaskBusy);
}

// --- Storing ----------------------------------------------------------------------------

bool QvMessageSheet::StoreAllPages() {
  QvToolPage* active = dynamic_cast<QvToolPage*>(GetActivePage());
  for (QvToolPage* page : {m_handwritingPage.get(), m_htmlPage.get(), m_textPage.get()}) {
    if (page && !page->StorePage(page == active ? 1 : 0)) return false;
  }
  return true;
}

bool QvMessageSheet::StoreAsDraft() {
  if (m_record.isNew) {
    if (!SaveNewMessage(2, &m_record)) return false;
    m_record.isNew = 0;
    m_record.isStored = 1;
    m_record.inDrafts = 1;
    return true;
  }
  if (!UpdateStoredMessage(&m_record)) return false;
  if (!m_record.inDrafts) {
    if (!MoveMessageDraftOutbox(m_record.messageId, false)) return false;
    m_record.inDrafts = 1;
  }
  return true;
}

bool QvMessageSheet::StoreRecoveryCopy() {
  // The stored message could not take the record: the record goes into the
  // Drafts as a message of its own, the old one left as it was.
  const uint32_t id = m_record.messageId;
  const int wasNew = m_record.isNew;
  if (SaveNewMessage(2, &m_record)) {
    m_record.isNew = 0;
    m_record.isStored = 1;
    m_record.inDrafts = 1;
    return true;
  }
  m_record.messageId = id;
  m_record.isNew = wasNew;
  return false;
}

void QvMessageSheet::DiscardPictures() {
  if (m_handwritingPage) m_handwritingPage->DiscardPicture(0, 0);
}

void QvMessageSheet::ReleaseHtmlView() {
  if (m_pageKind != kViewHtml || !m_htmlPage) return;
  if (QvMessagePage* page = m_htmlPage->GetMessagePage(); page && page->m_hWnd) {
    page->SendMessage(kReleaseHtmlViewMessage, 0, 0);
  }
}

void QvMessageSheet::ClearCommitOnLeave() {
  for (QvToolPage* page : {m_handwritingPage.get(), m_htmlPage.get(), m_textPage.get()}) {
    if (page) page->SetCommitOnLeave(0);
  }
}

// --- Commands ---------------------------------------------------------------------------

void QvMessageSheet::OnSave() {
  if (!StoreAllPages()) return;
  if (!StoreAsDraft()) return;
  QvComSaveMsgDlg notice(L"保存", L"保存しました", 25, this);
  notice.DoModal();
  DiscardPictures();
  EndDialog(IDOK);
}

void QvMessageSheet::OnSend() {
  auto* active = dynamic_cast<QvToolPage*>(GetActivePage());
  if (active && !active->CheckBeforeSend(1)) return;
  if (m_record.toList.GetSize() == 0 && m_record.ccList.GetSize() == 0 && m_record.bccList.GetSize() == 0) {
    ShowWarningBoxRes(m_hWnd, kWarnNoRecipient);
    if (active) active->FocusFirstField(1, 0);
    return;
  }
  if (m_handwritingPage && !m_handwritingPage->PrepareSend(1)) return;
  bool stored = false;
  if (m_record.isNew) {
    stored = SaveNewMessage(3, &m_record);
    if (stored) {
      m_record.isNew = 0;
      m_record.isStored = 1;
      m_record.inDrafts = 0;
    }
  } else {
    stored = UpdateStoredMessage(&m_record);
    if (stored && m_record.inDrafts) {
      stored = MoveMessageDraftOutbox(m_record.messageId, true);
      if (stored) m_record.inDrafts = 0;
    }
  }
  if (!stored) return;
  m_sendRequested = true;
  DiscardPictures();
  EndDialog(IDOK);
}

void QvMessageSheet::OnCloseQuestion() {
  if (!IsComposing()) {
    EndDialog(IDOK);
    return;
  }
  const int answer = ShowConfirmCancelBoxRes(m_hWnd, kAskStoreOnClose, true);
  if (answer == IDCANCEL) return;
  if (answer == IDYES) {
    if (m_handwritingPage && !ShowConfirmBoxRes(m_hWnd, kAskStoreHandwriting, false)) return;
    if (!StoreAllPages()) return;
    if (!StoreAsDraft()) return;
    DiscardPictures();
  }
  ClearCommitOnLeave();
  EndDialog(IDOK);
}

void QvMessageSheet::OnCloseRequest() {
  ReleaseHtmlView();
  if (IsComposing()) {
    auto* active = dynamic_cast<QvToolPage*>(GetActivePage());
    if (active) active->OnSheetClosing(0, 0);
    // The message being composed is never lost to a close: a page that
    // cannot give its content keeps the sheet, and a store that fails
    // leaves a copy of its own in the Drafts before the sheet goes.
    bool kept = StoreAllPages();
    if (kept) kept = StoreAsDraft() || StoreRecoveryCopy();
    if (!kept) {
      // The close is off: the page takes its checks back.
      if (active) active->OnSheetClosing(1, 0);
      ClosePendingFlag = false;
      CloseReactivatedFlag = true;
      ShowErrorBoxRes(m_hWnd, kErrorNotStored);
      return;
    }
    DiscardPictures();
    ClearCommitOnLeave();
  }
  ForwardPendingClose();
  EndDialog(IDOK);
}

void QvMessageSheet::OnReply(UINT command) {
  if (IsComposing()) return;
  ReleaseHtmlView();
  const bool all = command == kReplyEveryoneCommand || command == kReplyEveryoneQuotedCommand;
  const bool quote = command == kReplySenderQuotedCommand || command == kReplyEveryoneQuotedCommand;
  if (ReplyMessage(this, m_record.messageId, all, quote)) EndDialog(IDOK);
}

void QvMessageSheet::OnForward() {
  if (IsComposing()) return;
  ReleaseHtmlView();
  if (ForwardMessage(this, m_record.messageId)) EndDialog(IDOK);
}

void QvMessageSheet::OnSendAgain() {
  if (IsComposing() || m_record.notFromStore) return;
  // Only a message that went out is sent again.
  uint32_t status = 0, kind = 0;
  if (!GetMessageStatus(m_record.messageId, m_record.folder, &status, &kind) || kind != QvMailListItem::kSent) return;
  // The copy takes the stored addresses as they stand (not the names the
  // view put in front of them) and goes out from the current account.
  QvMessageRecord copy;
  if (!LoadStoredMessage(m_record.messageId, &copy, true)) return;
  copy.from = GetSenderAddress();
  copy.senderName = GetSenderName();
  copy.isNew = 1;
  copy.isStored = 0;
  copy.inDrafts = 0;
  copy.messageId = 0;
  if (!SaveNewMessage(3, &copy)) return;
  if (IsSendInAMinuteEnabled()) SendMessagesWithProgress(this, {copy.messageId});
  EndDialog(IDOK);
}

bool QvMessageSheet::ReloadForView(DWORD messageId) {
  RemoveTempFolder(m_tempFolder.c_str());
  ReleaseHtmlView();
  const DWORD folder = m_record.folder;
  m_record.Clear();
  if (!LoadMessageForView(messageId, &m_record, folder)) return false;
  return SetMessageRead(messageId, false, folder);
}

void QvMessageSheet::OnReceiveRest() {
  if (IsComposing() || m_record.notFromStore) return;
  const DWORD id = m_record.messageId;
  if (!ReceiveSelectedWithProgress(this, {id})) return;
  const int was = m_pageKind;
  ReloadForView(id);
  if (was == kViewPlain && !m_record.htmlText.IsEmpty()) {
    m_pageKind = kViewHtml;
    if (!m_htmlPage) m_htmlPage = MakeToolPage(ToolKind::kHtmlView);
    AddSlotsToSheet();
    ActivateSlot(kHtmlSlot);
    RemoveFromSheet(m_textPage.get());
    m_textPage.reset();
    return;
  }
  for (QvToolPage* page : {m_handwritingPage.get(), m_htmlPage.get(), m_textPage.get()}) {
    if (page) page->ReloadPage(0, 0);
  }
}

void QvMessageSheet::OnStepMessage(bool previous) {
  if (IsComposing()) return;
  CWnd* list = GetParent();
  DWORD neighbour = 0;
  const UINT ask = previous ? kPreviousMessageMessage : kNextMessageMessage;
  if (!list || !list->SendMessage(ask, m_record.messageId, reinterpret_cast<LPARAM>(&neighbour)) || !neighbour) {
    EndDialog(IDOK);
    return;
  }
  const DWORD shown = m_record.messageId;
  CloseCurrentMessage();
  OpenCurrentMessage(neighbour);
  const bool read = ReloadForView(neighbour);
  if (!read && m_record.messageId != neighbour) {
    EndDialog(IDOK);
    return;
  }
  // The new pages go in before the old ones go out, so the sheet is never without a page.
  std::unique_ptr<QvToolPage> old[3] = {std::move(m_handwritingPage), std::move(m_textPage), std::move(m_htmlPage)};
  m_pageKind = ViewKindFor(m_record);
  const KindRow& row = kKinds[m_pageKind];
  if (row.handwriting) m_handwritingPage = MakeToolPage(*row.handwriting);
  if (row.text) m_textPage = MakeToolPage(*row.text);
  if (row.html) m_htmlPage = MakeToolPage(*row.html);
  QvToolPage* first = m_handwritingPage ? m_handwritingPage.get() : m_textPage ? m_textPage.get() : m_htmlPage.get();
  if (first) first->SetSkipNextLayout(1);
  AddSlotsToSheet();
  if (first) SetActivePage(first);
  for (auto& page : old) RemoveFromSheet(page.get());
  // The sheet lays the new page out once it stands in its place.
  if (first) {
    first->SetSkipNextLayout(0);
    first->Relayout();
  }
  if (first && first->GetMessagePage() && first->GetMessagePage()->m_hWnd) first->GetMessagePage()->SetFocus();
  if (!read) {
    EndDialog(IDOK);
    return;
  }
  // The list moves its selection along; the viewer stays.
  list->SendMessage(ask, shown, 0);
}

void QvMessageSheet::OnAddHandwriting() {
  if (m_pageKind != kComposePlain) return;
  if (!ShowConfirmBoxRes(m_hWnd, kAskAddHandwriting, false)) return;
  if (!m_handwritingPage) m_handwritingPage = MakeToolPage(ToolKind::kHandwritingEdit);
  RemoveFromSheet(m_textPage.get());
  std::unique_ptr<QvToolPage> oldText = std::move(m_textPage);
  m_textPage = MakeToolPage(ToolKind::kPlainEdit);
  m_pageKind = kComposeHandwritten;
  SetTextMenu(m_pageKind);
  AddSlotsToSheet();
  if (m_handwritingPage) {
    ActivateSlot(kHandwritingSlot);
    if (QvMessagePage* canvas = m_handwritingPage->GetMessagePage(); canvas && canvas->m_hWnd) canvas->SetFocus();
  } else {
    ActivateSlot(kTextSlot);
  }
}

void QvMessageSheet::OnBackToPlain() {
  if (m_pageKind == kComposeHandwritten) {
    if (!ShowConfirmBoxRes(m_hWnd, kAskDropHandwriting, false)) return;
    if (m_handwritingPage) m_handwritingPage->DiscardPicture(0, 0);
    ActivateSlot(kTextSlot);
    RemoveFromSheet(m_handwritingPage.get());
    m_handwritingPage.reset();
    m_record.isPictureMail = 0;
  } else if (m_pageKind == kComposeDecorated) {
    if (!ShowConfirmBoxRes(m_hWnd, kAskDropDecoration, false)) return;
    if (!m_textPage) m_textPage = MakeToolPage(ToolKind::kPlainEdit);
    if (m_htmlPage) m_htmlPage->StorePage(1);
    AddSlotsToSheet();
    ActivateSlot(kTextSlot);
    RemoveFromSheet(m_htmlPage.get());
    m_htmlPage.reset();
    m_record.htmlText.Empty();
    m_record.inlineFiles.Clear();
  } else {
    return;
  }
  m_pageKind = kComposePlain;
  SetTextMenu(m_pageKind);
  ActivateSlot(kTextSlot);
  if (m_textPage) m_textPage->Relayout();
}

void QvMessageSheet::OnDecorate() {
  if (m_pageKind != kComposePlain) return;
  if (m_textPage) m_textPage->StorePage(1);
  const QvMessageRecord& r = m_record;
  const bool pictographs = HoldsPictograph(r.from) || HoldsPictograph(r.subject) || HoldsPictograph(r.body) ||
                           ListHoldsPictograph(r.toList) || ListHoldsPictograph(r.ccList) ||
                           ListHoldsPictograph(r.bccList);
  if (!ShowConfirmBoxRes(m_hWnd, pictographs ? kAskDecorateDropsPictographs : kAskDecorate, false)) return;
  if (!m_htmlPage) m_htmlPage = MakeToolPage(ToolKind::kDecoratedEdit);
  AddSlotsToSheet();
  ActivateSlot(kHtmlSlot);
  RemoveFromSheet(m_textPage.get());
  m_textPage.reset();
  m_record.body.Empty();
  m_pageKind = kComposeDecorated;
  if (m_htmlPage) m_htmlPage->Relayout();
}

BOOL QvMessageSheet::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  switch (id) {
    case kBackToPlainCommand: OnBackToPlain(); return TRUE;
    case kDecorateCommand: OnDecorate(); return TRUE;
    case kAddHandwritingCommand: OnAddHandwriting(); return TRUE;
    case kSaveDraftCommand: OnSave(); return TRUE;
    case kSendMessageCommand: OnSend(); return TRUE;
    case kSendAgainMessageCommand: OnSendAgain(); return TRUE;
    case kReceiveRestCommand: OnReceiveRest(); return TRUE;
    case kReplySenderCommand:
    case kReplyEveryoneCommand:
    case kReplySenderQuotedCommand:
    case kReplyEveryoneQuotedCommand: OnReply(id); return TRUE;
    case kForwardMessageCommand: OnForward(); return TRUE;
    default: break;
  }
  if (id == IDOK && HIWORD(wParam) == kOkButtonNotification && lParam == 0) {
    OnCloseQuestion();
    return TRUE;
  }
  // A page's Back asks the sheet to close: while composing that is the
  // close question, so no message is dropped unasked.
  if (id == IDCANCEL && IsComposing()) {
    OnCloseQuestion();
    return TRUE;
  }
  // Other commands (the accelerators', another window's) belong to the page shown.
  // A page that sends one back is not answered again.
  if (lParam == 0 && id != IDOK && id != IDCANCEL && !m_forwarding) {
    if (auto* active = dynamic_cast<QvToolPage*>(GetActivePage()); active && active->m_hWnd) {
      m_forwarding = true;
      active->SendMessage(WM_COMMAND, wParam, 0);
      m_forwarding = false;
      return TRUE;
    }
  }
  return CPropertySheet::OnCommand(wParam, lParam);
}

void QvMessageSheet::OnSheetInit() {
  if (!m_accel) m_accel = ::LoadAcceleratorsW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kSheetAccelerators));
}

LRESULT QvMessageSheet::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsCloseRequestMessage(message)) {
    ClosePendingFlag = true;
    PostMessage(kCloseSheetMessage, 0, 0);
    CPropertySheet::WindowProc(message, wParam, lParam);
    return kCloseTakenOver;
  }
  // Asking for the active page sends to the sheet itself: only where needed.
  auto activePage = [this] { return dynamic_cast<QvToolPage*>(GetActivePage()); };
  QvToolPage* active = nullptr;
  switch (message) {
    case WM_INITDIALOG: {
      const LRESULT r = CPropertySheet::WindowProc(message, wParam, lParam);
      OnSheetInit();
      return r;
    }
    // A box or sheet over this one waits: so does the window below.
    case WM_ENTERIDLE:
      if (CWnd* owner = GetParent()) return owner->SendMessage(message, wParam, lParam);
      return 0;
    case kPageKindQuery: return m_pageKind;
    case kCloseSheetMessage: OnCloseRequest(); return 0;
    case kStepMessageRequest: OnStepMessage(wParam != 0); return 0;
    case kBackMessage:
      active = activePage();
      if (active && active->m_hWnd) return active->SendMessage(message, wParam, lParam);
      return 0;
    case kOtherPadMessage:
      active = activePage();
      if (active && active->GetMessagePage() && active->GetMessagePage()->m_hWnd) {
        active->GetMessagePage()->SendMessage(WM_COMMAND, kOtherPadCommand, 0);
      }
      return 0;
    case WM_INITMENUPOPUP:
      active = activePage();
      if (active && active->m_hWnd) return active->SendMessage(message, wParam, lParam);
      break;
    default: break;
  }
  return CPropertySheet::WindowProc(message, wParam, lParam);
}

BOOL QvMessageSheet::PreTranslateMessage(MSG* msg) {
  OnSheetInit();
  if (m_accel && m_hWnd && ::TranslateAcceleratorW(m_hWnd, m_accel, msg)) return TRUE;
  // The arrows move between the pages only on the tab row; in a field
  // they stay the field's.
  HWND tab = GetTabControl();
  if (msg->message == WM_KEYDOWN && tab && msg->hwnd == tab) {
    QvToolPage* active = dynamic_cast<QvToolPage*>(GetActivePage());
    switch (msg->wParam) {
      case VK_LEFT:
        if (active && active == m_textPage.get() && m_handwritingPage) {
          ActivateSlot(kHandwritingSlot);
          ::SetFocus(tab);
        }
        return TRUE;
      case VK_RIGHT:
        if (active && active == m_handwritingPage.get() && m_textPage) {
          ActivateSlot(kTextSlot);
          ::SetFocus(tab);
        }
        return TRUE;
      case VK_UP:
        if (active && active->GetMessagePage() && active->GetMessagePage()->m_hWnd) {
          if (active == m_handwritingPage.get()) active->GetMessagePage()->SetFocus();
          else active->FocusFirstField(0, 0);
        }
        return TRUE;
      case VK_DOWN: return TRUE;
      default: break;
    }
  }
  return CPropertySheet::PreTranslateMessage(msg);
}
