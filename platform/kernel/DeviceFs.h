// Where the device's file system lives on the host. Device paths are rooted at
// "\" and separated by "\"; they map below the device root, resolving each
// name without regard to case. The root is $QVMAIL_DEVICE_ROOT, else
// ~/.local/share/qvmail/device; tests set their own.
#pragma once

#include <string>

#include "platform/base/WinTypes.h"

namespace qv {

// The host folder of the device root (created on first use).
QV_PLATFORM_API std::string DeviceRoot();
// Replaces the device root for this process (tests); empty restores the default.
QV_PLATFORM_API void SetDeviceRoot(const std::string& hostPath);
// Host path of a device path. Existing names are matched without regard to
// case; names that do not exist yet keep the spelling given. Relative paths
// count from the root. Returns false for a name the device refuses (error 123).
QV_PLATFORM_API bool DeviceToHostPath(std::wstring_view devicePath, std::string* hostPath);
// Device path of a host path below the root (used by tests and logs).
QV_PLATFORM_API std::wstring HostToDevicePath(const std::string& hostPath);

// What names this boot of the host: a file written but not synced by an
// earlier process of the same boot is still there to be read and reaches
// the disk in time; one written before a restart may be lost. Empty when the
// host does not tell.
QV_PLATFORM_API std::string BootId();
// Writes everything of the device's file system that is still in memory to
// the disk and waits for it.
QV_PLATFORM_API bool FlushDeviceVolume();

}  // namespace qv
