// One line of the batch receive's result page: the account's name (cut with
// an ellipsis when it does not fit) and its result beside it, the result
// always whole at the right.
#pragma once

#include "app/foundation/QvStaticLine.h"
#include "platform/framework/CWnd.h"

class QvStaticResult : public CWnd {
 public:
  QvStaticResult() = default;
  ~QvStaticResult() override;

  // Takes over the page's control `id` (its place and font) and makes the two
  // parts with their texts.
  BOOL Bind(CWnd* page, UINT id, LPCWSTR name, LPCWSTR result);
  // Lays the two parts out within the line's width.
  void Layout();
  // The line's height in the page's font.
  int LineHeight() const { return height_; }
  QvStaticLine& NamePart() { return name_; }
  QvStaticLine& ResultPart() { return result_; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  QvStaticLine name_;
  QvStaticLine result_;
  SIZE nameSize_{};
  SIZE resultSize_{};
  int height_ = 0;
};
