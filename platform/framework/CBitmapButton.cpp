#include "platform/framework/CBitmapButton.h"

#include <string>

#include "platform/framework/AfxResource.h"

namespace {

// Loads one look; a look not asked for (0 or null) leaves the object empty.
bool LoadLook(CBitmap& bitmap, LPCWSTR name) {
  bitmap.DeleteObject();
  if (!name) return true;
  return bitmap.Attach(::LoadBitmapW(AfxGetResourceHandle(), name)) != FALSE;
}

LPCWSTR NameOf(UINT id) { return id ? MAKEINTRESOURCEW(id) : nullptr; }

}  // namespace

BOOL CBitmapButton::LoadBitmaps(UINT normal, UINT selected, UINT focused, UINT disabled) {
  return LoadBitmaps(NameOf(normal), NameOf(selected), NameOf(focused), NameOf(disabled));
}

BOOL CBitmapButton::LoadBitmaps(LPCTSTR normal, LPCTSTR selected, LPCTSTR focused, LPCTSTR disabled) {
  bool ok = normal != nullptr && LoadLook(m_bitmap, normal);
  // Every look is tried, so that a missing one still leaves the others.
  ok = LoadLook(m_bitmapSel, selected) && ok;
  ok = LoadLook(m_bitmapFocus, focused) && ok;
  ok = LoadLook(m_bitmapDisabled, disabled) && ok;
  return ok ? TRUE : FALSE;
}

void CBitmapButton::SizeToContent() {
  if (!m_bitmap.GetSafeHandle() || !m_hWnd) return;
  BITMAP info{};
  m_bitmap.GetBitmap(&info);
  SetWindowPos(nullptr, 0, 0, info.bmWidth, info.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CBitmapButton::AutoLoad(UINT id, CWnd* parent) {
  if (!parent || !SubclassDlgItem(id, parent)) return FALSE;
  CString caption;
  GetWindowText(caption);
  if (caption.IsEmpty()) return FALSE;
  const std::wstring base(static_cast<LPCWSTR>(caption));
  const std::wstring up = base + L"U";
  const std::wstring down = base + L"D";
  const std::wstring focus = base + L"F";
  const std::wstring gone = base + L"X";
  // The focused and disabled looks are optional.
  if (!LoadBitmaps(up.c_str(), down.c_str())) return FALSE;
  LoadLook(m_bitmapFocus, focus.c_str());
  LoadLook(m_bitmapDisabled, gone.c_str());
  ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
  SizeToContent();
  return TRUE;
}

int CBitmapButton::LookFor(UINT itemState) const {
  if ((itemState & ODS_SELECTED) && m_bitmapSel.GetSafeHandle()) return 1;
  if ((itemState & ODS_DISABLED) && m_bitmapDisabled.GetSafeHandle()) return 3;
  if ((itemState & ODS_FOCUS) && m_bitmapFocus.GetSafeHandle()) return 2;
  return 0;
}

void CBitmapButton::DrawItem(LPDRAWITEMSTRUCT dis) {
  if (!dis) return;
  const CBitmap* looks[4] = {&m_bitmap, &m_bitmapSel, &m_bitmapFocus, &m_bitmapDisabled};
  const CBitmap* look = looks[LookFor(dis->itemState)];
  if (!look->GetSafeHandle()) return;
  HDC memory = ::CreateCompatibleDC(dis->hDC);
  if (!memory) return;
  HGDIOBJ old = ::SelectObject(memory, look->GetSafeHandle());
  const RECT& r = dis->rcItem;
  ::BitBlt(dis->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, memory, 0, 0, SRCCOPY);
  ::SelectObject(memory, old);
  ::DeleteDC(memory);
}
