#include "platform/framework/CGdiObject.h"

#include "platform/framework/AfxResource.h"
#include "platform/framework/AfxState.h"
#include "platform/framework/CDC.h"

namespace qv::afx {
namespace {

void DetachGdi(CGdiObject& o) { o.m_hObject = nullptr; }

TempMap<CGdiObject, HGDIOBJ, DetachGdi>& Temporary() {
  thread_local TempMap<CGdiObject, HGDIOBJ, DetachGdi> map;
  return map;
}

}  // namespace

void DeleteTempGdiObjects() { Temporary().Clear(); }

}  // namespace qv::afx

CGdiObject::~CGdiObject() { DeleteObject(); }

CGdiObject* CGdiObject::FromHandle(HGDIOBJ object) {
  if (!object) return nullptr;
  // An object of the kind the handle is, so that the typed FromHandle calls hold.
  return qv::afx::Temporary().Get(object, [](HGDIOBJ h) {
    std::unique_ptr<CGdiObject> o;
    switch (GetObjectType(h)) {
      case OBJ_PEN: o = std::make_unique<CPen>(); break;
      case OBJ_BRUSH: o = std::make_unique<CBrush>(); break;
      case OBJ_FONT: o = std::make_unique<CFont>(); break;
      case OBJ_BITMAP: o = std::make_unique<CBitmap>(); break;
      default: o = std::make_unique<CGdiObject>(); break;
    }
    o->m_hObject = h;
    return o;
  });
}

BOOL CGdiObject::Attach(HGDIOBJ object) {
  if (!object || m_hObject) return FALSE;
  m_hObject = object;
  return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
  HGDIOBJ h = m_hObject;
  m_hObject = nullptr;
  return h;
}

BOOL CGdiObject::DeleteObject() {
  if (!m_hObject) return FALSE;
  return ::DeleteObject(Detach());
}

int CGdiObject::GetObject(int size, LPVOID out) const { return ::GetObjectW(m_hObject, size, out); }

BOOL CGdiObject::CreateStockObject(int index) { return Attach(::GetStockObject(index)); }

CPen::CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
BOOL CPen::CreatePen(int style, int width, COLORREF color) { return Attach(::CreatePen(style, width, color)); }

CBrush::CBrush(COLORREF color) { CreateSolidBrush(color); }
BOOL CBrush::CreateSolidBrush(COLORREF color) { return Attach(::CreateSolidBrush(color)); }
BOOL CBrush::CreateSysColorBrush(int index) { return Attach(::GetSysColorBrush(index)); }

BOOL CFont::CreateFontIndirect(const LOGFONTW* font) { return Attach(::CreateFontIndirectW(font)); }

BOOL CFont::CreatePointFont(int pointSize, LPCTSTR face, CDC* dc) {
  HDC screen = dc ? nullptr : ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(dc ? dc->m_hDC : screen, LOGPIXELSY);
  if (screen) ::ReleaseDC(nullptr, screen);
  LOGFONTW lf{};
  // Tenths of a point to pixels, rounded: a negative height is the em.
  lf.lfHeight = -((pointSize * dpi + 360) / 720);
  lf.lfWeight = 400;
  lf.lfCharSet = 128;  // SHIFTJIS_CHARSET
  for (int i = 0; face && face[i] && i < LF_FACESIZE - 1; ++i) lf.lfFaceName[i] = face[i];
  return CreateFontIndirect(&lf);
}

BOOL CBitmap::LoadBitmap(UINT id) { return Attach(::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id))); }

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) {
  return Attach(::CreateCompatibleBitmap(dc ? dc->m_hDC : nullptr, width, height));
}

BOOL CBitmap::CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
  return Attach(::CreateBitmap(width, height, planes, bitsPerPixel, bits));
}

CSize CBitmap::GetBitmapDimension() const {
  BITMAP bm{};
  if (!GetBitmap(&bm)) return CSize();
  return CSize(bm.bmWidth, bm.bmHeight);
}
