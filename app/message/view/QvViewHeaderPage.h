// The page that shows a message's whole header text, read-only, in a
// single-page sheet opened from the reading page.
#pragma once

#include <cstdint>

#include "app/foundation/QvScrollPage.h"
#include "platform/framework/CEdit.h"

class QvViewHeaderPage : public QvScrollPage {
 public:
  static constexpr UINT kTemplate = 133;
  static constexpr int kTextId = 1143;
  explicit QvViewHeaderPage(uint32_t messageId);
  ~QvViewHeaderPage() override;

  BOOL OnInitDialog() override;
  BOOL OnSetActive() override;
  CEdit& Text() { return m_text; }

 protected:
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg LRESULT OnBack(WPARAM wParam, LPARAM lParam);

 private:
  uint32_t m_messageId;
  CEdit m_text;

  DECLARE_MESSAGE_MAP()
};
