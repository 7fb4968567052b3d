// The shell's test seam: hand-offs recorded instead of started, whether a
// user interface is there to start anything on, the input panel's height,
// and a count of the power calls made. Unset, hand-offs
// go to the desktop (xdg-open, device programs), the panel is hidden, and
// power calls only count. Tests reach it through
// platform/testing/Seams.h.
#pragma once

#include <string>
#include <vector>

#include "platform/base/WinTypes.h"

namespace qv::shell_seam {

enum class HandOffKind {
  Link,     // a web address, to the desktop's browser
  File,     // a file of the device, to the desktop's viewer
  Program,  // a device program with its command line
};

struct HandOff {
  HandOffKind kind;
  std::wstring target;      // the address, the device path of the file or of the program
  std::wstring parameters;  // the program's command line (without its own name)
  std::wstring verb;
};

// From now on hand-offs that pass the allow-lists are recorded, not started.
QV_PLATFORM_API void RecordHandOffs();
QV_PLATFORM_API std::vector<HandOff> HandOffs();
// Whether a user interface is there to start anything on. Unset: a desktop
// display ($DISPLAY or $WAYLAND_DISPLAY) is there.
QV_PLATFORM_API void SetUserInterface(bool present);
QV_PLATFORM_API void SetInputPanelHeight(int pixels);
QV_PLATFORM_API int PowerCalls();
// The system power state's POWER_STATE_* flag (on after Reset).
QV_PLATFORM_API void SetPowerState(DWORD flag);
QV_PLATFORM_API DWORD PowerState();
QV_PLATFORM_API void Reset();

// Inside the shell.
bool Recording();
void Record(HandOff h);
bool UserInterfacePresent();
int InputPanelHeight();
void PowerCalled();

}  // namespace qv::shell_seam
