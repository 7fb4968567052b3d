// Installs the program's package into the device root ($QVMAIL_DEVICE_ROOT),
// as the device's CAB installer would, unless it is installed already.
// `make run` runs it before the program's first start on a new root.
#include <cstdio>

#include "platform/kernel/DeviceFs.h"
#include "setup/install/QvMailPackage.h"

int main() {
  const std::string root = qv::DeviceRoot();
  if (qv::setup::IsQvMailPackageInstalled()) return 0;
  switch (qv::setup::InstallQvMailPackage()) {
    case qv::pkg::SetupOutcome::kDone:
      std::printf("QvMail: installed into the device root %s\n", root.c_str());
      return 0;
    case qv::pkg::SetupOutcome::kNoLibrary:
    case qv::pkg::SetupOutcome::kMissingExport:
      std::fprintf(stderr, "QvMail: the setup library QvMailSetup could not be loaded; nothing installed\n");
      return 1;
    default:
      std::fprintf(stderr, "QvMail: the installation into %s was refused and undone\n", root.c_str());
      return 1;
  }
}
