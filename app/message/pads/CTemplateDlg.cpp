#include "app/message/pads/CTemplateDlg.h"

#include <algorithm>

#include "app/foundation/UiMenus.h"
#include "app/protocol/WindowMessages.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"

LRESULT CTemplateListBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_GETDLGCODE:
      return CListBox::WindowProc(message, wParam, lParam) | DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        ::SendMessageW(::GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(IDOK, 0), reinterpret_cast<LPARAM>(m_hWnd));
        return 0;
      }
      break;
    case WM_LBUTTONDOWN: {
      // A tap on the line already selected picks it.
      const int before = GetCurSel();
      const LRESULT r = CListBox::WindowProc(message, wParam, lParam);
      const LRESULT hit = SendMessage(LB_ITEMFROMPOINT, 0, lParam);
      if (before >= 0 && HIWORD(hit) == 0 && static_cast<int>(LOWORD(hit)) == before && GetCurSel() == before) {
        ::SendMessageW(::GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(CTemplateDlg::kPickCommand, 0), 0);
      }
      return r;
    }
    default:
      break;
  }
  return CListBox::WindowProc(message, wParam, lParam);
}

BOOL CTemplateDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetWindowText(L"顔文字");
  CreateMenuBar(m_hWnd, kMenuId);
  list_.SubclassDlgItem(kListId, this);
  SetItemHeight(std::max(1, list_.GetItemHeight(0)));
  size_t longest = 0;
  for (size_t i = 0; i < lines_.size(); ++i) {
    list_.InsertString(-1, lines_[i].c_str());
    if (lines_[i].size() > lines_[longest].size()) longest = i;
  }
  if (!lines_.empty()) {
    HDC dc = ::GetDC(list_.m_hWnd);
    SIZE extent{};
    {
      qv::ScopedSelectObject font(dc, reinterpret_cast<HGDIOBJ>(list_.SendMessage(WM_GETFONT)));
      ::GetTextExtentPoint32W(dc, lines_[longest].c_str(), static_cast<int>(lines_[longest].size()), &extent);
    }
    ::ReleaseDC(list_.m_hWnd, dc);
    list_.SetHorizontalExtent(extent.cx);
    list_.SetCurSel(0);
    lastIndex_ = 0;
  }
  CBasicPad::OnInitDialog();
  list_.SetFocus();
  return FALSE;
}

void CTemplateDlg::Pick() {
  const int index = list_.GetCurSel();
  if (index < 0 || static_cast<size_t>(index) >= lines_.size()) return;
  picked_ = lines_[static_cast<size_t>(index)];
  lastIndex_ = index;
  if (target_) target_->SendMessage(kPadInsertMessage, 2, reinterpret_cast<LPARAM>(picked_.c_str()));
}

// The caption's OK: the selected line is the pad's result. The OK that
// follows an Enter in the dialog only ends the Enter.
void CTemplateDlg::OnOK() {
  if (enter_) {
    enter_ = false;
    return;
  }
  const int index = list_.GetCurSel();
  if (index >= 0 && static_cast<size_t>(index) < lines_.size()) picked_ = lines_[static_cast<size_t>(index)];
  EndDialog(IDOK);
}

LRESULT CTemplateDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    const UINT id = LOWORD(wParam);
    if (id == IDOK && lParam && reinterpret_cast<HWND>(lParam) == list_.m_hWnd) {
      // Enter in the list: pick and close.
      Pick();
      EndDialog(IDOK);
      return 0;
    }
    if (id == kPickCommand || (id == static_cast<UINT>(kListId) && HIWORD(wParam) == LBN_DBLCLK)) {
      Pick();
      return 0;
    }
  }
  return CBasicPad::WindowProc(message, wParam, lParam);
}
