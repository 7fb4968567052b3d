#include "platform/framework/CPropertySheet.h"

#include <algorithm>

#include "platform/framework/AfxResource.h"
#include "platform/framework/CWinApp.h"

namespace {

// The sheet being made on this thread, until its window joins it.
thread_local CPropertySheet* t_making = nullptr;

}  // namespace

int AfxPropSheetCallback(HWND hwnd, UINT message, LPARAM) {
  if (message == PSCB_INITIALIZED && t_making && hwnd && !CWnd::FromHandlePermanent(hwnd)) {
    CPropertySheet* sheet = t_making;
    t_making = nullptr;
    sheet->SubclassWindow(hwnd);
  }
  return 0;
}

CPropertySheet::CPropertySheet() {
  m_psh.dwSize = sizeof(m_psh);
  m_psh.dwFlags = PSH_USECALLBACK;
  m_psh.pfnCallback = AfxPropSheetCallback;
}

CPropertySheet::CPropertySheet(UINT captionId, CWnd* parent, UINT selectPage) : CPropertySheet() {
  caption_.LoadString(captionId);
  parent_ = parent;
  m_psh.nStartPage = selectPage;
}

CPropertySheet::CPropertySheet(LPCTSTR caption, CWnd* parent, UINT selectPage) : CPropertySheet() {
  caption_ = caption ? caption : L"";
  parent_ = parent;
  m_psh.nStartPage = selectPage;
}

CPropertySheet::~CPropertySheet() {
  if (m_hWnd && FromHandlePermanent(m_hWnd) == this) DestroyWindow();
}

void CPropertySheet::AddPage(CPropertyPage* page) {
  if (!page) return;
  pages_.push_back(page);
  if (!m_hWnd) return;
  if (HPROPSHEETPAGE made = CreatePropertySheetPageW(&page->m_psp)) {
    if (!::SendMessageW(m_hWnd, PSM_ADDPAGE, 0, reinterpret_cast<LPARAM>(made))) DestroyPropertySheetPage(made);
  }
}

void CPropertySheet::RemovePage(CPropertyPage* page) { RemovePage(GetPageIndex(page)); }

void CPropertySheet::RemovePage(int index) {
  if (index < 0 || index >= GetPageCount()) return;
  pages_.erase(pages_.begin() + index);
  if (m_hWnd) ::SendMessageW(m_hWnd, PSM_REMOVEPAGE, static_cast<WPARAM>(index), 0);
}

CPropertyPage* CPropertySheet::GetPage(int index) const {
  return index >= 0 && index < GetPageCount() ? pages_[static_cast<size_t>(index)] : nullptr;
}

int CPropertySheet::GetPageIndex(CPropertyPage* page) const {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  return it == pages_.end() ? -1 : static_cast<int>(it - pages_.begin());
}

int CPropertySheet::GetActiveIndex() const {
  if (!m_hWnd) return static_cast<int>(m_psh.nStartPage);
  HWND tab = GetTabControl();
  return tab ? static_cast<int>(::SendMessageW(tab, TCM_GETCURSEL, 0, 0)) : -1;
}

CPropertyPage* CPropertySheet::GetActivePage() const { return GetPage(GetActiveIndex()); }

BOOL CPropertySheet::SetActivePage(int index) {
  if (!m_hWnd) {
    m_psh.nStartPage = static_cast<UINT>(std::max(index, 0));
    return TRUE;
  }
  return static_cast<BOOL>(::SendMessageW(m_hWnd, PSM_SETCURSEL, static_cast<WPARAM>(index), 0));
}

BOOL CPropertySheet::SetActivePage(CPropertyPage* page) {
  const int index = GetPageIndex(page);
  return index >= 0 && SetActivePage(index);
}

HWND CPropertySheet::GetTabControl() const {
  return m_hWnd ? reinterpret_cast<HWND>(::SendMessageW(m_hWnd, PSM_GETTABCONTROL, 0, 0)) : nullptr;
}

void CPropertySheet::SetTitle(LPCTSTR title) {
  caption_ = title ? title : L"";
  if (m_hWnd) ::SendMessageW(m_hWnd, PSM_SETTITLEW, 0, reinterpret_cast<LPARAM>(caption_.GetString()));
}

void CPropertySheet::EndDialog(int result) {
  if (m_hWnd) ::EndDialog(m_hWnd, result);
}

BOOL CPropertySheet::PressButton(int button) {
  if (!m_hWnd) return FALSE;
  ::SendMessageW(m_hWnd, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0);
  return TRUE;
}

BOOL CPropertySheet::PreTranslateMessage(MSG* msg) { return PreTranslateInput(msg); }

// The loop runs until the sheet ends, whichever way it was ended.
BOOL CPropertySheet::ContinueModal() {
  return CWnd::ContinueModal() && m_hWnd && ::SendMessageW(m_hWnd, PSM_GETCURRENTPAGEHWND, 0, 0) != 0;
}

INT_PTR CPropertySheet::DoModal() {
  std::vector<HPROPSHEETPAGE> made;
  for (CPropertyPage* page : pages_) {
    if (HPROPSHEETPAGE h = CreatePropertySheetPageW(&page->m_psp)) made.push_back(h);
  }
  CWnd* ownerWnd = parent_ ? parent_ : AfxGetMainWnd();
  HWND owner = ownerWnd ? ownerWnd->m_hWnd : ::GetActiveWindow();
  if (owner) owner = ::GetAncestor(owner, GA_ROOT);
  PROPSHEETHEADERW header = m_psh;
  header.dwFlags = (header.dwFlags & ~(PSH_PROPSHEETPAGE | PSH_USEPSTARTPAGE)) | PSH_MODELESS | PSH_USECALLBACK;
  if (!header.pfnCallback) header.pfnCallback = AfxPropSheetCallback;
  header.hwndParent = owner;
  header.hInstance = AfxGetResourceHandle();
  header.pszCaption = caption_.GetString();
  header.nPages = static_cast<UINT>(made.size());
  header.phpage = made.data();
  // The owner is off while the sheet is up.
  const bool enableOwner = owner && ::IsWindowEnabled(owner);
  if (enableOwner) ::EnableWindow(owner, FALSE);
  CPropertySheet* const outer = t_making;
  t_making = this;
  const INT_PTR made_ = PropertySheetW(&header);
  t_making = outer;
  INT_PTR result = -1;
  if (made_ != -1 && m_hWnd) {
    m_nFlags |= WF_CONTINUEMODAL;
    RunModalLoop(MLF_SHOWONIDLE);
    m_nFlags &= ~WF_CONTINUEMODAL;
    const INT_PTR code = ::SendMessageW(m_hWnd, PSM_GETRESULT, 0, 0);
    // The sheet's OK and Cancel end it with 1 and 0.
    result = code == 1 ? IDOK : code == 0 ? IDCANCEL : code;
  }
  const bool wasActive = m_hWnd && ::GetActiveWindow() == m_hWnd;
  if (m_hWnd) ShowWindow(SW_HIDE);
  if (enableOwner) ::EnableWindow(owner, TRUE);
  if (owner && wasActive) ::SetActiveWindow(owner);
  DestroyWindow();
  return result;
}
