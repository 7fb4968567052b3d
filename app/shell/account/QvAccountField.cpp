#include "app/shell/account/QvAccountField.h"

#include "app/foundation/MessageBoxes.h"
#include "app/foundation/UiText.h"
#include "engine/public/store/QvPhoneStatus.h"
#include "platform/kernel/Debug.h"

void WarnWithLabel(HWND owner, UINT id, LPCWSTR label) {
  CString text;
  text.Format(static_cast<LPCWSTR>(LoadResString(id)), label);
  ShowWarningBox(owner, text);
}

BOOL QvAccountField::Bind(CWnd* page, int id, Kind kind, LPCWSTR label, LPCWSTR focusTrace, LPCWSTR leaveTrace) {
  kind_ = kind;
  label_ = label;
  focusTrace_ = focusTrace;
  leaveTrace_ = leaveTrace;
  return SubclassDlgItem(static_cast<UINT>(id), page);
}

void QvAccountField::OnFocus() {
  if (focusTrace_) OutputDebugStringW(focusTrace_);
  const unsigned mode = kind_ == kNumber ? kNumberIndicator : kAsciiIndicator;
  SetPhoneStatus(kIndicatorItem, (GetPhoneStatus(kIndicatorItem) & ~0xFu) | mode);
  if (HIMC context = ImmGetContext(m_hWnd)) {
    DWORD conversion = 0, sentence = 0;
    ImmGetConversionStatus(context, &conversion, &sentence);
    ImmSetConversionStatus(context, 0, sentence);
    ImmReleaseContext(m_hWnd, context);
  }
  if (kind_ == kAscii && !detached_) {
    kept_ = ImmAssociateContext(m_hWnd, nullptr);
    detached_ = true;
  }
}

void QvAccountField::RestoreInputContext() {
  if (!detached_) return;
  if (m_hWnd) ImmAssociateContext(m_hWnd, kept_);
  kept_ = nullptr;
  detached_ = false;
}

void QvAccountField::OnFocusLost() {
  RestoreInputContext();
  if (leaveTrace_) OutputDebugStringW(leaveTrace_);
}

bool QvAccountField::ChangesText(UINT message, WPARAM wParam) {
  switch (message) {
    case WM_CHAR:
      return wParam != VK_BACK;  // deleting leaves ASCII as ASCII
    case WM_IME_COMPOSITION:
    case WM_IME_ENDCOMPOSITION:
    case WM_PASTE:
    case EM_REPLACESEL:
      return true;
    case WM_KEYDOWN:
      return wParam == 'V' || wParam == VK_INSERT;  // the paste keys
    default:
      return false;
  }
}

LRESULT QvAccountField::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETFOCUS) {
    const LRESULT r = CEdit::WindowProc(message, wParam, lParam);
    OnFocus();
    return r;
  }
  if (message == WM_KILLFOCUS) {
    OnFocusLost();
    return CEdit::WindowProc(message, wParam, lParam);
  }
  if (message == WM_DESTROY) RestoreInputContext();
  if (kind_ != kAscii || refusing_ || !ChangesText(message, wParam)) {
    return CEdit::WindowProc(message, wParam, lParam);
  }
  // Whatever path the text came by, what is not printable ASCII is taken
  // back before anyone reads it.
  CString before;
  GetWindowText(before);
  const DWORD selection = GetSel();
  const LRESULT r = CEdit::WindowProc(message, wParam, lParam);
  if (!m_hWnd) return r;
  CString after;
  GetWindowText(after);
  if (IsPrintableAscii(after)) return r;
  refusing_ = true;
  SetWindowText(before);
  SetSel(selection);
  WarnWithLabel(::GetParent(m_hWnd), kNotAsciiText, label_);
  if (m_hWnd) ::SetFocus(m_hWnd);
  refusing_ = false;
  return r;
}
