#include "platform/framework/CDialog.h"

#include "platform/framework/AfxResource.h"
#include "platform/framework/AfxState.h"
#include "platform/framework/CWinApp.h"
#include "platform/framework/MessageMap.h"
#include "platform/kernel/Resource.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
  ON_COMMAND(IDOK, &CDialog::OnOKCommand)
  ON_COMMAND(IDCANCEL, &CDialog::OnCancelCommand)
END_MESSAGE_MAP()

INT_PTR AfxDlgProc(HWND hwnd, UINT message, WPARAM, LPARAM) {
  qv::afx::ThreadState& st = qv::afx::State();
  // The first message the dialog procedure sees attaches the dialog being made.
  if (st.creating && st.creatingDialog && !CWnd::FromHandlePermanent(hwnd)) {
    CWnd* wnd = st.creating;
    st.creating = nullptr;
    st.creatingDialog = false;
    wnd->SubclassWindow(hwnd);
  }
  if (message != WM_INITDIALOG) return FALSE;
  auto* dialog = dynamic_cast<CDialog*>(CWnd::FromHandlePermanent(hwnd));
  return dialog ? dialog->OnInitDialog() : TRUE;
}

CDialog::CDialog() = default;

CDialog::CDialog(UINT templateId, CWnd* parent)
    : m_lpszTemplateName(MAKEINTRESOURCEW(templateId)), m_nIDHelp(templateId), m_pParentWnd(parent) {}

CDialog::CDialog(LPCTSTR templateName, CWnd* parent) : m_lpszTemplateName(templateName), m_pParentWnd(parent) {}

CDialog::~CDialog() {
  if (m_hWnd && FromHandlePermanent(m_hWnd) == this) DestroyWindow();
}

LPCDLGTEMPLATEW CDialog::TemplateUnits() const {
  if (indirect_) return indirect_;
  HINSTANCE resources = AfxGetResourceHandle();
  HRSRC found = FindResourceW(resources, m_lpszTemplateName, RT_DIALOG);
  if (!found) return nullptr;
  return static_cast<LPCDLGTEMPLATEW>(LockResource(LoadResource(resources, found)));
}

HWND CDialog::CreateWindowFor(LPCDLGTEMPLATEW dialogTemplate, HWND owner) {
  if (!dialogTemplate) return nullptr;
  qv::afx::ThreadState& st = qv::afx::State();
  CWnd* const outer = st.creating;
  const bool outerDialog = st.creatingDialog;
  st.creating = this;
  st.creatingDialog = true;
  HWND hwnd = CreateDialogIndirectParamW(AfxGetResourceHandle(), dialogTemplate, owner, AfxDlgProc, 0);
  st.creating = outer;
  st.creatingDialog = outerDialog;
  if (hwnd && !m_hWnd) SubclassWindow(hwnd);  // the procedure never ran: attached now
  return hwnd;
}

HWND CDialog::OwnerForModal() const {
  CWnd* owner = m_pParentWnd ? m_pParentWnd : AfxGetMainWnd();
  HWND h = owner ? owner->m_hWnd : ::GetActiveWindow();
  return h ? GetAncestor(h, GA_ROOT) : nullptr;
}

INT_PTR CDialog::DoModal() {
  LPCDLGTEMPLATEW units = TemplateUnits();
  if (!units) return -1;
  HWND owner = OwnerForModal();
  // The owner is off while the dialog is up.
  const bool enableOwner = owner && ::IsWindowEnabled(owner);
  if (enableOwner) ::EnableWindow(owner, FALSE);
  m_nModalResult = -1;
  m_nFlags |= WF_CONTINUEMODAL;
  if (CreateWindowFor(units, owner) && (m_nFlags & WF_CONTINUEMODAL)) {
    const DWORD flags = MLF_SHOWONIDLE | ((GetStyle() & DS_NOIDLEMSG) ? MLF_NOIDLEMSG : 0u);
    RunModalLoop(flags);
  }
  m_nFlags &= ~WF_CONTINUEMODAL;
  // Hidden before the owner comes back; the owner is then the active window
  // again if the dialog was.
  const bool wasActive = m_hWnd && ::GetActiveWindow() == m_hWnd;
  if (m_hWnd) SetWindowPos(nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
  if (enableOwner) ::EnableWindow(owner, TRUE);
  if (owner && wasActive) ::SetActiveWindow(owner);
  DestroyWindow();
  return m_nModalResult;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
  m_lpszTemplateName = MAKEINTRESOURCEW(templateId);
  m_nIDHelp = templateId;
  m_pParentWnd = parent;
  return CreateIndirect(TemplateUnits(), parent);
}

BOOL CDialog::CreateIndirect(LPCDLGTEMPLATEW dialogTemplate, CWnd* parent) {
  m_pParentWnd = parent;
  return CreateWindowFor(dialogTemplate, parent ? parent->m_hWnd : nullptr) != nullptr;
}

BOOL CDialog::InitModalIndirect(LPCDLGTEMPLATEW dialogTemplate, CWnd* parent) {
  indirect_ = dialogTemplate;
  m_pParentWnd = parent;
  return dialogTemplate != nullptr;
}

void CDialog::EndDialog(int result) {
  if (m_nFlags & (WF_MODALLOOP | WF_CONTINUEMODAL)) EndModalLoop(result);
  ::EndDialog(m_hWnd, result);
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::PreTranslateMessage(MSG* msg) { return PreTranslateInput(msg); }

BOOL CDialog::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  // Only commands go on; a control's notification stays with the dialog.
  if ((nCode != CN_COMMAND && nCode != CN_UPDATE_COMMAND_UI) || !IS_COMMAND_ID(nID) || nID >= 0xF000u) return FALSE;
  HWND ownerHandle = ::GetWindow(m_hWnd, GW_OWNER);
  if (CWnd* owner = ownerHandle ? FromHandlePermanent(ownerHandle) : nullptr; owner && owner != this) {
    if (owner->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  }
  if (CWinThread* thread = AfxGetThread()) return thread->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
  return FALSE;
}
