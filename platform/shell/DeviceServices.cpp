#include "platform/shell/DeviceServices.h"

#include <cwchar>

#include "platform/base/WideText.h"
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

namespace {

struct PowerStateName {
  DWORD flag;
  const wchar_t* name;
  bool kept;  // a state this device can be held in
};

constexpr PowerStateName kPowerStates[] = {
    {POWER_STATE_ON, L"on", true},           {POWER_STATE_USERIDLE, L"useridle", true},
    {POWER_STATE_IDLE, L"systemidle", true}, {POWER_STATE_UNATTENDED, L"unattended", true},
    {POWER_STATE_SUSPEND, L"suspend", false}, {POWER_STATE_OFF, L"off", false},
    {POWER_STATE_RESET, L"reboot", false},   {POWER_STATE_CRITICAL, L"critical", false},
    {POWER_STATE_BOOT, L"boot", false},
};

}  // namespace

DWORD SetSystemPowerState(LPCWSTR state, DWORD stateFlags, DWORD) {
  qv::shell_seam::PowerCalled();
  for (const PowerStateName& p : kPowerStates) {
    const bool named = state != nullptr && qv::EqualsNoCase(state, p.name);
    if (named || (state == nullptr && stateFlags == p.flag)) {
      if (p.kept) qv::shell_seam::SetPowerState(p.flag);
      return ERROR_SUCCESS;
    }
  }
  return ERROR_INVALID_PARAMETER;
}

DWORD GetSystemPowerState(LPWSTR buffer, DWORD chars, DWORD* flags) {
  const DWORD now = qv::shell_seam::PowerState();
  const wchar_t* name = L"on";
  for (const PowerStateName& p : kPowerStates) {
    if (p.flag == now) name = p.name;
  }
  if (buffer != nullptr) {
    const size_t n = wcslen(name);
    if (chars <= n) return ERROR_INSUFFICIENT_BUFFER;
    wmemcpy(buffer, name, n + 1);
  }
  if (flags != nullptr) *flags = now;
  return ERROR_SUCCESS;
}
