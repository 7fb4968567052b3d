// The text fields of the account pages that take only printable ASCII
// (addresses, servers, users, passwords) and the number fields. While such
// a field has the focus the phone's input indicator shows the half-width
// mode and the input method converts nothing; a text field also runs
// without the input method, which it gets back when it loses the focus.
// What the user types, pastes or composes that is not printable ASCII never
// stays in a text field: the text is put back as it was and the warning
// names the field.
#pragma once

#include "platform/framework/CEdit.h"
#include "platform/framework/CString.h"
#include "platform/shell/ShellUi.h"

class QvAccountField : public CEdit {
 public:
  enum Kind { kAscii, kNumber };

  // `label` is the field's name in the warning; `focusTrace` and
  // `leaveTrace`, when given, go to the debug output.
  BOOL Bind(CWnd* page, int id, Kind kind, LPCWSTR label, LPCWSTR focusTrace = nullptr,
              LPCWSTR leaveTrace = nullptr);
  // Gives the kept input context back (before the page reads its fields).
  void RestoreInputContext();
  const CString& Label() const { return label_; }

  static constexpr unsigned kIndicatorItem = 22;
  static constexpr unsigned kAsciiIndicator = 6;
  static constexpr unsigned kNumberIndicator = 7;
  static constexpr UINT kNotAsciiText = 20070;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnFocus();
  void OnFocusLost();
  static bool ChangesText(UINT message, WPARAM wParam);

  Kind kind_ = kAscii;
  CString label_;
  LPCWSTR focusTrace_ = nullptr;
  LPCWSTR leaveTrace_ = nullptr;
  HIMC kept_ = nullptr;
  bool detached_ = false;
  bool refusing_ = false;
};

// The resource string `id` with `label` in its place, in a warning box.
void WarnWithLabel(HWND owner, UINT id, LPCWSTR label);
