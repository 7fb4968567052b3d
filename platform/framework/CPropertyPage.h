// A page of a CPropertySheet: a dialog from a template made by the sheet the
// first time the page is shown. The sheet's notifications become virtual
// calls: OnSetActive when shown, OnKillActive when left (it reads the
// controls back through UpdateData; FALSE keeps the page), OnApply on OK
// (FALSE keeps the sheet open on this page), OnReset on Cancel.
#pragma once

#include "platform/framework/CDialog.h"
#include "platform/ui/CommCtrl.h"

class CPropertySheet;

class QV_PLATFORM_API CPropertyPage : public CDialog {
 public:
  explicit CPropertyPage(UINT templateId, UINT captionId = 0);
  explicit CPropertyPage(LPCDLGTEMPLATEW dialogTemplate, LPCTSTR caption = nullptr);
  ~CPropertyPage() override;

  virtual BOOL OnSetActive();
  virtual BOOL OnKillActive();
  virtual BOOL OnApply();
  virtual void OnReset();
  // A page is no dialog of its own: OK and Cancel belong to the sheet.
  void OnOK() override;
  void OnCancel() override;
  virtual BOOL OnQueryCancel();
  // Tells the sheet the page holds changes (or none any more).
  void SetModified(BOOL changed = TRUE);
  CPropertySheet* GetSheet() const;

  PROPSHEETPAGEW m_psp{};

 protected:
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  CString caption_;
};

QV_PLATFORM_API INT_PTR AfxPageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
