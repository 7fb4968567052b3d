#include "app/message/tools/QvTextViewToolPage.h"

#include <algorithm>

#include "app/message/view/QvHtmlViewMessagePage.h"
#include "app/message/view/QvTextViewMessagePage.h"

namespace {

constexpr UINT kHtmlPageTemplate = 125;
constexpr UINT kPlainPageTemplate = 124;

std::unique_ptr<QvMessagePage> MakeViewPage(QvMessageRecord* record, int html) {
  if (html) return std::make_unique<QvHtmlViewMessagePage>(record);
  return std::make_unique<QvTextViewMessagePage>(record);
}

}  // namespace

QvTextViewToolPage::QvTextViewToolPage(QvMessageRecord* record, int html)
    : QvTextToolPage(record, html, MakeViewPage(record, html), html ? kHtmlPageTemplate : kPlainPageTemplate) {}

QvTextViewToolPage::~QvTextViewToolPage() = default;

BOOL QvTextViewToolPage::OnKillActive() {
  if (m_page && m_pageCreated) m_page->OnPageDeactivate();
  return CPropertyPage::OnKillActive();
}

POINT QvTextViewToolPage::PageOrigin() const {
  POINT p{0, 54};
  ScreenToClient(&p);
  return p;
}

void QvTextViewToolPage::PlaceTools(const RECT& client) {
  // The reading page has no palette: its buttons and bar stay hidden.
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      if (Button(r, c).m_hWnd) Button(r, c).ShowWindow(SW_HIDE);
    }
  }
  if (m_stateBar.m_hWnd) m_stateBar.ShowWindow(SW_HIDE);
  // The sheet swapped pages under a fixed size: the page stays where it is.
  if (m_skipNextLayout == 1) {
    m_skipNextLayout = 0;
    return;
  }
  QvToolPage::PlaceTools(client);
}
