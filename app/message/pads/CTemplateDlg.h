// The face-mark pad: a list of template lines; the picked line goes to the
// target window and becomes the pad's result.
#pragma once

#include <string>
#include <vector>

#include "app/message/pads/CBasicPad.h"
#include "app/message/pads/TemplateFile.h"
#include "platform/framework/CListBox.h"

// The list turns Enter into IDOK for its parent.
class CTemplateListBox : public CListBox {
 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

class CTemplateDlg : public CBasicPad {
 public:
  static constexpr UINT kTemplateId = 637;
  static constexpr UINT kMenuId = 178;
  static constexpr int kListId = 1204;
  static constexpr UINT kPickCommand = 40147;

  explicit CTemplateDlg(CWnd* parent) : CBasicPad(kTemplateId, parent) {}

  void SetLines(std::vector<std::wstring> lines) { lines_ = std::move(lines); }
  void SetTarget(CWnd* target) { target_ = target; }
  const std::wstring& PickedText() const { return picked_; }

  BOOL OnInitDialog() override;
  void OnOK() override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Pick();

  std::vector<std::wstring> lines_;
  CTemplateListBox list_;
  std::wstring picked_;
  CWnd* target_ = nullptr;
  int lastIndex_ = -1;
  bool enter_ = false;
};
