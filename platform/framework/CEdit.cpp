// The edit and rich edit wrappers.
#include "platform/framework/CEdit.h"

#include <algorithm>
#include <vector>

BOOL CEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_EDIT, nullptr, style, rect, parent, id);
}

void CEdit::GetSel(int& start, int& end) const {
  DWORD s = 0;
  DWORD e = 0;
  SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
  start = static_cast<int>(s);
  end = static_cast<int>(e);
}

void CEdit::SetSel(int start, int end, BOOL noScroll) {
  SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end);
  if (!noScroll) SendMessage(EM_SCROLLCARET);
}

int CEdit::GetLine(int line, LPTSTR buffer, int maxLength) const {
  if (!buffer || maxLength <= 0) return 0;
  // The message reads the room from the buffer's first word.
  std::vector<WCHAR> room(static_cast<size_t>(std::max(maxLength, 1)));
  *reinterpret_cast<WORD*>(room.data()) = static_cast<WORD>(std::min(maxLength, 0xFFFF));
  const int n = static_cast<int>(SendMessage(EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(room.data())));
  std::copy_n(room.data(), n, buffer);
  return n;
}

CPoint CEdit::PosFromChar(UINT index) const {
  const LRESULT r = SendMessage(EM_POSFROMCHAR, index);
  return CPoint(GET_X_LPARAM(r), GET_Y_LPARAM(r));
}

BOOL CRichEditCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(RICHEDIT_CLASSW, nullptr, style, rect, parent, id);
}

void CRichEditCtrl::GetSel(long& start, long& end) const {
  CHARRANGE r{};
  GetSel(r);
  start = r.cpMin;
  end = r.cpMax;
}

void CRichEditCtrl::SetSel(long start, long end) {
  CHARRANGE r{static_cast<LONG>(start), static_cast<LONG>(end)};
  SetSel(r);
}

CString CRichEditCtrl::GetSelText() const {
  CHARRANGE r{};
  GetSel(r);
  std::vector<WCHAR> text(static_cast<size_t>(std::max<LONG>(0, r.cpMax - r.cpMin)) + 1, L'\0');
  SendMessage(EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(text.data()));
  return CString(text.data());
}

CPoint CRichEditCtrl::GetCharPos(long index) const {
  POINTL p{};
  SendMessage(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&p), index);
  return CPoint(static_cast<int>(p.x), static_cast<int>(p.y));
}

int CRichEditCtrl::CharFromPos(CPoint point) const {
  POINTL p{point.x, point.y};
  return static_cast<int>(SendMessage(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&p)));
}
