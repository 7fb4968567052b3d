// The "ComboBox" control.
#pragma once

#include "platform/framework/CString.h"
#include "platform/framework/CWnd.h"
#include "platform/ui/controls/ComboBox.h"

class QV_PLATFORM_API CComboBox : public CWnd {
 public:
  // The height of `rect` is the field's and the dropped list's together.
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  int GetCount() const { return Int(CB_GETCOUNT); }
  int GetCurSel() const { return Int(CB_GETCURSEL); }
  int SetCurSel(int index) { return Int(CB_SETCURSEL, static_cast<WPARAM>(index)); }
  int GetTopIndex() const { return Int(CB_GETTOPINDEX); }
  int SetTopIndex(int index) { return Int(CB_SETTOPINDEX, static_cast<WPARAM>(index)); }
  DWORD_PTR GetItemData(int index) const { return static_cast<DWORD_PTR>(SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index))); }
  int SetItemData(int index, DWORD_PTR data) { return Int(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)); }
  void* GetItemDataPtr(int index) const { return reinterpret_cast<void*>(GetItemData(index)); }
  int SetItemDataPtr(int index, void* data) { return SetItemData(index, reinterpret_cast<DWORD_PTR>(data)); }
  // `out` must hold GetLBTextLen(index) + 1 characters.
  int GetLBText(int index, LPTSTR out) const { return Int(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(out)); }
  void GetLBText(int index, CString& out) const;
  int GetLBTextLen(int index) const { return Int(CB_GETLBTEXTLEN, static_cast<WPARAM>(index)); }
  int AddString(LPCTSTR text) { return Int(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)); }
  int DeleteString(UINT index) { return Int(CB_DELETESTRING, index); }
  int InsertString(int index, LPCTSTR text) { return Int(CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)); }
  void ResetContent() { SendMessage(CB_RESETCONTENT); }
  int FindString(int start, LPCTSTR text) const { return Int(CB_FINDSTRING, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text)); }
  int FindStringExact(int start, LPCTSTR text) const { return Int(CB_FINDSTRINGEXACT, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text)); }
  int SelectString(int start, LPCTSTR text) { return Int(CB_SELECTSTRING, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(text)); }
  void ShowDropDown(BOOL show = TRUE) { SendMessage(CB_SHOWDROPDOWN, static_cast<WPARAM>(show)); }
  BOOL GetDroppedState() const { return static_cast<BOOL>(SendMessage(CB_GETDROPPEDSTATE)); }
  void GetDroppedControlRect(LPRECT rect) const { SendMessage(CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(rect)); }
  int SetExtendedUI(BOOL extended = TRUE) { return Int(CB_SETEXTENDEDUI, static_cast<WPARAM>(extended)); }
  BOOL GetExtendedUI() const { return static_cast<BOOL>(SendMessage(CB_GETEXTENDEDUI)); }
  int SetDroppedWidth(UINT width) { return Int(CB_SETDROPPEDWIDTH, width); }
  int GetDroppedWidth() const { return Int(CB_GETDROPPEDWIDTH); }
  int SetItemHeight(int index, UINT height) { return Int(CB_SETITEMHEIGHT, static_cast<WPARAM>(index), static_cast<LPARAM>(height)); }
  int GetItemHeight(int index) const { return Int(CB_GETITEMHEIGHT, static_cast<WPARAM>(index)); }

 private:
  int Int(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return static_cast<int>(SendMessage(message, wParam, lParam));
  }
};
