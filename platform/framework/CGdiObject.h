// The drawing objects: an object owns its handle and deletes it when it
// goes, unless detached. FromHandle gives a temporary object that never
// deletes its handle (kept until the thread is next idle).
#pragma once

#include "platform/framework/CObject.h"
#include "platform/framework/Geometry.h"

class CDC;

class QV_PLATFORM_API CGdiObject : public CObject {
 public:
  CGdiObject() = default;
  ~CGdiObject() override;

  HGDIOBJ m_hObject = nullptr;
  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  operator HGDIOBJ() const { return m_hObject; }  // NOLINT

  static CGdiObject* FromHandle(HGDIOBJ object);
  BOOL Attach(HGDIOBJ object);
  HGDIOBJ Detach();
  BOOL DeleteObject();
  int GetObject(int size, LPVOID out) const;
  BOOL CreateStockObject(int index);
};

class QV_PLATFORM_API CPen : public CGdiObject {
 public:
  CPen() = default;
  CPen(int style, int width, COLORREF color);
  BOOL CreatePen(int style, int width, COLORREF color);
  operator HPEN() const { return static_cast<HPEN>(m_hObject); }  // NOLINT
  static CPen* FromHandle(HPEN pen) { return static_cast<CPen*>(CGdiObject::FromHandle(pen)); }
};

class QV_PLATFORM_API CBrush : public CGdiObject {
 public:
  CBrush() = default;
  explicit CBrush(COLORREF color);
  BOOL CreateSolidBrush(COLORREF color);
  BOOL CreateSysColorBrush(int index);
  operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }  // NOLINT
  static CBrush* FromHandle(HBRUSH brush) { return static_cast<CBrush*>(CGdiObject::FromHandle(brush)); }
};

class QV_PLATFORM_API CFont : public CGdiObject {
 public:
  BOOL CreateFontIndirect(const LOGFONTW* font);
  // `pointSize` in tenths of a point, at the DC's (or the screen's) resolution.
  BOOL CreatePointFont(int pointSize, LPCTSTR face, CDC* dc = nullptr);
  int GetLogFont(LOGFONTW* out) const { return GetObject(sizeof(LOGFONTW), out); }
  operator HFONT() const { return static_cast<HFONT>(m_hObject); }  // NOLINT
  static CFont* FromHandle(HFONT font) { return static_cast<CFont*>(CGdiObject::FromHandle(font)); }
};

class QV_PLATFORM_API CBitmap : public CGdiObject {
 public:
  // From the resource handle.
  BOOL LoadBitmap(UINT id);
  BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
  BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
  int GetBitmap(BITMAP* out) const { return GetObject(sizeof(BITMAP), out); }
  CSize GetBitmapDimension() const;
  operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }  // NOLINT
  static CBitmap* FromHandle(HBITMAP bitmap) { return static_cast<CBitmap*>(CGdiObject::FromHandle(bitmap)); }
};
