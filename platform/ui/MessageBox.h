// Message boxes. When no one can see the screen (the default) a box answers
// at once through its seam (MessageBoxSeam.h, reached by tests through
// platform/testing/Seams.h): No for a question, OK otherwise. Shown, a box
// is a modal dialog of the "Dialog" class owned by the owner's top-level
// window, on the calling thread (a worker may show one over a window of the
// UI thread): its text, then a row of buttons; Escape answers Cancel, or OK
// in a box whose only button is OK. An MB_ICON* bit puts its picture at
// the left of the text.
#pragma once

#include "platform/base/WinTypes.h"
#include "platform/ui/window/CommandIds.h"

#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_TYPEMASK 0x0000000Fu
#define MB_ICONHAND 0x00000010u
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONMASK 0x000000F0u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON1 0x00000000u
#define MB_DEFBUTTON2 0x00000100u
#define MB_DEFBUTTON3 0x00000200u
#define MB_DEFMASK 0x00000F00u
#define MB_SETFOREGROUND 0x00010000u
#define MB_TOPMOST 0x00040000u

extern "C" QV_PLATFORM_API int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
