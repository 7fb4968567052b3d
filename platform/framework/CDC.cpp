#include "platform/framework/CDC.h"

#include "platform/framework/AfxState.h"
#include "platform/framework/CWnd.h"
#include "platform/framework/MessageMap.h"

namespace qv::afx {
namespace {

void DetachDc(CDC& dc) { dc.Detach(); }

TempMap<CDC, HDC, DetachDc>& Temporary() {
  thread_local TempMap<CDC, HDC, DetachDc> map;
  return map;
}

}  // namespace

void DeleteTempDCs() { Temporary().Clear(); }

CDC* DcOf(HDC dc) { return CDC::FromHandle(dc); }

}  // namespace qv::afx

CDC::~CDC() {
  if (owned_) DeleteDC();
}

CDC* CDC::FromHandle(HDC dc) {
  if (!dc) return nullptr;
  return qv::afx::Temporary().Get(dc, [](HDC h) {
    auto c = std::make_unique<CDC>();
    c->Attach(h);
    return c;
  });
}

BOOL CDC::Attach(HDC dc) {
  if (!dc || m_hDC) return FALSE;
  m_hDC = dc;
  return TRUE;
}

HDC CDC::Detach() {
  HDC dc = m_hDC;
  m_hDC = nullptr;
  owned_ = false;
  return dc;
}

BOOL CDC::CreateCompatibleDC(CDC* dc) {
  if (!Attach(::CreateCompatibleDC(dc ? dc->m_hDC : nullptr))) return FALSE;
  owned_ = true;
  return TRUE;
}

BOOL CDC::DeleteDC() {
  if (!m_hDC) return FALSE;
  return ::DeleteDC(Detach());
}

int CDC::SaveDC() { return ::SaveDC(m_hDC); }
BOOL CDC::RestoreDC(int saved) { return ::RestoreDC(m_hDC, saved); }

CGdiObject* CDC::SelectObject(CGdiObject* object) {
  return CGdiObject::FromHandle(::SelectObject(m_hDC, object ? object->m_hObject : nullptr));
}
CPen* CDC::SelectObject(CPen* pen) { return static_cast<CPen*>(SelectObject(static_cast<CGdiObject*>(pen))); }
CBrush* CDC::SelectObject(CBrush* brush) { return static_cast<CBrush*>(SelectObject(static_cast<CGdiObject*>(brush))); }
CFont* CDC::SelectObject(CFont* font) { return static_cast<CFont*>(SelectObject(static_cast<CGdiObject*>(font))); }
CBitmap* CDC::SelectObject(CBitmap* bitmap) {
  return static_cast<CBitmap*>(SelectObject(static_cast<CGdiObject*>(bitmap)));
}
CGdiObject* CDC::SelectStockObject(int index) {
  return CGdiObject::FromHandle(::SelectObject(m_hDC, ::GetStockObject(index)));
}

COLORREF CDC::SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
COLORREF CDC::GetTextColor() const { return ::GetTextColor(m_hDC); }
COLORREF CDC::SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }
COLORREF CDC::GetBkColor() const { return ::GetBkColor(m_hDC); }
int CDC::SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
UINT CDC::SetTextAlign(UINT align) { return ::SetTextAlign(m_hDC, align); }
int CDC::GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }
int CDC::IntersectClipRect(LPCRECT r) { return ::IntersectClipRect(m_hDC, r->left, r->top, r->right, r->bottom); }
int CDC::GetClipBox(LPRECT rect) const { return ::GetClipBox(m_hDC, rect); }

CPoint CDC::SetViewportOrg(int x, int y) {
  POINT old{};
  ::SetViewportOrgEx(m_hDC, x, y, &old);
  return old;
}

BOOL CDC::TextOut(int x, int y, const CString& text) { return ::TextOutW(m_hDC, x, y, text, text.GetLength()); }

BOOL CDC::ExtTextOut(int x, int y, UINT options, LPCRECT rect, const CString& text, const int* advances) {
  return ::ExtTextOutW(m_hDC, x, y, options, rect, text, static_cast<UINT>(text.GetLength()), advances);
}

int CDC::DrawText(const CString& text, LPRECT rect, UINT format) {
  return ::DrawTextW(m_hDC, text, text.GetLength(), rect, format);
}

CSize CDC::GetTextExtent(const CString& text) const {
  SIZE size{};
  ::GetTextExtentPoint32W(m_hDC, text, text.GetLength(), &size);
  return size;
}

BOOL CDC::GetTextMetrics(TEXTMETRICW* metrics) const { return ::GetTextMetricsW(m_hDC, metrics); }
void CDC::FillRect(LPCRECT rect, CBrush* brush) { ::FillRect(m_hDC, rect, brush ? static_cast<HBRUSH>(*brush) : nullptr); }

void CDC::FillSolidRect(LPCRECT rect, COLORREF color) {
  // As the framework does it: an opaque text-out of nothing in the background colour.
  const COLORREF old = ::SetBkColor(m_hDC, color);
  ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
  ::SetBkColor(m_hDC, old);
}

void CDC::FrameRect(LPCRECT rect, CBrush* brush) { ::FrameRect(m_hDC, rect, brush ? static_cast<HBRUSH>(*brush) : nullptr); }

void CDC::Draw3dRect(LPCRECT r, COLORREF topLeft, COLORREF bottomRight) {
  const int w = r->right - r->left, h = r->bottom - r->top;
  const RECT top{r->left, r->top, r->left + w - 1, r->top + 1}, left{r->left, r->top, r->left + 1, r->top + h - 1};
  const RECT right{r->right - 1, r->top, r->right, r->bottom}, bottom{r->left, r->bottom - 1, r->right, r->bottom};
  FillSolidRect(&top, topLeft);
  FillSolidRect(&left, topLeft);
  FillSolidRect(&right, bottomRight);
  FillSolidRect(&bottom, bottomRight);
}

BOOL CDC::Rectangle(LPCRECT r) { return ::Rectangle(m_hDC, r->left, r->top, r->right, r->bottom); }
BOOL CDC::Ellipse(LPCRECT r) { return ::Ellipse(m_hDC, r->left, r->top, r->right, r->bottom); }

CPoint CDC::MoveTo(int x, int y) {
  POINT old{};
  ::MoveToEx(m_hDC, x, y, &old);
  return old;
}

BOOL CDC::LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
COLORREF CDC::SetPixel(int x, int y, COLORREF color) { return ::SetPixel(m_hDC, x, y, color); }
int CDC::SetROP2(int mode) { return ::SetROP2(m_hDC, mode); }
int CDC::GetROP2() const { return ::GetROP2(m_hDC); }
BOOL CDC::Polyline(const POINT* points, int count) { return ::Polyline(m_hDC, points, count); }
void CDC::InvertRect(LPCRECT rect) { ::InvertRect(m_hDC, rect); }
COLORREF CDC::GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
BOOL CDC::PatBlt(int x, int y, int width, int height, DWORD rop) { return ::PatBlt(m_hDC, x, y, width, height, rop); }

BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, DWORD rop) {
  return ::BitBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, sx, sy, rop);
}

BOOL CDC::StretchBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, int sw, int sh, DWORD rop) {
  return ::StretchBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, sx, sy, sw, sh, rop);
}

BOOL CDC::DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd->m_hWnd) { Attach(::BeginPaint(m_hWnd, &m_ps)); }
CPaintDC::~CPaintDC() {
  Detach();
  ::EndPaint(m_hWnd, &m_ps);
}

CClientDC::CClientDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : nullptr) { Attach(::GetDC(m_hWnd)); }
CClientDC::~CClientDC() { ::ReleaseDC(m_hWnd, Detach()); }

CWindowDC::CWindowDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : nullptr) { Attach(::GetWindowDC(m_hWnd)); }
CWindowDC::~CWindowDC() { ::ReleaseDC(m_hWnd, Detach()); }
