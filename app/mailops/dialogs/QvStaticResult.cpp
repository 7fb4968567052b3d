#include "app/mailops/dialogs/QvStaticResult.h"

#include <algorithm>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"

namespace {

constexpr UINT kNameFormat = DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
constexpr UINT kResultFormat = DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;

SIZE Measure(HWND window, HFONT font, LPCWSTR text) {
  SIZE size{};
  HDC dc = ::GetDC(window);
  {
    const qv::ScopedSelectObject withFont(dc, font);
    GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
  }
  ::ReleaseDC(window, dc);
  return size;
}

}  // namespace

QvStaticResult::~QvStaticResult() = default;

BOOL QvStaticResult::Bind(CWnd* page, UINT id, LPCWSTR name, LPCWSTR result) {
  if (!SubclassDlgItem(id, page)) return FALSE;
  const auto font = reinterpret_cast<HFONT>(page->SendMessage(WM_GETFONT));
  RECT r{};
  GetClientRect(&r);
  struct Part {
    QvStaticLine* line;
    LPCWSTR text;
    UINT format;
  };
  for (const Part& p : {Part{&name_, name, kNameFormat}, Part{&result_, result, kResultFormat}}) {
    if (!p.line->Create(p.text, WS_CHILD | WS_VISIBLE, r, this)) return FALSE;
    p.line->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    p.line->SetDrawTextFormat(p.format);
    p.line->SetLineStyle(PS_NULL);
    // The text stands on the page itself, not on a field of its own.
    p.line->SetBkColor(kSystemColour | COLOR_BTNFACE);
  }
  nameSize_ = Measure(m_hWnd, font, name);
  resultSize_ = Measure(m_hWnd, font, result);
  height_ = std::max(nameSize_.cy, resultSize_.cy);
  Layout();
  return TRUE;
}

// The result always whole at the right end when both do not fit; the name
// takes what is left and is cut with an ellipsis.
void QvStaticResult::Layout() {
  if (!m_hWnd || !name_.m_hWnd) return;
  RECT r{};
  GetClientRect(&r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  int nameWidth = nameSize_.cx;
  int resultLeft = nameWidth + 1;
  int resultWidth = width - resultLeft;
  if (nameSize_.cx + resultSize_.cx > width) {
    resultWidth = std::min(resultSize_.cx, width);
    resultLeft = width - resultWidth;
    nameWidth = std::max(0, resultLeft);
  }
  name_.MoveWindow(0, 0, nameWidth, height, TRUE);
  result_.MoveWindow(resultLeft, 0, std::max(0, resultWidth), height, TRUE);
}

LRESULT QvStaticResult::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT r = CWnd::WindowProc(message, wParam, lParam);
  if (message == WM_SIZE) Layout();
  return r;
}
