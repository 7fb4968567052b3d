// The "msctls_progress32" class: a bar filled in proportion to a position
// within a range (0 to 100 at first), by steps of 10 unless told otherwise.
// Without PBS_SMOOTH the fill is drawn as separate blocks; PBS_VERTICAL
// fills from the bottom up. Positions outside the range are clamped, except
// that PBM_STEPIT past the top starts again from the bottom.
#pragma once

#include "platform/ui/commctrl/CommCtrl.h"

#define PROGRESS_CLASSW L"msctls_progress32"
#define PROGRESS_CLASS PROGRESS_CLASSW

#define PBS_SMOOTH 0x01u
#define PBS_VERTICAL 0x04u

#define PBM_SETRANGE (WM_USER + 1u)
#define PBM_SETPOS (WM_USER + 2u)
#define PBM_DELTAPOS (WM_USER + 3u)
#define PBM_SETSTEP (WM_USER + 4u)
#define PBM_STEPIT (WM_USER + 5u)
#define PBM_SETRANGE32 (WM_USER + 6u)
#define PBM_GETRANGE (WM_USER + 7u)
#define PBM_GETPOS (WM_USER + 8u)
#define PBM_SETBARCOLOR (WM_USER + 9u)
#define CCM_SETBKCOLOR (CCM_FIRST + 1u)
#define PBM_SETBKCOLOR CCM_SETBKCOLOR

struct PBRANGE {
  int iLow;
  int iHigh;
};
typedef PBRANGE* PPBRANGE;

namespace qv::ui {
LRESULT ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
}  // namespace qv::ui
