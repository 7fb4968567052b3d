#include "app/message/canvas/TegakiPaintCtrl.h"

#include <algorithm>
#include <cstring>

#include "app/foundation/ResourceBitmap.h"
#include "platform/gdi/ImagingFactory.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/window/Paint.h"
#include "platform/ui/window/ScopedGetDC.h"

namespace {

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
  return m_draw.Create(this) && m_undo.Create(this) && m_redo.Create(this);
}

bool TegakiPaintCtrl::Surface::Create(TegakiPaintCtrl* owner) {
  bitmap.reset(owner->CreateWhiteDib(nullptr));
  if (!bitmap) return false;
  dc = std::make_unique<qv::MemoryDC>(bitmap.get());
  return static_cast<HDC>(*dc) != nullptr;
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
  for (Surface* surface : {&m_draw, &m_undo, &m_redo}) {
    surface->dc.reset();
    surface->bitmap.reset();
  }
  m_background.reset();
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
      // A button released outside the window ends the stroke too.
      if ((wParam & MK_LBUTTON) == 0) m_buttonDown = false;
      OnMove(x, y);
      return 0;
    case WM_LBUTTONUP:
      m_buttonDown = false;
      if (::GetCapture() == m_hWnd) ::ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
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
  if (m_readOnly || m_draw == nullptr) return;
  m_buttonDown = true;
  m_lastX = x;
  m_lastY = y;
  // The stroke's moves and its end come here even off the canvas.
  ::SetCapture(m_hWnd);
  SnapshotTo(m_undo, &m_undoBackground);
  m_redoAvailable = false;
  m_undoAvailable = true;
}

void TegakiPaintCtrl::OnMove(int x, int y) {
  // Only a stroke marks the drawing changed: a stylus hovering over an
  // untouched canvas must not make the page ask before it closes.
  if (m_readOnly || !m_buttonDown || m_draw == nullptr) return;
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
  const qv::ScopedGdiObject<HPEN> pen(CreatePen(PS_SOLID, m_penWidth, m_drawColor));
  const qv::ScopedGdiObject<HBRUSH> brush(CreateSolidBrush(m_drawColor));
  for (HDC dc : {static_cast<HDC>(window), static_cast<HDC>(m_draw)}) {
    if (dc == nullptr) continue;
    const qv::ScopedSelectObject withPen(dc, pen.get());
    const qv::ScopedSelectObject withBrush(dc, brush.get());
    MoveToEx(dc, m_lastX, m_lastY, nullptr);
    LineTo(dc, x, y);
    // A dot at the joint rounds wide strokes.
    if (m_penWidth > 2) Ellipse(dc, x, y, x, y);
  }
}

void TegakiPaintCtrl::EraseAt(int x, int y) {
  if (!m_background) return;
  const int g = m_eraserWidth;
  const int left = x - (g / 2 + 1);
  const int top = y - (g / 2 + 1);
  const qv::MemoryDC source(m_background.get());
  const qv::ScopedGetDC window(m_hWnd);
  for (HDC dc : {static_cast<HDC>(window), static_cast<HDC>(m_draw)}) {
    if (dc != nullptr) BitBlt(dc, left, top, g, g, source, left, top, SRCCOPY);
  }
}

void TegakiPaintCtrl::SnapshotTo(HDC dc, bool* savedBackground) {
  BitBlt(dc, 0, 0, DrawWidth(), DrawHeight(), m_draw, 0, 0, SRCCOPY);
  *savedBackground = m_hasBackground;
}

void TegakiPaintCtrl::Clear() {
  if (m_draw == nullptr) return;
  SnapshotTo(m_undo, &m_undoBackground);
  m_redoAvailable = false;
  m_undoAvailable = true;
  PatBlt(m_draw, 0, 0, DrawWidth(), DrawHeight(), WHITENESS);
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
  if (!m_undoAvailable || m_draw == nullptr) return;
  SnapshotTo(m_redo, &m_redoBackground);
  m_redoAvailable = true;
  Restore(m_undo, m_undoBackground);
  m_undoAvailable = false;
  AfterRestore();
}

void TegakiPaintCtrl::Redo() {
  if (!m_redoAvailable || m_draw == nullptr) return;
  SnapshotTo(m_undo, &m_undoBackground);
  m_undoAvailable = true;
  Restore(m_redo, m_redoBackground);
  m_redoAvailable = false;
  AfterRestore();
}

void TegakiPaintCtrl::Restore(HDC from, bool savedBackground) {
  BitBlt(m_draw, 0, 0, DrawWidth(), DrawHeight(), from, 0, 0, SRCCOPY);
  m_hasBackground = savedBackground;
}

void TegakiPaintCtrl::AfterRestore() {
  if (m_tool != kPen) SelectEraser();
  Invalidate(FALSE);
}

void TegakiPaintCtrl::Paint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(m_hWnd, &ps);
  if (m_draw != nullptr) BitBlt(dc, 0, 0, DrawWidth(), DrawHeight(), m_draw, 0, 0, SRCCOPY);
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
  m_background.reset(picture);
  {
    const qv::MemoryDC source(picture);
    BitBlt(m_draw, 0, 0, DrawWidth(), DrawHeight(), source, 0, 0, SRCCOPY);
  }
  m_modified = true;
  m_hasBackground = true;
  if (m_tool == kWhiteEraser) m_tool = kRestoreEraser;
  m_undoAvailable = false;
  m_redoAvailable = false;
  Invalidate(FALSE);
}

bool TegakiPaintCtrl::LoadPicture(const wchar_t* path) {
  if (m_draw == nullptr || path == nullptr) return false;
  ImagingScope imaging;
  if (imaging.factory() == nullptr) return false;
  qv::com::ComRef<IImage> image;
  ImageInfo info{};
  if (FAILED(imaging.factory()->CreateImageFromFile(path, &image)) || FAILED(image->GetImageInfo(&info))) {
    return false;
  }
  qv::ScopedGdiObject<HBITMAP> picture(CreateWhiteDib(nullptr));
  if (!picture) return false;
  const RECT fit = FitRect(static_cast<int>(info.Width), static_cast<int>(info.Height), DrawWidth(), DrawHeight());
  bool drawn;
  {
    const qv::MemoryDC dc(picture.get());
    drawn = SUCCEEDED(image->Draw(dc, &fit, nullptr));
  }
  if (!drawn) return false;
  SetBackground(picture.release());
  return true;
}

bool TegakiPaintCtrl::LoadPictureRotated(const wchar_t* path, float angle) {
  if (m_draw == nullptr || path == nullptr) return false;
  ImagingScope imaging;
  IImagingFactory* factory = imaging.factory();
  if (factory == nullptr) return false;
  qv::com::ComRef<IImage> image;
  ImageInfo info{};
  if (FAILED(factory->CreateImageFromFile(path, &image)) || FAILED(image->GetImageInfo(&info))) return false;
  const RECT fit = FitRect(static_cast<int>(info.Width), static_cast<int>(info.Height), DrawWidth(), DrawHeight());
  // Decoded straight at the fitted size: a large photo is scaled while it is
  // decoded, never held at its own size.
  qv::com::ComRef<IBitmapImage> fitted;
  qv::com::ComRef<IBasicBitmapOps> ops;
  qv::com::ComRef<IBitmapImage> turned;
  if (FAILED(factory->CreateBitmapFromImage(image.get(), static_cast<UINT>(fit.right - fit.left),
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
  qv::ScopedGdiObject<HBITMAP> picture(CreateWhiteDib(&bits));
  if (picture) {
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
  if (!picture) return false;
  SetBackground(picture.release());
  return true;
}

bool TegakiPaintCtrl::SaveAsJpeg(const wchar_t* path) {
  if (!m_draw.bitmap || path == nullptr) return false;
  DIBSECTION section{};
  if (GetObjectW(m_draw.bitmap.get(), sizeof(section), &section) != sizeof(section) || section.dsBm.bmBits == nullptr) {
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
  qv::com::ComRef<IImageEncoder> encoder;
  qv::com::ComRef<IImageSink> sink;
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
  if (m_draw == nullptr) return false;
  if (!DrawResourceBitmap(m_draw, id, 0, 0)) return false;
  Invalidate(FALSE);
  return true;
}
