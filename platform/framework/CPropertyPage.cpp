#include "platform/framework/CPropertyPage.h"

#include "platform/framework/AfxResource.h"
#include "platform/framework/CPropertySheet.h"

// The page's object rides in its PROPSHEETPAGEW and joins its window on
// WM_INITDIALOG.
INT_PTR AfxPageProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_INITDIALOG) return FALSE;
  const auto* psp = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
  auto* page = psp ? reinterpret_cast<CPropertyPage*>(psp->lParam) : nullptr;
  if (!page) return TRUE;
  if (!CWnd::FromHandlePermanent(hwnd)) page->SubclassWindow(hwnd);
  return page->OnInitDialog();
}

CPropertyPage::CPropertyPage(UINT templateId, UINT captionId) : CDialog(templateId) {
  m_psp.dwSize = sizeof(m_psp);
  m_psp.hInstance = AfxGetResourceHandle();
  m_psp.pszTemplate = MAKEINTRESOURCEW(templateId);
  m_psp.pfnDlgProc = AfxPageProc;
  m_psp.lParam = reinterpret_cast<LPARAM>(this);
  if (captionId) {
    caption_.LoadString(captionId);
    m_psp.dwFlags |= PSP_USETITLE;
  }
}

CPropertyPage::CPropertyPage(LPCDLGTEMPLATEW dialogTemplate, LPCTSTR caption) {
  m_psp.dwSize = sizeof(m_psp);
  m_psp.dwFlags = PSP_DLGINDIRECT;
  m_psp.hInstance = AfxGetResourceHandle();
  m_psp.pResource = dialogTemplate;
  m_psp.pfnDlgProc = AfxPageProc;
  m_psp.lParam = reinterpret_cast<LPARAM>(this);
  if (caption) {
    caption_ = caption;
    m_psp.dwFlags |= PSP_USETITLE;
  }
}

CPropertyPage::~CPropertyPage() = default;

BOOL CPropertyPage::OnSetActive() { return TRUE; }

BOOL CPropertyPage::OnKillActive() { return UpdateData(TRUE); }

BOOL CPropertyPage::OnApply() {
  OnOK();
  return TRUE;
}

void CPropertyPage::OnReset() { OnCancel(); }

void CPropertyPage::OnOK() {}

void CPropertyPage::OnCancel() {}

BOOL CPropertyPage::OnQueryCancel() { return TRUE; }

void CPropertyPage::SetModified(BOOL changed) {
  if (HWND sheet = ::GetParent(m_hWnd)) {
    ::SendMessageW(sheet, changed ? PSM_CHANGED : PSM_UNCHANGED, reinterpret_cast<WPARAM>(m_hWnd), 0);
  }
}

CPropertySheet* CPropertyPage::GetSheet() const {
  return dynamic_cast<CPropertySheet*>(CWnd::FromHandlePermanent(::GetParent(m_hWnd)));
}

BOOL CPropertyPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const auto* head = reinterpret_cast<const NMHDR*>(lParam);
  if (head->hwndFrom != ::GetParent(m_hWnd)) return CDialog::OnNotify(wParam, lParam, result);
  LRESULT r = 0;
  switch (head->code) {
    case PSN_SETACTIVE:
      r = OnSetActive() ? 0 : -1;
      break;
    case PSN_KILLACTIVE:
      r = OnKillActive() ? FALSE : TRUE;
      break;
    case PSN_APPLY:
      r = OnApply() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
      break;
    case PSN_RESET:
      OnReset();
      break;
    case PSN_QUERYCANCEL:
      r = OnQueryCancel() ? FALSE : TRUE;
      break;
    default:
      return CDialog::OnNotify(wParam, lParam, result);
  }
  // Whoever reads the answer as a dialog's finds it there too.
  ::SetWindowLongW(m_hWnd, DWLP_MSGRESULT, r);
  *result = r;
  return TRUE;
}
