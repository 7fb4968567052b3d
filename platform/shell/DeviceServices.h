// Power. The device's power and idle calls have nothing to drive here:
// they succeed and are counted. The system power state is kept: on at
// start; SetSystemPowerState moves it between on, the idle states and
// unattended (what a program may hold the device in), while suspend, off and
// reset have nothing to stop and leave it on.
#pragma once

#include "platform/base/WinTypes.h"
#include "platform/ui/Sound.h"


#define POWER_NAME 0x00000001u
#define POWER_FORCE 0x00001000u
#define POWER_STATE_ON 0x00010000u
#define POWER_STATE_OFF 0x00020000u
#define POWER_STATE_CRITICAL 0x00040000u
#define POWER_STATE_BOOT 0x00080000u
#define POWER_STATE_IDLE 0x00100000u
#define POWER_STATE_SUSPEND 0x00200000u
#define POWER_STATE_UNATTENDED 0x00400000u
#define POWER_STATE_RESET 0x00800000u
#define POWER_STATE_USERIDLE 0x01000000u
#define PPN_UNATTENDEDMODE 0x00000003u

enum CEDEVICE_POWER_STATE { PwrDeviceUnspecified = -1, D0 = 0, D1, D2, D3, D4, PwrDeviceMaximum };

extern "C" {
QV_PLATFORM_API void SystemIdleTimerReset();
QV_PLATFORM_API HANDLE SetPowerRequirement(LPCWSTR device, CEDEVICE_POWER_STATE state, ULONG flags, LPVOID system,
                                           ULONG systemFlags);
QV_PLATFORM_API DWORD ReleasePowerRequirement(HANDLE requirement);
QV_PLATFORM_API BOOL PowerPolicyNotify(DWORD message, DWORD flags);
QV_PLATFORM_API DWORD SetSystemPowerState(LPCWSTR state, DWORD stateFlags, DWORD options);
// The state's name ("on", "unattended"...) into `buffer` (may be null) and
// its POWER_STATE_* flag into `flags`.
QV_PLATFORM_API DWORD GetSystemPowerState(LPWSTR buffer, DWORD chars, DWORD* flags);
}
