#include "app/message/view/QvViewMessagePage.h"

#include <algorithm>
#include <list>
#include <vector>

#include "app/foundation/FileChoosers.h"
#include "app/foundation/HandOffs.h"
#include "app/foundation/MessageBoxes.h"
#include "app/foundation/QvSinglePropertySheet.h"
#include "app/foundation/UiMenus.h"
#include "app/foundation/UiText.h"
#include "app/mailops/AccountOperations.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/MessageOperations.h"
#include "app/mailops/MessageStatus.h"
#include "app/mailops/QvAccountSettings.h"
#include "app/mailops/QvMailListItem.h"
#include "app/mailops/QvMessageRecord.h"
#include "app/mailops/RunWithProgress.h"
#include "app/mailops/TempFiles.h"
#include "app/message/address/QvAddressView.h"
#include "app/message/attach/QvAttachedFileListCtrl.h"
#include "app/message/links/QvLinkRangeList.h"
#include "app/message/richedit/QvMailRichEditCtrl.h"
#include "app/message/sheet/QvMessageSheet.h"
#include "app/message/subject/QvSubjectEdit.h"
#include "app/message/view/MessagePlugins.h"
#include "app/message/view/QvViewHeaderPage.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/mainframe/QvMainFrame.h"
#include "app/shell/rules/QvSetClassifyPage.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/public/store/QvPluginInfoInterface.h"
#include "platform/base/WinFormat.h"
#include "platform/framework/CCmdUI.h"
#include "platform/framework/CMenu.h"
#include "platform/kernel/Files.h"

namespace {

// Commands the page passes to its sheet: reply, forward, send again.
constexpr UINT kReply = 2562;
constexpr UINT kForward = 2539;
constexpr UINT kSendAgain = 40214;
constexpr UINT kReplyAll = 40121;
constexpr UINT kReplyVariantA = 40207;
constexpr UINT kReplyVariantB = 40208;
constexpr UINT kDelete = 2528;
constexpr UINT kProtect = 40115;
constexpr UINT kMove = 40109;
constexpr UINT kEditAsNew = 2563;
constexpr UINT kRemoveAttachmentsCommand = 40154;
constexpr UINT kReceiveRest = 40094;
constexpr UINT kShowAllCommand = 40134;
constexpr UINT kHeaderCommand = 40153;
constexpr UINT kRuleCommand = 40128;
constexpr UINT kComposeTo = 40098;
constexpr UINT kOpenLink = 40086;
constexpr UINT kBookmark = 40065;
constexpr UINT kDialFirst = 40073;
constexpr UINT kDialLast = 40078;
constexpr UINT kShortMail = 40099;
constexpr UINT kSaveImage = 40200;
constexpr UINT kOpenAttachment = 40102;
constexpr UINT kSaveAttachment = 0xE103;  // the framework's "save as"
constexpr UINT kLastPluginCommand = 40050;
constexpr UINT kOutlookPlugin = 40196;
constexpr UINT kTodoPlugin = 40197;
constexpr const wchar_t* kOutlookPluginPath = L"\\Windows\\PocketOutlook.dll";
constexpr const wchar_t* kTodoPluginPath = L"\\Windows\\TodoPlugin.dll";

constexpr UINT kKindBarMenu = 175;
constexpr UINT kPlainBarMenu = 258;
constexpr UINT kSelectingMenu = 176;
constexpr UINT kSelectingAnchoredMenu = 177;
constexpr UINT kLinkMenu = 155;
constexpr UINT kTextMenu = 156;
constexpr UINT kAddressMenu = 179;
constexpr UINT kAttachmentMenu = 152;

constexpr UINT kDeleteQuestion = 20042;
constexpr UINT kDeleteProtectedQuestion = 20043;
constexpr UINT kCutNotice = 20067;
constexpr UINT kHeaderCaption = 20158;
constexpr UINT kRemoveQuestion = 20166;
constexpr UINT kNoImageFile = 20113;
constexpr UINT kImageSaved = 20059;
constexpr UINT kImageNotSaved = 20060;
constexpr UINT kOpenLinkQuestion = 20610;  // "%s" the whole target
constexpr UINT kLinkRefused = 20611;

constexpr int kMaxSubject = 65536;
constexpr int kMaxEntries = 256;
constexpr int kMaxHtml = 102400;
constexpr DWORD kViewerState = 0x2;  // the main frame's state bit 1: a viewer is open

constexpr const wchar_t* kRuleCaption = L"振り分け設定";
constexpr const wchar_t* kProtectText = L"保護";
constexpr const wchar_t* kUnprotectText = L"保護解除";
constexpr const wchar_t* kProtectUnknown = L"保護状態不明";
constexpr const wchar_t* kShowAllText = L"すべて表示";
constexpr const wchar_t* kShortText = L"簡略表示";
constexpr const wchar_t* kOtherSubmenu = L"その他";

// The sheet's own entries unless a test puts others in.
bool ComposeThroughSheet(CWnd* owner, const CString& to, bool mailto) {
  if (mailto) return QvMessageSheet::EditMessageFile(owner, CString(L"mailto:") + to, 0) != FALSE;
  return QvMessageSheet::ComposeNewMessage(owner, to) != FALSE;
}

bool EditAsNewThroughSheet(CWnd* owner, uint32_t folder, uint32_t messageId) {
  return QvMessageSheet::EditStoredMessage(owner, folder, messageId, TRUE, TRUE) != FALSE;
}

const QvViewMessagePage::SheetEntries kSheetEntries = {ComposeThroughSheet, EditAsNewThroughSheet};
QvViewMessagePage::SheetEntries g_entries = kSheetEntries;

bool CutArray(CStringArray& list, int limit) {
  if (list.GetSize() <= limit) return false;
  list.SetSize(limit);
  return true;
}

std::wstring FirstParsedAddress(const CString& field) {
  std::wstring text = field.GetString(), address, name;
  EmlCompose composer;
  if (!composer.ParseAddress(text, &address, &name) || address.empty()) return field.GetString();
  return address;
}

}  // namespace

BEGIN_MESSAGE_MAP(QvViewMessagePage, QvBaseMessagePage)
  ON_COMMAND_RANGE(kForward, kForward, &QvViewMessagePage::OnSheetCommand)
  ON_COMMAND_RANGE(kReply, kReply, &QvViewMessagePage::OnSheetCommand)
  ON_COMMAND_RANGE(kSendAgain, kSendAgain, &QvViewMessagePage::OnSheetCommand)
  ON_COMMAND(kDelete, &QvViewMessagePage::OnDelete)
  ON_COMMAND(kProtect, &QvViewMessagePage::OnProtect)
  ON_COMMAND(kMove, &QvViewMessagePage::OnMove)
  ON_COMMAND(kEditAsNew, &QvViewMessagePage::OnEditAsNew)
  ON_COMMAND(kRemoveAttachmentsCommand, &QvViewMessagePage::OnRemoveAttachments)
  ON_COMMAND(kReceiveRest, &QvViewMessagePage::OnReceiveRest)
  ON_COMMAND(kShowAllCommand, &QvViewMessagePage::OnToggleShowAll)
  ON_COMMAND(kHeaderCommand, &QvViewMessagePage::OnHeader)
  ON_COMMAND(kRuleCommand, &QvViewMessagePage::OnRuleFromMessage)
  ON_COMMAND(kComposeTo, &QvViewMessagePage::OnComposeTo)
  ON_COMMAND(kOpenLink, &QvViewMessagePage::OnOpenLink)
  ON_COMMAND(kBookmark, &QvViewMessagePage::OnBookmark)
  ON_COMMAND_RANGE(kDialFirst, kDialLast, &QvViewMessagePage::OnDial)
  ON_COMMAND(kShortMail, &QvViewMessagePage::OnShortMail)
  ON_COMMAND(kSaveImage, &QvViewMessagePage::OnSaveImage)
  ON_COMMAND_RANGE(kOpenAttachment, kOpenAttachment, &QvViewMessagePage::OnAttachmentCommand)
  ON_COMMAND_RANGE(kSaveAttachment, kSaveAttachment, &QvViewMessagePage::OnAttachmentCommand)
  ON_COMMAND_RANGE(QvViewMessagePage::kFirstPluginCommand, kLastPluginCommand, &QvViewMessagePage::OnPlugin)
  ON_COMMAND_RANGE(kOutlookPlugin, kTodoPlugin, &QvViewMessagePage::OnFixedPlugin)
  ON_WM_CONTEXTMENU()
  ON_WM_SIZE()
  ON_MESSAGE(kStepMessageRequest, &QvViewMessagePage::OnStepMessage)
  ON_MESSAGE(kAreaSelectMessage, &QvViewMessagePage::OnAreaSelect)
  ON_MESSAGE(kMoveFocusMessage, &QvViewMessagePage::OnMoveFocus)
  ON_MESSAGE(kBackMessage, &QvViewMessagePage::OnBack)
  ON_UPDATE_COMMAND_UI(kReply, &QvViewMessagePage::OnUpdateKindCommand)
  ON_UPDATE_COMMAND_UI(kForward, &QvViewMessagePage::OnUpdateKindCommand)
  ON_UPDATE_COMMAND_UI(kReplyAll, &QvViewMessagePage::OnUpdateKindCommand)
  ON_UPDATE_COMMAND_UI(kReplyVariantA, &QvViewMessagePage::OnUpdateKindCommand)
  ON_UPDATE_COMMAND_UI(kReplyVariantB, &QvViewMessagePage::OnUpdateKindCommand)
  ON_UPDATE_COMMAND_UI(kReceiveRest, &QvViewMessagePage::OnUpdateReceiveRest)
  ON_UPDATE_COMMAND_UI(kProtect, &QvViewMessagePage::OnUpdateProtect)
  ON_UPDATE_COMMAND_UI(kShowAllCommand, &QvViewMessagePage::OnUpdateShowAll)
  ON_UPDATE_COMMAND_UI(kRemoveAttachmentsCommand, &QvViewMessagePage::OnUpdateRemoveAttachments)
  ON_UPDATE_COMMAND_UI(kOpenAttachment, &QvViewMessagePage::OnUpdateAttachmentCommand)
  ON_UPDATE_COMMAND_UI(kSaveAttachment, &QvViewMessagePage::OnUpdateAttachmentCommand)
  ON_UPDATE_COMMAND_UI(kComposeTo, &QvViewMessagePage::OnUpdateComposeTo)
  ON_UPDATE_COMMAND_UI(kRuleCommand, &QvViewMessagePage::OnUpdateRule)
  ON_UPDATE_COMMAND_UI(kDelete, &QvViewMessagePage::OnUpdateNoSelection)
  ON_UPDATE_COMMAND_UI(kHeaderCommand, &QvViewMessagePage::OnUpdateNoSelection)
  ON_UPDATE_COMMAND_UI(kOutlookPlugin, &QvViewMessagePage::OnUpdateFixedPlugin)
  ON_UPDATE_COMMAND_UI(kTodoPlugin, &QvViewMessagePage::OnUpdateFixedPlugin)
  ON_UPDATE_COMMAND_UI(kSendAgain, &QvViewMessagePage::OnUpdateSendAgain)
END_MESSAGE_MAP()

QvViewMessagePage::QvViewMessagePage(UINT templateId, QvMessageRecord* record, CWnd* body, int bodyLimit,
                                     UINT plainMenu, UINT kindMenu)
    : QvBaseMessagePage(templateId, record, body), m_bodyLimit(bodyLimit), m_plainMenu(plainMenu),
      m_kindMenu(kindMenu) {
  // The rows' own controls: address views, the subject with pictographs, the list.
  for (Row row : {kFromRow, kToRow, kCcRow, kBccRow}) {
    SetRowControls(row, std::make_unique<QvAddressButton>(), std::make_unique<QvAddressView>());
  }
  SetRowControls(kDateRow, std::make_unique<QvFlatButton>(), std::make_unique<QvSubjectEdit>());
  SetRowControls(kSubjectRow, std::make_unique<QvFlatButton>(), std::make_unique<QvSubjectEdit>());
  SetRowControls(kAttachRow, std::make_unique<QvAttachedFileButton>(), std::make_unique<QvAttachedFileListCtrl>());
  QvPluginInfoInterface().GetPluginDlls(&m_plugins, L"");
  SetMainFrameStateBits(kViewerState);
}

QvViewMessagePage::~QvViewMessagePage() { ClearMainFrameStateBits(kViewerState); }

void QvViewMessagePage::SetSheetEntries(const SheetEntries& entries) {
  g_entries = entries.compose || entries.editAsNew ? entries : kSheetEntries;
}
const QvViewMessagePage::SheetEntries& QvViewMessagePage::GetSheetEntries() { return g_entries; }

QvAddressView* QvViewMessagePage::AddressField(Row row) const { return dynamic_cast<QvAddressView*>(Field(row)); }

QvAttachedFileListCtrl* QvViewMessagePage::AttachmentList() const {
  return dynamic_cast<QvAttachedFileListCtrl*>(Field(kAttachRow));
}

UINT QvViewMessagePage::MenuForKind() const { return MessageKind() != 0 ? kKindBarMenu : kPlainBarMenu; }

// The store's ids start at 0: a stored record is told by its flags, not its id.
bool QvViewMessagePage::IsStored() const { return m_record && m_record->notFromStore == 0 && m_record->isNew == 0; }

BOOL QvViewMessagePage::OnInitDialog() {
  // The attachment list is made in the template's place, with its pictures.
  if (QvAttachedFileListCtrl* list = AttachmentList()) ReplaceTemplateControl(*list, kFieldIds[kAttachRow]);
  // The header fields grow with their text: many lines, no side scrolling.
  for (Row row : {kDateRow, kFromRow, kToRow, kCcRow, kSubjectRow}) {
    if (auto* field = dynamic_cast<QvFlexibleEdit*>(Field(row))) {
      ReplaceTemplateControl(*field, kFieldIds[row], ES_MULTILINE | ES_READONLY, ES_AUTOHSCROLL);
    }
  }
  QvBaseMessagePage::OnInitDialog();
  m_menuId = static_cast<uint16_t>(MessageKind() != 0 ? m_kindMenu : m_plainMenu);
  CreateCommandBar(MenuForKind());
  if (CWnd* bcc = Field(kBccRow)) {
    bcc->ShowWindow(SW_HIDE);
    bcc->SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  }
  if (CWnd* label = Label(kBccRow)) label->ShowWindow(SW_HIDE);
  for (Row row : {kDateRow, kFromRow, kToRow, kCcRow, kSubjectRow}) {
    if (CWnd* field = Field(row)) field->SendMessage(EM_SETREADONLY, TRUE);
    if (row != kDateRow) {
      if (auto* field = dynamic_cast<QvFlexibleEdit*>(Field(row))) field->CreateEllipsisMarker();
    }
  }
  if (m_body && m_body->m_hWnd) m_body->SendMessage(EM_SETREADONLY, TRUE);
  for (int row = 0; row < kRowCount; ++row) {
    if (CWnd* label = Label(static_cast<Row>(row))) label->EnableWindow(FALSE);
  }
  ArrangeRows();
  LinkNeighbours();
  if (CWnd* from = Field(kFromRow)) from->SetFocus();
  return FALSE;
}

void QvViewMessagePage::ArrangeRows() {
  if (!m_hWnd || !m_record) return;
  auto show = [this](Row row, bool on) {
    if (CWnd* field = Field(row)) field->ShowWindow(on ? SW_SHOW : SW_HIDE);
    if (CWnd* label = Label(row)) label->ShowWindow(on ? SW_SHOW : SW_HIDE);
  };
  QvAttachedFileListCtrl* list = AttachmentList();
  const bool attachments = m_record->attachmentPaths.GetSize() > 0 || m_record->partialFlag != 0;
  show(kCcRow, m_record->ccList.GetSize() > 0);
  show(kSubjectRow, !m_record->subject.IsEmpty());
  show(kAttachRow, attachments && list);
  show(kBccRow, false);
  // One rule closes the header (the base lays it); the template's others stay hidden.
  for (int i = 1; i < 3; ++i) {
    if (m_rules[i].m_hWnd) m_rules[i].ShowWindow(SW_HIDE);
  }
  Layout(false);  // the widths the heights follow
  // Every field as high as its text; an address field of more than three
  // lines shows three and the ellipsis marker unless all is shown.
  m_collapsible = 0;
  for (Row row : {kDateRow, kFromRow, kToRow, kCcRow, kSubjectRow}) {
    auto* field = dynamic_cast<QvFlexibleEdit*>(Field(row));
    if (!field || !field->m_hWnd || !(field->GetStyle() & WS_VISIBLE)) continue;
    if (row == kFromRow || row == kToRow || row == kCcRow) {
      if (field->IsTruncated()) field->SetWindowText(FieldText(row));
      field->ClearTruncated();
      if (field->GetLineCount() > kShownAddressLines) {
        m_collapsible = 1;
        if (!m_showAll) field->TruncateAtLine(kShownAddressLines);
      }
    }
    ResizeToContentHeight(field->m_hWnd, field->NeededHeight());
  }
  Layout(false);
}

CString QvViewMessagePage::FieldText(Row row) const {
  if (!m_record) return CString();
  const CStringArray* list = row == kToRow ? &m_record->toList : row == kCcRow ? &m_record->ccList : nullptr;
  if (!list) return row == kFromRow ? m_record->from : CString();
  CString text;
  for (INT_PTR i = 0; i < list->GetSize(); ++i) {
    if (i > 0) text += L",";
    text += (*list)[i];
  }
  return text;
}

void QvViewMessagePage::LinkNeighbours() {
  std::vector<HWND> order;
  for (Row row : {kDateRow, kFromRow, kToRow, kCcRow, kSubjectRow, kAttachRow}) {
    CWnd* field = Field(row);
    if (field && field->m_hWnd && (field->GetStyle() & WS_VISIBLE)) order.push_back(field->m_hWnd);
  }
  if (m_body && m_body->m_hWnd) order.push_back(m_body->m_hWnd);
  for (size_t i = 0; i < order.size(); ++i) {
    HWND prev = i > 0 ? order[i - 1] : nullptr;
    HWND next = i + 1 < order.size() ? order[i + 1] : nullptr;
    CWnd* w = CWnd::FromHandlePermanent(order[i]);
    if (auto* flexible = dynamic_cast<QvFlexibleEdit*>(w)) {
      flexible->SetPrevWindow(prev);
      flexible->SetNextWindow(next);
    } else if (auto* list = dynamic_cast<QvAttachedFileListCtrl*>(w)) {
      list->SetNeighbours(1, prev, next, nullptr);
    } else if (auto* body = dynamic_cast<QvMailRichEditCtrl*>(w)) {
      body->SetPrevWindow(prev);
    }
  }
}

BOOL QvViewMessagePage::OnPageActivate() {
  CreateCommandBar(MenuForKind());
  return TRUE;
}
BOOL QvViewMessagePage::OnPageDeactivate() { return TRUE; }
BOOL QvViewMessagePage::StorePage(int, QvToolPage*) { return TRUE; }
BOOL QvViewMessagePage::CheckBeforeSend(int, QvToolPage*) { return TRUE; }

void QvViewMessagePage::OnOK() {
  if (IsActivePage()) EndDialog(IDOK);
}

void QvViewMessagePage::LoadPageMenu() {
  m_pageMenu.DestroyMenu();
  if (m_menuId) m_pageMenu.LoadMenu(m_menuId);
}

void QvViewMessagePage::CustomizePopupMenu(CMenu* popup) {
  if (!popup) return;
  CStringArray texts;
  for (const auto& [path, text] : m_plugins) {
    if (texts.GetSize() >= kMaxPlugins) break;
    texts.Add(text.c_str());
  }
  FillSubMenuFromList(popup->GetSafeHmenu(), kOtherSubmenu, texts, kFirstPluginCommand);
}

void QvViewMessagePage::ReloadPage(int, int) {
  if (!IsInitialised()) return;
  FillFromRecord(0, 0);
  ArrangeRows();
  LinkNeighbours();
}

void QvViewMessagePage::FocusBody(int a, int b) {
  if (m_body && m_body->m_hWnd && m_body->IsWindowEnabled() && (m_body->GetStyle() & WS_VISIBLE)) {
    QvBaseMessagePage::FocusBody(a, b);
    return;
  }
  QvAttachedFileListCtrl* list = AttachmentList();
  if (list && list->m_hWnd && (list->GetStyle() & WS_VISIBLE) && list->GetItemCount() > 0) {
    list->SetFocus();
    list->SelectItem(0);
  } else {
    for (Row row : {kCcRow, kToRow, kFromRow}) {
      CWnd* field = Field(row);
      if (field && field->m_hWnd && (field->GetStyle() & WS_VISIBLE)) {
        field->SetFocus();
        break;
      }
    }
  }
  ScrollCaretIntoView();
}

void QvViewMessagePage::BeforeFill(int, int) {
  if (!m_record) return;
  bool cut = false;
  if (m_record->subject.GetLength() > kMaxSubject) {
    m_record->subject = m_record->subject.Left(kMaxSubject);
    cut = true;
  }
  cut |= CutArray(m_record->toList, kMaxEntries);
  cut |= CutArray(m_record->ccList, kMaxEntries);
  cut |= CutArray(m_record->attachmentPaths, kMaxEntries);
  if (m_record->body.GetLength() > kMaxPlainBody) {
    m_record->body = m_record->body.Left(kMaxPlainBody);
    cut = true;
  }
  if (m_body && m_body->m_hWnd) m_body->SendMessage(EM_EXLIMITTEXT, 0, m_bodyLimit);
  if (cut || m_record->htmlText.GetLength() > kMaxHtml) ShowNoticeBoxRes(m_hWnd, kCutNotice);
}

// --- Links --------------------------------------------------------------------

CString QvViewMessagePage::BodySelection() { return CString(); }

std::wstring QvViewMessagePage::MessageFolder() const {
  CString folder;
  GetAppTempFolderPath(folder, GetTempFolderName());
  return folder.GetString();
}

bool QvViewMessagePage::IsInsideFolder(const std::wstring& path, const std::wstring& folder) {
  if (folder.empty() || path.empty()) return false;
  std::wstring p = path, f = folder;
  std::replace(p.begin(), p.end(), L'/', L'\\');
  std::replace(f.begin(), f.end(), L'/', L'\\');
  if (f.back() != L'\\') f.push_back(L'\\');
  if (p.size() <= f.size() || CString(p.substr(0, f.size()).c_str()).CompareNoCase(f.c_str()) != 0) return false;
  // Below the folder: plain names only, never a step up, a drive or a stream.
  std::wstring rest = p.substr(f.size());
  size_t start = 0;
  while (start <= rest.size()) {
    const size_t end = std::min(rest.find(L'\\', start), rest.size());
    const std::wstring part = rest.substr(start, end - start);
    if (part.empty() || part == L"." || part == L".." || part.find(L':') != std::wstring::npos) return false;
    start = end + 1;
  }
  return true;
}

bool QvViewMessagePage::ActOnLink(const CString& target) {
  CString argument;
  switch (ClassifyLinkTarget(target.GetString(), argument)) {
    case QvLinkAction::kOpenWeb: {
      // The whole target is shown before anything opens it.
      const std::wstring question =
          qv::FormatW(LoadResString(kOpenLinkQuestion).GetString(), argument.GetString());
      if (!ShowConfirmBox(m_hWnd, question.c_str(), false)) return false;
      return ShellOpenFile(m_hWnd, argument) != FALSE;
    }
    case QvLinkAction::kCompose:
      return g_entries.compose && g_entries.compose(this, argument, true);
    case QvLinkAction::kDial:
      return DialNumber(argument, 0);
    case QvLinkAction::kRefuse:
      break;
  }
  ShowWarningBoxRes(m_hWnd, kLinkRefused);
  return false;
}

bool QvViewMessagePage::SaveImageLink(const CString& link) {
  if (link.GetLength() <= 6 || link.Left(6).CompareNoCase(L"image:") != 0) return false;
  const std::wstring path = link.Mid(6).GetString();
  if (!IsInsideFolder(path, MessageFolder())) {
    ShowWarningBoxRes(m_hWnd, kLinkRefused);
    return false;
  }
  if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    ShowErrorBoxRes(m_hWnd, kNoImageFile);
    return false;
  }
  const size_t cut = path.find_last_of(L"/:\\");
  const std::wstring name = cut == std::wstring::npos ? path : path.substr(cut + 1);
  std::wstring destination;
  if (!SelectImageSavePath(m_hWnd, name, &destination)) return false;
  if (!::CopyFileW(path.c_str(), destination.c_str(), FALSE)) {
    ShowErrorBoxRes(m_hWnd, kImageNotSaved);
    return false;
  }
  ShowNoticeBoxRes(m_hWnd, kImageSaved);
  return true;
}

void QvViewMessagePage::OnOpenLink() {
  CString target;
  const int kind = CurrentBodyLink(target);
  if (kind == kImageLink) {
    SaveImageLink(target);
  } else if (kind != 0) {
    ActOnLink(target);
  }
}

void QvViewMessagePage::OnSaveImage() {
  CString target;
  if (CurrentBodyLink(target) == kImageLink) SaveImageLink(target);
}

void QvViewMessagePage::OnBookmark() {
  CString target, argument;
  if (CurrentBodyLink(target) == QvLinkRange::kWeb &&
      ClassifyLinkTarget(target.GetString(), argument) == QvLinkAction::kOpenWeb) {
    AddUrlToFavorites(m_hWnd, argument);
  }
}

void QvViewMessagePage::OnDial(UINT id) {
  CString target, argument;
  if (CurrentBodyLink(target) == QvLinkRange::kTelephone &&
      ClassifyLinkTarget(target.GetString(), argument) == QvLinkAction::kDial) {
    DialNumber(argument, static_cast<int>(id - kDialFirst));
  }
}

void QvViewMessagePage::OnShortMail() {
  CString target, argument;
  if (CurrentBodyLink(target) == QvLinkRange::kTelephone &&
      ClassifyLinkTarget(target.GetString(), argument) == QvLinkAction::kDial) {
    LaunchSwiftnote(argument);
  }
}

void QvViewMessagePage::OnComposeTo() {
  if (!g_entries.compose) return;
  const int row = FocusedRow();
  if (row == kFromRow || row == kToRow || row == kCcRow) {
    // The address under the caret of the focused header field.
    QvAddressView* field = AddressField(static_cast<Row>(row));
    CStringArray all;
    if (field) field->GetAddresses(all);
    const int index = field ? field->GetCurrentIndex() : 0;
    if (index >= 0 && index < all.GetSize() && !all[index].IsEmpty()) g_entries.compose(this, all[index], false);
    return;
  }
  CString target, argument;
  if (CurrentBodyLink(target) == QvLinkRange::kMail &&
      ClassifyLinkTarget(target.GetString(), argument) == QvLinkAction::kCompose) {
    // The decorated page hands the whole link on, as a "mailto:" request.
    g_entries.compose(this, argument, BodyLinksComposeAsMailto());
  }
}

// --- Commands -----------------------------------------------------------------

void QvViewMessagePage::OnSheetCommand(UINT id) { SendToSheet(WM_COMMAND, id, 0); }

void QvViewMessagePage::OnDelete() {
  if (!IsStored()) return;
  const bool protectedMail = (StatusWord() & kStatusProtected) != 0;
  if (!ShowConfirmBoxRes(m_hWnd, protectedMail ? kDeleteProtectedQuestion : kDeleteQuestion, false)) return;
  CloseCurrentMessage();
  if (!RemoveStoredMessage(m_record->messageId)) return;
  PostToSheet(kStepMessageRequest, 0, 0);
}

void QvViewMessagePage::OnProtect() {
  if (!IsStored()) return;
  if (ToggleMessageProtect(m_record->messageId, m_record->folder)) {
    uint32_t status = 0, kind = 0;
    if (GetMessageStatus(m_record->messageId, m_record->folder, &status, &kind)) m_status[0] = status;
  }
}

void QvViewMessagePage::OnMove() {
  if (!IsStored()) return;
  CDWordArray ids;
  ids.Add(m_record->messageId);
  if (MoveToFolder(ids)) PostToSheet(WM_COMMAND, IDCANCEL, 0);
}

void QvViewMessagePage::OnEditAsNew() {
  if (!IsStored() || !g_entries.editAsNew) return;
  if (g_entries.editAsNew(this, m_record->folder, m_record->messageId)) PostToSheet(WM_COMMAND, IDOK, 0);
}

bool QvViewMessagePage::AskRemoveAttachments() { return ShowConfirmBoxRes(m_hWnd, kRemoveQuestion, false); }

void QvViewMessagePage::OnRemoveAttachments() {
  if (AskRemoveAttachments()) RemoveAttachments();
}

void QvViewMessagePage::RefreshAttachments() {
  QvAttachedFileListCtrl* list = AttachmentList();
  if (!m_record || !list || !list->m_hWnd) return;
  list->RemoveAll();
  list->SetFiles(m_record->attachmentPaths, m_record->partialFlag != 0);
}

void QvViewMessagePage::RemoveAttachments() {
  if (!IsStored()) return;
  const uint32_t id = m_record->messageId;
  std::vector<unsigned long> ids{id};
  CloseCurrentMessage();
  const bool removed = RemoveMessageAttachments(ids, m_record->folder);
  OpenCurrentMessage(id);
  if (removed) ShowMessage(id);
}

void QvViewMessagePage::ShowMessage(uint32_t id) {
  if (!m_record || m_record->notFromStore) return;
  RemoveTempFolder(GetTempFolderName());
  const DWORD folder = m_record->folder;
  if (!LoadMessageForView(id, m_record, folder)) return;
  SetMessageRead(id, false, folder);
  uint32_t status = 0, kind = 0;
  if (GetMessageStatus(id, folder, &status, &kind)) {
    m_status[0] = status;
    m_status[1] = kind;
  }
  FillFromRecord(0, 0);
  ArrangeRows();
  LinkNeighbours();
}

void QvViewMessagePage::OnReceiveRest() {
  if (!IsStored()) return;
  const uint32_t id = m_record->messageId;
  if (!ReceiveSelectedWithProgress(this, std::list<unsigned long>{id})) return;
  ShowMessage(id);
}

void QvViewMessagePage::OnToggleShowAll() {
  m_showAll = m_showAll ? 0 : 1;
  ArrangeRows();
}

bool QvViewMessagePage::ShowHeaderSheet(CWnd* owner, uint32_t messageId) {
  QvSinglePropertySheet sheet(LoadResString(kHeaderCaption), owner);
  sheet.SetupPage(LoadResString(kHeaderCaption).GetString(), new QvViewHeaderPage(messageId));
  return sheet.DoModal() == IDOK;
}

void QvViewMessagePage::OnHeader() {
  if (IsStored()) ShowHeaderSheet(this, m_record->messageId);
}

void QvViewMessagePage::OnRuleFromMessage() {
  if (!m_record) return;
  std::wstring to;
  for (INT_PTR i = 0; i < m_record->toList.GetSize(); ++i) {
    if (!to.empty()) to += L", ";
    to += FirstParsedAddress(m_record->toList[i]);
  }
  QvSetClassifyPage::MessageTexts texts = {FirstParsedAddress(m_record->from), to, L"",
                                           m_record->subject.GetString(), L""};
  std::vector<std::wstring> names;
  GetClassificationRuleNames(&names);
  QvClassificationRuleRow rule;
  QvSinglePropertySheet sheet(kRuleCaption, this);
  if (!SetupClassifyPage(sheet, &rule, &names, &texts)) return;
  if (sheet.DoModal() == IDOK) AddClassificationRule(rule);
}

void QvViewMessagePage::OnAttachmentCommand(UINT id) {
  QvAttachedFileListCtrl* list = AttachmentList();
  if (!list) return;
  if (id == kOpenAttachment) {
    list->OpenSelected();
  } else {
    list->SaveSelected();
  }
}

// --- Plug-ins -----------------------------------------------------------------

bool QvViewMessagePage::RunPlugin(const std::wstring& path) {
  if (!m_record) return false;
  return RunMessagePlugin(path, m_hWnd, m_record->subject.GetString(), m_record->body.GetString(),
                          BodySelection().GetString());
}

void QvViewMessagePage::OnPlugin(UINT id) {
  const size_t index = id - kFirstPluginCommand;
  if (index >= m_plugins.size() || index >= static_cast<size_t>(kMaxPlugins)) return;
  RunPlugin(std::next(m_plugins.begin(), static_cast<std::ptrdiff_t>(index))->first);
}

void QvViewMessagePage::OnFixedPlugin(UINT id) { RunPlugin(id == kOutlookPlugin ? kOutlookPluginPath : kTodoPluginPath); }

// --- Messages -----------------------------------------------------------------

void QvViewMessagePage::OnContextMenu(CWnd* window, CPoint point) {
  HWND focus = ::GetFocus();
  UINT menu = kTextMenu;
  int submenu = 0;
  if (m_body && focus == m_body->m_hWnd) {
    CString target;
    switch (CurrentBodyLink(target)) {
      case QvLinkRange::kMail: menu = kLinkMenu; submenu = 1; break;
      case QvLinkRange::kWeb: menu = kLinkMenu; submenu = 0; break;
      case QvLinkRange::kTelephone: menu = kLinkMenu; submenu = 2; break;
      case kImageLink: menu = kLinkMenu; submenu = 3; break;
      default: break;
    }
  } else {
    const int row = FocusedRow();
    if (row == kFromRow || row == kToRow || row == kCcRow) menu = kAddressMenu;
    if (row == kAttachRow) menu = kAttachmentMenu;
  }
  if (point.x == -1 && point.y == -1 && window) {
    CRect r;
    window->GetWindowRect(&r);
    point = r.CenterPoint();
  }
  TrackPopupMenuRes(this, menu, point, submenu);
}

LRESULT QvViewMessagePage::OnStepMessage(WPARAM wParam, LPARAM lParam) {
  PostToSheet(kStepMessageRequest, wParam, lParam);
  return 0;
}

LRESULT QvViewMessagePage::OnAreaSelect(WPARAM wParam, LPARAM) {
  m_selecting = wParam != 0 ? 1 : 0;
  CreateCommandBar(wParam == 0 ? MenuForKind() : (wParam == 2 ? kSelectingAnchoredMenu : kSelectingMenu));
  return 0;
}

LRESULT QvViewMessagePage::OnMoveFocus(WPARAM wParam, LPARAM) {
  CRect client;
  GetClientRect(&client);
  switch (wParam) {
    case 1:
      ScrollTo(std::max(ScrollPosition() - LineHeight(), 0));
      break;
    case 2:
      ScrollTo(ScrollPosition() + LineHeight());
      break;
    case 3:
      ScrollTo(ScrollPosition() - client.Height());
      break;
    case 4:
      ScrollTo(ScrollPosition() + client.Height());
      break;
    default:
      break;
  }
  return 0;
}

LRESULT QvViewMessagePage::OnBack(WPARAM, LPARAM) {
  PostToSheet(WM_COMMAND, IDCANCEL, 0);
  return 0;
}

void QvViewMessagePage::OnSize(UINT type, int cx, int cy) {
  const bool resized = cx != m_lastSize[0] || cy != m_lastSize[1];
  QvBaseMessagePage::OnSize(type, cx, cy);
  // A new width wraps the header fields anew.
  if (resized && IsInitialised()) ArrangeRows();
}

// --- Update handlers ----------------------------------------------------------

void QvViewMessagePage::OnUpdateKindCommand(CCmdUI* ui) { ui->Enable(MessageKind() != 0 && !SelectionRunning()); }

void QvViewMessagePage::OnUpdateReceiveRest(CCmdUI* ui) {
  ui->Enable(IsStored() && (StatusWord() & kStatusPartial) != 0 && !SelectionRunning());
}

void QvViewMessagePage::OnUpdateProtect(CCmdUI* ui) {
  uint32_t status = 0, kind = 0;
  if (!IsStored() || !GetMessageStatus(m_record->messageId, m_record->folder, &status, &kind)) {
    ui->SetText(kProtectUnknown);
    ui->Enable(FALSE);
    return;
  }
  ui->SetText((status & kStatusProtected) ? kUnprotectText : kProtectText);
  ui->Enable(!SelectionRunning());
}

void QvViewMessagePage::OnUpdateShowAll(CCmdUI* ui) {
  if (m_collapsible) {
    ui->SetText(m_showAll ? kShortText : kShowAllText);
    ui->Enable(TRUE);
  } else {
    ui->SetText(kShortText);
    ui->Enable(FALSE);
  }
}

void QvViewMessagePage::OnUpdateRemoveAttachments(CCmdUI* ui) {
  QvAttachedFileListCtrl* list = AttachmentList();
  ui->Enable(!SelectionRunning() && IsStored() && (StatusWord() & kStatusPartial) == 0 && m_record->partialFlag == 0 &&
             list && list->GetItemCount() > 0);
}

void QvViewMessagePage::OnUpdateAttachmentCommand(CCmdUI* ui) {
  QvAttachedFileListCtrl* list = AttachmentList();
  const int selected = list ? list->GetSelectedIndex() : -1;
  const bool placeholder = m_record && m_record->partialFlag != 0 && selected == 0;
  ui->Enable(list && ::GetFocus() == list->m_hWnd && selected >= 0 && !placeholder);
}

void QvViewMessagePage::OnUpdateComposeTo(CCmdUI* ui) {
  bool enable = !SelectionRunning();
  const int row = FocusedRow();
  if (enable && (row == kFromRow || row == kToRow || row == kCcRow)) {
    CString text;
    Field(static_cast<Row>(row))->GetWindowText(text);
    QvAddressRange range;
    GetAddressRange(text, 0, 0, &range, false);
    enable = range.kind == 1;
  }
  ui->Enable(enable);
}

void QvViewMessagePage::OnUpdateRule(CCmdUI* ui) {
  std::vector<std::wstring> names;
  GetClassificationRuleNames(&names);
  ui->Enable(names.size() < kMaxClassificationRules && !SelectionRunning());
}

void QvViewMessagePage::OnUpdateNoSelection(CCmdUI* ui) { ui->Enable(!SelectionRunning()); }

void QvViewMessagePage::OnUpdateFixedPlugin(CCmdUI* ui) {
  ui->Enable(!SelectionRunning() && PluginLoads(ui->m_nID == kOutlookPlugin ? kOutlookPluginPath : kTodoPluginPath));
}

void QvViewMessagePage::OnUpdateAlways(CCmdUI* ui) { ui->Enable(TRUE); }

// Only a message that went out can go out again; the sheet refuses the others.
void QvViewMessagePage::OnUpdateSendAgain(CCmdUI* ui) {
  ui->Enable(IsStored() && MessageKind() == QvMailListItem::kSent);
}
