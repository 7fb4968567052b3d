// CWnd's calls on its window, its default handlers and data exchange.
#include "platform/framework/CWnd.h"

#include "platform/framework/AfxState.h"
#include "platform/framework/CDC.h"
#include "platform/framework/CException.h"
#include "platform/framework/CGdiObject.h"
#include "platform/framework/AfxStrings.h"
#include "platform/framework/CWinApp.h"
#include "platform/framework/DataExchange.h"

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  // Setting the controls' texts must not come back as notifications.
  qv::afx::ThreadState& st = qv::afx::State();
  const HWND lockout = st.lockoutNotify;
  st.lockoutNotify = m_hWnd;
  BOOL ok = FALSE;
  try {
    DoDataExchange(&dx);
    ok = TRUE;
  } catch (CUserException* e) {
    e->Delete();
  } catch (CException* e) {
    e->ReportError(MB_ICONEXCLAMATION, AFX_IDP_INTERNAL_FAILURE);
    e->Delete();
  }
  st.lockoutNotify = lockout;
  return ok;
}

void CWnd::DoDataExchange(CDataExchange*) {}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

DWORD CWnd::GetStyle() const { return static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_STYLE)); }
DWORD CWnd::GetExStyle() const { return static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_EXSTYLE)); }

namespace {

BOOL Modify(HWND hwnd, int index, DWORD remove, DWORD add, UINT flags) {
  const auto style = static_cast<DWORD>(GetWindowLongW(hwnd, index));
  const DWORD changed = (style & ~remove) | add;
  if (changed == style) return FALSE;
  SetWindowLongW(hwnd, index, static_cast<LONG_PTR>(changed));
  if (flags) SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
  return TRUE;
}

}  // namespace

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) { return Modify(m_hWnd, GWL_STYLE, remove, add, flags); }
BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags) {
  return Modify(m_hWnd, GWL_EXSTYLE, remove, add, flags);
}

void CWnd::SetWindowText(LPCTSTR text) { ::SetWindowTextW(m_hWnd, text); }
int CWnd::GetWindowText(LPTSTR out, int max) const { return ::GetWindowTextW(m_hWnd, out, max); }

void CWnd::GetWindowText(CString& out) const {
  const int length = ::GetWindowTextLengthW(m_hWnd);
  ::GetWindowTextW(m_hWnd, out.GetBufferSetLength(length), length + 1);
  out.ReleaseBuffer();
}

int CWnd::GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
CWnd* CWnd::GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
void CWnd::SetDlgItemText(int id, LPCTSTR text) { ::SetDlgItemTextW(m_hWnd, id, text); }

int CWnd::GetDlgItemText(int id, CString& out) const {
  out.Empty();
  if (CWnd* item = GetDlgItem(id)) item->GetWindowText(out);
  return out.GetLength();
}

void CWnd::CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }
UINT CWnd::IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
void CWnd::CheckRadioButton(int first, int last, int check) { ::CheckRadioButton(m_hWnd, first, last, check); }
int CWnd::GetCheckedRadioButton(int first, int last) const {
  for (int id = first; id <= last; ++id) {
    if (::IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED) return id;
  }
  return 0;
}
CWnd* CWnd::GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
CWnd* CWnd::GetOwner() const { return m_hWndOwner ? FromHandle(m_hWndOwner) : GetParent(); }

CWnd* CWnd::GetTopLevelParent() const {
  HWND top = m_hWnd;
  for (HWND up = ::GetParent(top); up; up = ::GetParent(up)) top = up;
  return FromHandle(top);
}

CWnd* CWnd::GetWindow(UINT relation) const { return FromHandle(::GetWindow(m_hWnd, relation)); }

CWnd* CWnd::GetNextDlgTabItem(CWnd* control, BOOL previous) const {
  return FromHandle(::GetNextDlgTabItem(m_hWnd, control ? control->m_hWnd : nullptr, previous));
}

BOOL CWnd::IsChild(const CWnd* wnd) const { return wnd && ::IsChild(m_hWnd, wnd->m_hWnd); }
BOOL CWnd::ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
BOOL CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
BOOL CWnd::EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
CWnd* CWnd::GetFocus() { return FromHandle(::GetFocus()); }
CWnd* CWnd::SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }
CWnd* CWnd::GetCapture() { return FromHandle(::GetCapture()); }
BOOL CWnd::ReleaseCapture() { return ::ReleaseCapture(); }
CWnd* CWnd::GetActiveWindow() { return FromHandle(::GetActiveWindow()); }
CWnd* CWnd::SetActiveWindow() { return FromHandle(::SetActiveWindow(m_hWnd)); }
BOOL CWnd::SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
void CWnd::GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
void CWnd::GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
void CWnd::ClientToScreen(LPPOINT point) const { ::ClientToScreen(m_hWnd, point); }
void CWnd::ClientToScreen(LPRECT rect) const { ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(rect), 2); }
void CWnd::ScreenToClient(LPPOINT point) const { ::ScreenToClient(m_hWnd, point); }
void CWnd::ScreenToClient(LPRECT rect) const { ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(rect), 2); }

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
  ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

void CWnd::MoveWindow(LPCRECT rect, BOOL repaint) {
  MoveWindow(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint);
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int width, int height, UINT flags) {
  return ::SetWindowPos(m_hWnd, insertAfter ? insertAfter->m_hWnd : nullptr, x, y, width, height, flags);
}

void CWnd::CenterWindow(CWnd* alternate) {
  RECT area{}, self{};
  CWnd* over = alternate ? alternate : GetParent();
  if (over) over->GetWindowRect(&area);
  else ::GetWindowRect(::GetDesktopWindow(), &area);
  GetWindowRect(&self);
  const int w = self.right - self.left, h = self.bottom - self.top;
  POINT at{area.left + (area.right - area.left - w) / 2, area.top + (area.bottom - area.top - h) / 2};
  if (GetStyle() & WS_CHILD) ::ScreenToClient(::GetParent(m_hWnd), &at);
  ::SetWindowPos(m_hWnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::Invalidate(BOOL erase) { ::InvalidateRect(m_hWnd, nullptr, erase); }
void CWnd::InvalidateRect(LPCRECT rect, BOOL erase) { ::InvalidateRect(m_hWnd, rect, erase); }
void CWnd::ValidateRect(LPCRECT rect) { ::ValidateRect(m_hWnd, rect); }
void CWnd::UpdateWindow() { ::UpdateWindow(m_hWnd); }
UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc) { return ::SetTimer(m_hWnd, id, elapse, proc); }
BOOL CWnd::KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }

void CWnd::CreateCaret(CBitmap* bitmap) {
  // A bitmap caret takes the bitmap's size.
  HBITMAP handle = bitmap ? static_cast<HBITMAP>(bitmap->GetSafeHandle()) : nullptr;
  BITMAP info{};
  if (handle) ::GetObjectW(handle, sizeof info, &info);
  ::CreateCaret(m_hWnd, handle, info.bmWidth, info.bmHeight);
}
void CWnd::CreateSolidCaret(int width, int height) { ::CreateCaret(m_hWnd, nullptr, width, height); }
// The gray caret of the desktop is drawn as the solid one here: one look for every field.
void CWnd::CreateGrayCaret(int width, int height) { ::CreateCaret(m_hWnd, reinterpret_cast<HBITMAP>(1), width, height); }
void CWnd::ShowCaret() { ::ShowCaret(m_hWnd); }
void CWnd::HideCaret() { ::HideCaret(m_hWnd); }
void CWnd::SetCaretPos(POINT point) { ::SetCaretPos(point.x, point.y); }
CPoint CWnd::GetCaretPos() {
  POINT p{};
  ::GetCaretPos(&p);
  return CPoint(p.x, p.y);
}
CDC* CWnd::GetDC() { return CDC::FromHandle(::GetDC(m_hWnd)); }
int CWnd::ReleaseDC(CDC* dc) { return dc ? ::ReleaseDC(m_hWnd, dc->m_hDC) : 0; }

void CWnd::SetFont(CFont* font, BOOL redraw) {
  SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font ? font->m_hObject : nullptr), redraw);
}

CFont* CWnd::GetFont() const {
  return static_cast<CFont*>(CGdiObject::FromHandle(reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT))));
}

int CWnd::MessageBox(LPCTSTR text, LPCTSTR caption, UINT type) {
  return ::MessageBoxW(m_hWnd, text, caption ? caption : AfxGetAppName(), type);
}

CWnd* CWnd::FindWindow(LPCTSTR className, LPCTSTR windowName) { return FromHandle(::FindWindowW(className, windowName)); }
CWnd* CWnd::GetDesktopWindow() { return FromHandle(::GetDesktopWindow()); }

// The default handlers pass the message on.
int CWnd::OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnClose() { Default(); }
void CWnd::OnPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnMove(int, int) { Default(); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnKeyUp(UINT, UINT, UINT) { Default(); }
void CWnd::OnChar(UINT, UINT, UINT) { Default(); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnMouseMove(UINT, CPoint) { Default(); }
void CWnd::OnSetFocus(CWnd*) { Default(); }
void CWnd::OnKillFocus(CWnd*) { Default(); }
HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) { return reinterpret_cast<HBRUSH>(Default()); }
void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT) { Default(); }
void CWnd::OnMeasureItem(int, LPMEASUREITEMSTRUCT) { Default(); }
void CWnd::OnActivate(UINT, CWnd*, BOOL) { Default(); }
void CWnd::OnShowWindow(BOOL, UINT) { Default(); }
void CWnd::OnInitMenuPopup(CMenu*, UINT, BOOL) { Default(); }
void CWnd::OnEnterIdle(UINT, CWnd*) { Default(); }
UINT CWnd::OnGetDlgCode() { return static_cast<UINT>(Default()); }
void CWnd::OnContextMenu(CWnd*, CPoint) { Default(); }
void CWnd::OnSettingChange(UINT, LPCTSTR) { Default(); }
void CWnd::OnEnable(BOOL) { Default(); }
void CWnd::OnWindowPosChanged(WINDOWPOS*) { Default(); }
