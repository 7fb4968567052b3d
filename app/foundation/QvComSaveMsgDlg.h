// The timed notice after saving: "保存しました" in a small box that closes
// itself (IDOK) when its timer runs out.
#pragma once

#include "app/foundation/QvTimedDialog.h"

constexpr UINT kSaveNoticeTemplate = 286;

class QvComSaveMsgDlg : public QvTimedDialog {
 public:
  // `timer` in tenths of a second.
  QvComSaveMsgDlg(LPCWSTR caption, LPCWSTR text, int timer, CWnd* parent);

  BOOL OnInitDialog() override;

 protected:
  afx_msg void OnPaint();

 private:
  CString caption_;
  CString text_;  // kept, not painted: the notice says what it always says
  int timer_;

  DECLARE_MESSAGE_MAP()
};
