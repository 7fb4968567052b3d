#include "app/shell/boxdlg/QvTitleBarCtrl.h"

#include <algorithm>

#include "app/foundation/QvClipboard.h"
#include "platform/framework/CDC.h"

BEGIN_MESSAGE_MAP(QvTitleBarCtrl, CStatic)
  ON_WM_PAINT()
  ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

QvTitleBarCtrl::QvTitleBarCtrl()
    : background_(COLOR_3DFACE), ink_(COLOR_WINDOWTEXT), thickness_(std::max(1, GetSystemMetrics(SM_CXBORDER))) {
  LOGFONTW lf;
  InitLogFont(&lf, 32, false);
  lf.lfHeight = 32;  // the cell's height, as the screens' lists have it
  lf.lfCharSet = DEFAULT_CHARSET;
  font_.CreateFontIndirect(&lf);
}

void QvTitleBarCtrl::SetTitle(LPCTSTR title) {
  SetWindowText(title);
  if (m_hWnd) Invalidate(FALSE);
}

void QvTitleBarCtrl::SetCount(int count) {
  count_ = count;
  if (m_hWnd) Invalidate(FALSE);
}

void QvTitleBarCtrl::HideCount() {
  showCount_ = false;
  if (m_hWnd) Invalidate(FALSE);
}

void QvTitleBarCtrl::ShowCount() {
  showCount_ = true;
  if (m_hWnd) Invalidate(FALSE);
}

BOOL QvTitleBarCtrl::OnEraseBkgnd(CDC*) { return TRUE; }  // the paint fills it all

void QvTitleBarCtrl::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  const COLORREF back = GetSysColor(background_);
  const COLORREF ink = GetSysColor(ink_);
  dc.FillSolidRect(&client, back);
  CFont* old = dc.SelectObject(&font_);
  dc.SetTextColor(ink);
  dc.SetBkColor(back);
  dc.SetBkMode(OPAQUE);
  CString title;
  GetWindowText(title);
  CRect text = client;
  text.left += 4;
  text.right -= 4;
  if (showCount_) {
    CString count;
    count.Format(L"%d件", count_);
    dc.DrawText(count, &text, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    // A long title stops short of the count.
    text.right -= dc.GetTextExtent(count).cx + 8;
  }
  if (!title.IsEmpty()) dc.DrawText(title, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  dc.SelectObject(old);
  // The rule: `thickness_` deep, centred (thickness + 1) / 2 above the bottom.
  const int centre = client.bottom - (thickness_ + 1) / 2;
  CRect rule(client.left, centre - thickness_ / 2, client.right, centre - thickness_ / 2 + thickness_);
  dc.FillSolidRect(&rule, ink);
}
