#include "platform/framework/CMenu.h"

#include "platform/framework/AfxResource.h"
#include "platform/framework/AfxState.h"
#include "platform/framework/CWnd.h"
#include "platform/framework/MessageMap.h"

namespace qv::afx {
namespace {

void DetachMenu(CMenu& m) { m.Detach(); }

TempMap<CMenu, HMENU, DetachMenu>& Temporary() {
  thread_local TempMap<CMenu, HMENU, DetachMenu> map;
  return map;
}

}  // namespace

void DeleteTempMenus() { Temporary().Clear(); }

CMenu* MenuOf(HMENU menu) { return CMenu::FromHandle(menu); }

}  // namespace qv::afx

CMenu::~CMenu() { DestroyMenu(); }

CMenu* CMenu::FromHandle(HMENU menu) {
  if (!menu) return nullptr;
  return qv::afx::Temporary().Get(menu, [](HMENU h) {
    auto m = std::make_unique<CMenu>();
    m->Attach(h);
    return m;
  });
}

BOOL CMenu::Attach(HMENU menu) {
  if (!menu || m_hMenu) return FALSE;
  m_hMenu = menu;
  return TRUE;
}

HMENU CMenu::Detach() {
  HMENU menu = m_hMenu;
  m_hMenu = nullptr;
  return menu;
}

BOOL CMenu::CreateMenu() { return Attach(::CreateMenu()); }
BOOL CMenu::CreatePopupMenu() { return Attach(::CreatePopupMenu()); }
BOOL CMenu::LoadMenu(UINT id) { return LoadMenu(MAKEINTRESOURCEW(id)); }
BOOL CMenu::LoadMenu(LPCTSTR name) {
  if (m_hMenu) return FALSE;
  return Attach(::LoadMenuW(AfxGetResourceHandle(), name));
}

BOOL CMenu::DestroyMenu() {
  if (!m_hMenu) return FALSE;
  return ::DestroyMenu(Detach());
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR id, LPCTSTR text) { return ::AppendMenuW(m_hMenu, flags, id, text); }
BOOL CMenu::InsertMenu(UINT position, UINT flags, UINT_PTR id, LPCTSTR text) {
  return ::InsertMenuW(m_hMenu, position, flags, id, text);
}
BOOL CMenu::ModifyMenu(UINT position, UINT flags, UINT_PTR id, LPCTSTR text) {
  return ::ModifyMenuW(m_hMenu, position, flags, id, text);
}
BOOL CMenu::RemoveMenu(UINT position, UINT flags) { return ::RemoveMenu(m_hMenu, position, flags); }
BOOL CMenu::DeleteMenu(UINT position, UINT flags) { return ::DeleteMenu(m_hMenu, position, flags); }
UINT CMenu::EnableMenuItem(UINT item, UINT flags) { return ::EnableMenuItem(m_hMenu, item, flags); }
UINT CMenu::CheckMenuItem(UINT item, UINT flags) { return ::CheckMenuItem(m_hMenu, item, flags); }
BOOL CMenu::CheckMenuRadioItem(UINT first, UINT last, UINT check, UINT flags) {
  return ::CheckMenuRadioItem(m_hMenu, first, last, check, flags);
}
UINT CMenu::GetMenuItemCount() const { return static_cast<UINT>(::GetMenuItemCount(m_hMenu)); }
UINT CMenu::GetMenuItemID(int position) const { return ::GetMenuItemID(m_hMenu, position); }
UINT CMenu::GetMenuState(UINT item, UINT flags) const { return ::GetMenuState(m_hMenu, item, flags); }

int CMenu::GetMenuString(UINT item, CString& out, UINT flags) const {
  const int length = ::GetMenuStringW(m_hMenu, item, nullptr, 0, flags);
  ::GetMenuStringW(m_hMenu, item, out.GetBufferSetLength(length), length + 1, flags);
  out.ReleaseBuffer();
  return out.GetLength();
}

CMenu* CMenu::GetSubMenu(int position) const { return FromHandle(::GetSubMenu(m_hMenu, position)); }

BOOL CMenu::GetMenuItemInfo(UINT item, LPMENUITEMINFOW info, BOOL byPosition) {
  return ::GetMenuItemInfoW(m_hMenu, item, byPosition, info);
}
BOOL CMenu::SetMenuItemInfo(UINT item, LPCMENUITEMINFOW info, BOOL byPosition) {
  return ::SetMenuItemInfoW(m_hMenu, item, byPosition, info);
}
BOOL CMenu::InsertMenuItem(UINT item, LPCMENUITEMINFOW info, BOOL byPosition) {
  return ::InsertMenuItemW(m_hMenu, item, byPosition, info);
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, LPCRECT rect) {
  return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner ? owner->m_hWnd : nullptr, rect);
}
BOOL CMenu::TrackPopupMenuEx(UINT flags, int x, int y, CWnd* owner, LPTPMPARAMS params) {
  return ::TrackPopupMenuEx(m_hMenu, flags, x, y, owner ? owner->m_hWnd : nullptr, params);
}
