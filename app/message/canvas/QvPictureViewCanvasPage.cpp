#include "app/message/canvas/QvPictureViewCanvasPage.h"

#include "app/foundation/FileChoosers.h"
#include "app/foundation/MessageBoxes.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/MessageOperations.h"
#include "app/mailops/MessageStatus.h"
#include "app/mailops/QvMailListItem.h"
#include "app/mailops/QvMessageRecord.h"
#include "app/protocol/WindowMessages.h"
#include "platform/kernel/Files.h"

namespace {

constexpr int kMaxText = 65536;
constexpr INT_PTR kMaxList = 256;
constexpr uint32_t kProtectedBit = 1u << 2;

// Cuts `text` to at most `keep` characters, never leaving a lone CR at the end.
bool CutText(CString& text, int keep) {
  if (text.GetLength() <= keep) return false;
  if (keep > 0 && text[keep - 1] == L'\r') --keep;
  text = text.Left(keep);
  return true;
}

bool CutList(CStringArray& list) {
  if (list.GetSize() <= kMaxList) return false;
  list.SetSize(kMaxList);
  return true;
}

}  // namespace

QvPictureViewCanvasPage::QvPictureViewCanvasPage(QvMessageRecord* record) : QvBasePictureCanvasPage(record) {}

QvPictureViewCanvasPage::~QvPictureViewCanvasPage() = default;

std::wstring QvPictureViewCanvasPage::ProposedName(const std::wstring& path) {
  size_t cut = path.rfind(L'\\');
  if (cut == std::wstring::npos) cut = path.rfind(L':');
  return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

bool QvPictureViewCanvasPage::ApplyViewLimits(QvMessageRecord* record) {
  bool cut = CutText(record->subject, kMaxText);
  // A body of exactly the limit is cut too: the view keeps one character short of it.
  if (record->body.GetLength() >= kMaxText) cut = CutText(record->body, kMaxText - 1) || cut;
  cut = CutList(record->toList) || cut;
  cut = CutList(record->ccList) || cut;
  cut = CutList(record->attachmentPaths) || cut;
  return cut;
}

BOOL QvPictureViewCanvasPage::OnInitDialog() {
  QvBasePictureCanvasPage::OnInitDialog();
  if (m_record != nullptr && m_record->partialFlag != 0) m_modeWord |= 8;
  m_to.ShowWindow(SW_HIDE);
  const bool received = IsReceived();
  (received ? static_cast<CWnd&>(m_toButton) : static_cast<CWnd&>(m_secondLabel)).ShowWindow(SW_HIDE);
  if (m_record != nullptr) {
    if (ApplyViewLimits(m_record)) ShowNoticeBoxRes(m_hWnd, 20067);
    if (received) {
      m_second.SetWindowText(m_record->from);
    } else {
      m_second.SetAddresses(m_record->toList);
    }
    m_subject.SetWindowText(m_record->subject);
  }
  SetTitle(received ? kReceivedTitle : kOwnTitle);
  ShowRecordPicture();
  m_canvas.SetReadOnly(true);
  m_second.SetReadOnly(TRUE);
  m_subject.SetReadOnly(TRUE);
  Relayout();
  m_second.SetFocus();
  return FALSE;
}

BOOL QvPictureViewCanvasPage::OnPageActivate() {
  CreateCommandBar(IsReceived() ? kReceivedMenu : kOwnMenu);
  SetTitle(IsReceived() ? kReceivedTitle : kOwnTitle);
  return TRUE;
}

void QvPictureViewCanvasPage::SavePicture() {
  if (m_record == nullptr || m_record->pictureFiles.IsEmpty()) return;
  const std::wstring source = m_record->pictureFiles[0].GetString();
  std::wstring destination;
  if (!SelectHandwritingSaveFolder(m_hWnd, ProposedName(source), &destination)) return;
  if (CopyFileW(source.c_str(), destination.c_str(), FALSE)) {
    ShowNoticeBoxRes(m_hWnd, 20059);
  } else {
    ShowErrorBoxRes(m_hWnd, 20060);
  }
}

void QvPictureViewCanvasPage::DeleteMessage() {
  if (m_record == nullptr) return;
  const bool protectedMail = (StatusWord() & kProtectedBit) != 0;
  if (!ShowConfirmBoxRes(m_hWnd, protectedMail ? 20043 : 20042, false)) return;
  CloseCurrentMessage();
  RemoveStoredMessage(m_record->messageId);
  PostToSheet(kStepMessageRequest, 0, 0);
}

bool QvPictureViewCanvasPage::OnCommand(UINT id) {
  switch (id) {
    case 40051: SavePicture(); return true;
    case 2528: DeleteMessage(); return true;
    case 40115:
      if (m_record != nullptr && m_record->isStored != 0) {
        ToggleMessageProtect(m_record->messageId, m_record->folder);
        uint32_t status = 0, kind = 0;
        if (GetMessageStatus(m_record->messageId, m_record->folder, &status, &kind)) m_status[0] = status;
      }
      return true;
    // The sheet's own commands: edit, reply, forward, send again, new mail.
    case 2563: case 2539: case 40214: case 2562: case 40121: case 40109: case 40098:
      PostToSheet(WM_COMMAND, id);
      return true;
    default:
      return false;
  }
}

void QvPictureViewCanvasPage::CustomizePopupMenu(CMenu* popup) {
  if (popup == nullptr || m_record == nullptr) return;
  popup->EnableMenuItem(40051, MF_BYCOMMAND | (m_record->pictureFiles.IsEmpty() ? MF_GRAYED : MF_ENABLED));
  popup->EnableMenuItem(2528, MF_BYCOMMAND | MF_ENABLED);
  uint32_t status = 0, kind = 0;
  const bool known = m_record->isStored != 0 &&
                     GetMessageStatus(m_record->messageId, m_record->folder, &status, &kind);
  const wchar_t* text = !known ? L"保護状態不明" : (status & kProtectedBit) != 0 ? L"保護解除" : L"保護";
  popup->ModifyMenu(40115, MF_BYCOMMAND | MF_STRING | (known ? MF_ENABLED : MF_GRAYED), 40115, text);
  // Only a message that went out can go out again.
  popup->EnableMenuItem(40214, MF_BYCOMMAND | (known && kind == QvMailListItem::kSent ? MF_ENABLED : MF_GRAYED));
  popup->CheckMenuItem(40094, MF_BYCOMMAND | ((m_modeWord & 8) != 0 ? MF_CHECKED : MF_UNCHECKED));
}

LRESULT QvPictureViewCanvasPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (lParam == 0 && OnCommand(LOWORD(wParam))) return 0;
      break;
    case kStepMessageRequest:
      PostToSheet(message, wParam, lParam);
      return 0;
    case kAreaSelectMessage:
      CreateCommandBar(wParam == 1 ? 176 : wParam == 2 ? 177 : (IsReceived() ? kReceivedMenu : kOwnMenu));
      return 0;
    case kBackMessage:
      PostToSheet(WM_COMMAND, IDCANCEL);
      return 0;
    default:
      break;
  }
  return QvBasePictureCanvasPage::WindowProc(message, wParam, lParam);
}
