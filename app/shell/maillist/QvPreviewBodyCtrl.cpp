#include "app/shell/maillist/QvPreviewBodyCtrl.h"

#include <algorithm>
#include <string>

#include "app/mailops/InlineParts.h"
#include "app/mailops/MessageOperations.h"
#include "outside/Markwright/HtmlEditCtrl.h"
#include "platform/framework/AfxResource.h"

bool QvPreviewBodyCtrl::CreatePane(CWnd* parent) {
  // Made by the control's own class name, so that the key handling and other
  // programs see "HtmlEditCtrl"; the object joins it afterwards.
  HWND pane = ::CreateWindowExW(0, HTMLEDIT_CLASS, L"", kStyle, 0, 0, 0, 0, parent->m_hWnd,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kControlId)), AfxGetInstanceHandle(),
                                nullptr);
  if (!pane) return false;
  if (!SubclassWindow(pane)) {
    ::DestroyWindow(pane);
    return false;
  }
  SendMessage(EM_EXLIMITTEXT, 0, kTextLimit);
  SendMessage(HEM_READINGMODE, 1, 0);
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
  if (!m_hWnd) return;
  if (!record.isPictureMail && !record.htmlText.IsEmpty()) {
    // The lists first: the control asks for the pictures while it lays the text out.
    SendMessage(HEM_SETFILELISTS, reinterpret_cast<WPARAM>(&record.inlineFiles),
                reinterpret_cast<LPARAM>(&record.extraFiles));
    SendMessage(HEM_LOADHTML, reinterpret_cast<WPARAM>(static_cast<LPCWSTR>(record.htmlText)), 0);
    return;
  }
  SetWindowText(record.body);
}

void QvPreviewBodyCtrl::ResolveInlineFile(NMHTMLEDIT* request) const {
  if (!request || !request->text || !request->buffer || request->bufferChars <= 0) return;
  const QvHtmlFile* file = FindInlinePart(record_.inlineFiles, request->text);
  if (!file) return;
  const std::wstring& path = file->GetPath();
  const size_t room = std::min<size_t>(static_cast<size_t>(request->bufferChars) - 1, HTMLEDIT_MAXPATH);
  const size_t n = std::min(path.size(), room);
  path.copy(request->buffer, n);
  request->buffer[n] = 0;
}
