// The dialog calls that reach a control by its id.
#include <string>

#include "platform/ui/controls/Button.h"
#include "platform/ui/dialog/Dialog.h"
#include "platform/ui/queue/MessageQueue.h"

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND control = GetDlgItem(dialog, id);
  return control ? SendMessageW(control, message, wParam, lParam) : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
  HWND control = GetDlgItem(dialog, id);
  return control ? SetWindowTextW(control, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR out, int size) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) {
    if (out && size > 0) out[0] = 0;
    return 0;
  }
  return static_cast<UINT>(GetWindowTextW(control, out, size));
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
  const std::wstring text = isSigned ? std::to_wstring(static_cast<int>(value)) : std::to_wstring(value);
  return SetDlgItemTextW(dialog, id, text.c_str());
}

// Leading and trailing blanks are allowed; anything else that is no digit fails.
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
  if (translated) *translated = FALSE;
  WCHAR text[64];
  if (!GetDlgItemTextW(dialog, id, text, 64)) return 0;
  const WCHAR* p = text;
  while (*p == L' ') ++p;
  const bool negative = isSigned && *p == L'-';
  if (negative) ++p;
  unsigned long long value = 0;
  const WCHAR* digits = p;
  for (; *p >= L'0' && *p <= L'9'; ++p) {
    value = value * 10 + static_cast<unsigned>(*p - L'0');
    if (value > (isSigned ? (negative ? 0x80000000ull : 0x7FFFFFFFull) : 0xFFFFFFFFull)) return 0;
  }
  while (*p == L' ') ++p;
  if (p == digits || *p) return 0;
  if (translated) *translated = TRUE;
  return negative ? static_cast<UINT>(-static_cast<long long>(value)) : static_cast<UINT>(value);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) return FALSE;
  SendMessageW(control, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  return static_cast<UINT>(SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0));
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check) {
  if (!GetDlgItem(dialog, check)) return FALSE;
  for (int id = first; id <= last; ++id) {
    if (HWND control = GetDlgItem(dialog, id)) SendMessageW(control, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return TRUE;
}
