// The program's package as the CAB installer puts it on a device: the data
// folder and its "System" folder, the registry values that name them, the
// package's record, and the setup library's calls around them. A device root
// on which this has not run has no data folder, and the program cannot read
// its settings there.
#pragma once

#include "platform/base/WinTypes.h"
#include "platform/pkg/SetupDll.h"

namespace qv::setup {

// The package's GUID, by which the device's package information finds it.
extern const GUID kQvMailPackageGuid;

// True when the device records the package as installed.
bool IsQvMailPackageInstalled();

// Installs the package into the current device root. Values already set are
// kept (a data folder the user moved stays where it is). When the setup
// library asks for the installation to be undone, the values this call wrote
// and the package's record are taken away again.
qv::pkg::SetupOutcome InstallQvMailPackage();

}  // namespace qv::setup
