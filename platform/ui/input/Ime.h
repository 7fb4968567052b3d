// The input method's side that windows see: one input context per thread,
// holding the text being composed (and the last result) as the display's
// text input gives it with WM_IME_COMPOSITION, and where the window wants
// the candidate list shown. The display places its candidate list there.
#pragma once

#include "platform/ui/window/Window.h"

typedef struct HIMC__* HIMC;

// ImmGetCompositionStringW and WM_IME_COMPOSITION's lParam.
#define GCS_COMPSTR 0x0008u
#define GCS_CURSORPOS 0x0080u
#define GCS_RESULTSTR 0x0800u

#define CFS_DEFAULT 0x0000u
#define CFS_RECT 0x0001u
#define CFS_POINT 0x0002u
#define CFS_FORCE_POSITION 0x0020u
#define CFS_CANDIDATEPOS 0x0040u
#define CFS_EXCLUDE 0x0080u

#define IMM_ERROR_NODATA (-1)
#define IMM_ERROR_GENERAL (-2)

struct COMPOSITIONFORM {
  DWORD dwStyle;
  POINT ptCurrentPos;
  RECT rcArea;
};
struct CANDIDATEFORM {
  DWORD dwIndex;
  DWORD dwStyle;
  POINT ptCurrentPos;
  RECT rcArea;
};

extern "C" {

// The context of the window's thread; null for a window of another thread.
QV_PLATFORM_API HIMC ImmGetContext(HWND hwnd);
QV_PLATFORM_API BOOL ImmReleaseContext(HWND hwnd, HIMC context);
// GCS_COMPSTR and GCS_RESULTSTR: bytes of the text (2 a UTF-16 unit),
// copied when `buffer` is given and `bytes` is non-zero; GCS_CURSORPOS: the
// cursor's place in the composition.
QV_PLATFORM_API LONG ImmGetCompositionStringW(HIMC context, DWORD index, LPVOID buffer, DWORD bytes);
// Where the candidate list goes (client coordinates of the focus).
QV_PLATFORM_API BOOL ImmSetCandidateWindow(HIMC context, const CANDIDATEFORM* form);
QV_PLATFORM_API BOOL ImmGetCandidateWindow(HIMC context, DWORD index, CANDIDATEFORM* form);
QV_PLATFORM_API BOOL ImmSetCompositionWindow(HIMC context, const COMPOSITIONFORM* form);
QV_PLATFORM_API BOOL ImmGetCompositionWindow(HIMC context, COMPOSITIONFORM* form);

}  // extern "C"

namespace qv::ui {

// For the display: where the foreground thread's focus wants the candidate
// list, as a screen rectangle (the point and the line above it); false when
// no window placed it.
QV_PLATFORM_API bool CandidateScreenRect(RECT* rect);

}  // namespace qv::ui
