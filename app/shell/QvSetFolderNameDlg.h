// The small dialog that asks for a folder's name (template 101, 400 x 160
// pixels, centred in its parent). The kinds of folder it names check the
// name in their own OnOK.
#pragma once

#include <string>

#include "app/foundation/QvUnFullScreenDlg.h"
#include "app/protocol/WindowMessages.h"

class QvSetFolderNameDlg : public QvUnFullScreenDlg {
 public:
  static constexpr UINT kTemplateId = 101;
  static constexpr int kNameField = 1052;
  static constexpr int kWidth = 400;
  static constexpr int kHeight = 160;
  static constexpr int kMargin = 8;

  explicit QvSetFolderNameDlg(CWnd* parent);

  // The caption from a resource string; 0 keeps the template's.
  void SetCaptionId(UINT stringId) { captionId_ = stringId; }
  void SetName(const std::wstring& name) { name_ = name; }
  const std::wstring& Name() const { return name_; }

  BOOL OnInitDialog() override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // The name field's text as it stands.
  std::wstring FieldText() const;
  // Warns with the string, selects the whole name and keeps the dialog.
  void Refuse(UINT stringId);
  // The prompt and the field across the dialog, whatever the template's units give.
  void FitControls();
  // Centred in the parent again after the screen turned; on the screen
  // when the parent does not hold it.
  void Recentre();

  std::wstring name_;

 private:
  UINT captionId_ = 0;
};
