// The handle table, the stock objects, pens, brushes and bitmaps.
#include "platform/gdi/GdiObjects.h"

#include <array>
#include <cstring>
#include <new>

#include "platform/base/HandleTable.h"
#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/Font.h"

namespace qv::gdi {

namespace {

struct Table {
  std::mutex mutex;
  // Far above the system colour indexes that stand in for brushes.
  qv::HandleTable<std::shared_ptr<GdiObject>, qv::HandleNumbering{0x10000, 4}> objects;
};

Table& Objects() {
  static Table* table = new Table;  // outlives every static that may still free a handle
  return *table;
}

constexpr int kStockCount = DEFAULT_GUI_FONT + 1;

struct Stock {
  std::array<HGDIOBJ, kStockCount> handles{};
  std::shared_ptr<FontObject> font;
  HBITMAP bitmap = nullptr;
  std::shared_ptr<BitmapObject> bitmapObject;
};

std::shared_ptr<PenObject> MakePen(int style, int width, COLORREF color) {
  auto pen = std::make_shared<PenObject>();
  // Wide pens are solid unless null (styled pens are cosmetic, one pixel).
  if (style < PS_SOLID || style > PS_INSIDEFRAME) style = PS_SOLID;
  if (width > 1 && style != PS_NULL && style != PS_INSIDEFRAME) style = PS_SOLID;
  pen->style = style;
  pen->width = width < 1 ? 1 : width;
  pen->color = color;
  return pen;
}

std::shared_ptr<BrushObject> MakeBrush(UINT style, COLORREF color) {
  auto brush = std::make_shared<BrushObject>();
  brush->style = style;
  brush->color = color;
  return brush;
}

std::shared_ptr<BitmapObject> MakeBitmap(std::shared_ptr<Surface> surface, bool dib) {
  if (!surface) return nullptr;
  auto bitmap = std::make_shared<BitmapObject>();
  bitmap->surface = std::move(surface);
  bitmap->dibSection = dib;
  return bitmap;
}

HGDIOBJ AddStock(std::shared_ptr<GdiObject> object) {
  object->stock = true;
  return AddObject(std::move(object));
}

const Stock& Stocks() {
  static const Stock* stock = [] {
    auto* s = new Stock;
    const std::pair<int, COLORREF> brushes[] = {{WHITE_BRUSH, RGB(255, 255, 255)},
                                                {LTGRAY_BRUSH, RGB(192, 192, 192)},
                                                {GRAY_BRUSH, RGB(128, 128, 128)},
                                                {DKGRAY_BRUSH, RGB(64, 64, 64)},
                                                {BLACK_BRUSH, RGB(0, 0, 0)}};
    for (const auto& [index, color] : brushes) s->handles[index] = AddStock(MakeBrush(BS_SOLID, color));
    s->handles[NULL_BRUSH] = AddStock(MakeBrush(BS_NULL, 0));
    s->handles[WHITE_PEN] = AddStock(MakePen(PS_SOLID, 1, RGB(255, 255, 255)));
    s->handles[BLACK_PEN] = AddStock(MakePen(PS_SOLID, 1, 0));
    s->handles[NULL_PEN] = AddStock(MakePen(PS_NULL, 1, 0));
    // Every stock font is the device's proportional gothic at its system size.
    s->font = std::make_shared<FontObject>();
    s->font->logFont = SystemLogFont();
    s->font->instance = RealizeFont(s->font->logFont);
    HGDIOBJ font = AddStock(s->font);
    for (int index : {OEM_FIXED_FONT, ANSI_FIXED_FONT, ANSI_VAR_FONT, SYSTEM_FONT, DEVICE_DEFAULT_FONT,
                      SYSTEM_FIXED_FONT, DEFAULT_GUI_FONT})
      s->handles[index] = font;
    // What a memory DC holds before a bitmap is selected into it.
    s->bitmapObject = MakeBitmap(Surface::Create(1, 1), false);
    s->bitmap = static_cast<HBITMAP>(AddStock(s->bitmapObject));
    return s;
  }();
  return *stock;
}

HBITMAP AddBitmap(std::shared_ptr<Surface> surface, bool dib = false) {
  std::shared_ptr<BitmapObject> bitmap = MakeBitmap(std::move(surface), dib);
  return bitmap ? static_cast<HBITMAP>(AddObject(std::move(bitmap))) : nullptr;
}

}  // namespace

std::mutex& TableMutex() { return Objects().mutex; }

HANDLE AddObject(std::shared_ptr<GdiObject> object) {
  Table& t = Objects();
  std::lock_guard<std::mutex> lock(t.mutex);
  try {
    return reinterpret_cast<HANDLE>(t.objects.Add(std::move(object)));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

std::shared_ptr<GdiObject> FindObject(HANDLE handle) {
  Table& t = Objects();
  std::lock_guard<std::mutex> lock(t.mutex);
  const std::shared_ptr<GdiObject>* object = t.objects.Find(reinterpret_cast<uintptr_t>(handle));
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return *object;
}

bool RemoveObject(HANDLE handle, Kind kind) {
  std::shared_ptr<GdiObject> last;  // freed after the lock is let go
  Table& t = Objects();
  std::lock_guard<std::mutex> lock(t.mutex);
  const std::shared_ptr<GdiObject>* object = t.objects.Find(reinterpret_cast<uintptr_t>(handle));
  if (!object || (*object)->kind != kind) return Fail(ERROR_INVALID_HANDLE);
  if ((*object)->stock) return true;
  if (kind == Kind::Bitmap && static_cast<BitmapObject&>(**object).selectedIn) return false;
  last = std::move(*t.objects.Take(reinterpret_cast<uintptr_t>(handle)));
  return true;
}

std::shared_ptr<BrushObject> FindBrush(HBRUSH brush) {
  uintptr_t value = reinterpret_cast<uintptr_t>(brush) & ~static_cast<uintptr_t>(SYS_COLOR_INDEX_FLAG);
  if (value >= 1 && value <= C_SYS_COLOR_TYPES) return MakeBrush(BS_SOLID, SYS_COLOR_INDEX_FLAG | (value - 1));
  return Find<BrushObject>(brush);
}

std::shared_ptr<FontObject> StockFont() { return Stocks().font; }

HBITMAP StockBitmap(std::shared_ptr<BitmapObject>* object) {
  *object = Stocks().bitmapObject;
  return Stocks().bitmap;
}

std::shared_ptr<Surface> SurfaceOf(HBITMAP bitmap) {
  std::shared_ptr<BitmapObject> b = Find<BitmapObject>(bitmap);
  return b ? b->surface : nullptr;
}

HBITMAP CreateBitmapFromPixels(Bitmap&& pixels) { return AddBitmap(Surface::Adopt(std::move(pixels))); }

}  // namespace qv::gdi

using namespace qv::gdi;

HGDIOBJ GetStockObject(int index) {
  if (index < 0 || index >= kStockCount || !Stocks().handles[static_cast<size_t>(index)]) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return Stocks().handles[static_cast<size_t>(index)];
}

BOOL DeleteObject(HGDIOBJ object) {
  std::shared_ptr<GdiObject> o = FindObject(object);
  if (!o || o->kind == Kind::Dc || o->kind == Kind::Icon || o->kind == Kind::ImageList)
    return Fail(ERROR_INVALID_HANDLE);
  // A bitmap still selected into a DC is refused, as documented.
  return RemoveObject(object, o->kind) ? TRUE : FALSE;
}

DWORD GetObjectType(HGDIOBJ object) {
  std::shared_ptr<GdiObject> o = FindObject(object);
  if (!o) return 0;
  switch (o->kind) {
    case Kind::Dc: return static_cast<DeviceContext&>(*o).memory ? OBJ_MEMDC : OBJ_DC;
    case Kind::Pen: return OBJ_PEN;
    case Kind::Brush: return OBJ_BRUSH;
    case Kind::Font: return OBJ_FONT;
    case Kind::Bitmap: return OBJ_BITMAP;
    default: return 0;
  }
}

int GetObjectW(HGDIOBJ object, int size, LPVOID out) {
  std::shared_ptr<GdiObject> o = FindObject(object);
  if (!o) return 0;
  auto give = [&](const void* record, int recordSize) {
    if (!out) return recordSize;
    int n = size < recordSize ? size : recordSize;
    if (n <= 0) return 0;
    std::memcpy(out, record, static_cast<size_t>(n));
    return n;
  };
  switch (o->kind) {
    case Kind::Pen: {
      const auto& p = static_cast<PenObject&>(*o);
      LOGPEN lp{static_cast<UINT>(p.style), {p.width, 0}, p.color};
      return give(&lp, sizeof lp);
    }
    case Kind::Brush: {
      const auto& b = static_cast<BrushObject&>(*o);
      LOGBRUSH lb{b.style, b.color, 0};
      return give(&lb, sizeof lb);
    }
    case Kind::Font: return give(&static_cast<FontObject&>(*o).logFont, sizeof(LOGFONTW));
    case Kind::Bitmap: {
      auto& b = static_cast<BitmapObject&>(*o);
      Surface& s = *b.surface;
      DIBSECTION ds{};
      ds.dsBm = BITMAP{0, s.Width(), s.Height(), s.Width() * 4, 1, 32, b.dibSection ? s.Bits() : nullptr};
      if (!b.dibSection || size < static_cast<int>(sizeof(DIBSECTION)) || !out) return give(&ds.dsBm, sizeof(BITMAP));
      ds.dsBmih = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), s.Width(), s.BottomUp() ? s.Height() : -s.Height(),
                                   1, 32, BI_RGB, static_cast<DWORD>(s.Width() * s.Height() * 4), 0, 0, 0, 0};
      return give(&ds, sizeof ds);
    }
    default: SetLastError(ERROR_INVALID_HANDLE); return 0;
  }
}

HPEN CreatePen(int style, int width, COLORREF color) {
  return static_cast<HPEN>(AddObject(MakePen(style, width, color)));
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
  if (!pen) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return CreatePen(static_cast<int>(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor);
}

HBRUSH CreateSolidBrush(COLORREF color) { return static_cast<HBRUSH>(AddObject(MakeBrush(BS_SOLID, color))); }

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  if (dc && !FindObject(dc)) return nullptr;
  if (width == 0 || height == 0) return AddBitmap(Surface::Create(1, 1));
  return AddBitmap(Surface::Create(width, height));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
  if (planes != 1 || bitsPerPixel != 32) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  std::shared_ptr<Surface> s = Surface::Create(width, height);
  if (!s) return nullptr;
  if (bits)
    for (int y = 0; y < height; ++y)
      std::memcpy(s->Row(y), static_cast<const BYTE*>(bits) + static_cast<size_t>(y) * width * 4,
                  static_cast<size_t>(width) * 4);
  return AddBitmap(std::move(s));
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset) {
  if (bits) *bits = nullptr;
  if (dc && !FindObject(dc)) return nullptr;
  if (!info || usage != DIB_RGB_COLORS || section || offset) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biWidth <= 0 || h.biHeight == 0 ||
      h.biHeight == INT32_MIN) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (h.biBitCount != 32 || (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  bool bottomUp = h.biHeight > 0;
  std::shared_ptr<Surface> s = Surface::Create(h.biWidth, bottomUp ? h.biHeight : -h.biHeight, bottomUp);
  if (!s) return nullptr;
  void* memory = s->Bits();
  HBITMAP bitmap = AddBitmap(std::move(s), true);
  if (bitmap && bits) *bits = memory;
  return bitmap;
}
