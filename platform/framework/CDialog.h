// Dialogs from the resource handle's templates (or one in memory), modal or
// modeless. A modal dialog runs the framework's own loop (RunModalLoop), so
// its messages pass through PreTranslateMessage like every other; the
// dialog's PreTranslateMessage gives keys and taps to IsDialogMessage.
// OnInitDialog fills the controls (UpdateData(FALSE)); OnOK reads them back
// and stays open when that fails. Commands the dialog does not take go to
// its owner, then to the application.
#pragma once

#include "platform/framework/CWnd.h"

class QV_PLATFORM_API CDialog : public CWnd {
 public:
  CDialog();
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  explicit CDialog(LPCTSTR templateName, CWnd* parent = nullptr);
  ~CDialog() override;

  // IDOK, IDCANCEL or what EndDialog was given; -1 when the dialog could
  // not be made.
  virtual INT_PTR DoModal();
  // Modeless.
  virtual BOOL Create(UINT templateId, CWnd* parent = nullptr);
  virtual BOOL CreateIndirect(LPCDLGTEMPLATEW dialogTemplate, CWnd* parent = nullptr);
  BOOL InitModalIndirect(LPCDLGTEMPLATEW dialogTemplate, CWnd* parent = nullptr);
  void EndDialog(int result);

  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
  void NextDlgCtrl() const { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 0, 0); }
  void GotoDlgCtrl(CWnd* control) { ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control->m_hWnd), 1); }
  void SetDefID(UINT id) { ::SendMessageW(m_hWnd, DM_SETDEFID, id, 0); }

  LPCTSTR m_lpszTemplateName = nullptr;
  UINT m_nIDHelp = 0;
  CWnd* m_pParentWnd = nullptr;

 protected:
  afx_msg void OnOKCommand() { OnOK(); }
  afx_msg void OnCancelCommand() { OnCancel(); }

 private:
  // Makes the dialog window with this object attached; null on failure.
  HWND CreateWindowFor(LPCDLGTEMPLATEW dialogTemplate, HWND owner);
  LPCDLGTEMPLATEW TemplateUnits() const;
  HWND OwnerForModal() const;

  LPCDLGTEMPLATEW indirect_ = nullptr;

  DECLARE_MESSAGE_MAP()
};

QV_PLATFORM_API INT_PTR AfxDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
