#include "app/message/edit/QvEditMessagePage.h"

#include <algorithm>

#include "app/foundation/CloseRequest.h"
#include "app/foundation/Contacts.h"
#include "app/foundation/FileChoosers.h"
#include "app/foundation/MessageBoxes.h"
#include "app/foundation/QvClipboard.h"
#include "app/foundation/QvComAreaSelectEdit.h"
#include "app/foundation/UiMenus.h"
#include "app/foundation/UiRegistry.h"
#include "app/foundation/UiText.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/QvMessageRecord.h"
#include "app/message/address/QvAddressView.h"
#include "app/message/attach/QvAttachedFileListCtrl.h"
#include "app/message/pads/CInputPad.h"
#include "app/message/richedit/QvRichClickableView.h"
#include "app/message/subject/QvSubjectEdit.h"
#include "app/message/tools/QvToolPage.h"
#include "app/protocol/Commands.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/mainframe/QvMainFrame.h"
#include "platform/base/ScopedHandle.h"
#include "platform/base/WinFormat.h"
#include "platform/framework/AfxResource.h"
#include "platform/framework/CCmdUI.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Sync.h"
#include "platform/shell/ShellUi.h"
#include "platform/registry/Registry.h"
#include "platform/ui/controls/RichEdit.h"

namespace {

constexpr const wchar_t* kCaption = L"T-VELA4メール ";
constexpr DWORD kComposingStateBit = 1u << 2;
constexpr UINT kPlainPageMenu = 157;
constexpr UINT kHandwritingPageMenu = 285;
constexpr UINT kAddressFieldMenu = 180;
constexpr UINT kTextFieldMenu = 159;
constexpr UINT kAddressLabelMenu = 154;
constexpr UINT kAttachmentMenu = 153;
constexpr UINT kSelectingMenu = 176;
constexpr UINT kAnchoredMenu = 177;

bool (*g_attachmentChooser)(HWND, std::vector<std::wstring>*, int) = &SelectAttachmentFiles;

// Cuts a text to `limit` UTF-16 units, never between the halves of a pair.
void CutText(CString& text, int limit) {
  if (text.GetLength() <= limit) return;
  int n = limit;
  if (n > 0 && (text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF)) --n;
  text = text.Left(n);
}

void CutList(CStringArray& list, int count) {
  if (list.GetSize() > count) list.SetSize(count);
}

// Line breaks as the record keeps them: "\r\n" for "\r", "\n" or "\r\n".
CString RecordLineBreaks(const CString& text) {
  std::wstring out;
  out.reserve(static_cast<size_t>(text.GetLength()) + 16);
  for (int i = 0; i < text.GetLength(); ++i) {
    const wchar_t c = text[i];
    if (c == L'\r') {
      out += L"\r\n";
      if (i + 1 < text.GetLength() && text[i + 1] == L'\n') ++i;
    } else if (c == L'\n') {
      out += L"\r\n";
    } else {
      out += c;
    }
  }
  return CString(out.c_str());
}

}  // namespace

bool QvEditMessagePage::FileBytes(const wchar_t* path, uint64_t* size) {
  qv::ScopedHandle file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.is_valid()) return false;
  DWORD high = 0;
  const DWORD low = ::GetFileSize(file.get(), &high);
  *size = (static_cast<uint64_t>(high) << 32) | low;
  return true;
}

bool IsJapaneseKeyboardPreloaded() {
  CString layout;
  return ReadRegistryString(L"keyboard layout\\Preload", L"", layout) &&
         layout.CompareNoCase(kJapaneseKeyboardLayout) == 0;
}

BEGIN_MESSAGE_MAP(QvEditMessagePage, QvBaseMessagePage)
  ON_WM_SIZE()
  ON_WM_CONTEXTMENU()
  ON_COMMAND_RANGE(QvEditMessagePage::kChooseSent, QvEditMessagePage::kChooseSent, &QvEditMessagePage::OnChooseAddress)
  ON_COMMAND_RANGE(QvEditMessagePage::kChooseReceived, QvEditMessagePage::kChooseReceived,
                   &QvEditMessagePage::OnChooseAddress)
  ON_COMMAND_RANGE(QvEditMessagePage::kChooseContact, QvEditMessagePage::kChooseContact,
                   &QvEditMessagePage::OnChooseAddress)
  ON_COMMAND(QvEditMessagePage::kChooseReplacing, &QvEditMessagePage::OnChooseReplacing)
  ON_COMMAND(QvEditMessagePage::kAddAttachment, &QvEditMessagePage::OnAddAttachment)
  ON_COMMAND(QvEditMessagePage::kRemoveAttachment, &QvEditMessagePage::OnRemoveAttachment)
  ON_COMMAND(kPasteCommand, &QvEditMessagePage::OnPaste)
  ON_COMMAND(kCutCommand, &QvEditMessagePage::OnCut)
  ON_COMMAND_RANGE(QvEditMessagePage::kDeleteAtCaret, QvEditMessagePage::kDeleteAtCaret,
                   &QvEditMessagePage::OnDeleteAtCaret)
  ON_COMMAND_RANGE(QvEditMessagePage::kDeleteKey, QvEditMessagePage::kDeleteKey, &QvEditMessagePage::OnDeleteAtCaret)
  ON_COMMAND(QvEditMessagePage::kInsertSignature, &QvEditMessagePage::OnInsertSignature)
  ON_COMMAND(QvEditMessagePage::kInsertQuote, &QvEditMessagePage::OnInsertQuote)
  ON_COMMAND(QvEditMessagePage::kSelectArea, &QvEditMessagePage::OnSelectArea)
  ON_COMMAND(QvEditMessagePage::kInputPad, &QvEditMessagePage::OnInputPad)
  ON_COMMAND(QvEditMessagePage::kInputMethod, &QvEditMessagePage::OnInputMethod)
  ON_CONTROL_RANGE(EN_KILLFOCUS, 1045, 1071, &QvEditMessagePage::OnAddressKillFocus)
  ON_EN_CHANGE(QvBaseMessagePage::kBodyId, &QvEditMessagePage::OnBodyChange)
  ON_MESSAGE(kAreaSelectMessage, &QvEditMessagePage::OnAreaSelect)
  ON_MESSAGE(kAddressCheckFailedMessage, &QvEditMessagePage::OnAddressError)
  ON_MESSAGE(kPadInsertMessage, &QvEditMessagePage::OnPadText)
  ON_MESSAGE(kOtherPadMessage, &QvEditMessagePage::OnOtherPad)
  ON_MESSAGE(kCloseSheetMessage, &QvEditMessagePage::OnCloseRequest)
  ON_MESSAGE(kBackMessage, &QvEditMessagePage::OnBack)
  ON_UPDATE_COMMAND_UI(kCutCommand, &QvEditMessagePage::OnUpdateNeedsSelection)
  ON_UPDATE_COMMAND_UI_RANGE(QvEditMessagePage::kDeleteAtCaret, QvEditMessagePage::kDeleteAtCaret,
                             &QvEditMessagePage::OnUpdateNeedsSelection)
  ON_UPDATE_COMMAND_UI(QvEditMessagePage::kRemoveAttachment, &QvEditMessagePage::OnUpdateRemoveAttachment)
  ON_UPDATE_COMMAND_UI(QvEditMessagePage::kAddAttachment, &QvEditMessagePage::OnUpdateAddAttachment)
  ON_UPDATE_COMMAND_UI(QvEditMessagePage::kInsertSignature, &QvEditMessagePage::OnUpdateBodyInsert)
  ON_UPDATE_COMMAND_UI(QvEditMessagePage::kInsertQuote, &QvEditMessagePage::OnUpdateBodyInsert)
  ON_UPDATE_COMMAND_UI(QvEditMessagePage::kChooseSent, &QvEditMessagePage::OnUpdateAddress)
  ON_UPDATE_COMMAND_UI(QvEditMessagePage::kChooseReceived, &QvEditMessagePage::OnUpdateAddress)
  ON_UPDATE_COMMAND_UI(QvEditMessagePage::kChooseContact, &QvEditMessagePage::OnUpdateAddress)
  ON_UPDATE_COMMAND_UI(QvEditMessagePage::kChooseReplacing, &QvEditMessagePage::OnUpdateAddress)
  ON_UPDATE_COMMAND_UI(kPasteCommand, &QvEditMessagePage::OnUpdatePaste)
  ON_UPDATE_COMMAND_UI(QvEditMessagePage::kSelectArea, &QvEditMessagePage::OnUpdateSelectArea)
  ON_UPDATE_COMMAND_UI(QvEditMessagePage::kInputMethod, &QvEditMessagePage::OnUpdateInputMethod)
  ON_UPDATE_COMMAND_UI(QvEditMessagePage::kInputPad, &QvEditMessagePage::OnUpdateInputPad)
END_MESSAGE_MAP()

QvEditMessagePage::QvEditMessagePage(UINT templateId, QvMessageRecord* record, QvMailRichEditCtrl* body,
                                     int bodyLimit)
    : QvBaseMessagePage(templateId, record, body), m_editBody(body), m_bodyLimit(bodyLimit) {
  const bool carrier = IsCurrentTAccount();
  m_sizeLimitMb = carrier ? 1 : 3;
  m_sizeLimitMessage = carrier ? kCarrierSizeText : kSizeText;
  m_japaneseKeyboard = IsJapaneseKeyboardPreloaded() ? 1 : 0;
  SetRowControls(kDateRow, std::make_unique<QvFlatButton>(), std::make_unique<CWnd>());
  SetRowControls(kFromRow, std::make_unique<QvFlatButton>(), std::make_unique<QvAddressView>());
  for (Row row : {kToRow, kCcRow, kBccRow}) {
    SetRowControls(row, std::make_unique<QvAddressButton>(), std::make_unique<QvAddressView>());
  }
  SetRowControls(kSubjectRow, std::make_unique<QvFlatButton>(), std::make_unique<QvSubjectEdit>());
  // The list is made over the template's place in OnInitDialog: it needs its image list from the start.
  SetRowControls(kAttachRow, std::make_unique<QvAttachedFileButton>(), std::make_unique<CWnd>());
  SetMainFrameStateBits(kComposingStateBit);
}

QvEditMessagePage::~QvEditMessagePage() { ClearMainFrameStateBits(kComposingStateBit); }

void QvEditMessagePage::SetAttachmentChooser(bool (*chooser)(HWND, std::vector<std::wstring>*, int)) {
  g_attachmentChooser = chooser ? chooser : &SelectAttachmentFiles;
}

QvAddressView* QvEditMessagePage::AddressField(Row row) const {
  return dynamic_cast<QvAddressView*>(Field(row));
}

QvAttachedFileListCtrl* QvEditMessagePage::AttachmentList() const {
  return dynamic_cast<QvAttachedFileListCtrl*>(Field(kAttachRow));
}

bool QvEditMessagePage::IsSelecting() const { return m_selectMode != 0; }

BOOL QvEditMessagePage::OnInitDialog() {
  if (m_editBody && !m_editBody->m_hWnd) {
    if (HWND body = ::GetDlgItem(m_hWnd, kBodyId)) m_editBody->SubclassWindow(body);
  }
  QvBaseMessagePage::OnInitDialog();
  SetWindowText(kCaption);
  // The attachment list over the template's place, with its own image list.
  if (CWnd* place = Field(kAttachRow); place && place->m_hWnd && !AttachmentList()) {
    CRect r;
    place->GetWindowRect(&r);
    ScreenToClient(&r);
    const DWORD style = place->GetStyle() & (WS_VISIBLE | WS_TABSTOP);
    place->DestroyWindow();
    auto list = std::make_unique<QvAttachedFileListCtrl>();
    if (list->Create(WS_CHILD | style, r, this, kFieldIds[kAttachRow])) m_fields[kAttachRow] = std::move(list);
  }
  // The date row is not part of a composed mail; the From row is shown, not edited.
  for (CWnd* w : {Label(kDateRow), Field(kDateRow)}) {
    if (w && w->m_hWnd) {
      w->ShowWindow(SW_HIDE);
      w->SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    }
  }
  for (CWnd* w : {Label(kFromRow), Field(kFromRow), Label(kSubjectRow)}) {
    if (w && w->m_hWnd) w->EnableWindow(FALSE);
  }
  // One rule closes the header; the template's others would lie over the body.
  for (int i = 1; i < 3; ++i) {
    if (m_rules[i].m_hWnd) m_rules[i].ShowWindow(SW_HIDE);
  }
  // Cursor-key neighbours in column order: fields, subject, attachments, body.
  CWnd* order[] = {Field(kToRow), Field(kCcRow), Field(kBccRow), Field(kSubjectRow), Field(kAttachRow), m_body};
  for (size_t i = 0; i < std::size(order); ++i) {
    auto* flexible = dynamic_cast<QvFlexibleEdit*>(order[i]);
    if (!flexible || !flexible->m_hWnd) continue;
    if (i > 0 && order[i - 1] && order[i - 1]->m_hWnd) flexible->SetPrevWindow(order[i - 1]->m_hWnd);
    if (i + 1 < std::size(order) && order[i + 1] && order[i + 1]->m_hWnd) {
      flexible->SetNextWindow(order[i + 1]->m_hWnd);
    }
  }
  if (m_editBody && m_editBody->m_hWnd && Field(kAttachRow)) m_editBody->SetPrevWindow(Field(kAttachRow)->m_hWnd);
  RefreshAttachments();
  if (m_menuId) CreateCommandBar(m_menuId);
  Layout(false);
  return TRUE;
}

// --- the page interface --------------------------------------------------------

BOOL QvEditMessagePage::OnPageActivate() {
  if (m_menuId) CreateCommandBar(m_menuId);
  if (m_record) {
    if (QvAddressView* to = AddressField(kToRow); to && to->m_hWnd) to->SetAddresses(m_record->toList);
    if (CWnd* subject = Field(kSubjectRow); subject && subject->m_hWnd) subject->SetWindowText(m_record->subject);
  }
  Layout(false);
  return TRUE;
}

BOOL QvEditMessagePage::OnPageDeactivate() { return CheckBeforeSend(0, nullptr); }

void QvEditMessagePage::LoadPageMenu() {
  m_pageMenu.DestroyMenu();
  const LRESULT kind = SendToSheet(kPageKindQuery);
  m_pageMenu.LoadMenu(SheetWindow() && kind == 0 ? kHandwritingPageMenu : kPlainPageMenu);
}

void QvEditMessagePage::CustomizePopupMenu(CMenu* popup) {
  if (popup) FillSubMenuFromList(popup->GetSafeHmenu(), L"その他", CStringArray(), 0);
}

BOOL QvEditMessagePage::StorePage(int, QvToolPage* toolPage) {
  // A page never made has nothing of its own to write: the record stands.
  if (!IsInitialised() || !toolPage) return TRUE;
  return CheckBeforeSend(0, toolPage);
}

void QvEditMessagePage::CopyFieldsToRecord() {
  if (!m_record) return;
  const std::pair<Row, CStringArray*> lists[] = {
      {kToRow, &m_record->toList}, {kCcRow, &m_record->ccList}, {kBccRow, &m_record->bccList}};
  for (const auto& [row, list] : lists) {
    if (QvAddressView* field = AddressField(row); field && field->m_hWnd) field->GetAddresses(*list);
  }
  if (QvAttachedFileListCtrl* list = AttachmentList(); list && list->m_hWnd) {
    m_record->attachmentPaths.RemoveAll();
    for (int i = 0; i < list->GetPathCount(); ++i) m_record->attachmentPaths.Add(list->GetPath(i));
  }
  if (CWnd* subject = Field(kSubjectRow); subject && subject->m_hWnd) {
    CString text;
    subject->GetWindowText(text);
    text.Replace(L"\r\n", L" ");
    text.Replace(L"\r", L" ");
    text.Replace(L"\n", L" ");
    m_record->subject = text;
  }
  if (m_editBody && m_editBody->m_hWnd) m_record->body = BodyText();
}

BOOL QvEditMessagePage::CheckBeforeSend(int, QvToolPage*) {
  if (!m_hWnd) return TRUE;
  if (m_checkAddresses) {
    for (Row row : {kToRow, kCcRow, kBccRow}) {
      const AddressCheck check = CheckAddressField(row);
      if (check.text == 0) continue;
      m_addressError = check.message;
      ShowAddressError(Field(row)->m_hWnd);
      return FALSE;
    }
  }
  CopyFieldsToRecord();
  return TRUE;
}

void QvEditMessagePage::FocusFirstField(int flag, int) {
  if (!flag) return;
  if (CWnd* to = Field(kToRow); to && to->m_hWnd) to->SetFocus();
}

void QvEditMessagePage::OnSheetClosing(int flag, int) {
  m_checkAddresses = flag;
  // A close request that ended without closing gives the checks back.
  if (flag) CloseRequestSeenFlag = false;
}

void QvEditMessagePage::FocusBody(int a, int b) { QvBaseMessagePage::FocusBody(a, b); }

uint64_t QvEditMessagePage::GetAttachmentTotals(int* count) { return QvBaseMessagePage::GetAttachmentTotals(count); }

void QvEditMessagePage::BeforeFill(int, int) {
  if (CWnd* subject = Field(kSubjectRow); subject && subject->m_hWnd) {
    subject->SendMessage(EM_LIMITTEXT, kMaxSubject);
  }
  if (m_editBody && m_editBody->m_hWnd) m_editBody->SendMessage(EM_EXLIMITTEXT, 0, m_bodyLimit);
  for (Row row : {kToRow, kCcRow, kBccRow}) {
    if (CWnd* field = Field(row); field && field->m_hWnd) field->SendMessage(EM_LIMITTEXT, kMaxAddressText);
  }
  if (!m_record) return;
  RemovePictureChars(m_record->subject, true);
  CutText(m_record->subject, kMaxSubject);
  CutText(m_record->body, m_bodyLimit);
  for (CStringArray* list : {&m_record->toList, &m_record->ccList, &m_record->bccList}) {
    RemovePictureCharsFromArray(*list, false);
    CutList(*list, kMaxAddresses);
  }
  CutList(m_record->attachmentPaths, kMaxAttachments);
}

void QvEditMessagePage::RefreshAttachments() {
  QvAttachedFileListCtrl* list = AttachmentList();
  if (!list || !list->m_hWnd || !m_record) return;
  // The list adds to what it shows: it starts again from the record.
  list->RemoveAll();
  list->SetFiles(m_record->attachmentPaths, false);
  Layout(false);
}

void QvEditMessagePage::ClearAttachments() {
  if (QvAttachedFileListCtrl* list = AttachmentList(); list && list->m_hWnd) list->RemoveAll();
}

// --- checks and limits ----------------------------------------------------------

QvEditMessagePage::AddressCheck QvEditMessagePage::CheckAddressField(Row row) {
  AddressCheck answer;
  QvAddressView* field = AddressField(row);
  if (!field || !field->m_hWnd) return answer;
  switch (field->CheckAddresses()) {
    case kAddressWellFormed:
      return answer;
    case QvAddressView::kTooManyAddresses:
      answer.text = kTooManyAddressesText;
      answer.message = qv::FormatW(LoadResString(kTooManyAddressesText).GetString(), kMaxAddresses).c_str();
      return answer;
    case 2:
      answer.text = kBadBracketsText;
      break;
    default:
      answer.text = kBadAddressText;
      break;
  }
  answer.message = LoadResString(answer.text);
  return answer;
}

void QvEditMessagePage::ShowAddressError(HWND field) {
  ShowWarningBox(m_hWnd, m_addressError);
  if (field && ::IsWindow(field)) ::SetFocus(field);
  ScrollCaretIntoView();
}

bool QvEditMessagePage::ListedAttachmentBytes(uint64_t* total) const {
  *total = 0;
  QvAttachedFileListCtrl* list = AttachmentList();
  if (!list || !list->m_hWnd) return true;
  for (int i = 0; i < list->GetPathCount(); ++i) {
    uint64_t size = 0;
    if (!FileBytes(list->GetPath(i), &size)) return false;
    *total += size;
  }
  return true;
}

int QvEditMessagePage::AddAttachmentFiles(const std::vector<std::wstring>& files) {
  QvAttachedFileListCtrl* list = AttachmentList();
  if (!list || !list->m_hWnd) return 0;
  int inlineCount = 0;
  const uint64_t inlineBytes = GetAttachmentTotals(&inlineCount);
  const int room = kMaxAttachments - list->GetPathCount() - inlineCount;
  std::vector<CString> fresh;
  uint64_t added = 0;
  for (const std::wstring& file : files) {
    if (static_cast<int>(fresh.size()) >= room) break;
    const CString path(file.c_str());
    if (list->Contains(path) || std::find(fresh.begin(), fresh.end(), path) != fresh.end()) continue;
    uint64_t size = 0;
    if (!FileBytes(path, &size)) {
      ShowWarningBoxRes(m_hWnd, kUnreadableFileText);
      return 0;
    }
    added += size;
    if (added > SizeLimitBytes()) {
      ShowWarningBoxRes(m_hWnd, m_sizeLimitMessage);
      return 0;
    }
    fresh.push_back(path);
  }
  uint64_t listed = 0;
  if (!ListedAttachmentBytes(&listed) || listed + inlineBytes + added > SizeLimitBytes()) {
    ShowWarningBoxRes(m_hWnd, m_sizeLimitMessage);
    return 0;
  }
  for (const CString& path : fresh) list->AddFile(path, list->GetPathCount(), false);
  list->FitToContent();
  if (m_record) {
    m_record->attachmentPaths.RemoveAll();
    for (int i = 0; i < list->GetPathCount(); ++i) m_record->attachmentPaths.Add(list->GetPath(i));
  }
  Layout(true);
  return static_cast<int>(fresh.size());
}

void QvEditMessagePage::AddAttachments() {
  QvAttachedFileListCtrl* list = AttachmentList();
  if (!list) return;
  int inlineCount = 0;
  GetAttachmentTotals(&inlineCount);
  const int room = kMaxAttachments - list->GetPathCount() - inlineCount;
  if (room <= 0) return;
  std::vector<std::wstring> files;
  if (!g_attachmentChooser(m_hWnd, &files, room)) return;
  if (static_cast<int>(files.size()) > room) files.resize(static_cast<size_t>(room));
  AddAttachmentFiles(files);
}

bool QvEditMessagePage::HasRoomForPicture() {
  uint64_t listed = 0;
  if (ListedAttachmentBytes(&listed) && listed + kPictureRoom <= SizeLimitBytes()) return true;
  ShowWarningBoxRes(m_hWnd, m_sizeLimitMessage);
  return false;
}

BOOL QvEditMessagePage::CheckSize() { return HasRoomForPicture() ? TRUE : FALSE; }

bool QvEditMessagePage::ChooseAddressInto(int source, bool replace) {
  const int row = FocusedAddressRow();
  QvAddressView* field = AddressField(static_cast<Row>(row >= 0 ? row : kToRow));
  if (!field || !field->m_hWnd) return false;
  if (field->GetAddressCount() >= kMaxAddresses) return false;
  CString chosen;
  if (!ChooseAddress(this, &chosen, source) || chosen.IsEmpty()) return false;
  const bool added = replace ? field->ReplaceSelection(chosen) : field->AddAddress(chosen, true);
  Layout(true);
  return added;
}

int QvEditMessagePage::FocusedAddressRow() const {
  HWND focus = ::GetFocus();
  for (Row row : {kToRow, kCcRow, kBccRow}) {
    if (CWnd* field = Field(row); field && field->m_hWnd && field->m_hWnd == focus) return row;
  }
  return -1;
}

bool QvEditMessagePage::AllowPictographs(int inBody) { return inBody == 0; }
BOOL QvEditMessagePage::CheckSizeLimits() { return TRUE; }
void QvEditMessagePage::UpdateInputPadUI(CCmdUI* ui) { OnUpdateInputPad(ui); }

CString QvEditMessagePage::BodyText() const {
  if (!m_editBody || !m_editBody->m_hWnd) return m_record ? m_record->body : CString();
  CString text;
  m_editBody->GetWindowText(text);
  return RecordLineBreaks(text);
}

int QvEditMessagePage::BodyLength() const { return BodyText().GetLength(); }

bool QvEditMessagePage::IsEmpty() const {
  for (Row row : {kToRow, kCcRow, kBccRow, kSubjectRow}) {
    if (CWnd* field = Field(row); field && field->m_hWnd && field->GetWindowTextLength() > 0) return false;
  }
  if (QvAttachedFileListCtrl* list = AttachmentList(); list && list->GetPathCount() > 0) return false;
  return BodyLength() == 0;
}

void QvEditMessagePage::ReplaceBodySelection(const CString& text) {
  if (!m_editBody || !m_editBody->m_hWnd) return;
  m_editBody->SendMessage(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.GetString()));
  Layout(true);
}

void QvEditMessagePage::InsertSignature() {}
void QvEditMessagePage::PasteText() {
  if (HWND focus = ::GetFocus(); focus && ::IsChild(m_hWnd, focus)) ::SendMessageW(focus, WM_PASTE, 0, 0);
}

// --- handlers ---------------------------------------------------------------------

void QvEditMessagePage::OnSize(UINT type, int cx, int cy) { QvBaseMessagePage::OnSize(type, cx, cy); }

void QvEditMessagePage::OnChooseAddress(UINT id) {
  const int source = id == kChooseReceived ? kFromRecvHistory : id == kChooseSent ? kFromSendHistory : kFromContacts;
  ChooseAddressInto(source, false);
}

void QvEditMessagePage::OnChooseReplacing() { ChooseAddressInto(kFromContacts, true); }

void QvEditMessagePage::OnAddAttachment() { AddAttachments(); }

void QvEditMessagePage::OnRemoveAttachment() {
  QvAttachedFileListCtrl* list = AttachmentList();
  if (!list || ::GetFocus() != list->m_hWnd || list->GetSelectedIndex() < 0) return;
  list->RemoveSelected();
  if (m_record) {
    m_record->attachmentPaths.RemoveAll();
    for (int i = 0; i < list->GetPathCount(); ++i) m_record->attachmentPaths.Add(list->GetPath(i));
  }
  Layout(true);
}

void QvEditMessagePage::OnPaste() { PasteText(); }

void QvEditMessagePage::OnCut() {
  if (HWND focus = ::GetFocus(); focus && ::IsChild(m_hWnd, focus)) ::SendMessageW(focus, WM_CUT, 0, 0);
}

void QvEditMessagePage::OnDeleteAtCaret(UINT) {
  HWND focus = ::GetFocus();
  if (!focus || !::IsChild(m_hWnd, focus)) return;
  ::SendMessageW(focus, WM_KEYDOWN, VK_DELETE, 1);
  ::SendMessageW(focus, WM_KEYUP, VK_DELETE, 0xC0000001);
}

void QvEditMessagePage::OnInsertSignature() { InsertSignature(); }

void QvEditMessagePage::OnInsertQuote() {
  if (!m_record || !m_editBody || !m_editBody->m_hWnd) return;
  CString body = BodyText() + L"\r\n\r\n" + m_record->quotedBody;
  const bool cut = body.GetLength() > m_bodyLimit;
  CutText(body, m_bodyLimit);
  m_editBody->SetWindowText(body);
  Layout(true);
  if (cut) ShowNoticeBoxRes(m_hWnd, kQuoteCutText);
}

void QvEditMessagePage::OnSelectArea() {
  HWND focus = ::GetFocus();
  if (m_editBody && m_editBody->m_hWnd && focus == m_editBody->m_hWnd) {
    m_editBody->Selector().Step();
    return;
  }
  for (Row row : {kToRow, kCcRow, kBccRow, kSubjectRow}) {
    auto* field = dynamic_cast<QvComAreaSelectEdit*>(Field(row));
    if (field && field->m_hWnd == focus) field->Selector().Step();
  }
}

void QvEditMessagePage::SetKeypadMode(DWORD mode) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kKeyglideKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
      ERROR_SUCCESS) {
    ::RegSetValueExW(key, L"mode", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mode), sizeof mode);
    ::RegCloseKey(key);
  }
  qv::ScopedHandle changed(::CreateEventW(nullptr, FALSE, FALSE, L"ExKeypadModeChanged"));
  if (changed.is_valid()) ::SetEvent(changed.get());
}

void QvEditMessagePage::RunInputPad(int kind) {
  CInputPad pad;
  pad.SetMailMode(AllowPictographs(m_focusInBody) ? 1 : 0);
  if (pad.CreateInputPad(static_cast<e_pad_type>(kind), this)) {
    ReplaceBodySelection(pad.GetInputString().c_str());
    if (m_editBody && m_editBody->m_hWnd) m_editBody->SetFocus();
    m_padChanged = 0;
  } else {
    m_padChanged = pad.IsChangeOccured() ? 1 : 0;
  }
}

void QvEditMessagePage::OnInputPad() {
  // A phone keypad in its own mode is switched to the pad's for the while.
  DWORD status = 0;
  DWORD size = sizeof status;
  HKEY key = nullptr;
  m_keypadSwitched = 0;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Norvale\\PhoneStatus", 0, KEY_READ, &key) == ERROR_SUCCESS) {
    if (::RegQueryValueExW(key, L"Status22", nullptr, nullptr, reinterpret_cast<BYTE*>(&status), &size) !=
        ERROR_SUCCESS) {
      status = 0;
    }
    ::RegCloseKey(key);
  }
  if (status & 0x100000) {
    SetKeypadMode(1);
    m_keypadSwitched = 1;
  }
  RunInputPad(kPadWebPictChar);
  CWnd* target = m_focusInBody ? static_cast<CWnd*>(m_editBody) : Field(kSubjectRow);
  if (target && target->m_hWnd) target->SetFocus();
  if (!m_padChanged && m_keypadSwitched) SetKeypadMode(0x100001);
}

void QvEditMessagePage::OnInputMethod() {
  HWND focus = ::GetFocus();
  CWnd* subject = Field(kSubjectRow);
  m_focusInBody = subject && subject->m_hWnd == focus ? 0 : 1;
  CWnd* target = m_focusInBody ? static_cast<CWnd*>(m_editBody) : subject;
  ::SipShowIM(SIPF_ON);
  if (target && target->m_hWnd) target->SetFocus();
}

void QvEditMessagePage::OnAddressKillFocus(UINT id) {
  Row row = kToRow;
  if (id == static_cast<UINT>(kFieldIds[kCcRow])) {
    row = kCcRow;
  } else if (id == static_cast<UINT>(kFieldIds[kBccRow])) {
    row = kBccRow;
  } else if (id != static_cast<UINT>(kFieldIds[kToRow])) {
    return;
  }
  // Only a move to another control of the page brings the focus back.
  HWND to = ::GetFocus();
  if (!to || !::IsChild(m_hWnd, to) || !m_checkAddresses) return;
  const AddressCheck check = CheckAddressField(row);
  if (check.text == 0) return;
  m_addressError = check.message;
  PostMessage(kAddressCheckFailedMessage, reinterpret_cast<WPARAM>(Field(row)->m_hWnd), 0);
}

void QvEditMessagePage::OnBodyChange() {
  if (!m_editBody || !m_editBody->m_hWnd) return;
  const int lines = static_cast<int>(m_editBody->SendMessage(EM_GETLINECOUNT));
  if (lines == m_lastLineCount) return;
  m_lastLineCount = lines;
  Layout(true);
}

void QvEditMessagePage::OnContextMenu(CWnd*, CPoint point) {
  HWND focus = ::GetFocus();
  UINT menu = 0;
  for (Row row : {kToRow, kCcRow, kBccRow}) {
    if (Field(row) && Field(row)->m_hWnd == focus) menu = kAddressFieldMenu;
    if (Label(row) && Label(row)->m_hWnd == focus) menu = kAddressLabelMenu;
  }
  if ((m_body && m_body->m_hWnd == focus) || (Field(kSubjectRow) && Field(kSubjectRow)->m_hWnd == focus)) {
    menu = kTextFieldMenu;
  }
  if (Field(kAttachRow) && Field(kAttachRow)->m_hWnd == focus) menu = kAttachmentMenu;
  if (menu) TrackPopupMenuRes(this, menu, point, 0);
}

LRESULT QvEditMessagePage::OnAreaSelect(WPARAM wParam, LPARAM) {
  m_selectMode = static_cast<int>(wParam);
  CreateCommandBar(wParam == 1 ? kSelectingMenu : wParam == 2 ? kAnchoredMenu : m_menuId);
  return 0;
}

LRESULT QvEditMessagePage::OnAddressError(WPARAM wParam, LPARAM) {
  ShowAddressError(reinterpret_cast<HWND>(wParam));
  return 0;
}

LRESULT QvEditMessagePage::OnPadText(WPARAM wParam, LPARAM lParam) {
  CString text;
  if (wParam == 1) {
    const wchar_t unit[2] = {static_cast<wchar_t>(lParam), L'\0'};
    text = unit;
  } else if (wParam == 2 && lParam) {
    text = reinterpret_cast<const wchar_t*>(lParam);
  } else {
    return 0;
  }
  if (m_focusInBody) {
    ReplaceBodySelection(text);
  } else if (CWnd* subject = Field(kSubjectRow); subject && subject->m_hWnd) {
    subject->SendMessage(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.GetString()));
  }
  return 0;
}

LRESULT QvEditMessagePage::OnOtherPad(WPARAM wParam, LPARAM) {
  RunInputPad(wParam ? kPadWebPictChar : kPadPictureChar);
  CWnd* target = m_focusInBody ? static_cast<CWnd*>(m_editBody) : Field(kSubjectRow);
  if (target && target->m_hWnd) target->SetFocus();
  return 0;
}

LRESULT QvEditMessagePage::OnCloseRequest(WPARAM, LPARAM) {
  // The checks stay off while the close request runs, so that what was
  // typed reaches the record whatever it holds; the sheet stores it and
  // closes. The answer says whether the record holds it all.
  const int checks = m_checkAddresses;
  m_checkAddresses = 0;
  const BOOL copied = CheckBeforeSend(0, nullptr);
  m_checkAddresses = checks;
  return copied;
}

LRESULT QvEditMessagePage::OnBack(WPARAM, LPARAM) {
  if (!IsEmpty()) return 0;
  if (m_record && m_record->isPictureMail && m_record->hasDrawing == 1) return 0;
  PostToSheet(WM_COMMAND, IDCANCEL);
  return 1;
}

// --- update handlers -----------------------------------------------------------------

void QvEditMessagePage::OnUpdateNeedsSelection(CCmdUI* ui) {
  HWND focus = ::GetFocus();
  DWORD start = 0, end = 0;
  if (focus && ::IsChild(m_hWnd, focus)) {
    ::SendMessageW(focus, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  }
  ui->Enable(start != end);
}

void QvEditMessagePage::OnUpdateRemoveAttachment(CCmdUI* ui) {
  QvAttachedFileListCtrl* list = AttachmentList();
  ui->Enable(list && list->m_hWnd && list->GetSelectedIndex() >= 0);
}

void QvEditMessagePage::OnUpdateAddAttachment(CCmdUI* ui) {
  QvAttachedFileListCtrl* list = AttachmentList();
  ui->Enable(list && list->GetPathCount() < kMaxAttachments && !IsSelecting());
}

void QvEditMessagePage::OnUpdateBodyInsert(CCmdUI* ui) {
  bool on = BodyLength() < m_bodyLimit && !IsSelecting();
  if (ui->m_nID == kInsertQuote) on = on && m_record && m_record->isReply;
  ui->Enable(on);
}

void QvEditMessagePage::OnUpdateAddress(CCmdUI* ui) {
  const int row = FocusedAddressRow();
  QvAddressView* field = AddressField(static_cast<Row>(row >= 0 ? row : kToRow));
  ui->Enable(field && field->m_hWnd && field->GetAddressCount() < kMaxAddresses && !IsSelecting());
}

void QvEditMessagePage::OnUpdatePaste(CCmdUI* ui) {
  HWND focus = ::GetFocus();
  const bool field = focus && ::IsChild(m_hWnd, focus) && !(::GetWindowLongW(focus, GWL_STYLE) & ES_READONLY);
  QvClipboard clipboard(m_hWnd);
  ui->Enable(field && clipboard.IsFormatAvailable(CF_UNICODETEXT));
}

void QvEditMessagePage::OnUpdateSelectArea(CCmdUI* ui) {
  ui->SetText(LoadResString(IsSelecting() ? kEndSelectText : kSelectText));
}

void QvEditMessagePage::OnUpdateInputMethod(CCmdUI* ui) {
  ui->Enable(m_japaneseKeyboard != 0);
  CWnd* subject = Field(kSubjectRow);
  m_focusInBody = subject && subject->m_hWnd == ::GetFocus() ? 0 : 1;
}

void QvEditMessagePage::OnUpdateInputPad(CCmdUI* ui) {
  HWND focus = ::GetFocus();
  CWnd* subject = Field(kSubjectRow);
  ui->Enable((m_body && m_body->m_hWnd == focus) || (subject && subject->m_hWnd == focus));
}

// --- the plain page --------------------------------------------------------------------

QvTextEditMessagePage::QvTextEditMessagePage(QvMessageRecord* record)
    : QvEditMessagePage(kTemplate, record, nullptr, kBodyLimit), m_view(std::make_unique<QvRichClickableView>()) {
  m_body = m_view.get();
  m_editBody = m_view.get();
  m_menuId = 181;
}

QvTextEditMessagePage::~QvTextEditMessagePage() {
  if (m_hWnd) DestroyWindow();
}

void QvTextEditMessagePage::InsertSignature() {
  if (!m_editBody || !m_editBody->m_hWnd) return;
  CString body = BodyText() + L"\r\n" + GetSignatureText();
  CutText(body, m_bodyLimit);
  m_editBody->SetWindowText(body);
  Layout(true);
}

void QvTextEditMessagePage::PasteText() {
  if (m_editBody && m_editBody->m_hWnd && ::GetFocus() == m_editBody->m_hWnd) {
    QvClipboard clipboard(m_hWnd);
    CString text;
    if (clipboard.GetText(text)) ReplaceBodySelection(text);
    return;
  }
  QvEditMessagePage::PasteText();
}

bool QvTextEditMessagePage::AllowPictographs(int inBody) { return inBody == 0; }

uint64_t QvTextEditMessagePage::GetAttachmentTotals(int* count) {
  if (count) *count = 0;
  // Beside a handwriting page, room is kept for its picture.
  return SheetWindow() && SendToSheet(kPageKindQuery) == 0 ? kPictureRoom : 0;
}
