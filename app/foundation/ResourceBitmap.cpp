#include "app/foundation/ResourceBitmap.h"

#include "platform/framework/AfxResource.h"
#include "platform/gdi/ScopedGdi.h"

namespace {

// Selects the bitmap into a memory DC and copies it to `to` (its own size
// when `to` is null).
bool CopyResourceBitmap(HDC dc, UINT id, int x, int y, const RECT* to) {
  const qv::ScopedGdiObject<HBITMAP> bitmap(::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id)));
  if (!bitmap) return false;
  BITMAP info{};
  ::GetObjectW(bitmap.get(), sizeof info, &info);
  HDC memory = ::CreateCompatibleDC(dc);
  {
    const qv::ScopedSelectObject held(memory, bitmap.get());
    if (to) {
      ::StretchBlt(dc, to->left, to->top, to->right - to->left, to->bottom - to->top, memory, 0, 0, info.bmWidth,
                   info.bmHeight, SRCCOPY);
    } else {
      ::BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
    }
  }
  ::DeleteDC(memory);
  return true;
}

}  // namespace

bool DrawResourceBitmap(HDC dc, UINT id, int x, int y) { return CopyResourceBitmap(dc, id, x, y, nullptr); }

bool StretchResourceBitmap(HDC dc, UINT id, const RECT& to) { return CopyResourceBitmap(dc, id, 0, 0, &to); }
