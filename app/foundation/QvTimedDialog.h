// A dialog that answers IDOK by itself when its timer runs out: the drawn
// message box and the saved notice.
#pragma once

#include "platform/framework/CDialog.h"

class QvTimedDialog : public CDialog {
 public:
  using CDialog::CDialog;

 protected:
  // `tenths` of a second; nothing for 0 or less.
  void StartAnswerTimer(int tenths);
  void StopAnswerTimer();
  afx_msg void OnTimer(UINT_PTR id);

  DECLARE_MESSAGE_MAP()
};
