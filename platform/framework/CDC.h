// Device contexts: CDC wraps a DC it may own (CreateCompatibleDC) or be
// given (Attach, FromHandle); CPaintDC is a window's paint (BeginPaint and
// EndPaint), CClientDC and CWindowDC its client and whole-window DCs.
#pragma once

#include "platform/framework/CGdiObject.h"
#include "platform/framework/CString.h"

class CWnd;

class QV_PLATFORM_API CDC : public CObject {
 public:
  CDC() = default;
  ~CDC() override;

  HDC m_hDC = nullptr;
  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }  // NOLINT

  static CDC* FromHandle(HDC dc);
  BOOL Attach(HDC dc);
  HDC Detach();
  BOOL CreateCompatibleDC(CDC* dc);
  BOOL DeleteDC();
  int SaveDC();
  BOOL RestoreDC(int saved);

  // The object selected before, as a temporary object.
  CGdiObject* SelectObject(CGdiObject* object);
  CPen* SelectObject(CPen* pen);
  CBrush* SelectObject(CBrush* brush);
  CFont* SelectObject(CFont* font);
  CBitmap* SelectObject(CBitmap* bitmap);
  CGdiObject* SelectStockObject(int index);

  COLORREF SetTextColor(COLORREF color);
  COLORREF GetTextColor() const;
  COLORREF SetBkColor(COLORREF color);
  COLORREF GetBkColor() const;
  int SetBkMode(int mode);
  UINT SetTextAlign(UINT align);
  int GetDeviceCaps(int index) const;
  int IntersectClipRect(LPCRECT rect);
  int GetClipBox(LPRECT rect) const;
  CPoint SetViewportOrg(int x, int y);

  BOOL TextOut(int x, int y, const CString& text);
  BOOL ExtTextOut(int x, int y, UINT options, LPCRECT rect, const CString& text, const int* advances = nullptr);
  int DrawText(const CString& text, LPRECT rect, UINT format);
  CSize GetTextExtent(const CString& text) const;
  BOOL GetTextMetrics(TEXTMETRICW* metrics) const;

  void FillRect(LPCRECT rect, CBrush* brush);
  void FillSolidRect(LPCRECT rect, COLORREF color);
  void FrameRect(LPCRECT rect, CBrush* brush);
  void Draw3dRect(LPCRECT rect, COLORREF topLeft, COLORREF bottomRight);
  BOOL Rectangle(LPCRECT rect);
  BOOL Ellipse(LPCRECT rect);
  CPoint MoveTo(int x, int y);
  BOOL LineTo(int x, int y);
  COLORREF SetPixel(int x, int y, COLORREF color);
  int SetROP2(int mode);
  int GetROP2() const;
  BOOL Polyline(const POINT* points, int count);
  void InvertRect(LPCRECT rect);
  COLORREF GetPixel(int x, int y) const;
  BOOL PatBlt(int x, int y, int width, int height, DWORD rop);
  BOOL BitBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, DWORD rop);
  BOOL StretchBlt(int x, int y, int width, int height, CDC* source, int sx, int sy, int sw, int sh, DWORD rop);
  BOOL DrawIcon(int x, int y, HICON icon);

 private:
  bool owned_ = false;  // made by CreateCompatibleDC: deleted with the object
};

class QV_PLATFORM_API CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* wnd);
  ~CPaintDC() override;
  PAINTSTRUCT m_ps{};

 protected:
  HWND m_hWnd;
};

class QV_PLATFORM_API CClientDC : public CDC {
 public:
  explicit CClientDC(CWnd* wnd);
  ~CClientDC() override;

 protected:
  HWND m_hWnd;
};

class QV_PLATFORM_API CWindowDC : public CDC {
 public:
  explicit CWindowDC(CWnd* wnd);
  ~CWindowDC() override;

 protected:
  HWND m_hWnd;
};
