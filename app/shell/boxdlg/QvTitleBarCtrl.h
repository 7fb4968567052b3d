// The 46-pixel strip at the top of every box screen: the screen's title on
// the left and, unless hidden, a count ("%d件") on the right, over a rule
// along the bottom.
#pragma once

#include "platform/framework/CGdiObject.h"
#include "platform/framework/CStatic.h"

class QvTitleBarCtrl : public CStatic {
 public:
  static constexpr int kHeight = 46;

  QvTitleBarCtrl();

  void SetTitle(LPCTSTR title);
  // Each repaints.
  void SetCount(int count);
  void HideCount();
  void ShowCount();
  int GetCount() const { return count_; }
  bool IsCountShown() const { return showCount_; }

 protected:
  afx_msg void OnPaint();
  afx_msg BOOL OnEraseBkgnd(CDC* dc);
  DECLARE_MESSAGE_MAP()

 private:
  int count_ = 0;
  int background_;  // system colour indexes
  int ink_;
  int thickness_;
  bool showCount_ = true;
  CFont font_;
};
