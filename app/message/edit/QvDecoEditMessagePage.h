// The decorated compose page (template 125): the body is the HTML edit
// control. Besides the plain page's work it applies decorations, keeps the
// decoration state the tool page shows, checks every picture put into the
// body against the mail's limits, and applies and saves HTML templates.
#pragma once

#include "app/message/edit/QvEditMessagePage.h"

class QvHtmlBodyCtrl;
class CStateDisplayDecorationBar;
struct QvDecorationState;
struct NMHDR;

class QvDecoEditMessagePage : public QvEditMessagePage {
 public:
  static constexpr UINT kTemplate = 125;
  static constexpr int kBodyLimit = 10240;
  static constexpr int kMaxInlineImages = 20;
  static constexpr uint64_t kMaxImageBytes = 102400;
  static constexpr DWORD kDefaultFormatMask = 0xF3BF;

  static constexpr UINT kTooLargeText = 20178;
  static constexpr UINT kImageQuestion = 20179;
  static constexpr UINT kImageRefused = 20180;
  static constexpr UINT kImageSizeText = 20181;
  static constexpr UINT kCarrierImageSizeText = 20200;
  static constexpr UINT kClearAllQuestion = 20195;
  static constexpr UINT kTemplateQuestion = 20196;
  static constexpr UINT kSizeCaption = 20205;
  static constexpr UINT kColorCaption = 20206;

  // Answers of the picture size question.
  enum ImageCheck : int { kNotAsked = 0, kRefused = 1, kAllowed = 2 };

  explicit QvDecoEditMessagePage(QvMessageRecord* record);
  ~QvDecoEditMessagePage() override;

  void AddAttachments() override;
  void PasteText() override;
  void InsertSignature() override;
  bool AllowPictographs(int inBody) override;
  BOOL CheckSizeLimits() override;
  BOOL CheckBeforeSend(int value, QvToolPage* toolPage) override;
  uint64_t GetAttachmentTotals(int* count) override;
  void SetBodyText(int a) override;
  void LoadPageMenu() override;

  // The tool page hands over its decoration bar and the state it shows.
  void TakeDecorationTools(CStateDisplayDecorationBar* bar, QvDecorationState* state, int value);
  // The palette closed (from the tool page); `a` and `b` as the bar's click passed them.
  void CloseDecoration(int a, int b);
  // Whether a picture of `fileSize` bytes may go into the body now; asks
  // and warns as the limits say. False refuses it.
  // `fresh` is the inline part the editor's insert added for it (not yet
  // counted), -1 when none.
  bool CheckImageInsert(DWORD fileSize, int fresh = -1);
  int ImageCheckState() const { return m_imageCheckState; }
  QvHtmlBodyCtrl* HtmlBody() const;
  // The editor's HTML text.
  CString HtmlText() const;
  // A chosen template replaces the attachments, the body and its pictures.
  void ApplyTemplate(const QvMessageRecord& chosen);
  // The pictures the editor names by their path are named by their content
  // id in `html`; the inline files the text refers to stay, the others go.
  void CollectInlineFiles(CString& html);

  BOOL OnInitDialog() override;

 protected:
  void ReplaceBodySelection(const CString& text) override;
  int BodyLength() const override;
  // The inline parts' bytes and count, without the part `except`.
  uint64_t InlineBytes(int* count, int except = -1) const;
  UINT ImageSizeMessage() const;
  void SetCharFormat(DWORD mask, int size, COLORREF color, DWORD attributes);
  void DecorationChanged(bool relayout);
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  void ReportFormat(const NMHDR* header);

  afx_msg void OnAttributeCommand(UINT id);
  afx_msg void OnFontSize(UINT id);
  afx_msg void OnFontSizePad();
  afx_msg void OnTextColor();
  afx_msg void OnParagraph(UINT id);
  afx_msg void OnAlignment(UINT id);
  afx_msg void OnInsertRule();
  afx_msg void OnInsertImage();
  afx_msg void OnDefaultFormat();
  afx_msg void OnClearAllFormats();
  afx_msg void OnPreview();
  afx_msg void OnApplyTemplate();
  afx_msg void OnSaveTemplate();
  afx_msg void OnShowDecorationBar();
  afx_msg void OnFieldFocus(UINT id);
  afx_msg void OnBodyFocus();
  afx_msg void OnUpdateDecoration(CCmdUI* ui);

  std::unique_ptr<QvHtmlBodyCtrl> m_html;
  int m_imageCheckState = kNotAsked;
  int m_loadingHtml = 0;
  QvDecorationState* m_decoState = nullptr;
  CStateDisplayDecorationBar* m_decoBar = nullptr;
  int m_decoValue = 0;
  // The inline part the editor's current insert added (-1 none).
  int m_freshPart = -1;

  DECLARE_MESSAGE_MAP()
};
