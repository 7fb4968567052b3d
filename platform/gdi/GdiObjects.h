// Inside the drawing layer: the objects behind the handles and the one
// locked table that maps handles to them. A caller holds a shared_ptr while
// it works, so an object deleted by another thread meanwhile stays whole.
#pragma once

#include <memory>
#include <mutex>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/Surface.h"

namespace qv::gdi {

enum class Kind : BYTE { Dc, Pen, Brush, Font, Bitmap, Icon, ImageList };

struct GdiObject {
  explicit GdiObject(Kind k) : kind(k) {}
  virtual ~GdiObject() = default;
  const Kind kind;
  bool stock = false;  // never deleted
};

struct PenObject : GdiObject {
  static constexpr Kind kKind = Kind::Pen;
  PenObject() : GdiObject(kKind) {}
  int style = PS_SOLID;
  int width = 1;
  COLORREF color = 0;
};

struct BrushObject : GdiObject {
  static constexpr Kind kKind = Kind::Brush;
  BrushObject() : GdiObject(kKind) {}
  UINT style = BS_SOLID;
  COLORREF color = 0;
};

struct BitmapObject : GdiObject {
  static constexpr Kind kKind = Kind::Bitmap;
  BitmapObject() : GdiObject(kKind) {}
  std::shared_ptr<Surface> surface;
  bool dibSection = false;
  HDC selectedIn = nullptr;  // a bitmap is selected into one DC at a time
};

class FontInstance;
struct FontObject : GdiObject {
  static constexpr Kind kKind = Kind::Font;
  FontObject() : GdiObject(kKind) {}
  LOGFONTW logFont{};
  std::shared_ptr<FontInstance> instance;
};

// An icon: its pixels with the alpha byte marking the opaque ones.
struct IconObject : GdiObject {
  static constexpr Kind kKind = Kind::Icon;
  IconObject() : GdiObject(kKind) {}
  std::shared_ptr<Surface> image;
};

HICON AddIcon(std::shared_ptr<Surface> image);

// Registers an object and returns its new handle (null when out of memory).
HANDLE AddObject(std::shared_ptr<GdiObject> object);
// The object of a handle if it is of that kind, else null with
// ERROR_INVALID_HANDLE.
std::shared_ptr<GdiObject> FindObject(HANDLE handle);
template <class T>
std::shared_ptr<T> Find(HANDLE handle) {
  std::shared_ptr<GdiObject> o = FindObject(handle);
  if (o && o->kind == T::kKind) return std::static_pointer_cast<T>(o);
  if (o) SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}
// Drops the handle (stock objects stay); false when unknown.
bool RemoveObject(HANDLE handle, Kind kind);
// The table's lock, also guarding the few fields shared between handles
// (a bitmap's DC).
std::mutex& TableMutex();

// Resolves system colour indexes (SYS_COLOR_INDEX_FLAG) to colours.
COLORREF ResolveColor(COLORREF color);
// The brush of a handle, also of a system colour index + 1.
std::shared_ptr<BrushObject> FindBrush(HBRUSH brush);
std::shared_ptr<FontObject> StockFont();
// The 1x1 bitmap a new memory DC holds.
HBITMAP StockBitmap(std::shared_ptr<BitmapObject>* object);

inline BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace qv::gdi
