#include "app/message/richedit/QvHtmlBodyCtrl.h"

#include <vector>

#include "app/message/links/QvLinkRangeList.h"
#include "outside/Markwright/HtmlEditCtrl.h"

HtmlLinkKind ClassifyHtmlLink(const wchar_t* target) {
  CString t = target ? target : L"";
  t.Trim();
  if (t.IsEmpty()) return kHtmlLinkNone;
  // A picture of the message's own folder; the view page checks the path.
  if (t.GetLength() > 6 && t.Left(6).CompareNoCase(L"image:") == 0) return kHtmlLinkImage;
  CString argument;
  switch (ClassifyLinkTarget(t.GetString(), argument)) {
    case QvLinkAction::kCompose:
      return kHtmlLinkMail;
    case QvLinkAction::kDial:
      return kHtmlLinkTel;
    case QvLinkAction::kOpenWeb:
      return kHtmlLinkWeb;
    default:
      return kHtmlLinkNone;
  }
}

BOOL QvHtmlBodyCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  if (!CWnd::Create(HTMLEDIT_CLASS, L"", style, rect, parent, id)) return FALSE;
  SendMessage(EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_UPDATE);
  return TRUE;
}

HtmlLinkKind QvHtmlBodyCtrl::GetCurrentLink(CString& text) {
  text.Empty();
  const int length = static_cast<int>(SendMessage(HEM_GETLINKLENGTH));
  if (length <= 0) return kHtmlLinkNone;
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  SendMessage(HEM_GETLINKTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  text = buffer.data();
  return ClassifyHtmlLink(text.GetString());
}

HtmlLinkKind QvHtmlBodyCtrl::GetLinkAtChar(int index, CString& text) {
  std::vector<wchar_t> buffer(HTMLEDIT_MAXLINK + 1);
  text.Empty();
  if (!SendMessage(HEM_LINKATCHAR, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()))) {
    return kHtmlLinkNone;
  }
  text = buffer.data();
  return ClassifyHtmlLink(text.GetString());
}

bool QvHtmlBodyCtrl::SelectLink(int index) { return SendMessage(HEM_SELECTLINK, static_cast<WPARAM>(index)) != 0; }

bool QvHtmlBodyCtrl::SelectLastLink() { return SendMessage(HEM_FOCUSLASTLINK) != 0; }

bool QvHtmlBodyCtrl::GetLinkRect(RECT& rect) {
  SendMessage(HEM_GETLINKRECT, 0, reinterpret_cast<LPARAM>(&rect));
  return !(rect.left == -1 && rect.top == -1 && rect.right == -1 && rect.bottom == -1);
}

void QvHtmlBodyCtrl::GetPlainText(CString& out) {
  const int length = static_cast<int>(SendMessage(HEM_GETTEXTLENGTH));
  std::vector<wchar_t> buffer(static_cast<size_t>(length > 0 ? length : 0) + 1);
  SendMessage(HEM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  out = buffer.data();
}

void QvHtmlBodyCtrl::GetHtmlSel(long& start, long& end) {
  CHARRANGE r{};
  SendMessage(HEM_GETSELECTION, 0, reinterpret_cast<LPARAM>(&r));
  start = r.cpMin;
  end = r.cpMax;
}

void QvHtmlBodyCtrl::GetCaretRect(RECT& rect) {
  const LRESULT size = SendMessage(HEM_GETCARETSIZE);
  POINT at{};
  SendMessage(HEM_GETCARETPOS, 0, reinterpret_cast<LPARAM>(&at));
  rect = {at.x, at.y, at.x + LOWORD(size), at.y + HIWORD(size)};
  ClientToScreen(&rect);
}

void QvHtmlBodyCtrl::CaretToFirstVisibleLine() { SendMessage(HEM_CARETTOTOP); }

void QvHtmlBodyCtrl::CaretToEnd() { SendMessage(HEM_CARETTOEND); }

bool QvHtmlBodyCtrl::MoveToLink(bool forward) {
  RECT shown{};
  GetClientRect(&shown);
  if (SendMessage(HEM_MOVELINKFOCUS, forward ? 0 : 1, reinterpret_cast<LPARAM>(&shown))) return true;
  // No link left that way: the focus goes to the field above.
  if (!forward && PrevWindow()) ::SetFocus(PrevWindow());
  return false;
}

void QvHtmlBodyCtrl::OnAreaBegin() { SendMessage(HEM_SELECTIONMODE, 1); }

void QvHtmlBodyCtrl::OnAreaEnd() { SendMessage(HEM_SELECTIONMODE, 0); }
