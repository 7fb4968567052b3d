// The DC a window lends (GetDC), given back (ReleaseDC) at the end of its
// scope. Beside GetDC rather than with the GDI owners (platform/gdi/
// ScopedGdi.h), since windows stand above GDI.
#pragma once

#include "platform/ui/window/Paint.h"

namespace qv {

class ScopedGetDC {
 public:
  explicit ScopedGetDC(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
  ~ScopedGetDC() {
    if (dc_) ::ReleaseDC(hwnd_, dc_);
  }
  ScopedGetDC(const ScopedGetDC&) = delete;
  ScopedGetDC& operator=(const ScopedGetDC&) = delete;

  HDC get() const { return dc_; }
  operator HDC() const { return dc_; }  // NOLINT: stands for the DC in GDI calls

 private:
  HWND hwnd_;
  HDC dc_;
};

}  // namespace qv
