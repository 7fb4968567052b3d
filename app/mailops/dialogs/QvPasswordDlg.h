// Asks for an account's password when none is saved (template 107). While
// the field has the focus, input conversion is off (the field's input
// context is detached) and the phone's input indicator shows the password
// mode. Run modally, also from a task thread, parented to the progress
// window.
#pragma once

#include <string>

#include "app/foundation/QvComEdit.h"
#include "app/foundation/QvScrollDlg.h"
#include "platform/framework/CString.h"
#include "platform/shell/ShellUi.h"

class QvPasswordDlg : public QvScrollDlg {
 public:
  static constexpr UINT kTemplateId = 107;
  static constexpr int kPasswordField = 1053;
  static constexpr int kMessageStatic = 1094;
  static constexpr int kNoteStatic = 1109;
  static constexpr int kMaxPassword = 256;

  explicit QvPasswordDlg(CWnd* parent);
  ~QvPasswordDlg() override;

  // Shown above the field (the account name); may be empty.
  void SetMessageText(const CString& text) { message_ = text; }
  // False hides the note under the field.
  void SetShowNote(bool show) { showNote_ = show; }
  // After IDOK: the typed text.
  const CString& Password() const { return password_; }

  BOOL OnInitDialog() override;
  BOOL PreTranslateMessage(MSG* msg) override;

  // The password dialog up now, on whichever thread; null when none is.
  static HWND Showing();

 protected:
  void OnOK() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnFieldFocus();
  void OnFieldFocusLost();

  QvCLREdit field_;
  CString password_;
  CString message_;
  bool showNote_ = false;
  HIMC detached_ = nullptr;
};
