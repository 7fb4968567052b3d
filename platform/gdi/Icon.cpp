// Icons: a colour image and a mask, kept as one picture whose alpha byte
// marks the opaque pixels.
#include "platform/gdi/DeviceContext.h"

namespace qv::gdi {

HICON AddIcon(std::shared_ptr<Surface> image) {
  if (!image) return nullptr;
  auto icon = std::make_shared<IconObject>();
  icon->image = std::move(image);
  return static_cast<HICON>(AddObject(std::move(icon)));
}

}  // namespace qv::gdi

using namespace qv::gdi;

HICON CreateIconIndirect(const ICONINFO* info) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::shared_ptr<Surface> color = SurfaceOf(info->hbmColor);
  std::shared_ptr<Surface> mask = info->hbmMask ? SurfaceOf(info->hbmMask) : nullptr;
  if (!color || (info->hbmMask && !mask)) return nullptr;
  std::shared_ptr<Surface> image = Surface::Create(color->Width(), color->Height());
  if (!image) return nullptr;
  for (int y = 0; y < image->Height(); ++y) {
    const DWORD* from = color->Row(y);
    DWORD* to = image->Row(y);
    for (int x = 0; x < image->Width(); ++x) {
      // The AND mask: black is the icon, white lets the background through.
      bool opaque = !mask || x >= mask->Width() || y >= mask->Height() || (mask->Row(y)[x] & 0x00FFFFFFu) == 0;
      to[x] = (from[x] & 0x00FFFFFFu) | (opaque ? 0xFF000000u : 0);
    }
  }
  return AddIcon(std::move(image));
}

BOOL DestroyIcon(HICON icon) { return RemoveObject(icon, Kind::Icon) ? TRUE : FALSE; }

BOOL DrawIconEx(HDC hdc, int x, int y, HICON icon, int width, int height, UINT, HBRUSH, UINT flags) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  std::shared_ptr<IconObject> i = dc ? Find<IconObject>(icon) : nullptr;
  if (!i) return FALSE;
  const Surface& image = *i->image;
  if (width == 0) width = image.Width();
  if (height == 0) height = image.Height();
  MaskedStyle style;
  if ((flags & DI_NORMAL) == DI_MASK) style.maskOnly = true;
  if ((flags & DI_NORMAL) == DI_IMAGE) style.useMask = false;
  if ((flags & DI_NORMAL) == 0) return TRUE;
  DrawMasked(*dc, dc->X(x), dc->Y(y), width, height, image, 0, 0, image.Width(), image.Height(), style);
  return TRUE;
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) { return DrawIconEx(dc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL); }
