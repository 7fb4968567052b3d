// Accelerator tables: keys that stand for commands. TranslateAcceleratorW,
// called by a message loop before anything else sees the key (before
// IsDialogMessageW too), turns a matching key into WM_COMMAND with HIWORD 1.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/ui/window/Window.h"

typedef struct HACCEL__* HACCEL;

#define FVIRTKEY 0x01u
#define FNOINVERT 0x02u
#define FSHIFT 0x04u
#define FCONTROL 0x08u
#define FALT 0x10u

struct ACCEL {
  BYTE fVirt;
  WORD key;
  WORD cmd;
};
typedef ACCEL* LPACCEL;

extern "C" {

// From RT_ACCELERATOR `name` of the resource library `instance`.
QV_PLATFORM_API HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name);
QV_PLATFORM_API HACCEL CreateAcceleratorTableW(LPACCEL entries, int count);
QV_PLATFORM_API BOOL DestroyAcceleratorTable(HACCEL table);
// With no buffer, the number of entries; else copies at most `count`.
QV_PLATFORM_API int CopyAcceleratorTableW(HACCEL table, LPACCEL out, int count);
// A key-down (FVIRTKEY entries, with the shift, control and alt state the
// thread has taken) or a character (the others): sends WM_COMMAND
// MAKEWPARAM(cmd, 1) to `hwnd` and returns TRUE; otherwise FALSE.
QV_PLATFORM_API int TranslateAcceleratorW(HWND hwnd, HACCEL table, LPMSG msg);

}  // extern "C"

namespace qv::ui {

// The entries of an RT_ACCELERATOR layout of `size` bytes, up to the one
// flagged last; empty when the layout is not whole.
QV_PLATFORM_API bool ParseAcceleratorResource(const void* data, size_t size, std::vector<ACCEL>* out);

}  // namespace qv::ui
