// Power. The device's power and idle calls have nothing to drive here:
// they succeed and are counted.
#pragma once

#include "platform/base/WinTypes.h"
#include "platform/ui/Sound.h"


#define POWER_NAME 0x00000001u
#define POWER_FORCE 0x00001000u
#define POWER_STATE_ON 0x00010000u
#define POWER_STATE_IDLE 0x00100000u
#define POWER_STATE_SUSPEND 0x00200000u
#define PPN_UNATTENDEDMODE 0x00000003u

enum CEDEVICE_POWER_STATE { PwrDeviceUnspecified = -1, D0 = 0, D1, D2, D3, D4, PwrDeviceMaximum };

extern "C" {
QV_PLATFORM_API void SystemIdleTimerReset();
QV_PLATFORM_API HANDLE SetPowerRequirement(LPCWSTR device, CEDEVICE_POWER_STATE state, ULONG flags, LPVOID system,
                                           ULONG systemFlags);
QV_PLATFORM_API DWORD ReleasePowerRequirement(HANDLE requirement);
QV_PLATFORM_API BOOL PowerPolicyNotify(DWORD message, DWORD flags);
QV_PLATFORM_API DWORD SetSystemPowerState(LPCWSTR state, DWORD stateFlags, DWORD options);
}
