// Shows a message record's HTML text in the HTML control, its "cid:" pictures
// found in the record's inline files. Mode 1 previews a template (OK takes
// it), mode 0 the decorated edit page's own message.
#pragma once

#include "app/mailops/QvMessageRecord.h"
#include "app/message/richedit/QvHtmlBodyCtrl.h"
#include "platform/framework/CDialog.h"

class QvHtmlPreviewDlg : public CDialog {
 public:
  static constexpr UINT kTemplateId = 139;
  static constexpr int kBodyId = 1070;
  static constexpr UINT kTemplateMenu = 142;
  static constexpr UINT kMessageMenu = 148;
  static constexpr int kTextLimit = 10240;
  enum Mode : int { kMessagePreview = 0, kTemplatePreview = 1 };

  explicit QvHtmlPreviewDlg(CWnd* parent) : CDialog(kTemplateId, parent) {}

  void SetRecord(const QvMessageRecord* record) { record_ = record; }
  void SetMode(int mode) { mode_ = mode; }

  BOOL OnInitDialog() override;

  // The path a reference of the HTML text stands for: a "cid:" reference
  // found among the record's inline files; empty otherwise.
  static std::wstring ResolveReference(const QvMessageRecord& record, const std::wstring& reference);

 protected:
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  QvHtmlBodyCtrl body_;
  const QvMessageRecord* record_ = nullptr;
  int mode_ = kMessagePreview;
  int layout_[2] = {0, 0};
};
