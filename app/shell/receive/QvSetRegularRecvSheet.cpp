#include "app/shell/receive/QvSetRegularRecvSheet.h"

QvSetRegularRecvSheet::QvSetRegularRecvSheet(CWnd* parent) : CPropertySheet(L"受信設定", parent) {
  AddPage(&regular_);
  AddPage(&round_);
}
