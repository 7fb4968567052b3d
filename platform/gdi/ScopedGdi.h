// Owners that undo a GDI step when they go out of scope: an object that is
// deleted (pens, brushes, fonts, bitmaps, regions) and an object selected
// into a DC that is swapped back out. The DC a window lends (GetDC) has its
// owner beside GetDC in platform/ui/window/ScopedGetDC.h.
#pragma once

#include "platform/base/ScopedHandle.h"
#include "platform/gdi/Gdi.h"

namespace qv {

template <typename T>
struct GdiObjectTraits {
  static T InvalidValue() { return nullptr; }
  static bool IsValid(T object) { return object != nullptr; }
  static void Free(T object) { ::DeleteObject(object); }
};

// A GDI object of type T (HPEN, HBRUSH, HFONT, HBITMAP, HRGN or HGDIOBJ),
// deleted at the end of its scope.
template <typename T = HGDIOBJ>
using ScopedGdiObject = ScopedGeneric<T, GdiObjectTraits<T>>;

// Selects an object into a DC and selects the one it replaced back at the
// end of its scope. A null object selects nothing and restores nothing.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(object ? ::SelectObject(dc, object) : nullptr) {}
  ~ScopedSelectObject() {
    if (old_) ::SelectObject(dc_, old_);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

  // What the DC held before; null when nothing was selected.
  HGDIOBJ old() const { return old_; }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace qv
