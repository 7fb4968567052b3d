// Device contexts: memory DCs, DCs on a window's surface, selection of
// objects, colours and modes, origin and clip, SaveDC/RestoreDC.
#include "platform/gdi/DeviceContext.h"

#include <algorithm>

#include "platform/gdi/Font.h"

namespace qv::gdi {

namespace {

RECT Whole(const Surface& s) { return RECT{0, 0, s.Width(), s.Height()}; }

std::shared_ptr<DeviceContext> NewDc(std::shared_ptr<Surface> surface) {
  auto dc = std::make_shared<DeviceContext>();
  dc->surface = std::move(surface);
  dc->state.pen = static_cast<HPEN>(GetStockObject(BLACK_PEN));
  dc->state.brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  dc->state.font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  dc->state.penObject = Find<PenObject>(dc->state.pen);
  dc->state.brushObject = Find<BrushObject>(dc->state.brush);
  dc->state.fontObject = StockFont();
  return dc;
}

// Puts `bitmap` into a memory DC; the table lock guards who holds a bitmap.
bool TakeBitmap(DeviceContext& dc, HDC self, HBITMAP handle, const std::shared_ptr<BitmapObject>& bitmap) {
  {
    std::lock_guard<std::mutex> lock(TableMutex());
    if (!bitmap->stock && bitmap->selectedIn && bitmap->selectedIn != self) return Fail(ERROR_INVALID_PARAMETER);
    if (dc.state.bitmapObject && !dc.state.bitmapObject->stock && dc.state.bitmapObject != bitmap)
      dc.state.bitmapObject->selectedIn = nullptr;
    if (!bitmap->stock) bitmap->selectedIn = self;
  }
  dc.state.bitmap = handle;
  dc.state.bitmapObject = bitmap;
  dc.surface = bitmap->surface;
  dc.bounds = Whole(*dc.surface);
  dc.Update();
  return true;
}

void ReleaseBitmap(DeviceContext& dc) {
  std::lock_guard<std::mutex> lock(TableMutex());
  if (dc.state.bitmapObject && !dc.state.bitmapObject->stock) dc.state.bitmapObject->selectedIn = nullptr;
}

}  // namespace

void DeviceContext::Update() {
  offset = POINT{origin.x + state.viewport.x, origin.y + state.viewport.y};
  clip = bounds;
  RECT whole = Whole(*surface);
  ClipTo(whole, &clip);
  if (state.hasClip) {
    RECT own = state.clip;
    OffsetRect(&own, origin.x, origin.y);
    ClipTo(own, &clip);
  }
  if (Empty(clip)) clip = RECT{0, 0, 0, 0};
}

std::shared_ptr<DeviceContext> FindDc(HDC dc) { return Find<DeviceContext>(dc); }

bool ClipTo(const RECT& clip, RECT* r) {
  r->left = std::max(r->left, clip.left);
  r->top = std::max(r->top, clip.top);
  r->right = std::min(r->right, clip.right);
  r->bottom = std::min(r->bottom, clip.bottom);
  return !Empty(*r);
}

void Span(Surface& surface, int y, int x0, int x1, DWORD pixel, int rop) {
  DWORD* row = surface.Row(y);
  if (rop == R2_COPYPEN) {
    std::fill(row + x0, row + x1, pixel);
    return;
  }
  for (int x = x0; x < x1; ++x) row[x] = Rop2(rop, pixel, row[x]);
}

void FillSurfaceRect(DeviceContext& dc, RECT r, DWORD pixel, int rop) {
  if (!ClipTo(dc.clip, &r)) return;
  for (int y = r.top; y < r.bottom; ++y) Span(*dc.surface, y, r.left, r.right, pixel, rop);
}

HDC CreateSurfaceDC(std::shared_ptr<Surface> surface, POINT origin, const RECT& clip, HWND window) {
  if (!surface) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::shared_ptr<DeviceContext> dc = NewDc(std::move(surface));
  dc->origin = origin;
  dc->bounds = clip;
  dc->window = window;
  dc->Update();
  return static_cast<HDC>(AddObject(std::move(dc)));
}

BOOL PlaceSurfaceDC(HDC hdc, POINT origin, const RECT& clip) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc || dc->memory) return Fail(ERROR_INVALID_HANDLE);
  dc->origin = origin;
  dc->bounds = clip;
  dc->state.hasClip = false;
  dc->Update();
  return TRUE;
}

std::shared_ptr<Surface> SurfaceOf(HDC hdc) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  return dc ? dc->surface : nullptr;
}

}  // namespace qv::gdi

using namespace qv::gdi;

HWND WindowFromDC(HDC hdc) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  return dc ? dc->window : nullptr;
}

HDC CreateCompatibleDC(HDC other) {
  if (other && !FindDc(other)) return nullptr;
  std::shared_ptr<BitmapObject> stock;
  HBITMAP stockHandle = StockBitmap(&stock);
  std::shared_ptr<DeviceContext> dc = NewDc(stock->surface);
  dc->memory = true;
  HDC handle = static_cast<HDC>(AddObject(dc));
  if (handle) TakeBitmap(*dc, handle, stockHandle, stock);
  return handle;
}

BOOL DeleteDC(HDC hdc) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc) return FALSE;
  ReleaseBitmap(*dc);
  return RemoveObject(hdc, Kind::Dc) ? TRUE : FALSE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  std::shared_ptr<GdiObject> o = dc ? FindObject(object) : nullptr;
  if (!o) return nullptr;
  DcState& s = dc->state;
  HGDIOBJ previous = nullptr;
  switch (o->kind) {
    case Kind::Pen:
      previous = s.pen;
      s.pen = static_cast<HPEN>(object);
      s.penObject = std::static_pointer_cast<PenObject>(o);
      return previous;
    case Kind::Brush:
      previous = s.brush;
      s.brush = static_cast<HBRUSH>(object);
      s.brushObject = std::static_pointer_cast<BrushObject>(o);
      return previous;
    case Kind::Font:
      previous = s.font;
      s.font = static_cast<HFONT>(object);
      s.fontObject = std::static_pointer_cast<FontObject>(o);
      return previous;
    case Kind::Bitmap:
      if (!dc->memory) break;
      previous = s.bitmap;
      if (!TakeBitmap(*dc, hdc, static_cast<HBITMAP>(object), std::static_pointer_cast<BitmapObject>(o)))
        return nullptr;
      return previous;
    default: break;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc) return nullptr;
  switch (type) {
    case OBJ_PEN: return dc->state.pen;
    case OBJ_BRUSH: return dc->state.brush;
    case OBJ_FONT: return dc->state.font;
    case OBJ_BITMAP: return dc->state.bitmap;
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
  }
}

int SaveDC(HDC hdc) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc) return 0;
  dc->saved.push_back(dc->state);
  return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int which) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc) return FALSE;
  int count = static_cast<int>(dc->saved.size());
  int index = which < 0 ? count + which : which - 1;  // -1 is the last saved
  if (which == 0 || index < 0 || index >= count) return Fail(ERROR_INVALID_PARAMETER);
  DcState restored = dc->saved[static_cast<size_t>(index)];
  dc->saved.resize(static_cast<size_t>(index));
  if (dc->memory && restored.bitmapObject != dc->state.bitmapObject &&
      !TakeBitmap(*dc, hdc, restored.bitmap, restored.bitmapObject)) {
    // Someone else holds the old bitmap now: keep the current one.
    restored.bitmap = dc->state.bitmap;
    restored.bitmapObject = dc->state.bitmapObject;
  }
  dc->state = std::move(restored);
  dc->Update();
  return TRUE;
}

namespace {

// Reads and replaces one field of a DC's state; `failed` when the handle is bad.
template <class T, class F>
T Swap(HDC hdc, T value, T failed, F field) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc) return failed;
  T& slot = field(dc->state);
  T previous = slot;
  slot = value;
  return previous;
}

template <class T, class F>
T Read(HDC hdc, T failed, F field) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  return dc ? field(dc->state) : failed;
}

}  // namespace

COLORREF SetTextColor(HDC dc, COLORREF c) {
  return Swap(dc, c, CLR_INVALID, [](DcState& s) -> COLORREF& { return s.textColor; });
}
COLORREF GetTextColor(HDC dc) {
  return Read(dc, CLR_INVALID, [](DcState& s) { return s.textColor; });
}
COLORREF SetBkColor(HDC dc, COLORREF c) {
  return Swap(dc, c, CLR_INVALID, [](DcState& s) -> COLORREF& { return s.bkColor; });
}
COLORREF GetBkColor(HDC dc) {
  return Read(dc, CLR_INVALID, [](DcState& s) { return s.bkColor; });
}
int SetBkMode(HDC dc, int mode) {
  if (mode != TRANSPARENT && mode != OPAQUE) return Fail(ERROR_INVALID_PARAMETER);
  return Swap(dc, mode, 0, [](DcState& s) -> int& { return s.bkMode; });
}
int GetBkMode(HDC dc) {
  return Read(dc, 0, [](DcState& s) { return s.bkMode; });
}
int SetROP2(HDC dc, int mode) {
  if (mode < R2_BLACK || mode > R2_WHITE) return Fail(ERROR_INVALID_PARAMETER);
  return Swap(dc, mode, 0, [](DcState& s) -> int& { return s.rop2; });
}
int GetROP2(HDC dc) {
  return Read(dc, 0, [](DcState& s) { return s.rop2; });
}
UINT SetTextAlign(HDC dc, UINT align) {
  return Swap(dc, align, GDI_ERROR, [](DcState& s) -> UINT& { return s.textAlign; });
}
UINT GetTextAlign(HDC dc) {
  return Read(dc, GDI_ERROR, [](DcState& s) { return s.textAlign; });
}

BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc) return FALSE;
  if (previous) *previous = dc->state.viewport;
  dc->state.viewport = POINT{x, y};
  dc->Update();
  return TRUE;
}

BOOL GetViewportOrgEx(HDC hdc, POINT* origin) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc || !origin) return FALSE;
  *origin = dc->state.viewport;
  return TRUE;
}

BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* previous) {
  POINT now{};
  if (!GetViewportOrgEx(hdc, &now)) return FALSE;
  return SetViewportOrgEx(hdc, now.x + dx, now.y + dy, previous);
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc) return ERROR;
  // Kept in device units: a later origin change does not move it.
  RECT r{left + dc->state.viewport.x, top + dc->state.viewport.y, right + dc->state.viewport.x,
         bottom + dc->state.viewport.y};
  if (dc->state.hasClip) ClipTo(dc->state.clip, &r);
  if (Empty(r)) r = RECT{0, 0, 0, 0};
  dc->state.clip = r;
  dc->state.hasClip = true;
  dc->Update();
  return Empty(dc->clip) ? NULLREGION : SIMPLEREGION;
}

int GetClipBox(HDC hdc, RECT* box) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc || !box) return ERROR;
  *box = dc->clip;
  OffsetRect(box, -dc->offset.x, -dc->offset.y);
  return Empty(dc->clip) ? NULLREGION : SIMPLEREGION;
}
