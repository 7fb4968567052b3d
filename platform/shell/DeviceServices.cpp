#include "platform/shell/DeviceServices.h"

#include "platform/shell/ShellSeam.h"

void SystemIdleTimerReset() { qv::shell_seam::PowerCalled(); }

HANDLE SetPowerRequirement(LPCWSTR device, CEDEVICE_POWER_STATE, ULONG, LPVOID, ULONG) {
  if (!device) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  qv::shell_seam::PowerCalled();
  // A token the caller gives back; nothing is held.
  static int token;
  return &token;
}

DWORD ReleasePowerRequirement(HANDLE requirement) {
  qv::shell_seam::PowerCalled();
  return requirement ? ERROR_SUCCESS : static_cast<DWORD>(ERROR_INVALID_HANDLE);
}

BOOL PowerPolicyNotify(DWORD, DWORD) {
  qv::shell_seam::PowerCalled();
  return TRUE;
}

DWORD SetSystemPowerState(LPCWSTR, DWORD, DWORD) {
  qv::shell_seam::PowerCalled();
  return ERROR_SUCCESS;
}
