// The decorated body: the common body behaviour over the HTML edit control
// ("HtmlEditCtrl"), whose caret, links and text are reached through its
// private messages.
#pragma once

#include "app/message/richedit/QvMailRichEditCtrl.h"

// What a link of a decorated body is. Web links count only over http or
// https; every other scheme, a path or "file:" is none (0) and never opens.
enum HtmlLinkKind { kHtmlLinkNone = 0, kHtmlLinkMail = 1, kHtmlLinkWeb = 2, kHtmlLinkTel = 3, kHtmlLinkImage = 6 };
HtmlLinkKind ClassifyHtmlLink(const wchar_t* target);

class QvHtmlBodyCtrl : public QvMailRichEditCtrl {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) override;

  // The focused link's address in `text` and its kind.
  HtmlLinkKind GetCurrentLink(CString& text);
  // The link at a character: its address and kind.
  HtmlLinkKind GetLinkAtChar(int index, CString& text);
  bool SelectLink(int index);
  bool SelectLastLink();
  // Client rectangle of the focused link; false when none is focused.
  bool GetLinkRect(RECT& rect);
  void GetPlainText(CString& out);
  void GetHtmlSel(long& start, long& end);
  int ReadOnlyMode() const { return readOnlyMode_; }

  void GetCaretRect(RECT& rect) override;
  void CaretToFirstVisibleLine() override;
  void CaretToEnd() override;
  bool MoveToLink(bool forward) override;
  void OnAreaBegin() override;
  void OnAreaEnd() override;

 private:
  int readOnlyMode_ = 1;
};
