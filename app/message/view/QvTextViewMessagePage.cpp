#include "app/message/view/QvTextViewMessagePage.h"

#include "app/mailops/QvMessageRecord.h"

namespace {

constexpr UINT kTemplate = 124;
constexpr UINT kPlainMenu = 259;  // the page menu with message kind 0
constexpr UINT kKindMenu = 173;

}  // namespace

QvTextViewMessagePage::QvTextViewMessagePage(QvMessageRecord* record)
    : QvViewMessagePage(kTemplate, record, &m_view, kBodyLimit, kPlainMenu, kKindMenu) {}

QvTextViewMessagePage::~QvTextViewMessagePage() = default;

BOOL QvTextViewMessagePage::OnInitDialog() {
  // The clickable view in the template's place, with its own fonts.
  ReplaceTemplateControl(m_view, kBodyId);
  return QvViewMessagePage::OnInitDialog();
}

int QvTextViewMessagePage::CurrentBodyLink(CString& target) {
  target.Empty();
  const int index = m_view.SelectedLink();
  const QvLinkRangeList& links = m_view.Links();
  if (!links.IsValidIndex(index)) return 0;
  const CString text = links.GetLinkText(index);
  const int kind = links.GetRange(index).kind;
  switch (kind) {
    case QvLinkRange::kMail: target = CString(L"mailto:") + text; break;
    case QvLinkRange::kTelephone: target = CString(L"tel:") + text; break;
    default: target = text; break;
  }
  return kind;
}

CString QvTextViewMessagePage::BodySelection() {
  CString selected;
  m_view.GetSelectedText(selected);  // line ends "\r\n", as the plug-ins take them
  return selected;
}
