#include "engine/content/MailMemory.h"

#include <new>

#include "engine/store/QvMiddleError.h"
#include "platform/kernel/Debug.h"

namespace content {

uint32_t CheckHeapRoom(size_t size) {
  if (size < 51200) return QVMDL_SUCCESS;
  // A probe, not a reservation: the device heap is small and a whole mail
  // copy that cannot fit must fail here rather than halfway.
  char* probe = new (std::nothrow) char[size + 100];
  if (probe == nullptr) {
    NKDbgPrintfW(L"[0828 EML] Cannot alloc Heap Memory\r\n");
    return QVMDL_ERR_EML_NOT_ENOUGH_MEMORY;
  }
  delete[] probe;
  return QVMDL_SUCCESS;
}

}  // namespace content
