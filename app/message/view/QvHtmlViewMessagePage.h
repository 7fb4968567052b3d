// The decorated reading page (template 125): the HTML body in the HTML edit
// control in reading mode. Inline parts that are not pictures the control
// shows go into the attachment list; "Open in browser" writes only what the
// control keeps of the HTML (no script, no active content, no remote source).
#pragma once

#include "app/message/richedit/QvHtmlBodyCtrl.h"
#include "app/message/view/QvViewMessagePage.h"

class QvHtmlViewMessagePage : public QvViewMessagePage {
 public:
  static constexpr int kBodyLimit = 102400;
  explicit QvHtmlViewMessagePage(QvMessageRecord* record);
  ~QvHtmlViewMessagePage() override;

  BOOL OnInitDialog() override;
  void ReloadPage(int a, int b) override;
  void ShowMessage(uint32_t id) override;
  void SetBodyText(int a) override;

  // Moves every inline part the control does not show into the attachment
  // list (at most 256 entries in all; a cut is told).
  void MoveInlinePartsToAttachments();
  // Writes the sanitised HTML with its pictures into "_Browser" and opens
  // it; the written file's path in `written` when given.
  bool OpenInBrowser(std::wstring* written = nullptr);
  QvHtmlBodyCtrl& BodyView() { return m_view; }
  int AttachmentCountBefore() const { return m_attachmentCountBefore; }

 protected:
  int CurrentBodyLink(CString& target) override;
  CString BodySelection() override;
  // Warns when the mail has no attachments of its own, else asks.
  bool AskRemoveAttachments() override;
  bool BodyLinksComposeAsMailto() const override { return true; }
  afx_msg void OnOpenInBrowser();
  afx_msg void OnSaveTemplate();
  afx_msg LRESULT OnPartDropped(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnPartsChanged(WPARAM wParam, LPARAM lParam);
  void LoadHtml();

 private:
  QvHtmlBodyCtrl m_view;
  int m_lastLineCount = 0;
  int m_attachmentCountBefore = 0;

  DECLARE_MESSAGE_MAP()
};
