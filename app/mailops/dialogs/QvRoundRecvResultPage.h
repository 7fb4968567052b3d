// The page shown after a batch receive: one line per account (at most ten)
// with what came of it: the count received, aborted, or an error. Two
// columns in landscape.
#pragma once

#include <array>
#include <vector>

#include "app/foundation/QvScrollPage.h"
#include "app/mailops/RunWithProgress.h"
#include "app/mailops/dialogs/QvStaticResult.h"

class QvRoundRecvResultPage : public QvScrollPage {
 public:
  static constexpr UINT kTemplate = 132;
  static constexpr UINT kFirstLineId = 1133;
  static constexpr int kLines = 10;
  static constexpr int kMargin = 20;

  QvRoundRecvResultPage();
  ~QvRoundRecvResultPage() override;

  std::vector<RoundRecvResult>& Results() { return results_; }
  QvStaticResult& Line(int i) { return lines_[static_cast<size_t>(i)]; }

  BOOL OnInitDialog() override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void FillLines();
  void Layout(bool force);

  std::vector<RoundRecvResult> results_;
  std::array<QvStaticResult, kLines> lines_;
  bool portrait_ = true;
  bool relayout_ = false;
};

// The result text of one line: ":中止", ":%d件" or ":エラー".
CString RoundRecvResultText(const RoundRecvResult& result);
