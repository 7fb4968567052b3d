#include "app/message/view/QvViewHeaderPage.h"

#include <algorithm>

#include "app/mailops/MessageOperations.h"
#include "app/protocol/WindowMessages.h"

namespace {

constexpr int kMargin = 20;

}  // namespace

BEGIN_MESSAGE_MAP(QvViewHeaderPage, QvScrollPage)
  ON_WM_SIZE()
  ON_MESSAGE(kBackMessage, &QvViewHeaderPage::OnBack)
END_MESSAGE_MAP()

QvViewHeaderPage::QvViewHeaderPage(uint32_t messageId) : QvScrollPage(kTemplate), m_messageId(messageId) {}

QvViewHeaderPage::~QvViewHeaderPage() = default;

BOOL QvViewHeaderPage::OnInitDialog() {
  QvScrollPage::OnInitDialog();
  m_text.SubclassDlgItem(kTextId, this);
  CString header;
  if (GetMessageHeaderText(m_messageId, &header)) m_text.SetWindowText(header);
  return TRUE;
}

BOOL QvViewHeaderPage::OnSetActive() {
  const BOOL active = QvScrollPage::OnSetActive();
  if (m_text.m_hWnd) {
    m_text.SetSel(0, 0);
    m_text.SendMessage(EM_SCROLLCARET);
  }
  return active;
}

void QvViewHeaderPage::OnSize(UINT type, int cx, int cy) {
  QvScrollPage::OnSize(type, cx, cy);
  if (m_text.m_hWnd) {
    m_text.SetWindowPos(nullptr, kMargin, kMargin, std::max(cx - 2 * kMargin, 0), std::max(cy - 2 * kMargin, 0),
                        SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

LRESULT QvViewHeaderPage::OnBack(WPARAM, LPARAM) {
  if (CWnd* parent = GetParent()) parent->PostMessage(WM_COMMAND, IDCANCEL, 0);
  return 0;
}
