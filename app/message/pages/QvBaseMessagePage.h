// The base of the text pages (reading and composing): the mail header form
// (labelled rows for date, From, To, Cc, Bcc, subject and attachments) above
// the body view, with one shared font. Header and body scroll as one tall
// form: the page scrolls the header away first and then the body's own
// lines, so the body itself never scrolls while the header shows. It also
// keeps the HTML body's inline images and the record in step and saves the
// message as an HTML template.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/message/pages/QvMessagePage.h"
#include "platform/framework/CGdiObject.h"
#include "platform/kernel/Time.h"

class QvToolPage;
struct NMHTMLEDIT;

class QvBaseMessagePage : public QvMessagePage {
 public:
  // The header rows, top to bottom.
  enum Row { kDateRow, kFromRow, kToRow, kCcRow, kBccRow, kSubjectRow, kAttachRow, kRowCount };
  static constexpr int kLabelIds[kRowCount] = {1118, 1020, 1023, 1012, 1011, 1022, 1010};
  static constexpr int kFieldIds[kRowCount] = {1119, 1049, 1071, 1046, 1045, 1069, 1074};
  static constexpr int kRuleIds[3] = {1102, 1095, 1103};
  static constexpr int kBodyId = 1070;
  static constexpr UINT kAccelerators = 147;
  // Timers: the selection drag (100 ms) and the caret kept in view after a key.
  static constexpr UINT_PTR kDragTimer = 1;
  static constexpr UINT_PTR kCaretTimer = 2;

  // `body` is the body view the subclass made (not owned here); its window
  // is the template's control 1070.
  QvBaseMessagePage(UINT templateId, QvMessageRecord* record, CWnd* body);
  ~QvBaseMessagePage() override;

  // Slots after the page interface.
  // Focuses the body (or the control named) and scrolls the caret into view.
  virtual void FocusBody(int a, int b);
  // Used by the handwriting pages only.
  virtual void HandwritingHook();
  // Byte total of what the message carries inline; `count` gets the number of parts.
  virtual uint64_t GetAttachmentTotals(int* count);
  // The caret's rectangle in page client coordinates (focused header field or body).
  virtual BOOL GetCaretRect(RECT* rect);
  virtual void BeforeFill(int a, int b) = 0;
  virtual void FillFromRecord(int a, int b);
  virtual void RefreshAttachments();
  virtual void SetBodyText(int a);
  virtual void ClearFields();
  virtual void ClearAttachments();

  BOOL OnInitDialog() override;
  BOOL PreTranslateMessage(MSG* msg) override;

  // The form's vertical scroll: header pixels scrolled away plus the body's
  // hidden lines times the line height.
  int ScrollPosition() const { return m_scrollPos; }
  int ScrollRange() const { return m_scrollRange; }
  int HeaderHeight() const { return m_headerHeight; }
  int LineHeight() const { return m_lineHeight; }
  // The label column's width (the From label's text width).
  int LabelWidth() const { return m_labelWidth; }
  // A row's controls, null when the template has none.
  CWnd* Label(Row row) const { return m_labels[row].get(); }
  CWnd* Field(Row row) const { return m_fields[row].get(); }
  CWnd* Body() const { return m_body; }

  // Inline images of an HTML body. `source` "cid:x" becomes x's temporary
  // file path; true when `buffer` (HTMLEDIT_MAXPATH + 1) was filled.
  bool ResolveInlineSource(const wchar_t* source, wchar_t* buffer, int bufferChars) const;
  // An image file put into the body: its content id (kept or made), as
  // "cid:..." in `buffer`.
  bool InsertInlineImage(const wchar_t* path, wchar_t* buffer, int bufferChars);
  // Removes the inline files that are not GIF or JPEG, and all past the
  // first `limit`; their paths go to `removed` when given.
  void TrimInlineImages(int limit, CStringArray* removed);
  // The content id made for a new inline image: the time, the tick count,
  // the number of inline files so far and the sender's domain, at most 63 characters.
  static std::wstring MakeContentId(const SYSTEMTIME& time, DWORD tick, size_t count, const std::wstring& sender);

  // Result of saving as an HTML template.
  enum class TemplateSave { kSaved, kTooLarge, kFailed, kCancelled };
  // Checks the limits, asks for the destination and saves; tells the user.
  TemplateSave SaveAsHtmlTemplate();
  // Writes the template beside `path`, checks its size, then replaces `path`:
  // a template already there is kept when the new one fails or is too large.
  static TemplateSave WriteHtmlTemplate(const QvMessageRecord& record, const std::wstring& path);
  // The destination chooser; a test replaces it. Empty: cancelled.
  static void SetTemplatePathChooser(std::wstring (*chooser)(CWnd* owner));

 protected:
  // Lets a subclass give a row its own control classes before the dialog
  // is made (the page subclasses the template's controls with them).
  void SetRowControls(Row row, std::unique_ptr<CWnd> label, std::unique_ptr<CWnd> field);
  // Lays the header out again and sizes the body; `keepCaret` keeps the caret in view.
  void Layout(bool keepCaret);
  void ScrollTo(int position);
  void ScrollCaretIntoView();
  // The field the focus is in (a header field or the body), or -1 / kRowCount for the body.
  int FocusedRow() const;
  void MoveFieldFocus(bool previous);

  afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg void OnMouseMove(UINT flags, CPoint point);
  afx_msg void OnDestroy();
  afx_msg void OnBodyHeightChanged();
  afx_msg void OnBodyNotifyRange(UINT id, NMHDR* header, LRESULT* result);
  afx_msg LRESULT OnDocumentError(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnPageFlag(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnFieldStep(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnLayoutKeepCaret(WPARAM wParam, LPARAM lParam);
  afx_msg void OnSelectAll();

  CFont m_font;
  HACCEL m_accel = nullptr;
  int m_inLayout = 0;
  std::unique_ptr<CWnd> m_labels[kRowCount];
  std::unique_ptr<CWnd> m_fields[kRowCount];
  CWnd m_rules[3];
  CWnd* m_body = nullptr;
  uint16_t m_menuId = 0;
  int m_lastSize[2] = {-1, -1};
  POINT m_mousePoint{0, 0};
  int m_keepCaret = 0;
  int m_pageFlag = 0;

  int m_labelWidth = 0;
  int m_lineHeight = 0;
  int m_headerHeight = 0;
  int m_scrollPos = 0;
  int m_scrollRange = 0;

  DECLARE_MESSAGE_MAP()
};
