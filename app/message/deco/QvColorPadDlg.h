// The text colour pad of the decorated edit page.
#pragma once

#include "app/message/deco/QvBaseColorPadDlg.h"

class QvColorPadDlg : public QvBaseColorPadDlg {
 public:
  explicit QvColorPadDlg(CWnd* parent) : QvBaseColorPadDlg(ColorTable(), parent) {}
  // The 24 text colours; the decoration bar knows exactly these.
  static const QvBaseColorPadDlg::Table& ColorTable();
};
