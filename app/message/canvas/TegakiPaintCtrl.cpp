#include "app/message/canvas/TegakiPaintCtrl.h"

#include <algorithm>
#include <cstring>

#include "platform/framework/AfxResource.h"
#include "platform/gdi/ImagingFactory.h"
#include "platform/ui/window/Paint.h"
#include "platform/ui/window/ScopedGetDC.h"

namespace {

// A device-independent pen and brush of one colour selected into a DC for a scope.
class PenAndBrush {
 public:
  PenAndBrush(HDC dc, int width, COLORREF color)
      : dc_(dc), pen_(CreatePen(PS_SOLID, width, color)), brush_(CreateSolidBrush(color)),
        oldPen_(SelectObject(dc, pen_)), oldBrush_(SelectObject(dc, brush_)) {}
  ~PenAndBrush() {
    SelectObject(dc_, oldPen_);
    SelectObject(dc_, oldBrush_);
    DeleteObject(pen_);
    DeleteObject(brush_);
  }
  PenAndBrush(const PenAndBrush&) = delete;
  PenAndBrush& operator=(const PenAndBrush&) = delete;

 private:
  HDC dc_;
  HPEN pen_;
  HBRUSH brush_;
  HGDIOBJ oldPen_, oldBrush_;
};

// COM, the Imaging factory and whatever else a load or save made, released
// in reverse on every way out.
class ImagingScope {
 public:
  ImagingScope() {
    initialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    if (initialised_ && FAILED(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                                IID_IImagingFactory, reinterpret_cast<void**>(&factory_)))) {
      factory_ = nullptr;
    }
  }
  ~ImagingScope() {
    if (factory_ != nullptr) factory_->Release();
    if (initialised_) CoUninitialize();
  }
  ImagingScope(const ImagingScope&) = delete;
  ImagingScope& operator=(const ImagingScope&) = delete;
  IImagingFactory* factory() const { return factory_; }

 private:
  bool initialised_ = false;
  IImagingFactory* factory_ = nullptr;
};

template <typename T>
struct Releasing {
  T* p = nullptr;
  ~Releasing() {
    if (p != nullptr) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
};

}  // namespace

TegakiPaintCtrl::TegakiPaintCtrl() = default;

TegakiPaintCtrl::~TegakiPaintCtrl() { Release(); }

void TegakiPaintCtrl::SetPlacement(int left, int top, int right, int bottom) {
  m_left = left;
  m_top = top;
  m_right = right;
  m_bottom = bottom;
}

BOOL TegakiPaintCtrl::AttachControl(HWND control) {
  if (DrawWidth() <= 0 || DrawHeight() <= 0 || !SubclassWindow(control)) return FALSE;
  SetWindowPos(nullptr, m_left, m_top, DrawWidth(), DrawHeight(), SWP_NOZORDER | SWP_FRAMECHANGED);
  std::memset(&m_info, 0, sizeof(m_info));
  BITMAPINFOHEADER& h = m_info.bmiHeader;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = DrawWidth();
  h.biHeight = DrawHeight();
  h.biPlanes = 1;
  h.biBitCount = 32;
  h.biCompression = BI_RGB;
  h.biSizeImage = static_cast<DWORD>(((DrawWidth() * 32 + 31) / 32) * 4 * DrawHeight());
  return CreateSurface(&m_drawDC, &m_drawBitmap, &m_drawOld) && CreateSurface(&m_undoDC, &m_undoBitmap, &m_undoOld) &&
         CreateSurface(&m_redoDC, &m_redoBitmap, &m_redoOld);
}

bool TegakiPaintCtrl::CreateSurface(HDC* dc, HBITMAP* bitmap, HGDIOBJ* old) {
  DWORD* bits = nullptr;
  *bitmap = CreateWhiteDib(&bits);
  if (*bitmap == nullptr) return false;
  *dc = CreateCompatibleDC(nullptr);
  if (*dc == nullptr) return false;
  *old = SelectObject(*dc, *bitmap);
  return true;
}

HBITMAP TegakiPaintCtrl::CreateWhiteDib(DWORD** bits) {
  void* memory = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &m_info, DIB_RGB_COLORS, &memory, nullptr, 0);
  if (bitmap == nullptr) return nullptr;
  std::fill_n(static_cast<DWORD*>(memory), static_cast<size_t>(DrawWidth()) * DrawHeight(), 0x00FFFFFFu);
  if (bits != nullptr) *bits = static_cast<DWORD*>(memory);
  return bitmap;
}

void TegakiPaintCtrl::Release() {
  struct Surface {
    HDC* dc;
    HBITMAP* bitmap;
    HGDIOBJ* old;
  } surfaces[] = {{&m_drawDC, &m_drawBitmap, &m_drawOld},
                  {&m_undoDC, &m_undoBitmap, &m_undoOld},
                  {&m_redoDC, &m_redoBitmap, &m_redoOld}};
  for (Surface& s : surfaces) {
    if (*s.dc != nullptr) {
      SelectObject(*s.dc, *s.old);
      DeleteDC(*s.dc);
    }
    if (*s.bitmap != nullptr) DeleteObject(*s.bitmap);
    *s.dc = nullptr;
    *s.bitmap = nullptr;
  }
  if (m_background != nullptr) DeleteObject(m_background);
  m_background = nullptr;
}

void TegakiPaintCtrl::SelectPen() {
  m_tool = kPen;
  m_drawColor = m_penColor;
}

void TegakiPaintCtrl::SelectEraser() {
  if (m_hasBackground) {
    m_tool = kRestoreEraser;
  } else {
    m_tool = kWhiteEraser;
    m_drawColor = kWhite;
  }
}

void TegakiPaintCtrl::SetColor(COLORREF color) {
  m_penColor = color;
  if (m_tool == kPen) m_drawColor = color;
}

void TegakiPaintCtrl::SetWidth(int width) {
  m_penWidth = width;
  m_eraserWidth = width;
}

LRESULT TegakiPaintCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  const int x = static_cast<short>(LOWORD(lParam));
  const int y = static_cast<short>(HIWORD(lParam));
  switch (message) {
    case WM_LBUTTONDOWN:
      OnButtonDown(x, y);
      return 0;
    case WM_MOUSEMOVE:
      OnMove(x, y);
      return 0;
    case WM_LBUTTONUP:
      m_buttonDown = false;
      return 0;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_DESTROY:
      Release();
      break;
    default:
      break;
  }
  return CStatic::WindowProc(message, wParam, lParam);
}

void TegakiPaintCtrl::OnButtonDown(int x, int y) {
  if (m_readOnly || m_drawDC == nullptr) return;
  m_buttonDown = true;
  m_lastX = x;
  m_lastY = y;
  SnapshotTo(m_undoDC, &m_undoBackground);
  m_redoAvailable = false;
  m_undoAvailable = true;
}

void TegakiPaintCtrl::OnMove(int x, int y) {
  // Only a stroke marks the drawing changed: a stylus hovering over an
  // untouched canvas must not make the page ask before it closes.
  if (m_readOnly || !m_buttonDown || m_drawDC == nullptr) return;
  m_modified = true;
  if (m_tool == kRestoreEraser) {
    EraseAt(x, y);
  } else {
    DrawLineTo(x, y);
  }
  m_lastX = x;
  m_lastY = y;
}

void TegakiPaintCtrl::DrawLineTo(int x, int y) {
  // The window's DC is taken for each step: it must follow the window as the page scrolls it.
  const qv::ScopedGetDC window(m_hWnd);
  for (HDC dc : {static_cast<HDC>(window), m_drawDC}) {
    if (dc == nullptr) continue;
    PenAndBrush tools(dc, m_penWidth, m_drawColor);
    MoveToEx(dc, m_lastX, m_lastY, nullptr);
    LineTo(dc, x, y);
    // A dot at the joint rounds wide strokes.
    if (m_penWidth > 2) Ellipse(dc, x, y, x, y);
  }
}

void TegakiPaintCtrl::EraseAt(int x, int y) {
  if (m_background == nullptr) return;
  const int g = m_eraserWidth;
  const int left = x - (g / 2 + 1);
  const int top = y - (g / 2 + 1);
  HDC source = CreateCompatibleDC(m_drawDC);
  HGDIOBJ old = SelectObject(source, m_background);
  const qv::ScopedGetDC window(m_hWnd);
  for (HDC dc : {static_cast<HDC>(window), m_drawDC}) {
    if (dc != nullptr) BitBlt(dc, left, top, g, g, source, left, top, SRCCOPY);
  }
  SelectObject(source, old);
  DeleteDC(source);
}

void TegakiPaintCtrl::SnapshotTo(HDC dc, bool* savedBackground) {
  BitBlt(dc, 0, 0, DrawWidth(), DrawHeight(), m_drawDC, 0, 0, SRCCOPY);
  *savedBackground = m_hasBackground;
}

void TegakiPaintCtrl::Clear() {
  if (m_drawDC == nullptr) return;
  SnapshotTo(m_undoDC, &m_undoBackground);
  m_redoAvailable = false;
  m_undoAvailable = true;
  PatBlt(m_drawDC, 0, 0, DrawWidth(), DrawHeight(), WHITENESS);
  m_modified = false;
  m_hasBackground = false;
  if (m_tool == kPen) {
    m_drawColor = m_penColor;
  } else {
    m_tool = kWhiteEraser;
    m_drawColor = kWhite;
  }
  Invalidate(FALSE);
}

void TegakiPaintCtrl::Undo() {
  if (!m_undoAvailable || m_drawDC == nullptr) return;
  SnapshotTo(m_redoDC, &m_redoBackground);
  m_redoAvailable = true;
  Restore(m_undoDC, m_undoBackground);
  m_undoAvailable = false;
  AfterRestore();
}

void TegakiPaintCtrl::Redo() {
  if (!m_redoAvailable || m_drawDC == nullptr) return;
  SnapshotTo(m_undoDC, &m_undoBackground);
  m_undoAvailable = true;
  Restore(m_redoDC, m_redoBackground);
  m_redoAvailable = false;
  AfterRestore();
}

void TegakiPaintCtrl::Restore(HDC from, bool savedBackground) {
  BitBlt(m_drawDC, 0, 0, DrawWidth(), DrawHeight(), from, 0, 0, SRCCOPY);
  m_hasBackground = savedBackground;
}

void TegakiPaintCtrl::AfterRestore() {
  if (m_tool != kPen) SelectEraser();
  Invalidate(FALSE);
}

void TegakiPaintCtrl::Paint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(m_hWnd, &ps);
  if (m_drawDC != nullptr) BitBlt(dc, 0, 0, DrawWidth(), DrawHeight(), m_drawDC, 0, 0, SRCCOPY);
  ::EndPaint(m_hWnd, &ps);
}

RECT TegakiPaintCtrl::FitRect(int a, int b, int W, int H) {
  if (a < W && b < H) {
    const int x = (W - a) / 2, y = (H - b) / 2;
    return RECT{x, y, x + a, y + b};
  }
  if (b < a) {
    const int h = static_cast<int>(static_cast<long long>(b) * W / a);
    const int y = (H - h) / 2;
    return RECT{0, y, W, y + h};
  }
  if (a < b) {
    const int w = static_cast<int>(static_cast<long long>(a) * H / b);
    const int x = (W - w) / 2;
    return RECT{x, 0, x + w, H};
  }
  return RECT{0, 0, W, H};
}

void TegakiPaintCtrl::SetBackground(HBITMAP picture) {
  if (m_background != nullptr) DeleteObject(m_background);
  m_background = picture;
  HDC source = CreateCompatibleDC(m_drawDC);
  HGDIOBJ old = SelectObject(source, picture);
  BitBlt(m_drawDC, 0, 0, DrawWidth(), DrawHeight(), source, 0, 0, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
  m_modified = true;
  m_hasBackground = true;
  if (m_tool == kWhiteEraser) m_tool = kRestoreEraser;
  m_undoAvailable = false;
  m_redoAvailable = false;
  Invalidate(FALSE);
}

bool TegakiPaintCtrl::LoadPicture(const wchar_t* path) {
  if (m_drawDC == nullptr || path == nullptr) return false;
  ImagingScope imaging;
  if (imaging.factory() == nullptr) return false;
  Releasing<IImage> image;
  ImageInfo info{};
  if (FAILED(imaging.factory()->CreateImageFromFile(path, &image)) || FAILED(image->GetImageInfo(&info))) {
    return false;
  }
  HBITMAP picture = CreateWhiteDib(nullptr);
  if (picture == nullptr) return false;
  HDC dc = CreateCompatibleDC(m_drawDC);
  HGDIOBJ old = SelectObject(dc, picture);
  const RECT fit = FitRect(static_cast<int>(info.Width), static_cast<int>(info.Height), DrawWidth(), DrawHeight());
  const bool drawn = SUCCEEDED(image->Draw(dc, &fit, nullptr));
  SelectObject(dc, old);
  DeleteDC(dc);
  if (!drawn) {
    DeleteObject(picture);
    return false;
  }
  SetBackground(picture);
  return true;
}

bool TegakiPaintCtrl::LoadPictureRotated(const wchar_t* path, float angle) {
  if (m_drawDC == nullptr || path == nullptr) return false;
  ImagingScope imaging;
  IImagingFactory* factory = imaging.factory();
  if (factory == nullptr) return false;
  Releasing<IImage> image;
  ImageInfo info{};
  if (FAILED(factory->CreateImageFromFile(path, &image)) || FAILED(image->GetImageInfo(&info))) return false;
  const RECT fit = FitRect(static_cast<int>(info.Width), static_cast<int>(info.Height), DrawWidth(), DrawHeight());
  // Decoded straight at the fitted size: a large photo is scaled while it is
  // decoded, never held at its own size.
  Releasing<IBitmapImage> fitted;
  Releasing<IBasicBitmapOps> ops;
  Releasing<IBitmapImage> turned;
  if (FAILED(factory->CreateBitmapFromImage(image.p, static_cast<UINT>(fit.right - fit.left),
                                            static_cast<UINT>(fit.bottom - fit.top), PixelFormat32bppRGB,
                                            InterpolationHintDefault, &fitted)) ||
      FAILED(fitted->QueryInterface(IID_IBasicBitmapOps, reinterpret_cast<void**>(&ops))) ||
      FAILED(ops->Rotate(angle, InterpolationHintDefault, &turned))) {
    return false;
  }
  SIZE size{};
  BitmapData data{};
  if (FAILED(turned->GetSize(&size)) ||
      FAILED(turned->LockBits(nullptr, ImageLockModeRead, PixelFormat32bppRGB, &data))) {
    return false;
  }
  DWORD* bits = nullptr;
  HBITMAP picture = CreateWhiteDib(&bits);
  if (picture != nullptr) {
    const RECT at = FitRect(size.cx, size.cy, DrawWidth(), DrawHeight());
    const int w = std::min<int>(size.cx, DrawWidth() - at.left);
    const int h = std::min<int>(size.cy, DrawHeight() - at.top);
    // The DIB's rows lie bottom-up.
    for (int y = 0; y < h; ++y) {
      const auto* row = reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(data.Scan0) + y * data.Stride);
      DWORD* out = bits + static_cast<size_t>(DrawHeight() - 1 - (at.top + y)) * DrawWidth() + at.left;
      for (int x = 0; x < w; ++x) out[x] = row[x] & 0x00FFFFFFu;
    }
  }
  turned->UnlockBits(&data);
  if (picture == nullptr) return false;
  SetBackground(picture);
  return true;
}

bool TegakiPaintCtrl::SaveAsJpeg(const wchar_t* path) {
  if (m_drawBitmap == nullptr || path == nullptr) return false;
  DIBSECTION section{};
  if (GetObjectW(m_drawBitmap, sizeof(section), &section) != sizeof(section) || section.dsBm.bmBits == nullptr) {
    return false;
  }
  ImagingScope imaging;
  IImagingFactory* factory = imaging.factory();
  if (factory == nullptr) return false;
  UINT count = 0;
  ImageCodecInfo* codecs = nullptr;
  if (FAILED(factory->GetInstalledEncoders(&count, &codecs))) return false;
  CLSID jpeg{};
  bool found = false;
  for (UINT i = 0; i < count && !found; ++i) {
    if (IsEqualGUID(codecs[i].FormatID, ImageFormatJPEG)) {
      jpeg = codecs[i].Clsid;
      found = true;
    }
  }
  CoTaskMemFree(codecs);
  Releasing<IImageEncoder> encoder;
  Releasing<IImageSink> sink;
  if (!found || FAILED(factory->CreateImageEncoderToFile(&jpeg, path, &encoder)) ||
      FAILED(encoder->GetEncodeSink(&sink))) {
    return false;
  }
  const UINT w = static_cast<UINT>(DrawWidth()), h = static_cast<UINT>(DrawHeight());
  const LONG stride = static_cast<LONG>((((w * 32 - 1) & ~31u) + 32) / 8);
  ImageInfo info{};
  info.RawDataFormat = ImageFormatMemoryBMP;
  info.PixelFormat = PixelFormat32bppRGB;
  info.Width = w;
  info.Height = h;
  // The surface's rows lie bottom-up: the top row is the last in memory.
  BitmapData pixels{w, h, -stride, PixelFormat32bppRGB,
                    static_cast<BYTE*>(section.dsBm.bmBits) + static_cast<size_t>(h - 1) * stride, 0};
  RECT all{0, 0, static_cast<LONG>(w), static_cast<LONG>(h)};
  HRESULT hr = sink->BeginSink(&info, nullptr);
  if (SUCCEEDED(hr)) hr = sink->SetPalette(nullptr);
  if (SUCCEEDED(hr)) hr = sink->PushPixelData(&all, &pixels, TRUE);
  const HRESULT ended = sink->EndSink(hr);
  return SUCCEEDED(hr) && SUCCEEDED(ended) && SUCCEEDED(encoder->TerminateEncoder());
}

bool TegakiPaintCtrl::ShowResourceBitmap(UINT id) {
  if (m_drawDC == nullptr) return false;
  HBITMAP bitmap = LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id));
  if (bitmap == nullptr) return false;
  BITMAP info{};
  GetObjectW(bitmap, sizeof(info), &info);
  HDC source = CreateCompatibleDC(m_drawDC);
  HGDIOBJ old = SelectObject(source, bitmap);
  BitBlt(m_drawDC, 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
  DeleteObject(bitmap);
  Invalidate(FALSE);
  return true;
}
