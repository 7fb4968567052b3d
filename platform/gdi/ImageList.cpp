// Image lists: the images side by side in one strip surface whose alpha
// byte marks each pixel opaque (the mask); the strip grows by the list's
// step when full.
#include "platform/gdi/ImageList.h"

#include <cstring>
#include <mutex>

#include "platform/gdi/DeviceContext.h"
#include "platform/kernel/Library.h"

namespace qv::gdi {

namespace {

// LoadLibraryW(COMMCTRL_LIBRARY) finds the image-list functions here.
const bool kProvided = [] {
  qv::RegisterLibraryAlias(COMMCTRL_LIBRARY, "");
  return true;
}();

struct ImageListObject : GdiObject {
  static constexpr Kind kKind = Kind::ImageList;
  ImageListObject() : GdiObject(kKind) {}
  std::mutex mutex;
  int width = 0;
  int height = 0;
  UINT flags = 0;
  int grow = 4;
  int count = 0;
  COLORREF background = CLR_NONE;
  std::shared_ptr<Surface> strip;  // capacity = strip width / image width

  int Capacity() const { return strip->Width() / width; }
  bool Masked() const { return flags & ILC_MASK; }

  // Room for `more` images; the strip is reallocated by whole steps.
  bool Reserve(int more) {
    if (count + more <= Capacity()) return true;
    // A whole step may make the strip wider than a picture may be (a step
    // of 512 large icons): the step is then halved until it fits.
    std::shared_ptr<Surface> bigger;
    for (int step = grow; !bigger && step > 0; step /= 2) {
      int capacity = Capacity();
      while (capacity < count + more) capacity += step;
      bigger = Surface::Create(capacity * width, height);
    }
    if (!bigger) return false;
    for (int y = 0; y < height; ++y)
      std::memcpy(bigger->Row(y), strip->Row(y), static_cast<size_t>(count) * width * sizeof(DWORD));
    strip = std::move(bigger);
    return true;
  }

  // Copies image `index` from `source` at (sx, 0), each pixel's opacity
  // decided by `opaque(x, y, pixel)`.
  template <class Opaque>
  void Put(int index, const Surface& source, int sx, Opaque opaque) {
    for (int y = 0; y < height; ++y) {
      DWORD* to = strip->Row(y) + index * width;
      for (int x = 0; x < width; ++x) {
        bool inside = y < source.Height() && sx + x < source.Width();
        DWORD p = inside ? source.Row(y)[sx + x] & 0x00FFFFFFu : 0;
        to[x] = p | (inside && (!Masked() || opaque(sx + x, y, p)) ? 0xFF000000u : 0);
      }
    }
  }
};

std::shared_ptr<ImageListObject> FindList(HIMAGELIST list) { return Find<ImageListObject>(list); }

template <class Opaque>
int AddImages(HIMAGELIST handle, HBITMAP image, Opaque opaque) {
  std::shared_ptr<ImageListObject> list = FindList(handle);
  std::shared_ptr<Surface> source = list ? SurfaceOf(image) : nullptr;
  if (!source) return -1;
  std::lock_guard<std::mutex> lock(list->mutex);
  int n = source->Width() / list->width;
  if (n < 1) n = 1;
  if (!list->Reserve(n)) return -1;
  int first = list->count;
  for (int i = 0; i < n; ++i) list->Put(first + i, *source, i * list->width, opaque);
  list->count += n;
  return first;
}

}  // namespace

}  // namespace qv::gdi

using namespace qv::gdi;

HIMAGELIST ImageList_Create(int width, int height, UINT flags, int initial, int grow) {
  if (width <= 0 || height <= 0 || initial < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto list = std::make_shared<ImageListObject>();
  list->width = width;
  list->height = height;
  list->flags = flags;
  list->grow = grow > 0 ? grow : 4;
  list->strip = Surface::Create(width * (initial > 0 ? initial : 1), height);
  if (!list->strip) return nullptr;
  return reinterpret_cast<HIMAGELIST>(AddObject(std::move(list)));
}

BOOL ImageList_Destroy(HIMAGELIST list) { return RemoveObject(list, Kind::ImageList) ? TRUE : FALSE; }

int ImageList_GetImageCount(HIMAGELIST handle) {
  std::shared_ptr<ImageListObject> list = FindList(handle);
  if (!list) return 0;
  std::lock_guard<std::mutex> lock(list->mutex);
  return list->count;
}

BOOL ImageList_GetIconSize(HIMAGELIST handle, int* width, int* height) {
  std::shared_ptr<ImageListObject> list = FindList(handle);
  if (!list || !width || !height) return FALSE;
  *width = list->width;
  *height = list->height;
  return TRUE;
}

int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask) {
  std::shared_ptr<Surface> m = mask ? SurfaceOf(mask) : nullptr;
  if (mask && !m) return -1;
  // Black in the mask is the image; white lets the background through.
  return AddImages(list, image, [&m](int x, int y, DWORD) {
    return !m || x >= m->Width() || y >= m->Height() || (m->Row(y)[x] & 0x00FFFFFFu) == 0;
  });
}

int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF maskColor) {
  DWORD key = PixelOf(ResolveColor(maskColor)) & 0x00FFFFFFu;
  return AddImages(list, image, [key](int, int, DWORD p) { return p != key; });
}

int ImageList_ReplaceIcon(HIMAGELIST handle, int index, HICON icon) {
  std::shared_ptr<ImageListObject> list = FindList(handle);
  std::shared_ptr<IconObject> i = list ? Find<IconObject>(icon) : nullptr;
  if (!i) return -1;
  std::lock_guard<std::mutex> lock(list->mutex);
  if (index < -1 || index >= list->count) return -1;
  if (index == -1) {
    if (!list->Reserve(1)) return -1;
    index = list->count++;
  }
  // The icon scaled to the list's size, nearest pixel, keeping its mask.
  const Surface& image = *i->image;
  for (int y = 0; y < list->height; ++y) {
    DWORD* to = list->strip->Row(y) + index * list->width;
    const DWORD* from = image.Row(y * image.Height() / list->height);
    for (int x = 0; x < list->width; ++x) {
      DWORD p = from[x * image.Width() / list->width];
      to[x] = list->Masked() ? p : p | 0xFF000000u;
    }
  }
  return index;
}

BOOL ImageList_Remove(HIMAGELIST handle, int index) {
  std::shared_ptr<ImageListObject> list = FindList(handle);
  if (!list) return FALSE;
  std::lock_guard<std::mutex> lock(list->mutex);
  if (index == -1) {
    list->count = 0;
    return TRUE;
  }
  if (index < 0 || index >= list->count) return Fail(ERROR_INVALID_PARAMETER);
  // The later images move down one place.
  int after = list->count - index - 1;
  for (int y = 0; y < list->height; ++y) {
    DWORD* row = list->strip->Row(y);
    std::memmove(row + index * list->width, row + (index + 1) * list->width,
                 static_cast<size_t>(after) * list->width * sizeof(DWORD));
  }
  --list->count;
  return TRUE;
}

COLORREF ImageList_SetBkColor(HIMAGELIST handle, COLORREF color) {
  std::shared_ptr<ImageListObject> list = FindList(handle);
  if (!list) return CLR_NONE;
  std::lock_guard<std::mutex> lock(list->mutex);
  COLORREF previous = list->background;
  list->background = color;
  return previous;
}

BOOL ImageList_DrawEx(HIMAGELIST handle, int index, HDC hdc, int x, int y, int width, int height,
                      COLORREF background, COLORREF blend, UINT style) {
  std::shared_ptr<ImageListObject> list = FindList(handle);
  std::shared_ptr<DeviceContext> dc = list ? FindDc(hdc) : nullptr;
  if (!dc) return FALSE;
  std::lock_guard<std::mutex> lock(list->mutex);
  if (index < 0 || index >= list->count) return Fail(ERROR_INVALID_PARAMETER);
  if (width <= 0 || width > list->width) width = list->width;
  if (height <= 0 || height > list->height) height = list->height;
  if (background == CLR_DEFAULT) background = list->background;
  if (style & ILD_TRANSPARENT) background = CLR_NONE;
  MaskedStyle s;
  s.useMask = list->Masked();
  if (style & ILD_MASK) {
    // The mask alone: black where the image is, white elsewhere.
    s.maskOnly = true;
    s.fillOthers = true;
    s.background = 0xFFFFFFFFu;
  } else if (background != CLR_NONE) {
    s.fillOthers = true;
    s.background = PixelOf(ResolveColor(background));
  }
  if (style & (ILD_BLEND25 | ILD_BLEND50)) {
    COLORREF mix = blend == CLR_DEFAULT || blend == CLR_NONE ? GetSysColor(COLOR_HIGHLIGHT) : ResolveColor(blend);
    s.blend = PixelOf(mix);
    s.blendAlpha = (style & ILD_BLEND50) ? 128 : 64;
  }
  DrawMasked(*dc, dc->X(x), dc->Y(y), width, height, *list->strip, index * list->width, 0, width, height, s);
  return TRUE;
}

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style) {
  return ImageList_DrawEx(list, index, dc, x, y, 0, 0, CLR_DEFAULT, CLR_DEFAULT, style);
}
