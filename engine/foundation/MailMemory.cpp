#include "engine/foundation/MailMemory.h"

#include <limits>
#include <new>

#include "engine/public/foundation/QvMiddleError.h"
#include "platform/kernel/Debug.h"

namespace foundation {

uint32_t CheckHeapRoom(size_t size) {
  if (size < 51200) return QVMDL_SUCCESS;
  // A probe, not a reservation: the device heap is small and a whole mail
  // copy that cannot fit must fail here rather than halfway. A size whose
  // probe would wrap around can never fit.
  constexpr size_t kProbeExtra = 100;
  char* probe = size <= std::numeric_limits<size_t>::max() / 2 - kProbeExtra
                    ? new (std::nothrow) char[size + kProbeExtra]
                    : nullptr;
  if (probe == nullptr) {
    NKDbgPrintfW(L"[0828 EML] Cannot alloc Heap Memory\r\n");
    return QVMDL_ERR_EML_NOT_ENOUGH_MEMORY;
  }
  delete[] probe;
  return QVMDL_SUCCESS;
}

}  // namespace foundation
