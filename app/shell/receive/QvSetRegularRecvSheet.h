// The option settings behind the settings launcher: the periodic receive
// page, then the round receive page.
#pragma once

#include "app/shell/receive/QvSetRegularRecvPage.h"
#include "app/shell/receive/QvSetSysRoundRecvPage.h"
#include "platform/framework/CPropertySheet.h"

class QvSetRegularRecvSheet : public CPropertySheet {
 public:
  explicit QvSetRegularRecvSheet(CWnd* parent = nullptr);

  QvSetRegularRecvPage& RegularPage() { return regular_; }
  QvSetSysRoundRecvPage& RoundPage() { return round_; }

 private:
  QvSetRegularRecvPage regular_;
  QvSetSysRoundRecvPage round_;
};
