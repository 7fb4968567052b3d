// The drawing interface the UI paints with: device contexts on 32-bit
// surfaces, pens, brushes, bitmaps, fonts and text, blits, icons and image
// lists. Calls follow GDI's documented pixel rules; failures return the
// documented failure value and set GetLastError.
//
// Memory DCs, bitmaps, fonts and the other objects may be made and used on
// any thread (thumbnails are drawn on workers); one DC is used by one thread
// at a time, as in Win32.
#pragma once

#include "platform/gdi/GdiTypes.h"

extern "C" {

// Device contexts.
QV_PLATFORM_API HDC CreateCompatibleDC(HDC dc);
QV_PLATFORM_API BOOL DeleteDC(HDC dc);
// The window a DC from GetDC, GetWindowDC or BeginPaint draws for; null for
// memory DCs.
QV_PLATFORM_API HWND WindowFromDC(HDC dc);
QV_PLATFORM_API int SaveDC(HDC dc);
QV_PLATFORM_API BOOL RestoreDC(HDC dc, int saved);
QV_PLATFORM_API HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
QV_PLATFORM_API HGDIOBJ GetCurrentObject(HDC dc, UINT type);
QV_PLATFORM_API COLORREF SetTextColor(HDC dc, COLORREF color);
QV_PLATFORM_API COLORREF GetTextColor(HDC dc);
QV_PLATFORM_API COLORREF SetBkColor(HDC dc, COLORREF color);
QV_PLATFORM_API COLORREF GetBkColor(HDC dc);
QV_PLATFORM_API int SetBkMode(HDC dc, int mode);
QV_PLATFORM_API int GetBkMode(HDC dc);
QV_PLATFORM_API int SetROP2(HDC dc, int mode);
QV_PLATFORM_API int GetROP2(HDC dc);
QV_PLATFORM_API UINT SetTextAlign(HDC dc, UINT align);
QV_PLATFORM_API UINT GetTextAlign(HDC dc);
QV_PLATFORM_API BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous);
QV_PLATFORM_API BOOL GetViewportOrgEx(HDC dc, POINT* origin);
QV_PLATFORM_API BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* previous);
// Clipping is rectangular: IntersectClipRect narrows it, RestoreDC brings it back.
QV_PLATFORM_API int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
QV_PLATFORM_API int GetClipBox(HDC dc, RECT* box);
QV_PLATFORM_API int GetDeviceCaps(HDC dc, int index);

// Objects.
QV_PLATFORM_API HGDIOBJ GetStockObject(int index);
QV_PLATFORM_API BOOL DeleteObject(HGDIOBJ object);
QV_PLATFORM_API int GetObjectW(HGDIOBJ object, int size, LPVOID out);
QV_PLATFORM_API DWORD GetObjectType(HGDIOBJ object);
QV_PLATFORM_API HPEN CreatePen(int style, int width, COLORREF color);
QV_PLATFORM_API HPEN CreatePenIndirect(const LOGPEN* pen);
QV_PLATFORM_API HBRUSH CreateSolidBrush(COLORREF color);
QV_PLATFORM_API HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// 32 bits a pixel only; `bits` (may be null) is copied in, rows top first.
QV_PLATFORM_API HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
// 32-bit BI_RGB only; a negative height makes a top-down section.
QV_PLATFORM_API HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                         DWORD offset);
QV_PLATFORM_API HFONT CreateFontIndirectW(const LOGFONTW* font);

// System colours. GetSysColor also takes an index carrying SYS_COLOR_INDEX_FLAG.
QV_PLATFORM_API DWORD GetSysColor(int index);
QV_PLATFORM_API HBRUSH GetSysColorBrush(int index);
QV_PLATFORM_API BOOL SetSysColors(int count, const int* indexes, const COLORREF* colors);

// Lines and shapes. A brush argument may also be a system colour index + 1.
QV_PLATFORM_API COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
QV_PLATFORM_API COLORREF GetPixel(HDC dc, int x, int y);
QV_PLATFORM_API BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
QV_PLATFORM_API BOOL LineTo(HDC dc, int x, int y);
QV_PLATFORM_API BOOL Polyline(HDC dc, const POINT* points, int count);
QV_PLATFORM_API BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
QV_PLATFORM_API BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
QV_PLATFORM_API int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
QV_PLATFORM_API int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
QV_PLATFORM_API BOOL InvertRect(HDC dc, const RECT* rect);
QV_PLATFORM_API BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);

// Blits.
QV_PLATFORM_API BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop);
QV_PLATFORM_API BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy,
                                int sourceWidth, int sourceHeight, DWORD rop);
// Copies every source pixel but those of the key colour.
QV_PLATFORM_API BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy,
                                    int sourceWidth, int sourceHeight, UINT keyColor);
QV_PLATFORM_API BOOL TransparentImage(HDC dest, int x, int y, int width, int height, HANDLE source, int sx, int sy,
                                      int sourceWidth, int sourceHeight, COLORREF keyColor);

// Text.
QV_PLATFORM_API BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics);
QV_PLATFORM_API int GetTextFaceW(HDC dc, int count, LPWSTR name);
QV_PLATFORM_API BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size);
QV_PLATFORM_API BOOL GetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int maxExtent, int* fit, int* extents,
                                           SIZE* size);
QV_PLATFORM_API BOOL GetCharWidth32W(HDC dc, UINT first, UINT last, int* widths);
QV_PLATFORM_API BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count);
QV_PLATFORM_API BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                                 const int* advances);
// Lays text out in a rectangle (line breaks, alignment, ellipsis, "&"
// prefixes); returns the height of the text.
QV_PLATFORM_API int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format);

// Icons.
QV_PLATFORM_API HICON CreateIconIndirect(const ICONINFO* info);
QV_PLATFORM_API BOOL DestroyIcon(HICON icon);
QV_PLATFORM_API BOOL DrawIcon(HDC dc, int x, int y, HICON icon);
QV_PLATFORM_API BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT step, HBRUSH flicker,
                                UINT flags);
// Through the resource images the window system installs (ResourceImages.h).
QV_PLATFORM_API HBITMAP LoadBitmapW(HINSTANCE module, LPCWSTR name);
QV_PLATFORM_API HICON LoadIconW(HINSTANCE module, LPCWSTR name);

// Rectangles.
QV_PLATFORM_API BOOL SetRect(RECT* rect, int left, int top, int right, int bottom);
QV_PLATFORM_API BOOL SetRectEmpty(RECT* rect);
QV_PLATFORM_API BOOL CopyRect(RECT* dest, const RECT* source);
QV_PLATFORM_API BOOL IsRectEmpty(const RECT* rect);
QV_PLATFORM_API BOOL EqualRect(const RECT* a, const RECT* b);
QV_PLATFORM_API BOOL PtInRect(const RECT* rect, POINT point);
QV_PLATFORM_API BOOL OffsetRect(RECT* rect, int dx, int dy);
QV_PLATFORM_API BOOL InflateRect(RECT* rect, int dx, int dy);
QV_PLATFORM_API BOOL IntersectRect(RECT* dest, const RECT* a, const RECT* b);
QV_PLATFORM_API BOOL UnionRect(RECT* dest, const RECT* a, const RECT* b);

}  // extern "C"

// Regions' complexity as the clip calls report it.
#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
