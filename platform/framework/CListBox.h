// The "ListBox" control.
#pragma once

#include "platform/framework/CString.h"
#include "platform/framework/CWnd.h"
#include "platform/ui/controls/ListBox.h"

class QV_PLATFORM_API CListBox : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  int GetCount() const { return Int(LB_GETCOUNT); }
  int GetCurSel() const { return Int(LB_GETCURSEL); }
  int SetCurSel(int index) { return Int(LB_SETCURSEL, static_cast<WPARAM>(index)); }
  int GetTopIndex() const { return Int(LB_GETTOPINDEX); }
  int SetTopIndex(int index) { return Int(LB_SETTOPINDEX, static_cast<WPARAM>(index)); }
  DWORD_PTR GetItemData(int index) const { return static_cast<DWORD_PTR>(SendMessage(LB_GETITEMDATA, static_cast<WPARAM>(index))); }
  int SetItemData(int index, DWORD_PTR data) { return Int(LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)); }
  void* GetItemDataPtr(int index) const { return reinterpret_cast<void*>(GetItemData(index)); }
  int SetItemDataPtr(int index, void* data) { return SetItemData(index, reinterpret_cast<DWORD_PTR>(data)); }
  int GetItemRect(int index, LPRECT rect) const { return Int(LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(rect)); }
  // `out` must hold GetTextLen(index) + 1 characters.
  int GetText(int index, LPTSTR out) const { return Int(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(out)); }
  void GetText(int index, CString& out) const;
  int GetTextLen(int index) const { return Int(LB_GETTEXTLEN, static_cast<WPARAM>(index)); }
  int SetItemHeight(int index, UINT height) { return Int(LB_SETITEMHEIGHT, static_cast<WPARAM>(index), static_cast<LPARAM>(height)); }
  int GetItemHeight(int index) const { return Int(LB_GETITEMHEIGHT, static_cast<WPARAM>(index)); }
  void SetHorizontalExtent(int extent) { SendMessage(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(extent)); }
  int GetHorizontalExtent() const { return Int(LB_GETHORIZONTALEXTENT); }
  int AddString(LPCTSTR text) { return Int(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)); }
  int DeleteString(UINT index) { return Int(LB_DELETESTRING, index); }
  int InsertString(int index, LPCTSTR text) { return Int(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)); }
  void ResetContent() { SendMessage(LB_RESETCONTENT); }
  int FindString(int start, LPCTSTR text) const { return Int(LB_FINDSTRING, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text)); }
  int FindStringExact(int start, LPCTSTR text) const { return Int(LB_FINDSTRINGEXACT, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text)); }
  int SelectString(int start, LPCTSTR text) { return Int(LB_SELECTSTRING, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text)); }

 private:
  int Int(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return static_cast<int>(SendMessage(message, wParam, lParam));
  }
};
