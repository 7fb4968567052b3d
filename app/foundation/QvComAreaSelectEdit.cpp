#include "app/foundation/QvComAreaSelectEdit.h"

#include "app/foundation/QvClipboard.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/ui/window/ScopedGetDC.h"

QvComAreaSelectEdit::~QvComAreaSelectEdit() = default;

void QvComAreaSelectEdit::Attached() {
  if (font_) return;
  LOGFONTW lf;
  InitLogFont(&lf, kLineHeight, false);
  font_.reset(CreateFontIndirectW(&lf));
  SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
}

BOOL QvComAreaSelectEdit::SubclassWindow(HWND hwnd) {
  if (!CEdit::SubclassWindow(hwnd)) return FALSE;
  Attached();
  return TRUE;
}

BOOL QvComAreaSelectEdit::SubclassDlgItem(UINT id, CWnd* parent) {
  return parent && SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

BOOL QvComAreaSelectEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  if (!CEdit::Create(style, rect, parent, id)) return FALSE;
  Attached();
  return TRUE;
}

LRESULT QvComAreaSelectEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
      if (selector_->FilterKey(static_cast<UINT>(wParam))) return 0;
      break;
    case WM_CHAR:
      if (selector_->FilterChar(static_cast<UINT>(wParam))) return 0;
      break;
    case WM_LBUTTONDOWN:
      selector_->FilterTap();
      break;
    case WM_GETDLGCODE: {
      LRESULT code = CEdit::WindowProc(message, wParam, lParam) & ~static_cast<LRESULT>(DLGC_HASSETSEL);
      return selector_->IsActive() ? code | DLGC_WANTARROWS : code;
    }
    default:
      break;
  }
  return CEdit::WindowProc(message, wParam, lParam);
}

BOOL QvComAreaSelectEdit::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_COMMAND && HIWORD(wParam) == EN_KILLFOCUS) {
    selector_->End();
    int start = 0, end = 0;
    GetSel(start, end);
    SetSel(start, start);
    SendMessage(EM_SCROLLCARET);
  } else if (message == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) {
    UpdateScrollBar();
  }
  return CEdit::OnChildNotify(message, wParam, lParam, result);
}

void QvComAreaSelectEdit::UpdateScrollBar() {
  CString text;
  GetWindowText(text);
  RECT client{};
  GetClientRect(&client);
  RECT need{0, 0, 0, 0};
  {
    const qv::ScopedGetDC dc(m_hWnd);
    const qv::ScopedSelectObject withFont(dc, font_.get());
    DrawTextW(dc, text.GetString(), text.GetLength(), &need, DT_CALCRECT | DT_NOPREFIX);
  }
  const bool wide = need.right > client.right;
  const bool tall = GetLineCount() * kLineHeight > client.bottom;
  const bool lastLine = LineFromChar(-1) == GetLineCount() - 1;
  bool bothAppeared = false;
  if (wide != horizontalBar_) {
    ModifyStyle(wide ? 0 : WS_HSCROLL, wide ? WS_HSCROLL : 0, SWP_FRAMECHANGED);
    if (wide && lastLine) LineScroll(1, 0);
    if (!wide) LineScroll(0, -::GetScrollPos(m_hWnd, SB_HORZ));
    bothAppeared = wide;
    horizontalBar_ = wide;
  }
  if (tall != verticalBar_) {
    ModifyStyle(tall ? 0 : WS_VSCROLL, tall ? WS_VSCROLL : 0, SWP_FRAMECHANGED);
    if (tall && lastLine) LineScroll(1, 0);
    if (!tall) LineScroll(-GetFirstVisibleLine(), 0);
    bothAppeared = bothAppeared && tall;
    verticalBar_ = tall;
  }
  if (bothAppeared) LineScroll(0, 2);
}
