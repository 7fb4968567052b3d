// Settings files are read back after crashes and may hold any bytes: every
// read path of the profile reader must stay inside them.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "engine/public/foundation/QvProfileManipulator.h"
#include "fuzz/FuzzDeviceFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteFuzzDeviceFile(L"\\Fuzz.ini", data, size);

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
