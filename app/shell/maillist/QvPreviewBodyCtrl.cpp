#include "app/shell/maillist/QvPreviewBodyCtrl.h"

#include "app/mailops/MessageOperations.h"

bool QvPreviewBodyCtrl::CreatePane(CWnd* parent) {
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
  if (!Create(style, CRect(0, 0, 0, 0), parent, kControlId)) return false;
  SetLimitText(kTextLimit);
  if (CFont* font = parent->GetFont()) SetFont(font, FALSE);
  return true;
}

void QvPreviewBodyCtrl::ShowMessage(DWORD folderId, DWORD messageId, bool whole) {
  if (shown_ && folderId_ == folderId && messageId_ == messageId) return;
  record_.Clear();
  ++loads_;
  if (!LoadMessagePreview(folderId, messageId, whole, kPreviewLimit, &record_)) {
    ClearPane();
    return;
  }
  shown_ = true;
  folderId_ = folderId;
  messageId_ = messageId;
  Present(record_);
}

void QvPreviewBodyCtrl::ClearPane() {
  shown_ = false;
  folderId_ = 0;
  messageId_ = 0;
  record_.Clear();
  if (m_hWnd) SetWindowText(L"");
}

void QvPreviewBodyCtrl::Present(const QvMessageRecord& record) {
  // Plain text only for now: decorated mail shows its text part. CR LF
  // line ends, as the edit control breaks lines on them.
  CString text = record.body;
  text.Replace(L"\r\n", L"\n");
  text.Replace(L"\n", L"\r\n");
  if (m_hWnd) {
    SetWindowText(text);
    SetSel(0, 0);
  }
}
