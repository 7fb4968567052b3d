// The read-only view of one classification rule below (or beside) the rule
// list: four labels and beside them the rule's target, destination, header
// and keyword. The values turn grey while the destination folder is gone.
// The labels take 120 pixels, more when the parent's font needs it, so
// that no label wraps; the values start 5 pixels after them.
#pragma once

#include <array>

#include "platform/framework/CStatic.h"
#include "platform/framework/CString.h"
#include "platform/framework/CWnd.h"

class QvClassifyItemView : public CWnd {
 public:
  static constexpr const wchar_t* kClassName = L"QvClassifyItemView";
  static constexpr int kLabelLeft = 5;
  static constexpr int kLabelWidth = 120;
  static constexpr int kValueLeft = 125;
  enum Line { kTarget = 0, kDestination = 1, kHeader = 2, kKeyword = 3, kLines = 4 };

  // A bordered child of `parent` at `rect` with the id given.
  BOOL Create(CWnd* parent, const RECT& rect, UINT id);
  // The four values; `folderGone` draws them grey.
  void SetValues(const std::array<CString, kLines>& values, bool folderGone);
  void Clear() { SetValues({}, false); }

  const CString& Value(int line) const { return values_[static_cast<size_t>(line)]; }
  bool FolderGone() const { return gone_; }
  // The height of one line: the parent's font's.
  int LineHeight() const;
  // Where the value lines start.
  int ValueLeft() const { return valueLeft_; }

 protected:
  afx_msg void OnPaint();
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT type);
  DECLARE_MESSAGE_MAP()

 private:
  CStatic labels_;
  std::array<CString, kLines> values_;
  bool gone_ = false;
  int valueLeft_ = kValueLeft;
};
