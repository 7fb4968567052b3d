#include "app/shell/rules/QvClassifyItemView.h"

#include <algorithm>
#include <cwchar>

#include "platform/framework/AfxResource.h"
#include "platform/framework/CDC.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/ui/window/ScopedGetDC.h"

BEGIN_MESSAGE_MAP(QvClassifyItemView, CWnd)
  ON_WM_PAINT()
  ON_WM_SIZE()
  ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

namespace {

HFONT ParentFont(HWND view) {
  return reinterpret_cast<HFONT>(::SendMessageW(::GetParent(view), WM_GETFONT, 0, 0));
}

}  // namespace

BOOL QvClassifyItemView::Create(CWnd* parent, const RECT& rect, UINT id) {
  WNDCLASSW wc{};
  if (!GetClassInfoW(AfxGetInstanceHandle(), kClassName, &wc)) {
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<UINT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = kClassName;
    if (!RegisterClassW(&wc)) return FALSE;
  }
  if (!CWnd::CreateEx(0, kClassName, L"振り分け設定表示欄", WS_CHILD | WS_VISIBLE | WS_BORDER, rect, parent, id)) {
    return FALSE;
  }
  const int line = LineHeight();
  static const wchar_t* const kLabelLines[kLines] = {L"対象       :", L"振り分け先:", L"ヘッダー    :", L"キーワード :"};
  int width = kLabelWidth;
  {
    const qv::ScopedGetDC dc(m_hWnd);
    const qv::ScopedSelectObject font(dc, ParentFont(m_hWnd));
    for (const wchar_t* label : kLabelLines) {
      SIZE extent{};
      ::GetTextExtentPoint32W(dc, label, static_cast<int>(std::wcslen(label)), &extent);
      width = std::max(width, static_cast<int>(extent.cx) + 2);
    }
  }
  valueLeft_ = kLabelLeft + width + (kValueLeft - kLabelLeft - kLabelWidth);
  const RECT labelRect{kLabelLeft, kLabelLeft, kLabelLeft + width, kLabelLeft + kLines * line};
  if (!labels_.Create(L"対象       :\n振り分け先:\nヘッダー    :\nキーワード :", WS_CHILD | WS_VISIBLE | SS_LEFT,
                      labelRect, this)) {
    return FALSE;
  }
  labels_.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(ParentFont(m_hWnd)), FALSE);
  return TRUE;
}

int QvClassifyItemView::LineHeight() const {
  const qv::ScopedGetDC dc(m_hWnd);
  const qv::ScopedSelectObject font(dc, ParentFont(m_hWnd));
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc, &tm);
  return tm.tmHeight > 0 ? static_cast<int>(tm.tmHeight) : 16;
}

void QvClassifyItemView::SetValues(const std::array<CString, kLines>& values, bool folderGone) {
  values_ = values;
  gone_ = folderGone;
  if (m_hWnd) Invalidate();
}

void QvClassifyItemView::OnPaint() {
  CPaintDC dc(this);
  RECT client{};
  GetClientRect(&client);
  const int line = LineHeight();
  HDC hdc = dc.GetSafeHdc();
  const qv::ScopedSelectObject font(hdc, ParentFont(m_hWnd));
  ::SetBkMode(hdc, TRANSPARENT);
  ::SetTextColor(hdc, ::GetSysColor(gone_ ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
  for (int i = 0; i < kLines; ++i) {
    // Each value line is as wide as the view less the labels and a margin.
    RECT r{valueLeft_, kLabelLeft + i * line, client.right - 5, kLabelLeft + (i + 1) * line};
    const CString& text = values_[static_cast<size_t>(i)];
    ::DrawTextW(hdc, text.GetString(), text.GetLength(), &r, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  }
}

// The labels stand on the view's own background.
HBRUSH QvClassifyItemView::OnCtlColor(CDC* dc, CWnd*, UINT) {
  ::SetBkColor(dc->GetSafeHdc(), ::GetSysColor(COLOR_WINDOW));
  ::SetTextColor(dc->GetSafeHdc(), ::GetSysColor(COLOR_WINDOWTEXT));
  return ::GetSysColorBrush(COLOR_WINDOW);
}

void QvClassifyItemView::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  Invalidate();
}
