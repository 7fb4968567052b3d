// A folder's header cache may be torn or damaged on disk: opening it and
// reading every record must fail cleanly, never read outside the file.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/store/QvMessageHeader.h"
#include "fuzz/FuzzDeviceFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteFuzzDeviceFile(L"\\F.fdb", data, size);

  QvMessageHeader cache;
  if (cache.Open(L"\\F.fdb") != 0x2000000) return 0;
  std::vector<QvMessageHeader::Record> records(cache.Live());
  if (!records.empty()) cache.LoadAll(records.data(), static_cast<uint32_t>(records.size()));
  return 0;
}
