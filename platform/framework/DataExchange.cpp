#include "platform/framework/DataExchange.h"

#include <cerrno>
#include <climits>
#include <cwchar>
#include <limits>
#include <string>
#include <type_traits>

#include "platform/framework/AfxStrings.h"
#include "platform/framework/CException.h"
#include "platform/framework/CWinApp.h"
#include "platform/framework/CWnd.h"
#include "platform/ui/controls/ComboBox.h"

namespace {

// Whole text a number of `T`, white space around it allowed; a minus sign
// only for signed types. False for anything else, or outside T's range.
template <class T>
bool ParseNumber(const CString& text, T& out) {
  CString t = text;
  t.Trim();
  if (t.IsEmpty()) return false;
  const bool negative = t[0] == L'-';
  if (negative && !std::is_signed_v<T>) return false;
  const int start = (negative || t[0] == L'+') ? 1 : 0;
  if (start >= t.GetLength()) return false;
  long long value = 0;
  for (int i = start; i < t.GetLength(); ++i) {
    const wchar_t c = t[i];
    if (c < L'0' || c > L'9') return false;
    value = value * 10 + (c - L'0');
    if (value > static_cast<long long>(UINT_MAX) + 1) return false;
  }
  if (negative) value = -value;
  if (value < static_cast<long long>(std::numeric_limits<T>::min()) ||
      value > static_cast<long long>(std::numeric_limits<T>::max())) {
    return false;
  }
  out = static_cast<T>(value);
  return true;
}

template <class T>
void TextNumber(CDataExchange* dx, int id, T& value, LPCTSTR format, UINT failMessage) {
  HWND control = dx->PrepareEditCtrl(id);
  if (!dx->m_bSaveAndValidate) {
    CString text;
    text.Format(format, value);
    SetWindowTextW(control, text);
    return;
  }
  CString text;
  CWnd::FromHandle(control)->GetWindowText(text);
  if (!ParseNumber(text, value)) {
    AfxMessageBox(failMessage, MB_ICONEXCLAMATION);
    dx->Fail();
  }
}

// The framework's range message with the bounds written by `format`.
template <class T>
void FailMinMax(CDataExchange* dx, T minValue, T maxValue, LPCTSTR format, UINT message) {
  if (!dx->m_bSaveAndValidate) return;  // initial data out of range: shown as it is
  CString low, high, prompt;
  low.Format(format, minValue);
  high.Format(format, maxValue);
  AfxFormatString2(prompt, message, low, high);
  AfxMessageBox(prompt, MB_ICONEXCLAMATION, message);
  dx->Fail();
}

}  // namespace

HWND CDataExchange::PrepareCtrl(int id) {
  HWND control = ::GetDlgItem(m_pDlgWnd->m_hWnd, id);
  if (!control) AfxThrowNotSupportedException();
  m_idLastControl = id;
  m_bEditLastControl = FALSE;
  return control;
}

HWND CDataExchange::PrepareEditCtrl(int id) {
  HWND control = PrepareCtrl(id);
  m_bEditLastControl = TRUE;
  return control;
}

void CDataExchange::Fail() {
  if (m_bSaveAndValidate && m_idLastControl) {
    HWND control = ::GetDlgItem(m_pDlgWnd->m_hWnd, m_idLastControl);
    ::SetFocus(control);
    if (m_bEditLastControl) ::SendMessageW(control, EM_SETSEL, 0, -1);
  }
  AfxThrowUserException();
}

void DDX_Text(CDataExchange* dx, int id, CString& value) {
  HWND control = dx->PrepareEditCtrl(id);
  if (dx->m_bSaveAndValidate) CWnd::FromHandle(control)->GetWindowText(value);
  else SetWindowTextW(control, value);
}

void DDX_Text(CDataExchange* dx, int id, int& value) { TextNumber(dx, id, value, L"%d", AFX_IDP_PARSE_INT); }
void DDX_Text(CDataExchange* dx, int id, UINT& value) { TextNumber(dx, id, value, L"%u", AFX_IDP_PARSE_UINT); }

void DDX_Text(CDataExchange* dx, int id, BYTE& value) {
  UINT wide = value;
  TextNumber(dx, id, wide, L"%u", AFX_IDP_PARSE_BYTE);
  if (wide > 255) {
    AfxMessageBox(AFX_IDP_PARSE_BYTE, MB_ICONEXCLAMATION);
    dx->Fail();
  }
  value = static_cast<BYTE>(wide);
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
  HWND control = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) value = static_cast<int>(SendMessageW(control, BM_GETCHECK, 0, 0));
  else SendMessageW(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
  HWND control = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) value = -1;
  // The group runs from `id` to the next control that starts a group.
  int index = 0;
  for (HWND c = control; c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    if (c != control && (static_cast<DWORD>(GetWindowLongW(c, GWL_STYLE)) & WS_GROUP)) break;
    if (!(SendMessageW(c, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)) continue;
    if (dx->m_bSaveAndValidate) {
      if (SendMessageW(c, BM_GETCHECK, 0, 0) != BST_UNCHECKED) value = index;
    } else {
      SendMessageW(c, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    ++index;
  }
}

namespace {

// The messages of one kind of list control.
struct ListMessages {
  UINT getCurSel, setCurSel, getText, getTextLen, selectString, findStringExact;
};
constexpr ListMessages kComboMessages{CB_GETCURSEL, CB_SETCURSEL, CB_GETLBTEXT, CB_GETLBTEXTLEN, CB_SELECTSTRING, CB_FINDSTRINGEXACT};
constexpr ListMessages kListMessages{LB_GETCURSEL, LB_SETCURSEL, LB_GETTEXT, LB_GETTEXTLEN, LB_SELECTSTRING, LB_FINDSTRINGEXACT};

void ListIndex(CDataExchange* dx, int id, int& index, const ListMessages& m) {
  HWND control = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) index = static_cast<int>(SendMessageW(control, m.getCurSel, 0, 0));
  else SendMessageW(control, m.setCurSel, static_cast<WPARAM>(index), 0);
}

void ListString(CDataExchange* dx, int id, CString& value, const ListMessages& m, bool exact) {
  HWND control = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) {
    value.Empty();
    const LRESULT index = SendMessageW(control, m.getCurSel, 0, 0);
    if (index < 0) return;
    const LRESULT length = SendMessageW(control, m.getTextLen, static_cast<WPARAM>(index), 0);
    if (length <= 0) return;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT got = SendMessageW(control, m.getText, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    value = text.c_str();
    return;
  }
  const WPARAM fromStart = static_cast<WPARAM>(-1);
  if (!exact) {
    SendMessageW(control, m.selectString, fromStart, reinterpret_cast<LPARAM>(static_cast<LPCTSTR>(value)));
    return;
  }
  const LRESULT index = SendMessageW(control, m.findStringExact, fromStart, reinterpret_cast<LPARAM>(static_cast<LPCTSTR>(value)));
  if (index >= 0) SendMessageW(control, m.setCurSel, static_cast<WPARAM>(index), 0);
}

}  // namespace

void DDX_CBIndex(CDataExchange* dx, int id, int& index) { ListIndex(dx, id, index, kComboMessages); }
void DDX_LBIndex(CDataExchange* dx, int id, int& index) { ListIndex(dx, id, index, kListMessages); }
void DDX_CBString(CDataExchange* dx, int id, CString& value) { ListString(dx, id, value, kComboMessages, false); }
void DDX_CBStringExact(CDataExchange* dx, int id, CString& value) { ListString(dx, id, value, kComboMessages, true); }
void DDX_LBString(CDataExchange* dx, int id, CString& value) { ListString(dx, id, value, kListMessages, false); }
void DDX_LBStringExact(CDataExchange* dx, int id, CString& value) { ListString(dx, id, value, kListMessages, true); }

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  if (control.m_hWnd) return;
  if (!control.SubclassWindow(dx->PrepareCtrl(id))) AfxThrowNotSupportedException();
}

void DDV_MaxChars(CDataExchange* dx, const CString& value, int maxChars) {
  if (!dx->m_bSaveAndValidate) {
    if (dx->m_bEditLastControl) {
      ::SendDlgItemMessageW(dx->m_pDlgWnd->m_hWnd, dx->m_idLastControl, EM_LIMITTEXT, static_cast<WPARAM>(maxChars), 0);
    }
    return;
  }
  if (value.GetLength() <= maxChars) return;
  CString count, prompt;
  count.Format(L"%d", maxChars);
  AfxFormatString1(prompt, AFX_IDP_PARSE_STRING_SIZE, count);
  AfxMessageBox(prompt, MB_ICONEXCLAMATION, AFX_IDP_PARSE_STRING_SIZE);
  dx->Fail();
}

void DDV_MinMaxInt(CDataExchange* dx, int value, int minValue, int maxValue) {
  if (value < minValue || value > maxValue) FailMinMax(dx, minValue, maxValue, L"%d", AFX_IDP_PARSE_INT_RANGE);
}

void DDV_MinMaxUInt(CDataExchange* dx, UINT value, UINT minValue, UINT maxValue) {
  if (value < minValue || value > maxValue) FailMinMax(dx, minValue, maxValue, L"%u", AFX_IDP_PARSE_INT_RANGE);
}

void DDV_MinMaxByte(CDataExchange* dx, BYTE value, BYTE minValue, BYTE maxValue) {
  if (value < minValue || value > maxValue) {
    FailMinMax(dx, static_cast<UINT>(minValue), static_cast<UINT>(maxValue), L"%u", AFX_IDP_PARSE_INT_RANGE);
  }
}
