// Dialog data exchange and validation: DoDataExchange moves values between
// members and controls (UpdateData(FALSE) fills the controls, TRUE reads
// and checks them). A value that does not parse or is out of range gets
// the framework's message, the focus goes to the control (its text
// selected, for an edit field), and the exchange stops.
#pragma once

#include "platform/framework/CString.h"

class CWnd;

class QV_PLATFORM_API CDataExchange {
 public:
  CDataExchange(CWnd* dlgWnd, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dlgWnd) {}

  // The control of `id`, remembered as the one a failure points at.
  HWND PrepareCtrl(int id);
  HWND PrepareEditCtrl(int id);
  // Puts the focus on the last prepared control and throws CUserException.
  [[noreturn]] void Fail();

  BOOL m_bSaveAndValidate;
  CWnd* m_pDlgWnd;
  int m_idLastControl = 0;
  BOOL m_bEditLastControl = FALSE;
};

QV_PLATFORM_API void DDX_Text(CDataExchange* dx, int id, CString& value);
QV_PLATFORM_API void DDX_Text(CDataExchange* dx, int id, int& value);
QV_PLATFORM_API void DDX_Text(CDataExchange* dx, int id, UINT& value);
QV_PLATFORM_API void DDX_Text(CDataExchange* dx, int id, BYTE& value);
// BST_ state of a check box.
QV_PLATFORM_API void DDX_Check(CDataExchange* dx, int id, int& value);
// The index of the checked radio button of the group `id` starts, -1 for none.
QV_PLATFORM_API void DDX_Radio(CDataExchange* dx, int id, int& value);
// The selected line of a combo box or list box, -1 for none; -1 given clears
// the selection.
QV_PLATFORM_API void DDX_CBIndex(CDataExchange* dx, int id, int& index);
QV_PLATFORM_API void DDX_LBIndex(CDataExchange* dx, int id, int& index);
// The text of the selected line (empty for none). Filling selects the first
// line that starts with `value`, ignoring case; the Exact forms take only a
// whole line. A value no line matches leaves the selection as it was.
QV_PLATFORM_API void DDX_CBString(CDataExchange* dx, int id, CString& value);
QV_PLATFORM_API void DDX_CBStringExact(CDataExchange* dx, int id, CString& value);
QV_PLATFORM_API void DDX_LBString(CDataExchange* dx, int id, CString& value);
QV_PLATFORM_API void DDX_LBStringExact(CDataExchange* dx, int id, CString& value);
// Subclasses the control into `control` the first time.
QV_PLATFORM_API void DDX_Control(CDataExchange* dx, int id, CWnd& control);

QV_PLATFORM_API void DDV_MaxChars(CDataExchange* dx, const CString& value, int maxChars);
QV_PLATFORM_API void DDV_MinMaxInt(CDataExchange* dx, int value, int minValue, int maxValue);
QV_PLATFORM_API void DDV_MinMaxUInt(CDataExchange* dx, UINT value, UINT minValue, UINT maxValue);
QV_PLATFORM_API void DDV_MinMaxByte(CDataExchange* dx, BYTE value, BYTE minValue, BYTE maxValue);
inline void DDV_MinMaxDWord(CDataExchange* dx, DWORD value, DWORD minValue, DWORD maxValue) {
  DDV_MinMaxUInt(dx, value, minValue, maxValue);
}
inline void DDV_MinMaxLong(CDataExchange* dx, LONG value, LONG minValue, LONG maxValue) {
  DDV_MinMaxInt(dx, value, minValue, maxValue);
}
