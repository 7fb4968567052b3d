// Inside the window system: what each service offers its test seam
// (UiSeam.cpp) and the display.
#pragma once

#include "platform/ui/metrics/Metrics.h"
#include "platform/ui/window/Window.h"

void ForgetAsyncKeys();

namespace qv::ui_seam {
void UnfixClock();
}  // namespace qv::ui_seam

namespace qv::ui {
void ForgetClipboard();
void StoreOrientation(Orientation o);
bool CaretVisibleNow(HWND hwnd);
}  // namespace qv::ui
