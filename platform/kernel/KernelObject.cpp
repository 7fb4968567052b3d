#include "platform/kernel/KernelObject.h"

#include "platform/base/HandleTable.h"

namespace qv::kernel {
namespace {

struct Table {
  std::mutex lock;
  // Handle values step by 4 from a base that no pointer or small integer
  // (notification handles, ordinals) uses, as on the device; they wrap round
  // below the top of the positive range, past those still open.
  qv::HandleTable<std::shared_ptr<KernelObject>, qv::HandleNumbering{0x10000, 4, 0x7FFFFFF0}> objects;
};

Table& T() {
  static Table* t = new Table;  // outlives threads still running at exit
  return *t;
}

}  // namespace

HANDLE AddObject(std::shared_ptr<KernelObject> object) {
  Table& t = T();
  std::lock_guard<std::mutex> g(t.lock);
  return reinterpret_cast<HANDLE>(t.objects.Add(std::move(object)));
}

std::shared_ptr<KernelObject> FindObject(HANDLE handle) {
  Table& t = T();
  std::lock_guard<std::mutex> g(t.lock);
  const std::shared_ptr<KernelObject>* object = t.objects.Find(reinterpret_cast<uintptr_t>(handle));
  return object ? *object : nullptr;
}

bool RemoveObject(HANDLE handle, bool (*accept)(KernelObject&)) {
  std::shared_ptr<KernelObject> victim;  // destroyed outside the table lock
  {
    Table& t = T();
    std::lock_guard<std::mutex> g(t.lock);
    const std::shared_ptr<KernelObject>* object = t.objects.Find(reinterpret_cast<uintptr_t>(handle));
    if (!object || !accept(**object)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
    victim = std::move(*t.objects.Take(reinterpret_cast<uintptr_t>(handle)));
  }
  return true;
}

std::mutex& WaitLock() {
  static std::mutex* m = new std::mutex;
  return *m;
}

std::condition_variable& WaitCondition() {
  static std::condition_variable* c = new std::condition_variable;
  return *c;
}

void WakeWaiters() { WaitCondition().notify_all(); }

}  // namespace qv::kernel

extern "C" BOOL CloseHandle(HANDLE object) {
  return qv::kernel::RemoveObject(object, [](qv::kernel::KernelObject& o) { return o.ClosedByCloseHandle(); })
             ? TRUE
             : FALSE;
}
