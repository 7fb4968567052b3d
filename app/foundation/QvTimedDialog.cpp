#include "app/foundation/QvTimedDialog.h"

#include "platform/framework/MessageMap.h"

namespace {
constexpr UINT_PTR kAnswerTimer = 1;
}

BEGIN_MESSAGE_MAP(QvTimedDialog, CDialog)
  ON_WM_TIMER()
END_MESSAGE_MAP()

void QvTimedDialog::StartAnswerTimer(int tenths) {
  if (tenths > 0) SetTimer(kAnswerTimer, static_cast<UINT>(tenths) * 100u);
}

void QvTimedDialog::StopAnswerTimer() { KillTimer(kAnswerTimer); }

void QvTimedDialog::OnTimer(UINT_PTR id) {
  if (id != kAnswerTimer) {
    CDialog::OnTimer(id);
    return;
  }
  StopAnswerTimer();
  EndDialog(IDOK);
}
