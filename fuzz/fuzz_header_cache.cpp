// A folder's header cache may be torn or damaged on disk: opening it and
// reading every record must fail cleanly, never read outside the file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/store/QvMessageHeader.h"
#include "platform/kernel/DeviceFs.h"

namespace {

void PrepareRoot() {
  static bool done = false;
  if (done) return;
  char pattern[] = "/tmp/qv-fuzz-fdb-XXXXXX";
  if (mkdtemp(pattern) == nullptr) abort();
  qv::SetDeviceRoot(pattern);
  done = true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PrepareRoot();
  std::string host;
  if (!qv::DeviceToHostPath(L"\\F.fdb", &host)) abort();
  FILE* f = fopen(host.c_str(), "wb");
  if (f == nullptr) abort();
  fwrite(data, 1, size, f);
  fclose(f);

  QvMessageHeader cache;
  if (cache.Open(L"\\F.fdb") != 0x2000000) return 0;
  std::vector<QvMessageHeader::Record> records(cache.Live());
  if (!records.empty()) cache.LoadAll(records.data(), static_cast<uint32_t>(records.size()));
  return 0;
}
