#include "platform/kernel/KernelObject.h"

#include <unordered_map>

namespace qv::kernel {
namespace {

struct Table {
  std::mutex lock;
  std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
  // Handle values step by 4 from a base that no pointer or small integer
  // (notification handles, ordinals) uses, as on the device.
  uintptr_t next = 0x10000;
};

Table& T() {
  static Table* t = new Table;  // outlives threads still running at exit
  return *t;
}

}  // namespace

HANDLE AddObject(std::shared_ptr<KernelObject> object) {
  Table& t = T();
  std::lock_guard<std::mutex> g(t.lock);
  uintptr_t value;
  do {
    value = t.next;
    t.next += 4;
    if (t.next >= 0x7FFFFFF0) t.next = 0x10000;
  } while (t.objects.count(value));
  t.objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> FindObject(HANDLE handle) {
  Table& t = T();
  std::lock_guard<std::mutex> g(t.lock);
  auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
  if (it == t.objects.end()) return nullptr;
  return it->second;
}

bool RemoveObject(HANDLE handle, bool (*accept)(KernelObject&)) {
  std::shared_ptr<KernelObject> victim;  // destroyed outside the table lock
  {
    Table& t = T();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == t.objects.end() || !accept(*it->second)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
    victim = std::move(it->second);
    t.objects.erase(it);
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
