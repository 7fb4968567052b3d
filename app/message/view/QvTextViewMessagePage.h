// The plain reading page (template 124): the body in a clickable view that
// finds the text's links.
#pragma once

#include "app/message/richedit/QvRichClickableView.h"
#include "app/message/view/QvViewMessagePage.h"

class QvTextViewMessagePage : public QvViewMessagePage {
 public:
  static constexpr int kBodyLimit = 65535;
  explicit QvTextViewMessagePage(QvMessageRecord* record);
  ~QvTextViewMessagePage() override;

  BOOL OnInitDialog() override;
  QvRichClickableView& BodyView() { return m_view; }

 protected:
  int CurrentBodyLink(CString& target) override;
  CString BodySelection() override;

 private:
  QvRichClickableView m_view;
};
