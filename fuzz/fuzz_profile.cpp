// Settings files are read back after crashes and may hold any bytes: every
// read path of the profile reader must stay inside them.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>

#include "engine/store/QvProfileManipulator.h"
#include "platform/kernel/DeviceFs.h"

namespace {

void PrepareRoot() {
  static bool done = false;
  if (done) return;
  char pattern[] = "/tmp/qv-fuzz-profile-XXXXXX";
  if (mkdtemp(pattern) == nullptr) abort();
  qv::SetDeviceRoot(pattern);
  done = true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PrepareRoot();
  std::string host;
  if (!qv::DeviceToHostPath(L"\\Fuzz.ini", &host)) abort();
  FILE* f = fopen(host.c_str(), "wb");
  if (f == nullptr) abort();
  fwrite(data, 1, size, f);
  fclose(f);

  QvProfileManipulator profile(L"\\Fuzz.ini");
  std::wstring text;
  profile.GetPrivateProfileString(L"strSenderName", L"", &text);
  std::deque<ProfileItem> items(3);
  items[0].name = L"uiPopServerPort";
  items[0].kind = 1;
  items[1].name = L"bSSLEnabled";
  items[1].kind = 2;
  items[2].name = L"strPopServerName";
  profile.ReadValues(items);
  return 0;
}
