#include "platform/shell/CommandBar.h"

#include "platform/framework/AfxResource.h"
#include "platform/shell/MenuBar.h"

CCommandBar::~CCommandBar() {
  if (m_hWnd && ::IsWindow(m_hWnd)) DestroyWindow();
  if (m_hWnd) Detach();
}

BOOL CCommandBar::Make(DWORD flags, UINT menuId, HINSTANCE resources) {
  if (!m_parent || !::IsWindow(m_parent)) return FALSE;
  SHMENUBARINFO info{};
  info.cbSize = sizeof(info);
  info.hwndParent = m_parent;
  info.dwFlags = flags;
  info.nToolBarId = menuId;
  info.hInstRes = resources ? resources : AfxGetResourceHandle();
  if (!::SHCreateMenuBar(&info)) return FALSE;
  // The new bar replaced (destroyed) the old window of the same top-level window.
  if (m_hWnd) Detach();
  return Attach(info.hwndMB);
}

BOOL CCommandBar::Create(CWnd* parent, DWORD style, UINT id) {
  if (!parent || !parent->m_hWnd) return FALSE;
  m_parent = parent->m_hWnd;
  m_createStyle = style;
  m_barId = id;
  return Make(SHCMBF_EMPTYBAR, 0, nullptr);
}

BOOL CCommandBar::InsertMenuBar(UINT menuId, HINSTANCE resources) {
  return Make(SHCMBF_HMENU, menuId, resources);
}

HMENU CCommandBar::GetMenu() const {
  if (!m_hWnd) return nullptr;
  return reinterpret_cast<HMENU>(SendMessage(SHCMBM_GETMENU));
}

BOOL CCommandBar::DestroyWindow() {
  if (!m_hWnd) return FALSE;
  HWND hwnd = Detach();
  return ::IsWindow(hwnd) ? ::DestroyWindow(hwnd) : FALSE;
}
