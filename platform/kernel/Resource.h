// Resources of a resource library: texts, dialog templates, menus,
// accelerators and bitmaps compiled from a readable source by tools/qvrc.py.
// A library holds them behind one exported function, QvResourceDirectory.
//
// Layouts (texts are wide units, wchar_t, null-terminated unless counted):
// - RT_STRING: blocks of 16 strings (block id = string id / 16 + 1), each a
//   count unit followed by that many units.
// - RT_MENU: two header units (version, offset), then items: flags, id (not
//   for MF_POPUP items), text; a popup's items follow it; the last item of
//   each level carries MF_END (0x80).
// - RT_ACCELERATOR: entries of four 16-bit words (flags, key, command,
//   padding); the last entry's flags carry 0x80.
// - RT_DIALOG: units 'QVDL', style, exstyle, x, y, cx, cy, point size,
//   weight, control count, caption, font face; then per control: style,
//   exstyle, x, y, cx, cy, id, class name, text.
// - RT_BITMAP: a BITMAPINFOHEADER and 32-bit rows, bottom-up.
// - RT_ICON: the same with an alpha byte per pixel (0 where it is see-through).
#pragma once

#include <cstdint>

#include "platform/base/WinTypes.h"

typedef struct HRSRC__* HRSRC;
typedef void* HGLOBAL;

#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_ICON MAKEINTRESOURCEW(3)
#define RT_MENU MAKEINTRESOURCEW(4)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_ACCELERATOR MAKEINTRESOURCEW(9)

// One resource as a resource library lists it.
struct QvResourceEntry {
  uint32_t type;
  uint32_t id;
  const unsigned char* data;
  uint32_t size;
};

extern "C" {

// Resources are found by 16-bit id (MAKEINTRESOURCEW, or "#123") and type.
// Null module: none (the program keeps no resources of its own): 1814.
QV_PLATFORM_API HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
QV_PLATFORM_API HGLOBAL LoadResource(HMODULE module, HRSRC resource);
QV_PLATFORM_API LPVOID LockResource(HGLOBAL data);
QV_PLATFORM_API DWORD SizeofResource(HMODULE module, HRSRC resource);
// Copies string `id` into `buffer` (at most max - 1 units and a zero) and
// returns its length; with max 0, stores a read-only pointer to the counted
// text in *(LPCWSTR*)buffer instead. 0 when there is no such string.
QV_PLATFORM_API int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int max);

}  // extern "C"
