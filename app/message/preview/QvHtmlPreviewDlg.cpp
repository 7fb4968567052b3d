#include "app/message/preview/QvHtmlPreviewDlg.h"

#include <algorithm>

#include "app/foundation/UiMenus.h"
#include "app/mailops/InlineParts.h"
#include "app/protocol/WindowMessages.h"
#include "outside/Markwright/HtmlEditCtrl.h"
#include "platform/shell/ShellUi.h"

std::wstring QvHtmlPreviewDlg::ResolveReference(const QvMessageRecord& record, const std::wstring& reference) {
  const QvHtmlFile* file = FindInlinePart(record.inlineFiles, reference);
  return file ? file->GetPath() : std::wstring();
}

BOOL QvHtmlPreviewDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SHINITDLGINFO init{SHIDIM_FLAGS, m_hWnd, SHIDIF_SIZEDLGFULLSCREEN};
  SHInitDialog(&init);
  CreateMenuBar(m_hWnd, mode_ == kTemplatePreview ? kTemplateMenu : kMessageMenu);
  RECT client{};
  GetClientRect(&client);
  if (body_.Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY, client, this, kBodyId)) {
    body_.SendMessage(EM_EXLIMITTEXT, 0, kTextLimit);
    body_.SendMessage(HEM_READINGMODE);
    const CString html = record_ ? record_->htmlText : CString();
    body_.SendMessage(HEM_LOADHTML, reinterpret_cast<WPARAM>(html.GetString()));
    body_.SendMessage(HEM_SETRECORD, reinterpret_cast<WPARAM>(layout_));
  }
  return TRUE;
}

BOOL QvHtmlPreviewDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  auto* n = reinterpret_cast<NMHTMLEDIT*>(lParam);
  if (wParam == static_cast<WPARAM>(kBodyId) && n && n->hdr.code == HEN_RESOLVE) {
    if (record_ && n->text && n->buffer && n->bufferChars > 0) {
      const std::wstring path = ResolveReference(*record_, n->text);
      if (!path.empty()) {
        const size_t count = std::min<size_t>(path.size(), std::min(HTMLEDIT_MAXPATH, n->bufferChars - 1));
        std::copy_n(path.c_str(), count, n->buffer);
        n->buffer[count] = 0;
      }
    }
    *result = 0;
    return TRUE;
  }
  return CDialog::OnNotify(wParam, lParam, result);
}

LRESULT QvHtmlPreviewDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kBackMessage) {
    PostMessage(WM_COMMAND, IDCANCEL);
    return 0;
  }
  const LRESULT r = CDialog::WindowProc(message, wParam, lParam);
  if (message == WM_SIZE && body_.m_hWnd) body_.MoveWindow(0, 0, LOWORD(lParam), HIWORD(lParam));
  return r;
}
