#include "app/message/pads/CTemplateDlg.h"

#include <algorithm>

#include "app/foundation/UiMenus.h"
#include "app/protocol/WindowMessages.h"
#include "platform/framework/CFile.h"
#include "platform/gdi/Gdi.h"

bool ReadTemplateFile(const std::wstring& path, std::vector<std::wstring>* lines, size_t maxLines) {
  lines->clear();
  CFile file;
  if (!file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite)) return false;
  // UTF-16LE, two bytes a character; a line ends at CR immediately followed
  // by LF, and what follows the last CR LF is no line.
  std::wstring line;
  bool cut = false;  // the line is past its length: the rest of it is dropped
  bool cr = false;
  unsigned char buffer[8192];
  int pending = -1;  // the first byte of a character split over two reads
  for (UINT got; lines->size() < maxLines && (got = file.Read(buffer, sizeof buffer)) > 0;) {
    for (UINT i = 0; i < got && lines->size() < maxLines; ++i) {
      if (pending < 0) {
        pending = buffer[i];
        continue;
      }
      const wchar_t ch = static_cast<wchar_t>(pending | (buffer[i] << 8));
      pending = -1;
      if (cr && ch == L'\n') {
        lines->push_back(line);
        line.clear();
        cut = cr = false;
        continue;
      }
      if (cr && !cut) line.push_back(L'\r');
      cr = ch == L'\r';
      if (cr || cut) continue;
      if (line.size() < CTemplateDlg::kMaxLine) {
        line.push_back(ch);
        continue;
      }
      // Over-long: keep the line's head, never half of a surrogate pair.
      if (line.back() >= 0xD800 && line.back() <= 0xDBFF) line.pop_back();
      cut = true;
    }
  }
  return true;
}

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
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(list_.SendMessage(WM_GETFONT)));
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, lines_[longest].c_str(), static_cast<int>(lines_[longest].size()), &extent);
    ::SelectObject(dc, old);
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
