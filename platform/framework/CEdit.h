// The "Edit" control and the rich edit control ("RICHEDIT50W", whose
// provider the program loads as "riched20.dll") in their plain-text use.
#pragma once

#include "platform/framework/CWnd.h"

class QV_PLATFORM_API CEdit : public CWnd {
 public:
  using CWnd::Create;
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

  DWORD GetSel() const { return static_cast<DWORD>(SendMessage(EM_GETSEL)); }
  void GetSel(int& start, int& end) const;
  void SetSel(DWORD selection, BOOL noScroll = FALSE) { SetSel(LOWORD(selection), HIWORD(selection), noScroll); }
  void SetSel(int start, int end, BOOL noScroll = FALSE);
  void ReplaceSel(LPCTSTR text, BOOL canUndo = FALSE) {
    SendMessage(EM_REPLACESEL, static_cast<WPARAM>(canUndo), reinterpret_cast<LPARAM>(text));
  }
  void Clear() { SendMessage(WM_CLEAR); }
  void Copy() { SendMessage(WM_COPY); }
  void Cut() { SendMessage(WM_CUT); }
  void Paste() { SendMessage(WM_PASTE); }
  BOOL Undo() { return static_cast<BOOL>(SendMessage(EM_UNDO)); }
  BOOL CanUndo() const { return static_cast<BOOL>(SendMessage(EM_CANUNDO)); }
  void EmptyUndoBuffer() { SendMessage(EM_EMPTYUNDOBUFFER); }
  BOOL GetModify() const { return static_cast<BOOL>(SendMessage(EM_GETMODIFY)); }
  void SetModify(BOOL modified = TRUE) { SendMessage(EM_SETMODIFY, static_cast<WPARAM>(modified)); }
  BOOL SetReadOnly(BOOL readOnly = TRUE) { return static_cast<BOOL>(SendMessage(EM_SETREADONLY, static_cast<WPARAM>(readOnly))); }
  void SetLimitText(UINT limit) { SendMessage(EM_LIMITTEXT, limit); }
  void LimitText(int limit = 0) { SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(limit)); }
  UINT GetLimitText() const { return static_cast<UINT>(SendMessage(EM_GETLIMITTEXT)); }
  void SetPasswordChar(TCHAR ch) { SendMessage(EM_SETPASSWORDCHAR, static_cast<WPARAM>(ch)); }
  TCHAR GetPasswordChar() const { return static_cast<TCHAR>(SendMessage(EM_GETPASSWORDCHAR)); }
  int GetLineCount() const { return static_cast<int>(SendMessage(EM_GETLINECOUNT)); }
  int LineIndex(int line = -1) const { return static_cast<int>(SendMessage(EM_LINEINDEX, static_cast<WPARAM>(line))); }
  int LineFromChar(int index = -1) const {
    return static_cast<int>(SendMessage(EM_LINEFROMCHAR, static_cast<WPARAM>(index)));
  }
  int LineLength(int index = -1) const {
    return static_cast<int>(SendMessage(EM_LINELENGTH, static_cast<WPARAM>(index)));
  }
  // Copies at most `maxLength` characters of the line, without a zero.
  int GetLine(int line, LPTSTR buffer, int maxLength) const;
  int GetFirstVisibleLine() const { return static_cast<int>(SendMessage(EM_GETFIRSTVISIBLELINE)); }
  void LineScroll(int lines, int chars = 0) { SendMessage(EM_LINESCROLL, static_cast<WPARAM>(chars), lines); }
  void GetRect(LPRECT rect) const { SendMessage(EM_GETRECT, 0, reinterpret_cast<LPARAM>(rect)); }
  void SetRect(LPCRECT rect) { SendMessage(EM_SETRECT, 0, reinterpret_cast<LPARAM>(rect)); }
  CPoint PosFromChar(UINT index) const;
  int CharFromPos(CPoint point) const {
    return static_cast<int>(SendMessage(EM_CHARFROMPOS, 0, MAKELPARAM(point.x, point.y)));
  }
};

class QV_PLATFORM_API CRichEditCtrl : public CWnd {
 public:
  using CWnd::Create;
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

  void GetSel(CHARRANGE& range) const { SendMessage(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range)); }
  void GetSel(long& start, long& end) const;
  void SetSel(CHARRANGE& range) { SendMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range)); }
  void SetSel(long start, long end);
  void ReplaceSel(LPCTSTR text, BOOL canUndo = FALSE) {
    SendMessage(EM_REPLACESEL, static_cast<WPARAM>(canUndo), reinterpret_cast<LPARAM>(text));
  }
  CString GetSelText() const;
  long GetTextLength() const { return static_cast<long>(SendMessage(WM_GETTEXTLENGTH)); }
  void LimitText(long limit = 0) { SendMessage(EM_EXLIMITTEXT, 0, limit); }
  long GetLimitText() const { return static_cast<long>(SendMessage(EM_GETLIMITTEXT)); }
  long LineFromChar(long index) const { return static_cast<long>(SendMessage(EM_EXLINEFROMCHAR, 0, index)); }
  int LineIndex(int line = -1) const { return static_cast<int>(SendMessage(EM_LINEINDEX, static_cast<WPARAM>(line))); }
  int GetLineCount() const { return static_cast<int>(SendMessage(EM_GETLINECOUNT)); }
  int GetFirstVisibleLine() const { return static_cast<int>(SendMessage(EM_GETFIRSTVISIBLELINE)); }
  void GetRect(LPRECT rect) const { SendMessage(EM_GETRECT, 0, reinterpret_cast<LPARAM>(rect)); }
  BOOL LineScroll(int lines, int chars = 0) {
    return static_cast<BOOL>(SendMessage(EM_LINESCROLL, static_cast<WPARAM>(chars), lines));
  }
  DWORD GetEventMask() const { return static_cast<DWORD>(SendMessage(EM_GETEVENTMASK)); }
  DWORD SetEventMask(DWORD mask) { return static_cast<DWORD>(SendMessage(EM_SETEVENTMASK, 0, static_cast<LPARAM>(mask))); }
  UINT GetTextMode() const { return static_cast<UINT>(SendMessage(EM_GETTEXTMODE)); }
  BOOL SetTextMode(UINT mode) { return SendMessage(EM_SETTEXTMODE, mode) == 0; }
  BOOL SetReadOnly(BOOL readOnly = TRUE) { return static_cast<BOOL>(SendMessage(EM_SETREADONLY, static_cast<WPARAM>(readOnly))); }
  void PasteSpecial(UINT format) { SendMessage(EM_PASTESPECIAL, format); }
  BOOL CanPaste() const { return static_cast<BOOL>(SendMessage(EM_CANPASTE)); }
  BOOL CanUndo() const { return static_cast<BOOL>(SendMessage(EM_CANUNDO)); }
  BOOL Undo() { return static_cast<BOOL>(SendMessage(EM_UNDO)); }
  BOOL Redo() { return static_cast<BOOL>(SendMessage(EM_REDO)); }
  void Copy() { SendMessage(WM_COPY); }
  void Cut() { SendMessage(WM_CUT); }
  void Paste() { SendMessage(WM_PASTE); }
  void Clear() { SendMessage(WM_CLEAR); }
  BOOL GetModify() const { return static_cast<BOOL>(SendMessage(EM_GETMODIFY)); }
  void SetModify(BOOL modified = TRUE) { SendMessage(EM_SETMODIFY, static_cast<WPARAM>(modified)); }
  CPoint GetCharPos(long index) const;
  int CharFromPos(CPoint point) const;
  COLORREF SetBackgroundColor(BOOL system, COLORREF color) {
    return static_cast<COLORREF>(SendMessage(EM_SETBKGNDCOLOR, static_cast<WPARAM>(system), static_cast<LPARAM>(color)));
  }
  void HideSelection(BOOL hide) { SendMessage(EM_HIDESELECTION, static_cast<WPARAM>(hide)); }
  BOOL SetTargetDevice(HDC dc, long lineWidth) {
    return static_cast<BOOL>(SendMessage(EM_SETTARGETDEVICE, reinterpret_cast<WPARAM>(dc), lineWidth));
  }
};
