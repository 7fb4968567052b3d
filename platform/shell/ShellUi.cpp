#include "platform/shell/ShellUi.h"

#include <algorithm>
#include <cstdlib>

#include "platform/gdi/Font.h"
#include "platform/shell/MenuBar.h"
#include "platform/shell/ShellSeam.h"
#include "platform/ui/queue/UiSeam.h"
#include "platform/ui/WinUser.h"

namespace qv::shell {
namespace {

constexpr UINT_PTR kGestureTimer = 0x5348;  // wakes the wait on the real clock

POINT ScreenOf(HWND hwnd, LPARAM lParam) {
  POINT p{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
  ClientToScreen(hwnd, &p);
  return p;
}

bool WithinDragBox(POINT a, POINT b) {
  return std::abs(a.x - b.x) <= GetSystemMetrics(SM_CXDRAG) / 2 && std::abs(a.y - b.y) <= GetSystemMetrics(SM_CYDRAG) / 2;
}

// Serves one message that is not stylus input while the gesture waits, so
// that the window keeps painting and its timers run; false when there was
// none. Sets `quit` when the loop must end.
bool ServeOne(HWND hwnd, bool* quit) {
  MSG m;
  for (const auto& [first, last] : {std::pair<UINT, UINT>{0, WM_MOUSEFIRST - 1}, {WM_MOUSELAST + 1, 0xFFFFFFFFu}}) {
    if (!PeekMessageW(&m, nullptr, first, last, PM_REMOVE)) continue;
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      *quit = true;
    } else if (!(m.message == WM_TIMER && m.hwnd == hwnd && m.wParam == kGestureTimer)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
      *quit = !IsWindow(hwnd);
    }
    return true;
  }
  return false;
}

// Waits for the hold on the UI clock, looking again after every message;
// the stylus's own messages stay in the queue for the window once the wait
// ends without a hold.
bool StylusHeld(HWND hwnd, POINT down, DWORD hold) {
  const DWORD start = qv::ui_seam::ClockNow();
  for (;;) {
    if (qv::ui_seam::ClockNow() - start >= hold) return true;
    MSG m;
    // A hold the display gave before the gesture claimed it is this one.
    if (PeekMessageW(&m, hwnd, WM_CONTEXTMENU, WM_CONTEXTMENU, PM_REMOVE)) return true;
    if (PeekMessageW(&m, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE)) {
      if (m.message != WM_MOUSEMOVE || !WithinDragBox(ScreenOf(m.hwnd, m.lParam), down)) return false;
      PeekMessageW(&m, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE);  // the hand's tremor
      continue;
    }
    bool quit = false;
    if (ServeOne(hwnd, &quit)) {
      if (quit) return false;
      continue;
    }
    WaitMessage();
  }
}

}  // namespace
}  // namespace qv::shell

DWORD SHRecognizeGesture(PSHRGINFO info) {
  if (!info || info->cbSize < sizeof(SHRGINFO) || !IsWindow(info->hwndClient)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  HWND hwnd = info->hwndClient;
  POINT down = info->ptDown;
  ClientToScreen(hwnd, &down);
  const DWORD hold = (info->dwFlags & SHRG_LONGDELAY) ? qv::shell::kGestureLongHoldMilliseconds
                                                      : qv::shell::kGestureHoldMilliseconds;
  // One tap-and-hold per press: this one's, not the display's as well.
  qv::ui::ClaimStylusHold();
  HWND hadCapture = GetCapture();
  SetCapture(hwnd);
  SetTimer(hwnd, qv::shell::kGestureTimer, hold, nullptr);
  const bool held = qv::shell::StylusHeld(hwnd, down, hold);
  if (IsWindow(hwnd)) KillTimer(hwnd, qv::shell::kGestureTimer);
  if (GetCapture() == hwnd && hadCapture != hwnd) ReleaseCapture();
  if (!held) return 0;
  if (info->dwFlags & SHRG_NOTIFYPARENT) {
    NMRGINFO n{hwnd, static_cast<UINT_PTR>(GetDlgCtrlID(hwnd)), GN_CONTEXTMENU, down, 0};
    HWND parent = GetParent(hwnd);
    if (parent) SendMessageW(parent, WM_NOTIFY, n.idFrom, reinterpret_cast<LPARAM>(&n));
  }
  return GN_CONTEXTMENU;
}

BOOL SHInitDialog(PSHINITDLGINFO info) {
  if (!info || !(info->dwMask & SHIDIM_FLAGS) || !IsWindow(info->hDlg)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  HWND dlg = info->hDlg;
  if (info->dwFlags & SHIDIF_DONEBUTTON) SHDoneButton(dlg, SHDB_SHOW);
  if (info->dwFlags & SHIDIF_SIPDOWN) SipShowIM(SIPF_OFF);
  if (info->dwFlags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR)) {
    const auto profile = qv::ui::CurrentProfile();
    // The soft-key bar has the screen's bottom strip: a dialog ends above it
    // unless it asked for the whole screen.
    int height = profile.height - ((info->dwFlags & SHIDIF_FULLSCREENNOMENUBAR) ? 0 : qv::shell::kMenuBarHeight);
    // Only the plain size leaves the input panel its room.
    if (info->dwFlags & SHIDIF_SIZEDLG && !(info->dwFlags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR))) {
      SIPINFO sip{};
      sip.cbSize = sizeof sip;
      if (SipGetInfo(&sip) && (sip.fdwFlags & SIPF_ON)) height = std::min<int>(height, sip.rcSipRect.top);
    }
    if (height == profile.height - qv::shell::kMenuBarHeight) {
      qv::shell::KeepAboveBar(dlg);
    } else {
      SetWindowPos(dlg, nullptr, 0, 0, profile.width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  if (info->dwFlags & SHIDIF_WANTSCROLLBAR) {
    SetWindowLongW(dlg, GWL_STYLE, GetWindowLongW(dlg, GWL_STYLE) | WS_VSCROLL);
    SetWindowPos(dlg, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
  return TRUE;
}

// The extra controls of the device (the shell's own classes) need no
// registration here: nothing of the program asks for them yet.
BOOL SHInitExtraControls() { return TRUE; }

BOOL SHDoneButton(HWND hwnd, DWORD state) {
  if (!IsWindow(hwnd) || !(state & (SHDB_SHOW | SHDB_HIDE | SHDB_SHOWCANCEL))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const LONG_PTR ex = GetWindowLongW(hwnd, GWL_EXSTYLE);
  const LONG_PTR ok = static_cast<LONG_PTR>(kOkButtonStyle);
  SetWindowLongW(hwnd, GWL_EXSTYLE, (state & SHDB_HIDE) ? (ex & ~ok) : (ex | ok));
  return TRUE;
}

namespace qv::shell {

bool PressOkButton(HWND hwnd) {
  if (!IsWindow(hwnd)) return false;
  const DWORD ex = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE));
  if ((ex & kOkButtonStyle) != kOkButtonStyle) return false;
  PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, kOkButtonNotification), 0);
  return true;
}

}  // namespace qv::shell

HRESULT SHGetUIMetrics(SHUIMETRIC metric, LPVOID buffer, DWORD size, DWORD* required) {
  if (required) *required = sizeof(DWORD);
  if (metric < SHUIM_FONTSIZE_POINT || metric > SHUIM_FONTSIZE_PERCENTAGE) return E_INVALIDARG;
  if (!buffer || size < sizeof(DWORD)) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  const LOGFONTW lf = qv::gdi::SystemLogFont();
  const DWORD pixels = static_cast<DWORD>(lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight);
  const DWORD dpi = static_cast<DWORD>(qv::ui::CurrentProfile().dpi);
  DWORD value = pixels;
  if (metric == SHUIM_FONTSIZE_POINT) value = (pixels * 72 + dpi / 2) / dpi;
  if (metric == SHUIM_FONTSIZE_PERCENTAGE) value = 100;
  *static_cast<DWORD*>(buffer) = value;
  return S_OK;
}
