// The shell's side of the windows: dialog set-up, the title bar's OK
// button, tap-and-hold recognition, the UI metrics, the input panel and the
// input method's contexts.
#pragma once

#include "platform/base/WinTypes.h"
#include "platform/ui/input/Ime.h"

// --- Dialog set-up ---------------------------------------------------------------
#define SHIDIM_FLAGS 0x0001u
#define SHIDIF_DONEBUTTON 0x0001u
#define SHIDIF_SIZEDLG 0x0002u
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004u
#define SHIDIF_SIPDOWN 0x0008u
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010u
#define SHIDIF_EMPTYMENU 0x0020u
#define SHIDIF_WANTSCROLLBAR 0x0040u

struct SHINITDLGINFO {
  DWORD dwMask;
  HWND hDlg;
  DWORD dwFlags;
};
typedef SHINITDLGINFO* PSHINITDLGINFO;

// The title bar's OK button: either extended style shows it. Pressing it
// sends WM_COMMAND with IDOK and this notification code to the window.
#define SHDB_SHOW 0x0001u
#define SHDB_HIDE 0x0002u
#define SHDB_SHOWCANCEL 0x0004u
constexpr DWORD kOkButtonStyle = 0x80000000u;        // WS_EX_CAPTIONOKBTN
constexpr DWORD kOkButtonNoDragStyle = 0xC0000000u;  // with WS_EX_NODRAG
constexpr WORD kOkButtonNotification = 0x1000;

// --- Tap-and-hold ------------------------------------------------------------------
#define SHRG_RETURNCMD 0x00000001u
#define SHRG_NOTIFYPARENT 0x00000002u
#define SHRG_LONGDELAY 0x00000008u
#define SHRG_NOANIMATION 0x00000010u
#define GN_CONTEXTMENU 1000u

struct SHRGINFO {
  DWORD cbSize;
  HWND hwndClient;
  POINT ptDown;  // client coordinates of hwndClient
  DWORD dwFlags;
};
typedef SHRGINFO* PSHRGINFO;

// What SHRG_NOTIFYPARENT sends with WM_NOTIFY (a notify header, then the point).
struct NMRGINFO {
  HWND hwndFrom;
  UINT_PTR idFrom;
  UINT code;
  POINT ptAction;  // screen
  DWORD dwItemSpec;
};

namespace qv::shell {
// How long the stylus must stay put, on the UI clock.
constexpr DWORD kGestureHoldMilliseconds = 500;
constexpr DWORD kGestureLongHoldMilliseconds = 1000;
}  // namespace qv::shell

// --- UI metrics -------------------------------------------------------------------
enum SHUIMETRIC { SHUIM_INVALID = 0, SHUIM_FONTSIZE_POINT, SHUIM_FONTSIZE_PIXEL, SHUIM_FONTSIZE_PERCENTAGE };

// --- Input panel -------------------------------------------------------------------
#define SIPF_OFF 0x00000000u
#define SIPF_ON 0x00000001u
#define SIPF_DOCKED 0x00000002u
#define SIPF_LOCKED 0x00000004u

struct SIPINFO {
  DWORD cbSize;
  DWORD fdwFlags;
  RECT rcVisibleDesktop;
  RECT rcSipRect;
  DWORD dwImDataSize;
  void* pvImData;
};

enum SIPSTATE { SIP_UP = 0, SIP_DOWN, SIP_FORCEDOWN, SIP_UNCHANGED, SIP_INPUTDIALOG };

// --- Input method ------------------------------------------------------------------
#define IME_CMODE_ALPHANUMERIC 0x0000u
#define IME_CMODE_NATIVE 0x0001u
#define IME_CMODE_KATAKANA 0x0002u
#define IME_CMODE_FULLSHAPE 0x0008u
#define IME_CMODE_ROMAN 0x0010u
#define IME_SMODE_NONE 0x0000u

extern "C" {
// Sizes the dialog to the screen above the soft-key bar (and above the input
// panel with SHIDIF_SIZEDLG; the whole screen with SHIDIF_FULLSCREENNOMENUBAR)
// and gives it the title bar's OK button with SHIDIF_DONEBUTTON.
QV_PLATFORM_API BOOL SHInitDialog(PSHINITDLGINFO info);
QV_PLATFORM_API BOOL SHInitExtraControls();
QV_PLATFORM_API BOOL SHDoneButton(HWND hwnd, DWORD state);
// Called on WM_LBUTTONDOWN: GN_CONTEXTMENU when the stylus stays within the
// drag box for the hold time, 0 once it is lifted or moved before.
QV_PLATFORM_API DWORD SHRecognizeGesture(PSHRGINFO info);
QV_PLATFORM_API HRESULT SHGetUIMetrics(SHUIMETRIC metric, LPVOID buffer, DWORD size, DWORD* required);

QV_PLATFORM_API BOOL SipGetInfo(SIPINFO* info);
QV_PLATFORM_API BOOL SipShowIM(DWORD flags);
QV_PLATFORM_API BOOL SHSipPreference(HWND hwnd, SIPSTATE state);

// Gives the window another context; a null one detaches the input method
// from the window. Returns the one it had.
QV_PLATFORM_API HIMC ImmAssociateContext(HWND hwnd, HIMC context);
QV_PLATFORM_API HIMC ImmCreateContext();
QV_PLATFORM_API BOOL ImmDestroyContext(HIMC context);
QV_PLATFORM_API BOOL ImmGetConversionStatus(HIMC context, LPDWORD conversion, LPDWORD sentence);
QV_PLATFORM_API BOOL ImmSetConversionStatus(HIMC context, DWORD conversion, DWORD sentence);
QV_PLATFORM_API BOOL ImmGetOpenStatus(HIMC context);
QV_PLATFORM_API BOOL ImmSetOpenStatus(HIMC context, BOOL open);
}

namespace qv::shell {
// The title bar's OK button pressed on a window that shows one: the window
// gets WM_COMMAND (IDOK, kOkButtonNotification). False when it shows none.
QV_PLATFORM_API bool PressOkButton(HWND hwnd);
// Whether text typed into the window may be composed (the display's text
// input asks): not with a detached context, a closed one or conversion mode 0.
QV_PLATFORM_API bool CompositionEnabled(HWND hwnd);
// Forgets the contexts of destroyed windows (and in tests, all of them).
QV_PLATFORM_API void ForgetInputContexts();
}  // namespace qv::shell
