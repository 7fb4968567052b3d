// The pen colour pad of the handwriting page.
#pragma once

#include "app/message/deco/QvBaseColorPadDlg.h"

class QvTegakiColorPadDlg : public QvBaseColorPadDlg {
 public:
  explicit QvTegakiColorPadDlg(CWnd* parent) : QvBaseColorPadDlg(ColorTable(), parent) {}
  // The 24 pen colours; the handwriting state bar knows exactly these.
  static const QvBaseColorPadDlg::Table& ColorTable();
};
