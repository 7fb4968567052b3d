// The caret: one per thread, owned by a window, shown when its hide count
// comes back to zero; it blinks on the UI clock. The controls draw their own
// caret, while it is shown; showing or hiding it repaints its line.
#pragma once

#include "platform/ui/window/Window.h"

extern "C" {

QV_PLATFORM_API BOOL CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height);
QV_PLATFORM_API BOOL DestroyCaret();
QV_PLATFORM_API BOOL ShowCaret(HWND hwnd);
QV_PLATFORM_API BOOL HideCaret(HWND hwnd);
QV_PLATFORM_API BOOL SetCaretPos(int x, int y);
QV_PLATFORM_API BOOL GetCaretPos(POINT* point);
QV_PLATFORM_API UINT GetCaretBlinkTime();
QV_PLATFORM_API BOOL SetCaretBlinkTime(UINT milliseconds);

}  // extern "C"

namespace qv::ui {

// Whether `hwnd` owns its thread's caret and the caret is shown (its hide
// count at zero): a control draws its caret only then.
QV_PLATFORM_API bool CaretShown(HWND hwnd);

}  // namespace qv::ui
